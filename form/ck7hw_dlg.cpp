#include "ck7hw_dlg.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "calculator_dlg.h"
#include "clipboard.h"
#include "data_exchange.h"
#include "decimal_text.h"
#include "dpi.h"
#include "field_message.h"
#include "resource.h"
#include "settings_file.h"
#include "settings_text.h"
#include "startup_marks.h"
#include "string_table.h"

namespace {

// Which of the mode-dependent fields each marking mode uses, by mode value.
constexpr CK7HWDlg::ModeFields kModeFields[] = {
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
// A mode the form has no option for: every field open, as the form opens.
constexpr CK7HWDlg::ModeFields kNoModeFields = {true, true, true, true, true};

// Whether a mode enables the number field `id`; the other number fields are
// always enabled.
bool ModeEnables(const CK7HWDlg::ModeFields& fields, int id) {
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
  std::wstring text = WindowText(option);
  const std::size_t open = text.find_last_of(L"(\uFF08");
  if (open != std::wstring::npos && text.find_first_of(L")\uFF09", open) == std::wstring::npos) {
    text.erase(open);
  }
  return text;
}

// The settings file a save was for: a failure of its backup names the backup.
std::wstring SettingsFileOf(const SaveResult& result) {
  const std::wstring& path = result.path;
  const std::wstring file = path.substr(0, path.size() - std::min<std::size_t>(path.size(), 4));
  return BackupPath(file) == path ? file : path;
}

// Why a save failed, in the user's language; the system's own reason where it
// gave one. In a folder Windows protects, an administrator's save would go to a
// file the main application does not read: no such advice there.
std::wstring SaveFailureReason(const SaveResult& result, const SettingsPlace& place) {
  std::wstring systemReason = result.reason;
  if (systemReason.empty()) {
    systemReason = FormatResourceString(IDS_SYSTEM_ERROR, {IntegerText(result.systemError)});
  }
  std::wstring reason;
  switch (result.problem) {
    case SaveProblem::AccessDenied:
      return FormatResourceString(
          place.userCopy.empty() ? IDS_REASON_ACCESS_DENIED : IDS_REASON_ACCESS_DENIED_PROTECTED,
          {systemReason});
    case SaveProblem::ReadOnlyFile:
      return LoadResourceString(IDS_REASON_READ_ONLY);
    case SaveProblem::ReadOnlyBackup:
      return FormatResourceString(IDS_REASON_BACKUP_READ_ONLY, {result.path});
    case SaveProblem::Held:
      return FormatResourceString(IDS_REASON_HELD, {result.path});
    case SaveProblem::NothingWritten:
      reason = LoadResourceString(IDS_REASON_NOTHING_WRITTEN);
      break;
    case SaveProblem::FolderInTheWay:
      reason = LoadResourceString(IDS_REASON_FOLDER_IN_THE_WAY);
      break;
    case SaveProblem::LineBreakInResetOrder:
      return LoadResourceString(IDS_REASON_LINE_BREAK);
    case SaveProblem::Link:
      return FormatResourceString(IDS_REASON_LINK, {result.kept});
    default:
      reason = systemReason;
  }
  return SettingsFileOf(result) == result.path
             ? reason
             : FormatResourceString(IDS_REASON_BACKUP, {result.path, reason});
}

// The file version from the program's own version resource, as 1.2.3: the
// project's version has three parts (the fourth is always 0). Empty if the
// resource is not readable.
std::wstring ProgramVersion() {
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC found = FindUiResource(RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO));
  const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
  // Three WORDs, the key "VS_VERSION_INFO" with its terminator, padding to a
  // DWORD boundary, then the fixed part.
  constexpr std::size_t kFixedOffset = (6 + sizeof L"VS_VERSION_INFO" + 3) & ~std::size_t{3};
  if (!data || SizeofResource(module, found) < kFixedOffset + sizeof(VS_FIXEDFILEINFO)) return {};
  VS_FIXEDFILEINFO info;
  memcpy(&info, data + kFixedOffset, sizeof info);
  if (info.dwSignature != 0xFEEF04BD) return {};
  wchar_t text[32];
  wsprintfW(text, L"%u.%u.%u", HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
            HIWORD(info.dwFileVersionLS));
  return text;
}

// Whether the settings file is there and a save could replace it, found out
// as the save finds it, without changing anything.
std::wstring SettingsFileState(const SettingsPlace& place) {
  SaveResult check;
  bool exists = false;
  SaveFailure failure;
  check.problem = CheckSettingsPlace(SystemFiles(), place, exists, failure);
  TakeFailure(failure, check);
  if (check.problem == SaveProblem::NotLookedAt) {
    return FormatResourceString(IDS_ABOUT_NOT_LOOKED_AT, {SaveFailureReason(check, place)});
  }
  if (!exists) return LoadResourceString(IDS_ABOUT_NOT_FOUND);
  if (check.problem == SaveProblem::None) return LoadResourceString(IDS_ABOUT_WRITABLE);
  if (check.problem == SaveProblem::AccessDenied && place.FallsBackToUserCopy()) {
    return FormatResourceString(IDS_ABOUT_SAVES_TO_USER_COPY, {place.userCopy});
  }
  return FormatResourceString(IDS_ABOUT_NOT_WRITABLE, {SaveFailureReason(check, place)});
}

// The program's icon drawn from its image nearest `size`, to be destroyed by
// the caller; null if there is none.
HICON IconOfSize(int size) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                       IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// The field or option that shows each setting, in the file's order; its id is
// also the id of the string that names it.
constexpr int kSettingFields[] = {
    IDC_AREA_X,
    IDC_AREA_Y,
    IDC_AREA_Z,
    IDC_STEP_X,
    IDC_STEP_Y,
    IDC_STEP_Z,
    IDC_SPEED_SCALE,
    IDC_SPEED_BASE,
    IDC_RELEASE_LIMIT,
    IDC_RESET_ORDER,
    IDC_MODE_FLAT,
    IDC_FLIP_ANGLE,
    IDC_CLEAR_ROTATE_RETURN,
    IDC_RESET_ROTATE,
    IDC_SWIVEL_MODULUS,
    IDC_INIT_RESET,
    IDC_FIRST_PRN_RESET,
    IDC_DELAY_CHAR_SP,
};

// A menu command's text as a caption: without its access key or ellipsis.
std::wstring MenuText(UINT id) {
  std::wstring text = LoadResourceString(id);
  if (const std::size_t key = text.find(L"(&"); key != std::wstring::npos) text.erase(key, 4);
  if (const std::size_t key = text.find(L'&'); key != std::wstring::npos) text.erase(key, 1);
  if (text.ends_with(L"\u2026")) text.pop_back();
  return text;
}

// A setting's value as a technician reads it: the marking mode by its option.
std::wstring ValueRead(HWND form, std::size_t setting, const std::wstring& value) {
  if (kSettingFields[setting] != IDC_MODE_FLAT) return value;
  for (std::size_t mode = 0; mode < std::size(kModeOptions); ++mode) {
    if (value == IntegerText(static_cast<long long>(mode)))
      return OptionName(GetDlgItem(form, kModeOptions[mode]));
  }
  return FormatResourceString(IDS_MODE_NONE, {value});
}

// One line for each setting whose value differs, or "No changes".
std::wstring ChangeLines(HWND form, const std::vector<SettingValue>& before,
                         const std::vector<SettingValue>& after) {
  std::wstring lines;
  for (std::size_t i = 0; i < std::size(kSettingFields) && i < before.size() && i < after.size();
       ++i) {
    if (before[i].value == after[i].value) continue;
    if (!lines.empty()) lines += L"\n";
    lines += FormatResourceString(
        IDS_CHANGE_LINE, {LoadResourceString(static_cast<UINT>(kSettingFields[i])),
                          ValueRead(form, i, before[i].value), ValueRead(form, i, after[i].value)});
  }
  return lines.empty() ? LoadResourceString(IDS_NO_CHANGES) : lines;
}

bool SameValues(const std::vector<SettingValue>& one, const std::vector<SettingValue>& other) {
  return std::equal(one.begin(), one.end(), other.begin(), other.end(),
                    [](const auto& a, const auto& b) { return a.value == b.value; });
}

// Each setting as OK would write it, and a number field that does not convert
// as it was typed, marked as OK's refusal.
std::vector<SettingValue> ValuesShown(const HardwareParams& params,
                                      const std::vector<TypedText>& typed) {
  std::vector<SettingValue> values = SettingValues(params);
  for (const TypedText& field : typed) {
    for (std::size_t i = 0; i < std::size(kSettingFields) && i < values.size(); ++i) {
      if (kSettingFields[i] == field.id) {
        values[i].value = FormatResourceString(IDS_VALUE_REFUSED, {field.text});
      }
    }
  }
  return values;
}

// Whether setting `i` is shown in an edit box, and whether that takes a
// number or a whole number.
bool InEditBox(std::size_t i) {
  const int id = kSettingFields[i];
  return id != IDC_RELEASE_LIMIT && id != IDC_MODE_FLAT && id != IDC_CLEAR_ROTATE_RETURN &&
         id != IDC_RESET_ROTATE && id != IDC_INIT_RESET && id != IDC_FIRST_PRN_RESET;
}
bool TakesNumber(std::size_t i) {
  return InEditBox(i) && kSettingFields[i] != IDC_RESET_ORDER;
}
bool TakesInteger(std::size_t i) {
  const int id = kSettingFields[i];
  return id == IDC_SPEED_SCALE || id == IDC_SPEED_BASE || id == IDC_DELAY_CHAR_SP;
}

// Why LoadSettingsFrom(path) just failed: message `missing` when there is no
// such file, else `unreadable` with the system's reason.
std::wstring WhyNotRead(const std::wstring& path, UINT missing, UINT unreadable) {
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
             ? FormatResourceString(missing, {path})
             : FormatResourceString(unreadable, {path, SystemErrorText(error)});
}

// A file's settings as the writer would write them; empty, with `why` said
// (`missing` when there is no such file), if there is none or it cannot be read.
std::vector<SettingValue> FileValues(const std::wstring& path, std::wstring& why,
                                     UINT missing = IDS_CHANGES_FILE_MISSING) {
  HardwareParams params;
  if (LoadSettingsFrom(path, params)) return SettingValues(params);
  why = WhyNotRead(path, missing, IDS_CHANGES_FILE_UNREADABLE);
  return {};
}

// Unicode text on the clipboard: 0, or the message that says why not (%1 the
// system's reason).
UINT PutOnClipboard(HWND owner, const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  void* data = memory ? GlobalLock(memory) : nullptr;
  if (!data) {
    if (memory) GlobalFree(memory);
    return IDS_COPY_FAILED;
  }
  memcpy(data, text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!OpenClipboardWaiting(owner)) {
    GlobalFree(memory);
    return IDS_CLIPBOARD_BUSY;
  }
  // The clipboard owns the memory once it has taken it.
  const bool put = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
  const DWORD error = GetLastError();
  CloseClipboard();
  if (!put) GlobalFree(memory);
  SetLastError(error);
  return put ? 0 : IDS_COPY_FAILED;
}

// The clipboard's Unicode text, empty if it holds none; false if another
// program kept it.
bool TextOnClipboard(HWND owner, std::wstring& text) {
  text.clear();
  if (!OpenClipboardWaiting(owner)) return false;
  if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      // Up to the terminator, which a careless program may have left out.
      const auto* end = chars + GlobalSize(data) / sizeof(wchar_t);
      text.assign(chars, std::find(chars, end, L'\0'));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return true;
}

// A system DLL that only some commands need, loaded when first needed (it is
// heavy to load) and from the system folder only.
HMODULE SystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
}

template <class Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
  const HMODULE module = SystemLibrary(dll);
  return module ? reinterpret_cast<Function>(
                      reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                : nullptr;
}

}  // namespace

const MessageEntry CK7HWDlg::kMessageTable[] = {
    OnMessage(WM_PAINT, &CK7HWDlg::OnPaint),
    OnMessage(WM_QUERYDRAGICON, &CK7HWDlg::OnQueryDragIcon),
    OnMessage(WM_GETICON, &CK7HWDlg::OnGetIcon),
    OnCommand(BN_CLICKED, IDC_MODE_FLAT, &CK7HWDlg::OnModeFlat),
    OnCommand(BN_CLICKED, IDC_MODE_ROTATE_Y, &CK7HWDlg::OnModeRotateY),
    OnCommand(BN_CLICKED, IDC_MODE_ROTATE_Z, &CK7HWDlg::OnModeRotateZ),
    OnCommand(BN_CLICKED, IDC_MODE_ROTATE_Z_PER_CHAR, &CK7HWDlg::OnModeRotateZ),
    OnCommand(BN_CLICKED, IDC_MODE_FLIP_Z, &CK7HWDlg::OnModeFlipZ),
    OnCommand(BN_CLICKED, IDOK, &CK7HWDlg::OnOkClicked),
    OnMessage(WM_INITMENUPOPUP, &CK7HWDlg::OnInitMenuPopup),
    OnMessage(CK7HWDlg::kShowUserCopyNote, &CK7HWDlg::OnShowUserCopyNote),
    OnSysCommand(IDM_CALCULATOR, &CK7HWDlg::OnCalculator),
    OnSysCommand(IDM_RESTORE_DEFAULTS, &CK7HWDlg::OnRestoreDefaults),
    OnSysCommand(IDM_UNDO_SAVE, &CK7HWDlg::OnUndoSave),
    OnSysCommand(IDM_ABOUT, &CK7HWDlg::OnAbout),
    OnSysCommand(IDM_SHOW_CHANGES, &CK7HWDlg::OnShowChanges),
    OnSysCommand(IDM_COPY_SETTINGS, &CK7HWDlg::OnCopySettings),
    OnSysCommand(IDM_PASTE_SETTINGS, &CK7HWDlg::OnPasteSettings),
    OnSysCommand(IDM_OPEN_SETTINGS, &CK7HWDlg::OnOpenSettings),
    OnMessage(WM_DROPFILES, &CK7HWDlg::OnDropFiles),
};

CK7HWDlg::CK7HWDlg()
    : Dialog(IDD_HARDWARE_SETUP),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CK7HWDlg::~CK7HWDlg() {
  if (m_smallIcon) DestroyIcon(m_smallIcon);
}

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
  // The big icon is LoadIconW's, at the big size; the small one is drawn from
  // the image for the small size at the form's DPI, not shrunk from the big.
  // Small first: a big icon alone has Wine shrink it for the small one, and
  // hand both to the window manager again (1 ms). Meanwhile the form answers
  // for its big icon itself (OnGetIcon), or Wine would load Windows' default
  // icon to hand over with the small one (1 ms).
  m_smallIcon = IconOfSize(SystemMetricAtDpi(GetSafeHwnd(), SM_CXSMICON));
  SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(m_smallIcon ? m_smallIcon : m_hIcon));
  SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  V7ER_STARTUP_MARK("icons");
  // A window that never asked for its own copy is shown Windows' shared system
  // menu, which no program may change: take the copy before it can be shown.
  m_systemMenu = GetSystemMenu(GetSafeHwnd(), FALSE);
  // A settings file dropped on the form: the style alone, no shell32 at start.
  SetWindowLongPtrW(GetSafeHwnd(), GWL_EXSTYLE,
                    GetWindowLongPtrW(GetSafeHwnd(), GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
  V7ER_STARTUP_MARK("system menu copy");
  m_place = FindSettingsPlace(SystemFiles(), ExecutableDirectory());
  V7ER_STARTUP_MARK("which printer.ini");
  FinishCutOffSaves(SystemFiles(), m_place.path, BackupPath(m_place.path));
  // Held for a moment by another program, it is waited for as a save waits.
  const SystemError unread = ReadSettingsFile(SystemFiles(), m_place.path, m_params, m_read);
  m_unreadable = unread != 0;
  V7ER_STARTUP_MARK("reading printer.ini");
  UpdateData(false);
  V7ER_STARTUP_MARK("data exchange");
  ApplyModeEnabling(m_params.nPrintMode);
  V7ER_STARTUP_MARK("mode enabling");
  // Said once the form shows, before any edit.
  if (m_place.OtherCopyRead()) PostMessageW(GetSafeHwnd(), kShowUserCopyNote, 0, 0);
  if (m_unreadable) {
    const std::wstring text =
        FormatResourceString(IDS_OPEN_UNREADABLE, {m_place.path, SystemErrorText(unread)});
    MessageBoxW(GetSafeHwnd(), text.c_str(), LoadResourceString(IDS_SAVE_FAILED_CAPTION).c_str(),
                MB_OK | MB_ICONWARNING);
  }
  return true;
}

std::wstring CK7HWDlg::FieldMessage(int id, NumberFault fault, bool integer) {
  const HWND field = GetDlgItem(GetSafeHwnd(), id);
  const std::wstring options = OptionsEnabling(id);
  if (!field || IsWindowEnabled(field) || options.empty()) {
    return NumberFieldMessage(id, fault, integer);
  }
  // The field cannot take the focus: say which option opens it.
  return FormatResourceString(
      IDS_FIELD_MESSAGE_DISABLED,
      {FieldProblem(id, fault),
       LoadResourceString(integer ? IDS_ACCEPTED_INTEGER : IDS_ACCEPTED_NUMBER),
       FormatResourceString(IDS_FIELD_DISABLED, {options})});
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
  ApplyFields(kModeFields[mode]);
}

void CK7HWDlg::ApplyFields(const ModeFields& fields) {
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

// The big icon is the form's from the start; WM_SETICON then stores the same.
INT_PTR CK7HWDlg::OnGetIcon(WPARAM which, LPARAM) {
  if (which != ICON_BIG) return FALSE;
  SetWindowLongPtrW(GetSafeHwnd(), DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(m_hIcon));
  return TRUE;
}

INT_PTR CK7HWDlg::OnQueryDragIcon(WPARAM, LPARAM) {
  return reinterpret_cast<INT_PTR>(m_hIcon);
}

void CK7HWDlg::OnOkClicked(UINT, int, HWND) {
  if (!UpdateData(true)) return;  // the bad field has been reported and focused
  // The form holds defaults, not the file's values: replace it only when told.
  if (m_unreadable &&
      MessageBoxW(GetSafeHwnd(),
                  FormatResourceString(IDS_REPLACE_UNREADABLE, {m_place.path}).c_str(),
                  LoadResourceString(IDS_SAVE_FAILED_CAPTION).c_str(),
                  MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  bool alsoUserCopy = false;
  if (m_place.OtherCopyRead()) {
    const std::wstring text =
        FormatResourceString(IDS_USER_COPY_QUESTION, {m_place.userCopy, m_place.path});
    const int answer =
        MessageBoxW(GetSafeHwnd(), text.c_str(), LoadResourceString(IDS_USER_COPY_CAPTION).c_str(),
                    MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer != IDYES && answer != IDNO) return;
    alsoUserCopy = answer == IDYES;
  }
  for (;;) {
    const SaveResult result = SaveSettingsAt(SystemFiles(), m_place, m_params, alsoUserCopy,
                                             m_unreadable ? nullptr : &m_read);
    if (result.problem == SaveProblem::ChangedOnDisk) {
      if (!AskAboutChangedFile()) return;
      continue;
    }
    if (!result.saved) {
      // Stay open: the edits are still in the form, to save again or cancel.
      ShowSaveFailure(result);
      return;
    }
    if (result.problem == SaveProblem::PreviousKeptAside) {
      const std::wstring text = FormatResourceString(
          IDS_KEPT_ASIDE, {SettingsFileOf(result), result.path, result.reason, result.kept});
      MessageBoxW(GetSafeHwnd(), text.c_str(), LoadResourceString(IDS_SAVE_FAILED_CAPTION).c_str(),
                  MB_OK | MB_ICONWARNING);
    }
    Dialog::OnOK();
    return;
  }
}

// Another program saved the file since the form read it. True to save over
// it; otherwise the form stays open, with the values on disk if asked for.
bool CK7HWDlg::AskAboutChangedFile() {
  HardwareParams read, disk;
  ApplySettingsBytes(m_read.bytes, read);
  FileContents now;
  if (const SystemError error = ReadSettingsFile(SystemFiles(), m_place.path, disk, now)) {
    SaveResult result;
    result.path = m_place.path;
    result.systemError = error;
    result.reason = SystemErrorText(error);
    ShowSaveFailure(result);
    return false;
  }
  const std::wstring text = FormatResourceString(
      IDS_CHANGED_ON_DISK,
      {m_place.path, ChangeLines(GetSafeHwnd(), SettingValues(read), SettingValues(disk))});
  const int answer =
      MessageBoxW(GetSafeHwnd(), text.c_str(), LoadResourceString(IDS_SAVE_FAILED_CAPTION).c_str(),
                  MB_YESNOCANCEL | MB_ICONWARNING);
  if (answer == IDCANCEL) return false;
  m_read = now;
  if (answer == IDYES) return true;
  ShowParams(disk);
  return false;
}

void CK7HWDlg::ShowSaveFailure(const SaveResult& result) {
  std::wstring text = FormatResourceString(
      IDS_SAVE_FAILED, {SettingsFileOf(result), SaveFailureReason(result, m_place)});
  if (m_place.OtherCopyRead()) {
    text += L"\n\n" + FormatResourceString(IDS_USER_COPY_NOTE, {m_place.userCopy});
  }
  MessageBoxW(GetSafeHwnd(), text.c_str(), LoadResourceString(IDS_SAVE_FAILED_CAPTION).c_str(),
              MB_OK | MB_ICONERROR);
}

void CK7HWDlg::ShowParams(const HardwareParams& params) {
  m_params = params;
  UpdateData(false);
  // With no option checked, every field is open, as when the form opens so.
  const auto mode = m_params.nPrintMode;
  if (mode < 0 || mode >= static_cast<std::int32_t>(std::size(kModeFields))) {
    ApplyFields(kNoModeFields);
  } else {
    ApplyModeEnabling(mode);
  }
}

// The commands join the system menu when it first opens rather than at start-up,
// which they would only slow down.
INT_PTR CK7HWDlg::OnInitMenuPopup(WPARAM, LPARAM lParam) {
  if (!HIWORD(lParam) || !m_systemMenu) return FALSE;
  if (!m_commandsAppended) m_commandsAppended = AppendCommands();
  if (!m_commandsAppended) return FALSE;
  const bool backup = IsFile(BackupPath(m_place.path));
  // -1: the item is gone (the menu was made anew); append them all again next time.
  if (EnableMenuItem(m_systemMenu, IDM_UNDO_SAVE,
                     MF_BYCOMMAND | (backup ? MF_ENABLED : MF_GRAYED)) == -1) {
    m_commandsAppended = false;
  }
  return FALSE;
}

bool CK7HWDlg::AppendCommands() {
  const int before = GetMenuItemCount(m_systemMenu);
  if (before < 0) return false;
  bool appended = AppendMenuW(m_systemMenu, MF_SEPARATOR, 0, nullptr);
  for (const auto& [id, text] : {std::pair{IDM_CALCULATOR, IDS_MENU_CALCULATOR},
                                 {IDM_SHOW_CHANGES, IDS_MENU_SHOW_CHANGES},
                                 {IDM_COPY_SETTINGS, IDS_MENU_COPY_SETTINGS},
                                 {IDM_PASTE_SETTINGS, IDS_MENU_PASTE_SETTINGS},
                                 {IDM_OPEN_SETTINGS, IDS_MENU_OPEN_SETTINGS},
                                 {IDM_RESTORE_DEFAULTS, IDS_MENU_RESTORE_DEFAULTS},
                                 {IDM_UNDO_SAVE, IDS_MENU_UNDO_SAVE},
                                 {IDM_ABOUT, IDS_MENU_ABOUT}}) {
    appended =
        appended && AppendMenuW(m_systemMenu, MF_STRING, id, LoadResourceString(text).c_str());
  }
  if (!appended) {
    // Half a list would be worse than none: take back what was appended.
    for (int count = GetMenuItemCount(m_systemMenu); count > before; --count) {
      if (!DeleteMenu(m_systemMenu, count - 1, MF_BYPOSITION)) break;
    }
  }
  return appended;
}

void CK7HWDlg::OnCalculator(UINT, int, HWND) {
  CK7HWCalcDlg calculator(GetSafeHwnd());
  calculator.DoModal(GetSafeHwnd());
}

void CK7HWDlg::OnRestoreDefaults(UINT, int, HWND) {
  ShowParams(HardwareParams{});
}

void CK7HWDlg::OnUndoSave(UINT, int, HWND) {
  // As the form opens: the defaults, with whatever the file holds laid over
  // them. The command may come while the menu item is greyed (or the file went
  // away since): say so rather than fill the form with defaults.
  const std::wstring backup = BackupPath(m_place.path);
  HardwareParams params;
  if (LoadSettingsFrom(backup, params)) {
    ShowParams(params);
    return;
  }
  Tell(IDS_MENU_UNDO_SAVE, WhyNotRead(backup, IDS_NO_BACKUP, IDS_BACKUP_UNREADABLE),
       MB_ICONEXCLAMATION);
}

std::vector<SettingValue> CK7HWDlg::FormValues() {
  HardwareParams params;
  const std::vector<TypedText> typed = FormParams(params);
  return ValuesShown(params, typed);
}

std::vector<TypedText> CK7HWDlg::FormParams(HardwareParams& params) {
  const HardwareParams kept = m_params;
  std::vector<TypedText> typed = UpdateDataAsTyped();
  params = m_params;
  m_params = kept;
  return typed;
}

// Nothing is written: what OK would change, and what the last save changed.
void CK7HWDlg::OnShowChanges(UINT, int, HWND) {
  const std::wstring& path = m_place.path;
  std::wstring fileWhy, backupWhy;
  const std::vector<SettingValue> onDisk = FileValues(path, fileWhy, IDS_CHANGES_FILE_NEW);
  const std::vector<SettingValue> kept = FileValues(BackupPath(path), backupWhy);
  std::wstring text = FormatResourceString(
      IDS_CHANGES, {onDisk.empty() ? fileWhy : ChangeLines(GetSafeHwnd(), onDisk, FormValues()),
                    kept.empty()     ? backupWhy
                    : onDisk.empty() ? fileWhy
                                     : ChangeLines(GetSafeHwnd(), kept, onDisk)});
  if (m_place.OtherCopyRead()) {
    text += L"\n\n" + FormatResourceString(IDS_USER_COPY_NOTE, {m_place.userCopy});
  }
  Tell(IDS_MENU_SHOW_CHANGES, text, MB_ICONINFORMATION);
}

// The text OK would write, after a line with the file's path.
void CK7HWDlg::OnCopySettings(UINT, int, HWND) {
  if (!UpdateData(true)) return;  // the bad field has been reported and focused
  const UINT failed =
      PutOnClipboard(GetSafeHwnd(), m_place.path + L"\r\n" + FormatSettingsText(m_params));
  if (!failed) return;
  Tell(IDS_MENU_COPY_SETTINGS, FormatResourceString(failed, {SystemErrorText(GetLastError())}),
       MB_ICONERROR);
}

void CK7HWDlg::OnAbout(UINT, int, HWND) {
  std::wstring text =
      FormatResourceString(IDS_ABOUT, {ProgramVersion(), m_place.path, SettingsFileState(m_place)});
  // Which file, and why, where Windows keeps a copy for this user.
  if (m_place.InUserCopy()) text += L"\n\n" + LoadResourceString(IDS_ABOUT_USER_COPY);
  if (m_place.OtherCopyRead()) {
    text += L"\n\n" + FormatResourceString(IDS_USER_COPY_NOTE, {m_place.userCopy});
  }
  MessageBoxW(GetSafeHwnd(), text.c_str(), LoadResourceString(IDS_ABOUT_CAPTION).c_str(),
              MB_OK | MB_ICONINFORMATION);
}

void CK7HWDlg::Tell(UINT caption, const std::wstring& text, UINT icon) {
  MessageBoxW(GetSafeHwnd(), text.c_str(), MenuText(caption).c_str(), MB_OK | icon);
}

void CK7HWDlg::OnPasteSettings(UINT, int, HWND) {
  std::wstring text;
  if (!TextOnClipboard(GetSafeHwnd(), text)) {
    Tell(IDS_MENU_PASTE_SETTINGS, LoadResourceString(IDS_CLIPBOARD_BUSY), MB_ICONERROR);
  } else if (text.empty()) {
    Tell(IDS_MENU_PASTE_SETTINGS, LoadResourceString(IDS_CLIPBOARD_NO_TEXT), MB_ICONEXCLAMATION);
  } else {
    TakeSettings(GivenInText(text), LoadResourceString(IDS_FROM_CLIPBOARD),
                 IDS_MENU_PASTE_SETTINGS);
  }
}

void CK7HWDlg::OnOpenSettings(UINT, int, HWND) {
  using OpenFileName = BOOL(WINAPI*)(OPENFILENAMEW*);
  using ExtendedError = DWORD(WINAPI*)();
  const auto open = SystemFunction<OpenFileName>(L"comdlg32.dll", "GetOpenFileNameW");
  const auto extendedError = SystemFunction<ExtendedError>(L"comdlg32.dll", "CommDlgExtendedError");
  if (!open || !extendedError) {
    Tell(IDS_MENU_OPEN_SETTINGS,
         FormatResourceString(IDS_OPEN_FAILED, {SystemErrorText(GetLastError())}), MB_ICONERROR);
    return;
  }
  std::wstring filter = LoadResourceString(IDS_OPEN_FILTER);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  const std::wstring folder = ExecutableDirectory();
  const std::wstring title = MenuText(IDS_MENU_OPEN_SETTINGS);
  std::wstring file(32768, L'\0');  // the longest path Windows has
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetSafeHwnd();
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                 OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  if (open(&dialog)) {
    TakeFile(file.c_str());
  } else if (const DWORD error = extendedError()) {  // 0: the user cancelled
    wchar_t code[16];
    wsprintfW(code, L"0x%04X", static_cast<unsigned>(error));
    Tell(IDS_MENU_OPEN_SETTINGS, FormatResourceString(IDS_OPEN_FAILED, {code}), MB_ICONERROR);
  }
}

INT_PTR CK7HWDlg::OnDropFiles(WPARAM wParam, LPARAM) {
  using QueryFile = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
  using Finish = void(WINAPI*)(HDROP);
  const auto drop = reinterpret_cast<HDROP>(wParam);
  const auto query = SystemFunction<QueryFile>(L"shell32.dll", "DragQueryFileW");
  const auto finish = SystemFunction<Finish>(L"shell32.dll", "DragFinish");
  std::wstring path;
  if (query) {
    path.resize(query(drop, 0, nullptr, 0) + 1);
    path.resize(query(drop, 0, path.data(), static_cast<UINT>(path.size())));
  }
  if (finish) finish(drop);
  // While a message or the calculator is up, the form takes no settings.
  if (!path.empty() && IsWindowEnabled(GetSafeHwnd())) {
    // The drop leaves the user in the window it came from: the question comes up here.
    SetForegroundWindow(GetSafeHwnd());
    TakeFile(path);
  }
  return TRUE;
}

void CK7HWDlg::TakeFile(const std::wstring& path) {
  GivenValues given;
  if (!GivenInFile(path, given)) {
    Tell(IDS_MENU_OPEN_SETTINGS,
         WhyNotRead(path, IDS_CHANGES_FILE_MISSING, IDS_CHANGES_FILE_UNREADABLE),
         MB_ICONEXCLAMATION);
    return;
  }
  TakeSettings(given, FormatResourceString(IDS_FROM_FILE, {path}), IDS_MENU_OPEN_SETTINGS);
}

// The given values over what the form shows, once the user has seen what
// changes and agreed. A number the field would refuse is put in as it came,
// for OK to name, not read as the file's reader would (1OO as 1).
void CK7HWDlg::TakeSettings(const GivenValues& given, const std::wstring& source, UINT caption) {
  if (!AnyGiven(given)) {
    Tell(caption, FormatResourceString(IDS_TAKE_NOTHING, {source}), MB_ICONEXCLAMATION);
    return;
  }
  HardwareParams params;
  std::vector<TypedText> typed = FormParams(params);
  const std::vector<SettingValue> before = ValuesShown(params, typed);
  // The texts the edit boxes will show where they do not show `params`.
  std::vector<TypedText> texts;
  GivenValues taken = given;
  for (std::size_t i = 0; i < std::size(kSettingFields) && i < given.size(); ++i) {
    const int id = kSettingFields[i];
    if (!given[i]) {
      if (InEditBox(i)) texts.push_back({id, WindowText(GetDlgItem(GetSafeHwnd(), id))});
      continue;
    }
    std::erase_if(typed, [id](const TypedText& field) { return field.id == id; });
    if (!TakesNumber(i)) continue;
    const std::wstring& text = *given[i];
    if (FieldNumberFault(text, TakesInteger(i)) != NumberFault::None) {
      typed.push_back({id, text});
      texts.push_back({id, text});
      taken[i].reset();
    } else {
      // As the field reads it (full-width digits too), in the file's notation.
      taken[i] = TakesInteger(i) ? IntegerText(*ParseFieldInt32(text))
                                 : FormatFieldDouble(*ParseFieldDouble(text));
    }
  }
  ApplyGivenValues(taken, params);
  const std::vector<SettingValue> after = ValuesShown(params, typed);
  if (SameValues(before, after)) {
    Tell(caption, FormatResourceString(IDS_TAKE_NO_CHANGES, {source}), MB_ICONINFORMATION);
    return;
  }
  const std::wstring question =
      FormatResourceString(IDS_TAKE_CHANGES, {source, ChangeLines(GetSafeHwnd(), before, after)});
  if (MessageBoxW(GetSafeHwnd(), question.c_str(), MenuText(caption).c_str(),
                  MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  ShowParams(params);
  for (const TypedText& field : texts) SetDlgItemTextW(GetSafeHwnd(), field.id, field.text.c_str());
}

// Elevated, this run reads and saves the file beside the program, which the
// main application does not read while this user has a copy of it.
INT_PTR CK7HWDlg::OnShowUserCopyNote(WPARAM, LPARAM) {
  // The dialog manager shows the form only once its queue is empty: the note
  // comes before that and would stand alone on the screen.
  ShowWindow(GetSafeHwnd(), SW_SHOW);
  std::wstring beside = m_place.path;
  if (!IsFile(m_place.path)) beside += L"\n" + LoadResourceString(IDS_ABOUT_NOT_FOUND);
  const std::wstring text = FormatResourceString(IDS_USER_COPY_AT_OPEN, {beside, m_place.userCopy});
  MessageBoxW(GetSafeHwnd(), text.c_str(), LoadResourceString(IDS_USER_COPY_CAPTION).c_str(),
              MB_OK | MB_ICONINFORMATION);
  return TRUE;
}
