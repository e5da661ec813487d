#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

#include "ascii.h"
#include "locale_text.h"

namespace {

// The user's locale (from LANG and LC_*), for character conversion only. When
// it cannot be made, or is plain ASCII, bytes map one to one onto the first 256
// code points, so every file still reads and writes back unchanged.
struct UserCodec {
  locale_t locale = nullptr;
  bool bytewise = true;
};

const UserCodec& Codec() {
  static const UserCodec codec = [] {
    UserCodec made;
    made.locale = newlocale(LC_CTYPE_MASK, "", nullptr);
    if (made.locale) {
      const char* codeset = nl_langinfo_l(CODESET, made.locale);
      made.bytewise = codeset == nullptr || std::strcmp(codeset, "ANSI_X3.4-1968") == 0;
    }
    return made;
  }();
  return codec;
}

}  // namespace

std::wstring DecodeLocaleText(std::string_view bytes) {
  const UserCodec& codec = Codec();
  if (IsAscii(bytes) || codec.bytewise) {
    std::wstring text(bytes.size(), L'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<unsigned char>(bytes[i]);
    return text;
  }
  const locale_t previous = uselocale(codec.locale);
  std::wstring text;
  text.reserve(bytes.size());
  std::mbstate_t state{};
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    wchar_t c = 0;
    const std::size_t used = std::mbrtowc(&c, bytes.data() + pos, bytes.size() - pos, &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
      text += L'\uFFFD';  // undecodable or cut short: skip one byte and go on
      state = std::mbstate_t{};
      ++pos;
    } else {
      text += c;
      pos += used == 0 ? 1 : used;  // 0 is a NUL byte
    }
  }
  uselocale(previous);
  return text;
}

std::string EncodeLocaleText(std::wstring_view text) {
  const UserCodec& codec = Codec();
  std::string bytes;
  bytes.reserve(text.size());
  if (codec.bytewise) {
    for (const wchar_t c : text) bytes += c >= 0 && c <= 0xFF ? static_cast<char>(c) : '?';
    return bytes;
  }
  const locale_t previous = uselocale(codec.locale);
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (const wchar_t c : text) {
    if (c >= 0 && c < 0x80) {
      bytes += static_cast<char>(c);
      continue;
    }
    const std::size_t length = std::wcrtomb(buffer, c, &state);
    if (length == static_cast<std::size_t>(-1)) {
      bytes += '?';
      state = std::mbstate_t{};
    } else {
      bytes.append(buffer, length);
    }
  }
  uselocale(previous);
  return bytes;
}
