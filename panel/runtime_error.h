// The runtime-error report: a processor fault that nothing handles, exhausted memory or a
// broken C++ runtime ends the process with a box captioned "Error" and the error number as the
// exit code. Before the box, a moving chassis is stopped.
#pragma once

#include <cstdint>
#include <vector>

namespace panel {

void installRuntimeErrorReport();

// Shows the report and ends the process with `number`. `frames` starts with the faulting address.
[[noreturn]] void reportRuntimeError(int number, std::uint64_t address,
                                     const std::vector<std::uint64_t>& frames);

}  // namespace panel
