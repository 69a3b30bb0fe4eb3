#include "rulecraft/core/ParenthesisScanner.h"

namespace rulecraft {

void TParenthesisScanner::Feed(std::string_view Text) noexcept {
  for (const char C : Text) {
    if (FInComment) {
      if (C == '\n' || C == '\r') FInComment = false;
    } else if (FInString) {
      if (FEscape)
        FEscape = false;
      else if (C == '\\')
        FEscape = true;
      else if (C == '"')
        FInString = false;
    } else if (C == ';') {
      FInComment = true;
    } else if (C == '"') {
      FInString = true;
      FHasCode = true;
    } else if (C == '(') {
      ++FBalance;
      ++FDepth;
      FHasCode = true;
    } else if (C == ')') {
      --FBalance;
      if (FDepth == 0)
        FStrayClose = true;
      else
        --FDepth;
      FHasCode = true;
    } else if (C != ' ' && C != '\t' && C != '\n' && C != '\r' && C != '\f' && C != '\v') {
      FHasCode = true;
    }
  }
}

}  // namespace rulecraft
