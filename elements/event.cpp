#include "elements/event.h"

namespace elements {

std::int32_t readInteger(const THI_Event& ev, std::int32_t fallback, TData& incoming) {
  if (ev.connected()) {
    TData answer = read(ev);
    if (!answer.isNull()) return toInteger(answer);
  }
  if (fallback != 0) return fallback;
  if (incoming.isNull()) return 0;
  std::int32_t result = toInteger(incoming);
  incoming.dropFirst();
  return result;
}

std::string readString(const THI_Event& ev, const std::string& fallback, TData& incoming) {
  if (ev.connected()) {
    TData answer = read(ev);
    if (!answer.isNull()) return toString(answer);
  }
  if (!fallback.empty()) return fallback;
  if (incoming.isNull()) return {};
  std::string result = toString(incoming);
  incoming.dropFirst();
  return result;
}

void StartList::run() {
  // Index loop: a procedure may register another entry, which then runs in this pass too.
  auto& list = entries();
  for (std::size_t i = 0; i < list.size(); ++i) {
    Entry e = list[i];
    e.proc(e.element);
  }
  list.clear();
}

std::vector<StartList::Entry>& StartList::entries() {
  static std::vector<Entry> list;
  return list;
}

}  // namespace elements
