#include "ui_language.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Language ids as Windows numbers them: sublanguage << 10 | primary language.
constexpr LanguageId kEnglishUs = 0x0409, kEnglishUk = 0x0809, kChinaChinese = 0x0804,
                     kTaiwanChinese = 0x0404, kGerman = 0x0407, kAustrianGerman = 0x0C07,
                     kFrench = 0x040C, kNeutral = 0x0000;

TEST(UiLanguage, UsersOwnElseSamePrimaryElseFallback) {
  const std::vector<LanguageId> three = {kChinaChinese, kEnglishUs, kGerman};
  const struct {
    LanguageId user;
    std::vector<LanguageId> available;
    LanguageId chosen;
  } cases[] = {
      {kGerman, three, kGerman},  // a third table needs no code
      {kAustrianGerman, three, kGerman},
      {kTaiwanChinese, three, kChinaChinese},
      {kEnglishUk, three, kEnglishUs},
      {kFrench, three, kEnglishUs},
      {kFrench, {kGerman, kChinaChinese}, kGerman},  // no fallback: the first
      {kFrench, {kNeutral}, kNeutral},
      {kFrench, {}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseUiLanguage(c.user, c.available, kEnglishUs), c.chosen) << std::hex << c.user;
  }
}

}  // namespace
