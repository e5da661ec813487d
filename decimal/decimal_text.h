#pragma once

#include <string>
#include <string_view>

// Doubles as decimal text, exactly: what std::to_chars writes and
// std::from_chars reads, for the shapes this program uses. On MinGW the
// C runtime's own correctly rounded conversion writes, and fast_float reads
// (never the C runtime's reader, which follows its locale); libstdc++'s
// would add more than half the program's size. Portable: no window here.

// The shortest text that reads back as the same double, in plain or
// exponent notation, whichever is shorter (plain on a tie).
std::string ShortestText(double value);

// `decimals` digits after the point, correctly rounded (printf's "%.*f").
std::string FixedText(double value, int decimals);

// `digits` significant digits without trailing zeros, in plain or exponent
// notation as printf's "%.*g" chooses.
std::string GeneralText(double value, int digits);

// An integer in decimal digits, as std::to_wstring writes it; that one goes
// through the C runtime's wide printf, 10 KiB of the image for digits alone.
std::wstring IntegerText(long long value);

enum class DecimalRead {
  Ok,
  OutOfRange,  // too large for a double, or so small that it reads as 0
  Invalid,     // empty, or not read to its end
};
// The double nearest to `text`, into `value` only when Ok. `text` has the
// shape the readers of the fields and the file give a number:
// [-]digits[.digits][e[+|-]digits].
DecimalRead ReadDecimal(std::string_view text, double& value);
