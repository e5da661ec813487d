#include <cstdint>
#include <string>

#include "file_io.h"

namespace {

// One or more digits, at most as many as a 64-bit number has.
bool TakeNumber(const std::wstring& name, std::size_t& at) {
  const std::size_t start = at;
  while (at < name.size() && at - start < 20 && name[at] >= L'0' && name[at] <= L'9') ++at;
  return at > start;
}

bool Take(const std::wstring& name, std::size_t& at, const std::wstring& text) {
  if (name.compare(at, text.size(), text) != 0) return false;
  at += text.size();
  return true;
}

}  // namespace

std::wstring TemporaryName(const std::wstring& fileName, std::uint64_t process, int attempt) {
  return fileName + L"." + std::to_wstring(process) + L"." + std::to_wstring(attempt) + L".tmp";
}

bool IsTemporaryName(const std::wstring& fileName, const std::wstring& name) {
  std::size_t at = 0;
  return Take(name, at, fileName) && Take(name, at, L".") && TakeNumber(name, at) &&
         Take(name, at, L".") && TakeNumber(name, at) && Take(name, at, L".tmp") &&
         at == name.size();
}
