#pragma once

#include <windows.h>

#include <vector>

// Labels, option and check boxes, group titles and buttons whose text does not
// fit the control's rectangle in the dialog's font get the same face at the
// largest smaller size at which it fits, never smaller than three quarters of
// the dialog's size; the others keep the dialog's font. A template's
// rectangles are measured for one face; a Windows that draws "MS Shell Dlg"
// with another (SimSun on a Chinese one) would otherwise cut texts off.
// The controls are read from `dialogTemplate`, the one the dialog was made
// from, before anything has changed them. Returns the fonts it made, for the
// caller to delete once the dialog is gone.
std::vector<HFONT> FitTextsToControls(HWND dialog, const DLGTEMPLATE* dialogTemplate);
