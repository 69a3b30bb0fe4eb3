#include "rulecraft/framework/Format.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "rulecraft/framework/Exception.h"

namespace rulecraft {

namespace {

[[noreturn]] void InvalidFormat(std::string_view Fmt) {
  throw EConvertError("Format '" + std::string(Fmt) + "' invalid or incompatible with argument");
}

bool IsDigit(char C) noexcept { return C >= '0' && C <= '9'; }

// Appends Text padded with blanks to Width (on the left, or on the right when LeftAlign).
void AppendPadded(std::string& Out, std::string_view Text, int64_t Width, bool LeftAlign) {
  const auto Pad = Width > static_cast<int64_t>(Text.size()) ? static_cast<size_t>(Width) - Text.size() : 0;
  if (!LeftAlign) Out.append(Pad, ' ');
  Out.append(Text);
  if (LeftAlign) Out.append(Pad, ' ');
}

// Sets Body to [-]digits of Magnitude in Base (capital hex digits), zero-padded to MinDigits digits.
void FormatInteger(std::string& Body, bool Negative, uint64_t Magnitude, int Base, int64_t MinDigits) {
  char Digits[64];
  const auto Result = std::to_chars(Digits, Digits + sizeof Digits, Magnitude, Base);
  const auto Count = static_cast<size_t>(Result.ptr - Digits);
  if (Base == 16)
    for (size_t I = 0; I < Count; ++I)
      if (Digits[I] >= 'a') Digits[I] = static_cast<char>(Digits[I] - 'a' + 'A');
  if (Negative) Body += '-';
  if (MinDigits > static_cast<int64_t>(Count)) Body.append(static_cast<size_t>(MinDigits) - Count, '0');
  Body.append(Digits, Count);
}

// An integer argument as the unsigned value u and x print: negative values within 32 bits are taken as
// their 32-bit two's complement, other negative values as their 64-bit one.
uint64_t AsUnsigned(int64_t Value) noexcept {
  if (Value < 0 && Value >= INT32_MIN) return static_cast<uint32_t>(static_cast<int32_t>(Value));
  return static_cast<uint64_t>(Value);
}

// Appends the text std::to_chars gives for Value in Style with Precision ('.' as separator, printf rounding).
void AppendChars(std::string& Body, double Value, std::chars_format Style, int Precision) {
  // A fixed double has at most 309 integer digits; scientific at most a three-digit exponent.
  const size_t Room = (Style == std::chars_format::fixed ? 320 : 16) + static_cast<size_t>(Precision);
  const size_t Start = Body.size();
  Body.resize(Start + Room);
  const auto Result = std::to_chars(Body.data() + Start, Body.data() + Body.size(), Value, Style, Precision);
  Body.resize(static_cast<size_t>(Result.ptr - Body.data()));
}

// Removes trailing zeros of the fraction from Body[From..] and then a trailing '.'.
void TrimFraction(std::string& Body, size_t From) {
  if (Body.find('.', From) == std::string::npos) return;
  size_t End = Body.size();
  while (End > From && Body[End - 1] == '0') --End;
  if (End > From && Body[End - 1] == '.') --End;
  Body.resize(End);
}

// Appends Value in scientific notation with Digits (>= 1) significant digits and the exponent as
// "E" sign and at least three digits; returns the decimal exponent. Trim drops trailing fraction zeros.
int AppendScientific(std::string& Body, double Value, int Digits, bool Trim) {
  const size_t Start = Body.size();
  AppendChars(Body, Value, std::chars_format::scientific, Digits - 1);
  const size_t EPos = Body.find('e', Start);
  const char Sign = Body[EPos + 1];
  char ExpDigits[8];
  const size_t ExpCount = Body.size() - EPos - 2;
  std::memcpy(ExpDigits, Body.data() + EPos + 2, ExpCount);
  int Exponent = 0;
  for (size_t I = 0; I < ExpCount; ++I) Exponent = Exponent * 10 + (ExpDigits[I] - '0');
  Body.resize(EPos);
  if (Trim) TrimFraction(Body, Start);
  Body += 'E';
  Body += Sign;
  if (ExpCount < 3) Body.append(3 - ExpCount, '0');
  Body.append(ExpDigits, ExpCount);
  return Sign == '-' ? -Exponent : Exponent;
}

// Puts "," between the thousands of the integer part of the number in Body[From..].
void InsertThousands(std::string& Body, size_t From) {
  const size_t Begin = From + (Body[From] == '-' ? 1 : 0);
  size_t End = Body.find('.', Begin);
  if (End == std::string::npos) End = Body.size();
  const size_t Length = End - Begin;
  if (Length <= 3) return;
  const size_t Commas = (Length - 1) / 3;
  const size_t OldSize = Body.size();
  Body.resize(OldSize + Commas);
  char* Data = Body.data();
  std::memmove(Data + End + Commas, Data + End, OldSize - End);
  size_t Src = End, Dst = End + Commas, Count = 0;
  while (Src > Begin) {
    Data[--Dst] = Data[--Src];
    if (++Count % 3 == 0 && Src > Begin) Data[--Dst] = ',';
  }
}

// Sets Body to the text of a non-finite value; false for finite values.
bool FormatNonFinite(std::string& Body, double Value) {
  if (std::isnan(Value)) {
    Body = "NAN";
  } else if (std::isinf(Value)) {
    Body = Value < 0 ? "-INF" : "INF";
  } else {
    return false;
  }
  return true;
}

// Formats a float argument for type e, f, g, n or m (lower case); Precision < 0 when not given.
void FormatFloat(std::string& Body, char Type, double Value, int64_t Precision) {
  if (FormatNonFinite(Body, Value)) return;
  switch (Type) {
    case 'e':
    case 'g': {
      int Digits = Precision < 0 ? 15 : Precision == 0 ? 1 : static_cast<int>(Precision);
      if (Type == 'e') {
        AppendScientific(Body, Value, Digits, false);
        return;
      }
      // No double has more than 767 significant digits; %g drops the zeros beyond them anyway.
      if (Digits > 800) Digits = 800;
      const int Exponent = AppendScientific(Body, Value, Digits, true);
      if (Exponent >= -5 && Exponent < Digits) {
        // The same rounding as the scientific text, written in fixed notation.
        Body.clear();
        AppendChars(Body, Value, std::chars_format::fixed, Digits - 1 - Exponent);
        TrimFraction(Body, 0);
      }
      return;
    }
    case 'f':
      AppendChars(Body, Value, std::chars_format::fixed, Precision < 0 ? 2 : static_cast<int>(Precision));
      return;
    case 'n':
      AppendChars(Body, Value, std::chars_format::fixed, Precision < 0 ? 2 : static_cast<int>(Precision));
      InsertThousands(Body, 0);
      return;
    default: {  // 'm'
      // Negative exactly when %f would show a '-', so -0.001 is "($0.00)" like %f's "-0.00".
      Body.clear();
      Body.push_back('$');  // (not Body = "$": g++ 12 warns falsely on that assignment at -O3)
      AppendChars(Body, Value, std::chars_format::fixed, Precision < 0 ? 2 : static_cast<int>(Precision));
      if (Body[1] == '-') {
        Body[0] = '(';
        Body[1] = '$';
        InsertThousands(Body, 2);
        Body += ')';
      } else {
        InsertThousands(Body, 1);
      }
      return;
    }
  }
}

// Widths, precisions and indexes above this are refused: a format text must not be able to ask for gigabytes.
constexpr int64_t MaxFieldNumber = 1000000;

// Reads a decimal number at Fmt[I], leaving I after it; refuses numbers above MaxFieldNumber.
int64_t ReadNumber(std::string_view Fmt, size_t& I) {
  int64_t Value = 0;
  for (; I < Fmt.size() && IsDigit(Fmt[I]); ++I) {
    Value = Value * 10 + (Fmt[I] - '0');
    if (Value > MaxFieldNumber) InvalidFormat(Fmt);
  }
  return Value;
}

}  // namespace

std::string Format(std::string_view Fmt, std::initializer_list<TFormatArg> Args) {
  return Format(Fmt, Args.begin(), Args.size());
}

std::string Format(std::string_view Fmt, const TFormatArg* Args, size_t Count) {
  std::string Out;
  Out.reserve(Fmt.size() + 16);
  std::string Body;  // the text of the current directive before padding
  size_t ArgIndex = 0;
  const size_t Size = Fmt.size();

  auto NextArg = [&]() -> const TFormatArg& {
    if (ArgIndex >= Count) InvalidFormat(Fmt);
    return Args[ArgIndex++];
  };
  // A "*" width or precision: the next argument, which must be an integer within 32 bits.
  auto StarArg = [&]() -> int64_t {
    const TFormatArg& Arg = NextArg();
    if (Arg.Kind() != TFormatArg::fkInteger || Arg.AsInteger() < -MaxFieldNumber ||
        Arg.AsInteger() > MaxFieldNumber)
      InvalidFormat(Fmt);
    return Arg.AsInteger();
  };

  size_t I = 0;
  while (I < Size) {
    const size_t Percent = Fmt.find('%', I);
    if (Percent == std::string_view::npos) {
      Out.append(Fmt.substr(I));
      break;
    }
    Out.append(Fmt.substr(I, Percent - I));
    I = Percent + 1;
    if (I >= Size) InvalidFormat(Fmt);
    if (Fmt[I] == '%') {
      Out += '%';
      ++I;
      continue;
    }

    bool LeftAlign = false;
    int64_t Width = -1;
    int64_t Precision = -1;
    bool WidthRead = false;
    if (IsDigit(Fmt[I])) {
      const int64_t Number = ReadNumber(Fmt, I);
      if (I < Size && Fmt[I] == ':') {
        ArgIndex = static_cast<size_t>(Number);
        ++I;
      } else {
        Width = Number;
        WidthRead = true;
      }
    }
    if (!WidthRead) {
      if (I < Size && Fmt[I] == '-') {
        LeftAlign = true;
        ++I;
      }
      if (I < Size && Fmt[I] == '*') {
        Width = StarArg();
        ++I;
        if (Width < 0) {  // a negative "*" width aligns left, as in C
          LeftAlign = true;
          Width = -Width;
        }
      } else if (I < Size && IsDigit(Fmt[I])) {
        Width = ReadNumber(Fmt, I);
      }
    }
    if (I < Size && Fmt[I] == '.') {
      ++I;
      if (I < Size && Fmt[I] == '*') {
        Precision = StarArg();  // negative: as if no precision was given
        ++I;
      } else {
        Precision = ReadNumber(Fmt, I);  // "." alone is precision 0
      }
    }
    if (I >= Size) InvalidFormat(Fmt);
    char Type = Fmt[I++];
    if (Type >= 'A' && Type <= 'Z') Type = static_cast<char>(Type - 'A' + 'a');

    Body.clear();
    switch (Type) {
      case 'd':
      case 'u':
      case 'x': {
        const TFormatArg& Arg = NextArg();
        if (Arg.Kind() != TFormatArg::fkInteger) InvalidFormat(Fmt);
        const int64_t Value = Arg.AsInteger();
        if (Type == 'd')
          FormatInteger(Body, Value < 0,
                        Value < 0 ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value), 10,
                        Precision);
        else
          FormatInteger(Body, false, AsUnsigned(Value), Type == 'x' ? 16 : 10, Precision);
        break;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        const TFormatArg& Arg = NextArg();
        double Value = 0.0;
        if (Arg.Kind() == TFormatArg::fkFloat)
          Value = Arg.AsFloat();
        else if (Arg.Kind() == TFormatArg::fkInteger)
          Value = static_cast<double>(Arg.AsInteger());
        else
          InvalidFormat(Fmt);
        FormatFloat(Body, Type, Value, Precision);
        break;
      }
      case 'p': {
        const TFormatArg& Arg = NextArg();
        if (Arg.Kind() != TFormatArg::fkPointer) InvalidFormat(Fmt);
        FormatInteger(Body, false, reinterpret_cast<uintptr_t>(Arg.AsPointer()), 16, 8);
        break;
      }
      case 's': {
        const TFormatArg& Arg = NextArg();
        if (Arg.Kind() != TFormatArg::fkString) InvalidFormat(Fmt);
        std::string_view Text = Arg.AsString();
        if (Precision >= 0 && static_cast<uint64_t>(Precision) < Text.size())
          Text = Text.substr(0, static_cast<size_t>(Precision));
        AppendPadded(Out, Text, Width, LeftAlign);
        continue;
      }
      default:
        InvalidFormat(Fmt);
    }
    AppendPadded(Out, Body, Width, LeftAlign);
  }
  return Out;
}

std::string FloatToFixed(double Value, int Decimals) {
  std::string Body;
  if (!FormatNonFinite(Body, Value))
    AppendChars(Body, Value, std::chars_format::fixed, Decimals < 0 ? 0 : Decimals);
  return Body;
}

std::string FloatToReadBackText(double Value) {
  std::string Text = FloatToFixed(Value, 4);
  if (!std::isfinite(Value)) return Text;
  double Back = 0.0;
  const auto Fixed = std::from_chars(Text.data(), Text.data() + Text.size(), Back);
  if (Fixed.ec == std::errc() && Back == Value) return Text;
  char Buffer[64];
  const auto Shortest = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
  Text.assign(Buffer, Shortest.ptr);
  if (Text.find_first_of(".e") == std::string::npos) Text += ".0";
  return Text;
}

}  // namespace rulecraft
