#include <windows.h>

#include <climits>
#include <string>

#include "ascii.h"
#include "locale_text.h"

namespace {

// The ANSI code page of the user's default locale, which is what the C++
// runtime's user locale converts with; the system code page where the user's
// locale has none (Unicode-only locales).
UINT UserCodePage() {
  static const UINT codePage = [] {
    DWORD value = 0;
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&value), sizeof value / sizeof(wchar_t)) &&
        value != 0 && IsValidCodePage(value)) {
      return static_cast<UINT>(value);
    }
    return static_cast<UINT>(GetACP());
  }();
  return codePage;
}

}  // namespace

std::wstring DecodeLocaleText(std::string_view bytes) {
  if (IsAscii(bytes)) return std::wstring(bytes.begin(), bytes.end());
  if (bytes.size() > INT_MAX) bytes = bytes.substr(0, INT_MAX);
  const int size = static_cast<int>(bytes.size());
  const UINT codePage = UserCodePage();
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  if (length > 0) MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), length);
  return text;
}

std::string EncodeLocaleText(std::wstring_view text) {
  if (text.size() > INT_MAX / 4) text = text.substr(0, INT_MAX / 4);
  const int size = static_cast<int>(text.size());
  const UINT codePage = UserCodePage();
  // No "best fit" look-alikes: a character the code page lacks becomes '?'.
  const bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
  const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = utf ? nullptr : "?";
  const int length =
      WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, fallback, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  if (length > 0) {
    WideCharToMultiByte(codePage, flags, text.data(), size, bytes.data(), length, fallback,
                        nullptr);
  }
  return bytes;
}
