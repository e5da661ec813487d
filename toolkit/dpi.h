#pragma once

#include <windows.h>

// Per-monitor DPI, where Windows has it: each function is looked up at run
// time (Windows 7 has none of them) and falls back on the system's DPI.

// The DPI of `window`: Windows 10 1607 and later know each monitor's; 0
// where Windows has only the system's.
UINT WindowDpi(HWND window);

// A system metric at `dpi` (Windows 10 1607 on), else (or for 0) at the
// system's DPI.
int SystemMetricAtDpi(int metric, UINT dpi);
inline int SystemMetricAtDpi(HWND window, int metric) {
  return SystemMetricAtDpi(metric, WindowDpi(window));
}

// Keeps the dialog manager from giving `control` the dialog's font when the
// DPI changes (Windows 10 1703 on): a control that got a font of its own
// keeps it until the dialog gives it one for the new DPI.
void KeepFontOnDpiChange(HWND control);
