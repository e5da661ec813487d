#include "message_text.h"

std::wstring InsertArguments(std::wstring_view message,
                             std::initializer_list<std::wstring_view> inserts) {
  std::wstring text;
  text.reserve(message.size());
  for (std::size_t pos = 0; pos < message.size(); ++pos) {
    const wchar_t c = message[pos];
    const wchar_t next = pos + 1 < message.size() ? message[pos + 1] : L'\0';
    if (c == L'%' && next == L'%') {
      text += L'%';
      ++pos;
    } else if (c == L'%' && next >= L'1' && next <= L'9' &&
               static_cast<std::size_t>(next - L'1') < inserts.size()) {
      text += inserts.begin()[next - L'1'];
      ++pos;
    } else {
      text += c;
    }
  }
  return text;
}
