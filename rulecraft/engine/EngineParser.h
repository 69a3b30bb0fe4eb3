#pragma once
// TEngineParser: what the engine needs of its parser. The parser layer implements it, and the library's top
// level registers the factory every new engine takes its parser from (TInferenceEngine::SetDefaultFactories);
// each operation reads the given text with a fresh tokenizer.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rulecraft/collections/TextStream.h"
#include "rulecraft/core/Enums.h"
#include "rulecraft/core/SingletonsVector.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactSlot.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/UserFunction.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

class TFactSet;
class TIEDefinedType;
class TIEPattern;
class TIEUserFunction;
class TInferenceEngine;
class TInterpretedFunction;
class TRule;

/// Makes a tokenizer over a text: an engine's tokenizer class (TInferenceEngine::SetTokenizerType).
using TTokenizerFactory = std::unique_ptr<TGTextStream> (*)(const std::string& Text);

/// What a top-level expression was.
enum TParsedType : uint8_t {
  ptNone,
  ptValue,
  ptFunCall,
  ptRule,
  ptFactSet,
  ptFactTemplate,
  ptFunction,
  ptGlobals,
  ptDefType,
  ptEOF
};
const TEnumInfo& TParsedTypeInfo();

/// The parse events: each is raised by the parser (the Sender) after it has read one thing of its kind. The
/// engine publishes them as its own: they live in the parser, and the engine reads and writes them there.
struct TParseEvents {
  /// After each top-level expression: its kind, the rule or fact set read (else nullptr) and the template,
  /// function, defined type or value it gave.
  std::function<void(TObject* Sender, TParsedType ParsedType, TObject* Object, const IIEValue& Result)>
      OnParse;
  std::function<void(TObject* Sender, const IIEDefinedType& Type)> OnParseDefinedType;
  std::function<void(TObject* Sender, const IFact& Fact)> OnParseFact;
  std::function<void(TObject* Sender, TFactSet* FactSet)> OnParseFactSet;
  std::function<void(TObject* Sender, const IFactTemplate& Template)> OnParseFactTemplate;
  std::function<void(TObject* Sender, const IUserFunction& Function)> OnParseFunction;
  std::function<void(TObject* Sender, const IFunCall& FunCall)> OnParseFunCall;
  std::function<void(TObject* Sender, const IFuzzySet& FuzzySet)> OnParseFuzzySet;
  std::function<void(TObject* Sender, const IFuzzyVariable& FuzzyVariable)> OnParseFuzzyVariable;
  std::function<void(TObject* Sender, const ISingletonsVector& Singletons)> OnParseSingletons;
  std::function<void(TObject* Sender, const std::string& VarName, const IIEValue& Value)> OnParseVariable;
  std::function<void(TObject* Sender, TIEPattern* Pattern)> OnParsePattern;
  std::function<void(TObject* Sender, TRule* Rule)> OnParseRule;
};

class TEngineParser : public ISingletonsParser, public TParseEvents {
 public:
  virtual ~TEngineParser() = default;

  /// Reads a whole text: constructs are registered, top-level values and calls evaluated (executed when
  /// Execute) and echoed. Errors are raised as the error handling says.
  virtual bool Parse(const std::string& Text, bool Execute) = 0;
  virtual IFact ParseFact(const std::string& Text) = 0;
  virtual IIEValue ParseValue(const std::string& Text) = 0;
  virtual IIEValue ParseValue(const std::string& Text, const TFactSlot& Slot) = 0;
  virtual IFactSlot ParseFactTemplateSlot(const std::string& Text) = 0;
  virtual std::unique_ptr<TRule> ParseRule(const std::string& Text) = 0;
  virtual IFunCall ParseFunCall(const std::string& Text) = 0;
  virtual IIEValue ParseNExecuteFunCall(const std::string& Text) = 0;
  virtual IFactTemplate ParseFactTemplate(const std::string& Text) = 0;
  /// A deftype read from Text, not registered.
  virtual IIEDefinedType ParseDefinedType(const std::string& Text) = 0;
  /// The body of a fuzzy deftype (its range, units and values clauses) as a fuzzy variable.
  virtual IFuzzyVariable ParseFuzzyVariable(const std::string& Text) = 0;
  /// One "(term NAME VALUE)" for Variable.
  virtual IFuzzySet ParseFuzzySet(TIFuzzyVariable* Variable, const std::string& Text) = 0;
  /// A deffunction read from Text, not registered.
  virtual IUserFunction ParseFunction(const std::string& Text) = 0;
  /// A fact set read from Text, owned by the engine component and not registered.
  virtual TFactSet* ParseFactSet(const std::string& Text) = 0;
  /// Reads a defglobal and stores its variables.
  virtual bool ParseGlobalVariables(const std::string& Text) = 0;
  /// One "?*name* = value" definition; Name receives the name.
  virtual IIEValue ParseVariable(const std::string& Text, std::string& Name) = 0;
  virtual IValueVector ParseList(const std::string& Text) = 0;
  /// Reads the patterns of Text into Rule.
  virtual void ParseRulePatterns(TRule& Rule, const std::string& Text) = 0;
  /// Reads the actions of Text into Rule.
  virtual void ParseRuleActions(TRule& Rule, const std::string& Text) = 0;
  /// Reads one slot clause of Fact ("(name values)", or the values of an ordered fact); returns the name.
  virtual std::string ParseFactSlot(TFact& Fact, const std::string& Text) = 0;
  /// Reads facts until the end of the text and asserts each.
  virtual bool LoadFacts(const std::string& Text) = 0;

  /// The value of the first token of Text (the shared end-of-file value when there is none).
  virtual IIEValue FirstToken(const std::string& Text) = 0;

  // The printer: one overridable operation per kind of construct, so that a descendant parser can write
  // another syntax. The engine prints everything it owns through these. By default each writes the rule
  // language (the printing functions kept with each construct).
  using ISingletonsParser::PrettyPrint;
  virtual std::string PrettyPrint(const TFactTemplate& Template);
  virtual std::string PrettyPrint(const TFactSlot& Slot);
  virtual std::string PrettyPrint(const TFact& Fact);
  virtual std::string PrettyPrint(const TFunctionCall& FunCall);
  /// A built-in function's help block, or the deffunction of a function written in the rule language.
  virtual std::string PrettyPrint(const TIEUserFunction& Function);
  virtual std::string PrettyPrint(const TInterpretedFunction& Function);
  virtual std::string PrettyPrint(const TIEDefinedType& DefinedType);
  virtual std::string PrettyPrint(const TIFuzzyVariable& Variable);
  virtual std::string PrettyPrint(const TIFuzzySet& Set);
  virtual std::string PrettyPrint(const TIEPattern& Pattern);
  virtual std::string PrettyPrint(const TRule& Rule);
  virtual std::string PrettyPrint(const TFactSet& FactSet);

  /// True while the parser reads a text (a parser must not be replaced then).
  virtual bool Reading() const noexcept { return false; }
  /// The tokenizer class the engine hands over (nullptr: the parser's own lexer).
  TTokenizerFactory GetTokenizerType() const noexcept { return FTokenizerType; }
  /// A parser refuses a class it cannot read from and keeps the one it had.
  virtual void SetTokenizerType(TTokenizerFactory Value) { FTokenizerType = Value; }

  virtual void SetErrorHandling(TErrorHandling Value) = 0;
  virtual void SetMaxErrors(int32_t Value) = 0;
  virtual void SetStaticTypeChecks(bool Value) = 0;

 private:
  TTokenizerFactory FTokenizerType = nullptr;
};

/// Makes the parser of an engine: the engine's parser class (TInferenceEngine::SetParserType).
using TEngineParserFactory = std::unique_ptr<TEngineParser> (*)(TInferenceEngine* Engine);

}  // namespace rulecraft
