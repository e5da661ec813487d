// What the form and its settings file must look like, typed in here on their
// own rather than taken from the program's resources; shared by the UI cases.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "harness.h"
#include "res/resource.h"

namespace v7er_ui {

// printer.ini as written for the built-in defaults.
inline constexpr char kDefaultIni[] =
    "fAreaX = 110\r\n"
    "fAreaY = 80\r\n"
    "fAreaZ = 100\r\n"
    "fStepX = 0.0069851349\r\n"
    "fStepY = 0.0069851349\r\n"
    "fStepZ = 0.0069851349\r\n"
    "nSpeedScale = 5\r\n"
    "nSpeedBase = 30\r\n"
    "nResetMode = 1\r\n"
    "strResetOrder = xy\r\n"
    "nPrintMode = 0\r\n"
    "dFlipAngle = 30\r\n"
    "bClearRotateReturn = 1\r\n"
    "bResetRotate = 0\r\n"
    "fSwivelModulus = 0.01125\r\n"
    "bInitReset = 0\r\n"
    "bFirstPrnReset = 1\r\n"
    "nDelayCharSp = 0\r\n";

// What a field shows: its text, or "checked"/"unchecked" for a check box.
struct FieldShown {
  int id;
  const wchar_t* shown;
};

inline const std::vector<FieldShown> kDefaultsShown = {
    {IDC_AREA_X, L"110"},
    {IDC_AREA_Y, L"80"},
    {IDC_AREA_Z, L"100"},
    {IDC_STEP_X, L"0.0069851349"},
    {IDC_STEP_Y, L"0.0069851349"},
    {IDC_STEP_Z, L"0.0069851349"},
    {IDC_SPEED_SCALE, L"5"},
    {IDC_SPEED_BASE, L"30"},
    {IDC_RESET_ORDER, L"xy"},
    {IDC_RELEASE_LIMIT, L"unchecked"},
    {IDC_FLIP_ANGLE, L"30"},
    {IDC_CLEAR_ROTATE_RETURN, L"checked"},
    {IDC_RESET_ROTATE, L"unchecked"},
    {IDC_SWIVEL_MODULUS, L"0.01125"},
    {IDC_INIT_RESET, L"unchecked"},
    {IDC_FIRST_PRN_RESET, L"checked"},
    {IDC_DELAY_CHAR_SP, L"0"},
};

// The five mode options, by mode value 0 to 4.
inline const std::vector<int> kModeOptions = {IDC_MODE_FLAT, IDC_MODE_ROTATE_Y, IDC_MODE_ROTATE_Z,
                                              IDC_MODE_ROTATE_Z_PER_CHAR, IDC_MODE_FLIP_Z};

// The controls the marking mode enables and disables, and each mode's row.
inline const std::vector<int> kModeControls = {IDC_STEP_Y, IDC_STEP_Z, IDC_CLEAR_ROTATE_RETURN,
                                               IDC_RESET_ROTATE, IDC_SWIVEL_MODULUS};
inline const wchar_t kRowFlat[] = L"1006:on 1007:on 1010:off 1014:off 2065:off ";
inline const wchar_t kRowRotateY[] = L"1006:off 1007:on 1010:on 1014:on 2065:on ";
inline const wchar_t kRowRotateZ[] = L"1006:on 1007:off 1010:on 1014:on 2065:on ";  // modes 2, 3
inline const wchar_t kRowFlipZ[] = L"1006:off 1007:on 1010:off 1014:on 2065:on ";
inline const wchar_t kRowAllOn[] = L"1006:on 1007:on 1010:on 1014:on 2065:on ";

enum class FieldKind { kDouble, kInteger };

// The edit boxes that hold numbers, in the order OK collects them.
struct NumberField {
  int id;
  FieldKind kind;
};
inline const std::vector<NumberField> kNumberFieldsInExchangeOrder = {
    {IDC_AREA_X, FieldKind::kDouble},         {IDC_AREA_Y, FieldKind::kDouble},
    {IDC_AREA_Z, FieldKind::kDouble},         {IDC_STEP_X, FieldKind::kDouble},
    {IDC_STEP_Y, FieldKind::kDouble},         {IDC_STEP_Z, FieldKind::kDouble},
    {IDC_SPEED_SCALE, FieldKind::kInteger},   {IDC_SPEED_BASE, FieldKind::kInteger},
    {IDC_FLIP_ANGLE, FieldKind::kDouble},     {IDC_SWIVEL_MODULUS, FieldKind::kDouble},
    {IDC_DELAY_CHAR_SP, FieldKind::kInteger},
};

inline const wchar_t kFormCaption[] = L"Hardware Parameter Setup";

// The program speaks the user's UI language: Simplified Chinese for any
// Chinese one, English for every other. The test runs in the same environment.
enum class Language { kEnglish, kChinese };
inline Language ProgramLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::kChinese
                                                                   : Language::kEnglish;
}

// One text in each language; "{1}", "{2}" stand for what the program puts in.
struct Said {
  const wchar_t* english;
  const wchar_t* chinese;
  std::wstring In(Language language, const std::wstring& first = {},
                  const std::wstring& second = {}) const {
    std::wstring text = language == Language::kChinese ? chinese : english;
    for (const auto& [mark, insert] : {std::pair{L"{1}", first}, std::pair{L"{2}", second}}) {
      for (auto at = text.find(mark); at != std::wstring::npos;
           at = text.find(mark, at + insert.size()))
        text.replace(at, 3, insert);
    }
    return text;
  }
};

// How each number field is named in a message.
inline const std::map<int, Said> kFieldNames = {
    {IDC_AREA_X, {L"X轴范围 (X axis range)", L"X轴范围"}},
    {IDC_AREA_Y, {L"Y轴范围 (Y axis range)", L"Y轴范围"}},
    {IDC_AREA_Z, {L"Z轴范围 (Z axis range)", L"Z轴范围"}},
    {IDC_STEP_X, {L"X轴步长 (X axis step)", L"X轴步长"}},
    {IDC_STEP_Y, {L"Y轴步长 (Y axis step)", L"Y轴步长"}},
    {IDC_STEP_Z, {L"Z轴步长 (Z axis step)", L"Z轴步长"}},
    {IDC_SPEED_SCALE, {L"速度比例 (speed ratio)", L"速度比例"}},
    {IDC_SPEED_BASE, {L"速度基数 (speed base)", L"速度基数"}},
    {IDC_DELAY_CHAR_SP, {L"字间延时 (delay between characters)", L"字间延时"}},
    {IDC_FLIP_ANGLE, {L"翻转角度 (flip angle)", L"翻转角度"}},
    {IDC_SWIVEL_MODULUS, {L"旋转系数 (rotation coefficient)", L"旋转系数"}},
};

// What is wrong with a refused text.
enum class Fault { kEmpty, kNotANumber, kNotWhole, kOutOfRange };
inline const std::map<Fault, Said> kFaultSaid = {
    {Fault::kEmpty, {L"The field “{1}” is empty.", L"“{1}”不能为空。"}},
    {Fault::kNotANumber,
     {L"The text in the field “{1}” is not a number.", L"“{1}”中填写的不是数字。"}},
    {Fault::kNotWhole, {L"The field “{1}” takes whole numbers only.", L"“{1}”只能填写整数。"}},
    {Fault::kOutOfRange,
     {L"The number in the field “{1}” is out of range.", L"“{1}”中的数字超出了允许的范围。"}},
};
// What a field of each kind accepts.
inline const Said kNumberAccepted = {
    L"Enter a plain number with \".\" as the decimal point and no unit, for example 12.5.",
    L"请填写一个数字，用“.”作小数点，不要带单位，例如 12.5。"};
inline const Said kIntegerAccepted = {
    L"Enter a whole number from -2147483648 to 2147483647, with no decimal point and no unit.",
    L"请填写 -2147483648 到 2147483647 之间的整数，不要带小数点或单位。"};

// The whole message for field `id`; `disabled` is what the message must add
// for a field the selected mode disables.
inline std::wstring FieldMessage(int id, FieldKind kind, Fault fault,
                                 const Said* disabled = nullptr) {
  const Language language = ProgramLanguage();
  std::wstring text =
      kFaultSaid.at(fault).In(language, kFieldNames.at(id).In(language)) + L"\n" +
      (kind == FieldKind::kDouble ? kNumberAccepted : kIntegerAccepted).In(language);
  if (disabled) text += L"\n\n" + disabled->In(language);
  return text;
}

// The caption of the program's own error boxes (the running-application box
// keeps its "Error" in every language).
inline const Said kErrorCaption = {L"Error", L"错误"};

// A failed save: the file, then why (the reason with whatever it adds).
inline const Said kSaveFailed = {
    L"The settings could not be saved to\n{1}\n\n{2}\n\nYour changes are still in the form.",
    L"无法将设置保存到\n{1}\n\n{2}\n\n您的修改仍保留在窗口中。"};
inline const Said kReadOnlyReason = {
    L"The file is read-only. To save, clear \"Read-only\" in the file's Properties.",
    L"该文件是只读的。要保存，请在文件的“属性”中取消勾选“只读”。"};
inline const Said kFolderInTheWayReason = {
    L"A folder of that name is in the way. Rename or move the folder, then try again.",
    L"已有一个同名的文件夹。请将该文件夹重命名或移走，然后重试。"};
inline const Said kLineBreakReason = {
    L"The reset order (复位顺序) contains a line break, which the file cannot hold. Remove the "
    L"line break, then try again.",
    L"“复位顺序”中含有换行符，无法写入文件。请删除换行符后重试。"};
// After the system's reason, when the folder refuses this user.
inline const Said kRightsReason = {
    L"{1}\n\nTo save here, run this program as administrator, or ask your administrator to let "
    L"you write to this folder.",
    L"{1}\n\n要保存到这里，请以管理员身份运行本程序，或请管理员授予您对此文件夹的写入权限。"};

// Ids of the checked options, e.g. "2061", empty when none is checked.
inline std::wstring CheckedOptions(const Program& program) {
  std::wstring ids;
  for (const int id : kModeOptions) {
    if (!program.Checked(id)) continue;
    if (!ids.empty()) ids += L" ";
    ids += std::to_wstring(id);
  }
  return ids;
}

// Presses OK and expects the form to refuse the text of field `id`: its own
// message box, then the form still open with that field focused and its whole
// text selected. A disabled field cannot take the focus, so that part is
// skipped for one.
inline ::testing::AssertionResult OkRefusedAt(Program& program, int id,
                                              const std::wstring& message) {
  program.PostClick(IDOK);
  MessageBoxInfo box;
  if (auto shown = program.WaitForMessageBox(box); !shown)
    return shown << " after OK (field " << id << " should have been refused)";
  auto result = ::testing::AssertionSuccess();
  bool failed = false;
  auto fail = [&](const std::string& what) {
    if (!failed) result = ::testing::AssertionFailure();
    failed = true;
    result << what << "; ";
  };
  if (box.caption != kFormCaption) fail("message box caption \"" + Narrow(box.caption) + "\"");
  if (box.text != message)
    fail("message \"" + Narrow(box.text) + "\", expected \"" + Narrow(message) + "\"");
  if (box.owner != program.Form()) fail("the message box is not owned by the form");
  if (auto closed = program.DismissMessageBox(box); !closed) return closed;
  if (!program.Running() || !IsWindowVisible(program.Form())) {
    fail("the form closed after the message");
    return result;
  }
  if (!IsWindowEnabled(program.Form())) fail("the form stays disabled after the message");
  if (program.Enabled(id)) {
    if (auto focused = program.WaitForFocus(program.Item(id)); !focused) fail(focused.message());
    const auto length = static_cast<int>(program.Text(program.Item(id)).size());
    const auto [start, end] = program.Selection(id);
    if (start != 0 || end != length)
      fail("selection " + std::to_string(start) + ".." + std::to_string(end) +
           ", expected the whole text 0.." + std::to_string(length));
  }
  return result;
}

// ---------------------------------------------------------------- system menu

inline const Said kCalculatorCaption = {L"Step and swivel calculator", L"步长与旋转系数计算"};

// How the calculator names its inputs in a message.
inline const std::map<int, Said> kCalculatorFieldNames = {
    {IDC_GEAR_DIAMETER, {L"gear diameter", L"电机齿轮直径"}},
    {IDC_STEP_ANGLE, {L"motor step angle", L"电机步角度"}},
    {IDC_MICROSTEPS, {L"driver microsteps", L"驱动器细分数"}},
    {IDC_CURRENT_STEP, {L"current step", L"当前步长"}},
    {IDC_COMMANDED, {L"distance commanded", L"指令距离"}},
    {IDC_MEASURED, {L"distance measured", L"实测距离"}},
    {IDC_SWIVEL_STEP_ANGLE, {L"motor step angle (swivel modulus)", L"旋转系数：电机步角度"}},
    {IDC_REDUCTION_RATIO, {L"reduction ratio", L"旋转系数：减速比"}},
    {IDC_SWIVEL_MICROSTEPS, {L"driver microsteps (swivel modulus)", L"旋转系数：驱动器细分数"}},
};
inline const Said kNotPositive = {L"The field “{1}” must be a number greater than zero.",
                                  L"“{1}”必须是大于零的数。"};
inline const Said kNoResult = {
    L"No usable result: it is not finite, or it is zero at ten decimals. Check the fields from "
    L"“{1}” on.",
    L"算不出可用的结果：结果不是有限的数，或保留小数点后10位时为零。请从“{1}”起检查各项。"};

inline const Said kUndoCaption = {L"Undo last save", L"撤销上次保存"};
inline const Said kNoBackup = {
    L"There is no save to undo: the file kept by the last save is not there:\n{1}",
    L"没有可撤销的保存：找不到上次保存前的文件\n{1}"};

inline const Said kAboutCaption = {L"About V7ER", L"关于 V7ER"};
inline const Said kAbout = {L"V7ER Hardware Parameter Setup\nVersion {1}\n\nSettings file:\n{2}",
                            L"V7ER 硬件参数设置\n版本 {1}\n\n设置文件：\n{2}"};
inline const Said kAboutWritable = {L"Found; it can be written.", L"已找到，可以写入。"};
inline const Said kAboutNotFound = {L"Not found. Saving with OK creates it.",
                                    L"未找到。按“确定”保存时将新建此文件。"};
inline const Said kAboutNotWritable = {L"Found, but it cannot be written: {1}",
                                       L"已找到，但不能写入：{1}"};

}  // namespace v7er_ui
