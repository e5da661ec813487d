#pragma once

#include <optional>
#include <string>

// The machine's own arithmetic, as the form's notes teach it, for the
// calculator. Every input must be a positive number; a result that is not
// finite and positive is no result.

// mm per step pulse: gear diameter x pi / 360 x step angle / microsteps.
std::optional<double> StepLengthFromMechanics(double gearDiameter, double stepAngle,
                                              double microsteps);

// From a test move: the step length that would have moved the commanded
// distance, current x measured / commanded.
std::optional<double> CorrectedStepLength(double current, double commanded, double measured);

// Rotation coefficient: step angle / reduction ratio / microsteps.
std::optional<double> SwivelModulus(double stepAngle, double reductionRatio, double microsteps);

// Ten decimals, as the form asks for step lengths, trailing zeros dropped:
// 0.0069851349, 0.01125. Empty when that rounds to nothing.
std::wstring FormatTenDecimals(double value);
