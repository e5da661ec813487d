#include "settings_place.h"

#include <cwctype>
#include <string>

#include "file_io.h"

namespace {

constexpr wchar_t kFileName[] = L"printer.ini";

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// The folders Windows redirects an older program's writes from. A 32-bit
// process on 64-bit Windows has C:\Program Files only as %ProgramW6432%.
bool IsProtected(FileSystem& files, const std::wstring& folder) {
  const std::wstring lower = Lower(folder);
  for (const wchar_t* root :
       {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"SystemRoot", L"ProgramData"}) {
    std::wstring prefix = Lower(files.Environment(root));
    if (prefix.empty()) continue;
    if (prefix.back() != L'\\') prefix += L'\\';
    if (lower.starts_with(prefix)) return true;
  }
  return false;
}

// The folder as Windows compares it: without an extended-length prefix, and in
// its long form. Only a path with a "~" can hold a generated short name: the
// others are spared the call at every start.
std::wstring ComparableFolder(FileSystem& files, const std::wstring& folder) {
  std::wstring plain = folder.starts_with(L"\\\\?\\") && !folder.starts_with(L"\\\\?\\UNC\\")
                           ? folder.substr(4)
                           : folder;
  return plain.find(L'~') == std::wstring::npos ? plain : files.LongPath(plain);
}

bool Refused(FileSystem& files, SystemError error) {
  return error && files.KindOf(error) == ErrorKind::AccessDenied;
}

}  // namespace

SettingsPlace FindSettingsPlace(FileSystem& files, const std::wstring& programFolder) {
  const std::wstring folder = ComparableFolder(files, programFolder);
  SettingsPlace place;
  place.path = folder + kFileName;
  const std::wstring local = files.Environment(L"LOCALAPPDATA");
  // "C:\Program Files\Vendor\" keeps "Program Files\Vendor\".
  if (local.empty() || folder.size() < 3 || folder[1] != L':' || !IsProtected(files, folder)) {
    return place;
  }
  place.elevated = files.Elevated();
  // With UAC off, or virtualisation off by policy, Windows redirects nothing:
  // the main application reads the file beside it.
  if (!place.elevated && !files.VirtualizationAllowed()) return place;
  place.userCopy = local + (local.back() == L'\\' ? L"" : L"\\") + L"VirtualStore" +
                   folder.substr(2) + kFileName;
  PathFacts facts;
  place.userCopyExists = files.Look(place.userCopy, facts) == 0 && facts.exists;
  // Elevated, an older program reads the file beside it too.
  if (place.userCopyExists && !place.elevated) place.path = place.userCopy;
  return place;
}

SaveResult SaveSettingsAt(FileSystem& files, SettingsPlace& place, const HardwareParams& params,
                          bool alsoUserCopy, const FileContents* expected) {
  const bool redirected = place.FallsBackToUserCopy();
  // A file this user may read but not replace (ProgramData's rights on one an
  // administrator made) would be refused only at the save's last step, after
  // the wait meant for programs that hold it: asked first.
  PathFacts beside;
  const bool replaceRefused = redirected && files.Look(place.path, beside) == 0 && beside.exists &&
                              Refused(files, files.MayReplace(place.path));
  if (!replaceRefused) {
    SaveResult result = SaveSettingsTo(files, place.path, params, expected);
    if (result.saved && alsoUserCopy && place.OtherCopyRead()) {
      return SaveSettingsTo(files, place.userCopy, params);
    }
    // Refused for lack of rights, not because another program holds the file.
    if (result.problem == SaveProblem::System && result.path == place.path &&
        Refused(files, result.systemError) && Refused(files, files.MayReplace(place.path))) {
      result.problem = SaveProblem::AccessDenied;
    }
    if (result.saved || result.problem != SaveProblem::AccessDenied || !redirected) return result;
  }
  // Each folder of the copy's path below %LOCALAPPDATA%, as Windows makes them.
  const std::size_t store = place.userCopy.find(L"\\VirtualStore\\");
  for (std::size_t slash = store;
       (slash = place.userCopy.find(L'\\', slash + 1)) != std::wstring::npos;) {
    files.MakeFolder(place.userCopy.substr(0, slash));
  }
  // The first save to the copy keeps the file it stands in for as its backup,
  // for undo. Should the save then fail, that backup still holds those bytes.
  PathFacts copy;
  FileContents old;
  if (files.Look(place.userCopy, copy) == 0 && !copy.exists &&
      ReadFileContents(files, place.path, old) == 0 && old.exists) {
    SaveFailure ignored;
    ReplaceFileContents(files, BackupPath(place.userCopy), L"", old.bytes, ignored);
  }
  SaveResult copied = SaveSettingsTo(files, place.userCopy, params);
  if (!copied.saved) return copied;
  place.path = place.userCopy;
  place.userCopyExists = true;
  return copied;
}

SaveProblem CheckSettingsPlace(FileSystem& files, const SettingsPlace& place, bool& exists,
                               SaveFailure& failure) {
  const SaveProblem problem =
      CheckReplaceable(files, place.path, BackupPath(place.path), exists, failure);
  if (problem != SaveProblem::None || !exists) return problem;
  const SystemError refused = files.MayReplace(place.path);
  if (!Refused(files, refused)) return SaveProblem::None;
  failure = {place.path, SystemErrorText(refused), refused, {}};
  return SaveProblem::AccessDenied;
}
