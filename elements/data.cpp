#include "elements/data.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace elements {

TData TData::fromInt(std::int32_t v) {
  TData d;
  d.setInt(v);
  return d;
}

TData TData::fromStr(std::string_view v) {
  TData d;
  d.setStr(v);
  return d;
}

TData TData::fromReal(double v) {
  TData d;
  d.setReal(v);
  return d;
}

TData::TData(const TData& other)
    : kind_(other.kind_), int_(other.int_), real_(other.real_), str_(other.str_) {
  // Copy the chain without recursion, so that a long chain cannot exhaust the stack.
  std::unique_ptr<TData>* tail = &next_;
  for (const TData* src = other.next_.get(); src; src = src->next_.get()) {
    auto node = std::make_unique<TData>();
    node->kind_ = src->kind_;
    node->int_ = src->int_;
    node->real_ = src->real_;
    node->str_ = src->str_;
    *tail = std::move(node);
    tail = &(*tail)->next_;
  }
}

TData& TData::operator=(const TData& other) {
  if (this != &other) *this = TData(other);
  return *this;
}

TData::~TData() {
  // Unlink the chain node by node; a recursive release could run out of stack.
  std::unique_ptr<TData> rest = std::move(next_);
  while (rest)
    rest = std::move(rest->next_);
}

void TData::setInt(std::int32_t v) {
  kind_ = DataKind::Int;
  int_ = v;
  str_.clear();
}

void TData::setStr(std::string_view v) {
  kind_ = DataKind::Str;
  str_.assign(v.data(), v.size());
}

void TData::setReal(double v) {
  kind_ = DataKind::Real;
  real_ = v;
  str_.clear();
}

void TData::setNull() {
  kind_ = DataKind::Null;
  str_.clear();
}

void TData::append(TData v) {
  std::unique_ptr<TData>* tail = &next_;
  while (*tail)
    tail = &(*tail)->next_;
  *tail = std::make_unique<TData>(std::move(v));
}

void TData::dropFirst() {
  if (!next_) {
    setNull();
    return;
  }
  std::unique_ptr<TData> second = std::move(next_);
  kind_ = second->kind_;
  int_ = second->int_;
  real_ = second->real_;
  str_ = std::move(second->str_);
  next_ = std::move(second->next_);
}

std::string intToText(std::int32_t v) {
  char buf[16];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::int32_t textToInt(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return 0;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return 0;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return 0;
  return static_cast<std::int32_t>(value);
}

std::int32_t realToInt(double v) {
  if (std::isnan(v)) return 0;
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  if (v <= lo) return std::numeric_limits<std::int32_t>::min();
  if (v >= hi) return std::numeric_limits<std::int32_t>::max();
  // nearbyint follows the default rounding mode, which rounds halves to even.
  return static_cast<std::int32_t>(std::nearbyint(v));
}

std::string realToText(double v) {
  // The shortest form as std::to_chars gives it, built from printf and strtod: to_chars for
  // doubles brings some 200 KB of tables and code into the Windows program, which never shows a
  // real, while printf and strtod are there anyway.
  if (std::isnan(v)) return std::signbit(v) ? "-nan" : "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  if (v == 0) return std::signbit(v) ? "-0" : "0";
  // The fewest significant digits that read back as the same value: printf rounds correctly, so
  // the first precision that survives the round trip gives the digits to_chars would.
  char sci[40];
  for (int precision = 0; precision < 17; ++precision) {
    std::snprintf(sci, sizeof sci, "%.*e", precision, v);
    if (std::strtod(sci, nullptr) == v) break;
  }
  // sci is "[-]d[.ddd]e(+|-)xx": split it into sign, digits and decimal exponent.
  std::string digits;
  const char* c = sci;
  bool negative = *c == '-';
  if (negative) ++c;
  for (; *c && *c != 'e'; ++c)
    if (*c != '.') digits += *c;
  int exponent = std::atoi(c + 1);
  int n = static_cast<int>(digits.size());

  std::string scientific = digits.substr(0, 1);
  if (n > 1) scientific += "." + digits.substr(1);
  scientific += exponent < 0 ? "e-" : "e+";
  int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) scientific += '0';
  scientific += intToText(magnitude);

  std::string fixed;
  if (exponent >= n - 1) {
    // A whole number is written out exactly, as to_chars does, not padded with zeros.
    char whole[40];
    std::snprintf(whole, sizeof whole, "%.0f", std::fabs(v));
    fixed = whole;
  } else if (exponent >= 0) {
    fixed = digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
            digits.substr(static_cast<std::size_t>(exponent + 1));
  } else {
    fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  // Like to_chars: the shorter of the two, fixed when they are as long.
  std::string out = negative ? "-" : "";
  out += fixed.size() <= scientific.size() ? fixed : scientific;
  return out;
}

std::string toString(const TData& v) {
  switch (v.kind()) {
    case DataKind::Int:
      return intToText(v.intValue());
    case DataKind::Str:
      return v.strValue();
    case DataKind::Real:
      return realToText(v.realValue());
    case DataKind::Null:
      break;
  }
  return {};
}

std::int32_t toInteger(const TData& v) {
  switch (v.kind()) {
    case DataKind::Int:
      return v.intValue();
    case DataKind::Str:
      return textToInt(v.strValue());
    case DataKind::Real:
      return realToInt(v.realValue());
    case DataKind::Null:
      break;
  }
  return 0;
}

double toReal(const TData& v) {
  switch (v.kind()) {
    case DataKind::Int:
      return v.intValue();
    case DataKind::Str:
      return textToInt(v.strValue());
    case DataKind::Real:
      return v.realValue();
    case DataKind::Null:
      break;
  }
  return 0.0;
}

}  // namespace elements
