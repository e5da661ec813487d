#include "text_fit.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "dpi.h"

namespace {

enum class Kind { Other, Static, Button };

// A control as its template gives it, with the size the dialog manager made
// it: all the fitting needs, without asking each window (under Wine every
// step from one control to the next is a trip to the window server, 40 us).
struct Item {
  Kind kind = Kind::Other;
  DWORD style = 0;
  DWORD exStyle = 0;
  int id = 0;
  POINT at = {};   // in dialog units
  SIZE size = {};  // in dialog units
  std::wstring text;
};

// Reads a DLGTEMPLATE or DLGTEMPLATEEX, which the program's own resources
// hold and the dialog manager has just read the same way.
class TemplateReader {
 public:
  explicit TemplateReader(const DLGTEMPLATE* dialogTemplate)
      : at_(reinterpret_cast<const WORD*>(dialogTemplate)) {}

  // The controls; `points` gets the template's font size, 0 without one, and
  // `size` the dialog's, in dialog units.
  std::vector<Item> Items(int& points, SIZE& size) {
    const bool extended = at_[0] == 1 && at_[1] == 0xFFFF;
    if (extended) at_ += 4;  // version, signature, help id
    DWORD style = Dword();
    if (extended) style = Dword();  // the extended style came first
    if (!extended) Dword();
    const WORD count = *at_++;
    size = {static_cast<short>(at_[2]), static_cast<short>(at_[3])};
    at_ += 4;
    Name();  // menu
    Name();  // class
    Name();  // caption
    points = 0;
    if (style & DS_SETFONT) {
      points = static_cast<short>(*at_);
      at_ += extended ? 3 : 1;  // size, and weight, italic, character set
      Name();
    }
    std::vector<Item> items(count);
    for (Item& item : items) {
      Align();
      if (extended) {
        at_ += 2;  // help id
        item.exStyle = Dword();
        item.style = Dword();
      } else {
        item.style = Dword();
        item.exStyle = Dword();
      }
      item.at = {static_cast<short>(at_[0]), static_cast<short>(at_[1])};
      at_ += 2;
      item.size = {static_cast<short>(at_[0]), static_cast<short>(at_[1])};
      at_ += 2;
      item.id = extended ? static_cast<int>(Dword()) : *at_++;  // as GetDlgCtrlID gives it
      WORD ordinal = 0;
      const std::wstring className = Name(&ordinal);
      if (ordinal == 0x0080 || lstrcmpiW(className.c_str(), L"Button") == 0)
        item.kind = Kind::Button;
      if (ordinal == 0x0082 || lstrcmpiW(className.c_str(), L"Static") == 0)
        item.kind = Kind::Static;
      item.text = Name();  // an ordinal (an icon's) reads as no text
      const WORD extra = *at_++;
      at_ = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at_) + extra);
    }
    return items;
  }

 private:
  DWORD Dword() {
    const DWORD value = at_[0] | (static_cast<DWORD>(at_[1]) << 16);
    at_ += 2;
    return value;
  }

  // A string, or none (0), or an ordinal (0xFFFF and a number).
  std::wstring Name(WORD* ordinal = nullptr) {
    if (*at_ == 0xFFFF) {
      if (ordinal) *ordinal = at_[1];
      at_ += 2;
      return {};
    }
    const auto* text = reinterpret_cast<const wchar_t*>(at_);
    std::wstring name(text);
    at_ += name.size() + 1;
    return name;
  }

  void Align() {
    const auto address = reinterpret_cast<std::uintptr_t>(at_);
    at_ = reinterpret_cast<const WORD*>((address + 3) & ~std::uintptr_t{3});
  }

  const WORD* at_;
};

// What the measuring needs besides the text, asked once for each font: each
// of these calls costs Wine more than measuring a line whose glyphs it has
// seen (the check box's width alone 35 us).
struct FontFacts {
  int height = 0;        // of a line
  int averageWidth = 0;  // of a character
  int digitWidth = 0;    // of "0"
  int boxWidth = 0;      // of a check box or an option's circle
  int edgeWidth = 0;     // of a button's or group box's edge
};

// The system's metrics at the window's DPI (0: the system's).
FontFacts FactsOf(HDC dc, UINT dpi) {
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  FontFacts facts;
  facts.height = metrics.tmHeight;
  facts.averageWidth = metrics.tmAveCharWidth;
  GetCharWidth32W(dc, L'0', L'0', &facts.digitWidth);
  facts.boxWidth = SystemMetricAtDpi(SM_CXMENUCHECK, dpi);
  facts.edgeWidth = SystemMetricAtDpi(SM_CXEDGE, dpi);
  return facts;
}

int LineWidth(HDC dc, const std::wstring& text) {
  SIZE size = {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

bool HasBox(const Item& item) {
  const DWORD type = item.style & BS_TYPEMASK;
  return item.kind == Kind::Button &&
         (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
          type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE);
}

// The width a button needs for its text on one line, every character as it
// stands, in the font selected into `dc`.
int ButtonWidth(const Item& item, HDC dc, const FontFacts& font) {
  const int width = LineWidth(dc, item.text);
  // The box, then half a digit's width of gap; a group title or a push button
  // keeps an edge and a space free each side.
  return HasBox(item) ? width + font.boxWidth + font.digitWidth / 2
                      : width + 2 * (font.edgeWidth + font.averageWidth);
}

// Whether `item`'s text fits `client` drawn in the font selected into `dc`,
// laid out as the control lays it out.
bool Fits(const Item& item, const RECT& client, HDC dc, const FontFacts& font) {
  const std::wstring& text = item.text;
  if (item.kind == Kind::Static) {
    // A text that fits on one line fits wrapped too: only a longer one needs
    // the lines worked out, which costs several measurings.
    if (text.find_first_of(L"\t\r\n") == std::wstring::npos && font.height <= client.bottom &&
        LineWidth(dc, text) <= client.right) {
      return true;
    }
    // Wrapped at the control's width, as many lines as that takes.
    RECT need = {0, 0, client.right, 0};
    UINT format = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
    if ((item.style & SS_TYPEMASK) == SS_CENTER) format |= DT_CENTER;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, format);
    return need.right - need.left <= client.right && need.bottom <= client.bottom;
  }
  const DWORD type = item.style & BS_TYPEMASK;
  return ButtonWidth(item, dc, font) <= client.right &&
         (type == BS_GROUPBOX || font.height <= client.bottom);
}

// Without a border the client area is the whole control, as large as the
// dialog manager made it from the template.
bool Borderless(const Item& item) {
  return !(item.style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_HSCROLL | WS_VSCROLL)) &&
         !(item.exStyle &
           (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME)) &&
         !(item.kind == Kind::Static && (item.style & SS_SUNKEN));
}

bool IsGroupBox(const Item& item) {
  return item.kind == Kind::Button && (item.style & BS_TYPEMASK) == BS_GROUPBOX;
}

// Widening keeps this much from every other control and edge (dialog units),
// the least the template itself leaves between a label and its field.
constexpr LONG kGap = 2;

// The rectangle, in dialog units, into which `items[index]` may grow: inside
// the dialog and the group box around it, never over another control nor
// closer to one than kGap. Sideways beside the controls of its rows; down to
// the first control below it.
RECT Room(const std::vector<Item>& items, std::size_t index, SIZE dialog) {
  const Item& self = items[index];
  const RECT own = {self.at.x, self.at.y, self.at.x + self.size.cx, self.at.y + self.size.cy};
  RECT room = {kGap, kGap, dialog.cx - kGap, dialog.cy - kGap};
  for (std::size_t other = 0; other < items.size(); ++other) {
    const Item& item = items[other];
    const RECT box = {item.at.x, item.at.y, item.at.x + item.size.cx, item.at.y + item.size.cy};
    if (other == index || box.right <= box.left || box.bottom <= box.top) continue;
    if (IsGroupBox(item) && box.left <= own.left && box.top <= own.top && box.right >= own.right &&
        box.bottom >= own.bottom) {
      room.left = std::max(room.left, box.left + kGap);
      room.right = std::min(room.right, box.right - kGap);
      room.bottom = std::min(room.bottom, box.bottom - kGap);
    } else if (box.top < own.bottom && box.bottom > own.top) {  // in its rows
      if (box.left + box.right > own.left + own.right) {
        room.right = std::min(room.right, std::max(own.right, box.left - kGap));
      } else {
        room.left = std::max(room.left, std::min(own.left, box.right + kGap));
      }
    } else if (box.left < own.right && box.right > own.left && box.top >= own.bottom) {
      room.bottom = std::min(room.bottom, box.top - kGap);
    }
  }
  // Never smaller than the control is.
  room.left = std::min(room.left, own.left);
  room.right = std::max(room.right, own.right);
  room.bottom = std::max(room.bottom, own.bottom);
  room.top = own.top;
  return room;
}

// The controls in creation order, which is the template's.
std::vector<HWND> Controls(HWND dialog) {
  std::vector<HWND> controls;
  for (HWND control = GetWindow(dialog, GW_CHILD); control;
       control = GetWindow(control, GW_HWNDNEXT)) {
    controls.push_back(control);
  }
  return controls;
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

std::vector<HFONT> FitTextsToControls(HWND dialog, const DLGTEMPLATE* dialogTemplate, UINT dpi) {
  std::vector<HFONT> made;
  const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  LOGFONTW face = {};
  if (!dialogTemplate || !dialogFont || !GetObjectW(dialogFont, sizeof face, &face) ||
      face.lfHeight == 0) {
    return made;
  }
  int points = 0;
  SIZE dialogSize = {};
  const std::vector<Item> items = TemplateReader(dialogTemplate).Items(points, dialogSize);
  // After a move to another DPI: the template's font for that DPI, made here,
  // since a control that kept its font gets none from the dialog manager.
  HFONT fullFont = dialogFont;
  if (dpi) {
    if (points <= 0) return made;
    face.lfHeight = -MulDiv(points, static_cast<int>(dpi), 72);
    fullFont = CreateFontIndirectW(&face);
    if (!fullFont) return made;
    made.push_back(fullFont);
  }
  const UINT metricsDpi = dpi ? dpi : WindowDpi(dialog);
  const int height = face.lfHeight < 0 ? -face.lfHeight : face.lfHeight;
  const MeasuringDc measuring;
  // Never smaller than is legible: 11 pixels at 96 DPI, one step below the
  // 12 of 9 points, scaled with the DPI.
  const int floorDpi =
      metricsDpi ? static_cast<int>(metricsDpi) : GetDeviceCaps(measuring.Get(), LOGPIXELSY);
  const int floor = std::min(height, MulDiv(11, floorDpi, 96));
  const HGDIOBJ original = SelectObject(measuring.Get(), fullFont);
  const FontFacts fullFacts = FactsOf(measuring.Get(), metricsDpi);
  struct Sized {
    HFONT font = nullptr;
    FontFacts facts;
  };
  std::vector<Sized> bySize(static_cast<std::size_t>(height));  // smaller sizes made so far
  std::vector<HWND> controls;  // asked for only when a control needs its window
  const auto window = [&](std::size_t index) -> HWND {
    if (controls.empty()) controls = Controls(dialog);
    return index < controls.size() && GetDlgCtrlID(controls[index]) == items[index].id
               ? controls[index]
               : nullptr;
  };
  for (std::size_t index = 0; index < items.size(); ++index) {
    const Item& item = items[index];
    if (item.kind == Kind::Other || item.text.empty()) {
      // An edit box too, where no dialog manager gave it the DPI's font.
      const HWND control = dpi ? window(index) : nullptr;
      if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fullFont), TRUE);
      continue;
    }
    RECT client = {0, 0, item.size.cx, item.size.cy};
    if (Borderless(item) && !dpi) {
      MapDialogRect(dialog, &client);
    } else if (const HWND control = window(index)) {
      GetClientRect(control, &client);  // as the dialog manager laid it out for the DPI
    } else {
      continue;
    }
    bool fits = Fits(item, client, measuring.Get(), fullFacts);
    const HWND grown = !fits && !dpi && Borderless(item) ? window(index) : nullptr;
    if (grown && !IsGroupBox(item) && (item.kind == Kind::Static || HasBox(item))) {
      // Before a smaller size, the free room: a note below it, a label beside
      // it (to the left only where its text starts at the left and no box
      // stands there). The template stays as it is.
      RECT room = Room(items, index, dialogSize);
      // Position and size each converted, as the dialog manager converts them.
      RECT own = {item.at.x, item.at.y, item.size.cx, item.size.cy};
      MapDialogRect(dialog, &room);
      MapDialogRect(dialog, &own);
      own.right += own.left;
      own.bottom += own.top;
      if (item.kind == Kind::Static && fullFacts.height * 2 <= client.bottom) {
        own.bottom = room.bottom;
      } else {
        // Pixels more than it has, taken on the right first.
        const LONG need =
            (item.kind == Kind::Static ? LineWidth(measuring.Get(), item.text)
                                       : ButtonWidth(item, measuring.Get(), fullFacts)) -
            client.right;
        const LONG right = std::min(room.right, own.right + std::max(need, 0L));
        const LONG still = need - (right - own.right);
        own.right = right;
        if (item.kind == Kind::Static && (item.style & SS_TYPEMASK) == SS_LEFT) {
          own.left = std::max(room.left, own.left - std::max(still, 0L));
        }
      }
      SetWindowPos(grown, nullptr, own.left, own.top, own.right - own.left, own.bottom - own.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      client = {0, 0, own.right - own.left, own.bottom - own.top};
      fits = Fits(item, client, measuring.Get(), fullFacts);
    }
    HFONT chosen = nullptr;
    if (fits) {
      if (!dpi) continue;  // the dialog's own font, as it has
      chosen = fullFont;
    }
    for (int size = height - 1; size >= floor && !chosen; --size) {
      Sized& sized = bySize[static_cast<std::size_t>(size)];
      if (!sized.font) {
        face.lfHeight = face.lfHeight < 0 ? -size : size;
        sized.font = CreateFontIndirectW(&face);
        if (!sized.font) break;
        made.push_back(sized.font);
        SelectObject(measuring.Get(), sized.font);
        sized.facts = FactsOf(measuring.Get(), metricsDpi);
      }
      SelectObject(measuring.Get(), sized.font);
      // At the floor it is the best there is, fit or not.
      if (size == floor || Fits(item, client, measuring.Get(), sized.facts)) chosen = sized.font;
    }
    SelectObject(measuring.Get(), fullFont);
    const HWND control = chosen ? window(index) : nullptr;
    if (!control) continue;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), dpi ? TRUE : FALSE);
    KeepFontOnDpiChange(control);
  }
  SelectObject(measuring.Get(), original);
  return made;
}
