#include "settings_place.h"

#include <cwctype>

namespace {

constexpr wchar_t kFileName[] = L"printer.ini";

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// The folders Windows redirects an older program's writes from.
bool IsProtected(FileSystem& files, const std::wstring& folder) {
  const std::wstring lower = Lower(folder);
  for (const wchar_t* root :
       {L"ProgramFiles", L"ProgramFiles(x86)", L"SystemRoot", L"ProgramData"}) {
    std::wstring prefix = Lower(files.Environment(root));
    if (prefix.empty()) continue;
    if (prefix.back() != L'\\') prefix += L'\\';
    if (lower.starts_with(prefix)) return true;
  }
  return false;
}

}  // namespace

SettingsPlace FindSettingsPlace(FileSystem& files, const std::wstring& programFolder) {
  SettingsPlace place;
  place.path = programFolder + kFileName;
  const std::wstring local = files.Environment(L"LOCALAPPDATA");
  // "C:\Program Files\Vendor\" keeps "Program Files\Vendor\".
  if (local.empty() || programFolder.size() < 3 || programFolder[1] != L':' ||
      !IsProtected(files, programFolder)) {
    return place;
  }
  place.userCopy = local + (local.back() == L'\\' ? L"" : L"\\") + L"VirtualStore" +
                   programFolder.substr(2) + kFileName;
  place.elevated = files.Elevated();
  PathFacts facts;
  place.userCopyExists = files.Look(place.userCopy, facts) == 0 && facts.exists;
  // Elevated, an older program reads the file beside it too.
  if (place.userCopyExists && !place.elevated) place.path = place.userCopy;
  return place;
}

SaveResult SaveSettingsAt(FileSystem& files, SettingsPlace& place, const HardwareParams& params) {
  SaveResult result = SaveSettingsTo(files, place.path, params);
  if (result.saved || result.problem != SaveProblem::AccessDenied || place.elevated ||
      place.userCopy.empty() || place.InUserCopy()) {
    return result;
  }
  // Each folder of the copy's path below %LOCALAPPDATA%, as Windows makes them.
  const std::size_t store = place.userCopy.find(L"\\VirtualStore\\");
  for (std::size_t slash = store;
       (slash = place.userCopy.find(L'\\', slash + 1)) != std::wstring::npos;) {
    files.MakeFolder(place.userCopy.substr(0, slash));
  }
  SaveResult copied = SaveSettingsTo(files, place.userCopy, params);
  if (!copied.saved) return copied;
  place.path = place.userCopy;
  place.userCopyExists = true;
  return copied;
}
