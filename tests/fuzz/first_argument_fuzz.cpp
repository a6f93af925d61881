// The command-line rule against a model of its own: a state machine that reads the line one byte
// at a time, where the product scans it with nested loops. Any input is a command line (the
// process's 8-bit one may hold any byte but NUL; NUL is taken too, as a code below 33). Both must
// agree on the first argument and on whether it is the information switch, for every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <string_view>

#include "panel/first_argument.h"

namespace {

enum class State { Gap, Item, Quoted };

// The first argument after the program name, as the rule reads it.
std::string modelFirstArgument(std::string_view line) {
  State state = State::Gap;
  int itemsDone = 0;  // the program name is item 0, the first argument item 1
  std::string item;
  bool pendingQuote = false;  // in a gap: one double quote seen, its partner not yet
  auto finishItem = [&]() -> bool {
    ++itemsDone;
    return itemsDone == 2;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    switch (state) {
      case State::Gap:
        if (pendingQuote) {
          pendingQuote = false;
          if (c == '"') break;  // an empty pair between items is skipped
          // A lone quote: the item begins with it and with a quoted stretch.
          item = "\"";
          state = State::Quoted;
          --i;  // this byte belongs to the stretch
          break;
        }
        if (c <= 32) break;
        if (c == '"') {
          pendingQuote = true;
          break;
        }
        item = std::string(1, static_cast<char>(c));
        state = State::Item;
        break;
      case State::Item:
        if (c <= 32) {
          if (finishItem()) goto done;
          item.clear();
          state = State::Gap;
          break;
        }
        item += static_cast<char>(c);
        if (c == '"') state = State::Quoted;
        break;
      case State::Quoted:
        item += static_cast<char>(c);
        if (c == '"') state = State::Item;
        break;
    }
  }
  // The line ends: a quote left waiting in a gap starts an item of its own.
  if (state == State::Gap && pendingQuote) {
    item = "\"";
    state = State::Quoted;
  }
  if (state == State::Gap) return {};  // the line ended between items
  if (!finishItem()) return {};        // it ended inside the program name
done:
  if (item.size() >= 2 && item[0] == '"' && item[item.size() - 1] == '"')
    item = item.substr(1, item.size() - 2);
  return item;
}

bool modelIsInfoSwitch(std::string_view argument) {
  static constexpr unsigned char kSwitch[] = {0x2F, 0x69, 0x68};  // '/', 'i', 'h'
  if (argument.size() != sizeof kSwitch) return false;
  for (std::size_t i = 0; i < sizeof kSwitch; ++i) {
    if (static_cast<unsigned char>(argument[i]) != kSwitch[i]) return false;
  }
  return true;
}

void disagree(const char* what, std::string_view line, std::string_view got,
              std::string_view want) {
  std::fprintf(stderr, "%s: line of %zu bytes, product gave [%.*s] (%zu), model [%.*s] (%zu)\n",
               what, line.size(), static_cast<int>(got.size()), got.data(), got.size(),
               static_cast<int>(want.size()), want.data(), want.size());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  std::string got = panel::firstArgument(line);
  std::string want = modelFirstArgument(line);
  if (got != want) disagree("first argument", line, got, want);
  if (panel::isInfoSwitch(got) != modelIsInfoSwitch(want))
    disagree("information switch", line, got, want);
  // The switch compared on its own, whatever the line: any text at all may be the argument.
  if (panel::isInfoSwitch(line) != modelIsInfoSwitch(line))
    disagree("information switch on the raw text", line, line, line);
  return 0;
}
