#pragma once
// Number and text conversions with the framework's semantics. Numbers are always written and read with '.'
// as the decimal separator, whatever the process locale.
#include <cstdint>
#include <string>
#include <string_view>

namespace rulecraft {

/// Parses a 32-bit integer: optional leading blanks, an optional sign, then decimal digits, or hexadecimal
/// digits after "$", "0x" or "0X". Nothing may follow. False when the text is not such a number or does not
/// fit in 32 bits (hexadecimal texts may use all 32 bits: "$FFFFFFFF" is -1).
bool TryStrToInt(std::string_view Text, int32_t& Value) noexcept;
/// Parses a 64-bit integer with the same rules.
bool TryStrToInt64(std::string_view Text, int64_t& Value) noexcept;
/// Parses a floating-point number: optional leading and trailing blanks, an optional sign, digits with an
/// optional '.' and fraction (at least one digit in all), an optional exponent "e"/"E" [sign] digits.
/// Infinity and NaN spellings are refused; a finite text whose value overflows a double is refused.
bool TryStrToFloat(std::string_view Text, double& Value) noexcept;

/// As the Try forms, raising EConvertError "'<text>' is not a valid integer value" or
/// "'<text>' is not a valid floating point value" on failure.
int32_t StrToInt(std::string_view Text);
double StrToFloat(std::string_view Text);

std::string IntToStr(int64_t Value);
/// Upper-case hexadecimal, zero-padded to at least Digits digits (two's complement for negative values).
std::string IntToHex(int64_t Value, int Digits);

/// ASCII case conversions and comparisons (bytes above 127 are left alone).
std::string UpperCase(std::string_view Text);
std::string LowerCase(std::string_view Text);
bool SameText(std::string_view A, std::string_view B) noexcept;
int CompareText(std::string_view A, std::string_view B) noexcept;

/// Removes leading and trailing characters up to and including blank (control characters and blanks).
std::string Trim(std::string_view Text);
std::string TrimLeft(std::string_view Text);
std::string TrimRight(std::string_view Text);

}  // namespace rulecraft
