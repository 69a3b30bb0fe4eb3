#include "rulecraft/core/Helpers.h"

#include <algorithm>
#include <cstring>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Format.h"

namespace rulecraft {

int32_t CalculateHash(std::string_view S, int32_t Step) noexcept {
  const size_t Stride = Step < 1 ? 1 : static_cast<size_t>(Step);
  uint32_t H = 0;
  for (size_t I = 0; I < S.size(); I += Stride) H = H * 31u + static_cast<unsigned char>(S[I]);
  return static_cast<int32_t>(H);
}

int32_t CalculateHash(std::string_view S) noexcept {
  const size_t N = S.size();
  return CalculateHash(S, N < 16 ? 1 : static_cast<int32_t>(N / 8));
}

bool FloatEquals(float A, float B, float Tolerance) noexcept {
  return FloatEquals(static_cast<long double>(A), static_cast<long double>(B),
                     static_cast<long double>(Tolerance));
}

bool FloatEquals(double A, double B, double Tolerance) noexcept {
  return FloatEquals(static_cast<long double>(A), static_cast<long double>(B),
                     static_cast<long double>(Tolerance));
}

bool FloatEquals(long double A, long double B, long double Tolerance) noexcept {
  return B - Tolerance <= A && A <= B + Tolerance;
}

namespace {

constexpr const char* DirectiveChars = "%-0123456789.";

// Replaces every "%n" of Text, from its start, by a line break.
void ExpandLineBreaks(std::string& Text) {
  size_t Pos = 0;
  while ((Pos = Text.find("%n", Pos)) != std::string::npos) {
    Text.replace(Pos, 2, "\r\n");
    Pos += 2;
  }
}

std::string AppendedText(const TIEValue& Value) {
  switch (Value.GetDType()) {
    case dtString:
      return Value.GetAsString();
    case dtFactId:
    case dtExternalAddress:
      return std::to_string(Value.GetAsInteger());
    case dtList:
      return "(" + Value.GetToString() + ")";
    default:
      return Value.GetToString();
  }
}

std::string FormatOne(const std::string& Directive, char Conversion, const TIEValue& Value, bool& Replaced) {
  Replaced = true;
  switch (Conversion) {
    case 'd':
    case 'u':
    case 'x':
      return Format(Directive, {Value.GetAsInteger()});
    case 'e':
    case 'f':
    case 'g':
    case 'm':
      return Format(Directive, {Value.GetAsFloat()});
    case 'p':
      return Format(Directive, {static_cast<const void*>(Value.GetAsExternalAddress())});
    case 's':
      return Format(Directive, {Value.GetToString()});
    default:
      Replaced = false;
      return std::string();
  }
}

}  // namespace

std::string CLIPSFormat(const std::string& FormatText, const IValueVector& Values) {
  std::string Work = FormatText;
  const int32_t Count = Values ? Values->GetValueCount() : 0;
  for (int32_t I = 0; I < Count; ++I) {
    const IIEValue& Value = Values->Get(I);
    for (;;) {
      const size_t Pos = Work.find('%');
      if (Pos == std::string::npos) {
        Work += ' ';
        if (Value) Work += AppendedText(*Value);
        break;
      }
      size_t End = Pos + 1;
      if (End >= Work.size()) {
        End = Pos;  // a '%' at the very end is its own conversion character
      } else {
        while (End < Work.size() - 1 && std::strchr(DirectiveChars, Work[End])) ++End;
      }
      const char Conversion = Work[End];
      if (End == Pos + 1 && Conversion == 'n') {
        Work.replace(Pos, 2, "\r\n");
        continue;  // "%n" consumes no value
      }
      if (Value) {
        bool Replaced = false;
        const std::string Directive = Work.substr(Pos, End - Pos + 1);
        std::string Text = FormatOne(Directive, Conversion, *Value, Replaced);
        if (Replaced) Work.replace(Pos, End - Pos + 1, Text);
      }
      break;
    }
  }
  ExpandLineBreaks(Work);
  return Work;
}

std::string SetToString(const TEnumInfo& TypeInfo, uint32_t Value, std::string_view Separator, bool Brackets,
                        int SkipChars) {
  std::string Out;
  for (int Bit = 0; Bit < 32; ++Bit) {
    if ((Value & (uint32_t{1} << Bit)) == 0) continue;
    if (!Out.empty()) Out += Separator;
    std::string_view Name = TypeInfo.Name(Bit);
    if (SkipChars > 0) Name.remove_prefix(std::min(Name.size(), static_cast<size_t>(SkipChars)));
    Out += Name;
  }
  return Brackets ? "[" + Out + "]" : Out;
}

std::string SetToString(TIETypes Kinds, std::string_view Separator, bool Brackets) {
  return SetToString(TIETypeInfo(), Kinds.Bits(), Separator, Brackets, 2);
}

uint32_t StringToSet(std::string_view Text, const TEnumInfo& TypeInfo, std::string_view Prefix) {
  const std::string Trimmed = Trim(Text);
  uint32_t Result = 0;
  size_t I = 0;
  while (I < Trimmed.size()) {
    while (I < Trimmed.size() && std::strchr("[], ", Trimmed[I])) ++I;
    size_t Start = I;
    while (I < Trimmed.size() && !std::strchr("[], ", Trimmed[I])) ++I;
    if (I == Start) continue;
    const std::string Name = std::string(Prefix) + Trimmed.substr(Start, I - Start);
    const int Ordinal = TypeInfo.ValueOf(Name);
    if (Ordinal < 0 || Ordinal >= 32) throw Exception(Format(SInvalidSetItem, {Name}));
    Result |= uint32_t{1} << Ordinal;
  }
  return Result;
}

std::string IEStringToString(std::string_view S) {
  if (S.size() >= 2 && S.front() == '"' && S.back() == '"') return std::string(S.substr(1, S.size() - 2));
  return std::string(S);
}

int32_t ContainsCharacters(std::string_view S, std::string_view Chars) noexcept {
  const size_t Pos = S.find_first_of(Chars);
  return Pos == std::string_view::npos ? 0 : static_cast<int32_t>(Pos + 1);
}

void CheckName(std::string_view Name) {
  const int32_t Position = ContainsCharacters(Name, SInvalidNameChars);
  if (Position > 0)
    throw EIEException(SInvalidName, {Name, std::string(1, Name[static_cast<size_t>(Position - 1)])});
}

std::string StringFilter(std::string_view S, std::string_view Chars) {
  std::string Out;
  Out.reserve(S.size());
  for (char C : S)
    if (Chars.find(C) == std::string_view::npos) Out += C;
  return Out;
}

std::string CreateArgumentExpressions(const std::string& Existing, int32_t Min, int32_t Max, int32_t Limit) {
  if (Min > Max || Max <= 0) return std::string();
  std::string Text;
  size_t Open = 0;
  size_t Scan = 0;  // where the next placeholder of Existing is looked for
  if (Min == 0) {
    Text += '[';
    ++Open;
  }
  for (int32_t Position = 0; Position < Max && Position < Limit; ++Position) {
    std::string Placeholder = "<expression>";
    const size_t Left = Scan < Existing.size() ? Existing.find('<', Scan) : std::string::npos;
    const size_t Right = Left == std::string::npos ? std::string::npos : Existing.find('>', Left + 1);
    if (Right != std::string::npos) {
      Placeholder = Existing.substr(Left, Right - Left + 1);
      Scan = Right + 1;
    } else {
      Scan = Existing.size();
    }
    Text += ' ';
    Text += Placeholder;
    if (Position + 1 >= Min && Position < Max - 1) {
      Text += '[';
      ++Open;
    }
  }
  Text.append(Open, ']');
  const size_t First = Text.find_first_not_of(' ');
  return First == std::string::npos ? std::string() : Text.substr(First);
}

}  // namespace rulecraft
