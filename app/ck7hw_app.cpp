#include "ck7hw_app.h"

#include <commctrl.h>
#include <windows.h>

#include <string>

#include "ck7hw_dlg.h"
#include "resource.h"
#include "startup_marks.h"

namespace {

// The main application's marker, held until the process ends so that a second
// copy of this tool is refused too.
HANDLE g_runningGuard = nullptr;

std::wstring ResourceString(UINT id) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

}  // namespace

CK7HWApp theApp;

bool CK7HWApp::InitInstance() {
  // Creating the mutex tells atomically whether it existed. "Access denied"
  // means it exists but belongs to a more privileged process: the main
  // application running elevated, so it counts as running too.
  SetLastError(ERROR_SUCCESS);
  g_runningGuard = CreateMutexW(nullptr, FALSE, L"Cavlor");
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) {
    MessageBoxW(nullptr, ResourceString(IDS_CALVOR_RUNNING).c_str(), L"Error", MB_ICONERROR);
    return false;
  }
  V7ER_STARTUP_MARK("running-application guard");

  InitCommonControls();
  V7ER_STARTUP_MARK("common controls");
  CK7HWDlg dialog;
  V7ER_STARTUP_MARK("form object and big icon");
  SetMainWindow(&dialog);
  dialog.DoModal();
  ToolkitCleanUp();
  return false;
}
