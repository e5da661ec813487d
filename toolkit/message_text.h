#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Puts `inserts` into a message: "%1" takes the first, up to "%9", in any order
// and as often as the message names them, so that a translation may reorder the
// parts. "%%" gives "%"; a "%" before anything else, or a number with no insert,
// stays as it is. Inserted texts are not scanned again. Portable: no window here.
std::wstring InsertArguments(std::wstring_view message,
                             std::initializer_list<std::wstring_view> inserts);
