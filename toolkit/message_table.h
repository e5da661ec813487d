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
  int id;     // control id, for WM_COMMAND
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
