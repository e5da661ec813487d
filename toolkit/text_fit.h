#pragma once

#include <windows.h>

#include <vector>

// Labels, option and check boxes whose text does not fit the control's
// rectangle in the dialog's font first take free room beside them (a note,
// below it), inside their group box and clear of every other control; then
// they, group titles and buttons get the same face at the largest smaller size
// at which they fit, never below a legible 11 pixels at 96 DPI, scaled; the
// others keep the dialog's font. A template's
// rectangles are measured for one face; a Windows that draws "MS Shell Dlg"
// with another (SimSun on a Chinese one) would otherwise cut texts off.
// The controls are read from `dialogTemplate`, the one the dialog was made
// from, before anything has changed them. Returns the fonts it made, for the
// caller to delete once the dialog is gone.
// A control given a font of its own keeps it when the DPI changes (Windows 10
// 1703 on would give it the dialog's): after a change, called again with the
// new `dpi`, every such control gets the template's font at that DPI, fitted
// to the control as the dialog manager has laid it out.
std::vector<HFONT> FitTextsToControls(HWND dialog, const DLGTEMPLATE* dialogTemplate, UINT dpi = 0);
