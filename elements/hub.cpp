#include "elements/hub.h"

namespace elements {

void THIHub::doInput(TData& value, std::uint16_t /*index*/) {
  for (const THI_Event& out : outputs) {
    TData copy = value;
    fire(out, copy);
  }
}

}  // namespace elements
