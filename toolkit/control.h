#pragma once

#include <windows.h>

// A binding to one control of a dialog, attached by DDX_Control.
class Control {
 public:
  void Attach(HWND window) { window_ = window; }
  bool IsAttached() const { return window_ != nullptr; }
  void EnableWindow(bool enable) {
    if (window_) ::EnableWindow(window_, enable ? TRUE : FALSE);
  }

 private:
  HWND window_ = nullptr;
};
