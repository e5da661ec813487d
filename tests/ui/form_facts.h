// What the form and its settings file must look like, typed in here on their
// own rather than taken from the program's resources; shared by the UI cases.
#pragma once

#include <string>
#include <vector>

#include "harness.h"
#include "res/resource.h"

namespace v7er_ui {

// printer.ini as written for the built-in defaults.
inline constexpr char kDefaultIni[] =
    "fAreaX = 110\r\n"
    "fAreaY = 80\r\n"
    "fAreaZ = 100\r\n"
    "fStepX = 0.0069851349\r\n"
    "fStepY = 0.0069851349\r\n"
    "fStepZ = 0.0069851349\r\n"
    "nSpeedScale = 5\r\n"
    "nSpeedBase = 30\r\n"
    "nResetMode = 1\r\n"
    "strResetOrder = xy\r\n"
    "nPrintMode = 0\r\n"
    "dFlipAngle = 30\r\n"
    "bClearRotateReturn = 1\r\n"
    "bResetRotate = 0\r\n"
    "fSwivelModulus = 0.01125\r\n"
    "bInitReset = 0\r\n"
    "bFirstPrnReset = 1\r\n"
    "nDelayCharSp = 0\r\n";

// What a field shows: its text, or "checked"/"unchecked" for a check box.
struct FieldShown {
  int id;
  const wchar_t* shown;
};

inline const std::vector<FieldShown> kDefaultsShown = {
    {IDC_AREA_X, L"110"},
    {IDC_AREA_Y, L"80"},
    {IDC_AREA_Z, L"100"},
    {IDC_STEP_X, L"0.0069851349"},
    {IDC_STEP_Y, L"0.0069851349"},
    {IDC_STEP_Z, L"0.0069851349"},
    {IDC_SPEED_SCALE, L"5"},
    {IDC_SPEED_BASE, L"30"},
    {IDC_RESET_ORDER, L"xy"},
    {IDC_RELEASE_LIMIT, L"unchecked"},
    {IDC_FLIP_ANGLE, L"30"},
    {IDC_CLEAR_ROTATE_RETURN, L"checked"},
    {IDC_RESET_ROTATE, L"unchecked"},
    {IDC_SWIVEL_MODULUS, L"0.01125"},
    {IDC_INIT_RESET, L"unchecked"},
    {IDC_FIRST_PRN_RESET, L"checked"},
    {IDC_DELAY_CHAR_SP, L"0"},
};

// The five mode options, by mode value 0 to 4.
inline const std::vector<int> kModeOptions = {IDC_MODE_FLAT, IDC_MODE_ROTATE_Y, IDC_MODE_ROTATE_Z,
                                              IDC_MODE_ROTATE_Z_PER_CHAR, IDC_MODE_FLIP_Z};

// The controls the marking mode enables and disables, and each mode's row.
inline const std::vector<int> kModeControls = {IDC_STEP_Y, IDC_STEP_Z, IDC_CLEAR_ROTATE_RETURN,
                                               IDC_RESET_ROTATE, IDC_SWIVEL_MODULUS};
inline const wchar_t kRowFlat[] = L"1006:on 1007:on 1010:off 1014:off 2065:off ";
inline const wchar_t kRowRotateY[] = L"1006:off 1007:on 1010:on 1014:on 2065:on ";
inline const wchar_t kRowRotateZ[] = L"1006:on 1007:off 1010:on 1014:on 2065:on ";  // modes 2, 3
inline const wchar_t kRowFlipZ[] = L"1006:off 1007:on 1010:off 1014:on 2065:on ";
inline const wchar_t kRowAllOn[] = L"1006:on 1007:on 1010:on 1014:on 2065:on ";

enum class FieldKind { kDouble, kInteger };

// The edit boxes that hold numbers, in the order OK collects them.
struct NumberField {
  int id;
  FieldKind kind;
};
inline const std::vector<NumberField> kNumberFieldsInExchangeOrder = {
    {IDC_AREA_X, FieldKind::kDouble},         {IDC_AREA_Y, FieldKind::kDouble},
    {IDC_AREA_Z, FieldKind::kDouble},         {IDC_STEP_X, FieldKind::kDouble},
    {IDC_STEP_Y, FieldKind::kDouble},         {IDC_STEP_Z, FieldKind::kDouble},
    {IDC_SPEED_SCALE, FieldKind::kInteger},   {IDC_SPEED_BASE, FieldKind::kInteger},
    {IDC_FLIP_ANGLE, FieldKind::kDouble},     {IDC_SWIVEL_MODULUS, FieldKind::kDouble},
    {IDC_DELAY_CHAR_SP, FieldKind::kInteger},
};

inline const wchar_t kNumberMessage[] = L"Please enter a number.";
inline const wchar_t kIntegerMessage[] = L"Please enter an integer.";
inline const wchar_t kFormCaption[] = L"Hardware Parameter Setup";

// Ids of the checked options, e.g. "2061", empty when none is checked.
inline std::wstring CheckedOptions(const Program& program) {
  std::wstring ids;
  for (const int id : kModeOptions) {
    if (!program.Checked(id)) continue;
    if (!ids.empty()) ids += L" ";
    ids += std::to_wstring(id);
  }
  return ids;
}

// Presses OK and expects the form to refuse the text of field `id`: its own
// message box, then the form still open with that field focused and its whole
// text selected. A disabled field cannot take the focus, so that part is
// skipped for one.
inline ::testing::AssertionResult OkRefusedAt(Program& program, int id,
                                              const std::wstring& message) {
  program.PostClick(IDOK);
  MessageBoxInfo box;
  if (auto shown = program.WaitForMessageBox(box); !shown)
    return shown << " after OK (field " << id << " should have been refused)";
  auto result = ::testing::AssertionSuccess();
  bool failed = false;
  auto fail = [&](const std::string& what) {
    if (!failed) result = ::testing::AssertionFailure();
    failed = true;
    result << what << "; ";
  };
  if (box.caption != kFormCaption) fail("message box caption \"" + Narrow(box.caption) + "\"");
  if (box.text != message)
    fail("message \"" + Narrow(box.text) + "\", expected \"" + Narrow(message) + "\"");
  if (box.owner != program.Form()) fail("the message box is not owned by the form");
  if (auto closed = program.DismissMessageBox(box); !closed) return closed;
  if (!program.Running() || !IsWindowVisible(program.Form())) {
    fail("the form closed after the message");
    return result;
  }
  if (!IsWindowEnabled(program.Form())) fail("the form stays disabled after the message");
  if (program.Enabled(id)) {
    if (auto focused = program.WaitForFocus(program.Item(id)); !focused) fail(focused.message());
    const auto length = static_cast<int>(program.Text(program.Item(id)).size());
    const auto [start, end] = program.Selection(id);
    if (start != 0 || end != length)
      fail("selection " + std::to_string(start) + ".." + std::to_string(end) +
           ", expected the whole text 0.." + std::to_string(length));
  }
  return result;
}

}  // namespace v7er_ui
