#pragma once

#include <cstdint>
#include <span>

// Which of the languages a program has its texts in serves a user. Portable:
// language ids as Windows numbers them (primary language in the low ten bits).
using LanguageId = std::uint16_t;

// The user's own language if the program has it, else one of the same primary
// language (another Chinese, another English), else `fallback` if the program
// has it, else the first it has; 0 if it has none.
LanguageId ChooseUiLanguage(LanguageId user, std::span<const LanguageId> available,
                            LanguageId fallback);
