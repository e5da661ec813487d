#include "text_fit.h"

#include <string>

namespace {

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

enum class Kind { Other, Static, Button };

Kind KindOf(HWND control) {
  wchar_t name[16] = {};
  GetClassNameW(control, name, 16);
  if (lstrcmpiW(name, L"Static") == 0) return Kind::Static;
  if (lstrcmpiW(name, L"Button") == 0) return Kind::Button;
  return Kind::Other;
}

// Whether `text` fits `control` drawn in the font selected into `dc`, laid out
// as the control lays it out.
bool Fits(HWND control, Kind kind, HDC dc, const std::wstring& text) {
  RECT client = {};
  GetClientRect(control, &client);
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
  const int length = static_cast<int>(text.size());
  if (kind == Kind::Static) {
    // Wrapped at the control's width, as many lines as that takes.
    RECT need = {0, 0, client.right, 0};
    UINT format = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
    if ((style & SS_TYPEMASK) == SS_CENTER) format |= DT_CENTER;
    DrawTextW(dc, text.c_str(), length, &need, format);
    return need.right - need.left <= client.right && need.bottom <= client.bottom;
  }
  RECT need = {0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), length, &need, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  int width = need.right;
  const DWORD type = style & BS_TYPEMASK;
  if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
      type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
    // The box, then half a digit's width of gap.
    int digit = 0;
    GetCharWidth32W(dc, L'0', L'0', &digit);
    width += GetSystemMetrics(SM_CXMENUCHECK) + digit / 2;
  } else {
    // A group title or a push button keeps an edge and a space free each side.
    width += 2 * (GetSystemMetrics(SM_CXEDGE) + metrics.tmAveCharWidth);
  }
  return width <= client.right && (type == BS_GROUPBOX || metrics.tmHeight <= client.bottom);
}

// Measures without a window's DC: no trip to the display.
class MeasuringDc {
 public:
  MeasuringDc() : dc_(CreateCompatibleDC(nullptr)) {}
  ~MeasuringDc() { DeleteDC(dc_); }
  MeasuringDc(const MeasuringDc&) = delete;
  MeasuringDc& operator=(const MeasuringDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace

std::vector<HFONT> FitTextsToControls(HWND dialog) {
  std::vector<HFONT> made;
  const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  LOGFONTW face = {};
  if (!dialogFont || !GetObjectW(dialogFont, sizeof face, &face) || face.lfHeight == 0) return made;
  const int height = face.lfHeight < 0 ? -face.lfHeight : face.lfHeight;
  const int floor = (height * 3 + 3) / 4;
  const MeasuringDc measuring;
  const HGDIOBJ original = SelectObject(measuring.Get(), dialogFont);
  std::vector<HFONT> bySize(static_cast<std::size_t>(height));  // smaller sizes made so far
  for (HWND control = GetWindow(dialog, GW_CHILD); control;
       control = GetWindow(control, GW_HWNDNEXT)) {
    const Kind kind = KindOf(control);
    if (kind == Kind::Other) continue;
    const std::wstring text = TextOf(control);
    if (text.empty() || Fits(control, kind, measuring.Get(), text)) continue;
    HFONT chosen = nullptr;
    for (int size = height - 1; size >= floor && !chosen; --size) {
      HFONT& font = bySize[static_cast<std::size_t>(size)];
      if (!font) {
        face.lfHeight = face.lfHeight < 0 ? -size : size;
        font = CreateFontIndirectW(&face);
        if (!font) break;
        made.push_back(font);
      }
      SelectObject(measuring.Get(), font);
      // At the floor it is the best there is, fit or not.
      if (size == floor || Fits(control, kind, measuring.Get(), text)) chosen = font;
    }
    SelectObject(measuring.Get(), dialogFont);
    if (chosen) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), FALSE);
  }
  SelectObject(measuring.Get(), original);
  return made;
}
