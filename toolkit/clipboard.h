#pragma once

#include <windows.h>

// OpenClipboard for `owner`, tried again for about 200 ms: clipboard managers
// and remote-support tools hold the clipboard for a moment after each change.
// false, with the last error set, if it stayed held; CloseClipboard after true.
bool OpenClipboardWaiting(HWND owner);
