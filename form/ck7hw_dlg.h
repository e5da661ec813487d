#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "control.h"
#include "data_exchange.h"
#include "dialog.h"
#include "hardware_params.h"
#include "settings_file.h"
#include "settings_place.h"
#include "settings_text.h"

// The "Hardware Parameter Setup" form: shows the parameters from printer.ini
// and writes them back on OK.
class CK7HWDlg : public Dialog {
 public:
  // Which of the mode-dependent fields a marking mode opens.
  struct ModeFields {
    bool stepY, stepZ, clearRotateReturn, resetRotate, swivelModulus;
  };

  CK7HWDlg();
  ~CK7HWDlg() override;

 protected:
  std::span<const MessageEntry> GetMessageTable() const override;
  void DoDataExchange(DataExchange& exchange) override;
  bool OnInitDialog() override;
  std::wstring FieldMessage(int id, NumberFault fault, bool integer) override;

 private:
  INT_PTR OnPaint(WPARAM, LPARAM);
  INT_PTR OnQueryDragIcon(WPARAM, LPARAM);
  INT_PTR OnGetIcon(WPARAM, LPARAM);
  void OnOkClicked(UINT code, int id, HWND control);
  // One per mode option; 2062 and 2063 share one, as their modes use the same fields.
  void OnModeFlat(UINT code, int id, HWND control);
  void OnModeRotateY(UINT code, int id, HWND control);
  void OnModeRotateZ(UINT code, int id, HWND control);
  void OnModeFlipZ(UINT code, int id, HWND control);
  // Enables the fields the given mode uses; other values change nothing.
  void ApplyModeEnabling(std::int32_t mode);
  void ApplyFields(const ModeFields& fields);
  // The texts of the mode options that enable field `id`, as one list; empty
  // for a field that does not depend on the mode.
  std::wstring OptionsEnabling(int id) const;
  void ShowSaveFailure(const SaveResult& result);
  // Posted by the initialisation where the main application reads another copy.
  static constexpr UINT kShowUserCopyNote = WM_APP + 23;
  INT_PTR OnShowUserCopyNote(WPARAM, LPARAM);
  bool AskAboutChangedFile();

  // The system menu's own commands. They change only the form: nothing is
  // written before OK.
  INT_PTR OnInitMenuPopup(WPARAM, LPARAM);
  // Appends the commands to the form's system menu; false, with nothing
  // appended, when the menu refuses one.
  bool AppendCommands();
  void OnCalculator(UINT code, int id, HWND control);
  void OnRestoreDefaults(UINT code, int id, HWND control);
  void OnUndoSave(UINT code, int id, HWND control);
  void OnAbout(UINT code, int id, HWND control);
  void OnShowChanges(UINT code, int id, HWND control);
  void OnCopySettings(UINT code, int id, HWND control);
  void OnPasteSettings(UINT code, int id, HWND control);
  void OnOpenSettings(UINT code, int id, HWND control);
  INT_PTR OnDropFiles(WPARAM, LPARAM);
  void TakeFile(const std::wstring& path);
  // Asks, then puts what `given` gives into the fields; `source` says where
  // it came from.
  void TakeSettings(const GivenValues& given, const std::wstring& source, UINT caption);
  void Tell(UINT caption, const std::wstring& text, UINT icon);
  // Each setting as OK would write it, and a number field that does not
  // convert as it was typed, marked; nothing is refused or reported.
  std::vector<SettingValue> FormValues();
  // The form's values as OK would take them, and the number fields that do
  // not convert as typed; the form itself is left as it is.
  std::vector<TypedText> FormParams(HardwareParams& params);
  // Puts `params` into the fields and opens the fields its mode uses.
  void ShowParams(const HardwareParams& params);

  HICON m_hIcon;
  // The caption's, drawn at the size the form's DPI asks.
  HICON m_smallIcon = nullptr;
  // The form's own copy of its system menu, the one Windows lets us change.
  HMENU m_systemMenu = nullptr;
  bool m_commandsAppended = false;
  HardwareParams m_params;
  // The printer.ini the main application reads, found when the form opens.
  SettingsPlace m_place;
  // What the form read of it; a save replaces nothing else unasked.
  FileContents m_read;
  // It was there but could not be read: the form shows defaults.
  bool m_unreadable = false;
  // The fields whose use depends on the marking mode.
  Control m_stepY;
  Control m_stepZ;
  Control m_clearRotateReturn;
  Control m_resetRotate;
  Control m_swivelModulus;

  static const MessageEntry kMessageTable[];
};
