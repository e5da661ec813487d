// OK refuses fields that are not numbers of their kind, and a file it may not
// replace; either way the form stays open and printer.ini is left alone.
#include <cstdlib>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "form_facts.h"

namespace v7er_ui {
namespace {

// A writer-format file with no stored mode in 0..4, so that every field is
// enabled and can take the focus.
std::string AllEnabledIni() {
  std::string ini = kDefaultIni;
  const std::string mode = "nPrintMode = 0";
  ini.replace(ini.find(mode), mode.size(), "nPrintMode = 9");
  return ini;
}

// The cases below expect the texts of the language the system reports; a run
// meant for one language checks that Wine really reports it (as "zh", "de" ...).
TEST(FieldValidation, UiLanguageIsTheOneTheRunIsFor) {
  const char* expected = std::getenv("V7ER_EXPECT_UI_LANGUAGE");
  if (!expected || !*expected) GTEST_SKIP() << "V7ER_EXPECT_UI_LANGUAGE is not set";
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  ASSERT_GT(LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                             LOCALE_NAME_MAX_LENGTH, 0),
            0);
  EXPECT_EQ(Narrow(name).substr(0, 2), expected) << "UI language " << Narrow(name);
}

struct BadText {
  int id;
  const wchar_t* text;
  FieldKind kind;
  Fault fault;
};

const BadText kBadTexts[] = {
    {IDC_AREA_X, L"", FieldKind::kDouble, Fault::kEmpty},
    {IDC_AREA_Y, L"   ", FieldKind::kDouble, Fault::kEmpty},
    {IDC_AREA_Z, L"12.5mm", FieldKind::kDouble, Fault::kNotANumber},
    {IDC_STEP_X, L"abc", FieldKind::kDouble, Fault::kNotANumber},
    {IDC_STEP_Y, L"inf", FieldKind::kDouble, Fault::kNotANumber},
    {IDC_STEP_Z, L"nan", FieldKind::kDouble, Fault::kNotANumber},
    {IDC_FLIP_ANGLE, L"1e999", FieldKind::kDouble, Fault::kOutOfRange},
    {IDC_SWIVEL_MODULUS, L"-1e999", FieldKind::kDouble, Fault::kOutOfRange},
    {IDC_AREA_X, L"1 2", FieldKind::kDouble, Fault::kNotANumber},
    {IDC_AREA_Y, L".", FieldKind::kDouble, Fault::kNotANumber},
    {IDC_AREA_Z, L"-", FieldKind::kDouble, Fault::kNotANumber},
    {IDC_STEP_X, L"1e", FieldKind::kDouble, Fault::kNotANumber},
    {IDC_AREA_X, L"１２．５ｍｍ", FieldKind::kDouble, Fault::kNotANumber},
    {IDC_SPEED_SCALE, L"abc", FieldKind::kInteger, Fault::kNotANumber},
    {IDC_SPEED_BASE, L"", FieldKind::kInteger, Fault::kEmpty},
    {IDC_DELAY_CHAR_SP, L"12.5", FieldKind::kInteger, Fault::kNotWhole},
    {IDC_SPEED_BASE, L"３．５", FieldKind::kInteger, Fault::kNotWhole},
    {IDC_SPEED_SCALE, L"2147483648", FieldKind::kInteger, Fault::kOutOfRange},
    {IDC_SPEED_BASE, L"-2147483649", FieldKind::kInteger, Fault::kOutOfRange},
    {IDC_DELAY_CHAR_SP, L"99999999999999999999", FieldKind::kInteger, Fault::kOutOfRange},
    {IDC_SPEED_SCALE, L"5x", FieldKind::kInteger, Fault::kNotANumber},
};

// One bad field at a time, the others valid. Cases share a run; a run that a
// wrongly accepted text ends is replaced for the cases after it.
TEST(FieldValidation, BadTextBlocksOk) {
  const std::string ini = AllEnabledIni();
  Sandbox sandbox;
  sandbox.WriteIni(ini);
  const FileState before = sandbox.Ini();
  std::unique_ptr<Program> program;
  for (const BadText& bad : kBadTexts) {
    SCOPED_TRACE("field " + std::to_string(bad.id) + " holding \"" + Narrow(bad.text) + "\"");
    if (!program || !program->Running()) {
      program.reset();
      sandbox.WriteIni(ini);
      program = std::make_unique<Program>(sandbox);
      ASSERT_TRUE(program->WaitForForm());
    }
    const std::wstring good = program->Shown(bad.id);
    program->SetText(bad.id, bad.text);
    EXPECT_TRUE(OkRefusedAt(*program, bad.id, FieldMessage(bad.id, bad.kind, bad.fault)));
    if (!program->Running()) continue;
    EXPECT_EQ(Narrow(program->Shown(bad.id)), Narrow(bad.text)) << "the refused text was changed";
    EXPECT_EQ(sandbox.Ini(), before);
    program->SetText(bad.id, good);
  }
  ASSERT_TRUE(program && program->Running());
  program->PostClick(IDCANCEL);
  EXPECT_TRUE(program->WaitForExit());
  EXPECT_EQ(sandbox.Ini(), before);
}

// With every number field bad, OK reports them one at a time in the order it
// collects them; once all are put right, it saves.
TEST(FieldValidation, FirstBadFieldInExchangeOrderIsReported) {
  const std::string ini = AllEnabledIni();
  Sandbox sandbox;
  sandbox.WriteIni(ini);
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());

  std::vector<std::wstring> good;
  for (const NumberField& field : kNumberFieldsInExchangeOrder) {
    good.push_back(program.Shown(field.id));
    program.SetText(field.id, L"x");
  }
  for (std::size_t i = 0; i < kNumberFieldsInExchangeOrder.size(); ++i) {
    const NumberField& field = kNumberFieldsInExchangeOrder[i];
    SCOPED_TRACE("field " + std::to_string(field.id));
    ASSERT_TRUE(
        OkRefusedAt(program, field.id, FieldMessage(field.id, field.kind, Fault::kNotANumber)));
    program.SetText(field.id, good[i]);
  }
  EXPECT_EQ(sandbox.Ini(), before);

  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  std::string expected = ini;
  const std::string mode = "nPrintMode = 9";
  expected.replace(expected.find(mode), mode.size(), "nPrintMode = -1");
  EXPECT_EQ(sandbox.IniBytes(), expected);
}

// A read-only printer.ini is not replaced: the form says so and keeps the
// edits; once the file may be written, OK saves them.
TEST(FailedSave, ReadOnlyFileKeepsFormAndEdits) {
  Sandbox sandbox;
  sandbox.WriteIni(kDefaultIni);
  sandbox.SetIniReadOnly(true);
  const FileState before = sandbox.Ini();
  const auto names_before = sandbox.FileNames();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());

  program.SetText(IDC_AREA_X, L"123.5");
  program.SetText(IDC_RESET_ORDER, L"z,xy");
  program.Click(IDC_RELEASE_LIMIT);
  program.Click(IDC_MODE_ROTATE_Z);
  program.SetText(IDC_DELAY_CHAR_SP, L"7");
  const std::vector<FieldShown> edited = {
      {IDC_AREA_X, L"123.5"},
      {IDC_AREA_Y, L"80"},
      {IDC_AREA_Z, L"100"},
      {IDC_STEP_X, L"0.0069851349"},
      {IDC_STEP_Y, L"0.0069851349"},
      {IDC_STEP_Z, L"0.0069851349"},
      {IDC_SPEED_SCALE, L"5"},
      {IDC_SPEED_BASE, L"30"},
      {IDC_RESET_ORDER, L"z,xy"},
      {IDC_RELEASE_LIMIT, L"checked"},
      {IDC_FLIP_ANGLE, L"30"},
      {IDC_CLEAR_ROTATE_RETURN, L"checked"},
      {IDC_RESET_ROTATE, L"unchecked"},
      {IDC_SWIVEL_MODULUS, L"0.01125"},
      {IDC_INIT_RESET, L"unchecked"},
      {IDC_FIRST_PRN_RESET, L"checked"},
      {IDC_DELAY_CHAR_SP, L"7"},
  };

  program.PostClick(IDOK);
  MessageBoxInfo box;
  ASSERT_TRUE(program.WaitForMessageBox(box));
  EXPECT_EQ(Narrow(box.caption), Narrow(kErrorCaption.In(ProgramLanguage())));
  EXPECT_EQ(box.owner, program.Form());
  EXPECT_EQ(Narrow(MessageBoxIconKind(box.hwnd)), "error");
  // The path as the program found it may differ in case.
  const Language language = ProgramLanguage();
  std::wstring text = box.text;
  std::wstring expected = kSaveFailed.In(language, sandbox.IniPath(), kReadOnlyReason.In(language));
  for (auto* s : {&text, &expected})
    for (auto& c : *s) c = static_cast<wchar_t>(towlower(c));
  EXPECT_EQ(Narrow(text), Narrow(expected));
  ASSERT_TRUE(program.DismissMessageBox(box));

  ASSERT_TRUE(program.Running()) << "the program ended after a failed save";
  EXPECT_TRUE(IsWindowVisible(program.Form()));
  EXPECT_TRUE(IsWindowEnabled(program.Form()));
  for (const FieldShown& field : edited)
    EXPECT_EQ(Narrow(program.Shown(field.id)), Narrow(field.shown)) << "field " << field.id;
  EXPECT_EQ(Narrow(CheckedOptions(program)), "2062");
  EXPECT_EQ(sandbox.Ini(), before);
  EXPECT_EQ(sandbox.FileNames(), names_before) << "a file was left behind";

  sandbox.SetIniReadOnly(false);
  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(sandbox.IniBytes(),
            "fAreaX = 123.5\r\n"
            "fAreaY = 80\r\n"
            "fAreaZ = 100\r\n"
            "fStepX = 0.0069851349\r\n"
            "fStepY = 0.0069851349\r\n"
            "fStepZ = 0.0069851349\r\n"
            "nSpeedScale = 5\r\n"
            "nSpeedBase = 30\r\n"
            "nResetMode = 2\r\n"
            "strResetOrder = z,xy\r\n"
            "nPrintMode = 2\r\n"
            "dFlipAngle = 30\r\n"
            "bClearRotateReturn = 1\r\n"
            "bResetRotate = 0\r\n"
            "fSwivelModulus = 0.01125\r\n"
            "bInitReset = 0\r\n"
            "bFirstPrnReset = 1\r\n"
            "nDelayCharSp = 7\r\n");
  std::vector<std::wstring> names = names_before;
  names.push_back(L"printer.ini.bak");
  EXPECT_EQ(sandbox.FileNames(), names);
}

// Saves the program refuses on its own: the message says what is in the way
// and what to do; the form stays open and nothing is written.
TEST(FailedSave, OwnRefusalsSayWhatToDo) {
  const struct {
    const char* name;
    bool folder;  // a folder named printer.ini
    const wchar_t* reset_order;
    const Said* reason;  // none: the backup's own reason, which names it
    bool read_only_backup = false;
  } cases[] = {
      {"folder in the way", true, L"xy", &kFolderInTheWayReason},
      {"line break in the reset order", false, L"z\r\nxy", &kLineBreakReason},
      {"read-only backup", false, L"xy", nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox sandbox;
    if (c.folder) {
      ASSERT_TRUE(CreateDirectoryW(sandbox.IniPath().c_str(), nullptr));
    } else {
      sandbox.WriteIni(kDefaultIni);
    }
    const std::wstring backup = sandbox.IniPath() + L".bak";
    if (c.read_only_backup) {
      WriteFileDated(backup, "older");
      SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    const FileState before = sandbox.Ini();
    const auto names_before = sandbox.FileNames();
    {
      Program program(sandbox);
      ASSERT_TRUE(program.WaitForForm());
      program.SetText(IDC_RESET_ORDER, c.reset_order);
      program.PostClick(IDOK);
      MessageBoxInfo box;
      ASSERT_TRUE(program.WaitForMessageBox(box));
      EXPECT_EQ(Narrow(box.caption), Narrow(kErrorCaption.In(ProgramLanguage())));
      EXPECT_EQ(box.owner, program.Form());
      const Language language = ProgramLanguage();
      std::wstring text = box.text;
      std::wstring expected =
          c.reason ? kSaveFailed.In(language, sandbox.IniPath(), c.reason->In(language)) : backup;
      for (auto* s : {&text, &expected})
        for (auto& ch : *s) ch = static_cast<wchar_t>(towlower(ch));
      if (c.reason) {
        EXPECT_EQ(Narrow(text), Narrow(expected));
      } else {
        EXPECT_NE(text.find(expected), std::wstring::npos) << Narrow(text);
      }
      ASSERT_TRUE(program.DismissMessageBox(box));
      EXPECT_TRUE(program.Running());
      program.PostClick(IDCANCEL);
      EXPECT_TRUE(program.WaitForExit());
    }
    EXPECT_EQ(sandbox.Ini(), before);
    EXPECT_EQ(sandbox.FileNames(), names_before);
    if (c.folder) RemoveDirectoryW(sandbox.IniPath().c_str());
    SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

}  // namespace
}  // namespace v7er_ui
