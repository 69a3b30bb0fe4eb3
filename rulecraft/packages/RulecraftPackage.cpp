#include "rulecraft/packages/RulecraftPackage.h"

#include <string>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/Explanation.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/packages/StandardPackage.h"

namespace rulecraft {

namespace {

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class : {TGetStrategyFunction::StaticClass(), TSetStrategyFunction::StaticClass(),
                       TSetMaxFiringsFunction::StaticClass(), TMatchesFunction::StaticClass(),
                       TWhyFunction::StaticClass(), TRulecraftPackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

IIEValue StrategyValue(TSearchStrategy Strategy) {
  return MakeRef<TIEValue>(std::string(SearchStrategyName(Strategy)), dtAtom);
}

}  // namespace

TGetStrategyFunction::TGetStrategyFunction()
    : TIEUserFunction(
          "get-strategy", 0, 0,
          FunctionComment("Returns the current conflict resolution strategy: depth, breadth, newest, "
                          "oldest, lex, mea, simplicity, complexity or random")) {}

void TGetStrategyFunction::Evaluate(TFunctionCall&, TIEContext* Context, IIEValue& Result) {
  Result = StrategyValue(EngineOf(Context).GetStrategy());
}

TSetStrategyFunction::TSetStrategyFunction()
    : TIEUserFunction(
          "set-strategy", 1, 1,
          FunctionComment(
              "Sets the conflict resolution strategy to <strategy-name> (depth, breadth, newest, "
              "oldest, lex, mea, simplicity, complexity or random), re-sorts the agenda and returns "
              "the previous strategy.  Salience always orders first; the strategy orders "
              "activations of equal salience"),
          " <strategy-name>") {}

void TSetStrategyFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string Name = ArgumentText(FunCall, 0, Context);
  TSearchStrategy Strategy;
  if (!SearchStrategyNamed(Name, Strategy)) throw EIEException(SUnknownStrategy, {Name});
  Result = StrategyValue(Engine.GetStrategy());
  Engine.SetStrategy(Strategy);
}

TSetMaxFiringsFunction::TSetMaxFiringsFunction()
    : TIEUserFunction("set-max-firings", 1, 1,
                      FunctionComment("Sets the most rules one run may fire (0 for no limit) and returns the "
                                      "previous limit.  A run that reaches the limit with activations left "
                                      "stops with an error and keeps them on the agenda"),
                      " <integer-expression>") {}

void TSetMaxFiringsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const int32_t Limit = ResolveInteger(FunCall, 0, Context);
  if (Limit < 0) throw EIEException(SInvalidFiringLimit, {Limit});
  Result = MakeRef<TIEValue>(Engine.GetMaxFirings(), dtInteger);
  Engine.SetMaxFirings(Limit);
}

TMatchesFunction::TMatchesFunction()
    : TIEUserFunction(
          "matches", 1, 1,
          FunctionComment(
              "Prints, for each pattern of the rule, the facts that match it alone, for each join "
              "the number of partial matches it holds and, when the rule has no activation, "
              "where matching stops and why.  Returns the number of activations"),
          " <rule-name>") {}

void TMatchesFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const TRuleMatchReport Report = Engine.ExplainMatches(ArgumentText(FunCall, 0, Context));
  Engine.PrintOut("t", Engine.MatchReportText(Report));
  Result = MakeRef<TIEValue>(Report.Activations, dtInteger);
}

TWhyFunction::TWhyFunction()
    : TIEUserFunction(
          "why", 1, 1,
          FunctionComment("Prints the rule whose firing asserted the fact and the facts it fired on, and "
                          "returns the rule's name; returns FALSE for a fact no rule asserted"),
          " <fact-id-expression>|<fact-expression>") {}

void TWhyFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  // The printed form f-5 too: it is what (facts) and why show.
  const IFact Fact = FactArgument(Engine, ResolveArgument(FunCall, 0, Context), true);
  Engine.PrintOut("t", Engine.FactOriginText(Fact));
  const IFactOrigin& Origin = Fact->GetOrigin();
  Result = Origin ? MakeRef<TIEValue>(Origin->GetRuleName(), dtAtom) : FCFalse;
}

void TRulecraftPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  List.Add(MakeRef<TGetStrategyFunction>());
  List.Add(MakeRef<TSetStrategyFunction>());
  List.Add(MakeRef<TSetMaxFiringsFunction>());
  List.Add(MakeRef<TMatchesFunction>());
  List.Add(MakeRef<TWhyFunction>());
}

}  // namespace rulecraft
