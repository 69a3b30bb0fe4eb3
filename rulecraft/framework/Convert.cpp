#include "rulecraft/framework/Convert.h"

#include <charconv>
#include <cmath>

#include "rulecraft/framework/Exception.h"

namespace rulecraft {

namespace {
bool IsBlank(char C) noexcept { return static_cast<unsigned char>(C) <= ' '; }

int HexDigit(char C) noexcept {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// Reads [blanks][sign](digits | $hex | 0xhex) into a 64-bit value; Bits is the width hexadecimal texts may
// fill.
bool ParseInteger(std::string_view Text, int Bits, int64_t& Value) noexcept {
  size_t I = 0;
  while (I < Text.size() && Text[I] == ' ') ++I;
  bool Negative = false;
  if (I < Text.size() && (Text[I] == '+' || Text[I] == '-')) Negative = Text[I++] == '-';
  bool Hex = false;
  if (I < Text.size() && Text[I] == '$') {
    Hex = true;
    ++I;
  } else if (I + 1 < Text.size() && Text[I] == '0' && (Text[I + 1] == 'x' || Text[I + 1] == 'X')) {
    Hex = true;
    I += 2;
  }
  if (I >= Text.size()) return false;
  const uint64_t Limit = Hex ? (Bits == 64 ? UINT64_MAX : (uint64_t{1} << Bits) - 1)
                             : (Bits == 64 ? uint64_t{INT64_MAX} + (Negative ? 1 : 0)
                                           : (uint64_t{1} << (Bits - 1)) - (Negative ? 0 : 1));
  uint64_t Magnitude = 0;
  for (; I < Text.size(); ++I) {
    const int Digit = Hex ? HexDigit(Text[I]) : (Text[I] >= '0' && Text[I] <= '9' ? Text[I] - '0' : -1);
    if (Digit < 0) return false;
    const uint64_t Base = Hex ? 16 : 10;
    if (Magnitude > (Limit - static_cast<uint64_t>(Digit)) / Base) return false;
    Magnitude = Magnitude * Base + static_cast<uint64_t>(Digit);
  }
  if (Hex && Bits == 32) {
    // A hexadecimal text fills the 32 bits as written: $FFFFFFFF is -1.
    const auto Word = static_cast<uint32_t>(Magnitude);
    const auto Signed = static_cast<int32_t>(Word);
    Value = Negative ? -static_cast<int64_t>(Signed) : Signed;
    return true;
  }
  if (Hex) {
    const auto Signed = static_cast<int64_t>(Magnitude);
    Value = Negative ? static_cast<int64_t>(0 - Magnitude) : Signed;
    return true;
  }
  Value = Negative ? static_cast<int64_t>(0 - Magnitude) : static_cast<int64_t>(Magnitude);
  return true;
}
}  // namespace

bool TryStrToInt(std::string_view Text, int32_t& Value) noexcept {
  int64_t V = 0;
  if (!ParseInteger(Text, 32, V)) return false;
  Value = static_cast<int32_t>(V);
  return true;
}

bool TryStrToInt64(std::string_view Text, int64_t& Value) noexcept { return ParseInteger(Text, 64, Value); }

bool TryStrToFloat(std::string_view Text, double& Value) noexcept {
  size_t Begin = 0, End = Text.size();
  while (Begin < End && IsBlank(Text[Begin])) ++Begin;
  while (End > Begin && IsBlank(Text[End - 1])) --End;
  std::string_view T = Text.substr(Begin, End - Begin);
  bool Negative = false;
  size_t I = 0;
  if (I < T.size() && (T[I] == '+' || T[I] == '-')) Negative = T[I++] == '-';
  const size_t NumberStart = I;
  size_t Digits = 0;
  // Rough decimal magnitude of the number (the power of ten of its leading digit, give or take one), used to
  // tell overflow from underflow when the value is out of range.
  int64_t Magnitude = 0;
  bool Significant = false;
  while (I < T.size() && T[I] >= '0' && T[I] <= '9') {
    Significant = Significant || T[I] != '0';
    if (Significant) ++Magnitude;
    ++I, ++Digits;
  }
  if (I < T.size() && T[I] == '.') {
    ++I;
    while (I < T.size() && T[I] >= '0' && T[I] <= '9') {
      Significant = Significant || T[I] != '0';
      if (!Significant) --Magnitude;
      ++I, ++Digits;
    }
  }
  if (Digits == 0) return false;
  if (I < T.size() && (T[I] == 'e' || T[I] == 'E')) {
    ++I;
    bool NegativeExponent = false;
    if (I < T.size() && (T[I] == '+' || T[I] == '-')) NegativeExponent = T[I++] == '-';
    size_t ExpDigits = 0;
    int64_t Exponent = 0;
    while (I < T.size() && T[I] >= '0' && T[I] <= '9') {
      if (Exponent < 1000000) Exponent = Exponent * 10 + (T[I] - '0');
      ++I, ++ExpDigits;
    }
    if (ExpDigits == 0) return false;
    Magnitude += NegativeExponent ? -Exponent : Exponent;
  }
  if (I != T.size()) return false;
  std::string_view Number = T.substr(NumberStart);
  double Result = 0.0;
  auto [Ptr, Ec] =
      std::from_chars(Number.data(), Number.data() + Number.size(), Result, std::chars_format::general);
  if (Ec == std::errc::result_out_of_range) {
    // from_chars leaves Result alone here, so the text decides: underflow reads as zero, overflow is refused.
    if (Magnitude > 0) return false;
    Result = 0.0;
  } else if (Ec != std::errc() || Ptr != Number.data() + Number.size()) {
    return false;
  }
  if (!std::isfinite(Result)) return false;
  Value = Negative ? -Result : Result;
  return true;
}

int32_t StrToInt(std::string_view Text) {
  int32_t V = 0;
  if (!TryStrToInt(Text, V)) throw EConvertError("'" + std::string(Text) + "' is not a valid integer value");
  return V;
}

double StrToFloat(std::string_view Text) {
  double V = 0;
  if (!TryStrToFloat(Text, V))
    throw EConvertError("'" + std::string(Text) + "' is not a valid floating point value");
  return V;
}

std::string IntToStr(int64_t Value) { return std::to_string(Value); }

std::string IntToHex(int64_t Value, int Digits) {
  static const char HexChars[] = "0123456789ABCDEF";
  uint64_t U = static_cast<uint64_t>(Value);
  std::string Out;
  do {
    Out.insert(Out.begin(), HexChars[U & 15]);
    U >>= 4;
  } while (U != 0);
  while (static_cast<int>(Out.size()) < Digits) Out.insert(Out.begin(), '0');
  return Out;
}

std::string UpperCase(std::string_view Text) {
  std::string Out(Text);
  for (char& C : Out)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  return Out;
}

std::string LowerCase(std::string_view Text) {
  std::string Out(Text);
  for (char& C : Out)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return Out;
}

int CompareText(std::string_view A, std::string_view B) noexcept {
  const size_t N = A.size() < B.size() ? A.size() : B.size();
  for (size_t I = 0; I < N; ++I) {
    unsigned char X = static_cast<unsigned char>(A[I]), Y = static_cast<unsigned char>(B[I]);
    if (X >= 'a' && X <= 'z') X = static_cast<unsigned char>(X - 'a' + 'A');
    if (Y >= 'a' && Y <= 'z') Y = static_cast<unsigned char>(Y - 'a' + 'A');
    if (X != Y) return X < Y ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

bool SameText(std::string_view A, std::string_view B) noexcept {
  return A.size() == B.size() && CompareText(A, B) == 0;
}

std::string TrimLeft(std::string_view Text) {
  size_t I = 0;
  while (I < Text.size() && IsBlank(Text[I])) ++I;
  return std::string(Text.substr(I));
}

std::string TrimRight(std::string_view Text) {
  size_t N = Text.size();
  while (N > 0 && IsBlank(Text[N - 1])) --N;
  return std::string(Text.substr(0, N));
}

std::string Trim(std::string_view Text) { return TrimRight(TrimLeft(Text)); }

}  // namespace rulecraft
