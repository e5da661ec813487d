#include "dpi.h"

namespace {

template <class Function>
Function User32(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

UINT WindowDpi(HWND window) {
  static const auto dpiForWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  return dpiForWindow ? dpiForWindow(window) : 0;
}

int SystemMetricAtDpi(int metric, UINT dpi) {
  static const auto metricForDpi = User32<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
  return metricForDpi && dpi ? metricForDpi(metric, dpi) : GetSystemMetrics(metric);
}

void KeepFontOnDpiChange(HWND control) {
  static const auto behavior =
      User32<decltype(&SetDialogControlDpiChangeBehavior)>("SetDialogControlDpiChangeBehavior");
  if (behavior) behavior(control, DCDC_DISABLE_FONT_UPDATE, DCDC_DISABLE_FONT_UPDATE);
}
