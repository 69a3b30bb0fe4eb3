#include "rulecraft/parser/ClipsParser.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/StringList.h"
#include "rulecraft/fuzzyset/FuzzySet.h"

namespace rulecraft {

namespace {

// Calls and lists nest at most this deep in the text: deeper input is an error, never a stack overflow.
constexpr int32_t MaxParseNesting = 1000;
constexpr size_t LongConstruct = 255;
constexpr size_t ConstructEnds = 128;

bool IsVariableKind(TIEType Kind) { return Kind == dtVariable || Kind == dtMultiVariable; }

std::string UpperCase(std::string Text) {
  for (char& C : Text) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  return Text;
}

IIEValue CallValue(const IFunCall& Call) { return MakeRef<TIEValue>(TRef<TFunCallBase>(Call)); }

/// A tokenizer of the class Make stands for over Text; SWrongTokenizer when it is not a TIEClipsStream.
std::unique_ptr<TIEClipsStream> MakeTokenizer(TTokenizerFactory Make, const std::string& Text) {
  std::unique_ptr<TGTextStream> Made = Make(Text);
  auto* Tokenizer = dynamic_cast<TIEClipsStream*>(Made.get());
  if (!Tokenizer) throw EIEException(SWrongTokenizer, {Made ? Made->ClassName() : std::string("nil")});
  (void)Made.release();
  return std::unique_ptr<TIEClipsStream>(Tokenizer);
}

}  // namespace

// The tokenizer a text entry point reads, made current for the duration and restored afterwards.
class TIEClipsParser::TUseStream {
 public:
  TUseStream(TIEClipsParser& Parser, const std::string& Text)
      : FParser(Parser), FOld(Parser.FStream), FOldDepth(Parser.FDepth) {
    TIEClipsStream* Stream;
    if (const TTokenizerFactory Make = Parser.GetTokenizerType()) {
      FMade = MakeTokenizer(Make, Text);
      Stream = FMade.get();
    } else {
      Stream = &FStream.emplace(Text);
    }
    Stream->SetEngine(&Parser);
    Parser.FStream = Stream;
    Parser.FDepth = 0;
  }
  TUseStream(const TUseStream&) = delete;
  TUseStream& operator=(const TUseStream&) = delete;
  ~TUseStream() {
    FParser.FStream = FOld;
    FParser.FDepth = FOldDepth;
  }

 private:
  TIEClipsParser& FParser;
  TIEClipsStream* FOld;
  int32_t FOldDepth;
  std::optional<TIEClipsStream> FStream;  // the parser's own lexer
  std::unique_ptr<TIEClipsStream> FMade;  // or one of the engine's tokenizer class
};

TIEClipsParser::TNesting::TNesting(TIEClipsParser& Parser, const char* Method) : FParser(Parser) {
  if (++FParser.FDepth > MaxParseNesting) {
    --FParser.FDepth;
    FParser.ParseError(Method, SParseNestingTooDeep, {MaxParseNesting});
  }
}

template <class F>
auto TIEClipsParser::WithText(const std::string& Text, F&& Body) -> decltype(Body()) {
  TUseStream Use(*this, Text);
  return Body();
}

// ---- lifetime
// ----------------------------------------------------------------------------------------------

TIEClipsParser::TIEClipsParser(TInferenceEngine* Engine) : FEngine(Engine) {
  FSlotFunctions = {{"assert", 0, 65535},
                    {"fuzzy-assert", 0, 65535},
                    {"fuzzy-assert-unconditional", 0, 65535},
                    {"modify", 1, 65535},
                    {"duplicate", 1, 65535}};
}

TIEClipsParser::~TIEClipsParser() = default;

void TIEClipsParser::SetStream(TIEClipsStream* Stream) noexcept { FStream = Stream; }

void TIEClipsParser::SetTokenizerType(TTokenizerFactory Value) {
  if (Value) (void)MakeTokenizer(Value, std::string());
  TEngineParser::SetTokenizerType(Value);
}

std::string TIEClipsParser::GenerateSymbol(const std::string& Prefix) {
  return FEngine->GenerateSymbol(Prefix);
}

void TIEClipsParser::AddSlotFunction(const std::string& Name, int32_t Start, int32_t End) {
  FSlotFunctions.push_back(TSlotFunction{Name, Start, End == 0 ? 65535 : End});
}

void TIEClipsParser::SetSlotFunctionStart(int32_t Index, int32_t Start) {
  TSlotFunction& Entry = FSlotFunctions.at(static_cast<size_t>(Index));
  Entry.Start = Start;
  if (Entry.End < Start) Entry.End = Start;
}

void TIEClipsParser::SetSlotFunctionEnd(int32_t Index, int32_t End) {
  TSlotFunction& Entry = FSlotFunctions.at(static_cast<size_t>(Index));
  Entry.End = End == 0 ? 1 : End;
  if (Entry.Start > Entry.End) Entry.Start = Entry.End;
}

const TIEClipsParser::TSlotFunction* TIEClipsParser::FindSlotFunction(const std::string& Name) const {
  for (const TSlotFunction& Entry : FSlotFunctions)
    if (Entry.Name == Name) return &Entry;
  return nullptr;
}

// ---- tokens and errors
// -------------------------------------------------------------------------------------

IStreamToken TIEClipsParser::Next() { return FStream->NextToken(); }

void TIEClipsParser::PutBack(const IStreamToken& Token) { FStream->PutBackToken(Token); }

void TIEClipsParser::ParseError(const std::string& Method, const std::string& Message) {
  std::string Consumed = FStream ? FStream->GetToString() : std::string();
  if (Consumed.size() > LongConstruct)
    Consumed = Consumed.substr(0, ConstructEnds) + "... " + NewLineString +
               Consumed.substr(Consumed.size() - ConstructEnds);
  const int32_t Line = FStream ? FStream->GetCurrentToken()->GetLineNumber() : 0;
  throw EIEParseException(SParseError, {Message, Method, std::to_string(Line), Consumed}, Line);
}

void TIEClipsParser::ParseError(const std::string& Method, std::string_view Fmt,
                                std::initializer_list<TFormatArg> Args) {
  ParseError(Method, Format(Fmt, Args));
}

bool IsValueToken(const TIEStreamToken& Token) {
  switch (Token.GetDataType()) {
    case dtAtom:
    case dtString:
    case dtInteger:
    case dtVariable:
    case dtFloat:
    case dtMultiVariable:
      return true;
    default:
      return false;
  }
}

// ---- the top level
// -----------------------------------------------------------------------------------------

TParsedType TIEClipsParser::GetConstructType(const IStreamToken& Token) {
  if (Token->IsEOF()) return ptEOF;
  switch (Token->GetDataType()) {
    case dtAtom:
    case dtInteger:
    case dtVariable:
    case dtFloat:
    case dtMultiVariable:
      return ptValue;
    default:
      break;
  }
  if (!Token->Is(tkOpenParen)) ParseError("ParseExpression", SExpectedParenConstVar, {Token->GetToString()});
  PutBack(Token);
  const std::string Head = FStream->Head();
  if (Head == "defrule") return ptRule;
  if (Head == "deffacts") return ptFactSet;
  if (Head == "deftemplate") return ptFactTemplate;
  if (Head == "deffunction") return ptFunction;
  if (Head == "defglobal") return ptGlobals;
  if (Head == "deftype") return ptDefType;
  if (Head == "EOF") return ptEOF;
  return ptFunCall;
}

bool TIEClipsParser::ParseExpression(bool Execute) {
  IIEValue Result = FCNil;
  TParsedType Kind = GetConstructType(Next());
  switch (Kind) {
    case ptValue:
      Result = FStream->GetCurrentToken()->Value(FEngine->GetContext());
      break;
    case ptFunCall:
      Result = Execute ? ParseNExecuteFunCall() : CallValue(ParseFunCall());
      break;
    case ptRule: {
      std::unique_ptr<TRule> Rule = ParseRule();
      TRule* Stored = Rule.release();
      try {
        FEngine->GetRules().Put(Stored);
      } catch (...) {
        // Stored once in the collection (an error after that, in a watch line or a handler), the rule is
        // the engine's; otherwise it is freed here.
        if (FEngine->GetRules().Get(Stored->GetRuleName()) != Stored) delete Stored;
        throw;
      }
      // A rule refused as a duplicate (dcIgnore) is not kept.
      if (FEngine->GetRules().Get(Stored->GetRuleName()) != Stored) delete Stored;
      break;
    }
    case ptFactSet: {
      std::unique_ptr<TFactSet> Set = ParseFactSet();  // owned by the engine component already
      Set->SetEngineNoParse(FEngine);
      (void)Set.release();
      break;
    }
    case ptFactTemplate:
      FEngine->GetFactTemplates().Put(ParseFactTemplate());
      break;
    case ptFunction: {
      const IUserFunction Function = ParseFunction();
      FEngine->GetUserFunctionTable().Put(Function->GetFunctionName(), Function);
      break;
    }
    case ptGlobals:
      ParseGlobalVariables();
      break;
    case ptDefType:
      FEngine->GetDefinedTypes().Put(ParseDefinedType());
      break;
    case ptEOF:
      if (FStream->GetCurrentToken()->Is(tkOpenParen)) Next();  // "(EOF": the marker ends the input
      Result = FCEOF;
      break;
    case ptNone:
      break;
  }
  // A return typed at the top level ends that expression only; its expression is evaluated here, as a
  // function evaluates the expression its body returns.
  if (TIEContext* Top = FEngine->GetContext(); Top->GetReturn()) {
    const IIEValue Returned = Top->GetReturnValue();
    Top->ClearReturnValue();
    if (Returned) {
      IIEValue Value;
      Returned->Resolve(Top, Value);
      Result = Value ? Value : FCNil;
    }
  }
  // Only the end of the input ends the parse: a call answering EOF (read at the end of its input) is
  // echoed like any other result.
  const bool AtEnd = Kind == ptEOF;
  if (!Result || Result->Equals(FCNil)) Kind = ptNone;
  if ((Kind == ptValue || Kind == ptFunCall) && Result && FEngine->GetEchoResults())
    FEngine->PrintOut(std::string(), Result->GetToString() + NewLineString);
  if (OnParse) OnParse(this, Kind, nullptr, Result);
  return !AtEnd;
}

bool TIEClipsParser::Parse(bool Execute) {
  if (FErrorHandling == ehRaiseImmediate) {
    while (ParseExpression(Execute)) {
    }
    return true;
  }
  TStringList Errors;
  auto Raise = [&Errors, this]() {
    const int32_t Line = FStream ? FStream->GetCurrentToken()->GetLineNumber() : 0;
    if (Errors.Count() == 1) throw EIEParseException(Errors.GetText(), Line);
    std::string Text = Errors.GetText();
    if (Text.size() >= 2) Text.resize(Text.size() - 2);  // one message per line
    throw EIEParseException(SMultipleParseError, {Text}, Line);
  };
  for (;;) {
    try {
      if (!ParseExpression(true)) break;
      continue;
    } catch (const EIEExit&) {
      if (Errors.Count() > 0) Raise();
      throw;
    } catch (const EIEParseException& E) {
      Errors.Add(E.Message());
    } catch (const Exception& E) {
      const int32_t Line = FStream->GetCurrentToken()->GetLineNumber();
      Errors.Add(Format(SParseError, {E.Message(), "Parse", std::to_string(Line), FStream->GetToString()}));
    }
    if (Errors.Count() > FMaxErrors) break;
    FStream->MoveToNextConstruct();
  }
  if (Errors.Count() > 0) Raise();
  return true;
}

// ---- values
// ------------------------------------------------------------------------------------------------

// After a "(": "((" opens a list of points, anything else a call.
IIEValue TIEClipsParser::ParseParenthesised(const IStreamToken& Open) {
  IStreamToken After = Next();
  PutBack(After);
  PutBack(Open);
  if (After->Is(tkOpenParen)) return MakeRef<TIEValue>(ParseSingletons());
  return CallValue(ParseFunCall());
}

IIEValue TIEClipsParser::ParseValue() {
  TNesting Guard(*this, "ParseValue");
  std::vector<IIEValue> Values;
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen) || Token->IsEOF()) {
      PutBack(Token);
      break;
    }
    if (Token->Is(tkOpenBracket) || Token->Is(tkCloseBracket)) {
      Values.push_back(MakeRef<TIEValue>(std::string(1, static_cast<char>(Token->GetDataType())), dtAtom));
    } else if (Token->Is(tkOpenParen)) {
      Values.push_back(ParseParenthesised(Token));
    } else if (IsValueToken(*Token)) {
      Values.push_back(Token->Value());
    } else if (Values.empty()) {
      ParseError("ParseValue", SBadArgument, {Token->GetToString()});
    } else {
      PutBack(Token);
      break;
    }
  }
  if (Values.empty()) return IIEValue();
  if (Values.size() == 1) return Values.front();
  IValueVector List = MakeRef<TValueVector>();
  for (const IIEValue& Value : Values) List->Add(Value);
  return MakeRef<TIEValue>(List);
}

IValueVector TIEClipsParser::ParseList() {
  TNesting Guard(*this, "ParseList");
  IValueVector List = MakeRef<TValueVector>();
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen) || Token->IsEOF()) {
      PutBack(Token);
      break;
    }
    if (Token->Is(tkOpenBracket) || Token->Is(tkCloseBracket)) {
      List->Add(MakeRef<TIEValue>(std::string(1, static_cast<char>(Token->GetDataType())), dtAtom));
    } else if (Token->Is(tkEquals)) {
      IStreamToken After = Next();
      if (!After->Is(tkOpenParen)) ParseError("ParseList", SAtomNotEquals);
      PutBack(After);
      List->Add(CallValue(ParseFunCall()));
    } else if (Token->Is(tkOpenParen)) {
      List->Add(ParseParenthesised(Token));
    } else if (IsValueToken(*Token)) {
      List->Add(Token->Value());
    } else {
      ParseError("ParseList", SBadSlotValue, {Token->GetToString()});
    }
  }
  return List;
}

IValueVector TIEClipsParser::ParseValuePair() {
  if (!Next()->Is(tkOpenParen)) ParseError("ParseValuePair", SExpectedAtom);
  IStreamToken Name = Next();
  if (!Name->Is(dtAtom)) ParseError("ParseValuePair", SExpectedAtom);
  IIEValue Value = ParseValue();
  if (!Value) ParseError("ParseValuePair", SExpectedValue);
  if (!Next()->Is(tkCloseParen)) ParseError("ParseValuePair", SMissingCloseParens);
  IValueVector Pair = MakeRef<TValueVector>();
  Pair->Add(MakeRef<TIEValue>(Name->GetText(), dtAtom));
  Pair->Add(Value);
  return Pair;
}

ISingletonsVector TIEClipsParser::ParseSingletons() {
  TNesting Guard(*this, "ParseFuzzyPoints");
  if (!Next()->Is(tkOpenParen)) ParseError("ParseFuzzyPoints", SMissingOpenParens);
  ISingletonsVector Points = MakeRef<TSingletonsVector>(this);
  auto Coordinate = [this]() -> IIEValue {
    IStreamToken Token = Next();
    if (Token->Is(dtInteger) || Token->Is(dtFloat) || Token->Is(dtVariable)) return Token->Value();
    if (Token->Is(tkOpenParen)) {
      PutBack(Token);
      return CallValue(ParseFunCall());
    }
    ParseError("ParseFuzzyPoints", SExpectedNumVarFun);
  };
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen)) break;
    if (!Token->Is(tkOpenParen)) ParseError("ParseFuzzyPoints", SMissingOpenParens);
    IIEValue X = Coordinate();
    IIEValue Y = Coordinate();
    if (!Next()->Is(tkCloseParen)) ParseError("ParseFuzzyPoints", SMissingCloseParens);
    Points->Add(X, Y);
  }
  if (OnParseSingletons) OnParseSingletons(this, Points);
  return Points;
}

// ---- function calls
// ----------------------------------------------------------------------------------------

IFunCall TIEClipsParser::ParseFunCall() {
  TNesting Guard(*this, "ParseFunCall");
  IStreamToken Open = Next();
  if (!Open->Is(tkOpenParen)) ParseError("ParseFunCall", SMissingOpenParens);
  const std::string Comment = Trim(Open->GetWhitespace());
  IStreamToken NameToken = Next();
  std::string Name;
  IIEValue FirstArgument;
  if (NameToken->Is(dtAtom) || NameToken->Is(tkEquals)) {
    Name = NameToken->GetToString();
  } else if (NameToken->Is(dtVariable) || NameToken->Is(dtMultiVariable)) {
    Name = "__get-var";
    FirstArgument = NameToken->Value();
  } else {
    ParseError("ParseFunCall", SMissingName);
  }
  IFunCall Call = MakeRef<TFunctionCall>(FEngine, Name);
  Call->SetComment(Comment);
  if (FirstArgument) Call->AddArgument(FirstArgument);
  const TSlotFunction* Slots = FindSlotFunction(Name);
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen)) break;
    if (Token->IsEOF()) ParseError("ParseFunCall", SUnexpectedEOF);
    if (IsValueToken(*Token)) {
      Call->AddArgument(Token->Value());
    } else if (Token->Is(tkOpenParen)) {
      const int32_t Position = Call->GetArgumentCount() + 1;
      if (Slots && Slots->Start == 0) {
        PutBack(Token);
        Call->AddArgument(MakeRef<TIEValue>(TRef<TFactBase>(ParseFact())));
      } else if (Slots && Position >= Slots->Start && Position <= Slots->End) {
        PutBack(Token);
        Call->AddArgument(MakeRef<TIEValue>(ParseValuePair()));
      } else {
        Call->AddArgument(ParseParenthesised(Token));
      }
    } else {
      Call->AddArgument(MakeRef<TIEValue>(std::string(1, static_cast<char>(Token->GetDataType())), dtString));
    }
  }
  if (OnParseFunCall) OnParseFunCall(this, Call);
  return Call;
}

IIEValue TIEClipsParser::ParseNExecuteFunCall() {
  IFunCall Call = ParseFunCall();
  IIEValue Result;
  Call->Execute(FEngine->GetContext(), Result);
  return Result;
}

// ---- facts
// -------------------------------------------------------------------------------------------------

IFact TIEClipsParser::ParseFact() {
  TNesting Guard(*this, "ParseFact");
  if (!Next()->Is(tkOpenParen)) ParseError("ParseFact", SExpectedAtom);
  IStreamToken Name = Next();
  if (!Name->Is(dtAtom)) ParseError("ParseFact", SExpectedAtom);
  IFactTemplate Template = FEngine->CreateFactTemplate(Name->GetText());
  IFact Fact = MakeRef<TFact>(Template);
  std::vector<std::string> Given;
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen)) break;
    if (Token->IsEOF()) ParseError("ParseFact", SMissingCloseParens);
    PutBack(Token);
    Given.push_back(ParseFactSlot(*Fact));
    if (Fact->IsOrdered()) {
      if (!Next()->Is(tkCloseParen)) ParseError("ParseFact", SMissingCloseParens);
      break;
    }
  }
  // A slot declared with (default ?NONE) has no default to fall back on.
  for (const auto& Entry : Template->GetSlots()) {
    const TFactSlot& Slot = *Entry.Slot;
    if (Slot.IsRequired() && std::find(Given.begin(), Given.end(), Slot.GetName()) == Given.end())
      ParseError("ParseFact", SRequiredSlot, {Slot.GetName(), Template->GetTemplateName()});
  }
  if (OnParseFact) OnParseFact(this, Fact);
  return Fact;
}

std::string TIEClipsParser::ParseFactSlot(TFact& Fact) {
  const IFactTemplate& Template = Fact.GetTemplate();
  if (Fact.IsOrdered()) {
    const IFactSlot* Slot = Template->FindSlot(SDefaultSlotName);
    IIEValue Values = Slot ? ParseValue(**Slot) : MakeRef<TIEValue>(ParseList());
    Fact.SetValue(SDefaultSlotName, Values);
    return SDefaultSlotName;
  }
  if (!Next()->Is(tkOpenParen)) ParseError("ParseFactSlot", SMissingOpenParens);
  IStreamToken Name = Next();
  if (!Name->Is(dtAtom)) ParseError("ParseFactSlot", SBadSlotName, {Name->GetToString()});
  const IFactSlot* Slot = Template->FindSlot(Name->GetText());
  if (!Slot) ParseError("ParseFactSlot", SBadSlotName, {Name->GetToString()});
  IIEValue Value = ParseValue(**Slot);
  if (!Next()->Is(tkCloseParen)) ParseError("ParseFactSlot", SMissingCloseParens);
  Fact.SetValue(Name->GetText(), Value ? Value : FCNil);
  return Name->GetText();
}

IIEValue TIEClipsParser::ParseValue(const TFactSlot& Slot) {
  IIEValue Value = ParseValue(Slot.GetSlotType(), Slot.GetExtendedTypeInfo());
  if (!FStaticTypeChecks || !Value || Slot.IsValid(Value)) return Value;
  if (Value->GetDType() == dtInteger && Slot.GetSlotType().Contains(dtFloat)) {
    IIEValue Converted = MakeRef<TIEValue>(static_cast<double>(Value->GetAsInteger()));
    if (Slot.IsValid(Converted)) return Converted;
  }
  ParseError("ParseValue(Fact Slot)", Slot.GetInvalidValueString(Value));
}

namespace {

// Whether Value holds a variable or a call anywhere (itself, an element of a multifield, a coordinate of a
// point list): a fuzzy expression holding one is evaluated when it runs, in the context that binds it.
bool HoldsRuntimeParts(const IIEValue& Value) {
  if (!Value) return false;
  switch (Value->GetDType()) {
    case dtVariable:
    case dtMultiVariable:
    case dtFunCall:
      return true;
    case dtList: {
      const IValueVector List = Value->GetAsList();
      for (int32_t I = 0; List && I < List->GetValueCount(); ++I)
        if (HoldsRuntimeParts(List->Get(I))) return true;
      return false;
    }
    case dtSingletons: {
      const ISingletonsVector Points = Value->GetAsSingletons();
      for (int32_t I = 0; Points && I < Points->GetCount(); ++I)
        if (HoldsRuntimeParts(Points->GetXValues(I)) || HoldsRuntimeParts(Points->GetYValues(I))) return true;
      return false;
    }
    default:
      return false;
  }
}

}  // namespace

IIEValue TIEClipsParser::ParseValue(TIETypes Types, const IIEDefinedType& DefinedType) {
  const bool Fuzzy = Types.Contains(dtFuzzy);
  if (Fuzzy && !DefinedType) ParseError("ParseValue", SNeedFuzzyType);
  IIEValue Value;
  if (Types.Contains(dtMultiSlot)) {
    Value = MakeRef<TIEValue>(ParseList());
  } else if (Fuzzy) {
    Value = ParseValue();
  } else {
    IStreamToken Token = Next();
    if (Token->Is(tkOpenParen)) {
      PutBack(Token);
      Value = CallValue(ParseFunCall());
    } else if (Token->Is(tkEquals)) {
      IStreamToken After = Next();
      if (!After->Is(tkOpenParen)) ParseError("ParseValue", SAtomNotEquals);
      PutBack(After);
      Value = CallValue(ParseFunCall());
    } else if (IsValueToken(*Token)) {
      Value = Token->Value();
    } else {
      ParseError("ParseValue", SBadSlotValue, {Token->GetToString()});
    }
  }
  if (Fuzzy && FStaticTypeChecks && Value && !IsVariableKind(Value->GetDType()) &&
      !HoldsRuntimeParts(Value)) {
    // A multislot may hold several expressions ("hot cold"): one fuzzy value each.
    TIFuzzyVariable* Variable = DefinedType->GetFuzzyType().get();
    const bool Multi = Types.Contains(dtMultiSlot) || Types.Contains(dtList);
    if (Multi) return FEngine->EvalFuzzyValue(Variable, Value, FEngine->GetContext());
    IFuzzySet Set = FEngine->EvalFuzzyExpression(Variable, Value, FEngine->GetContext());
    if (!Set) ParseError("ParseValue", SInvalidFuzzyExpression, {Value->GetToString()});
    return MakeRef<TIEValue>(Set);
  }
  return CheckSlotValue(Value, Types, DefinedType);
}

IIEValue TIEClipsParser::CheckSlotValue(const IIEValue& Value, TIETypes Types,
                                        const IIEDefinedType& DefinedType) {
  if (!FStaticTypeChecks || !Value) return Value;
  const TIEType Kind = Value->GetDType();
  if (Kind == dtNone || Kind == dtVariable || Kind == dtFunCall || Kind == dtMultiVariable) return Value;
  if (DefinedType) {
    if (!DefinedType->IsValid(Value))
      ParseError("ParseValue(SlotTypes)", DefinedType->GetInvalidValueString(Value));
    return Value;
  }
  if (Types.Contains(Kind) || (Kind == dtList && Types.Contains(dtMultiSlot))) return Value;
  if (Kind == dtFloat && Types.Contains(dtInteger))
    return MakeRef<TIEValue>(Value->GetAsInteger(), dtInteger);
  if (Kind == dtInteger && Types.Contains(dtFloat))
    return MakeRef<TIEValue>(static_cast<double>(Value->GetAsInteger()));
  // The allowed kinds read as the slot's own type error does: names without their prefix, upper-cased.
  const std::string Allowed = UpperCase(SetToString(Types, ", ", false));
  ParseError("ParseValue(SlotTypes)", SNotCorrectSlotType,
             {Format(SNotCorrectType, {Allowed, Value->GetToString(), GetIETypeName(Kind)}), "ParseValue"});
}

IIEValue TIEClipsParser::ParseVariable(std::string& Name) {
  IStreamToken Token = Next();
  if (!Token->Is(dtVariable)) ParseError("ParseVariable", SMissingName);
  const std::string& Text = Token->GetText();
  if (Text.size() < 2 || Text.front() != '*' || Text.back() != '*')
    ParseError("ParseVariable", SBadVariableName, {Token->GetToString()});
  Name = Text;
  if (!Next()->Is(tkEquals)) ParseError("ParseVariable", SExpectedChar, {"="});
  IStreamToken ValueToken = Next();
  IIEValue Value;
  if (ValueToken->Is(tkOpenParen)) {
    PutBack(ValueToken);
    Value = CallValue(ParseFunCall());
  } else if (IsValueToken(*ValueToken)) {
    Value = ValueToken->Value();
  } else {
    ParseError("ParseVariable", SBadSlotValue, {ValueToken->GetToString()});
  }
  if (OnParseVariable) OnParseVariable(this, Name, Value);
  return Value;
}

bool TIEClipsParser::LoadFacts() {
  for (;;) {
    IStreamToken Token = Next();
    if (Token->IsEOF()) break;
    PutBack(Token);
    FEngine->Assert(ParseFact(), false);
  }
  return true;
}

// ---- text entry points
// -------------------------------------------------------------------------------------

bool TIEClipsParser::Parse(const std::string& Text, bool Execute) {
  return WithText(Text, [&] { return Parse(Execute); });
}

IFact TIEClipsParser::ParseFact(const std::string& Text) {
  return WithText(Text, [&] { return ParseFact(); });
}

IIEValue TIEClipsParser::ParseValue(const std::string& Text) {
  return WithText(Text, [&] { return ParseValue(); });
}

IIEValue TIEClipsParser::ParseValue(const std::string& Text, const TFactSlot& Slot) {
  return WithText(Text, [&] { return ParseValue(Slot); });
}

IFactSlot TIEClipsParser::ParseFactTemplateSlot(const std::string& Text) {
  return WithText(Text, [&] { return ParseFactTemplateSlot(); });
}

std::unique_ptr<TRule> TIEClipsParser::ParseRule(const std::string& Text) {
  return WithText(Text, [&] { return ParseRule(); });
}

IFunCall TIEClipsParser::ParseFunCall(const std::string& Text) {
  return WithText(Text, [&] { return ParseFunCall(); });
}

IIEValue TIEClipsParser::ParseNExecuteFunCall(const std::string& Text) {
  return WithText(Text, [&] { return ParseNExecuteFunCall(); });
}

IFactTemplate TIEClipsParser::ParseFactTemplate(const std::string& Text) {
  return WithText(Text, [&] { return ParseFactTemplate(); });
}

TFactSet* TIEClipsParser::ParseFactSet(const std::string& Text) {
  return WithText(Text, [&] { return ParseFactSet().release(); });
}

bool TIEClipsParser::ParseGlobalVariables(const std::string& Text) {
  return WithText(Text, [&] { return ParseGlobalVariables(); });
}

IIEValue TIEClipsParser::ParseVariable(const std::string& Text, std::string& Name) {
  return WithText(Text, [&] { return ParseVariable(Name); });
}

IValueVector TIEClipsParser::ParseList(const std::string& Text) {
  return WithText(Text, [&] { return ParseList(); });
}

void TIEClipsParser::ParseRulePatterns(TRule& Rule, const std::string& Text) {
  FRuleVariables.clear();
  WithText(Text, [&] { ParseRulePatterns(Rule); });
}

IIEDefinedType TIEClipsParser::ParseDefinedType(const std::string& Text) {
  return WithText(Text, [&] { return ParseDefinedType(); });
}

IFuzzyVariable TIEClipsParser::ParseFuzzyVariable(const std::string& Text) {
  return WithText(Text, [&] { return ParseFuzzyVariableBody(std::string()); });
}

IFuzzySet TIEClipsParser::ParseFuzzySet(TIFuzzyVariable* Variable, const std::string& Text) {
  return WithText(Text, [&] { return ParseFuzzySet(Variable); });
}

IUserFunction TIEClipsParser::ParseFunction(const std::string& Text) {
  return WithText(Text, [&] { return ParseFunction(); });
}

void TIEClipsParser::ParseRuleActions(TRule& Rule, const std::string& Text) {
  WithText(Text, [&] { ParseRuleActions(Rule); });
}

std::string TIEClipsParser::ParseFactSlot(TFact& Fact, const std::string& Text) {
  return WithText(Text, [&] { return ParseFactSlot(Fact); });
}

IIEValue TIEClipsParser::FirstToken(const std::string& Text) {
  return WithText(Text, [&] { return Next()->Value(); });
}

bool TIEClipsParser::LoadFacts(const std::string& Text) {
  return WithText(Text, [&] { return LoadFacts(); });
}

ISingletonsVector TIEClipsParser::ParseSingletons(const std::string& Text) {
  return WithText(Text, [&] { return ParseSingletons(); });
}

// A point list: "(" then "(x y)" for each point separated by blanks, then ")".
std::string TIEClipsParser::PrettyPrint(const TSingletonsVector& Vector) {
  std::string Text = "(";
  for (int32_t I = 0; I < Vector.GetCount(); ++I) {
    if (I > 0) Text += ' ';
    const IIEValue& X = Vector.GetXValues(I);
    const IIEValue& Y = Vector.GetYValues(I);
    Text += "(" + (X ? X->GetToString() : std::string()) + " " + (Y ? Y->GetToString() : std::string()) + ")";
  }
  return Text + ")";
}

}  // namespace rulecraft
