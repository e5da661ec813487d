#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "step_formulas.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Formula = std::function<std::optional<double>(double, double, double)>;

// Each formula with its inputs and the text the calculator shows; empty text
// means no result.
TEST(StepFormulas, ResultsAndRefusals) {
  const Formula step = StepLengthFromMechanics;
  const Formula correct = CorrectedStepLength;
  const Formula swivel = SwivelModulus;
  const struct {
    const char* name;
    const Formula& formula;
    double a, b, c;
    const wchar_t* shown;
  } cases[] = {
      {"the form's step example", step, 14.23, 1.8, 32, L"0.0069851349"},
      {"half the microsteps, twice the step", step, 14.23, 1.8, 16, L"0.0139702698"},
      {"the form's swivel example", swivel, 1.8, 5, 32, L"0.01125"},
      {"moved 100.5 of 100", correct, 0.0069851349, 100, 100.5, L"0.0070200606"},
      {"moved half", correct, 0.01, 200, 100, L"0.005"},
      {"zero diameter", step, 0, 1.8, 32, L""},
      {"negative step angle", step, 14.23, -1.8, 32, L""},
      {"zero microsteps", swivel, 1.8, 5, 0, L""},
      {"zero reduction", swivel, 1.8, 0, 32, L""},
      {"zero commanded", correct, 0.007, 0, 100, L""},
      {"negative measured", correct, 0.007, 100, -100, L""},
      {"zero current step", correct, 0, 100, 100, L""},
      {"not a number", step, kNaN, 1.8, 32, L""},
      {"infinite input", swivel, kInf, 5, 32, L""},
      {"overflowing result", correct, 1e300, 1e-300, 1e300, L""},
      {"underflowing result", swivel, 1e-300, 1e300, 1e300, L""},
      {"rounds to nothing at ten decimals", swivel, 1e-12, 1, 1, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<double> result = c.formula(c.a, c.b, c.c);
    EXPECT_EQ(result ? FormatTenDecimals(*result) : std::wstring(), std::wstring(c.shown));
  }
}

}  // namespace
