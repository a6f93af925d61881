// The portable core's cost of one command: a concatenator forms "1\n" and fires it through two
// hubs into two sinks, as a press travels from its command to the serial element and the echo.
//
// A counting operator new checks that nothing is allocated on the way: the value holds its text
// in std::string's small buffer, and every link is one indirect call.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "elements/event.h"
#include "elements/hub.h"
#include "elements/strcat.h"

namespace {

std::atomic<long long> allocations{0};

// Stands in for the serial element and the echo field: reads the string form, as both do.
struct Sink {
  std::size_t bytes = 0;
  void take(elements::TData& value, std::uint16_t) {
    std::string text = elements::toString(value);
    bytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
};

struct Network {
  elements::THIStrCat command;
  elements::THIHub sendHub{1};
  elements::THIHub outputHub{2};
  Sink port;
  Sink echo;

  Network() {
    using elements::link;
    command.firstPart = "1";
    command.secondPart = "\n";
    command.outputEvent = link<&elements::THIHub::doInput>(sendHub, 1);
    sendHub.outputs[0] = link<&elements::THIHub::doInput>(outputHub, 0);
    outputHub.outputs[0] = link<&Sink::take>(port, 3);
    outputHub.outputs[1] = link<&Sink::take>(echo, 1);
  }
  // What the button hands over: the mouse button number.
  void press() {
    elements::TData button = elements::TData::fromInt(0);
    command.doConcatenate(button, 0);
  }
};

void BM_Command(benchmark::State& state) {
  elements::EventGate::open();
  Network net;
  net.press();  // warm
  {
    // The count must see allocations at all, or its zero below would prove nothing.
    long long probe = allocations.load();
    auto* p = new int(1);
    benchmark::DoNotOptimize(p);
    delete p;
    if (allocations.load() == probe) state.SkipWithError("operator new is not counted");
  }
  long long before = allocations.load();
  for (auto _ : state)
    net.press();
  long long allocs = allocations.load() - before;
  state.counters["allocs_per_command"] =
      static_cast<double>(allocs) / static_cast<double>(state.iterations());
  if (net.port.bytes != net.echo.bytes || net.port.bytes == 0) state.SkipWithError("sinks missed");
  elements::EventGate::close();
}
BENCHMARK(BM_Command)->Repetitions(15)->ReportAggregatesOnly(true)->MinTime(0.05);

}  // namespace

void* operator new(std::size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

BENCHMARK_MAIN();
