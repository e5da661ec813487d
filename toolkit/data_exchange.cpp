#include "data_exchange.h"

#include "control.h"
#include "decimal_text.h"
#include "dialog.h"

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

namespace {

bool IsOption(HWND window) {
  return (SendMessageW(window, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

// Checking an automatic option makes it walk its group to clear the others,
// which Wine does at a server call per control (3.5 ms for the form's modes);
// the exchange sets every option itself, so it checks it as a plain one. The
// whole low word goes back and forth, as BM_SETSTYLE takes it on Windows.
void SetOption(HWND option, bool checked) {
  const auto style = static_cast<WPARAM>(GetWindowLongPtrW(option, GWL_STYLE) & 0xFFFF);
  const bool automatic = (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
  if (automatic && checked) {
    SendMessageW(option, BM_SETSTYLE, (style & ~WPARAM{BS_TYPEMASK}) | BS_RADIOBUTTON, FALSE);
  }
  SendMessageW(option, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  if (automatic && checked) SendMessageW(option, BM_SETSTYLE, style, FALSE);
}

}  // namespace

HWND DataExchange::Item(int id) const {
  return GetDlgItem(dialog_.GetSafeHwnd(), id);
}

void DataExchange::Fail(int id, NumberFault fault, bool integer) {
  Fail(id, dialog_.FieldMessage(id, fault, integer));
}

void DataExchange::Fail(int id, const std::wstring& message) {
  failed_ = true;
  const HWND window = dialog_.GetSafeHwnd();
  MessageBoxW(window, message.c_str(), WindowText(window).c_str(), MB_OK | MB_ICONEXCLAMATION);
  const HWND field = Item(id);
  if (field && IsWindowEnabled(field)) {
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    SendMessageW(field, EM_SETSEL, 0, -1);
  }
}

void DataExchange::Refuse(int id, const std::wstring& text, bool integer) {
  if (asTyped_) {
    refused_.push_back({id, text});
  } else {
    Fail(id, FieldNumberFault(text, integer), integer);
  }
}

void DDX_Text(DataExchange& exchange, int id, double& value) {
  if (exchange.Failed()) return;
  if (!exchange.Saving()) {
    SetWindowTextW(exchange.Item(id), FormatFieldDouble(value).c_str());
  } else {
    const std::wstring text = WindowText(exchange.Item(id));
    if (const auto number = ParseFieldDouble(text)) {
      value = *number;
    } else {
      exchange.Refuse(id, text, false);
    }
  }
}

void DDX_Text(DataExchange& exchange, int id, std::int32_t& value) {
  if (exchange.Failed()) return;
  if (!exchange.Saving()) {
    SetWindowTextW(exchange.Item(id), IntegerText(value).c_str());
  } else {
    const std::wstring text = WindowText(exchange.Item(id));
    if (const auto number = ParseFieldInt32(text)) {
      value = *number;
    } else {
      exchange.Refuse(id, text, true);
    }
  }
}

void DDX_Text(DataExchange& exchange, int id, std::wstring& value) {
  if (exchange.Failed()) return;
  if (exchange.Saving()) {
    value = WindowText(exchange.Item(id));
  } else {
    SetWindowTextW(exchange.Item(id), value.c_str());
  }
}

void DDX_Check(DataExchange& exchange, int id, std::int32_t& value) {
  if (exchange.Failed()) return;
  const HWND box = exchange.Item(id);
  if (exchange.Saving()) {
    value = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  } else {
    SendMessageW(box, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void DDX_Radio(DataExchange& exchange, int firstId, std::int32_t& value) {
  if (exchange.Failed()) return;
  if (exchange.Saving()) value = -1;
  // The group runs up to the next control that starts a group; other controls
  // inside it (such as an edit box) are not options and are not counted.
  std::int32_t index = 0;
  for (HWND control = exchange.Item(firstId); control;) {
    if (IsOption(control)) {
      if (exchange.Saving()) {
        if (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
      } else {
        SetOption(control, index == value);
      }
      ++index;
    }
    control = GetWindow(control, GW_HWNDNEXT);
    if (control && (GetWindowLongPtrW(control, GWL_STYLE) & WS_GROUP)) break;
  }
}

void DDX_Control(DataExchange& exchange, int id, Control& control) {
  if (exchange.Failed() || control.IsAttached()) return;
  control.Attach(exchange.Item(id));
}
