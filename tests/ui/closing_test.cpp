// Every way of closing the form other than OK drops the edits and leaves
// printer.ini exactly as it was.
#include <functional>
#include <string>

#include "form_facts.h"

namespace v7er_ui {
namespace {

struct CloseWay {
  const char* name;
  bool with_file;
  std::function<void(Program&)> close;
};

void PrintTo(const CloseWay& way, std::ostream* os) {
  *os << way.name;
}

class Closing : public ::testing::TestWithParam<CloseWay> {};

TEST_P(Closing, WithoutOkLeavesFileAlone) {
  const CloseWay& way = GetParam();
  Sandbox sandbox;
  if (way.with_file) sandbox.WriteIni(kDefaultIni);
  const FileState before = sandbox.Ini();
  const auto names_before = sandbox.FileNames();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());

  program.SetText(IDC_AREA_X, L"99");
  program.SetText(IDC_SPEED_SCALE, L"abc");  // not even valid: nothing is collected
  program.Click(IDC_RELEASE_LIMIT);
  program.Click(IDC_MODE_ROTATE_Y);
  way.close(program);
  ASSERT_TRUE(program.WaitForExit());

  EXPECT_EQ(sandbox.Ini(), before);
  EXPECT_EQ(sandbox.FileNames(), names_before);
}

INSTANTIATE_TEST_SUITE_P(
    AllWays, Closing,
    ::testing::Values(
        CloseWay{"Cancel", true, [](Program& p) { p.PostClick(IDCANCEL); }},
        CloseWay{"CancelWithoutFile", false, [](Program& p) { p.PostClick(IDCANCEL); }},
        CloseWay{"Esc", true,
                 [](Program& p) {
                   p.Focus(IDC_AREA_X);
                   p.PressKey(VK_ESCAPE);
                 }},
        CloseWay{"CloseBox", true, [](Program& p) { p.PostToForm(WM_SYSCOMMAND, SC_CLOSE, 0); }},
        CloseWay{"WmClose", true, [](Program& p) { p.PostToForm(WM_CLOSE, 0, 0); }}),
    [](const ::testing::TestParamInfo<CloseWay>& way) { return std::string(way.param.name); });

}  // namespace
}  // namespace v7er_ui
