#pragma once
// Helper routines shared by every subsystem: string hashing, tolerant float comparison, the rule language's
// format routine, set/text conversions and small text helpers.
#include <cstdint>
#include <string>
#include <string_view>

#include "rulecraft/core/IETypes.h"
#include "rulecraft/framework/Ref.h"
#include "rulecraft/framework/TypeInfo.h"

namespace rulecraft {

class TValueVector;
using IValueVector = TRef<TValueVector>;

/// h = h * 31 + byte over the text (32-bit wrapping). Texts of 16 characters or more sample every
/// (length div 8)-th character, starting with the first.
int32_t CalculateHash(std::string_view S) noexcept;
/// The same over every Step-th character for any length (a Step below 1 counts as 1).
int32_t CalculateHash(std::string_view S, int32_t Step) noexcept;

/// True when B - Tolerance <= A <= B + Tolerance (every caller passes 0.0001).
bool FloatEquals(float A, float B, float Tolerance) noexcept;
bool FloatEquals(double A, double B, double Tolerance) noexcept;
bool FloatEquals(long double A, long double B, long double Tolerance) noexcept;

/// Formats Values into the control string Format the way the rule language's format functions do.
std::string CLIPSFormat(const std::string& Format, const IValueVector& Values);

/// The member names of the bits set in Value, joined by Separator, each without its first SkipChars
/// characters; with Brackets enclosed in "[" and "]".
std::string SetToString(const TEnumInfo& TypeInfo, uint32_t Value, std::string_view Separator, bool Brackets,
                        int SkipChars);
/// The same over value kinds, always without the "dt" prefix.
std::string SetToString(TIETypes Kinds, std::string_view Separator, bool Brackets);
/// Reads a set written as names separated by blanks, commas and brackets; each item is looked up as
/// Prefix + item ignoring case. An unknown item raises Exception "Invalid item for set: %s".
uint32_t StringToSet(std::string_view Text, const TEnumInfo& TypeInfo, std::string_view Prefix);

/// True for a character that ends a word of rule-language text when it follows the word's first character
/// (blanks end words too): the reader puts it back as the start of the next token.
constexpr bool IsWordTerminator(int C) noexcept {
  switch (C) {
    case '"':
    case '&':
    case '(':
    case ')':
    case ';':
    case '<':
    case '[':
    case ']':
    case '|':
    case '~':
      return true;
    default:
      return false;
  }
}

/// S without its surrounding double quotes when it has both; otherwise S.
std::string IEStringToString(std::string_view S);
/// The 1-based position of the first character of S that occurs in Chars, or 0.
int32_t ContainsCharacters(std::string_view S, std::string_view Chars) noexcept;
/// The characters construct names (templates, slots, rules) may not contain.
inline constexpr std::string_view SInvalidNameChars = " '\"#()[]?:$&;<>";
/// Raises EIEException SInvalidName (the name and its first refused character) when Name holds one.
void CheckName(std::string_view Name);

/// S without any character that occurs in Chars.
std::string StringFilter(std::string_view S, std::string_view Chars);

/// The argument syntax text of a function taking Min to Max arguments, at most Limit of them written: one
/// placeholder per argument, taken in order from the "<...>" placeholders of Existing and then
/// "<expression>", with the optional ones in nested brackets ("<a>[ <b>[ <c>]]" for 1 to 3 arguments). The
/// empty text unless Min <= Max and Max > 0.
std::string CreateArgumentExpressions(const std::string& Existing, int32_t Min, int32_t Max, int32_t Limit);

}  // namespace rulecraft
