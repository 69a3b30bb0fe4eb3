#pragma once
// Tells, from rule-language text alone, whether an expression is complete: how its parentheses stand outside
// strings and comments. Batch input and interactive hosts use it to cut input into expressions before the
// parser sees it.
#include <cstdint>
#include <string_view>

namespace rulecraft {

/// Follows text as it arrives, piece by piece (a piece may end anywhere, also inside a string or after a
/// backslash): strings are "..." with backslash escapes, and a ";" outside a string comments out the rest of
/// its line, up to the next CR or LF.
class TParenthesisScanner {
 public:
  void Feed(std::string_view Text) noexcept;
  void Reset() noexcept { *this = TParenthesisScanner(); }

  /// Every "(" fed minus every ")"; negative once more were closed than opened.
  int32_t GetBalance() const noexcept { return FBalance; }
  /// The parentheses open now, where a ")" with none open closes nothing.
  int32_t GetDepth() const noexcept { return FDepth; }
  /// True when the text fed so far ends inside a string.
  bool IsInString() const noexcept { return FInString; }
  /// True when the text holds anything besides blanks (space, tab, CR, LF, FF, VT) and comments.
  bool HasCode() const noexcept { return FHasCode; }
  /// True when a ")" came while no parenthesis was open.
  bool HasStrayClose() const noexcept { return FStrayClose; }

 private:
  int32_t FBalance = 0;
  int32_t FDepth = 0;
  bool FInString = false;
  bool FInComment = false;
  bool FEscape = false;
  bool FHasCode = false;
  bool FStrayClose = false;
};

}  // namespace rulecraft
