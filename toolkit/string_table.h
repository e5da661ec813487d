#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

// The program's own texts, from the string tables in its resources: the table
// of the user's UI language, else one of the same primary language, else
// English. A string missing there comes in English, else in any language the
// program has, else as its id: never empty.
std::wstring LoadResourceString(UINT id);

// A resource of the program in the same choice of language: the user's, else
// English, else any language the program has it in; null if it has none.
HRSRC FindUiResource(LPCWSTR type, LPCWSTR name);

// The same, with "%1", "%2" ... replaced (see InsertArguments).
std::wstring FormatResourceString(UINT id, std::initializer_list<std::wstring_view> inserts);
