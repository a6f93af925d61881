// The text of the runtime-error report: one line with the error number and the faulting
// address, one line per stack frame (the faulting one first), then an empty line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace panel {

// Error numbers, which are also the process's exit code.
enum RuntimeError : int {
  kDivisionByZero = 200,
  kStackOverflow = 202,
  kOutOfMemory = 203,
  kInvalidFloatOperation = 207,
  kArithmeticOverflow = 215,
  kAccessViolation = 216,
  kOtherFault = 217,
};

// Addresses are written as at least 8 upper-case hexadecimal digits; a 64-bit address that
// needs more keeps all of its digits rather than lose its high part.
std::string runtimeErrorText(int number, std::uint64_t address,
                             const std::vector<std::uint64_t>& frames);

}  // namespace panel
