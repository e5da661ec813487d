#include "dialog.h"

#include "data_exchange.h"
#include "startup_marks.h"
#include "string_table.h"
#include "text_fit.h"

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

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
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
