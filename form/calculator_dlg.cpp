#include "calculator_dlg.h"

#include <iterator>

#include "data_exchange.h"
#include "field_message.h"
#include "resource.h"
#include "step_formulas.h"
#include "string_table.h"

namespace {

constexpr CK7HWCalcDlg::Formula kStepFromMechanics = {
    {IDC_GEAR_DIAMETER, IDC_STEP_ANGLE, IDC_MICROSTEPS}, IDC_STEP_RESULT, StepLengthFromMechanics};
constexpr CK7HWCalcDlg::Formula kCorrection = {
    {IDC_CURRENT_STEP, IDC_COMMANDED, IDC_MEASURED}, IDC_CORRECTION_RESULT, CorrectedStepLength};
constexpr CK7HWCalcDlg::Formula kSwivel = {
    {IDC_SWIVEL_STEP_ANGLE, IDC_REDUCTION_RATIO, IDC_SWIVEL_MICROSTEPS},
    IDC_SWIVEL_RESULT,
    SwivelModulus};

// The calculation a control belongs to, by the ranges of ids in resource.h:
// Enter calculates the one of the control that holds the focus.
const CK7HWCalcDlg::Formula* FormulaOf(int id) {
  if (id >= IDC_GEAR_DIAMETER && id <= IDC_PUT_STEP_Z) return &kStepFromMechanics;
  if (id >= IDC_AXIS_X && id <= IDC_PUT_CORRECTION) return &kCorrection;
  if (id >= IDC_SWIVEL_STEP_ANGLE && id <= IDC_PUT_SWIVEL) return &kSwivel;
  return nullptr;
}

}  // namespace

const MessageEntry CK7HWCalcDlg::kMessageTable[] = {
    OnCommand(BN_CLICKED, IDC_CALC_STEP, &CK7HWCalcDlg::OnCalculate),
    OnCommand(BN_CLICKED, IDC_CALC_CORRECTION, &CK7HWCalcDlg::OnCalculate),
    OnCommand(BN_CLICKED, IDC_CALC_SWIVEL, &CK7HWCalcDlg::OnCalculate),
    OnCommand(BN_CLICKED, IDC_PUT_STEP_X, &CK7HWCalcDlg::OnPut),
    OnCommand(BN_CLICKED, IDC_PUT_STEP_Y, &CK7HWCalcDlg::OnPut),
    OnCommand(BN_CLICKED, IDC_PUT_STEP_Z, &CK7HWCalcDlg::OnPut),
    OnCommand(BN_CLICKED, IDC_PUT_CORRECTION, &CK7HWCalcDlg::OnPut),
    OnCommand(BN_CLICKED, IDC_PUT_SWIVEL, &CK7HWCalcDlg::OnPut),
    OnCommand(BN_CLICKED, IDC_AXIS_X, &CK7HWCalcDlg::OnAxis),
    OnCommand(BN_CLICKED, IDC_AXIS_Y, &CK7HWCalcDlg::OnAxis),
    OnCommand(BN_CLICKED, IDC_AXIS_Z, &CK7HWCalcDlg::OnAxis),
};

CK7HWCalcDlg::CK7HWCalcDlg(HWND form) : Dialog(IDD_CALCULATOR), form_(form) {}

std::span<const MessageEntry> CK7HWCalcDlg::GetMessageTable() const {
  return kMessageTable;
}

bool CK7HWCalcDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  SendDlgItemMessageW(GetSafeHwnd(), IDC_AXIS_X, BM_SETCHECK, BST_CHECKED, 0);
  TakeCurrentStep(IDC_AXIS_X);
  return true;
}

void CK7HWCalcDlg::TakeCurrentStep(int axisId) {
  // All an edit box can hold: the form sets no limit, so the default 32767.
  wchar_t text[32768];
  text[0] = L'\0';
  GetDlgItemTextW(form_, IDC_STEP_X + (axisId - IDC_AXIS_X), text,
                  static_cast<int>(std::size(text)));
  SetDlgItemTextW(GetSafeHwnd(), IDC_CURRENT_STEP, text);
}

void CK7HWCalcDlg::OnAxis(UINT, int id, HWND) {
  TakeCurrentStep(id);
}

void CK7HWCalcDlg::OnCalculate(UINT, int id, HWND) {
  if (const Formula* formula = FormulaOf(id)) Calculate(*formula);
}

int CK7HWCalcDlg::SelectedAxis() const {
  for (int axis = IDC_AXIS_X; axis <= IDC_AXIS_Z; ++axis) {
    if (IsDlgButtonChecked(GetSafeHwnd(), axis) == BST_CHECKED) return axis;
  }
  return IDC_AXIS_X;
}

void CK7HWCalcDlg::OnPut(UINT, int id, HWND) {
  const int currentStep = IDC_STEP_X + (SelectedAxis() - IDC_AXIS_X);
  int target = IDC_SWIVEL_MODULUS;
  if (id >= IDC_PUT_STEP_X && id <= IDC_PUT_STEP_Z) target = IDC_STEP_X + (id - IDC_PUT_STEP_X);
  if (id == IDC_PUT_CORRECTION) target = currentStep;
  const std::optional<std::wstring> result = Calculate(*FormulaOf(id));
  if (!result) return;
  // A field the mode has disabled still takes the text: it keeps and saves it.
  // The line says where it went, in full, as a narrow or disabled field may
  // not show it; the current step follows the form.
  SetDlgItemTextW(form_, target, result->c_str());
  SetDlgItemTextW(
      GetSafeHwnd(), IDC_PUT_REPORT,
      FormatResourceString(IDS_PUT_REPORT, {*result, LoadResourceString(static_cast<UINT>(target))})
          .c_str());
  // The test move's distances belong to the step just replaced: calculated
  // again with them, the new step would be corrected a second time.
  if (target == currentStep) {
    SetDlgItemTextW(GetSafeHwnd(), IDC_COMMANDED, L"");
    SetDlgItemTextW(GetSafeHwnd(), IDC_MEASURED, L"");
  }
  TakeCurrentStep(SelectedAxis());
}

void CK7HWCalcDlg::OnOK() {
  if (const Formula* formula = FormulaOf(GetDlgCtrlID(GetFocus()))) Calculate(*formula);
}

std::wstring CK7HWCalcDlg::FieldMessage(int id, NumberFault fault, bool integer) {
  return NumberFieldMessage(id, fault, integer);
}

std::optional<std::wstring> CK7HWCalcDlg::Calculate(const Formula& formula) {
  SetDlgItemTextW(GetSafeHwnd(), formula.result, L"");
  DataExchange exchange(*this, true);
  double values[3] = {};
  int wrong = 0;  // the field to name when a number converts but is no use
  UINT message = IDS_CALC_NOT_POSITIVE;
  for (std::size_t i = 0; i < std::size(values) && !wrong; ++i) {
    DDX_Text(exchange, formula.inputs[i], values[i]);
    if (exchange.Failed()) return std::nullopt;
    if (!(values[i] > 0)) wrong = formula.inputs[i];
  }
  std::wstring text;
  if (!wrong) {
    const std::optional<double> value = formula.compute(values[0], values[1], values[2]);
    if (value) text = FormatTenDecimals(*value);
    if (text.empty()) {
      wrong = formula.inputs[0];
      message = IDS_CALC_NO_RESULT;
    }
  }
  if (wrong) {
    exchange.Fail(wrong,
                  FormatResourceString(message, {LoadResourceString(static_cast<UINT>(wrong))}));
    return std::nullopt;
  }
  SetDlgItemTextW(GetSafeHwnd(), formula.result, text.c_str());
  return text;
}
