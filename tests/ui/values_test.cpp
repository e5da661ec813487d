// What the form shows from printer.ini (or the defaults) and what OK writes.
#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

#include "form_facts.h"

namespace v7er_ui {
namespace {

const std::vector<std::wstring> kExeAndIni = {L"V7ER.exe", L"printer.ini"};

::testing::AssertionResult SameNames(std::vector<std::wstring> actual,
                                     std::vector<std::wstring> expected) {
  auto lower = [](std::vector<std::wstring>& names) {
    for (auto& name : names)
      for (auto& c : name) c = static_cast<wchar_t>(towlower(c));
    std::sort(names.begin(), names.end());
  };
  lower(actual);
  lower(expected);
  if (actual == expected) return ::testing::AssertionSuccess();
  std::wstring listed;
  for (const auto& name : actual) listed += L"\"" + name + L"\" ";
  return ::testing::AssertionFailure() << "directory holds " << Narrow(listed);
}

TEST(FormValues, DefaultsShownWithoutSettingsFileAndOkWritesThem) {
  Sandbox sandbox;
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());

  for (const FieldShown& field : kDefaultsShown) {
    EXPECT_EQ(Narrow(program.Shown(field.id)), Narrow(field.shown)) << "field " << field.id;
  }
  EXPECT_EQ(Narrow(CheckedOptions(program)), "2060");
  EXPECT_EQ(Narrow(EnabledStates(program, kModeControls)), Narrow(kRowFlat));
  EXPECT_FALSE(sandbox.Ini().exists) << "the form wrote printer.ini before OK";

  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.IniBytes(), kDefaultIni);
  EXPECT_TRUE(SameNames(sandbox.FileNames(), kExeAndIni));
}

// One line of a hand-written file, what the form shows for it and what OK
// writes back in its place. Id 0 stands for the option group.
struct FileValue {
  int id;
  const char* file_line;
  const wchar_t* shown;
  const char* written_line;
};

// Rows in the writer's order, so the written lines make the whole file. Lines
// end in LF alone and carry odd spacing, as a hand-edited file might.
const FileValue kFileValues[] = {
    {IDC_AREA_X, "fAreaX = 120.5 // mm", L"120.5", "fAreaX = 120.5"},
    {IDC_AREA_Y, "   fAreaY=0.1   ", L"0.1", "fAreaY = 0.1"},
    {IDC_AREA_Z, "fAreaZ = 1e2", L"100", "fAreaZ = 100"},
    {IDC_STEP_X, "fStepX = 0.006985134916", L"0.006985134916", "fStepX = 0.006985134916"},
    {IDC_STEP_Y, "fStepY = -2.5", L"-2.5", "fStepY = -2.5"},
    {IDC_STEP_Z, "fStepZ = 1234.5678", L"1234.5678", "fStepZ = 1234.5678"},
    {IDC_SPEED_SCALE, "nSpeedScale = -7", L"-7", "nSpeedScale = -7"},
    {IDC_SPEED_BASE, "nSpeedBase = 30.9", L"30", "nSpeedBase = 30"},
    {IDC_RELEASE_LIMIT, "nResetMode = 2", L"checked", "nResetMode = 2"},
    {IDC_RESET_ORDER, "strResetOrder = z , xy ", L"z , xy", "strResetOrder = z , xy"},
    {0, "nPrintMode = 9", L"", "nPrintMode = -1"},
    {IDC_FLIP_ANGLE, "dFlipAngle = 45.25", L"45.25", "dFlipAngle = 45.25"},
    {IDC_CLEAR_ROTATE_RETURN, "bClearRotateReturn = 0", L"unchecked", "bClearRotateReturn = 0"},
    {IDC_RESET_ROTATE, "bResetRotate = 7", L"checked", "bResetRotate = 1"},
    {IDC_SWIVEL_MODULUS, "fSwivelModulus = 0.3333333333", L"0.3333333333",
     "fSwivelModulus = 0.3333333333"},
    {IDC_INIT_RESET, "bInitReset = -1", L"checked", "bInitReset = 1"},
    {IDC_FIRST_PRN_RESET, "bFirstPrnReset = 0", L"unchecked", "bFirstPrnReset = 0"},
    {IDC_DELAY_CHAR_SP, "nDelayCharSp = 2147483647", L"2147483647", "nDelayCharSp = 2147483647"},
};

TEST(FormValues, FileValuesShownAndWrittenBack) {
  Sandbox sandbox;
  std::string file = "// written by hand\n[section]\nfAreaX = 1\n";
  std::string written;
  for (const FileValue& value : kFileValues) {
    file += std::string(value.file_line) + "\n";
    written += std::string(value.written_line) + "\r\n";
  }
  sandbox.WriteIni(file);
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());

  for (const FileValue& value : kFileValues) {
    const std::wstring shown = value.id == 0 ? CheckedOptions(program) : program.Shown(value.id);
    EXPECT_EQ(Narrow(shown), Narrow(value.shown)) << "line \"" << value.file_line << "\"";
  }
  // No stored mode in 0..4: nothing is disabled.
  EXPECT_EQ(Narrow(EnabledStates(program, kModeControls)), Narrow(kRowAllOn));

  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.IniBytes(), written);
}

// One user action on the form: typing a text into an edit box, or a click.
struct Action {
  int id;
  const wchar_t* typed;  // nullptr for a click
};

TEST(FormValues, EditedValuesAreSaved) {
  const Action actions[] = {
      {IDC_AREA_X, L" 12.5 "},
      {IDC_AREA_Y, L"1e2"},
      {IDC_AREA_Z, L"-.5"},
      {IDC_STEP_X, L"0.0123456789012"},
      {IDC_STEP_Y, L"2.5E-1"},
      {IDC_STEP_Z, L"1234567.891"},
      {IDC_SPEED_SCALE, L"2147483647"},
      {IDC_SPEED_BASE, L"-2147483648"},
      {IDC_RESET_ORDER, L" a=b "},
      {IDC_RELEASE_LIMIT, nullptr},
      {IDC_MODE_ROTATE_Y, nullptr},  // enables 1010 so it can be clicked
      {IDC_CLEAR_ROTATE_RETURN, nullptr},
      {IDC_RESET_ROTATE, nullptr},
      {IDC_MODE_FLIP_Z, nullptr},
      {IDC_FLIP_ANGLE, L"1234.56789"},
      {IDC_SWIVEL_MODULUS, L"0.000123"},
      {IDC_INIT_RESET, nullptr},
      {IDC_FIRST_PRN_RESET, nullptr},
      {IDC_DELAY_CHAR_SP, L"-42"},
  };
  const char expected[] =
      "fAreaX = 12.5\r\n"
      "fAreaY = 100\r\n"
      "fAreaZ = -0.5\r\n"
      "fStepX = 0.0123456789\r\n"
      "fStepY = 0.25\r\n"
      "fStepZ = 1234567.891\r\n"
      "nSpeedScale = 2147483647\r\n"
      "nSpeedBase = -2147483648\r\n"
      "nResetMode = 2\r\n"
      "strResetOrder =  a=b \r\n"
      "nPrintMode = 4\r\n"
      "dFlipAngle = 1234.5679\r\n"
      "bClearRotateReturn = 0\r\n"
      "bResetRotate = 1\r\n"
      "fSwivelModulus = 0.000123\r\n"
      "bInitReset = 1\r\n"
      "bFirstPrnReset = 0\r\n"
      "nDelayCharSp = -42\r\n";

  Sandbox sandbox;
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  for (const Action& action : actions) {
    ASSERT_TRUE(action.typed || program.Enabled(action.id)) << "control " << action.id;
    if (action.typed) {
      program.SetText(action.id, action.typed);
    } else {
      program.Click(action.id);
    }
  }
  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.IniBytes(), expected);
}

// A file the program wrote comes back byte for byte from OK without edits; and
// it is really written again, not skipped.
TEST(FormValues, OkWithoutEditsRewritesWriterOutputUnchanged) {
  std::string file_values_output;
  for (const FileValue& value : kFileValues)
    file_values_output += std::string(value.written_line) + "\r\n";
  struct Case {
    const char* name;
    std::string file;
  };
  const Case cases[] = {{"defaults", kDefaultIni},
                        {"values of a hand-written file", file_values_output}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox sandbox;
    sandbox.WriteIni(c.file);
    const FileState before = sandbox.Ini();
    Program program(sandbox);
    ASSERT_TRUE(program.WaitForForm());
    program.PostClick(IDOK);
    ASSERT_TRUE(program.WaitForExit());
    const FileState after = sandbox.Ini();
    EXPECT_EQ(after.bytes, c.file);
    EXPECT_NE(after.write_time, before.write_time) << "OK did not write printer.ini";
  }
}

// Values whose text is the writer's own business (exponent form, rounding) must
// survive a save, a reload and a second save unchanged. The second OK is given
// with the Enter key.
TEST(FormValues, ProgramOutputSurvivesReloadAndEnter) {
  const Action actions[] = {
      {IDC_STEP_X, L"1.2345e-7"},   {IDC_SWIVEL_MODULUS, L"-0.00000987654321"},
      {IDC_FLIP_ANGLE, L"0.00004"}, {IDC_AREA_Y, L"-0.00004"},
      {IDC_AREA_Z, L"0.03125"},     {IDC_STEP_Z, L"123456789012345"},
      {IDC_RESET_ORDER, L"z,xy"},
  };
  Sandbox sandbox;
  {
    Program first(sandbox);
    ASSERT_TRUE(first.WaitForForm());
    for (const Action& action : actions) first.SetText(action.id, action.typed);
    first.PostClick(IDOK);
    ASSERT_TRUE(first.WaitForExit());
  }
  const std::string saved = sandbox.IniBytes();
  // Tiny ranges and angles come out as a plain 0, never -0.
  EXPECT_NE(saved.find("\r\nfAreaY = 0\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\r\ndFlipAngle = 0\r\n"), std::string::npos) << saved;
  const auto step_x = saved.find("fStepX = ");
  ASSERT_NE(step_x, std::string::npos) << saved;
  EXPECT_EQ(std::strtod(saved.c_str() + step_x + 9, nullptr), 1.2345e-7) << saved;

  sandbox.WriteIni(saved);  // dated back, so the second write shows
  const FileState before = sandbox.Ini();
  Program second(sandbox);
  ASSERT_TRUE(second.WaitForForm());
  second.PressKey(VK_RETURN);
  ASSERT_TRUE(second.WaitForExit());
  const FileState after = sandbox.Ini();
  EXPECT_EQ(after.bytes, saved);
  EXPECT_NE(after.write_time, before.write_time) << "Enter did not save";
}

}  // namespace
}  // namespace v7er_ui
