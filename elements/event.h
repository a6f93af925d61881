// Links between elements, the event gate and the start list.
//
// A link (THI_Event) names a target element, one of its methods and a 16-bit index that is
// handed to the method on every call. It is a plain function pointer made from a member
// function by a template, so each link is type-checked where the scheme sets it and firing it
// is one indirect call with no allocation.
//
// The event gate is closed while the scheme is built and again once the main window has
// accepted its close: while it is closed, firing a link does nothing and a read link answers
// nothing. Nothing sent while the panel is being built or torn down can reach the serial line.
#pragma once

#include <cstdint>
#include <vector>

#include "elements/data.h"

namespace elements {

using LinkMethod = void (*)(void* self, TData& value, std::uint16_t index);

struct THI_Event {
  void* target = nullptr;
  LinkMethod method = nullptr;
  std::uint16_t index = 0;

  bool connected() const { return method != nullptr; }
};

namespace detail {
template <class T, void (T::*M)(TData&, std::uint16_t)>
void callMember(void* self, TData& value, std::uint16_t index) {
  (static_cast<T*>(self)->*M)(value, index);
}
}  // namespace detail

// link<&Class::method>(element, index): a link to element.method with the given index.
template <auto M, class T>
THI_Event link(T& target, std::uint16_t index) {
  return THI_Event{&target, &detail::callMember<T, M>, index};
}

// The element runtime's lifetime state: the gate and the start list.
class EventGate {
 public:
  static bool isOpen() { return open_; }
  static void open() { open_ = true; }
  static void close() { open_ = false; }

 private:
  static inline bool open_ = false;
};

// Forward link: the target receives the value and the link's index. Does nothing while the gate
// is closed or the slot is empty.
inline void fire(const THI_Event& ev, TData& value) {
  if (!EventGate::isOpen() || !ev.method) return;
  ev.method(ev.target, value, ev.index);
}

// Read link: a fresh null value that the target fills in. Stays null while the gate is closed
// or the slot is empty.
inline TData read(const THI_Event& ev) {
  TData value;
  if (EventGate::isOpen() && ev.method) ev.method(ev.target, value, ev.index);
  return value;
}

// The runtime's rule for reading an integer through a read link: the link's answer if it gives
// one (null is no answer), else the fallback if it is not 0, else the incoming value, which is
// then consumed.
std::int32_t readInteger(const THI_Event& ev, std::int32_t fallback, TData& incoming);
// The same rule for text, as the concatenator reads its parts.
std::string readString(const THI_Event& ev, const std::string& fallback, TData& incoming);

// Procedures that elements register while they are constructed, run once by the start step.
class StartList {
 public:
  using Procedure = void (*)(void* element);
  static void add(Procedure proc, void* element) { entries().push_back({proc, element}); }
  // Runs every entry in registration order, then empties the list. An entry added while the
  // list runs is run in the same pass.
  static void run();
  static std::size_t size() { return entries().size(); }
  static void clear() { entries().clear(); }

 private:
  struct Entry {
    Procedure proc;
    void* element;
  };
  static std::vector<Entry>& entries();
};

}  // namespace elements
