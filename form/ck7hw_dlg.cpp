#include "ck7hw_dlg.h"

#include <iterator>
#include <string>

#include "data_exchange.h"
#include "resource.h"
#include "settings_file.h"

namespace {

// Which of the mode-dependent fields each marking mode uses, by mode value.
struct ModeFields {
  bool stepY, stepZ, clearRotateReturn, resetRotate, swivelModulus;
};
constexpr ModeFields kModeFields[] = {
    {true, true, false, false, false},  // Flat
    {false, true, true, true, true},    // RotateY
    {true, false, true, true, true},    // RotateZ
    {true, false, true, true, true},    // RotateZPerChar
    {false, true, false, true, true},   // FlipZ
};

}  // namespace

const MessageEntry CK7HWDlg::kMessageTable[] = {
    OnMessage(WM_PAINT, &CK7HWDlg::OnPaint),
    OnMessage(WM_QUERYDRAGICON, &CK7HWDlg::OnQueryDragIcon),
    OnCommand(BN_CLICKED, IDC_MODE_FLAT, &CK7HWDlg::OnModeFlat),
    OnCommand(BN_CLICKED, IDC_MODE_ROTATE_Y, &CK7HWDlg::OnModeRotateY),
    OnCommand(BN_CLICKED, IDC_MODE_ROTATE_Z, &CK7HWDlg::OnModeRotateZ),
    OnCommand(BN_CLICKED, IDC_MODE_ROTATE_Z_PER_CHAR, &CK7HWDlg::OnModeRotateZ),
    OnCommand(BN_CLICKED, IDC_MODE_FLIP_Z, &CK7HWDlg::OnModeFlipZ),
    OnCommand(BN_CLICKED, IDOK, &CK7HWDlg::OnOkClicked),
};

CK7HWDlg::CK7HWDlg()
    : Dialog(IDD_HARDWARE_SETUP),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CK7HWDlg::~CK7HWDlg() = default;

std::span<const MessageEntry> CK7HWDlg::GetMessageTable() const {
  return kMessageTable;
}

void CK7HWDlg::DoDataExchange(DataExchange& exchange) {
  Dialog::DoDataExchange(exchange);
  DDX_Text(exchange, IDC_AREA_X, m_params.fAreaX);
  DDX_Text(exchange, IDC_AREA_Y, m_params.fAreaY);
  DDX_Text(exchange, IDC_AREA_Z, m_params.fAreaZ);
  DDX_Text(exchange, IDC_STEP_X, m_params.fStepX);
  DDX_Text(exchange, IDC_STEP_Y, m_params.fStepY);
  DDX_Text(exchange, IDC_STEP_Z, m_params.fStepZ);
  DDX_Text(exchange, IDC_SPEED_SCALE, m_params.nSpeedScale);
  DDX_Text(exchange, IDC_SPEED_BASE, m_params.nSpeedBase);
  DDX_Text(exchange, IDC_RESET_ORDER, m_params.strResetOrder);
  DDX_Check(exchange, IDC_RELEASE_LIMIT, m_params.bReleaseLimitAfterReset);
  DDX_Radio(exchange, IDC_MODE_FLAT, m_params.nPrintMode);
  DDX_Text(exchange, IDC_FLIP_ANGLE, m_params.dFlipAngle);
  DDX_Check(exchange, IDC_CLEAR_ROTATE_RETURN, m_params.bClearRotateReturn);
  DDX_Check(exchange, IDC_RESET_ROTATE, m_params.bResetRotate);
  DDX_Text(exchange, IDC_SWIVEL_MODULUS, m_params.fSwivelModulus);
  DDX_Check(exchange, IDC_INIT_RESET, m_params.bInitReset);
  DDX_Check(exchange, IDC_FIRST_PRN_RESET, m_params.bFirstPrnReset);
  DDX_Control(exchange, IDC_STEP_Y, m_stepY);
  DDX_Control(exchange, IDC_STEP_Z, m_stepZ);
  DDX_Control(exchange, IDC_CLEAR_ROTATE_RETURN, m_clearRotateReturn);
  DDX_Control(exchange, IDC_RESET_ROTATE, m_resetRotate);
  DDX_Control(exchange, IDC_SWIVEL_MODULUS, m_swivelModulus);
  DDX_Text(exchange, IDC_DELAY_CHAR_SP, m_params.nDelayCharSp);
}

bool CK7HWDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  LoadSettings(m_params);
  UpdateData(false);
  ApplyModeEnabling(m_params.nPrintMode);
  return true;
}

void CK7HWDlg::ApplyModeEnabling(std::int32_t mode) {
  if (mode < 0 || mode >= static_cast<std::int32_t>(std::size(kModeFields))) return;
  const ModeFields& fields = kModeFields[mode];
  m_stepY.EnableWindow(fields.stepY);
  m_stepZ.EnableWindow(fields.stepZ);
  m_clearRotateReturn.EnableWindow(fields.clearRotateReturn);
  m_resetRotate.EnableWindow(fields.resetRotate);
  m_swivelModulus.EnableWindow(fields.swivelModulus);
}

// A click only changes which fields are open for editing; the mode itself
// reaches the parameters on OK.
void CK7HWDlg::OnModeFlat(UINT, int, HWND) {
  ApplyModeEnabling(static_cast<std::int32_t>(EngraveMode::Flat));
}

void CK7HWDlg::OnModeRotateY(UINT, int, HWND) {
  ApplyModeEnabling(static_cast<std::int32_t>(EngraveMode::RotateY));
}

void CK7HWDlg::OnModeRotateZ(UINT, int, HWND) {
  ApplyModeEnabling(static_cast<std::int32_t>(EngraveMode::RotateZ));
}

void CK7HWDlg::OnModeFlipZ(UINT, int, HWND) {
  ApplyModeEnabling(static_cast<std::int32_t>(EngraveMode::FlipZ));
}

INT_PTR CK7HWDlg::OnPaint(WPARAM, LPARAM) {
  if (!IsIconic(GetSafeHwnd())) return FALSE;  // the dialog manager paints
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(GetSafeHwnd(), &paint);
  SendMessageW(GetSafeHwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(GetSafeHwnd(), &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(GetSafeHwnd(), &paint);
  return TRUE;
}

INT_PTR CK7HWDlg::OnQueryDragIcon(WPARAM, LPARAM) {
  return reinterpret_cast<INT_PTR>(m_hIcon);
}

void CK7HWDlg::OnOkClicked(UINT, int, HWND) {
  if (!UpdateData(true)) return;  // the bad field has been reported and focused
  const SaveResult result = SaveSettings(m_params);
  if (!result.saved) {
    // Stay open: the edits are still in the form, to save again or cancel.
    ShowSaveFailure(result.path, result.reason);
    return;
  }
  Dialog::OnOK();
}

void CK7HWDlg::ShowSaveFailure(const std::wstring& path, const std::wstring& reason) {
  const std::wstring text = L"The settings could not be saved to\n" + path + L"\n\n" + reason +
                            L"\n\nYour changes are still in the form.";
  MessageBoxW(GetSafeHwnd(), text.c_str(), L"Error", MB_OK | MB_ICONERROR);
}
