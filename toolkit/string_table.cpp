#include "string_table.h"

#include <optional>
#include <vector>

#include "decimal_text.h"
#include "message_text.h"
#include "ui_language.h"

namespace {

// For a user whose language the program does not speak.
constexpr LANGID kFallback = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// A string table block holds 16 strings, each a length and that many
// characters; an absent string has length 0.
std::optional<std::wstring> StringIn(HMODULE module, UINT id, LANGID language) {
  const HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  if (!found) return std::nullopt;
  const HGLOBAL loaded = LoadResource(module, found);
  const auto* text = static_cast<const wchar_t*>(loaded ? LockResource(loaded) : nullptr);
  if (!text) return std::nullopt;
  const wchar_t* const end = text + SizeofResource(module, found) / sizeof(wchar_t);
  for (UINT skip = id % 16; skip > 0 && text < end; --skip) text += 1 + *text;
  if (text >= end || *text == 0 || *text >= end - text) return std::nullopt;
  return std::wstring(text + 1, *text);
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
  reinterpret_cast<std::vector<LANGID>*>(languages)->push_back(language);
  return TRUE;
}

// The languages to try for a resource, best first: the user's choice among
// those the program has it in, then the fallback, then the rest. Chosen here
// rather than by LoadStringW, whose pick follows the thread's language and may
// land on a table without the string.
std::vector<LANGID> LanguagesFor(HMODULE module, LPCWSTR type, LPCWSTR name) {
  std::vector<LANGID> available;
  EnumResourceLanguagesW(module, type, name, AddLanguage, reinterpret_cast<LONG_PTR>(&available));
  std::vector<LANGID> languages = {
      ChooseUiLanguage(GetUserDefaultUILanguage(), available, kFallback), kFallback};
  languages.insert(languages.end(), available.begin(), available.end());
  return languages;
}

}  // namespace

HRSRC FindUiResource(LPCWSTR type, LPCWSTR name) {
  const HMODULE module = GetModuleHandleW(nullptr);
  for (const LANGID language : LanguagesFor(module, type, name)) {
    if (const HRSRC found = FindResourceExW(module, type, name, language)) return found;
  }
  return nullptr;
}

std::wstring LoadResourceString(UINT id) {
  const HMODULE module = GetModuleHandleW(nullptr);
  for (const LANGID language : LanguagesFor(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1))) {
    if (auto text = StringIn(module, id, language)) return *text;
  }
  // Broken resources: at least which text is missing, never an empty box.
  return L"#" + IntegerText(id);
}

std::wstring FormatResourceString(UINT id, std::initializer_list<std::wstring_view> inserts) {
  return InsertArguments(LoadResourceString(id), inserts);
}
