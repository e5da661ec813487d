// The marking mode enables and disables five fields: on opening, for the
// stored mode, and on every choice of a mode option.
#include <algorithm>
#include <string>
#include <vector>

#include "form_facts.h"

namespace v7er_ui {
namespace {

// Defaults, except a stored mode and the five mode-dependent fields set apart
// from their defaults, so a disabled field can be seen to keep its value.
std::string IniWithMode(int mode) {
  return "fStepY = 0.125\r\n"
         "fStepZ = 0.25\r\n"
         "bClearRotateReturn = 0\r\n"
         "bResetRotate = 1\r\n"
         "fSwivelModulus = 0.5\r\n"
         "nPrintMode = " +
         std::to_string(mode) + "\r\n";
}

const std::vector<FieldShown> kModeFieldsShown = {
    {IDC_STEP_Y, L"0.125"},
    {IDC_STEP_Z, L"0.25"},
    {IDC_CLEAR_ROTATE_RETURN, L"unchecked"},
    {IDC_RESET_ROTATE, L"checked"},
    {IDC_SWIVEL_MODULUS, L"0.5"},
};

::testing::AssertionResult RowIs(const Program& program, const wchar_t* row) {
  return Eventually([&] { return EnabledStates(program, kModeControls); }, row);
}

struct StoredMode {
  int mode;
  const wchar_t* checked_option;
  const wchar_t* row;
};

void PrintTo(const StoredMode& stored, std::ostream* os) {
  *os << "mode " << stored.mode;
}

class StoredModeOnOpen : public ::testing::TestWithParam<StoredMode> {};

TEST_P(StoredModeOnOpen, SelectsOptionAndAppliesRow) {
  const StoredMode& stored = GetParam();
  Sandbox sandbox;
  sandbox.WriteIni(IniWithMode(stored.mode));
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());

  EXPECT_EQ(Narrow(CheckedOptions(program)), Narrow(stored.checked_option));
  EXPECT_EQ(Narrow(EnabledStates(program, kModeControls)), Narrow(stored.row));
  for (const FieldShown& field : kModeFieldsShown)
    EXPECT_EQ(Narrow(program.Shown(field.id)), Narrow(field.shown)) << "field " << field.id;
  // Nothing but the five depends on the mode.
  for (HWND child : program.Children()) {
    const int id = GetDlgCtrlID(child);
    if (std::find(kModeControls.begin(), kModeControls.end(), id) != kModeControls.end()) continue;
    EXPECT_TRUE(IsWindowEnabled(child))
        << "control " << id << " \"" << Narrow(program.Text(child)) << "\" is disabled";
  }

  program.PostClick(IDCANCEL);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.Ini(), before);
}

INSTANTIATE_TEST_SUITE_P(
    ModeEnabling, StoredModeOnOpen,
    ::testing::Values(StoredMode{0, L"2060", kRowFlat}, StoredMode{1, L"2061", kRowRotateY},
                      StoredMode{2, L"2062", kRowRotateZ}, StoredMode{3, L"2063", kRowRotateZ},
                      StoredMode{4, L"2064", kRowFlipZ}, StoredMode{9, L"", kRowAllOn}),
    [](const ::testing::TestParamInfo<StoredMode>& stored) {
      return "Mode" + std::to_string(stored.param.mode);
    });

TEST(ModeEnabling, OptionClicksApplyTheirRowWithoutWriting) {
  Sandbox sandbox;
  sandbox.WriteIni(IniWithMode(9));
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  ASSERT_EQ(Narrow(EnabledStates(program, kModeControls)), Narrow(kRowAllOn));

  struct Step {
    int clicked;
    const wchar_t* row;
  };
  const Step steps[] = {
      {IDC_MODE_ROTATE_Z, kRowRotateZ},  // the first click after no selection
      {IDC_MODE_ROTATE_Y, kRowRotateY},
      {IDC_MODE_FLAT, kRowFlat},  // 2061 to 2060: 1006 on, 1010, 1014, 2065 off
      {IDC_MODE_FLIP_Z, kRowFlipZ},
      {IDC_MODE_ROTATE_Z_PER_CHAR, kRowRotateZ},
      {IDC_MODE_FLAT, kRowFlat},
      {IDC_MODE_ROTATE_Y, kRowRotateY},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE("click on " + std::to_string(step.clicked));
    program.Click(step.clicked);
    EXPECT_EQ(Narrow(CheckedOptions(program)), std::to_string(step.clicked));
    EXPECT_EQ(Narrow(EnabledStates(program, kModeControls)), Narrow(step.row));
  }

  // Clicking the option that is already selected applies its row again. Select
  // 2063 silently (no click) while 2061's row shows, then click it.
  program.SendToItem(IDC_MODE_ROTATE_Y, BM_SETCHECK, BST_UNCHECKED, 0);
  program.SendToItem(IDC_MODE_ROTATE_Z_PER_CHAR, BM_SETCHECK, BST_CHECKED, 0);
  ASSERT_EQ(Narrow(EnabledStates(program, kModeControls)), Narrow(kRowRotateY));
  program.Click(IDC_MODE_ROTATE_Z_PER_CHAR);
  EXPECT_EQ(Narrow(CheckedOptions(program)), "2063");
  EXPECT_EQ(Narrow(EnabledStates(program, kModeControls)), Narrow(kRowRotateZ));

  EXPECT_EQ(sandbox.Ini(), before) << "a mode click touched printer.ini";
  program.PostClick(IDCANCEL);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.Ini(), before);
}

// The arrow keys move through the option group and select as they go; the
// flip-angle box inside the group takes the focus but is no option.
TEST(ModeEnabling, ArrowKeysInsideTheGroupSelectAndApply) {
  Sandbox sandbox;
  sandbox.WriteIni(IniWithMode(0));
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  program.Focus(IDC_MODE_FLAT);
  ASSERT_TRUE(program.WaitForFocus(program.Item(IDC_MODE_FLAT)));

  struct Step {
    UINT key;
    int focused;
    const wchar_t* checked;
    const wchar_t* row;
  };
  const Step steps[] = {
      {VK_DOWN, IDC_MODE_ROTATE_Y, L"2061", kRowRotateY},
      // Back to the option the form opened with: still one that checks itself.
      {VK_UP, IDC_MODE_FLAT, L"2060", kRowFlat},
      {VK_DOWN, IDC_MODE_ROTATE_Y, L"2061", kRowRotateY},
      {VK_DOWN, IDC_MODE_ROTATE_Z, L"2062", kRowRotateZ},
      {VK_DOWN, IDC_MODE_ROTATE_Z_PER_CHAR, L"2063", kRowRotateZ},
      {VK_DOWN, IDC_MODE_FLIP_Z, L"2064", kRowFlipZ},
      {VK_UP, IDC_MODE_ROTATE_Z_PER_CHAR, L"2063", kRowRotateZ},
      {VK_DOWN, IDC_MODE_FLIP_Z, L"2064", kRowFlipZ},
      {VK_DOWN, IDC_FLIP_ANGLE, L"2064", kRowFlipZ},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE("key to " + std::to_string(step.focused));
    program.PressKey(step.key);
    ASSERT_TRUE(program.WaitForFocus(program.Item(step.focused)));
    EXPECT_TRUE(RowIs(program, step.row));
    EXPECT_EQ(Narrow(CheckedOptions(program)), Narrow(step.checked));
  }

  EXPECT_EQ(sandbox.Ini(), before);
  program.PostClick(IDCANCEL);
  ASSERT_TRUE(program.WaitForExit());
}

// A disabled field keeps taking part in OK: a bad text in it blocks OK, and a
// good one is saved, though the field stays disabled throughout.
TEST(ModeEnabling, DisabledFieldIsValidatedAndSaved) {
  Sandbox sandbox;
  sandbox.WriteIni(IniWithMode(1));
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  ASSERT_FALSE(program.Enabled(IDC_STEP_Y));

  program.SetText(IDC_STEP_Y, L"abc");
  const Said opened_by = {
      L"This field is disabled in the selected marking mode. To correct it, first select "
      L"“平面刻印(Z为升降轴)”, “Z轴旋转” or “Z轴逐字旋转”.",
      L"当前的刻印机模式下此项不可用。如需修改，请先选择“平面刻印(Z为升降轴)”、“Z轴旋转”或“Z轴逐字"
      L"旋转”。"};
  EXPECT_TRUE(
      OkRefusedAt(program, IDC_STEP_Y,
                  FieldMessage(IDC_STEP_Y, FieldKind::kDouble, Fault::kNotANumber, &opened_by)));
  ASSERT_TRUE(program.Running());
  EXPECT_EQ(sandbox.Ini(), before);
  EXPECT_FALSE(program.Enabled(IDC_STEP_Y));
  EXPECT_EQ(Narrow(program.Shown(IDC_STEP_Y)), "abc");

  program.SetText(IDC_STEP_Y, L"0.375");
  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.IniBytes(),
            "fAreaX = 110\r\n"
            "fAreaY = 80\r\n"
            "fAreaZ = 100\r\n"
            "fStepX = 0.0069851349\r\n"
            "fStepY = 0.375\r\n"
            "fStepZ = 0.25\r\n"
            "nSpeedScale = 5\r\n"
            "nSpeedBase = 30\r\n"
            "nResetMode = 1\r\n"
            "strResetOrder = xy\r\n"
            "nPrintMode = 1\r\n"
            "dFlipAngle = 30\r\n"
            "bClearRotateReturn = 0\r\n"
            "bResetRotate = 1\r\n"
            "fSwivelModulus = 0.5\r\n"
            "bInitReset = 0\r\n"
            "bFirstPrnReset = 1\r\n"
            "nDelayCharSp = 0\r\n");
}

// A refused field that the stored mode disables cannot take the focus: the
// message names the options that enable it, as the form shows them.
TEST(ModeEnabling, DisabledFieldMessageNamesTheOptionsThatEnableIt) {
  const struct {
    int mode;
    int id;
    Said opened_by;
  } cases[] = {
      {2,
       IDC_STEP_Z,
       {L"This field is disabled in the selected marking mode. To correct it, first select "
        L"“平面刻印(Z为升降轴)”, “Y轴旋转(Z为升降轴)” or “Z轴翻转刻印”.",
        L"当前的刻印机模式下此项不可用。如需修改，请先选择“平面刻印(Z为升降轴)”、“Y轴旋转(Z为升降"
        L"轴)”或“Z轴翻转刻印”。"}},
      {0,
       IDC_SWIVEL_MODULUS,
       {L"This field is disabled in the selected marking mode. To correct it, first select "
        L"“Y轴旋转(Z为升降轴)”, “Z轴旋转”, “Z轴逐字旋转” or “Z轴翻转刻印”.",
        L"当前的刻印机模式下此项不可用。如需修改，请先选择“Y轴旋转(Z为升降轴)”、“Z轴旋转”、“Z轴逐字"
        L"旋转”或“Z轴翻转刻印”。"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("field " + std::to_string(c.id) + " in mode " + std::to_string(c.mode));
    Sandbox sandbox;
    sandbox.WriteIni(IniWithMode(c.mode));
    Program program(sandbox);
    ASSERT_TRUE(program.WaitForForm());
    ASSERT_FALSE(program.Enabled(c.id));
    program.SetText(c.id, L"");
    EXPECT_TRUE(OkRefusedAt(program, c.id,
                            FieldMessage(c.id, FieldKind::kDouble, Fault::kEmpty, &c.opened_by)));
    program.PostClick(IDCANCEL);
    EXPECT_TRUE(program.WaitForExit());
  }
}

}  // namespace
}  // namespace v7er_ui
