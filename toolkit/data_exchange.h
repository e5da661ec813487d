#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "number_text.h"

class Control;
class Dialog;

// A window's whole text.
std::wstring WindowText(HWND window);

// A field whose text did not convert, as it was typed.
struct TypedText {
  int id;
  std::wstring text;
};

// One transfer between a dialog's controls and its fields. When collecting, the
// first field that does not convert is reported and everything after it is
// skipped: each primitive returns at once once the exchange has failed. When
// collecting as typed, nothing is reported: such a field keeps its value and
// its text is kept in Refused().
class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool saveAndValidate)
      : dialog_(dialog), saveAndValidate_(saveAndValidate) {}
  struct AsTyped {};
  DataExchange(Dialog& dialog, AsTyped) : dialog_(dialog), saveAndValidate_(true), asTyped_(true) {}

  bool Saving() const { return saveAndValidate_; }
  bool Failed() const { return failed_; }
  HWND Item(int id) const;

  // Tells the user in the dialog's words (Dialog::FieldMessage), then puts the
  // focus on the field with its text selected, if the field can take it.
  void Fail(int id, NumberFault fault, bool integer);
  // The same with a message of the caller's, for a number that converts but
  // does not fit what the dialog needs.
  void Fail(int id, const std::wstring& message);
  // A number field whose `text` did not convert: Fail, or kept when as typed.
  void Refuse(int id, const std::wstring& text, bool integer);
  const std::vector<TypedText>& Refused() const { return refused_; }

 private:
  Dialog& dialog_;
  bool saveAndValidate_;
  bool asTyped_ = false;
  bool failed_ = false;
  std::vector<TypedText> refused_;
};

void DDX_Text(DataExchange& exchange, int id, double& value);
void DDX_Text(DataExchange& exchange, int id, std::int32_t& value);
void DDX_Text(DataExchange& exchange, int id, std::wstring& value);
// A check box as 0 or 1.
void DDX_Check(DataExchange& exchange, int id, std::int32_t& value);
// The index of the checked option in the group that starts at `firstId`, or -1.
void DDX_Radio(DataExchange& exchange, int firstId, std::int32_t& value);
void DDX_Control(DataExchange& exchange, int id, Control& control);
