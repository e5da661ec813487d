#include "step_formulas.h"

#include <cmath>
#include <numbers>

#include "decimal_text.h"

namespace {

bool Positive(double value) {
  return std::isfinite(value) && value > 0;
}

std::optional<double> Result(double value) {
  if (!Positive(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> StepLengthFromMechanics(double gearDiameter, double stepAngle,
                                              double microsteps) {
  if (!Positive(gearDiameter) || !Positive(stepAngle) || !Positive(microsteps)) return std::nullopt;
  return Result(gearDiameter * std::numbers::pi / 360.0 * stepAngle / microsteps);
}

std::optional<double> CorrectedStepLength(double current, double commanded, double measured) {
  if (!Positive(current) || !Positive(commanded) || !Positive(measured)) return std::nullopt;
  return Result(current * measured / commanded);
}

std::optional<double> SwivelModulus(double stepAngle, double reductionRatio, double microsteps) {
  if (!Positive(stepAngle) || !Positive(reductionRatio) || !Positive(microsteps)) {
    return std::nullopt;
  }
  return Result(stepAngle / reductionRatio / microsteps);
}

std::wstring FormatTenDecimals(double value) {
  std::string text = FixedText(value, 10);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text == "0" || text == "-0") return {};
  return std::wstring(text.begin(), text.end());
}
