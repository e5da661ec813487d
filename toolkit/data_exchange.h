#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "number_text.h"

class Control;
class Dialog;

// One transfer between a dialog's controls and its fields. When collecting, the
// first field that does not convert is reported and everything after it is
// skipped: each primitive returns at once once the exchange has failed.
class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool saveAndValidate)
      : dialog_(dialog), saveAndValidate_(saveAndValidate) {}

  bool Saving() const { return saveAndValidate_; }
  bool Failed() const { return failed_; }
  HWND Item(int id) const;

  // Tells the user in the dialog's words (Dialog::FieldMessage), then puts the
  // focus on the field with its text selected, if the field can take it.
  void Fail(int id, NumberFault fault, bool integer);
  // The same with a message of the caller's, for a number that converts but
  // does not fit what the dialog needs.
  void Fail(int id, const std::wstring& message);

 private:
  Dialog& dialog_;
  bool saveAndValidate_;
  bool failed_ = false;
};

void DDX_Text(DataExchange& exchange, int id, double& value);
void DDX_Text(DataExchange& exchange, int id, std::int32_t& value);
void DDX_Text(DataExchange& exchange, int id, std::wstring& value);
// A check box as 0 or 1.
void DDX_Check(DataExchange& exchange, int id, std::int32_t& value);
// The index of the checked option in the group that starts at `firstId`, or -1.
void DDX_Radio(DataExchange& exchange, int firstId, std::int32_t& value);
void DDX_Control(DataExchange& exchange, int id, Control& control);
