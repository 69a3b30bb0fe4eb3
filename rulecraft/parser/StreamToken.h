#pragma once
// TIEStreamToken: one token of rule-language text as the lexer hands it to the parser, held through the
// counted handle IStreamToken.
//
// A token's kind (DataType) is a value kind (TIEType) for words, strings, numbers and variables, and the
// character code of its character for the punctuation tokens = & ( ) [ ] | ~. The end of the input is kind
// dtNone with the text "EOF". Numbers keep their value in Number and no text; the other kinds keep their
// text. Whitespace holds what the lexer skipped before the token (blanks, line ends, comment lines) plus the
// blank that ended a word, so that a printer can keep the author's layout and comments.
#include <cstdint>
#include <string>

#include "rulecraft/collections/Cloneable.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/framework/Ref.h"

namespace rulecraft {

class TIEStreamToken;
class TIEValue;
class TResolveContext;
using IStreamToken = TRef<TIEStreamToken>;
using IIEValue = TRef<TIEValue>;

/// The kinds of the punctuation tokens: the codes of their characters.
enum TIETokenKind : int32_t {
  tkAmpersand = '&',
  tkOpenParen = '(',
  tkCloseParen = ')',
  tkEquals = '=',
  tkOpenBracket = '[',
  tkCloseBracket = ']',
  tkBar = '|',
  tkTilde = '~',
};

class TIEStreamToken final : public ICloneable {
  RC_CLASS(TIEStreamToken, ICloneable)
 public:
  TIEStreamToken() = default;
  TIEStreamToken(int32_t DataType, int32_t LineNumber, std::string Text = std::string(), double Number = 0.0)
      : FDataType(DataType), FLineNumber(LineNumber), FNumber(Number), FText(std::move(Text)) {}

  // ICloneable. Both forms of Assign copy kind, line number, number, text and tag, but not the whitespace.
  /// Object form: from another token; anything else goes through the framework (and is refused).
  void Assign(const TPersistent* Source) override;
  /// Interface form: from another token; anything else raises EConvertError "Interface not supported".
  void Assign(const ICloneableRef& Source) override;
  /// Into another token as its Assign does; anything else is refused.
  void AssignTo(TPersistent* Dest) const override;
  ICloneableRef CloneInterface() const override { return Clone(); }
  /// A new token assigned from this one.
  IStreamToken Clone() const;
  /// True for a token of the same kind, line number and number; the text is not compared.
  bool Equals(const ICloneable* Other) const override;
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  int32_t GetDataType() const noexcept { return FDataType; }
  void SetDataType(int32_t Value) noexcept { FDataType = Value; }
  int32_t GetLineNumber() const noexcept { return FLineNumber; }
  void SetLineNumber(int32_t Value) noexcept { FLineNumber = Value; }
  double GetNumber() const noexcept { return FNumber; }
  void SetNumber(double Value) noexcept { FNumber = Value; }
  const std::string& GetText() const noexcept { return FText; }
  void SetText(const std::string& Value) { FText = Value; }
  const std::string& GetWhitespace() const noexcept { return FWhitespace; }
  void SetWhitespace(const std::string& Value) { FWhitespace = Value; }

  /// True for the kind given (a TIEType or a punctuation kind).
  bool Is(int32_t Kind) const noexcept { return FDataType == Kind; }
  /// True for the end-of-input token.
  bool IsEOF() const noexcept { return FDataType == dtNone; }

  /// The token's text form as it appears in the consumed text and in messages: an integer in decimal, a
  /// float with four decimals, "?name" and "$?name" for variables, a string in double quotes (an inner
  /// quote or backslash preceded by a backslash, so the form reads back as the same string), and the text
  /// of any other kind (the character whose code is the kind when the text is empty).
  std::string GetToString() const;
  /// Appends GetToString to Out.
  void AppendToString(std::string& Out) const;
  std::string ToString() const override { return GetToString(); }

  /// A value made from the token: the shared TRUE, FALSE and nil values for those atoms (TRUE and FALSE as
  /// written, nil in any case), the shared end-of-file value for the end of input, a new value of the
  /// token's kind for atoms, strings, integers, floats and variables, and a string holding the kind in
  /// decimal for any other kind.
  IIEValue Value() const;
  /// For a variable token with a Context: the value bound to the variable's name, raising EIEException
  /// "Unknown variable name: %s" when no scope binds it. Otherwise as Value().
  IIEValue Value(TResolveContext* Context) const;
  /// Makes the token mirror Source: its kind, its text (text kinds) or its number (numeric kinds, fact ids,
  /// descriptors, and the addresses of objects and external addresses). The line number, tag and
  /// whitespace stay.
  void SetValue(const IIEValue& Source);

 private:
  void CopyFrom(const TIEStreamToken& Source);

  int32_t FDataType = dtNone;
  int32_t FLineNumber = 0;
  double FNumber = 0.0;
  std::string FText;
  int32_t FTag = 0;
  std::string FWhitespace;
};

}  // namespace rulecraft
