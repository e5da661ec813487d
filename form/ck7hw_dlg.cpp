#include "ck7hw_dlg.h"

#include <iterator>
#include <string>
#include <vector>

#include "data_exchange.h"
#include "resource.h"
#include "settings_file.h"
#include "string_table.h"

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
// The option of each mode, by mode value.
constexpr int kModeOptions[] = {IDC_MODE_FLAT, IDC_MODE_ROTATE_Y, IDC_MODE_ROTATE_Z,
                                IDC_MODE_ROTATE_Z_PER_CHAR, IDC_MODE_FLIP_Z};
static_assert(std::size(kModeOptions) == std::size(kModeFields));

// Whether a mode enables the number field `id`; the other number fields are
// always enabled.
bool ModeEnables(const ModeFields& fields, int id) {
  switch (id) {
    case IDC_STEP_Y:
      return fields.stepY;
    case IDC_STEP_Z:
      return fields.stepZ;
    case IDC_SWIVEL_MODULUS:
      return fields.swivelModulus;
    default:
      return false;
  }
}

// An option's text as the user reads it on the form. The flip option's text
// opens a bracket that the label after its edit box closes: leave that part out.
std::wstring OptionName(HWND option) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(option)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(option, text.data(), static_cast<int>(text.size()))));
  const std::size_t open = text.find_last_of(L"(\uFF08");
  if (open != std::wstring::npos && text.find_first_of(L")\uFF09", open) == std::wstring::npos) {
    text.erase(open);
  }
  return text;
}

UINT ProblemString(NumberFault fault) {
  switch (fault) {
    case NumberFault::Empty:
      return IDS_FIELD_EMPTY;
    case NumberFault::NotWhole:
      return IDS_FIELD_NOT_WHOLE;
    case NumberFault::OutOfRange:
      return IDS_FIELD_OUT_OF_RANGE;
    default:
      return IDS_FIELD_NOT_NUMBER;
  }
}

// Why a save failed, in the user's language; the system's own reason where it
// gave one.
std::wstring SaveFailureReason(const SaveResult& result) {
  std::wstring systemReason = result.reason;
  if (systemReason.empty()) {
    systemReason = FormatResourceString(IDS_SYSTEM_ERROR, {std::to_wstring(result.systemError)});
  }
  switch (result.problem) {
    case SaveProblem::AccessDenied:
      return FormatResourceString(IDS_REASON_ACCESS_DENIED, {systemReason});
    case SaveProblem::ReadOnlyFile:
      return LoadResourceString(IDS_REASON_READ_ONLY);
    case SaveProblem::FolderInTheWay:
      return LoadResourceString(IDS_REASON_FOLDER_IN_THE_WAY);
    case SaveProblem::LineBreakInResetOrder:
      return LoadResourceString(IDS_REASON_LINE_BREAK);
    default:
      return systemReason;
  }
}

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

std::wstring CK7HWDlg::FieldMessage(int id, NumberFault fault, bool integer) {
  const std::wstring problem = FormatResourceString(ProblemString(fault), {LoadResourceString(id)});
  const std::wstring accepted =
      LoadResourceString(integer ? IDS_ACCEPTED_INTEGER : IDS_ACCEPTED_NUMBER);
  const HWND field = GetDlgItem(GetSafeHwnd(), id);
  const std::wstring options = OptionsEnabling(id);
  if (!field || IsWindowEnabled(field) || options.empty()) {
    return FormatResourceString(IDS_FIELD_MESSAGE, {problem, accepted});
  }
  // The field cannot take the focus: say which option opens it.
  return FormatResourceString(
      IDS_FIELD_MESSAGE_DISABLED,
      {problem, accepted, FormatResourceString(IDS_FIELD_DISABLED, {options})});
}

std::wstring CK7HWDlg::OptionsEnabling(int id) const {
  std::vector<std::wstring> names;
  for (std::size_t mode = 0; mode < std::size(kModeFields); ++mode) {
    if (ModeEnables(kModeFields[mode], id)) {
      names.push_back(OptionName(GetDlgItem(GetSafeHwnd(), kModeOptions[mode])));
    }
  }
  std::wstring list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      list +=
          LoadResourceString(i + 1 == names.size() ? IDS_LIST_LAST_SEPARATOR : IDS_LIST_SEPARATOR);
    }
    list += names[i];
  }
  return list;
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
    ShowSaveFailure(result);
    return;
  }
  Dialog::OnOK();
}

void CK7HWDlg::ShowSaveFailure(const SaveResult& result) {
  const std::wstring text =
      FormatResourceString(IDS_SAVE_FAILED, {result.path, SaveFailureReason(result)});
  MessageBoxW(GetSafeHwnd(), text.c_str(), LoadResourceString(IDS_SAVE_FAILED_CAPTION).c_str(),
              MB_OK | MB_ICONERROR);
}
