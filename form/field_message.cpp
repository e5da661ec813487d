#include "field_message.h"

#include "resource.h"
#include "string_table.h"

namespace {

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

}  // namespace

std::wstring FieldProblem(int id, NumberFault fault) {
  return FormatResourceString(ProblemString(fault), {LoadResourceString(static_cast<UINT>(id))});
}

std::wstring NumberFieldMessage(int id, NumberFault fault, bool integer) {
  return FormatResourceString(
      IDS_FIELD_MESSAGE,
      {FieldProblem(id, fault),
       LoadResourceString(integer ? IDS_ACCEPTED_INTEGER : IDS_ACCEPTED_NUMBER)});
}
