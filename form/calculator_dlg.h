#pragma once

#include <windows.h>

#include <optional>
#include <span>
#include <string>

#include "dialog.h"

// The step length and swivel modulus calculator. Its results go into the
// form's fields only; the form saves them on its own OK, if at all.
class CK7HWCalcDlg : public Dialog {
 public:
  explicit CK7HWCalcDlg(HWND form);

  // One calculation: its three inputs in the formula's order, where its result
  // is shown, and the formula.
  struct Formula {
    int inputs[3];
    int result;
    std::optional<double> (*compute)(double, double, double);
  };

 protected:
  std::span<const MessageEntry> GetMessageTable() const override;
  bool OnInitDialog() override;
  // Enter calculates the part of the dialog that holds the focus.
  void OnOK() override;
  std::wstring FieldMessage(int id, NumberFault fault, bool integer) override;

 private:
  void OnCalculate(UINT code, int id, HWND control);
  void OnPut(UINT code, int id, HWND control);
  void OnAxis(UINT code, int id, HWND control);
  // Reads and checks the inputs and shows the result; on bad input says which
  // field is wrong, puts the focus there and shows no result.
  std::optional<std::wstring> Calculate(const Formula& formula);
  // The form's current text of the step field of axis option `axisId`.
  void TakeCurrentStep(int axisId);
  int SelectedAxis() const;

  HWND form_;
  static const MessageEntry kMessageTable[];
};
