// THIHub: one input, several outputs. Each call fires every output in ascending order, each
// with its own copy of the incoming value, so what one receiver does to its copy cannot reach
// the next. The index of the call is not looked at.
#pragma once

#include <cstdint>
#include <vector>

#include "elements/event.h"

namespace elements {

class THIHub {
 public:
  explicit THIHub(std::uint8_t outputCount) : outputs(outputCount) {}
  virtual ~THIHub() = default;

  void doInput(TData& value, std::uint16_t index);

  std::uint8_t outputCount() const { return static_cast<std::uint8_t>(outputs.size()); }

  std::vector<THI_Event> outputs;  // numbered from 0; the size is fixed when the hub is made
};

}  // namespace elements
