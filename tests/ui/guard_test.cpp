// The tool refuses to run while the marker of the main application exists, and
// holds that marker itself while it runs.
#include <string>

#include "form_facts.h"

namespace v7er_ui {
namespace {

const wchar_t kRunningMessage[] = L"Calvor Now Running!\nPlease quit Calvor first.";

// The refusal: an ownerless error box with the two-line message, and no form.
void ExpectRefusal(Program& program) {
  MessageBoxInfo box;
  ASSERT_TRUE(program.WaitForMessageBox(box));
  EXPECT_EQ(Narrow(box.caption), "Error");
  EXPECT_EQ(Narrow(box.text), Narrow(kRunningMessage));
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(Narrow(MessageBoxIconKind(box.hwnd)), "error");
  EXPECT_FALSE(program.FormSeen()) << "the form appeared before the message";
  ASSERT_TRUE(program.DismissMessageBox(box));
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_FALSE(program.FormSeen()) << "the form appeared after the message";
}

TEST(RunningGuard, RefusedWhileMainApplicationRuns) {
  Sandbox sandbox;
  sandbox.WriteIni(kDefaultIni);
  const FileState before = sandbox.Ini();
  MarkerHeld main_application;
  ASSERT_TRUE(main_application.Ok()) << "the marker existed before the case";

  Program program(sandbox);
  ExpectRefusal(program);
  EXPECT_EQ(sandbox.Ini(), before);
}

// The main application running with more rights than the user: the marker
// exists, but opening it is denied. That is running too.
TEST(RunningGuard, RefusedWhenTheMarkerCannotBeOpened) {
  Sandbox sandbox;
  sandbox.WriteIni(kDefaultIni);
  const FileState before = sandbox.Ini();
  MarkerHeld main_application(MarkerHeld::Access::kDeniedToOthers);
  ASSERT_TRUE(main_application.Ok()) << "the marker existed before the case";
  SetLastError(ERROR_SUCCESS);
  const HANDLE opened = CreateMutexW(nullptr, FALSE, L"Cavlor");
  ASSERT_EQ(opened, nullptr) << "the marker's access list lets others in";
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  Program program(sandbox);
  ExpectRefusal(program);
  EXPECT_EQ(sandbox.Ini(), before);
}

TEST(RunningGuard, SecondCopyRefusedWhileFirstIsOpen) {
  Sandbox sandbox;
  sandbox.WriteIni(kDefaultIni);
  const FileState before = sandbox.Ini();
  ASSERT_FALSE(MarkerExists()) << "the marker existed before the case";

  Program first(sandbox);
  ASSERT_TRUE(first.WaitForForm());
  EXPECT_TRUE(MarkerExists()) << "the open form does not hold the marker";
  first.SetText(IDC_AREA_X, L"111");

  {
    Program second(sandbox);
    ExpectRefusal(second);
  }
  EXPECT_EQ(sandbox.Ini(), before);

  // The first copy is untouched: still open, with its edit, and it saves.
  ASSERT_TRUE(first.Running());
  EXPECT_TRUE(IsWindowVisible(first.Form()));
  EXPECT_EQ(Narrow(first.Shown(IDC_AREA_X)), "111");
  first.PostClick(IDOK);
  ASSERT_TRUE(first.WaitForExit());
  std::string expected = kDefaultIni;
  expected.replace(0, std::string("fAreaX = 110").size(), "fAreaX = 111");
  EXPECT_EQ(sandbox.IniBytes(), expected);
  EXPECT_FALSE(MarkerExists()) << "the marker outlived the program";
}

}  // namespace
}  // namespace v7er_ui
