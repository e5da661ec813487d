// Copies started at the same moment: whatever order they reach the guard in,
// exactly one opens the form and every other one refuses and ends.
#include <memory>
#include <string>
#include <vector>

#include "form_facts.h"

namespace v7er_ui {
namespace {

TEST(RunningGuard, CopiesStartedTogetherOpenOneForm) {
  constexpr int kCopies = 8;
  constexpr int kRounds = 3;
  Sandbox sandbox;
  sandbox.WriteIni(kDefaultIni);
  const FileState before = sandbox.Ini();

  for (int round = 1; round <= kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_FALSE(MarkerExists()) << "the marker exists before the copies start";
    // All created first and then let go together, so that they meet at the
    // guard rather than one after another.
    std::vector<std::unique_ptr<Program>> copies;
    for (int i = 0; i < kCopies; ++i) {
      copies.push_back(std::make_unique<Program>(sandbox, Program::Start::kSuspended));
      ASSERT_TRUE(copies.back()->Started());
    }
    for (auto& copy : copies) copy->Resume();

    std::vector<Program*> with_form;
    std::vector<std::pair<Program*, MessageBoxInfo>> refused;
    for (auto& copy : copies) {
      MessageBoxInfo box;
      ASSERT_TRUE(copy->WaitForFormOrMessageBox(box)) << "copy with process id " << copy->Pid();
      if (box.hwnd) {
        refused.emplace_back(copy.get(), box);
      } else {
        with_form.push_back(copy.get());
      }
    }
    EXPECT_EQ(with_form.size(), 1u) << "copies that opened the form";
    EXPECT_EQ(refused.size(), static_cast<std::size_t>(kCopies - 1)) << "copies that refused";

    for (auto& [copy, box] : refused) {
      EXPECT_EQ(Narrow(box.caption), "Error");
      EXPECT_EQ(Narrow(box.text), "Calvor Now Running!\nPlease quit Calvor first.");
      ASSERT_TRUE(copy->DismissMessageBox(box));
      // A copy that went on to open the form would not end here.
      ASSERT_TRUE(copy->WaitForExit());
    }
    for (Program* copy : with_form) {
      ASSERT_TRUE(copy->Running());
      EXPECT_TRUE(IsWindowVisible(copy->Form()));
      EXPECT_TRUE(MarkerExists()) << "the open form does not hold the marker";
      copy->PostClick(IDCANCEL);
      ASSERT_TRUE(copy->WaitForExit());
    }
    EXPECT_FALSE(MarkerExists()) << "the marker outlived the copies";
  }
  EXPECT_EQ(sandbox.Ini(), before);
}

}  // namespace
}  // namespace v7er_ui
