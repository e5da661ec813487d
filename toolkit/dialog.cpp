#include "dialog.h"

#include "data_exchange.h"
#include "dpi.h"
#include "startup_marks.h"
#include "string_table.h"
#include "text_fit.h"

namespace {

// Posted to itself on WM_DPICHANGED, to come after the dialog manager's handling.
constexpr UINT kDpiChangeHandled = WM_APP;

}  // namespace

Dialog::Dialog(int templateId) : templateId_(templateId) {}

Dialog::~Dialog() {
  for (const HFONT font : fittedFonts_) DeleteObject(font);
}

INT_PTR Dialog::DoModal(HWND owner) {
  // The template in the user's language where the program has one, picked as
  // the strings are; DialogBoxParamW would follow the thread's language.
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC found = FindUiResource(RT_DIALOG, MAKEINTRESOURCEW(templateId_));
  const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* dialogTemplate =
      static_cast<const DLGTEMPLATE*>(loaded ? LockResource(loaded) : nullptr);
  if (!dialogTemplate) return -1;
  template_ = dialogTemplate;
  V7ER_STARTUP_MARK("template in the user's language");
  return DialogBoxIndirectParamW(module, dialogTemplate, owner, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
}

bool Dialog::UpdateData(bool saveAndValidate) {
  DataExchange exchange(*this, saveAndValidate);
  DoDataExchange(exchange);
  return !exchange.Failed();
}

std::vector<TypedText> Dialog::UpdateDataAsTyped() {
  DataExchange exchange(*this, DataExchange::AsTyped{});
  DoDataExchange(exchange);
  return exchange.Refused();
}

bool Dialog::OnInitDialog() {
  dpi_ = WindowDpi(window_);
  fittedFonts_ = FitTextsToControls(window_, template_);
  V7ER_STARTUP_MARK("fitting the labels");
  return true;
}

void Dialog::DoDataExchange(DataExchange&) {}

void Dialog::OnOK() {
  EndDialog(IDOK);
}

void Dialog::OnCancel() {
  EndDialog(IDCANCEL);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    V7ER_STARTUP_MARK("dialog window and controls");
    auto* dialog = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->window_ = window;
    return dialog->OnInitDialog() ? TRUE : FALSE;
  }
  auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;  // messages before WM_INITDIALOG
  const INT_PTR result = dialog->Dispatch(message, wParam, lParam);
  if (message == WM_NCDESTROY) dialog->window_ = nullptr;
  return result;
}

void Dialog::OnDpiChanged(UINT dpi) {
  if (!dpi || !dpi_ || dpi == dpi_) return;  // without a window's DPI, as before
  RECT now = {};
  GetWindowRect(window_, &now);
  // Windows 10 1703 and later rescale a dialog of a Per-Monitor V2 program
  // themselves; earlier ones (Per-Monitor V1) leave it to the program.
  if (now.right - now.left == movingFrom_.right - movingFrom_.left &&
      now.bottom - now.top == movingFrom_.bottom - movingFrom_.top) {
    for (HWND control = GetWindow(window_, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
      RECT at = {};
      GetWindowRect(control, &at);
      MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&at), 2);
      const auto scaled = [&](LONG value) {
        return MulDiv(value, static_cast<int>(dpi), static_cast<int>(dpi_));
      };
      SetWindowPos(control, nullptr, scaled(at.left), scaled(at.top), scaled(at.right - at.left),
                   scaled(at.bottom - at.top), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowPos(window_, nullptr, suggested_.left, suggested_.top,
                 suggested_.right - suggested_.left, suggested_.bottom - suggested_.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  dpi_ = dpi;
  const std::vector<HFONT> made = FitTextsToControls(window_, template_, dpi);
  fittedFonts_.insert(fittedFonts_.end(), made.begin(), made.end());
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DPICHANGED) {
    GetWindowRect(window_, &movingFrom_);
    suggested_ = *reinterpret_cast<const RECT*>(lParam);
    PostMessageW(window_, kDpiChangeHandled, HIWORD(wParam), 0);
    return FALSE;  // the dialog manager's handling
  }
  if (message == kDpiChangeHandled) {
    OnDpiChanged(static_cast<UINT>(wParam));
    return TRUE;
  }
  for (const MessageEntry& entry : GetMessageTable()) {
    if (entry.message != message) continue;
    if (message == WM_SYSCOMMAND) {
      if (static_cast<UINT>(entry.id) != (wParam & 0xFFF0)) continue;
      (this->*entry.command)(0, entry.id, nullptr);
      return TRUE;
    }
    if (message != WM_COMMAND) return (this->*entry.handler)(wParam, lParam);
    if (entry.code == HIWORD(wParam) && entry.id == LOWORD(wParam)) {
      (this->*entry.command)(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
      return TRUE;
    }
  }
  // Enter, Esc and the close box arrive here through the dialog manager.
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == IDOK) {
      OnOK();
      return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      OnCancel();
      return TRUE;
    }
  }
  return FALSE;
}
