#pragma once

#include <cstdint>
#include <string>

// Default marking mode: the index of the option on the form.
enum class EngraveMode : std::int32_t {
  Flat = 0,            // flat marking, Z lifts
  RotateY = 1,         // Y is the rotary axis, Z lifts
  RotateZ = 2,         // Z is the rotary axis
  RotateZPerChar = 3,  // Z turns after each character
  FlipZ = 4,           // Z flips by dFlipAngle
};

// The machine parameters kept in printer.ini. Flags are integers holding 0 or 1,
// as the file stores them. Nothing here is range-checked: the machine, not this
// tool, knows what is sensible.
struct HardwareParams {
  double fAreaX = 110.0;
  double fAreaY = 80.0;
  double fAreaZ = 100.0;
  double fStepX = 0.0069851349;
  double fStepY = 0.0069851349;
  double fStepZ = 0.0069851349;
  std::int32_t nSpeedScale = 5;
  std::int32_t nSpeedBase = 30;
  std::wstring strResetOrder = L"xy";
  std::int32_t bReleaseLimitAfterReset = 0;  // stored as nResetMode 2 (set) or 1
  std::int32_t nPrintMode = static_cast<std::int32_t>(EngraveMode::Flat);
  double dFlipAngle = 30.0;
  std::int32_t bClearRotateReturn = 1;
  std::int32_t bResetRotate = 0;
  double fSwivelModulus = 0.01125;
  std::int32_t bInitReset = 0;
  std::int32_t bFirstPrnReset = 1;
  std::int32_t nDelayCharSp = 0;

  bool operator==(const HardwareParams&) const = default;
};
