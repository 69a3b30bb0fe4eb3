#pragma once
// TIEClipsStream: the lexer of the rule language.
//
// Characters become tokens (TIEStreamToken): words (atoms, integers, floats, variables "?x" and multifield
// variables "$?x"), strings in double quotes, and the punctuation tokens = & ( ) [ ] | ~. Blanks, line ends
// and comments (a semicolon to the end of the line) make no token; they are kept as the Whitespace of the
// token that follows. A word ends at a blank or at one of " & ( ) ; < [ ] | ~ met after its first
// character, so "a=>b", "<=" and "<-" are single words; "=>" alone is the token "=" followed by the atom ">".
//
// The lexer reads one whole S-expression ahead (so a parser can look at the head of a construct before
// committing to it), keeps the text forms of the tokens taken from the current S-expression (the consumed
// text every parse error quotes), and counts the parentheses opened and not yet closed by the tokens taken
// (the nesting depth that error recovery skips by). Reading ahead is iterative: any depth of nesting is only
// a longer list of tokens.
//
// Lines: CR, LF and CR LF each end one line, wherever they stand (between tokens, inside strings and
// comments, escaped inside words). A token carries the number of the line on which it was finished; a word
// ended by a line end carries the line it stands on.
#include <cstdint>
#include <string>
#include <vector>

#include "rulecraft/parser/StreamToken.h"
#include "rulecraft/parser/TokenizerStream.h"

namespace rulecraft {

class TIEClipsStream : public TIETokenizerStream {
  RC_CLASS(TIEClipsStream, TIETokenizerStream)
 public:
  using TIETokenizerStream::TIETokenizerStream;

  /// The hint that asks FinishToken for the end-of-input token.
  static constexpr int32_t EndOfInputHint = -1;
  /// The hint that asks FinishToken to classify a word.
  static constexpr int32_t WordHint = 0;
  /// The hint of a string token (the code of the double quote).
  static constexpr int32_t StringHint = '"';

  // TIETokenizerStream
  void Clear() override;
  /// Reads and drops the rest of the line the last character read stands on; it goes into the whitespace
  /// of the next token and ends the line. Nothing is read when that character ended its line already (a
  /// word ended by a line end), so the line after it is never lost.
  void DiscardUntilEOL() override;
  void MoveToNextConstruct() override;
  IStreamToken NextToken() override;
  void PutBackToken(const IStreamToken& Token) override;
  std::string Head() override;

  /// The engine that makes fresh symbols for "?" and "$?". Without one, the lexer numbers them itself.
  ISymbolGenerator* GetEngine() const noexcept { return FEngine; }
  void SetEngine(ISymbolGenerator* Value) noexcept { FEngine = Value; }

  /// The token most recently handed out or put back; reads one first when there is none yet.
  const IStreamToken& GetCurrentToken();
  /// The text forms of the tokens taken from the current S-expression, each followed by a blank, with a
  /// line break where the tokens' line numbers grow.
  const std::string& GetToString() const noexcept { return FConsumed; }
  /// Parentheses opened minus parentheses closed by the tokens handed out.
  int32_t GetNestingDepth() const noexcept { return FNestingDepth; }
  /// The line counter (1 for the first line).
  int32_t GetLineNumber() const noexcept { return FLineNumber; }
  void SetLineNumber(int32_t Value) noexcept { FLineNumber = Value; }
  /// The number of tokens read ahead and not yet handed out.
  int32_t GetPendingCount() const noexcept { return static_cast<int32_t>(FPending.size()); }

  /// Reads the rest of a string whose opening double quote has been read, and returns Prefix followed by
  /// its characters: a backslash takes the next character literally, line ends stay. Raises
  /// EIEParseException "Invalid string value, string was not terminated" when the input ends first.
  std::string ReadString(const std::string& Prefix);

 protected:
  /// Reads one token from the characters (no reading ahead, no consumed text).
  virtual IStreamToken BuildNextToken();
  /// Makes the token that Hint and Text describe: EndOfInputHint (Text, when not empty, is a word ended by
  /// the end of the input), WordHint (Text is a word to classify), StringHint (Text is the string's
  /// characters), or the code of a punctuation character. Any other hint raises EIEParseException "Invalid
  /// Token hint for parsing token: %s". The token takes the whitespace gathered since the previous one.
  virtual IStreamToken FinishToken(int32_t Hint, const std::string& Text);

 private:
  /// Reads one S-expression ahead: one token, or everything from "(" to its ")", or up to the end of input.
  void PrepareSExp();
  /// Accounts for the character C just read: a CR, or an LF not right after a CR, ends a line.
  void CountChar(int C) noexcept {
    if (C > '\r') [[likely]] {
      FAfterCR = FLineEnded = false;
    } else if (C == '\r') {
      NextLine();
      FAfterCR = FLineEnded = true;
    } else if (C == '\n') {
      if (!FAfterCR) NextLine();
      FAfterCR = false;
      FLineEnded = true;
    } else {
      FAfterCR = FLineEnded = false;
    }
  }
  /// Counters stop at their limits rather than overflow, whatever the length of the input.
  void NextLine() noexcept {
    if (FLineNumber < INT32_MAX) ++FLineNumber;
  }
  void ChangeDepth(int32_t Delta) noexcept {
    if ((Delta > 0 && FNestingDepth < INT32_MAX) || (Delta < 0 && FNestingDepth > INT32_MIN))
      FNestingDepth += Delta;
  }
  /// Reads the rest of the current line into the pending whitespace, followed by a line break.
  void SkipRestOfLine();
  /// Reads a string's characters after its opening quote into Text.
  void ReadStringInto(std::string& Text);
  /// Reads the rest of a word whose first character has been read into the word buffer.
  IStreamToken ReadWord();
  std::string NewSymbol(const std::string& Prefix);

  std::vector<IStreamToken> FPending;  // read ahead and not handed out; the next one last
  int32_t FLineNumber = 1;
  std::string FWord;  // the token being read
  ISymbolGenerator* FEngine = nullptr;
  std::string FConsumed;
  IStreamToken FCurrentToken;
  int32_t FNestingDepth = 0;
  std::vector<IStreamToken> FAssembly;  // the S-expression being read ahead, in reading order
  std::string FPendingWhitespace;
  bool FAfterCR = false;       // the last character read was a CR
  bool FLineEnded = false;     // the last character read was a line end
  int32_t FSymbolCounter = 0;  // numbers anonymous variables when there is no engine
};

}  // namespace rulecraft
