#include <windows.h>

#include "application.h"
#include "startup_marks.h"

namespace {

// Before anything can load a DLL: only from the system directory, never from the
// current or the executable's directory, where a planted copy could wait.
// SetDefaultDllDirectories is looked up, not imported: Windows 7 SP1 without
// KB2533623 lacks it and would refuse to start the program at all.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Takes the current directory out of the search, with or without the above.
  SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  V7ER_STARTUP_MARK("C and C++ run-time start-up");
  RestrictDllSearch();
  V7ER_STARTUP_MARK("DLL search restriction");
  if (Application* application = Application::Current()) application->InitInstance();
  V7ER_WRITE_STARTUP_MARKS();
  return 0;
}
