// The form's texts under the dialog font this system gives it: every label,
// title and default value fits its control at the template's sizes, the Chinese
// characters come from a real font, and the caption buttons' font is there.
// Measured in a hidden dialog of this process made from the same template, with
// the font the dialog gives its controls.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dpi.h"
#include "form_facts.h"

namespace v7er_ui {
namespace {

// A screen-compatible DC with a control's font selected.
class FontDc {
 public:
  explicit FontDc(HFONT font) : dc_(CreateCompatibleDC(nullptr)) { old_ = SelectObject(dc_, font); }
  ~FontDc() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  FontDc(const FontDc&) = delete;
  FontDc& operator=(const FontDc&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

std::wstring OwnText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

int OneLineWidth(HDC dc, const std::wstring& text) {
  RECT r = {0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return r.right - r.left;
}

std::string FaceOf(HFONT font) {
  FontDc dc(font);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc.Dc(), LF_FACESIZE, face);
  return Narrow(face);
}

// What a control needs against what it has, in pixels, or empty if it fits.
std::string Shortfall(HWND control, const std::wstring& text) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
  const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (!font) return "no font";
  FontDc dc(font);
  RECT client = {};
  GetClientRect(control, &client);
  const std::wstring kind = ClassOf(control);
  std::ostringstream out;
  if (_wcsicmp(kind.c_str(), L"Static") == 0) {
    // As the static draws it: wrapped at its width, as many lines as that takes.
    RECT need = {0, 0, client.right, 0};
    UINT format = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
    if ((style & SS_TYPEMASK) == SS_CENTER) format |= DT_CENTER;
    DrawTextW(dc.Dc(), text.c_str(), static_cast<int>(text.size()), &need, format);
    if (need.right - need.left > client.right || need.bottom > client.bottom)
      out << "needs " << need.right - need.left << "x" << need.bottom << ", has " << client.right
          << "x" << client.bottom;
  } else if (_wcsicmp(kind.c_str(), L"Edit") == 0) {
    const auto margins = static_cast<DWORD>(SendMessageW(control, EM_GETMARGINS, 0, 0));
    const int need = OneLineWidth(dc.Dc(), text) + LOWORD(margins) + HIWORD(margins);
    if (need > client.right) out << "needs " << need << " wide, has " << client.right;
  } else {
    const DWORD type = style & BS_TYPEMASK;
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc.Dc(), &metrics);
    int need = OneLineWidth(dc.Dc(), text);
    if (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON) {
      // The box, then half a digit's width of gap, as the button lays it out.
      int digit = 0;
      GetCharWidth32W(dc.Dc(), L'0', L'0', &digit);
      need += GetSystemMetrics(SM_CXMENUCHECK) + digit / 2;
    } else {
      // A group box's title and a push button's text keep an edge and a space
      // free on each side.
      need += 2 * (GetSystemMetrics(SM_CXEDGE) + metrics.tmAveCharWidth);
    }
    if (need > client.right || (type != BS_GROUPBOX && metrics.tmHeight > client.bottom))
      out << "needs " << need << "x" << metrics.tmHeight << ", has " << client.right << "x"
          << client.bottom;
  }
  return out.str();
}

// The font profile the prefix was given (scripts/wine-fonts), as CTest says.
std::string FontProfile() {
  const char* profile = std::getenv("V7ER_FONT_PROFILE");
  return profile && *profile ? profile : "readable";
}

int HeightOf(HFONT font) {
  LOGFONTW face = {};
  GetObjectW(font, sizeof face, &face);
  return std::abs(face.lfHeight);
}

RECT RectIn(HWND dialog, HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Both templates, with their texts fitted as the program fits them: a control
// widened into free room lies over no other (but the group box around it), and
// none is given a font below the legible floor, 11 pixels at 96 DPI. In
// SimSun's proportions a text that does not fit even at the floor is listed.
TEST(FormFont, EveryTextFitsItsControl) {
  for (const auto& [template_id, texts] :
       {std::pair{IDD_HARDWARE_SETUP, 35}, {IDD_CALCULATOR, 33}}) {
    TemplateForm form(template_id, true), unfitted(template_id, false);
    ASSERT_TRUE(form.Dialog()) << "cannot make a dialog from template " << template_id << ": error "
                               << GetLastError();
    RECT units = {4, 8, 0, 0};
    MapDialogRect(form.Dialog(), &units);
    SCOPED_TRACE("template " + std::to_string(template_id) + ", profile " + FontProfile() +
                 ", dialog font \"" + FaceOf(form.Font()) + "\", base units " +
                 std::to_string(units.left) + "x" + std::to_string(units.top));

    const int floor =
        std::min(HeightOf(form.Font()), MulDiv(11, static_cast<int>(WindowDpi(form.Dialog())), 96));
    const std::vector<HWND> controls = form.Children(), before = unfitted.Children();
    ASSERT_EQ(controls.size(), before.size());
    int measured = 0;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const HWND control = controls[i];
      const RECT at = RectIn(form.Dialog(), control), was = RectIn(unfitted.Dialog(), before[i]);
      for (std::size_t j = 0; j < controls.size() && !EqualRect(&at, &was); ++j) {
        RECT other = RectIn(form.Dialog(), controls[j]), both = {},
             other_was = RectIn(unfitted.Dialog(), before[j]);
        // Over none but the group box around it, where the template had none.
        EXPECT_TRUE(j == i || (UnionRect(&both, &other, &at) && EqualRect(&both, &other)) ||
                    IntersectRect(&both, &was, &other_was) || !IntersectRect(&both, &at, &other))
            << "id " << GetDlgCtrlID(control) << " widened over id " << GetDlgCtrlID(controls[j]);
      }
      const std::wstring text = OwnText(control);
      if (text.empty()) continue;  // the edit boxes and the etched line
      ++measured;
      const int height = HeightOf(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
      EXPECT_GE(height, floor) << "id " << GetDlgCtrlID(control);
      const std::string shortfall = Shortfall(control, text);
      if (!shortfall.empty() && height == floor && FontProfile() != "readable") {
        std::printf("template %d at the floor (%d px), id %d \"%s\" %s\n", template_id, floor,
                    GetDlgCtrlID(control), Narrow(text.substr(0, 12)).c_str(), shortfall.c_str());
        continue;
      }
      EXPECT_EQ(shortfall, "") << "id " << GetDlgCtrlID(control) << " \"" << Narrow(text) << "\"";
    }
    EXPECT_EQ(measured, texts) << "labels, titles and buttons with a text";
    if (template_id != IDD_HARDWARE_SETUP) continue;
    for (const FieldShown& field : kDefaultsShown) {
      HWND control = GetDlgItem(form.Dialog(), field.id);
      if (_wcsicmp(ClassOf(control).c_str(), L"Edit") != 0) continue;
      EXPECT_EQ(Shortfall(control, field.shown), "")
          << "default value \"" << Narrow(field.shown) << "\" in " << field.id;
    }
  }
}

// The places among a dialog's children of those in `controls`.
std::vector<int> Places(HWND dialog, const std::vector<HWND>& controls) {
  std::vector<int> places;
  int place = 0;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++place)
    if (std::find(controls.begin(), controls.end(), c) != controls.end()) places.push_back(place);
  return places;
}

// The program's dialogs give a smaller font to the controls the measured
// templates fit; in the readable profile, to none. Another process's fonts
// cannot be asked for under Wine (WM_GETFONT gives 0): the program's own
// WM_SETFONT calls, from the relay trace, show them.
TEST(FormFont, ProgramFitsTheSameControls) {
  Sandbox sandbox;
  sandbox.WriteIni(kDefaultIni);
  Program program(sandbox, Program::Start::kRelayTraced);
  ASSERT_TRUE(program.WaitForForm());
  program.PostToForm(WM_SYSCOMMAND, IDM_CALCULATOR, 0);
  HWND calculator = nullptr;
  ASSERT_TRUE(program.WaitForDialog(IDC_GEAR_DIAMETER, calculator));
  std::vector<HWND> set_font;
  for (const TracedCall& call : TracedCalls(sandbox.Dir() + L"relay.log"))
    if (call.function == "user32.SendMessageW" && call.args.size() == 4 &&
        Number(call.args[1]) == WM_SETFONT)
      set_font.push_back(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(Number(call.args[0]))));
  for (const auto& [template_id, dialog] :
       {std::pair{IDD_HARDWARE_SETUP, program.Form()}, {IDD_CALCULATOR, calculator}}) {
    TemplateForm measured(template_id, true);
    ASSERT_TRUE(measured.Dialog());
    const LRESULT font = SendMessageW(measured.Dialog(), WM_GETFONT, 0, 0);
    std::vector<HWND> fitted;
    for (HWND c : measured.Children())
      if (SendMessageW(c, WM_GETFONT, 0, 0) != font && GetWindowTextLengthW(c) > 0)
        fitted.push_back(c);
    const std::vector<int> expected = Places(measured.Dialog(), fitted);
    if (FontProfile() == "readable") {
      EXPECT_TRUE(expected.empty()) << "template " << template_id;
    }
    EXPECT_EQ(Places(dialog, set_font), expected) << "template " << template_id;
  }
  program.PostClickItem(calculator, IDCANCEL);
  ASSERT_TRUE(Eventually([&] { return std::to_wstring(IsWindow(calculator)); }, L"0"));

  // Moved to a monitor of 144 DPI, to the rectangle Windows suggests (in the
  // program's memory: Wine passes the pointer as it is): every control, fitted
  // ones too, gets a font for that DPI, 17 (the floor) or 18 pixels.
  RECT was = {}, now = {};
  GetWindowRect(program.Form(), &was);
  const RECT suggested = {was.left, was.top, was.left + (was.right - was.left) * 3 / 2,
                          was.top + (was.bottom - was.top) * 3 / 2};
  const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, program.Pid());
  void* there = VirtualAllocEx(process, nullptr, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_TRUE(there && WriteProcessMemory(process, there, &suggested, sizeof suggested, nullptr));
  CloseHandle(process);
  SendMessageW(program.Form(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(there));
  EXPECT_TRUE(Eventually(
      [&] {
        std::map<std::uint64_t, int> heights;  // of the fonts made, then of the controls' fonts
        bool moved = false;
        for (const TracedCall& call : TracedCalls(sandbox.Dir() + L"relay.log")) {
          if (call.function == "NtGdiHfontCreate")
            heights[Number(call.retval)] = std::abs(std::atoi(call.args[0].c_str()));
          moved = moved || call.function == "dialog proc WM_DPICHANGED";
          if (moved && call.function == "user32.SendMessageW" && Number(call.args[1]) == WM_SETFONT)
            heights[Number(call.args[0])] = heights[Number(call.args[2])];
        }
        std::wstring missing;
        for (HWND c = GetWindow(program.Form(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
          const int height = heights[reinterpret_cast<std::uintptr_t>(c)];
          if (height < 17 || height > 18) missing += std::to_wstring(height) + L" ";
        }
        return missing;
      },
      L""));
  GetWindowRect(program.Form(), &now);
  EXPECT_TRUE(EqualRect(&now, &suggested));
  program.PostClick(IDCANCEL);
  EXPECT_TRUE(program.WaitForExit());
}

bool Inked(const Pixels& picture) {
  return std::any_of(picture.data.begin(), picture.data.end(),
                     [](std::uint32_t p) { return (p & 0xFFFFFF) != 0xFFFFFF; });
}

// One character, black on white, as the font draws it.
Pixels Render(HFONT font, wchar_t c) {
  Canvas canvas(48, 48);
  const HGDIOBJ old = SelectObject(canvas.Dc(), font);
  RECT all = {0, 0, 48, 48};
  FillRect(canvas.Dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(canvas.Dc(), RGB(0, 0, 0));
  SetBkMode(canvas.Dc(), TRANSPARENT);
  TextOutW(canvas.Dc(), 4, 4, &c, 1);
  SelectObject(canvas.Dc(), old);
  return canvas.Read();
}

// Every Chinese character of the form, drawn with the form's font, is a glyph
// of its own and not the box that stands for a missing one.
TEST(FormFont, ChineseCharactersAreRealGlyphs) {
  TemplateForm form;
  ASSERT_TRUE(form.Dialog());
  const HFONT font = form.Font();
  // Unassigned in Unicode: no font has it, so this is the missing-glyph box.
  const Pixels missing = Render(font, L'\x0378');
  std::set<wchar_t> chinese;
  for (HWND control : form.Children())
    for (const wchar_t c : OwnText(control))
      if (c >= 0x4E00 && c <= 0x9FFF) chinese.insert(c);
  ASSERT_GT(chinese.size(), 100u);
  std::wstring boxes;
  for (const wchar_t c : chinese) {
    const Pixels drawn = Render(font, c);
    if (!Inked(drawn) || drawn.data == missing.data) boxes += c;
  }
  EXPECT_EQ(Narrow(boxes), "") << "drawn as boxes with \"" << FaceOf(font) << "\"";
}

// The caption's close box is the letter "r" of Marlett; without that font it
// shows as a plain "r".
TEST(FormFont, CaptionButtonFontIsThere) {
  HFONT marlett =
      CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Marlett");
  HFONT plain =
      CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
  EXPECT_EQ(FaceOf(marlett), "Marlett");
  EXPECT_NE(Render(marlett, L'r').data, Render(plain, L'r').data);
  DeleteObject(marlett);
  DeleteObject(plain);
}

std::wstring WineCodepages() {
  wchar_t value[64] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Fonts", L"Codepages", RRF_RT_REG_SZ,
                   nullptr, value, &size) != ERROR_SUCCESS)
    return {};
  return value;
}

// Wine resets its font defaults whenever a program starts under another locale
// than the last one: after such a program, a new process under this locale must
// still get the same form, whole and in Chinese.
TEST(FormFont, HoldsAfterAProgramRanUnderAnotherLocale) {
  const bool chinese = GetACP() == 936;
  const std::wstring other_locale = chinese ? L"C.UTF-8" : L"zh_CN.UTF-8";
  const std::wstring other_codepages = chinese ? L"1252,437" : L"936,936";
  ASSERT_NE(WineCodepages(), other_codepages);

  // Every Wine program that loads the GDI makes Wine check the locale; reg.exe
  // is a quick one.
  std::wstring command = L"/bin/sh -c \"LANG=" + other_locale + L" LC_ALL=" + other_locale +
                         L" exec '" + WineLoader() +
                         L"' reg query HKCU\\\\Software\\\\Wine\\\\Fonts"
                         L" </dev/null >/dev/null 2>&1\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info))
      << "cannot start /bin/sh: error " << GetLastError();
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  // A Unix child gives no handle to wait on; its mark in the registry is the sign.
  EXPECT_TRUE(Eventually(WineCodepages, other_codepages));

  // The measurements again, in a process of their own that starts now.
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring again = L"\"" + std::wstring(self) +
                       L"\" --gtest_filter=FormFont.EveryTextFitsItsControl:"
                       L"FormFont.ChineseCharactersAreRealGlyphs";
  ASSERT_TRUE(CreateProcessW(self, again.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  CloseHandle(info.hThread);
  const bool ended = WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0;
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  if (!ended) TerminateProcess(info.hProcess, 1);
  CloseHandle(info.hProcess);
  EXPECT_TRUE(ended);
  EXPECT_EQ(code, 0u) << "the form's font after a program ran under " << Narrow(other_locale);
}

}  // namespace
}  // namespace v7er_ui
