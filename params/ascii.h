#pragma once

#include <string_view>

// Plain ASCII reads the same in every encoding a user's locale can have, so it
// needs no conversion.
inline bool IsAscii(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}
