#include "ui_language.h"

#include <algorithm>

namespace {

LanguageId Primary(LanguageId language) {
  return language & 0x3FF;
}

}  // namespace

LanguageId ChooseUiLanguage(LanguageId user, std::span<const LanguageId> available,
                            LanguageId fallback) {
  const auto has = [&](auto matches) {
    return std::find_if(available.begin(), available.end(), matches);
  };
  for (const auto found : {has([&](LanguageId l) { return l == user; }),
                           has([&](LanguageId l) { return Primary(l) == Primary(user); }),
                           has([&](LanguageId l) { return l == fallback; })}) {
    if (found != available.end()) return *found;
  }
  return available.empty() ? 0 : available.front();
}
