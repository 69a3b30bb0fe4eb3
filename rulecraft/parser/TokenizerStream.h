#pragma once
// TIETokenizerStream: the token operations a parser needs of the text it reads. It is a text stream, so it
// reads any text, stream or file; TIEClipsStream is the lexer of the rule language, and an engine can be
// given another tokenizer class.
//
// ISymbolGenerator: what a lexer needs of its engine, namely fresh symbols for the anonymous variables "?"
// and
// "$?". The engine implements it.
#include <string>

#include "rulecraft/collections/TextStream.h"
#include "rulecraft/parser/StreamToken.h"

namespace rulecraft {

class ISymbolGenerator {
 public:
  /// Prefix followed by a number no earlier call returned.
  virtual std::string GenerateSymbol(const std::string& Prefix) = 0;

 protected:
  ~ISymbolGenerator() = default;
};

class TIETokenizerStream : public TGTextStream {
  RC_CLASS(TIETokenizerStream, TGTextStream)
 public:
  using TGTextStream::TGTextStream;

  /// Drops the tokens read ahead and the consumed text; the line counter and nesting depth stay.
  virtual void Clear() = 0;
  /// Reads and drops the rest of the current line.
  virtual void DiscardUntilEOL() = 0;
  /// Takes tokens until the parentheses opened by the tokens taken are closed again, or the input ends:
  /// what a parser does to skip the rest of a construct it could not read.
  virtual void MoveToNextConstruct() = 0;
  /// The next token; at the end of the input, end-of-input tokens for ever.
  virtual IStreamToken NextToken() = 0;
  /// Makes Token the next token again, undoing what taking it did.
  virtual void PutBackToken(const IStreamToken& Token) = 0;
  /// The name of the construct or function the next S-expression opens, without taking it; empty when the
  /// next token does not open one.
  virtual std::string Head() = 0;
};

}  // namespace rulecraft
