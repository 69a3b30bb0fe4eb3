// The construct readers of the rule-language parser: deftemplate with its slots and constraints, deffacts,
// defglobal and defrule with its conditional elements and field constraints.
#include <algorithm>
#include <cctype>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEFuzzy.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/functions/InterpretedFunction.h"
#include "rulecraft/parser/ClipsParser.h"

#include "rulecraft/functions/InterpretedFunction.h"
#include "rulecraft/rete/Conditions.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Rule.h"

namespace rulecraft {

namespace {

std::string LowerCase(std::string Text) {
  for (char& C : Text) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  return Text;
}

IIEValue FunCallValue(const IFunCall& Call) { return MakeRef<TIEValue>(TRef<TFunCallBase>(Call)); }

bool IsConstantToken(const TIEStreamToken& Token) {
  return Token.Is(dtAtom) || Token.Is(dtString) || Token.Is(dtInteger) || Token.Is(dtFloat);
}

}  // namespace

void TIEClipsParser::ParseHeader(std::string& Name, std::string& Comment, IStreamToken& Token,
                                 const char* Message, const char* Method, const char* Keyword,
                                 bool ReadComment) {
  if (!Next()->Is(tkOpenParen)) ParseError(Method, Message);
  IStreamToken Word = Next();
  if (!Word->Is(dtAtom) || Word->GetText() != Keyword) ParseError(Method, Message);
  IStreamToken NameToken = Next();
  if (!NameToken->Is(dtAtom)) ParseError(Method, SMissingName);
  Name = NameToken->GetText();
  Comment.clear();
  Token = Next();
  if (ReadComment && Token->Is(dtString)) {
    Comment = Token->GetText();
    Token = Next();
  }
}

// ---- deftemplate
// -------------------------------------------------------------------------------------------

IFactTemplate TIEClipsParser::ParseFactTemplate() {
  std::string Name;
  std::string Comment;
  IStreamToken Token;
  ParseHeader(Name, Comment, Token, SExpectedDefTemplate, "ParseFactTemplate", "deftemplate", true);
  IFactTemplate Parent;
  IIEDefinedType IsA;
  bool HasIsA = false;
  if (Token->Is(dtAtom)) {
    if (Token->GetText() == "extends") {
      IStreamToken ParentName = Next();
      if (!ParentName->Is(dtAtom)) ParseError("ParseFactTemplate", SMissingParentTemplateName);
      Parent = FEngine->FindFactTemplate(ParentName->GetText());
    } else if (Token->GetText() == "is-a") {
      IStreamToken TypeName = Next();
      if (!TypeName->Is(dtAtom)) ParseError("ParseFactTemplate", SMissingIsaTypeName);
      IsA = FEngine->FindDefinedType(TypeName->GetText());
      if (!IsA) ParseError("ParseFactTemplate", SUnknownTypeName, {TypeName->GetText()});
      HasIsA = true;
    } else {
      ParseError("ParseFactTemplate", SExpectedExtends);
    }
    Token = Next();
  }
  IFactTemplate Template = MakeRef<TFactTemplate>(FEngine, Name, Comment, Parent);
  if (HasIsA) {
    Template->AddMultiSlot(SDefaultSlotName, FCNilList);
    Template->GetSlot(SDefaultSlotName)->SetExtendedTypeInfo(IsA);
  } else {
    while (Token->Is(tkOpenParen)) {
      PutBack(Token);
      Template->AddSlot(ParseFactTemplateSlot());
      Token = Next();
    }
  }
  if (!Token->Is(tkCloseParen)) ParseError("ParseFactTemplate", SMissingCloseParens);
  if (OnParseFactTemplate) OnParseFactTemplate(this, Template);
  return Template;
}

IFactSlot TIEClipsParser::ParseFactTemplateSlot() {
  if (!Next()->Is(tkOpenParen)) ParseError("ParseFactTemplateSlot", SMissingOpenParens);
  IStreamToken Kind = Next();
  const std::string KindText = Kind->Is(dtAtom) ? Kind->GetText() : std::string();
  if (KindText != "slot" && KindText != "field" && KindText != "multislot")
    ParseError("ParseFactTemplateSlot", SInvalidSlotType, {Kind->GetToString()});
  const bool Multi = KindText == "multislot";
  TIETypes Types = Multi ? IESlotTypes + IEMultiSlotTypes : IESlotTypes;
  IStreamToken NameToken = Next();
  if (!NameToken->Is(dtAtom)) ParseError("ParseFactTemplateSlot", SBadSlotName, {NameToken->GetToString()});
  IFactSlot Slot = MakeRef<TFactSlot>();
  Slot->SetName(NameToken->GetText());
  IIEDefinedType DefinedType;
  IIEValue Default;
  bool Dynamic = false;
  TSlotDefaultKind DefaultKind = sdkValue;
  // A slot's own type: a new implicit one, or an implicit copy of a named one (which stays unchanged). The
  // copy has no name: a slot copied into its template would otherwise take the named type back by name.
  auto OwnType = [&]() -> const IIEDefinedType& {
    if (Types.Contains(dtFuzzy)) ParseError("ParseFactTemplateSlot", SFuzzyDefinitionError);
    if (!DefinedType) {
      DefinedType = MakeRef<TIEDefinedType>();
      DefinedType->SetBaseTypes(Types - IEMultiSlotTypes);
      DefinedType->SetImplicit(true);
    } else if (!DefinedType->GetImplicit()) {
      IIEDefinedType Copy = DefinedType->Clone();
      Copy->SetImplicit(true);
      Copy->SetName(std::string());
      Copy->SetNarrowed(DefinedType);  // the engine still finds the slot when the named type changes
      DefinedType = Copy;
    }
    return DefinedType;
  };
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen)) break;
    if (!Token->Is(tkOpenParen)) ParseError("ParseFactTemplate", SMissingCloseParens);
    IStreamToken Word = Next();
    if (!Word->Is(dtAtom)) ParseError("ParseFactTemplateSlot", SInvalidSlotQualifier, {Word->GetToString()});
    const std::string Qualifier = LowerCase(Word->GetText());
    IStreamToken First = Qualifier == "default" ? Next() : IStreamToken();
    if (First) PutBack(First);
    if (First && First->Is(dtVariable) && (First->GetText() == "NONE" || First->GetText() == "DERIVE")) {
      // (default ?NONE) or (default ?DERIVE): the derived default, as when the qualifier is omitted.
      Next();
      DefaultKind = First->GetText() == "NONE" ? sdkNone : sdkDerive;
      Default = IIEValue();
      Dynamic = false;
    } else if (Qualifier == "default" || Qualifier == "default-dynamic") {
      DefaultKind = sdkValue;
      IIEValue Value = Multi ? MakeRef<TIEValue>(ParseList()) : ParseValue(Types, DefinedType);
      Dynamic = Qualifier == "default-dynamic";
      if (!Dynamic && Value) {
        IIEValue Resolved;
        Value->Resolve(FEngine->GetContext(), Resolved);
        Value = Resolved;
      }
      Default = Value ? Value : FCNil;
    } else if (Qualifier == "type") {
      IIEDefinedType Named;
      TIETypes Parsed = ParseSlotTypes(Named);
      Types = Multi ? Parsed + IEMultiSlotTypes : Parsed;
      if (Named) DefinedType = Named;
    } else if (Qualifier == "range" || Qualifier == "cardinality") {
      if (Qualifier == "range" || !Types.Contains(dtFuzzy)) OwnType();
      PutBack(Word);
      PutBack(Token);
      ParseRangeAndCardinality(DefinedType, Qualifier == "cardinality", true);
      continue;  // the reader took the closing parenthesis
    } else if (Qualifier == "units") {
      OwnType()->SetUnits(UnitsText(Next()));
    } else if (Qualifier.rfind("allowed-", 0) == 0) {
      OwnType();
      PutBack(Word);
      PutBack(Token);
      ParseAllowedEnumerations(DefinedType);
      continue;
    } else {
      ParseError("ParseFactTemplateSlot", SInvalidSlotQualifier, {Word->GetToString()});
    }
    if (!Next()->Is(tkCloseParen)) ParseError("ParseFactTemplateSlot", SMissingCloseParens);
  }
  Slot->SetSlotType(Types);
  if (DefinedType) Slot->SetExtendedTypeInfo(DefinedType);
  Slot->SetDefaultDynamic(Dynamic);
  Slot->SetDefaultKind(DefaultKind);
  if (Default && Types.Contains(dtFuzzy) &&
      (Default->GetDType() == dtAtom || Default->GetDType() == dtString) && DefinedType &&
      DefinedType->GetFuzzyType()) {
    if (IFuzzySet Term = DefinedType->GetFuzzyType()->FindFuzzySet(Default->Text()))
      Default = MakeRef<TIEValue>(Term);
  }
  if (Default && FStaticTypeChecks && !Dynamic && !Default->Equals(FCNil) && !Default->Equals(FCNilList) &&
      !Slot->IsValid(Default)) {
    IIEValue Converted;
    if (Default->GetDType() == dtInteger && Types.Contains(dtFloat))
      Converted = MakeRef<TIEValue>(static_cast<double>(Default->GetAsInteger()));
    if (!Converted || !Slot->IsValid(Converted))
      ParseError("ParseFactTemplateSlot", Slot->GetInvalidValueString(Default));
    Default = Converted;
  }
  if (Default) {
    Slot->SetSlotDefault(Default);
  } else if (Multi) {
    Slot->SetSlotDefault(FCNilList);
  }
  if (!Default && FStaticTypeChecks && !Slot->IsValid(Slot->GetSlotDefault()))
    Slot->SetSlotDefault(Slot->CreateValidDefault(Types.Contains(dtList)));
  return Slot;
}

TIETypes TIEClipsParser::ParseSlotTypes(IIEDefinedType& DefinedType) {
  TIETypes Types;
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen) || Token->IsEOF()) {
      PutBack(Token);
      break;
    }
    if (!Token->Is(dtAtom) && !Token->Is(dtVariable))
      ParseError("ParseSlotTypes", SInvalidSlotType, {Token->GetToString()});
    const std::string& Word = Token->GetText();
    if (Token->Is(dtVariable) && Word == "VARIABLE") {
      Types = IESlotTypes;
    } else if (Token->Is(dtAtom) && (Word == "SYMBOL" || Word == "ATOM")) {
      Types.Include(dtAtom);
    } else if (Token->Is(dtAtom) && Word == "STRING") {
      Types.Include(dtString);
    } else if (Token->Is(dtAtom) && Word == "LEXEME") {
      Types = Types + TIETypes{dtAtom, dtString};
    } else if (Token->Is(dtAtom) && Word == "INTEGER") {
      Types.Include(dtInteger);
    } else if (Token->Is(dtAtom) && Word == "FLOAT") {
      Types.Include(dtFloat);
    } else if (Token->Is(dtAtom) && Word == "NUMBER") {
      Types = Types + TIETypes{dtInteger, dtFloat};
    } else if (Token->Is(dtAtom) && Word == "CLASS") {
      Types = Types + TIETypes{dtClass, dtInteger};
    } else if (Token->Is(dtAtom) && Word == "DESCRIPTOR") {
      Types = Types + TIETypes{dtDescriptor, dtInteger};
    } else if (Token->Is(dtAtom) && Word == "OBJECT") {
      Types = Types + TIETypes{dtObject, dtInteger};
    } else if (Token->Is(dtAtom) && Word == "EXTERNALADDRESS") {
      Types = Types + TIETypes{dtExternalAddress, dtInteger};
    } else if (Token->Is(dtAtom) && Word == "FUZZY") {
      Types.Include(dtFuzzy);
    } else if (Token->Is(dtAtom) && Word == "FACTID") {
      Types = Types + TIETypes{dtFactId, dtInteger};
    } else if (Token->Is(dtAtom) && Word == "FACT") {
      Types.Include(dtFact);
    } else {
      const IIEValue Value = Token->Value(FEngine->GetContext());
      IIEDefinedType Named = Value ? FEngine->FindDefinedType(Value->GetToString()) : IIEDefinedType();
      if (!Named) ParseError("ParseSlotTypes", SInvalidSlotType, {Token->GetToString()});
      if (DefinedType) ParseError("ParseSlotTypes", SNoMultiTypeInheritance);
      DefinedType = Named;
      Types = Types + Named->GetBaseTypes();
    }
  }
  if (Types.Contains(dtFuzzy) && Types != TIETypes{dtFuzzy}) ParseError("ParseSlotTypes", SCannotMixFuzzy);
  return Types;
}

void TIEClipsParser::ParseRangeAndCardinality(const IIEDefinedType& DefinedType, bool IsCardinality,
                                              bool AllowVariables, TIFuzzyVariable* FuzzyVariable) {
  const char* What = IsCardinality ? "cardinality" : "range";
  if (!Next()->Is(tkOpenParen)) ParseError("ParseDefinedType", SMissingOpenParens);
  IStreamToken Word = Next();
  if (!Word->Is(dtAtom) || (!IsCardinality && Word->GetText() != "range"))
    ParseError("ParseDefinedType", SMissingRange);
  if (DefinedType) {
    if (IsCardinality)
      DefinedType->SetCardinalityLimited(true);
    else
      DefinedType->SetRangeLimited(true);
  }
  // One bound: a number, a variable (?VARIABLE: unlimited) or a call executed now.
  auto Bound = [&]() -> IIEValue {
    IStreamToken Token = Next();
    if (Token->Is(dtInteger) || Token->Is(dtFloat)) return Token->Value();
    if (Token->Is(dtVariable)) {
      if (!AllowVariables) ParseError("ParseDefinedType", SExpectedValue);
      if (Token->GetText() == "VARIABLE") return IIEValue();
      return Token->Value(FEngine->GetContext());
    }
    if (Token->Is(tkOpenParen)) {
      PutBack(Token);
      return ParseNExecuteFunCall();
    }
    ParseError("ParseDefinedType", SExpectedIntVarFun, {What});
  };
  const IIEValue Low = Bound();
  const IIEValue High = Bound();
  if (DefinedType) {
    if (IsCardinality) {
      if (Low) DefinedType->SetMinCardinality(Low->GetAsInteger());
      if (High) DefinedType->SetMaxCardinality(High->GetAsInteger());
    } else {
      if (Low) DefinedType->SetMinRange(Low->GetAsNumeric());
      if (High) DefinedType->SetMaxRange(High->GetAsNumeric());
    }
  } else if (FuzzyVariable && !IsCardinality && Low && High) {
    FuzzyVariable->SetRange(Low->GetAsNumeric(), High->GetAsNumeric());
  }
  if (!Next()->Is(tkCloseParen)) ParseError("ParseDefinedType", SMissingCloseParens);
}

void TIEClipsParser::ParseAllowedEnumerations(const IIEDefinedType& DefinedType) {
  if (!Next()->Is(tkOpenParen)) ParseError("ParseDefinedType", SMissingOpenParens);
  IStreamToken Word = Next();
  if (!Word->Is(dtAtom)) ParseError("ParseDefinedType", SMissingAllowedEnumeration, {Word->GetToString()});
  const std::string& Kind = Word->GetText();
  TValueConstraints Adds;
  if (Kind == "allowed-values")
    Adds = TValueConstraints{vcAtom, vcString, vcInteger, vcFloat};
  else if (Kind == "allowed-lexemes")
    Adds = TValueConstraints{vcAtom, vcString};
  else if (Kind == "allowed-strings")
    Adds = TValueConstraints{vcString};
  else if (Kind == "allowed-symbols")
    Adds = TValueConstraints{vcAtom};
  else if (Kind == "allowed-numbers")
    Adds = TValueConstraints{vcInteger, vcFloat};
  else if (Kind == "allowed-integers")
    Adds = TValueConstraints{vcInteger};
  else if (Kind == "allowed-floats")
    Adds = TValueConstraints{vcFloat};
  else
    ParseError("ParseDefinedType", SMissingAllowedEnumeration, {Word->GetToString()});
  DefinedType->SetConstraints(DefinedType->GetConstraints() + Adds);
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen)) break;
    if (Token->IsEOF()) ParseError("ParseDefinedType", SMissingCloseParens);
    IIEValue Value;
    if (Token->Is(tkOpenParen)) {
      PutBack(Token);
      Value = ParseNExecuteFunCall();
    } else {
      Value = Token->Value(FEngine->GetContext());
    }
    if (!Value) continue;
    const TIEType Type = Value->GetDType();
    const bool Numeric = Type == dtInteger || Type == dtFloat;
    if (Kind == "allowed-lexemes" && Type != dtAtom && Type != dtString)
      Value = MakeRef<TIEValue>(Value->GetToString(), dtString);
    else if (Kind == "allowed-strings")
      Value = MakeRef<TIEValue>(Type == dtString ? Value->Text() : Value->GetToString(), dtString);
    else if (Kind == "allowed-symbols")
      Value = MakeRef<TIEValue>(Type == dtString ? Value->Text() : Value->GetToString(), dtAtom);
    else if (Kind == "allowed-numbers" && !Numeric)
      Value = MakeRef<TIEValue>(Value->GetAsInteger(), dtInteger);
    else if (Kind == "allowed-integers")
      Value = MakeRef<TIEValue>(Value->GetAsInteger(), dtInteger);
    else if (Kind == "allowed-floats")
      Value = MakeRef<TIEValue>(Value->GetAsNumeric());
    DefinedType->AddConstraint(Value);
  }
}

// ---- deffacts and defglobal
// --------------------------------------------------------------------------------

std::unique_ptr<TFactSet> TIEClipsParser::ParseFactSet() {
  std::string Name;
  std::string Comment;
  IStreamToken Token;
  ParseHeader(Name, Comment, Token, SExpectedDeffacts, "ParseFactSet", "deffacts", true);
  auto Set = std::make_unique<TFactSet>(FEngine);
  Set->SetEngineNoParse(nullptr);  // the caller registers it
  Set->SetFactSetName(Name);
  Set->SetComment(Comment);
  while (Token->Is(tkOpenParen)) {
    PutBack(Token);
    Set->AddFact(ParseFact());
    Token = Next();
  }
  if (!Token->Is(tkCloseParen)) ParseError("ParseFactSet", SMissingCloseParens);
  if (OnParseFactSet) OnParseFactSet(this, Set.get());
  return Set;
}

bool TIEClipsParser::ParseGlobalVariables() {
  if (!Next()->Is(tkOpenParen)) ParseError("ParseGlobalVariables", SExpectedDefGlobal);
  IStreamToken Word = Next();
  if (!Word->Is(dtAtom) || Word->GetText() != "defglobal")
    ParseError("ParseGlobalVariables", SExpectedDefGlobal);
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen)) break;
    PutBack(Token);
    std::string Name;
    IIEValue Value = ParseVariable(Name);
    FEngine->GetGlobalVariables().Put(Name, Value);
  }
  return true;
}

// ---- defrule
// -----------------------------------------------------------------------------------------------

std::unique_ptr<TRule> TIEClipsParser::ParseRule() {
  std::string Name;
  std::string Comment;
  IStreamToken Token;
  // The line of the opening parenthesis, looked at without taking it (a fresh tokenizer has no current
  // token yet, and asking it for one would take the parenthesis).
  int32_t Line = 0;
  if (FStream) {
    const IStreamToken First = Next();
    Line = First->GetLineNumber();
    PutBack(First);
  }
  ParseHeader(Name, Comment, Token, SExpectedDefRule, "ParseRule", "defrule", true);
  auto Rule = std::make_unique<TRule>(FEngine);
  Rule->BeginUpdate();
  Rule->SetRuleName(Name);
  Rule->SetComment(Comment);
  FRuleVariables.clear();
  FRuleWarnings.clear();
  // The declaration.
  if (Token->Is(tkOpenParen)) {
    IStreamToken Word = Next();
    if (Word->Is(dtAtom) && Word->GetText() == "declare") {
      for (;;) {
        IStreamToken Open = Next();
        if (Open->Is(tkCloseParen)) break;
        if (!Open->Is(tkOpenParen)) ParseError("ParseRule", SMissingCloseParens);
        IStreamToken Property = Next();
        const std::string Which = Property->Is(dtAtom) ? Property->GetText() : std::string();
        if (Which == "salience") {
          IStreamToken Value = Next();
          if (Value->Is(dtInteger) || Value->Is(dtVariable)) {
            Rule->SetSalience(Value->Value());
          } else if (Value->Is(tkOpenParen)) {
            PutBack(Value);
            Rule->SetSalience(FunCallValue(ParseFunCall()));
          } else {
            ParseError("ParseRule", SExpectedIntVarFun, {"salience"});
          }
        } else if (Which == "oneshot" || Which == "enabled") {
          IStreamToken Value = Next();
          IIEValue Flag;
          if (Value->Is(tkOpenParen)) {
            PutBack(Value);
            Flag = ParseNExecuteFunCall();
          } else {
            Flag = Value->Value();
          }
          const bool On = Flag && Flag->Equals(FCTrue);
          if (Which == "oneshot")
            Rule->SetOneShot(On);
          else
            Rule->SetEnabled(On);
        } else {
          ParseError("ParseRule", SExpectedRuleProperty);
        }
        if (!Next()->Is(tkCloseParen)) ParseError("ParseRule", SMissingCloseParens);
      }
      Token = Next();
    } else {
      PutBack(Word);
    }
  }
  PutBack(Token);
  ParseRulePatterns(*Rule);
  // The arrow: "=" then ">".
  IStreamToken Arrow = Next();
  IStreamToken Head = Arrow->Is(tkEquals) ? Next() : Arrow;
  if (!Arrow->Is(tkEquals) || !Head->Is(dtAtom) || Head->GetText() != ">")
    ParseError("ParseRule", SExpectedEqGT);
  ParseRuleActions(*Rule);
  if (!Next()->Is(tkCloseParen)) ParseError("ParseRule", SMissingCloseParens);
  if (OnParseRule) OnParseRule(this, Rule.get());
  Rule->EndUpdate();
  WarnAboutRule(*Rule, Line);
  return Rule;
}

void TIEClipsParser::ParseRulePatterns(TRule& Rule) {
  // Patterns go into the rule as they are read. The elements are kept too (as copies taken before the rule
  // changes its patterns): once an and or or element turns up, the rule takes them all as its conditions.
  TConditions Elements;
  bool Groups = false;
  for (;;) {
    IStreamToken Token = Next();
    if (!Token->Is(dtVariable) && !Token->Is(tkOpenParen)) {
      PutBack(Token);
      break;
    }
    const std::string Bound = ReadPatternBinding(Token);
    std::unique_ptr<TCondition> Element = ParseCondition(0);
    BindPattern(*Element, Bound);
    TIEPattern* Pattern = Element->GetPattern();
    if (Pattern && !Groups) {
      auto Copy = std::make_unique<TCondition>(Pattern->Clone(nullptr));
      Rule.AppendPattern(Element->TakePattern());
      Element = std::move(Copy);
    } else {
      Groups = true;
    }
    Elements.push_back(std::move(Element));
  }
  if (Groups) Rule.SetConditions(std::move(Elements));
}

std::string TIEClipsParser::ReadPatternBinding(const IStreamToken& Token) {
  if (!Token->Is(dtVariable)) {
    PutBack(Token);
    return std::string();
  }
  IStreamToken Arrow = Next();
  if (!Arrow->Is(dtAtom) || Arrow->GetText() != "<-") ParseError("ParseRulePatterns", SExpectedAssignment);
  return Token->GetText();
}

void TIEClipsParser::BindPattern(TCondition& Element, const std::string& Bound) {
  if (Bound.empty()) return;
  TIEPattern* Pattern = Element.GetPattern();
  if (!Pattern || Pattern->GetNegatedCount() != 0 || Pattern->GetName() == STestCE)
    ParseError("ParseRulePatterns", SInvalidTestBinding);
  Pattern->SetBoundName(Bound);
}

std::unique_ptr<TCondition> TIEClipsParser::ParseCondition(int32_t Level) {
  IStreamToken Open = Next();
  IStreamToken Word = Open->Is(tkOpenParen) ? Next() : IStreamToken();
  const std::string Name = Word && Word->Is(dtAtom) ? Word->GetText() : std::string();
  if (Name == "and" || Name == "or") {
    TNesting Guard(*this, "ParseCondition");
    auto Group = std::make_unique<TCondition>(Name == "and" ? ckAnd : ckOr);
    for (;;) {
      IStreamToken Token = Next();
      if (Token->Is(tkCloseParen)) break;
      const std::string Bound = ReadPatternBinding(Token);
      std::unique_ptr<TCondition> Child = ParseCondition(0);
      BindPattern(*Child, Bound);
      Group->Add(std::move(Child));
    }
    if (Group->GetCount() == 0) ParseError("ParseCondition", SEmptyConditionalElement, {Name});
    return NegateCondition(std::move(Group), Level);
  }
  if (Name == "not" || Name == "exists") {
    TNesting Guard(*this, "ParsePattern");
    std::unique_ptr<TCondition> Inner = ParseCondition(Name == "not" ? Level + 1 : Level + 2);
    if (!Next()->Is(tkCloseParen)) ParseError("ParsePattern", SMissingCloseParens);
    return Inner;
  }
  // A pattern (or what ParsePattern reports as not one).
  if (Word) PutBack(Word);
  PutBack(Open);
  return std::make_unique<TCondition>(ParsePattern(Level));
}

std::unique_ptr<TIEPattern> TIEClipsParser::ParsePattern(int32_t Level) {
  TNesting Guard(*this, "ParsePattern");
  IStreamToken Open = Next();
  if (!Open->Is(tkOpenParen)) ParseError("ParsePattern", SExpectedAtom);
  IStreamToken Word = Next();
  if (!Word->Is(dtAtom)) ParseError("ParsePattern", SExpectedAtom);
  const std::string& Name = Word->GetText();
  auto Close = [this] {
    if (!Next()->Is(tkCloseParen)) ParseError("ParsePattern", SMissingCloseParens);
  };
  if (Name == "not" || Name == "exists" || Name == "unique" || Name == "explicit") {
    const int32_t Inner = Name == "not" ? Level + 1 : Name == "exists" ? Level + 2 : Level;
    std::unique_ptr<TIEPattern> Pattern = ParsePattern(Inner);
    Close();
    if (Name == "unique") Pattern->SetUnique(true);
    if (Name == "explicit") Pattern->SetExplicit(true);
    return Pattern;
  }
  if (Name == STestCE) {
    auto Pattern = std::make_unique<TIEPattern>(nullptr, STestCE, FEngine->CreateFactTemplate(STestCE), 0);
    Pattern->SetComment(Trim(Open->GetWhitespace()));
    Pattern->AddTest(SDefaultSlotName, FunCallValue(ParseFunCall()), NoSubIndex, (Level & 1) != 0, true);
    Close();
    return Pattern;
  }
  IFactTemplate Template = FEngine->CreateFactTemplate(Name);
  auto Pattern = std::make_unique<TIEPattern>(nullptr, Name, Template, Level);
  Pattern->SetComment(Trim(Open->GetWhitespace()));
  const bool Ordered = Template->FindSlot(SDefaultSlotName) != nullptr;

  // The constraints of one slot, up to its closing parenthesis.
  auto ReadSlot = [&](const std::string& SlotName) {
    const IFactSlot& Slot = Template->GetSlot(SlotName);  // raises "No such slot name"
    const TIETypes Types = Slot->GetSlotType();
    const bool Multi = Types.Contains(dtMultiSlot);
    const bool Fuzzy = Types.Contains(dtFuzzy);
    int32_t SubIndex = Multi ? 0 : NoSubIndex;
    int32_t Fields = 0;
    bool Conjunction = true;
    bool InField = false;
    for (;;) {
      IStreamToken Token = Next();
      if (Token->Is(tkCloseParen)) break;
      if (Token->IsEOF()) ParseError("ParsePattern", SMissingCloseParens);
      bool Negated = false;
      if (Token->Is(tkTilde)) {
        Negated = true;
        Token = Next();
      }
      if (!InField) {
        ++Fields;
        InField = true;
      }
      if (Token->Is(dtVariable) || Token->Is(dtMultiVariable)) {
        const std::string& VarName = Token->GetText();
        auto Known = std::find_if(FRuleVariables.begin(), FRuleVariables.end(),
                                  [&VarName](const auto& Entry) { return Entry.first == VarName; });
        TIEType Kind = static_cast<TIEType>(Token->GetDataType());
        if (Known == FRuleVariables.end())
          FRuleVariables.emplace_back(VarName, Kind);
        else
          Kind = Known->second;
        if (Token->Is(dtMultiVariable) && !Multi && !Fuzzy) {
          // An anonymous "$?" is named as written, not by the name the lexer made for it.
          const bool Anonymous = VarName.rfind(SBlankMulti, 0) == 0;
          const std::string Message = Format(
              SMultifieldVariableInSlot,
              {Anonymous ? std::string("$?") : Token->GetToString(), SlotName, Template->GetTemplateName()});
          if (std::find(FRuleWarnings.begin(), FRuleWarnings.end(), Message) == FRuleWarnings.end())
            FRuleWarnings.push_back(Message);
        }
        Pattern->AddTest(SlotName, MakeRef<TIEValue>(VarName, Kind), SubIndex, Negated, Conjunction);
      } else if (Token->Is(dtAtom) && Token->GetText() == ":") {
        Pattern->AddTest(SlotName, FunCallValue(ParseFunCall()), SubIndex, Negated, Conjunction);
      } else if (Token->Is(tkEquals)) {
        const TIEType Kind = Multi ? dtMultiVariable : dtVariable;
        const IIEValue Fresh = MakeRef<TIEValue>(FEngine->GenerateSymbol("_eq_"), Kind);
        Pattern->AddTest(SlotName, Fresh, SubIndex, false, Conjunction);
        IFunCall Compare = MakeRef<TFunctionCall>(FEngine, "eq*");
        Compare->AddArgument(Fresh);
        Compare->AddArgument(FunCallValue(ParseFunCall()));
        Pattern->AddTest(SlotName, FunCallValue(Compare), SubIndex, Negated, Conjunction);
      } else if (Fuzzy) {
        PutBack(Token);
        IIEValue Value = ParseValue();
        if (Value) {
          IIEValue Resolved;
          Value->Resolve(FEngine->GetContext(), Resolved);
          Value = Resolved;
        }
        if (Value && Value->GetDType() != dtFuzzy) {
          const IIEDefinedType& Type = Slot->GetExtendedTypeInfo();
          IFuzzySet Set =
              Type ? FEngine->EvalFuzzyExpression(Type->GetFuzzyType().get(), Value, FEngine->GetContext())
                   : IFuzzySet();
          if (!Set) ParseError("ParsePattern", SInvalidFuzzyExpression, {Value->GetToString()});
          Value = MakeRef<TIEValue>(Set);
        }
        if (Value) Pattern->AddTest(SlotName, Value, SubIndex, Negated, Conjunction);
        continue;
      } else if (IsConstantToken(*Token)) {
        Pattern->AddTest(SlotName, Token->Value(), SubIndex, Negated, Conjunction);
      } else {
        ParseError("ParsePattern", SBadSlotValue, {Token->GetToString()});
      }
      // What follows a term.
      IStreamToken After = Next();
      if (After->Is(tkAmpersand)) continue;
      if (After->Is(tkBar)) {
        Conjunction = false;
        continue;
      }
      InField = false;
      Conjunction = true;
      if (!Multi) {
        if (!After->Is(tkCloseParen)) ParseError("ParsePattern", SNotMultiSlot, {SlotName});
        break;
      }
      ++SubIndex;
      PutBack(After);
    }
    if (Multi && Pattern->IndexOfSlotName(SlotName) >= 0)
      Pattern->SetSlotLength(Pattern->IndexOfSlotName(SlotName), Fields);
  };

  if (Ordered) {
    ReadSlot(SDefaultSlotName);
  } else {
    for (;;) {
      IStreamToken Token = Next();
      if (Token->Is(tkCloseParen)) break;
      if (!Token->Is(tkOpenParen)) ParseError("ParsePattern", SMissingCloseParens);
      IStreamToken SlotName = Next();
      if (!SlotName->Is(dtAtom)) ParseError("ParsePattern", SBadSlotName, {SlotName->GetToString()});
      ReadSlot(SlotName->GetText());
    }
  }
  if (OnParsePattern) OnParsePattern(this, Pattern.get());
  return Pattern;
}

// ---- deftype
// ----------------------------------------------------------------------------------------------

std::string TIEClipsParser::UnitsText(const IStreamToken& Token) {
  // A string is taken without its quotes, so units printed in quotes (they hold a blank) read back the same.
  return Token->Is(dtString) ? Token->GetText() : Token->GetToString();
}

IIEDefinedType TIEClipsParser::ParseDefinedType() {
  std::string Name;
  std::string Comment;
  IStreamToken Token;
  ParseHeader(Name, Comment, Token, SExpectedDefType, "ParseDefinedType", "deftype", true);
  if (!Token->Is(dtAtom) || Token->GetText() != "extends")
    ParseError("ParseDefinedType", SExpectedKeyword, {"extends"});
  if (!Next()->Is(tkOpenParen)) ParseError("ParseDefinedType", SMissingOpenParens);
  Token = Next();
  if (!Token->Is(dtAtom) || Token->GetText() != "type")
    ParseError("ParseDefinedType", SExpectedKeyword, {"type"});
  IIEDefinedType Ancestor;
  const TIETypes Types = ParseSlotTypes(Ancestor);
  if (!Next()->Is(tkCloseParen)) ParseError("ParseDefinedType", SMissingCloseParens);
  IIEDefinedType Type = MakeRef<TIEDefinedType>(Name);
  Type->SetReasoner(FEngine);
  if (Ancestor) {
    // The new type starts as a copy of its ancestor, then narrows it.
    Type->Assign(ICloneableRef(Ancestor));
    Type->SetAncestor(Ancestor);
    Type->SetBaseTypes(Ancestor->GetBaseTypes() + Types);
  } else {
    Type->SetBaseTypes(Types);
  }
  Type->SetName(Name);
  Type->SetComment(Comment);
  if (Type->GetBaseTypes().Contains(dtFuzzy)) {
    // The rest is the body of the type's fuzzy variable, which is named after the type.
    IFuzzyVariable Variable = ParseFuzzyVariableBody(Name);
    Type->SetFuzzyType(Variable);
    Type->SetUnits(Variable->GetUnits());
    if (!Next()->Is(tkCloseParen)) ParseError("ParseDefinedType", SMissingCloseParens);
    if (OnParseDefinedType) OnParseDefinedType(this, Type);
    return Type;
  }
  for (Token = Next(); Token->Is(tkOpenParen); Token = Next()) {
    IStreamToken Word = Next();
    const std::string Clause = Word->Is(dtAtom) ? Word->GetText() : std::string();
    if (Clause == "range" || Clause == "cardinality") {
      PutBack(Word);
      PutBack(Token);
      ParseRangeAndCardinality(Type, Clause == "cardinality", true);
    } else if (Clause == "units") {
      Type->SetUnits(UnitsText(Next()));
      if (!Next()->Is(tkCloseParen)) ParseError("ParseDefinedType", SMissingCloseParens);
    } else {
      PutBack(Word);
      PutBack(Token);
      ParseAllowedEnumerations(Type);
    }
  }
  if (!Token->Is(tkCloseParen)) ParseError("ParseDefinedType", SMissingCloseParens);
  if (OnParseDefinedType) OnParseDefinedType(this, Type);
  return Type;
}

IFuzzyVariable TIEClipsParser::ParseFuzzyVariableBody(const std::string& Name) {
  TNesting Guard(*this, "ParseFuzzyVariable");
  IFuzzyVariable Variable = MakeRef<TIEFuzzyVariable>(Name, FEngine);
  for (;;) {
    IStreamToken Token = Next();
    if (Token->Is(tkCloseParen)) {
      PutBack(Token);  // the construct's own
      break;
    }
    if (Token->IsEOF()) ParseError("ParseFuzzyVariable", SUnexpectedEOF);
    if (!Token->Is(tkOpenParen)) ParseError("ParseFuzzyVariable", SMissingOpenParens);
    IStreamToken Word = Next();
    const std::string Clause = Word->Is(dtAtom) ? Word->GetText() : std::string();
    if (Clause == "range") {
      PutBack(Word);
      PutBack(Token);
      ParseRangeAndCardinality(IIEDefinedType(), false, false, Variable.get());
      continue;
    }
    if (Clause == "units") {
      Variable->SetUnits(UnitsText(Next()));
    } else if (Clause == "values") {
      for (IStreamToken Term = Next(); !Term->Is(tkCloseParen); Term = Next()) {
        if (Term->IsEOF()) ParseError("ParseFuzzyVariable", SUnexpectedEOF);
        PutBack(Term);
        Variable->AddFuzzySet(ParseFuzzySet(Variable.get()));
      }
      continue;
    } else {
      ParseError("ParseFuzzyVariable", SExpectedKeyword, {"range, units, or values"});
    }
    if (!Next()->Is(tkCloseParen)) ParseError("ParseFuzzyVariable", SMissingCloseParens);
  }
  if (OnParseFuzzyVariable) OnParseFuzzyVariable(this, Variable);
  return Variable;
}

IFuzzySet TIEClipsParser::ParseFuzzySet(TIFuzzyVariable* Variable) {
  TNesting Guard(*this, "ParseFuzzySet");
  IStreamToken Token = Next();
  IStreamToken Word = Token->Is(tkOpenParen) ? Next() : Token;
  if (!Token->Is(tkOpenParen) || !Word->Is(dtAtom) || Word->GetText() != "term")
    ParseError("ParseFuzzySet", SExpectedFuzzySet);
  IStreamToken Name = Next();
  if (!Name->Is(dtAtom)) ParseError("ParseFuzzySet", SMissingName);
  // A term named like a word of the expressions ("very", "and", "[") could never be used in one.
  const std::string& Term = Name->GetText();
  if (IsFuzzyHedge(Term) || IsFuzzyHedgeOperator(Term) || IsFuzzyKeyword(Term) || Term == "[" || Term == "]")
    ParseError("ParseFuzzySet", SInvalidFuzzyToken, {Term});
  // No value is nil, the variable's empty set.
  IIEValue Value = ParseValue();
  IIEValue Resolved;
  if (Value) Value->Resolve(FEngine->GetContext(), Resolved);
  IFuzzySet Set = Resolved && Resolved->GetDType() == dtFuzzy
                      ? Resolved->GetAsFuzzy()
                      : FEngine->EvalFuzzyExpression(Variable, Resolved, FEngine->GetContext());
  if (!Set) ParseError("ParseFuzzySet", SMissingFuzzySetValues, {Term});
  // A term's set is its own: the set evaluated may be another term, a global's value or a shared constant.
  Set = Set->Clone();
  Set->SetName(Term);
  Set->SetExpression(std::string());
  if (auto* Engine = dynamic_cast<TIEFuzzySet*>(Set.get())) Engine->SetReasoner(FEngine);
  if (!Set->GetVariable()) Set->SetVariable(Variable);
  if (!Next()->Is(tkCloseParen)) ParseError("ParseFuzzySet", SMissingCloseParens);
  if (OnParseFuzzySet) OnParseFuzzySet(this, Set);
  return Set;
}

// ---- deffunction
// ------------------------------------------------------------------------------------------

IUserFunction TIEClipsParser::ParseFunction() {
  std::string Name;
  std::string Comment;
  IStreamToken Token;
  ParseHeader(Name, Comment, Token, SExpectedDefFunction, "ParseFunction", "deffunction", true);
  IInterpretedFunction Function = MakeRef<TInterpretedFunction>(Name);
  Function->SetComment(Comment);
  if (!Token->Is(tkOpenParen)) ParseError("ParseFunction", SMissingOpenParens);
  for (Token = Next(); Token->Is(dtVariable) || Token->Is(dtMultiVariable); Token = Next())
    Function->AddArgument(Token->GetText(), static_cast<TIEType>(Token->GetDataType()));
  if (!Token->Is(tkCloseParen)) ParseError("ParseFunction", SMissingCloseParens);
  Token = Next();
  if (Token->Is(dtString)) {
    Function->SetComment(Token->GetText());
    Token = Next();
  }
  for (; !Token->Is(tkCloseParen); Token = Next()) {
    if (Token->Is(tkOpenParen)) {
      PutBack(Token);
      Function->AddStatement(ParseFunCall());
    } else if (IsValueToken(*Token)) {
      Function->AddStatement(Token->Value());
    } else {
      // The input ended before the construct's ")".
      if (Token->IsEOF()) ParseError("ParseFunction", SMissingCloseParens);
      const int32_t Kind = Token->GetDataType();
      ParseError("ParseFunction", SUnexpectedCharacter,
                 {Kind < 32 || Kind > 126 ? Token->GetText() : std::string(1, static_cast<char>(Kind))});
    }
  }
  if (OnParseFunction) OnParseFunction(this, Function);
  return Function;
}

void TIEClipsParser::ParseRuleActions(TRule& Rule) {
  for (;;) {
    IStreamToken Token = Next();
    PutBack(Token);
    if (!Token->Is(tkOpenParen)) return;
    Rule.AddAction(ParseFunCall());
  }
}

}  // namespace rulecraft
