// TData's conversions and its chain, each against a model built another way:
//  - text to integer against strtoll with a format check and a range check;
//  - real to integer against floor and a look at the fraction (halves to even, clamped);
//  - integer to text against printf, and back;
//  - real to text read back by strtod;
//  - the chain against a std::vector driven by the same operations, with copies that must not
//    share anything with their originals.
// Every input feeds all of them: as text, as the bytes of an integer and of a real, and as a
// program of chain operations.
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "elements/data.h"

using elements::DataKind;
using elements::TData;

namespace {

[[noreturn]] void fail(const char* what, std::string_view input) {
  std::fprintf(stderr, "%s (input of %zu bytes)\n", what, input.size());
  std::abort();
}

constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();

// Blanks around, an optional sign, at least one digit: strtoll alone would also take other white
// space, a sign with nothing behind it, and stop early on trailing junk.
std::int32_t modelTextToInt(std::string_view text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return 0;
  std::size_t last = text.find_last_not_of(" \t");
  std::string core(text.substr(first, last - first + 1));
  std::size_t digitsFrom = (core[0] == '+' || core[0] == '-') ? 1 : 0;
  if (digitsFrom == core.size()) return 0;
  if (core.find_first_not_of("0123456789", digitsFrom) != std::string::npos) return 0;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(core.c_str(), &end, 10);
  if (errno == ERANGE || end != core.c_str() + core.size()) return 0;
  if (v < kMin || v > kMax) return 0;
  return static_cast<std::int32_t>(v);
}

std::int32_t modelRealToInt(double v) {
  if (v != v) return 0;  // NaN
  if (v <= static_cast<double>(kMin)) return static_cast<std::int32_t>(kMin);
  if (v >= static_cast<double>(kMax)) return static_cast<std::int32_t>(kMax);
  double below = std::floor(v);
  double fraction = v - below;  // exact for every double
  double chosen = below;
  if (fraction > 0.5) {
    chosen = below + 1;
  } else if (fraction == 0.5) {
    chosen = std::fmod(below, 2.0) == 0.0 ? below : below + 1;
  }
  return static_cast<std::int32_t>(chosen);
}

void checkText(std::string_view text) {
  if (elements::textToInt(text) != modelTextToInt(text)) fail("textToInt disagrees", text);
  TData s = TData::fromStr(text);
  if (elements::toString(s) != text) fail("string form of a string changed it", text);
  if (elements::toInteger(s) != modelTextToInt(text)) fail("toInteger of a string", text);

  // The same text as a real, so that hand-written numbers reach realToInt too.
  std::string zeroEnded(text);
  double parsed = std::strtod(zeroEnded.c_str(), nullptr);
  if (elements::realToInt(parsed) != modelRealToInt(parsed)) fail("realToInt disagrees", text);
}

void checkInt(std::int32_t v, std::string_view input) {
  char want[16];
  std::snprintf(want, sizeof want, "%" PRId32, v);
  std::string text = elements::intToText(v);
  if (text != want) fail("intToText disagrees with printf", input);
  if (elements::textToInt(text) != v) fail("intToText does not read back", input);
  if (elements::toString(TData::fromInt(v)) != text) fail("string form of an integer", input);
  if (elements::toInteger(TData::fromInt(v)) != v) fail("toInteger of an integer", input);
  if (elements::toReal(TData::fromInt(v)) != static_cast<double>(v)) fail("toReal", input);
}

void checkReal(double v, std::string_view input) {
  if (elements::realToInt(v) != modelRealToInt(v)) fail("realToInt disagrees", input);
  if (elements::toInteger(TData::fromReal(v)) != modelRealToInt(v)) fail("toInteger real", input);
  if (!std::isfinite(v)) return;
  std::string text = elements::realToText(v);
  double back = std::strtod(text.c_str(), nullptr);
  if (std::memcmp(&back, &v, sizeof v) != 0) fail("realToText does not read back", input);
}

// One value of the model chain.
struct Value {
  DataKind kind = DataKind::Null;
  std::int32_t i = 0;
  std::string s;
  double r = 0;
};

bool same(const TData& d, const Value& v) {
  if (d.kind() != v.kind) return false;
  switch (v.kind) {
    case DataKind::Int:
      return d.intValue() == v.i;
    case DataKind::Str:
      return d.strValue() == v.s;
    case DataKind::Real: {
      double r = d.realValue();
      return std::memcmp(&v.r, &r, sizeof r) == 0;
    }
    case DataKind::Null:
      break;
  }
  return true;
}

bool sameChain(const TData& d, const std::vector<Value>& model) {
  const TData* node = &d;
  for (const Value& v : model) {
    if (!node || !same(*node, v)) return false;
    node = node->next();
  }
  return node == nullptr;
}

TData single(const Value& v) {
  switch (v.kind) {
    case DataKind::Int:
      return TData::fromInt(v.i);
    case DataKind::Str:
      return TData::fromStr(v.s);
    case DataKind::Real:
      return TData::fromReal(v.r);
    case DataKind::Null:
      break;
  }
  return TData();
}

// A TData built from the model value by value, through append only.
TData build(const std::vector<Value>& model) {
  TData d = single(model.front());
  for (std::size_t i = 1; i < model.size(); ++i)
    d.append(single(model[i]));
  return d;
}

void checkChain(std::string_view program) {
  constexpr std::size_t kLongest = 64;
  TData d;
  std::vector<Value> model(1);  // a fresh value: null, nothing behind it
  for (std::size_t pc = 0; pc < program.size(); ++pc) {
    auto op = static_cast<unsigned char>(program[pc]);
    auto arg = pc + 1 < program.size() ? static_cast<unsigned char>(program[pc + 1]) : 0u;
    Value v;
    switch (op % 10) {
      case 0:  // append an integer
        v.kind = DataKind::Int;
        // The high form reaches the ends of the range (0x80 gives the lowest integer).
        v.i = static_cast<std::int32_t>(op & 0x80 ? std::uint32_t{arg} << 24 : std::uint32_t{arg});
        break;
      case 1:  // append a string of one byte
        v.kind = DataKind::Str;
        v.s.assign(1, static_cast<char>(arg));
        break;
      case 2:  // append a real
        v.kind = DataKind::Real;
        v.r = (static_cast<double>(arg) - 128) / 4;
        break;
      case 3:  // append a null
        break;
      case 4:
        d.dropFirst();
        model.erase(model.begin());
        if (model.empty()) model.resize(1);
        continue;
      case 5: {  // replace the first value; the chain behind it stays
        if (arg % 4 == 0) {
          d.setInt(arg);
          model[0] = Value{DataKind::Int, static_cast<std::int32_t>(arg), {}, 0};
        } else if (arg % 4 == 1) {
          d.setStr(std::string(arg % 7, 'x'));
          model[0] = Value{DataKind::Str, 0, std::string(arg % 7, 'x'), 0};
        } else if (arg % 4 == 2) {
          d.setReal(arg / 8.0);
          model[0] = Value{DataKind::Real, 0, {}, arg / 8.0};
        } else {
          d.setNull();
          model[0] = Value{};
        }
        ++pc;
        continue;
      }
      case 6: {  // a copy is equal, and changing it leaves the original alone
        TData copy(d);
        if (!sameChain(copy, model)) fail("a copy differs from its original", program);
        copy.dropFirst();
        copy.append(TData::fromStr("tail"));
        copy.setInt(-1);
        TData assigned;
        assigned = d;
        if (!sameChain(assigned, model)) fail("an assigned copy differs", program);
        TData& alias = assigned;
        assigned = alias;  // self-assignment keeps the value
        if (!sameChain(assigned, model)) fail("self-assignment changed the value", program);
        continue;
      }
      case 7:  // the whole chain appended behind itself
        if (model.size() * 2 > kLongest) continue;
        d.append(TData(d));
        {
          std::vector<Value> again = model;
          model.insert(model.end(), again.begin(), again.end());
        }
        continue;
      case 8: {  // moved out and back
        TData moved(std::move(d));
        d = std::move(moved);
        continue;
      }
      case 9:  // the chain built afresh from the model is the same chain
        if (!sameChain(build(model), model)) fail("append built another chain", program);
        continue;
    }
    ++pc;
    if (model.size() >= kLongest) continue;
    d.append(single(v));
    model.push_back(v);
    if (!sameChain(d, model)) fail("chain differs from the model", program);
  }
  if (!sameChain(d, model)) fail("chain differs from the model at the end", program);
  // The conversions read the first value only.
  if (model[0].kind == DataKind::Str && elements::toString(d) != model[0].s)
    fail("string form looked past the first value", program);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  checkText(input);
  if (size >= sizeof(std::int32_t)) {
    std::int32_t v;
    std::memcpy(&v, data, sizeof v);
    checkInt(v, input);
  }
  checkInt(modelTextToInt(input), input);
  if (size >= sizeof(double)) {
    double v;
    std::memcpy(&v, data, sizeof v);
    checkReal(v, input);
  }
  checkChain(input);
  return 0;
}
