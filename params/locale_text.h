#pragma once

#include <string>
#include <string_view>

// Conversion between the file's bytes and the program's wide text, in the
// user's default multibyte encoding (the ANSI code page on Windows, the
// encoding of the user's locale elsewhere). Neither direction fails: bytes that
// do not decode become U+FFFD, characters that do not encode become '?'.
std::wstring DecodeLocaleText(std::string_view bytes);
std::string EncodeLocaleText(std::wstring_view text);
