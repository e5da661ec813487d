#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <vector>

#include "message_table.h"
#include "number_text.h"

class DataExchange;
struct TypedText;

// A modal dialog made from a template in the program's resources.
class Dialog {
 public:
  explicit Dialog(int templateId);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog until it is closed; IDOK, IDCANCEL or -1 if it could not
  // open. The owner is disabled meanwhile.
  INT_PTR DoModal(HWND owner = nullptr);

  // false: controls from fields; true: fields from controls, with validation.
  // Collecting stops at the first field that does not convert and returns false.
  bool UpdateData(bool saveAndValidate);
  // Fields from controls without a word to the user: a number field that does
  // not convert keeps its value, and its text is returned.
  std::vector<TypedText> UpdateDataAsTyped();

  HWND GetSafeHwnd() const { return window_; }
  void EndDialog(INT_PTR result) { ::EndDialog(window_, result); }

 protected:
  // Return true to let the dialog manager focus the first tab stop. The base
  // gives a control whose text does not fit a smaller size of the font.
  virtual bool OnInitDialog();
  virtual void DoDataExchange(DataExchange& exchange);
  virtual void OnOK();      // closes with IDOK
  virtual void OnCancel();  // closes with IDCANCEL; nothing is transferred
  virtual std::span<const MessageEntry> GetMessageTable() const { return {}; }
  // What to tell the user about field `id`, whose text is not a number of its
  // kind: the dialog names the field and its rules.
  virtual std::wstring FieldMessage(int id, NumberFault fault, bool integer) = 0;

 private:
  friend class DataExchange;

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  // After a move to a monitor of another DPI, once the dialog manager has
  // handled it: the controls as large as the DPI asks, their texts fitted.
  void OnDpiChanged(UINT dpi);

  int templateId_;
  const DLGTEMPLATE* template_ = nullptr;  // the resource, loaded by DoModal
  HWND window_ = nullptr;
  std::vector<HFONT> fittedFonts_;
  UINT dpi_ = 0;          // the DPI the controls are laid out for; 0 the system's
  RECT movingFrom_ = {};  // the dialog's rectangle when WM_DPICHANGED came
  RECT suggested_ = {};   // where that message asked it to go
};
