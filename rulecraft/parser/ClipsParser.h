#pragma once
// TIEClipsParser: reads rule-language text and builds the engine's objects. It reads from a tokenizer
// (TIEClipsStream); the engine's text entry points give it a fresh tokenizer over each text. This part holds
// the top-level loop (Parse, ParseExpression with its echo), the dispatch on the head keyword of each
// S-expression, and the readers every construct parser reuses: values, lists, value pairs, singletons,
// function calls, facts and global-variable definitions, with error reporting and recovery.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/engine/EngineParser.h"
#include "rulecraft/functions/UserFunction.h"
#include "rulecraft/parser/ClipsStream.h"
#include "rulecraft/parser/ParseException.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

class TInferenceEngine;
class TFactSet;
class TCondition;
class TIEPattern;
class TRule;

/// A token that stands for a value by itself: an atom, string, integer, float, variable or multifield
/// variable.
bool IsValueToken(const TIEStreamToken& Token);

class TIEClipsParser : public TObject, public TEngineParser, private ISymbolGenerator {
  RC_CLASS(TIEClipsParser, TObject)
 public:
  explicit TIEClipsParser(TInferenceEngine* Engine);
  ~TIEClipsParser() override;

  TInferenceEngine* GetEngine() const noexcept { return FEngine; }
  /// The tokenizer being read (not owned); nullptr outside a parse.
  TIEClipsStream* GetStream() const noexcept { return FStream; }
  void SetStream(TIEClipsStream* Stream) noexcept;

  TErrorHandling GetErrorHandling() const noexcept { return FErrorHandling; }
  void SetErrorHandling(TErrorHandling Value) override { FErrorHandling = Value; }
  int32_t GetMaxErrors() const noexcept { return FMaxErrors; }
  void SetMaxErrors(int32_t Value) override { FMaxErrors = Value; }
  bool GetStaticTypeChecks() const noexcept { return FStaticTypeChecks; }
  void SetStaticTypeChecks(bool Value) override { FStaticTypeChecks = Value; }
  bool Reading() const noexcept override { return FStream != nullptr; }
  /// The class must make TIEClipsStream descendants (SWrongTokenizer otherwise, tried on an empty text).
  void SetTokenizerType(TTokenizerFactory Value) override;

  /// Functions whose parenthesised arguments are facts (start 0) or slot-value pairs (1-based positions
  /// Start..End).
  struct TSlotFunction {
    std::string Name;
    int32_t Start;
    int32_t End;
  };
  const std::vector<TSlotFunction>& GetSlotFunctions() const noexcept { return FSlotFunctions; }
  void AddSlotFunction(const std::string& Name, int32_t Start, int32_t End);
  /// Keep Start <= End: setting one past the other moves the other along; an end of 0 is stored as 1.
  void SetSlotFunctionStart(int32_t Index, int32_t Start);
  void SetSlotFunctionEnd(int32_t Index, int32_t End);

  // ---- the engine's text entry points
  bool Parse(const std::string& Text, bool Execute) override;
  IFact ParseFact(const std::string& Text) override;
  IIEValue ParseValue(const std::string& Text) override;
  IIEValue ParseValue(const std::string& Text, const TFactSlot& Slot) override;
  IFactSlot ParseFactTemplateSlot(const std::string& Text) override;
  std::unique_ptr<TRule> ParseRule(const std::string& Text) override;
  IFunCall ParseFunCall(const std::string& Text) override;
  IIEValue ParseNExecuteFunCall(const std::string& Text) override;
  bool LoadFacts(const std::string& Text) override;
  IIEValue FirstToken(const std::string& Text) override;
  IFactTemplate ParseFactTemplate(const std::string& Text) override;
  TFactSet* ParseFactSet(const std::string& Text) override;
  bool ParseGlobalVariables(const std::string& Text) override;
  IIEValue ParseVariable(const std::string& Text, std::string& Name) override;
  IValueVector ParseList(const std::string& Text) override;
  void ParseRulePatterns(TRule& Rule, const std::string& Text) override;
  void ParseRuleActions(TRule& Rule, const std::string& Text) override;
  std::string ParseFactSlot(TFact& Fact, const std::string& Text) override;
  ISingletonsVector ParseSingletons(const std::string& Text) override;
  using TEngineParser::PrettyPrint;
  std::string PrettyPrint(const TSingletonsVector& Vector) override;

  // ---- reading from the current tokenizer
  /// Reads the whole stream; see the error handling.
  bool Parse(bool Execute);
  /// Reads one top-level expression; false at the end of the input.
  bool ParseExpression(bool Execute);
  /// The kind of top-level expression Token opens.
  TParsedType GetConstructType(const IStreamToken& Token);
  /// A value or a sequence of values (a list value), up to ")" or the end of the input; nil for none.
  IIEValue ParseValue();
  /// The value an S-expression opened by Open (already taken) stands for: a singletons vector or a call.
  IIEValue ParseParenthesised(const IStreamToken& Open);
  /// Like ParseValue, always a list; "=" must introduce a call.
  IValueVector ParseList();
  /// "(" name values ")": a two-element list, the name as an atom and the value.
  IValueVector ParseValuePair();
  ISingletonsVector ParseSingletons();
  IFunCall ParseFunCall();
  IIEValue ParseNExecuteFunCall();
  IFact ParseFact();
  /// Reads one slot of Fact (all remaining values for an ordered template); returns the slot's name.
  std::string ParseFactSlot(TFact& Fact);
  IIEValue ParseValue(const TFactSlot& Slot);
  IIEValue ParseValue(TIETypes Types, const IIEDefinedType& DefinedType);
  /// One global-variable definition: "?*name* = value"; Name receives "*name*".
  IIEValue ParseVariable(std::string& Name);
  bool LoadFacts();

  // ---- constructs
  /// "(" Keyword name [comment]: Token is left holding the first token after the header.
  void ParseHeader(std::string& Name, std::string& Comment, IStreamToken& Token, const char* Message,
                   const char* Method, const char* Keyword, bool ReadComment);
  IFactTemplate ParseFactTemplate();
  /// One "(slot ...)" or "(multislot ...)" definition.
  IFactSlot ParseFactTemplateSlot();
  /// The words of a type list up to ")" (left for the caller); a defined type named there goes to
  /// DefinedType.
  TIETypes ParseSlotTypes(IIEDefinedType& DefinedType);
  /// "(range low high)" or "(cardinality low high)" into DefinedType; without a defined type, a range sets
  /// the limits of FuzzyVariable instead.
  void ParseRangeAndCardinality(const IIEDefinedType& DefinedType, bool IsCardinality, bool AllowVariables,
                                TIFuzzyVariable* FuzzyVariable = nullptr);
  /// "(allowed-... values)" into DefinedType.
  void ParseAllowedEnumerations(const IIEDefinedType& DefinedType);
  /// A fact set owned by the caller (not registered).
  std::unique_ptr<TFactSet> ParseFactSet();
  bool ParseGlobalVariables();
  /// A rule owned by the caller (not registered).
  std::unique_ptr<TRule> ParseRule();
  void ParseRulePatterns(TRule& Rule);
  /// One conditional element at negation Level; the pattern is owned by the caller.
  std::unique_ptr<TIEPattern> ParsePattern(int32_t Level);
  /// One conditional element that may be or hold `and` and `or` elements, at negation Level: a pattern
  /// (read by ParsePattern) or a tree of elements.
  std::unique_ptr<TCondition> ParseCondition(int32_t Level);
  /// After Token, a pattern's "?f <-" gives the variable's name; any other token goes back and gives "".
  std::string ReadPatternBinding(const IStreamToken& Token);
  /// Names the pattern of Element after Bound (nothing when empty); "?f <-" before anything but a plain
  /// pattern is an error.
  void BindPattern(TCondition& Element, const std::string& Bound);
  void ParseRuleActions(TRule& Rule);
  /// Raises the engine's warnings about the rule just read, which starts at Line (RuleWarnings.cpp): those
  /// its patterns left in FRuleWarnings, then those of its actions.
  void WarnAboutRule(const TRule& Rule, int32_t Line);
  /// A deftype, not registered.
  IIEDefinedType ParseDefinedType();
  IIEDefinedType ParseDefinedType(const std::string& Text) override;
  /// The body of a fuzzy deftype: "(range ...)", "(units ...)" and "(values (term ...) ...)" clauses up to
  /// the closing ")" of the deftype, which is left for the caller. The variable is named Name (the deftype's
  /// name; none when read on its own).
  IFuzzyVariable ParseFuzzyVariableBody(const std::string& Name);
  /// The same over Text, the variable without a name.
  IFuzzyVariable ParseFuzzyVariable(const std::string& Text) override;
  /// One "(term NAME VALUE...)": the value, unless already fuzzy, evaluated as a fuzzy expression of
  /// Variable (no value is the empty set); the set, always a copy, is named after the term and belongs to
  /// Variable. Not added to Variable. A term named like a hedge, keyword or bracket is "Invalid item in
  /// fuzzy expression: %s".
  IFuzzySet ParseFuzzySet(TIFuzzyVariable* Variable);
  IFuzzySet ParseFuzzySet(TIFuzzyVariable* Variable, const std::string& Text) override;
  /// A deffunction, not registered.
  IUserFunction ParseFunction();
  /// The same over Text.
  IUserFunction ParseFunction(const std::string& Text) override;

  /// Raises EIEParseException "Parsing Error, <method> in <method> at line <n>: <consumed>" (Part of the
  /// message: Message, then Method, the current token's line and the consumed text, shortened beyond 255
  /// characters to its first and last 128 around "... " and a line break).
  [[noreturn]] void ParseError(const std::string& Method, const std::string& Message);
  [[noreturn]] void ParseError(const std::string& Method, std::string_view Fmt,
                               std::initializer_list<TFormatArg> Args);

 private:
  class TUseStream;
  /// Runs Body with a fresh tokenizer over Text as the current one.
  template <class F>
  auto WithText(const std::string& Text, F&& Body) -> decltype(Body());
  std::string GenerateSymbol(const std::string& Prefix) override;
  IStreamToken Next();
  void PutBack(const IStreamToken& Token);
  /// The units a "units" clause names.
  static std::string UnitsText(const IStreamToken& Token);
  /// Counts one level of nesting of calls, lists and patterns; too deep is a parse error, never a stack
  /// overflow.
  class TNesting {
   public:
    TNesting(TIEClipsParser& Parser, const char* Method);
    TNesting(const TNesting&) = delete;
    TNesting& operator=(const TNesting&) = delete;
    ~TNesting() { --FParser.FDepth; }

   private:
    TIEClipsParser& FParser;
  };
  const TSlotFunction* FindSlotFunction(const std::string& Name) const;
  IIEValue CheckSlotValue(const IIEValue& Value, TIETypes Types, const IIEDefinedType& DefinedType);

  TInferenceEngine* FEngine;
  TIEClipsStream* FStream = nullptr;
  std::vector<TSlotFunction> FSlotFunctions;
  bool FStaticTypeChecks = true;
  TErrorHandling FErrorHandling = ehRaiseImmediate;
  int32_t FMaxErrors = 10;
  int32_t FDepth = 0;
  // The variables of the rule being read, with the kind of their first occurrence.
  std::vector<std::pair<std::string, TIEType>> FRuleVariables;
  // The warnings the patterns of the rule being read gave.
  std::vector<std::string> FRuleWarnings;
};

}  // namespace rulecraft
