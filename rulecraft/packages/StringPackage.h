#pragma once
// The string package: concatenation, case conversion, comparison, search, length, substrings and formatted
// strings. Arguments are read as text with GetAsString, so symbols, strings and numbers all give their text
// (a float with four decimals). Texts are bytes: lengths, positions and comparisons count bytes, and case
// conversion touches only A-Z and a-z.
#include "rulecraft/functions/UserPackage.h"
#include "rulecraft/packages/PackageHelpers.h"

namespace rulecraft {

/// (lowcase <string-or-symbol-expression>): the text in lower case, of the argument's kind when that is a
/// text kind (a symbol stays a symbol), otherwise (a number) a string.
RC_BUILTIN_FUNCTION(TLowerCaseFunction);
/// (str-cat <lexeme-expression>*): every argument's text concatenated, as a string.
RC_BUILTIN_FUNCTION(TStrCatFunction);
/// (str-compare <lexeme> <lexeme>): byte-wise comparison: the difference of the first differing bytes
/// (0..255 each), or of the lengths when one text starts the other; 0 when equal.
RC_BUILTIN_FUNCTION(TStrCompFunction);
/// (str-index <lexeme> <lexeme>): the 1-based position of the first text in the second, or FALSE (also for
/// an empty first text).
RC_BUILTIN_FUNCTION(TStrIndexFunction);
/// (str-length <lexeme-expression>): the number of bytes of the text.
RC_NUMBER_FUNCTION(TStrLengthFunction);
/// (sub-string <start> <end> <lexeme>): bytes start..end (1-based, both included, end cut at the text's
/// end) as a string; "Invalid substring parameters: %d, %d" unless 1 <= start <= length and start <= end + 1.
RC_BUILTIN_FUNCTION(TSubStringFunction);
/// (sym-cat <expression>*): every argument's text concatenated, as a symbol.
RC_BUILTIN_FUNCTION(TSymCatFunction);
/// (upcase <lexeme-expression>): the text in upper case, kinds as for lowcase.
RC_BUILTIN_FUNCTION(TUpperCaseFunction);
/// (str-format <string-expression> <expression>+): the further arguments formatted into the first one's text
/// by CLIPSFormat, as a string.
RC_BUILTIN_FUNCTION(TStrFormatFunction);

class TStringPackage : public TUserPackage {
  RC_CLASS(TStringPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds lowcase, str-cat, str-compare, str-index, str-length, sub-string, sym-cat, upcase and str-format,
  /// in that order.
  void CreateFunctions() override;
};

}  // namespace rulecraft
