#pragma once
// Format: the framework's message formatting, printf-like with a fixed directive syntax
//   "%" [index ":"] ["-"] [width] ["." precision] type
// where width and precision are digits or "*" (taken from the next argument), and type is one of
//   d  signed decimal integer; a precision gives the minimum number of digits (zero-padded)
//   u  unsigned decimal integer (a negative 32-bit argument is read as unsigned 32-bit)
//   x  hexadecimal in capitals; precision as for d
//   e  scientific: one digit before the '.', precision significant digits in all (default 15), then "E",
//      the exponent's sign and at least three exponent digits: 1234.5 with "%.3e" gives "1.23E+003"
//   f  fixed with precision decimals (default 2)
//   g  general: the shorter of fixed and scientific with precision significant digits (default 15), no
//      trailing zeros and no trailing '.'
//   n  fixed with thousands separators "," and precision decimals (default 2)
//   m  money: "$" before the number, thousands separators, precision decimals (default 2); negative
//      amounts in parentheses: "($1,234.50)"
//   p  pointer: eight upper-case hexadecimal digits (more when the address needs them)
//   s  text, cut to the precision when one is given
// A width pads with blanks on the left, or on the right after "-". "%%" writes one "%". Widths,
// precisions and indexes are limited to 1000000. The decimal
// separator is always '.'. A directive that is malformed, or whose argument has the wrong kind, or that
// runs out of arguments, raises EConvertError "Format '<format>' invalid or incompatible with argument".
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace rulecraft {

/// One argument of Format: an integer, a float, a text or a pointer.
class TFormatArg {
 public:
  enum TKind : uint8_t { fkInteger, fkFloat, fkString, fkPointer };

  TFormatArg(int Value) noexcept : FKind(fkInteger), FInteger(Value) {}
  TFormatArg(long Value) noexcept : FKind(fkInteger), FInteger(Value) {}
  TFormatArg(long long Value) noexcept : FKind(fkInteger), FInteger(Value) {}
  TFormatArg(unsigned Value) noexcept : FKind(fkInteger), FInteger(Value) {}
  TFormatArg(unsigned long Value) noexcept : FKind(fkInteger), FInteger(static_cast<int64_t>(Value)) {}
  TFormatArg(unsigned long long Value) noexcept : FKind(fkInteger), FInteger(static_cast<int64_t>(Value)) {}
  TFormatArg(double Value) noexcept : FKind(fkFloat), FFloat(Value) {}
  TFormatArg(float Value) noexcept : FKind(fkFloat), FFloat(Value) {}
  TFormatArg(const char* Value) noexcept : FKind(fkString), FText(Value ? Value : "") {}
  TFormatArg(const std::string& Value) noexcept : FKind(fkString), FText(Value) {}
  TFormatArg(std::string_view Value) noexcept : FKind(fkString), FText(Value) {}
  TFormatArg(const void* Value) noexcept : FKind(fkPointer), FPointer(Value) {}

  TKind Kind() const noexcept { return FKind; }
  int64_t AsInteger() const noexcept { return FInteger; }
  double AsFloat() const noexcept { return FFloat; }
  std::string_view AsString() const noexcept { return FText; }
  const void* AsPointer() const noexcept { return FPointer; }

 private:
  TKind FKind;
  int64_t FInteger = 0;
  double FFloat = 0.0;
  std::string_view FText;
  const void* FPointer = nullptr;
};

std::string Format(std::string_view Fmt, std::initializer_list<TFormatArg> Args);
/// The same over an argument array (for callers that build their arguments at run time).
std::string Format(std::string_view Fmt, const TFormatArg* Args, size_t Count);

/// The text of a float with Format's "%.<Decimals>f".
std::string FloatToFixed(double Value, int Decimals);
/// The text of a float meant to be read back: four decimals when that text reads back as Value, otherwise
/// the shortest text that does (always with a decimal point or an exponent, so it reads as a float).
std::string FloatToReadBackText(double Value);

}  // namespace rulecraft
