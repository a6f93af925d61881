// The concatenator against a model of its rule, with random settings, read links that answer or
// stay silent, and random incoming chains.
//
// Input layout, chosen so that hand-written seeds stay readable: byte 0 is a separator of the
// input's own choosing, byte 1 holds flags, and the rest is split at the separator into fields:
//   first part setting, second part setting, first read link's answer, second read link's
//   answer, then one field per incoming value ("i..." integer, "r..." real, "n" null, anything
//   else a string).
// Flags: bit 0 gate closed, bit 1 / bit 2 first / second read link connected, bits 3-4 / 5-6
// kind of the first / second answer (0 null = no answer, 1 integer, 2 string, 3 real).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "elements/data.h"
#include "elements/event.h"
#include "elements/strcat.h"

using elements::DataKind;
using elements::TData;

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// A read link's target: answers a fixed value, counting how often it is asked.
struct Source {
  TData answer;
  int asked = 0;
  void give(TData& v, std::uint16_t) {
    ++asked;
    v = answer;
  }
};

struct Sink {
  std::vector<TData> got;
  void take(TData& v, std::uint16_t) { got.push_back(v); }
};

TData valueOf(std::string_view field, unsigned kind) {
  std::string text(field);
  switch (kind) {
    case 1:
      return TData::fromInt(elements::textToInt(text));
    case 2:
      return TData::fromStr(text);
    case 3:
      return TData::fromReal(std::strtod(text.c_str(), nullptr));
    default:
      return TData();
  }
}

TData incomingOf(std::string_view field) {
  if (field == "n") return TData();
  if (!field.empty() && field[0] == 'i') return valueOf(field.substr(1), 1);
  if (!field.empty() && field[0] == 'r') return valueOf(field.substr(1), 3);
  return TData::fromStr(field);
}

// The string form, on the model's side: integers through printf; reals through the product's
// own realToText, whose reading back the data target checks.
std::string modelText(const TData& v) {
  char buf[16];
  switch (v.kind()) {
    case DataKind::Int:
      std::snprintf(buf, sizeof buf, "%d", static_cast<int>(v.intValue()));
      return buf;
    case DataKind::Str:
      return v.strValue();
    case DataKind::Real:
      return elements::realToText(v.realValue());
    case DataKind::Null:
      break;
  }
  return {};
}

// One part: a connected link's answer unless it is null, else a non-empty setting, else the
// first incoming value, which is used up.
std::string modelPart(bool gateOpen, bool linked, const TData& answer, const std::string& setting,
                      std::deque<TData>& incoming) {
  if (gateOpen && linked && !answer.isNull()) return modelText(answer);
  if (!setting.empty()) return setting;
  if (incoming.empty() || incoming.front().isNull()) return {};
  std::string text = modelText(incoming.front());
  incoming.pop_front();
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const char separator = static_cast<char>(data[0]);
  const unsigned flags = data[1];
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  std::vector<std::string_view> fields;
  for (;;) {
    std::size_t at = rest.find(separator);
    fields.push_back(rest.substr(0, at));
    if (at == std::string_view::npos) break;
    rest.remove_prefix(at + 1);
  }
  fields.resize(std::max<std::size_t>(fields.size(), 4));
  if (fields.size() > 64) return 0;  // long chains add nothing the short ones do not

  const bool gateOpen = !(flags & 1);
  const bool firstLinked = flags & 2;
  const bool secondLinked = flags & 4;
  Source firstSource{valueOf(fields[2], (flags >> 3) & 3)};
  Source secondSource{valueOf(fields[3], (flags >> 5) & 3)};
  Sink sink;

  elements::THIStrCat cat;
  cat.firstPart = std::string(fields[0]);
  cat.secondPart = std::string(fields[1]);
  if (firstLinked) cat.firstPartReadLink = elements::link<&Source::give>(firstSource, 7);
  if (secondLinked) cat.secondPartReadLink = elements::link<&Source::give>(secondSource, 8);
  cat.outputEvent = elements::link<&Sink::take>(sink, 9);

  TData value;
  std::deque<TData> incoming;
  for (std::size_t i = 4; i < fields.size(); ++i) {
    TData v = incomingOf(fields[i]);
    if (i == 4) {
      value = v;
    } else {
      value.append(v);
    }
    incoming.push_back(v);
  }

  std::string want = modelPart(gateOpen, firstLinked, firstSource.answer, cat.firstPart, incoming);
  want += modelPart(gateOpen, secondLinked, secondSource.answer, cat.secondPart, incoming);

  if (gateOpen) {
    elements::EventGate::open();
  } else {
    elements::EventGate::close();
  }
  cat.doConcatenate(value, 0);
  elements::EventGate::close();

  // The value handed in becomes the result, with nothing chained behind it.
  if (value.kind() != DataKind::Str || value.strValue() != want || value.next())
    fail("the value after the call is not the result");
  if (gateOpen) {
    if (sink.got.size() != 1) fail("the result was not fired exactly once");
    const TData& out = sink.got[0];
    if (out.kind() != DataKind::Str || out.strValue() != want || out.next())
      fail("the fired result differs from the model");
  } else if (!sink.got.empty()) {
    fail("fired through a closed gate");
  }
  // A read link is asked once when it is connected and the gate lets it through, else never.
  if (firstSource.asked != (gateOpen && firstLinked ? 1 : 0)) fail("first link asked wrongly");
  if (secondSource.asked != (gateOpen && secondLinked ? 1 : 0)) fail("second link asked wrongly");
  return 0;
}
