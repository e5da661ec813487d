// The commands of the form's system menu: the calculator, restore defaults,
// undo last save and about. None of them writes printer.ini; the form's OK
// saves what they put into it.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "form_facts.h"

namespace v7er_ui {
namespace {

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// The file name box of the Open dialog.
constexpr int kFileNameField = 0x47c;

// Runs a system-menu command the way choosing it does.
void Command(Program& program, UINT id) {
  program.PostToForm(WM_SYSCOMMAND, id, 0);
}

::testing::AssertionResult OpenCalculator(Program& program, HWND& calculator) {
  Command(program, IDM_CALCULATOR);
  if (auto found = program.WaitForDialog(IDC_GEAR_DIAMETER, calculator); !found) return found;
  if (program.Text(calculator) != kCalculatorCaption.In(ProgramLanguage()))
    return ::testing::AssertionFailure()
           << "calculator caption \"" << Narrow(program.Text(calculator)) << "\"";
  if (GetWindow(calculator, GW_OWNER) != program.Form())
    return ::testing::AssertionFailure() << "the calculator is not owned by the form";
  return ::testing::AssertionSuccess();
}

// The form's values: every field, the checked mode and the enabled fields.
std::wstring FormState(const Program& program) {
  std::wstring state;
  for (const FieldShown& field : kDefaultsShown)
    state += std::to_wstring(field.id) + L"=" + program.Shown(field.id) + L" ";
  return state + L"mode " + CheckedOptions(program) + L" | " +
         EnabledStates(program, kModeControls);
}

std::wstring StateOf(const std::vector<FieldShown>& fields, const wchar_t* option,
                     const wchar_t* row) {
  std::wstring state;
  for (const FieldShown& field : fields)
    state += std::to_wstring(field.id) + L"=" + field.shown + L" ";
  return state + L"mode " + option + L" | " + row;
}

// Defaults with the given fields changed.
std::vector<FieldShown> DefaultsWith(const std::vector<FieldShown>& changes) {
  std::vector<FieldShown> fields = kDefaultsShown;
  for (FieldShown& field : fields)
    for (const FieldShown& change : changes)
      if (change.id == field.id) field.shown = change.shown;
  return fields;
}

// A file whose values all differ from the defaults, in Z-rotation mode.
constexpr char kEditedIni[] =
    "fAreaX = 200\r\nfAreaY = 150\r\nfAreaZ = 50\r\nfStepX = 0.01\r\nfStepY = 0.02\r\n"
    "fStepZ = 0.03\r\nnSpeedScale = 7\r\nnSpeedBase = 40\r\nnResetMode = 2\r\n"
    "strResetOrder = z,xy\r\nnPrintMode = 2\r\ndFlipAngle = 45\r\nbClearRotateReturn = 0\r\n"
    "bResetRotate = 1\r\nfSwivelModulus = 0.02\r\nbInitReset = 1\r\nbFirstPrnReset = 0\r\n"
    "nDelayCharSp = 3\r\n";
const std::vector<FieldShown> kEditedShown = {
    {IDC_AREA_X, L"200"},
    {IDC_AREA_Y, L"150"},
    {IDC_AREA_Z, L"50"},
    {IDC_STEP_X, L"0.01"},
    {IDC_STEP_Y, L"0.02"},
    {IDC_STEP_Z, L"0.03"},
    {IDC_SPEED_SCALE, L"7"},
    {IDC_SPEED_BASE, L"40"},
    {IDC_RESET_ORDER, L"z,xy"},
    {IDC_RELEASE_LIMIT, L"checked"},
    {IDC_FLIP_ANGLE, L"45"},
    {IDC_CLEAR_ROTATE_RETURN, L"unchecked"},
    {IDC_RESET_ROTATE, L"checked"},
    {IDC_SWIVEL_MODULUS, L"0.02"},
    {IDC_INIT_RESET, L"checked"},
    {IDC_FIRST_PRN_RESET, L"unchecked"},
    {IDC_DELAY_CHAR_SP, L"3"},
};

// ---------------------------------------------------------------- calculator

struct Calculation {
  const char* name;
  std::vector<FieldShown> inputs;  // into the calculator; an axis option is clicked
  int button;
  int target;  // the form's field
  const wchar_t* result;
  int result_field;
};

// In the Flat mode, which disables the swivel modulus: one result into each
// target, that one included.
const Calculation kCalculations[] = {
    {"correction of the Y axis",
     {{IDC_AXIS_Y, L""}, {IDC_COMMANDED, L"100"}, {IDC_MEASURED, L"101"}},
     IDC_PUT_CORRECTION,
     IDC_STEP_Y,
     L"0.0202",
     IDC_CORRECTION_RESULT},
    {"correction of the Z axis",
     {{IDC_AXIS_Z, L""}, {IDC_COMMANDED, L"100"}, {IDC_MEASURED, L"99.5"}},
     IDC_PUT_CORRECTION,
     IDC_STEP_Z,
     L"0.00995",
     IDC_CORRECTION_RESULT},
    {"the form's example",
     {{IDC_GEAR_DIAMETER, L"14.23"}, {IDC_COMMANDED, L"100"}},
     IDC_PUT_STEP_X,
     IDC_STEP_X,
     L"0.0069851349",
     IDC_STEP_RESULT},
    {"full-width digits",
     {{IDC_GEAR_DIAMETER, L"１０"}, {IDC_STEP_ANGLE, L"1.8"}, {IDC_MICROSTEPS, L"１６"}},
     IDC_PUT_STEP_Y,
     IDC_STEP_Y,
     L"0.009817477",
     IDC_STEP_RESULT},
    {"the swivel example, into a disabled field",
     {{IDC_REDUCTION_RATIO, L"5"}},
     IDC_PUT_SWIVEL,
     IDC_SWIVEL_MODULUS,
     L"0.01125",
     IDC_SWIVEL_RESULT},
    {"another swivel modulus",
     {{IDC_SWIVEL_STEP_ANGLE, L"0.9"}, {IDC_REDUCTION_RATIO, L"3"}, {IDC_SWIVEL_MICROSTEPS, L"16"}},
     IDC_PUT_SWIVEL,
     IDC_SWIVEL_MODULUS,
     L"0.01875",
     IDC_SWIVEL_RESULT},
};

void Fill(Program& program, HWND calculator, const std::vector<FieldShown>& inputs) {
  for (const FieldShown& input : inputs) {
    if (input.id >= IDC_AXIS_X && input.id <= IDC_AXIS_Z) {
      program.ClickItem(calculator, input.id);
    } else {
      program.SetItemText(calculator, input.id, input.shown);
    }
  }
}

TEST(Calculator, ResultsGoIntoTheFormAndAreSavedOnlyOnOk) {
  Sandbox sandbox;
  // Step lengths of the test move's axes, taken over as the current step.
  std::string ini = kDefaultIni;
  ini.replace(ini.find("fStepY = 0.0069851349"), 21, "fStepY = 0.02");
  ini.replace(ini.find("fStepZ = 0.0069851349"), 21, "fStepZ = 0.01");
  sandbox.WriteIni(ini);
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  ASSERT_FALSE(program.Enabled(IDC_SWIVEL_MODULUS));
  HWND calculator = nullptr;
  ASSERT_TRUE(OpenCalculator(program, calculator));
  EXPECT_FALSE(IsWindowEnabled(program.Form())) << "the calculator is not modal";
  // The usual motor and driver are filled in, and the X axis's step.
  for (const auto& [id, shown] : std::vector<FieldShown>{{IDC_STEP_ANGLE, L"1.8"},
                                                         {IDC_MICROSTEPS, L"32"},
                                                         {IDC_SWIVEL_STEP_ANGLE, L"1.8"},
                                                         {IDC_SWIVEL_MICROSTEPS, L"32"},
                                                         {IDC_CURRENT_STEP, L"0.0069851349"}})
    EXPECT_EQ(Narrow(program.ItemText(calculator, id)), Narrow(shown)) << "input " << id;

  const Language language = ProgramLanguage();
  int axis = IDC_AXIS_X;
  for (const Calculation& calculation : kCalculations) {
    SCOPED_TRACE(calculation.name);
    Fill(program, calculator, calculation.inputs);
    for (const FieldShown& input : calculation.inputs)
      if (input.id >= IDC_AXIS_X && input.id <= IDC_AXIS_Z) axis = input.id;
    program.ClickItem(calculator, calculation.button);
    EXPECT_EQ(Narrow(program.ItemText(calculator, calculation.result_field)),
              Narrow(calculation.result));
    EXPECT_EQ(Narrow(program.Shown(calculation.target)), Narrow(calculation.result));
    // Where it went, in full; and the current step keeps up with the form.
    const std::wstring report = program.ItemText(calculator, IDC_PUT_REPORT);
    for (const std::wstring& part :
         {std::wstring(calculation.result), kFieldNames.at(calculation.target).In(language)})
      EXPECT_NE(report.find(part), std::wstring::npos) << Narrow(report);
    EXPECT_EQ(Narrow(program.ItemText(calculator, IDC_CURRENT_STEP)),
              Narrow(program.Shown(IDC_STEP_X + (axis - IDC_AXIS_X))));
    // The test move's distances go with the step they corrected.
    EXPECT_EQ(program.ItemText(calculator, IDC_COMMANDED).empty(),
              calculation.target == IDC_STEP_X + (axis - IDC_AXIS_X));
  }
  EXPECT_EQ(sandbox.Ini(), before) << "the calculator wrote the file";
  EXPECT_FALSE(program.Enabled(IDC_SWIVEL_MODULUS)) << "putting a value opened the field";

  // Esc closes the calculator only; the form keeps what was put in.
  program.PressKey(VK_ESCAPE);
  ASSERT_TRUE(Eventually([&] { return std::to_wstring(IsWindow(calculator)); }, L"0"));
  ASSERT_TRUE(program.Running());
  EXPECT_TRUE(IsWindowEnabled(program.Form()));
  EXPECT_EQ(sandbox.Ini(), before);

  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  // The last result put into each field, the disabled one included.
  std::string expected = kDefaultIni;
  expected.replace(expected.find("fStepY = 0.0069851349"), 21, "fStepY = 0.009817477");
  expected.replace(expected.find("fStepZ = 0.0069851349"), 21, "fStepZ = 0.00995");
  expected.replace(expected.find("fSwivelModulus = 0.01125"), 24, "fSwivelModulus = 0.01875");
  EXPECT_EQ(sandbox.IniBytes(), expected);
}

// Enter calculates the part of the calculator that holds the focus.
TEST(Calculator, EnterCalculatesThePartWithTheFocus) {
  Sandbox sandbox;
  sandbox.WriteIni(kDefaultIni);
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  HWND calculator = nullptr;
  ASSERT_TRUE(OpenCalculator(program, calculator));
  program.SetItemText(calculator, IDC_GEAR_DIAMETER, L"14.23");
  program.SetItemText(calculator, IDC_REDUCTION_RATIO, L"5");
  const struct {
    int focus;
    int result;
    const wchar_t* shown;
  } cases[] = {{IDC_REDUCTION_RATIO, IDC_SWIVEL_RESULT, L"0.01125"},
               {IDC_MICROSTEPS, IDC_STEP_RESULT, L"0.0069851349"}};
  for (const auto& c : cases) {
    SCOPED_TRACE("focus on " + std::to_string(c.focus));
    SendMessageW(calculator, WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(GetDlgItem(calculator, c.focus)), TRUE);
    ASSERT_TRUE(program.WaitForFocus(GetDlgItem(calculator, c.focus)));
    program.PressKey(VK_RETURN);
    EXPECT_TRUE(Eventually([&] { return program.ItemText(calculator, c.result); }, c.shown));
  }
  EXPECT_EQ(Narrow(program.ItemText(calculator, IDC_CORRECTION_RESULT)), "");
  EXPECT_TRUE(IsWindowVisible(calculator)) << "Enter closed the calculator";
}

enum class Refusal { kEmpty, kNotANumber, kOutOfRange, kNotPositive, kNoResult };

struct BadInput {
  std::vector<FieldShown> inputs;
  int button;
  int named;  // the field the message names and the focus goes to
  Refusal refusal;
};

const BadInput kBadInputs[] = {
    {{{IDC_GEAR_DIAMETER, L""}}, IDC_CALC_STEP, IDC_GEAR_DIAMETER, Refusal::kEmpty},
    {{{IDC_GEAR_DIAMETER, L"14.23"}, {IDC_STEP_ANGLE, L"1.8°"}},
     IDC_PUT_STEP_X,
     IDC_STEP_ANGLE,
     Refusal::kNotANumber},
    {{{IDC_STEP_ANGLE, L"1.8"}, {IDC_MICROSTEPS, L"0"}},
     IDC_PUT_STEP_Y,
     IDC_MICROSTEPS,
     Refusal::kNotPositive},
    {{{IDC_MICROSTEPS, L"32"}, {IDC_GEAR_DIAMETER, L"-14.23"}},
     IDC_PUT_STEP_Z,
     IDC_GEAR_DIAMETER,
     Refusal::kNotPositive},
    {{{IDC_GEAR_DIAMETER, L"1e999"}}, IDC_CALC_STEP, IDC_GEAR_DIAMETER, Refusal::kOutOfRange},
    {{{IDC_GEAR_DIAMETER, L"１２ｍｍ"}}, IDC_CALC_STEP, IDC_GEAR_DIAMETER, Refusal::kNotANumber},
    // Too big to be finite, and too small to show at ten decimals.
    {{{IDC_GEAR_DIAMETER, L"1e308"}, {IDC_STEP_ANGLE, L"1e308"}},
     IDC_PUT_STEP_X,
     IDC_GEAR_DIAMETER,
     Refusal::kNoResult},
    {{{IDC_GEAR_DIAMETER, L"1e-9"}, {IDC_STEP_ANGLE, L"1.8"}},
     IDC_CALC_STEP,
     IDC_GEAR_DIAMETER,
     Refusal::kNoResult},
    {{{IDC_CURRENT_STEP, L"abc"}, {IDC_COMMANDED, L"100"}, {IDC_MEASURED, L"100"}},
     IDC_PUT_CORRECTION,
     IDC_CURRENT_STEP,
     Refusal::kNotANumber},
    {{{IDC_CURRENT_STEP, L"0.01"}, {IDC_COMMANDED, L"0"}},
     IDC_PUT_CORRECTION,
     IDC_COMMANDED,
     Refusal::kNotPositive},
    {{{IDC_CURRENT_STEP, L"1e-300"}, {IDC_COMMANDED, L"100"}, {IDC_MEASURED, L"100"}},
     IDC_PUT_CORRECTION,
     IDC_CURRENT_STEP,
     Refusal::kNoResult},
    {{{IDC_REDUCTION_RATIO, L"5"}, {IDC_SWIVEL_MICROSTEPS, L"x32"}},
     IDC_CALC_SWIVEL,
     IDC_SWIVEL_MICROSTEPS,
     Refusal::kNotANumber},
};

// Where the calculation of a button shows its result.
int ResultOf(int button) {
  switch (button) {
    case IDC_CALC_STEP:
    case IDC_PUT_STEP_X:
    case IDC_PUT_STEP_Y:
    case IDC_PUT_STEP_Z:
      return IDC_STEP_RESULT;
    case IDC_CALC_SWIVEL:
    case IDC_PUT_SWIVEL:
      return IDC_SWIVEL_RESULT;
    default:
      return IDC_CORRECTION_RESULT;
  }
}

std::wstring RefusalMessage(int id, Refusal refusal) {
  const Language language = ProgramLanguage();
  const std::wstring name = kCalculatorFieldNames.at(id).In(language);
  if (refusal == Refusal::kNotPositive) return kNotPositive.In(language, name);
  if (refusal == Refusal::kNoResult) return kNoResult.In(language, name);
  // Not a number at all: the form's own words.
  const Fault fault = refusal == Refusal::kEmpty        ? Fault::kEmpty
                      : refusal == Refusal::kOutOfRange ? Fault::kOutOfRange
                                                        : Fault::kNotANumber;
  return kFaultSaid.at(fault).In(language, name) + L"\n" + kNumberAccepted.In(language);
}

// Each kind of bad input, for each calculation: the message names the field,
// the focus goes there with its text selected, no result is shown and the
// form is left as it was.
TEST(Calculator, BadInputIsNamedAndFocused) {
  Sandbox sandbox;
  sandbox.WriteIni(kDefaultIni);
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  const std::wstring form_before = FormState(program);
  HWND calculator = nullptr;
  ASSERT_TRUE(OpenCalculator(program, calculator));
  for (const BadInput& bad : kBadInputs) {
    SCOPED_TRACE("field " + std::to_string(bad.named) + ", button " + std::to_string(bad.button));
    Fill(program, calculator, bad.inputs);
    program.PostClickItem(calculator, bad.button);
    MessageBoxInfo box;
    ASSERT_TRUE(program.WaitForMessageBox(box));
    EXPECT_EQ(Narrow(box.caption), Narrow(kCalculatorCaption.In(ProgramLanguage())));
    EXPECT_EQ(box.owner, calculator);
    EXPECT_EQ(Narrow(box.text), Narrow(RefusalMessage(bad.named, bad.refusal)));
    ASSERT_TRUE(program.DismissMessageBox(box));
    const HWND field = GetDlgItem(calculator, bad.named);
    EXPECT_TRUE(program.WaitForFocus(field));
    const auto length = static_cast<int>(program.Text(field).size());
    EXPECT_EQ(program.ItemSelection(calculator, bad.named), std::make_pair(0, length));
    EXPECT_EQ(Narrow(program.ItemText(calculator, ResultOf(bad.button))), "")
        << "a result is shown";
    EXPECT_EQ(Narrow(FormState(program)), Narrow(form_before)) << "the form was changed";
  }
  program.PostClickItem(calculator, IDCANCEL);
  ASSERT_TRUE(Eventually([&] { return std::to_wstring(IsWindow(calculator)); }, L"0"));
  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.IniBytes(), before.bytes);
}

// ---------------------------------------------------------------- restore, undo

TEST(RestoreDefaults, FillsTheFormAndOkSavesThem) {
  Sandbox sandbox;
  sandbox.WriteIni(kEditedIni);
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  ASSERT_EQ(Narrow(FormState(program)), Narrow(StateOf(kEditedShown, L"2062", kRowRotateZ)));
  Command(program, IDM_RESTORE_DEFAULTS);
  EXPECT_TRUE(
      Eventually([&] { return FormState(program); }, StateOf(kDefaultsShown, L"2060", kRowFlat)));
  EXPECT_EQ(sandbox.Ini(), before);
  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.IniBytes(), kDefaultIni);
}

constexpr char kGarbage[] =
    "\x01\xff\xfe garbage\r\nfAreaX = abc\r\n\0\0\0\r\nfAreaY = 55\r\nnPrintMode = 1";

struct Backup {
  const char* name;
  std::string bytes;
  std::vector<FieldShown> shown;  // the form after undo
  const wchar_t* option;
  const wchar_t* row;
};

TEST(UndoLastSave, FillsTheFormFromTheBackup) {
  const Backup backups[] = {
      {"a good backup", kEditedIni, kEditedShown, L"2062", kRowRotateZ},
      {"garbage with good lines", std::string(kGarbage, sizeof kGarbage - 1),
       // The reader takes a value that is no number as 0.
       DefaultsWith({{IDC_AREA_X, L"0"}, {IDC_AREA_Y, L"55"}}), L"2061", kRowRotateY},
      {"an empty backup", "", kDefaultsShown, L"2060", kRowFlat},
      {"an unknown mode", "nPrintMode = 9\r\nfSwivelModulus = 0.5\r\n",
       DefaultsWith({{IDC_SWIVEL_MODULUS, L"0.5"}}), L"", kRowAllOn},
  };
  for (const Backup& backup : backups) {
    SCOPED_TRACE(backup.name);
    Sandbox sandbox;
    // Flip-Z mode: a row unlike any of the backups'.
    std::string ini = kDefaultIni;
    ini.replace(ini.find("nPrintMode = 0"), 14, "nPrintMode = 4");
    sandbox.WriteIni(ini);
    const std::wstring bak = sandbox.IniPath() + L".bak";
    WriteFileDated(bak, backup.bytes);
    const FileState before = sandbox.Ini();
    const auto names_before = sandbox.FileNames();
    Program program(sandbox);
    ASSERT_TRUE(program.WaitForForm());
    Command(program, IDM_UNDO_SAVE);
    EXPECT_TRUE(Eventually([&] { return FormState(program); },
                           StateOf(backup.shown, backup.option, backup.row)));
    EXPECT_EQ(sandbox.Ini(), before);
    program.PostClick(IDCANCEL);
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(sandbox.Ini(), before);
    EXPECT_EQ(sandbox.FileNames(), names_before);
    DeleteFileW(bak.c_str());
  }
}

// Without a backup the command, if it comes at all, says so and changes nothing.
TEST(UndoLastSave, WithoutBackupSaysSo) {
  Sandbox sandbox;
  sandbox.WriteIni(kEditedIni);
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  const std::wstring form_before = FormState(program);
  Command(program, IDM_UNDO_SAVE);
  MessageBoxInfo box;
  ASSERT_TRUE(program.WaitForMessageBox(box));
  const Language language = ProgramLanguage();
  EXPECT_EQ(Narrow(box.caption), Narrow(kUndoCaption.In(language)));
  EXPECT_EQ(box.owner, program.Form());
  EXPECT_EQ(Narrow(Lower(box.text)),
            Narrow(Lower(kNoBackup.In(language, sandbox.IniPath() + L".bak"))));
  ASSERT_TRUE(program.DismissMessageBox(box));
  EXPECT_EQ(Narrow(FormState(program)), Narrow(form_before));
  program.PostClick(IDCANCEL);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.Ini(), before);
}

void PutOnClipboard(const std::wstring& text) {
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() &&
              SetClipboardData(CF_UNICODETEXT, memory) && CloseClipboard());
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
  if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) text = chars;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

// ---------------------------------------------------------------- the menu

// A string argument as Wine writes it: L"...", with \\, \" and \n escaped and
// anything else outside printable ASCII as four hex digits.
std::wstring StringArgument(const std::string& arg) {
  const auto start = arg.find("L\""), end = arg.rfind('"');
  if (start == std::string::npos || end <= start + 1) return L"(no string: " + Widen(arg) + L")";
  std::wstring text;
  for (std::size_t i = start + 2; i < end; ++i) {
    if (arg[i] != '\\') {
      text += static_cast<wchar_t>(arg[i]);
    } else if (std::isxdigit(static_cast<unsigned char>(arg[i + 1]))) {
      text += static_cast<wchar_t>(Number(arg.substr(i + 1, 4)));
      i += 4;
    } else {
      const char c = arg[++i];
      text += c == 'n' ? L'\n' : c == 'r' ? L'\r' : c == 't' ? L'\t' : static_cast<wchar_t>(c);
    }
  }
  return text;
}

// A message box with `part` in its text (a path in any case), answered with
// `button`, which it must show.
::testing::AssertionResult MessageBoxSaying(Program& program, const std::wstring& part,
                                            int button = IDOK) {
  MessageBoxInfo box;
  auto shown = program.WaitForMessageBox(box);
  if (shown && Lower(box.text).find(Lower(part)) == std::wstring::npos)
    shown = ::testing::AssertionFailure() << Narrow(box.text);
  if (shown && !IsWindowVisible(GetDlgItem(box.hwnd, button)))
    shown = ::testing::AssertionFailure() << "no button " << button << ": " << Narrow(box.text);
  if (box.hwnd) program.DismissMessageBox(box, button);
  return shown;
}

void OpenAndCloseSystemMenu(Program& program) {
  program.PostToForm(WM_SYSCOMMAND, SC_KEYMENU, L' ');
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  for (int i = 0; i < 2; ++i) {
    program.PressKey(VK_ESCAPE);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

// Windows shows a window that never asked for its own system menu the shared
// one, which it refuses to change; Wine gives every window its own. So the
// trace must show the commands going into the menu GetSystemMenu(form, FALSE)
// gave, each with a text of its own, in order, undo greyed without a backup;
// and each, chosen, must do what it says.
TEST(SystemMenu, CommandsInTheFormsOwnCopyDoWhatTheySay) {
  Sandbox sandbox;
  sandbox.WriteIni(kEditedIni);
  const std::wstring bak = sandbox.IniPath() + L".bak";
  Program program(sandbox, Program::Start::kRelayTraced);
  ASSERT_TRUE(program.WaitForForm());
  OpenAndCloseSystemMenu(program);
  WriteFileDated(bak, "fAreaX = 321\r\n");
  OpenAndCloseSystemMenu(program);
  SendMessageW(program.Form(), WM_GETICON, ICON_BIG, 0);  // answered in the trace
  const std::vector<TracedCall> calls = TracedCalls(sandbox.Dir() + L"relay.log");

  std::uint64_t copy = 0;
  std::vector<std::pair<std::uint64_t, std::wstring>> items;  // id, text; 0 a separator
  std::vector<std::string> undo_states;
  std::size_t appended = 0;
  const std::uint64_t form = reinterpret_cast<std::uintptr_t>(program.Form());
  bool initializing = false;          // inside the form's WM_INITDIALOG
  std::set<std::uint64_t> big_icons;  // set and given for ICON_BIG
  for (const TracedCall& call : calls) {
    const bool to_form = !call.args.empty() && Number(call.args[0]) == form;
    if (to_form && call.function.ends_with("dialog proc WM_INITDIALOG")) {
      initializing = !call.function.starts_with("return");
    } else if (to_form && call.function.starts_with("return from dialog proc WM_") &&
               call.function.ends_with("ETICON") && Number(call.args[1]) == ICON_BIG) {
      big_icons.insert(Number(call.function.ends_with("SETICON") ? call.args[2] : call.retval));
    } else if (call.function == "user32.GetSystemMenu" && call.args.size() == 2 && to_form) {
      EXPECT_EQ(Number(call.args[1]), 0u) << "GetSystemMenu(form, TRUE) gives no copy";
      if (!copy) {
        copy = Number(call.retval);
        EXPECT_TRUE(initializing) << "the form's copy taken outside its WM_INITDIALOG";
      }
    } else if (call.function == "user32.AppendMenuW" && call.args.size() == 4) {
      EXPECT_EQ(Number(call.args[0]), copy) << "appended to a menu not the form's own copy";
      ++appended;
    } else if (call.function == "InsertMenuW" && copy && Number(call.args[0]) == copy) {
      const bool separator = Number(call.args[1]) & MF_SEPARATOR;
      items.emplace_back(Number(call.args[2]), separator ? L"" : StringArgument(call.args[3]));
    } else if (call.function == "user32.EnableMenuItem" && call.args.size() == 3) {
      EXPECT_EQ(Number(call.args[0]), copy);
      EXPECT_EQ(Number(call.args[1]), std::uint64_t{IDM_UNDO_SAVE});
      undo_states.push_back(Number(call.args[2]) & MF_GRAYED ? "greyed" : "enabled");
    }
  }
  ASSERT_NE(copy, 0u) << "no GetSystemMenu(form, FALSE) in the trace";
  EXPECT_TRUE(big_icons.size() == 1 && !big_icons.count(0)) << big_icons.size() << " big icons";
  EXPECT_EQ(undo_states, (std::vector<std::string>{"greyed", "enabled"}));

  HWND calculator = nullptr;
  // In the menu's order: calculator, show changes, copy, paste (what was
  // copied: no changes), open settings file, restore defaults, undo last
  // save, about.
  const std::function<::testing::AssertionResult()> commands[] = {
      [&] {
        auto shown = program.WaitForDialog(IDC_GEAR_DIAMETER, calculator);
        if (shown) program.PostClickItem(calculator, IDCANCEL);
        return shown ? Eventually([&] { return std::to_wstring(IsWindow(calculator)); }, L"0")
                     : shown;
      },
      [&] { return MessageBoxSaying(program, L"321 \u2192 200"); },
      [&] { return Eventually(ClipboardText, sandbox.IniPath() + L"\r\n" + Widen(kEditedIni)); },
      [&] { return MessageBoxSaying(program, L"", IDOK); },
      [&] {
        HWND open = nullptr;
        auto shown = program.WaitForDialog(kFileNameField, open);
        if (shown) program.PostClickItem(open, IDCANCEL);
        return shown ? Eventually([&] { return std::to_wstring(IsWindow(open)); }, L"0") : shown;
      },
      [&] {
        return Eventually([&] { return FormState(program); },
                          StateOf(kDefaultsShown, L"2060", kRowFlat));
      },
      [&] {
        return Eventually([&] { return FormState(program); },
                          StateOf(DefaultsWith({{IDC_AREA_X, L"321"}}), L"2060", kRowFlat));
      },
      [&] { return MessageBoxSaying(program, sandbox.IniPath()); },
  };
  ASSERT_EQ(appended, std::size(commands) + 1) << "a separator and the commands";
  ASSERT_EQ(items.size(), appended) << "the trace of each appended item";
  EXPECT_EQ(items[0].first, 0u) << "the separator first";
  for (std::size_t i = 0; i < std::size(commands); ++i) {
    const auto& [id, text] = items[i + 1];
    SCOPED_TRACE("item " + std::to_string(i + 1) + ": " + Narrow(text));
    EXPECT_FALSE(text.empty());
    for (std::size_t j = 1; j < i + 1; ++j) EXPECT_NE(Narrow(items[j].second), Narrow(text));
    program.PostToForm(WM_SYSCOMMAND, static_cast<WPARAM>(id), 0);
    EXPECT_TRUE(commands[i]());
  }
  program.PostClick(IDCANCEL);
  EXPECT_TRUE(program.WaitForExit());
}

// ---------------------------------------------------------------- changes, copy

// What OK would change and what the last save changed, without writing: the
// changed values and nothing else, a field that does not convert as typed, a
// missing file by its path. Copying refuses that field as OK does.
TEST(ShowChanges, FormAgainstFileAndLastSave) {
  const struct {
    const char* name;
    const char* ini;  // nullptr: none
    const char* bak;
    std::vector<FieldShown> edits;
    std::vector<std::wstring> said;
    long changes;
  } cases[] = {
      {"edits and a save",
       kDefaultIni,
       "fAreaX = 321\r\nfStepY = 0.5\r\n",
       {{IDC_AREA_X, L"200"}, {IDC_STEP_Y, L"abc"}},
       {L"110 \u2192 200", L"0.0069851349 \u2192 abc", L"321 \u2192 110",
        L"0.5 \u2192 0.0069851349"},
       4},
      {"nothing changed", kDefaultIni, kDefaultIni, {}, {}, 0},
      {"no files", nullptr, nullptr, {}, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox sandbox;
    if (c.ini) sandbox.WriteIni(c.ini);
    if (c.bak) WriteFileDated(sandbox.IniPath() + L".bak", c.bak);
    const auto names = sandbox.FileNames();
    Program program(sandbox);
    ASSERT_TRUE(program.WaitForForm());
    for (const FieldShown& edit : c.edits) program.SetText(edit.id, edit.shown);
    Command(program, IDM_SHOW_CHANGES);
    MessageBoxInfo box;
    ASSERT_TRUE(program.WaitForMessageBox(box));
    for (const std::wstring& said : c.said)
      EXPECT_NE(box.text.find(said), std::wstring::npos)
          << Narrow(said) << " in " << Narrow(box.text);
    // Missing files by their paths: printer.ini, then the backup.
    const std::wstring& text = box.text;
    EXPECT_TRUE(c.ini || (text.find(sandbox.IniPath()) != text.rfind(sandbox.IniPath()) &&
                          text.find(sandbox.IniPath() + L".bak") != std::wstring::npos))
        << Narrow(text);
    // An arrow in each of the two headings, and one a change.
    EXPECT_EQ(std::count(box.text.begin(), box.text.end(), L'\u2192'), 2 + c.changes)
        << Narrow(box.text);
    ASSERT_TRUE(program.DismissMessageBox(box));
    if (!c.edits.empty()) {
      ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && CloseClipboard());
      Command(program, IDM_COPY_SETTINGS);
      EXPECT_TRUE(MessageBoxSaying(
          program, FieldMessage(IDC_STEP_Y, FieldKind::kDouble, Fault::kNotANumber)));
      EXPECT_EQ(Narrow(ClipboardText()), "");
    }
    program.PostClick(IDCANCEL);
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(sandbox.FileNames(), names) << "a file was written";
  }
}

// Settings from the clipboard, a file chosen in the Open dialog or a file
// dropped on the form, laid over what the form shows once the user agrees;
// nothing written before OK.
TEST(TakeSettings, OverWhatTheFormShows) {
  enum How { kPaste, kOpen, kDrop };
  const struct {
    const char* name;
    How how;
    std::string text;                // one with a path line, as "Copy settings" gives it, is saved
    std::vector<std::wstring> said;  // and for a mode: the flat option's own text
    int answer;                      // IDOK: a plain message
    std::vector<FieldShown> shown;
    const wchar_t* option = L"2060";
    const wchar_t* row = kRowFlat;
    int refused_on_ok = 0;  // the field OK names, else 0: OK saves
  } cases[] = {
      {"copied",
       kPaste,
       std::string("C:\\Laser\\printer.ini\r\n") + kEditedIni,
       {L"110 \u2192 200"},
       IDYES,
       kEditedShown,
       L"2062",
       kRowRotateZ},
      {"a partial text",
       kPaste,
       "fStepY = \xef\xbc\x90.\xef\xbc\x90\xef\xbc\x92\r\n// mm\r\n  nPrintMode=4\r\nfAreaX = 1OO",
       {L"110 \u2192 1OO", L"mode"},
       IDYES,
       {{IDC_STEP_Y, L"0.02"}, {IDC_AREA_X, L"1OO"}},
       L"2064",
       kRowFlipZ,
       IDC_AREA_X},
      {"no settings", kPaste, "V7ER\r\n[printer]\r\nfAreaX: 200\r\n", {}, IDOK, {}},
      {"answered no", kPaste, "fAreaX = 200", {L"110 \u2192 200"}, IDNO, {}},
      {"opened", kOpen, "fAreaY = 90\r\n", {L"80 \u2192 90"}, IDYES, {{IDC_AREA_Y, L"90"}}},
      {"dropped", kDrop, "nSpeedBase = 31", {L"30 \u2192 31"}, IDYES, {{IDC_SPEED_BASE, L"31"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox sandbox;
    if (c.how == kPaste) PutOnClipboard(Widen(c.text));
    const std::wstring path = sandbox.Dir() + L"machine 1.ini";
    if (c.how != kPaste) WriteFileDated(path, c.text);
    sandbox.WriteIni(kDefaultIni);
    const FileState before = sandbox.Ini();
    Program program(sandbox);
    ASSERT_TRUE(program.WaitForForm());
    if (c.how == kPaste) Command(program, IDM_PASTE_SETTINGS);
    // The shell gives drops to a window with this style, which the form sets itself.
    EXPECT_TRUE(GetWindowLongPtrW(program.Form(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    ASSERT_TRUE(c.how != kDrop || program.DropFile(path));
    if (c.how == kOpen) {
      Command(program, IDM_OPEN_SETTINGS);
      HWND open = nullptr;
      ASSERT_TRUE(program.WaitForDialog(kFileNameField, open));
      program.SetItemText(open, kFileNameField, path);
      program.PostClickItem(open, IDOK);
    }
    MessageBoxInfo box;
    ASSERT_TRUE(program.WaitForMessageBox(box));
    for (std::wstring said : c.said) {
      if (said == L"mode") said = program.Text(program.Item(IDC_MODE_FLAT)) + L" \u2192 ";
      EXPECT_NE(box.text.find(said), std::wstring::npos) << Narrow(box.text);
    }
    EXPECT_EQ(box.text.find(L"1OO\n"), std::wstring::npos) << "the refused value is not marked";
    if (c.how != kPaste) {
      EXPECT_NE(box.text.find(path), std::wstring::npos) << Narrow(box.text);
    }
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(box.hwnd, c.answer))) << Narrow(box.text);
    ASSERT_TRUE(program.DismissMessageBox(box, c.answer));
    EXPECT_TRUE(Eventually(
        [&] { return FormState(program); },
        StateOf(c.answer == IDYES ? DefaultsWith(c.shown) : kDefaultsShown, c.option, c.row)));
    EXPECT_EQ(sandbox.Ini(), before) << "written before OK";
    const bool saved = c.text.starts_with("C:");
    program.PostClick(saved || c.refused_on_ok ? IDOK : IDCANCEL);
    if (c.refused_on_ok) {
      EXPECT_TRUE(MessageBoxSaying(
          program, FieldMessage(c.refused_on_ok, FieldKind::kDouble, Fault::kNotANumber)));
      program.PostClick(IDCANCEL);
    }
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(sandbox.IniBytes(), saved ? std::string(kEditedIni) : before.bytes);
  }
}

// A clipboard another program holds for a moment is waited for; one held
// longer is said to be in use.
TEST(CopySettings, WaitsForAClipboardHeldForAMoment) {
  for (const bool copied : {true, false}) {
    Sandbox sandbox;
    sandbox.WriteIni(kEditedIni);
    Program program(sandbox);
    ASSERT_TRUE(program.WaitForForm());
    ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard());
    Command(program, IDM_COPY_SETTINGS);
    std::this_thread::sleep_for(std::chrono::milliseconds(copied ? 100 : 1500));
    CloseClipboard();
    EXPECT_TRUE(copied || MessageBoxSaying(program, L"")) << "no word of the busy clipboard";
    EXPECT_TRUE(
        Eventually(ClipboardText, copied ? sandbox.IniPath() + L"\r\n" + Widen(kEditedIni) : L""));
    program.PostClick(IDCANCEL);
    ASSERT_TRUE(program.WaitForExit());
  }
}

// ---------------------------------------------------------------- about

TEST(About, ShowsVersionPathAndFileState) {
  const Language language = ProgramLanguage();
  const struct {
    const char* name;
    bool write;
    bool read_only;
    std::wstring state;
  } cases[] = {
      {"writable", true, false, kAboutWritable.In(language)},
      {"missing", false, false, kAboutNotFound.In(language)},
      {"read-only", true, true, kAboutNotWritable.In(language, kReadOnlyReason.In(language))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox sandbox;
    if (c.write) sandbox.WriteIni(kDefaultIni);
    if (c.read_only) sandbox.SetIniReadOnly(true);
    const FileState before = sandbox.Ini();
    Program program(sandbox);
    ASSERT_TRUE(program.WaitForForm());
    Command(program, IDM_ABOUT);
    MessageBoxInfo box;
    ASSERT_TRUE(program.WaitForMessageBox(box));
    EXPECT_EQ(Narrow(box.caption), Narrow(kAboutCaption.In(language)));
    EXPECT_EQ(box.owner, program.Form());
    EXPECT_EQ(Narrow(Lower(box.text)),
              Narrow(Lower(kAbout.In(language, L"1.0.0", sandbox.IniPath()) + L"\n" + c.state)));
    ASSERT_TRUE(program.DismissMessageBox(box));
    program.PostClick(IDCANCEL);
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(sandbox.Ini(), before);
    if (c.read_only) sandbox.SetIniReadOnly(false);
  }
}

}  // namespace
}  // namespace v7er_ui
