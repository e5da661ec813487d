#pragma once

#include <string>

#include "number_text.h"

// What is wrong with the text of number field `id`, naming the field by its
// label string (which has the field's id).
std::wstring FieldProblem(int id, NumberFault fault);

// The whole message for a refused number field: what is wrong, then what the
// field accepts.
std::wstring NumberFieldMessage(int id, NumberFault fault, bool integer);
