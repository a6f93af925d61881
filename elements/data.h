// TData: the value that travels along a link between elements.
//
// A value is null, a 32-bit integer, a byte string or a 64-bit real, and may carry further
// values chained behind it. Every conversion between the kinds lives here, so that the
// concatenators, the serial element and the echo field all read a value the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace elements {

enum class DataKind : std::uint8_t { Null, Int, Str, Real };

class TData {
 public:
  TData() = default;
  static TData fromInt(std::int32_t v);
  static TData fromStr(std::string_view v);
  static TData fromReal(double v);

  TData(const TData& other);
  TData& operator=(const TData& other);
  TData(TData&&) noexcept = default;
  TData& operator=(TData&&) noexcept = default;
  ~TData();

  DataKind kind() const { return kind_; }
  bool isNull() const { return kind_ == DataKind::Null; }

  // Raw access; only meaningful for the matching kind.
  std::int32_t intValue() const { return int_; }
  double realValue() const { return real_; }
  const std::string& strValue() const { return str_; }

  // Replaces the first value and keeps the chain behind it.
  void setInt(std::int32_t v);
  void setStr(std::string_view v);
  void setReal(double v);
  void setNull();

  // The chain: values behind the first one.
  const TData* next() const { return next_.get(); }
  void append(TData v);  // adds v (and its own chain) at the end of the chain
  // Drops the first value; the next one (if any) takes its place, otherwise null.
  void dropFirst();

 private:
  DataKind kind_ = DataKind::Null;
  std::int32_t int_ = 0;
  double real_ = 0.0;
  std::string str_;
  std::unique_ptr<TData> next_;
};

// Conversions of the first value. They never fail: what cannot be read becomes 0 or "".
std::string toString(const TData& v);    // integer as signed decimal, string unchanged, null ""
std::int32_t toInteger(const TData& v);  // string read as decimal, real rounded half to even
double toReal(const TData& v);

// Decimal text of an integer, with "-" for a negative one.
std::string intToText(std::int32_t v);
// A decimal integer: optional blanks, an optional sign, digits, optional blanks, and nothing
// else. Text that is not such a number, or whose value does not fit 32 bits, reads as 0.
std::int32_t textToInt(std::string_view text);
// Rounds to the nearest integer, halves to even. NaN reads as 0; values beyond the 32-bit range
// are clamped to it.
std::int32_t realToInt(double v);
// Shortest text that reads back as the same real.
std::string realToText(double v);

}  // namespace elements
