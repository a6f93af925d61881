// THIStrCat: joins two parts into one string and fires it. A part comes from its read link if
// that answers, else from its setting if that is not empty, else from the first value of the
// incoming value, which is then dropped from it.
#pragma once

#include <cstdint>
#include <string>

#include "elements/event.h"

namespace elements {

class THIStrCat {
 public:
  THIStrCat() = default;
  virtual ~THIStrCat() = default;

  void doConcatenate(TData& value, std::uint16_t index);

  std::string firstPart;
  std::string secondPart;
  THI_Event secondPartReadLink;
  THI_Event firstPartReadLink;
  THI_Event outputEvent;
};

}  // namespace elements
