#include "rulecraft/parser/ClipsStream.h"

#include <iterator>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/parser/ParseException.h"

namespace rulecraft {

namespace {

constexpr bool IsDigit(char C) noexcept { return C >= '0' && C <= '9'; }

// An optional sign and at least one digit, within the 32-bit range.
bool WordToInteger(const std::string& Word, int32_t& Value) noexcept {
  size_t I = 0;
  const bool Negative = Word[0] == '-';
  if (Word[0] == '+' || Word[0] == '-') ++I;
  if (I == Word.size()) return false;
  int64_t Magnitude = 0;
  for (; I < Word.size(); ++I) {
    if (!IsDigit(Word[I])) return false;
    Magnitude = Magnitude * 10 + (Word[I] - '0');
    if (Magnitude > int64_t(2147483648)) return false;
  }
  if (Negative) Magnitude = -Magnitude;
  if (Magnitude > 2147483647) return false;
  Value = static_cast<int32_t>(Magnitude);
  return true;
}

// An optional sign, digits with an optional fraction, an optional exponent; the value must be finite.
bool WordToFloat(const std::string& Word, double& Value) noexcept {
  // The conversion forgives surrounding blanks, a word must not hold any (an escaped blank is part of it).
  for (char C : Word)
    if (static_cast<unsigned char>(C) <= ' ') return false;
  return TryStrToFloat(Word, Value);
}

}  // namespace

// ---- Reading characters ----

IStreamToken TIEClipsStream::BuildNextToken() {
  for (;;) {
    FWord.clear();
    // Blanks, a line at a time, while a line end was crossed and input remains.
    for (;;) {
      const size_t Before = FPendingWhitespace.size();
      const bool Crossed = SkipBlanks(&FPendingWhitespace);
      for (size_t I = Before; I < FPendingWhitespace.size(); ++I)
        CountChar(static_cast<unsigned char>(FPendingWhitespace[I]));
      if (!Crossed) break;
    }
    const int C = GetChar();
    if (C == EndOfStream) return FinishToken(EndOfInputHint, FWord);
    CountChar(C);
    switch (C) {
      case '=':
      case '&':
      case '(':
      case ')':
      case '[':
      case ']':
      case '|':
      case '~':
        FWord.push_back(static_cast<char>(C));
        return FinishToken(C, FWord);
      case '"':
        ReadStringInto(FWord);
        return FinishToken(StringHint, FWord);
      case ';':
        // A comment is whitespace of the token that follows it.
        FPendingWhitespace.push_back(';');
        SkipRestOfLine();
        continue;
      default:
        FWord.push_back(static_cast<char>(C));
        return ReadWord();
    }
  }
}

IStreamToken TIEClipsStream::ReadWord() {
  int32_t Hint = WordHint;
  int Terminator = EndOfStream;
  for (;;) {
    int C = GetChar();
    if (C == EndOfStream) {
      Hint = EndOfInputHint;
      break;
    }
    if (C <= ' ') {
      // The blank that ends the word belongs to its whitespace; a line end it makes is counted after the
      // token is finished, so the word keeps the line it stands on.
      FPendingWhitespace.push_back(static_cast<char>(C));
      Terminator = C;
      break;
    }
    if (C == '\\') {
      CountChar(C);
      C = GetChar();
      if (C == EndOfStream) {
        Hint = EndOfInputHint;
        break;
      }
    } else if (IsWordTerminator(C)) {
      PutBack(static_cast<char>(C));
      break;
    }
    CountChar(C);
    FWord.push_back(static_cast<char>(C));
  }
  IStreamToken Token = FinishToken(Hint, FWord);
  if (Terminator != EndOfStream) CountChar(Terminator);
  return Token;
}

void TIEClipsStream::ReadStringInto(std::string& Text) {
  for (;;) {
    int C = GetChar();
    if (C == EndOfStream) throw EIEParseException(SUnterminatedString, FLineNumber);
    CountChar(C);
    if (C == '"') return;
    if (C == '\\') {
      C = GetChar();
      if (C == EndOfStream) throw EIEParseException(SUnterminatedString, FLineNumber);
      CountChar(C);
    }
    Text.push_back(static_cast<char>(C));
  }
}

std::string TIEClipsStream::ReadString(const std::string& Prefix) {
  std::string Text = Prefix;
  ReadStringInto(Text);
  return Text;
}

void TIEClipsStream::SkipRestOfLine() {
  for (;;) {
    const int C = GetChar();
    if (C == EndOfStream) return;  // the last line has no line end to count
    if (C == '\r' || C == '\n') {
      if (C == '\r' && PeekChar() == '\n') GetChar();
      FPendingWhitespace += NewLineString;
      NextLine();
      FAfterCR = false;
      FLineEnded = true;
      return;
    }
    FPendingWhitespace.push_back(static_cast<char>(C));
  }
}

std::string TIEClipsStream::NewSymbol(const std::string& Prefix) {
  if (FEngine) return FEngine->GenerateSymbol(Prefix);
  return Prefix + IntToStr(++FSymbolCounter);
}

// ---- Making tokens ----

IStreamToken TIEClipsStream::FinishToken(int32_t Hint, const std::string& Text) {
  IStreamToken Token;
  switch (Hint) {
    case EndOfInputHint:
      if (!Text.empty()) return FinishToken(WordHint, Text);
      Token = MakeRef<TIEStreamToken>(dtNone, FLineNumber, "EOF");
      break;
    case StringHint:
      Token = MakeRef<TIEStreamToken>(dtString, FLineNumber, Text);
      break;
    case tkAmpersand:
    case tkOpenParen:
    case tkCloseParen:
    case tkEquals:
    case tkOpenBracket:
    case tkCloseBracket:
    case tkBar:
    case tkTilde:
      Token = MakeRef<TIEStreamToken>(Hint, FLineNumber, Text);
      break;
    case WordHint: {
      const char First = Text.empty() ? '\0' : Text[0];
      int32_t Integer = 0;
      double Float = 0.0;
      if (First == '?') {
        Token = MakeRef<TIEStreamToken>(dtVariable, FLineNumber,
                                        Text.size() == 1 ? NewSymbol(SBlankPrefix) : Text.substr(1));
      } else if (First == '$' && Text.size() >= 2 && Text[1] == '?') {
        Token = MakeRef<TIEStreamToken>(dtMultiVariable, FLineNumber,
                                        Text.size() == 2 ? NewSymbol(SBlankMulti) : Text.substr(2));
      } else if (Text.size() == 1 && (First == '+' || First == '-' || First == '.')) {
        Token = MakeRef<TIEStreamToken>(dtAtom, FLineNumber, Text);
      } else if ((IsDigit(First) || First == '+' || First == '-' || First == '.') &&
                 WordToInteger(Text, Integer)) {
        Token = MakeRef<TIEStreamToken>(dtInteger, FLineNumber, std::string(), Integer);
      } else if ((IsDigit(First) || First == '+' || First == '-' || First == '.') &&
                 WordToFloat(Text, Float)) {
        Token = MakeRef<TIEStreamToken>(dtFloat, FLineNumber, std::string(), Float);
      } else {
        Token = MakeRef<TIEStreamToken>(dtAtom, FLineNumber, Text);
      }
      break;
    }
    default:
      throw EIEParseException(SInvalidTokenHint, {IntToStr(Hint)}, FLineNumber);
  }
  Token->SetWhitespace(FPendingWhitespace);
  FPendingWhitespace.clear();
  return Token;
}

// ---- Handing tokens out ----

void TIEClipsStream::PrepareSExp() {
  FConsumed.clear();
  FAssembly.clear();
  int32_t Depth = 0;
  for (;;) {
    IStreamToken Token = BuildNextToken();
    const int32_t Kind = Token->GetDataType();
    FAssembly.push_back(std::move(Token));
    if (Kind == dtNone) break;
    if (Kind == tkOpenParen)
      ++Depth;
    else if (Kind == tkCloseParen)
      --Depth;
    if (Depth <= 0) break;
  }
  FPending.insert(FPending.end(), std::make_move_iterator(FAssembly.rbegin()),
                  std::make_move_iterator(FAssembly.rend()));
  FAssembly.clear();
}

IStreamToken TIEClipsStream::NextToken() {
  if (FPending.empty()) PrepareSExp();
  IStreamToken Token = std::move(FPending.back());
  FPending.pop_back();
  if (FCurrentToken && FCurrentToken->GetLineNumber() < Token->GetLineNumber()) FConsumed += NewLineString;
  FCurrentToken = Token;
  Token->AppendToString(FConsumed);
  FConsumed += ' ';
  if (Token->GetDataType() == tkCloseParen)
    ChangeDepth(-1);
  else if (Token->GetDataType() == tkOpenParen)
    ChangeDepth(1);
  return Token;
}

void TIEClipsStream::PutBackToken(const IStreamToken& Token) {
  if (!Token) return;
  FPending.push_back(Token);
  FCurrentToken = Token;
  std::string Form = Token->GetToString();
  Form += ' ';
  if (FConsumed.size() >= Form.size() &&
      FConsumed.compare(FConsumed.size() - Form.size(), Form.size(), Form) == 0)
    FConsumed.resize(FConsumed.size() - Form.size());
  while (!FConsumed.empty() && static_cast<unsigned char>(FConsumed.back()) <= ' ') FConsumed.pop_back();
  if (!FConsumed.empty()) FConsumed += ' ';
  if (Token->GetDataType() == tkCloseParen)
    ChangeDepth(1);
  else if (Token->GetDataType() == tkOpenParen)
    ChangeDepth(-1);
}

std::string TIEClipsStream::Head() {
  IStreamToken First = NextToken();
  if (First->GetDataType() != tkOpenParen || FPending.empty()) return std::string();
  std::string Name;
  const TIEStreamToken& Second = *FPending.back();
  switch (Second.GetDataType()) {
    case dtAtom:
      Name = Second.GetText().empty() ? Second.GetToString() : Second.GetText();
      break;
    case tkEquals:
      Name = "=";
      break;
    case dtVariable:
      Name = Second.GetText();
      break;
    default:
      break;
  }
  PutBackToken(First);
  return Name;
}

const IStreamToken& TIEClipsStream::GetCurrentToken() {
  if (!FCurrentToken) NextToken();
  return FCurrentToken;
}

void TIEClipsStream::MoveToNextConstruct() {
  while (FNestingDepth > 0)
    if (NextToken()->GetDataType() == dtNone) break;
}

void TIEClipsStream::DiscardUntilEOL() {
  if (!FLineEnded) SkipRestOfLine();
}

void TIEClipsStream::Clear() {
  FPending.clear();
  FConsumed.clear();
}

}  // namespace rulecraft
