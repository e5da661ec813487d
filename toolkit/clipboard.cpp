#include "clipboard.h"

bool OpenClipboardWaiting(HWND owner) {
  const DWORD start = GetTickCount();
  while (!OpenClipboard(owner)) {
    if (GetTickCount() - start >= 200) return false;  // the error is OpenClipboard's
    Sleep(10);
  }
  return true;
}
