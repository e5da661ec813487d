#include <windows.h>

#include "application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything can load a DLL: only from the system directory, never from
  // the current or the executable's directory, where a planted copy could wait.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");

  if (Application* application = Application::Current()) application->InitInstance();
  return 0;
}
