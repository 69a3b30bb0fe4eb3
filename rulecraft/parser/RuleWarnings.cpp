// The warnings about a rule that is defined as written but probably does not do what its author meant: an
// action reading a variable nothing binds, and a multifield variable where a single value must stand.
//
// A variable is bound for the actions by a pattern (a slot constraint or "?f <-"), by a bind earlier in the
// actions (earlier in reading order, in any branch), by a loop that names it (foreach, progn$,
// loop-for-count), for ?__ERROR by a try, and ?__RULE by every firing. Globals are never reported. A single
// value must stand in an argument of a function whose declared arguments are all numeric or integer
// expressions (+, <, mod, ...), in a single-field slot of a pattern, and in a single-field slot of a fact an
// action asserts or of a modify or duplicate whose fact variable a pattern binds.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/parser/ClipsParser.h"
#include "rulecraft/rete/Rule.h"

namespace rulecraft {

namespace {

// Calls are walked only as deep as they may nest when they run.
constexpr int MaxWalkDepth = 2000;

bool IsGlobalName(const std::string& Name) {
  return Name.size() >= 2 && Name.front() == '*' && Name.back() == '*';
}

// Whether every argument the function declares is a number: its argument text holds only
// <numeric-expression...> and <integer-expression...> terms.
bool TakesSingleNumbers(const TIEUserFunction& Function) {
  // Split by hand rather than through a stream, which would swallow an allocation failure.
  const std::string_view Text = Function.GetArgumentString();
  bool Any = false;
  size_t Start = 0;
  for (;;) {
    Start = Text.find_first_not_of(" \t\r\n", Start);
    if (Start == std::string_view::npos) break;
    size_t End = Text.find_first_of(" \t\r\n", Start);
    if (End == std::string_view::npos) End = Text.size();
    const std::string_view Word = Text.substr(Start, End - Start);
    if (!Word.starts_with("<numeric-expression") && !Word.starts_with("<integer-expression")) return false;
    Any = true;
    Start = End;
  }
  return Any;
}

class TActionWalker {
 public:
  TActionWalker(TInferenceEngine& Engine, const TRule& Rule, std::vector<std::string> Bound,
                std::vector<std::string>& Messages)
      : FEngine(Engine), FRule(Rule), FBound(std::move(Bound)), FMessages(Messages) {}

  void WalkCall(const TFunctionCall& Call, int Depth) {
    if (Depth >= MaxWalkDepth) return;
    const std::string& Name = Call.GetName();
    const std::vector<IIEValue>& Arguments = Call.GetArguments();
    if (Name == "bind" && !Arguments.empty()) {
      for (size_t I = 1; I < Arguments.size(); ++I) WalkValue(Arguments[I], Depth + 1);
      if (IsVariableValue(Arguments[0])) Bind(Arguments[0]->Text());
      return;
    }
    if ((Name == "foreach" || Name == "progn$" || Name == "loop-for-count") && !Arguments.empty()) {
      WalkLoopHead(Arguments[0], Depth + 1);
      for (size_t I = 1; I < Arguments.size(); ++I) WalkValue(Arguments[I], Depth + 1);
      return;
    }
    if (Name == "try") Bind(SErrorBinding);
    IFactTemplate Modified;
    if ((Name == "modify" || Name == "duplicate") && !Arguments.empty() && IsVariableValue(Arguments[0]))
      Modified = TemplateBoundTo(Arguments[0]->Text());
    const bool Numbers = TakesNumbers(Name);
    for (size_t I = 0; I < Arguments.size(); ++I) {
      const IIEValue& Argument = Arguments[I];
      if (Numbers && Argument && Argument->GetDType() == dtMultiVariable)
        Report(Format(SMultifieldVariableArgument, {Argument->GetToString(), Name}));
      if (Modified && I > 0 && Argument && Argument->GetDType() == dtList) CheckPair(*Argument, Modified);
      WalkValue(Argument, Depth + 1);
    }
  }

 private:
  static bool IsVariableValue(const IIEValue& Value) {
    return Value && (Value->GetDType() == dtVariable || Value->GetDType() == dtMultiVariable);
  }

  void Bind(const std::string& Name) {
    if (std::find(FBound.begin(), FBound.end(), Name) == FBound.end()) FBound.push_back(Name);
  }

  void Use(const IIEValue& Variable) {
    const std::string& Name = Variable->Text();
    if (IsGlobalName(Name) || std::find(FBound.begin(), FBound.end(), Name) != FBound.end()) return;
    Report(Format(SUnboundActionVariable, {Variable->GetToString()}));
    Bind(Name);  // reported once
  }

  void Report(const std::string& Message) {
    if (std::find(FMessages.begin(), FMessages.end(), Message) == FMessages.end())
      FMessages.push_back(Message);
  }

  // The loop variable: a name or a variable (foreach), or the first element of a parenthesised head
  // ("(?i 1 10)", read as a call of the variable), whose other elements are read.
  void WalkLoopHead(const IIEValue& Head, int Depth) {
    if (!Head) return;
    if (Head->GetDType() == dtAtom || IsVariableValue(Head)) {
      Bind(Head->Text());
      Bind(Head->Text() + "-index");
      return;
    }
    if (Head->GetDType() != dtFunCall) {
      WalkValue(Head, Depth);
      return;
    }
    const IFunCall Call = Head->GetAsFunCall();
    const std::vector<IIEValue>& Parts = Call->GetArguments();
    if (Call->GetName() != "__get-var" || Parts.empty() || !IsVariableValue(Parts[0])) {
      WalkValue(Head, Depth);
      return;
    }
    for (size_t I = 1; I < Parts.size(); ++I) WalkValue(Parts[I], Depth + 1);
    Bind(Parts[0]->Text());
    Bind(Parts[0]->Text() + "-index");
  }

  void WalkValue(const IIEValue& Value, int Depth) {
    if (!Value || Depth >= MaxWalkDepth) return;
    switch (Value->GetDType()) {
      case dtVariable:
      case dtMultiVariable:
        Use(Value);
        break;
      case dtFunCall:
        if (const IFunCall Call = Value->GetAsFunCall()) WalkCall(*Call, Depth + 1);
        break;
      case dtList:
        if (const IValueVector List = Value->GetAsList())
          for (const IIEValue& Element : List->Values()) WalkValue(Element, Depth + 1);
        break;
      case dtFact:
        if (const IFact Fact = Value->GetAsFact()) WalkFact(*Fact, Depth + 1);
        break;
      default:
        break;
    }
  }

  // The values written in a fact of an action (only the slots given: reading another would fill it).
  void WalkFact(const TFact& Fact, int Depth) {
    const std::vector<std::string> Names = Fact.GetSlotNames();
    const std::vector<IIEValue> Values = Fact.GetSlotValues();
    for (size_t I = 0; I < Names.size() && I < Values.size(); ++I) {
      CheckSlot(Names[I], Values[I], Fact.GetTemplate());
      WalkValue(Values[I], Depth);
    }
  }

  // A "(slot value)" pair of a modify or duplicate.
  void CheckPair(const TIEValue& Pair, const IFactTemplate& Template) {
    const IValueVector List = Pair.GetAsList();
    if (!List || List->GetValueCount() != 2 || !List->Get(0) || List->Get(0)->GetDType() != dtAtom) return;
    CheckSlot(List->Get(0)->Text(), List->Get(1), Template);
  }

  void CheckSlot(const std::string& SlotName, const IIEValue& Value, const IFactTemplate& Template) {
    if (!Template || !Value || Value->GetDType() != dtMultiVariable) return;
    const IFactSlot* Slot = Template->FindSlot(SlotName);
    if (!Slot || (*Slot)->GetSlotType().Contains(dtMultiSlot) || (*Slot)->GetSlotType().Contains(dtFuzzy))
      return;
    Report(Format(SMultifieldVariableInSlot, {Value->GetToString(), SlotName, Template->GetTemplateName()}));
  }

  // The template of the pattern "?Name <-" binds.
  IFactTemplate TemplateBoundTo(const std::string& Name) const {
    for (int32_t I = 0; I < FRule.GetPatternCount(); ++I) {
      const TIEPattern* Pattern = FRule.GetPattern(I);
      if (Pattern->GetBoundName() == Name) return Pattern->GetFactTemplate();
    }
    return nullptr;
  }

  bool TakesNumbers(const std::string& Name) {
    IUserFunction Function;
    return FEngine.ContainsUserFunction(Name, Function) && Function && TakesSingleNumbers(*Function);
  }

  TInferenceEngine& FEngine;
  const TRule& FRule;
  std::vector<std::string> FBound;
  std::vector<std::string>& FMessages;
};

}  // namespace

void TIEClipsParser::WarnAboutRule(const TRule& Rule, int32_t Line) {
  std::vector<std::string> Messages = std::move(FRuleWarnings);
  FRuleWarnings.clear();
  // The firing binds ?__RULE to the rule's name, and every variable the rule records a binding for.
  std::vector<std::string> Bound{SRuleBinding};
  for (const auto& Entry : FRuleVariables) Bound.push_back(Entry.first);
  for (int32_t I = 0; I < Rule.GetBindingCount(); ++I) Bound.push_back(Rule.GetBinding(I)->GetName());
  for (int32_t I = 0; I < Rule.GetPatternCount(); ++I)
    if (!Rule.GetPattern(I)->GetBoundName().empty()) Bound.push_back(Rule.GetPattern(I)->GetBoundName());
  TActionWalker Walker(*FEngine, Rule, std::move(Bound), Messages);
  for (int32_t I = 0; I < Rule.GetActionCount(); ++I)
    if (const IFunCall& Action = Rule.GetAction(I)) Walker.WalkCall(*Action, 0);
  for (const std::string& Message : Messages)
    FEngine->Warning(TIEWarning{"defrule", Rule.GetRuleName(), Line, Message});
}

}  // namespace rulecraft
