#include <cstdint>
#include <string>

#include "decimal_text.h"
#include "file_io.h"

namespace {

// One or more digits of `base` (10 or 16), at most `most`; their value in `value`.
bool TakeNumber(const std::wstring& name, std::size_t& at, int base, std::size_t most,
                std::uint64_t& value) {
  const std::size_t start = at;
  value = 0;
  for (; at < name.size() && at - start < most; ++at) {
    const wchar_t c = name[at];
    const int digit = c >= L'0' && c <= L'9'                 ? c - L'0'
                      : base == 16 && c >= L'a' && c <= L'f' ? c - L'a' + 10
                                                             : -1;
    if (digit < 0) break;
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
  }
  return at > start;
}

bool Take(const std::wstring& name, std::size_t& at, const std::wstring& text) {
  if (name.compare(at, text.size(), text) != 0) return false;
  at += text.size();
  return true;
}

constexpr wchar_t kNewSuffix[] = L".tmp";
constexpr wchar_t kPreviousSuffix[] = L".previous";

}  // namespace

std::uint32_t NameHash(std::wstring_view name) {
  std::uint32_t hash = 2166136261u;
  for (const wchar_t c : name) hash = (hash ^ static_cast<std::uint32_t>(c)) * 16777619u;
  return hash;
}

std::wstring TemporaryName(const std::wstring& fileName, const TemporaryFile& file, int attempt) {
  wchar_t machine[9];
  for (int i = 0; i < 8; ++i) machine[i] = L"0123456789abcdef"[(file.machine >> (28 - 4 * i)) & 15];
  machine[8] = L'\0';
  return fileName + L"." + machine + L"." + IntegerText(file.process) + L"." +
         IntegerText(attempt) + (file.previous ? kPreviousSuffix : kNewSuffix);
}

bool IsTemporaryName(const std::wstring& fileName, const std::wstring& name, TemporaryFile& file) {
  std::size_t at = 0;
  std::uint64_t machine = 0, attempt = 0;
  if (!(Take(name, at, fileName) && Take(name, at, L".") && TakeNumber(name, at, 16, 8, machine) &&
        Take(name, at, L".") && TakeNumber(name, at, 10, 20, file.process) &&
        Take(name, at, L".") && TakeNumber(name, at, 10, 20, attempt))) {
    return false;
  }
  file.machine = static_cast<std::uint32_t>(machine);
  file.previous = name.compare(at, std::wstring::npos, kPreviousSuffix) == 0;
  return file.previous || name.compare(at, std::wstring::npos, kNewSuffix) == 0;
}
