// The live form against its template: controls in order, their kinds, texts,
// flags and places, the frame, and the tab order.
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "form_facts.h"

namespace v7er_ui {
namespace {

enum class Kind {
  kLabel,
  kCentredLabel,
  kLine,
  kGroupBox,
  kEdit,
  kCheckBox,
  kOption,
  kDefaultButton,
  kButton
};

constexpr int kNone = -1;  // a control without an identifier

struct Row {
  int id;
  Kind kind;
  int x, y, cx, cy;  // dialog units
  const wchar_t* text;
  bool tab_stop;
  bool group;
};

// Line breaks inside a label are written as "\n"; any break the control shows
// is accepted.
const Row kRows[] = {
    // 1
    {kNone, Kind::kCentredLabel, 7, 1, 432, 8,
     L"警告：非专业人员请不要擅自更改以下各项参数，错误的参数将导致机器无法正常工作！严重情况下可能"
     L"损坏机械部件！",
     true, true},
    {kNone, Kind::kLine, 0, 12, 445, 1, L"", false, false},
    {kNone, Kind::kGroupBox, 7, 17, 270, 107, L"机械参数", false, false},
    {kNone, Kind::kLabel, 12, 30, 26, 8, L"X轴范围", false, true},
    {1002, Kind::kEdit, 41, 28, 58, 12, nullptr, true, false},
    {kNone, Kind::kLabel, 12, 46, 26, 8, L"Y轴范围", false, true},
    {1003, Kind::kEdit, 41, 44, 58, 12, nullptr, true, false},
    {kNone, Kind::kLabel, 12, 62, 26, 8, L"Z轴范围", false, true},
    {1004, Kind::kEdit, 41, 60, 58, 12, nullptr, true, false},
    {kNone, Kind::kLabel, 12, 78, 26, 8, L"X轴步长", false, true},
    // 11
    {1005, Kind::kEdit, 41, 76, 58, 12, nullptr, true, false},
    {kNone, Kind::kLabel, 12, 94, 26, 8, L"Y轴步长", false, true},
    {1006, Kind::kEdit, 41, 92, 58, 12, nullptr, true, false},
    {kNone, Kind::kLabel, 12, 110, 26, 8, L"Z轴步长", false, true},
    {1007, Kind::kEdit, 41, 108, 58, 12, nullptr, true, false},
    {kNone, Kind::kLabel, 104, 29, 170, 91,
     L"说明（参数均为mm单位）：\n"
     L"范围请按机械部分实际的尺寸设置。\n"
     L"步长请按以下公式计算：\n"
     L"步长＝电机齿轮直径×π÷360×电机步角度÷驱动器细分数\n"
     L"例：多数设备使用的电机齿轮直径为14.23，电机步角度为1.8，驱动器细分数为32，这时步长的计算结果"
     L"如下：\n"
     L"步长＝14.23×3.14159265359÷360×1.8÷32\n"
     L"        ≈0.0069851349 （保留小数点后10位即可）",
     false, true},
    {kNone, Kind::kGroupBox, 7, 127, 93, 84, L"速度参数", false, false},
    {kNone, Kind::kLabel, 24, 140, 28, 8, L"速度比例", false, true},
    {1008, Kind::kEdit, 54, 138, 29, 12, nullptr, true, false},
    {kNone, Kind::kLabel, 24, 155, 28, 8, L"速度基数", false, true},
    // 21
    {1009, Kind::kEdit, 54, 154, 29, 12, nullptr, true, false},
    {kNone, Kind::kLabel, 12, 171, 84, 33,
     L"说明：此参数决定驱动器的速度从而影响电机速度，默认的值按在32细分情况下多数驱动器的响应时间确"
     L"定。",
     false, true},
    {kNone, Kind::kGroupBox, 105, 127, 172, 84, L"复位模式", false, false},
    {2056, Kind::kLabel, 111, 140, 33, 8, L"复位顺序", false, true},
    {2057, Kind::kEdit, 144, 138, 41, 12, nullptr, true, false},
    {1029, Kind::kCheckBox, 198, 140, 79, 8, L"复位后松开限位开关", true, false},
    {kNone, Kind::kLabel, 111, 151, 162, 56,
     L"说明：复位顺序用于调整复位时各个轴的复位方式，默认值\"xy\"是指X轴与Y轴同时复位。如果需要先复"
     L"位Y"
     L"轴，再复位X轴，则应填写“y,x”，同理“x,y”代表先复位X轴再Y轴。如果Z轴也需要复位，则可以填写“z,"
     L"xy”意为复位时先复位Z轴，然后再XY轴同时复位。\n"
     L"“复位后松开限位开关”根据接近开关的电子原理，建议使用接近开关的机器将此项打勾。",
     false, true},
    {kNone, Kind::kGroupBox, 282, 17, 157, 220, L"默认刻印机模式", false, false},
    {2060, Kind::kOption, 288, 28, 145, 10, L"平面刻印(Z为升降轴)", true, true},
    {2061, Kind::kOption, 288, 39, 145, 10, L"Y轴旋转(Z为升降轴)", true, false},
    // 31
    {2062, Kind::kOption, 288, 49, 145, 10, L"Z轴旋转", true, false},
    {2063, Kind::kOption, 288, 60, 145, 10, L"Z轴逐字旋转", true, false},
    {2064, Kind::kOption, 288, 71, 77, 10, L"Z轴翻转刻印(翻转角度", true, false},
    {1017, Kind::kEdit, 369, 71, 27, 12, nullptr, true, false},
    {kNone, Kind::kLabel, 398, 73, 8, 8, L")", false, true},
    {1010, Kind::kCheckBox, 288, 83, 145, 10, L"消除旋转轴返回空转", true, false},
    {1014, Kind::kCheckBox, 288, 94, 145, 10, L"允许旋转轴复位", true, false},
    {kNone, Kind::kLabel, 289, 119, 143, 57,
     L"Z轴旋转：平面Y轴无效，Z轴将作为旋转轴代替Y轴与X轴一起进行2轴旋转刻印。\n"
     L"Z轴逐字旋转：标记的单个字将由平面的XY轴来进行刻印，每刻印完一个单字后，Z轴将旋转到下一个字的"
     L"位"
     L"置，再由平面的XY轴在相同位置进行刻印。\n"
     L"注：旋转模式均要求在软件中将标记旋转90度",
     false, true},
    {2066, Kind::kLabel, 289, 181, 35, 8, L"旋转系数", false, true},
    {2065, Kind::kEdit, 320, 179, 36, 12, nullptr, true, false},
    // 41
    {kNone, Kind::kLabel, 289, 193, 142, 40,
     L"旋转系数＝电机步角度÷减速比÷驱动器细分\n"
     L"例：多数情况下，电机步角度为1."
     L"8，旋转机构减速比为5倍，驱动器细分数为32，这时旋转系数的计算结果"
     L"如下：\n"
     L"旋转系数＝1.8÷5÷32＝0.01125",
     false, true},
    {kNone, Kind::kGroupBox, 7, 215, 93, 40, L"其它", false, false},
    {1011, Kind::kCheckBox, 13, 226, 82, 10, L"软件启动时复位", true, false},
    {1012, Kind::kCheckBox, 13, 239, 82, 10, L"第一次刻印前复位", true, false},
    {1, Kind::kDefaultButton, 334, 239, 50, 16, L"确定", true, false},
    {2, Kind::kButton, 389, 239, 50, 16, L"取消", true, false},
    {kNone, Kind::kLabel, 290, 107, 28, 8, L"字间延时", false, true},
    {1013, Kind::kEdit, 320, 105, 42, 12, nullptr, true, false},
};

std::wstring ClassName(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

bool SameClass(HWND hwnd, const wchar_t* expected) {
  return _wcsicmp(ClassName(hwnd).c_str(), expected) == 0;
}

std::wstring OneBreakStyle(std::wstring text) {
  for (std::size_t at = 0; (at = text.find(L"\r\n", at)) != std::wstring::npos;) text.erase(at, 1);
  for (auto& c : text)
    if (c == L'\r') c = L'\n';
  return text;
}

// Whether the control is of `kind`, judged from class and style; empty if so,
// else what it is instead.
std::string KindMismatch(HWND hwnd, Kind kind) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
  const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
  const DWORD static_type = style & SS_TYPEMASK;
  const DWORD button_type = style & BS_TYPEMASK;
  auto is = [&](bool ok) {
    return ok ? std::string()
              : "class " + Narrow(ClassName(hwnd)) + ", style " + std::to_string(style);
  };
  switch (kind) {
    case Kind::kLabel:
      return is(SameClass(hwnd, L"Static") && static_type == SS_LEFT);
    case Kind::kCentredLabel:
      return is(SameClass(hwnd, L"Static") && static_type == SS_CENTER);
    case Kind::kLine:
      return is(SameClass(hwnd, L"Static") && static_type == SS_ETCHEDHORZ);
    case Kind::kGroupBox:
      return is(SameClass(hwnd, L"Button") && button_type == BS_GROUPBOX);
    case Kind::kEdit:
      // The edit control trades WS_BORDER for the client edge when it is made.
      return is(SameClass(hwnd, L"Edit") && !(style & ES_MULTILINE) && (style & ES_AUTOHSCROLL) &&
                ((style & WS_BORDER) || (ex_style & WS_EX_CLIENTEDGE)));
    case Kind::kCheckBox:
      return is(SameClass(hwnd, L"Button") && button_type == BS_AUTOCHECKBOX);
    case Kind::kOption:
      return is(SameClass(hwnd, L"Button") && button_type == BS_AUTORADIOBUTTON);
    case Kind::kDefaultButton:
      return is(SameClass(hwnd, L"Button") && button_type == BS_DEFPUSHBUTTON);
    case Kind::kButton:
      return is(SameClass(hwnd, L"Button") && button_type == BS_PUSHBUTTON);
  }
  return "unknown kind";
}

std::string ToString(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

TEST(FormLayout, ControlsFollowTheTemplate) {
  Sandbox sandbox;
  TemplateForm layout;
  ASSERT_TRUE(layout.Dialog()) << "cannot make a dialog from template 102: error "
                               << GetLastError();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());

  const std::vector<HWND> live = program.Children();
  const std::vector<HWND> templated = layout.Children();
  ASSERT_EQ(live.size(), std::size(kRows));
  ASSERT_EQ(templated.size(), std::size(kRows));
  for (std::size_t i = 0; i < std::size(kRows); ++i) {
    const Row& row = kRows[i];
    HWND control = live[i];
    SCOPED_TRACE("row " + std::to_string(i + 1) + ", id " + std::to_string(row.id));
    const int id = GetDlgCtrlID(control);
    if (row.id == kNone) {
      EXPECT_TRUE(id == -1 || id == 0xFFFF) << "has id " << id;
    } else {
      EXPECT_EQ(id, row.id);
    }
    EXPECT_EQ(KindMismatch(control, row.kind), "");
    if (row.text) {
      EXPECT_EQ(Narrow(OneBreakStyle(program.Text(control))), Narrow(row.text));
    }

    const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
    const auto template_style = static_cast<DWORD>(GetWindowLongPtrW(templated[i], GWL_STYLE));
    // A live option's tab stop follows its check, so options are judged from
    // the template.
    const DWORD tab_style = row.kind == Kind::kOption ? template_style : style;
    EXPECT_EQ((tab_style & WS_TABSTOP) != 0, row.tab_stop) << "WS_TABSTOP";
    EXPECT_EQ((style & WS_GROUP) != 0, row.group) << "WS_GROUP";
    EXPECT_TRUE(IsWindowVisible(control));
    EXPECT_EQ(template_style & WS_DISABLED, 0u) << "disabled in the template";

    RECT actual = {};
    GetWindowRect(control, &actual);
    MapWindowPoints(HWND_DESKTOP, program.Form(), reinterpret_cast<POINT*>(&actual), 2);
    RECT expected = layout.ToPixels(row.x, row.y, row.cx, row.cy);
    // An etched line's window is widened by the static edge the platform gives
    // it; the template's numbers still fix where it starts.
    const int edges = 2 * GetSystemMetrics(SM_CXEDGE);
    if (row.kind == Kind::kLine && actual.right > expected.right &&
        actual.right <= expected.right + edges)
      expected.right = actual.right;
    EXPECT_EQ(ToString(actual), ToString(expected));
  }

  // Tab stops of the live options: the checked one only.
  for (const int option : kModeOptions) {
    const bool tab_stop = (GetWindowLongPtrW(program.Item(option), GWL_STYLE) & WS_TABSTOP) != 0;
    EXPECT_EQ(tab_stop, program.Checked(option)) << "option " << option;
  }
}

TEST(FormLayout, FrameIsAFixedCentredDialog) {
  Sandbox sandbox;
  TemplateForm layout;
  ASSERT_TRUE(layout.Dialog());
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  HWND form = program.Form();

  EXPECT_EQ(Narrow(program.Text(form)), "Hardware Parameter Setup");
  RECT client = {};
  GetClientRect(form, &client);
  EXPECT_EQ(ToString(client), ToString(layout.ToPixels(0, 0, 451, 262)));

  const auto style = static_cast<DWORD>(GetWindowLongPtrW(form, GWL_STYLE));
  const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(form, GWL_EXSTYLE));
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(ex_style & WS_EX_DLGMODALFRAME);
  EXPECT_TRUE(ex_style & WS_EX_APPWINDOW);

  RECT frame = {};
  GetWindowRect(form, &frame);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(form, MONITOR_DEFAULTTOPRIMARY), &monitor);
  auto centred_in = [&](const RECT& area) {
    const int dx = (frame.left + frame.right) - (area.left + area.right);
    const int dy = (frame.top + frame.bottom) - (area.top + area.bottom);
    return std::abs(dx) <= 2 && std::abs(dy) <= 2;
  };
  EXPECT_TRUE(centred_in(monitor.rcWork) || centred_in(monitor.rcMonitor))
      << "frame " << ToString(frame) << ", screen " << ToString(monitor.rcMonitor);
}

// The template's own header: DS_SETFONT with "MS Shell Dlg" at 9 points and no
// DS_FIXEDSYS, which would make Windows take "MS Shell Dlg 2" and other widths.
TEST(FormLayout, TemplateAsksForMsShellDlgAt9Points) {
  const HMODULE module = LoadLibraryExW(ProgramUnderTest().c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(module) << "error " << GetLastError();
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDD_HARDWARE_SETUP), RT_DIALOG);
  ASSERT_TRUE(found);
  const auto* words = static_cast<const WORD*>(LockResource(LoadResource(module, found)));
  ASSERT_TRUE(words);
  // DLGTEMPLATEEX: version 1, signature 0xFFFF, help id, extended style, style,
  // item count, x, y, cx, cy; then menu, class and caption, then the font.
  ASSERT_EQ(words[0], 1);
  ASSERT_EQ(words[1], 0xFFFF);
  const DWORD style = words[6] | (static_cast<DWORD>(words[7]) << 16);
  EXPECT_TRUE(style & DS_SETFONT);
  EXPECT_FALSE(style & DS_FIXEDSYS);
  EXPECT_EQ(std::vector<int>(words + 8, words + 13), (std::vector<int>{48, 0, 0, 451, 262}));
  const WORD* at = words + 13;
  for (int name = 0; name < 2; ++name) {  // menu, class: none, an ordinal or a string
    if (*at == 0xFFFF) {
      at += 2;
    } else {
      at += std::wcslen(reinterpret_cast<const wchar_t*>(at)) + 1;
    }
  }
  EXPECT_EQ(Narrow(reinterpret_cast<const wchar_t*>(at)), "Hardware Parameter Setup");
  at += std::wcslen(reinterpret_cast<const wchar_t*>(at)) + 1;
  EXPECT_EQ(at[0], 9) << "points";
  EXPECT_EQ(Narrow(reinterpret_cast<const wchar_t*>(at + 3)), "MS Shell Dlg");
  FreeLibrary(module);
}

// The focus starts on the warning label; Tab then follows the template order
// through the enabled tab stops (one option, the checked one) and wraps.
TEST(FormLayout, TabOrderFollowsTheTemplate) {
  Sandbox sandbox;
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());
  HWND warning = GetWindow(program.Form(), GW_CHILD);
  ASSERT_TRUE(program.WaitForFocus(warning));

  // Defaults: mode 0, so 1010, 1014 and 2065 are disabled and skipped.
  const int order[] = {1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 2057,
                       1029, 2060, 1017, 1011, 1012, 1,    2,    1013};
  for (const int id : order) {
    program.PressKey(VK_TAB);
    ASSERT_TRUE(program.WaitForFocus(program.Item(id))) << "Tab towards " << id;
  }
  program.PressKey(VK_TAB);
  EXPECT_TRUE(program.WaitForFocus(warning)) << "Tab after the last field";
}

}  // namespace
}  // namespace v7er_ui
