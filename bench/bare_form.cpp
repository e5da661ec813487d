// The setup form's template shown by the dialog manager alone: no mutex, no
// common controls, no settings, no data exchange.
#include <windows.h>

#include "resource.h"
#include "startup_marks.h"

namespace {

INT_PTR CALLBACK BareProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    V7ER_STARTUP_MARK("dialog window and controls");
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(window, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  V7ER_STARTUP_MARK("C and C++ run-time start-up");
  const INT_PTR result =
      DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_HARDWARE_SETUP), nullptr, BareProc, 0);
  V7ER_WRITE_STARTUP_MARKS();
  return static_cast<int>(result);
}
