#pragma once

#include <windows.h>

class Dialog;

using CommandHandler = void (Dialog::*)(UINT code, int id, HWND control);
// The result goes back to the dialog manager as is: FALSE lets it do the default.
using MessageHandler = INT_PTR (Dialog::*)(WPARAM, LPARAM);

// One row of a dialog class's static message table.
struct MessageEntry {
  UINT message;
  UINT code;  // notification, for WM_COMMAND
  int id;     // control id for WM_COMMAND, command id for WM_SYSCOMMAND
  CommandHandler command;
  MessageHandler handler;
};

// Binds a notification from control `id` to a member of dialog class T.
template <class T>
constexpr MessageEntry OnCommand(UINT code, int id, void (T::*handler)(UINT, int, HWND)) {
  return {WM_COMMAND, code, id, static_cast<CommandHandler>(handler), nullptr};
}

// Binds a window message to a member of dialog class T.
template <class T>
constexpr MessageEntry OnMessage(UINT message, INT_PTR (T::*handler)(WPARAM, LPARAM)) {
  return {message, 0, 0, nullptr, static_cast<MessageHandler>(handler)};
}

// Binds a command of the window's system menu to a member of dialog class T.
// The id must be below 0xF000 with its low four bits clear: the system uses
// those bits, so they are masked off before the id is compared. The handler
// gets code 0, the id and no control.
template <class T>
constexpr MessageEntry OnSysCommand(UINT id, void (T::*handler)(UINT, int, HWND)) {
  return {WM_SYSCOMMAND, 0, static_cast<int>(id), static_cast<CommandHandler>(handler), nullptr};
}
