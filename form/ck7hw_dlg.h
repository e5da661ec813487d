#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "control.h"
#include "dialog.h"
#include "hardware_params.h"

// The "Hardware Parameter Setup" form: shows the parameters from printer.ini
// and writes them back on OK.
class CK7HWDlg : public Dialog {
 public:
  CK7HWDlg();
  ~CK7HWDlg() override;

 protected:
  std::span<const MessageEntry> GetMessageTable() const override;
  void DoDataExchange(DataExchange& exchange) override;
  bool OnInitDialog() override;

 private:
  INT_PTR OnPaint(WPARAM, LPARAM);
  INT_PTR OnQueryDragIcon(WPARAM, LPARAM);
  void OnOkClicked(UINT code, int id, HWND control);
  // One per mode option; 2062 and 2063 share one, as their modes use the same fields.
  void OnModeFlat(UINT code, int id, HWND control);
  void OnModeRotateY(UINT code, int id, HWND control);
  void OnModeRotateZ(UINT code, int id, HWND control);
  void OnModeFlipZ(UINT code, int id, HWND control);
  // Enables the fields the given mode uses; other values change nothing.
  void ApplyModeEnabling(std::int32_t mode);
  void ShowSaveFailure(const std::wstring& path, const std::wstring& reason);

  HICON m_hIcon;
  HardwareParams m_params;
  // The fields whose use depends on the marking mode.
  Control m_stepY;
  Control m_stepZ;
  Control m_clearRotateReturn;
  Control m_resetRotate;
  Control m_swivelModulus;

  static const MessageEntry kMessageTable[];
};
