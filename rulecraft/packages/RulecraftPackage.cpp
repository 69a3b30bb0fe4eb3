#include "rulecraft/packages/RulecraftPackage.h"

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/packages/StandardPackage.h"

namespace rulecraft {

namespace {

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class : {TGetStrategyFunction::StaticClass(), TSetStrategyFunction::StaticClass(),
                       TRulecraftPackage::StaticClass()})
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

void TRulecraftPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  List.Add(MakeRef<TGetStrategyFunction>());
  List.Add(MakeRef<TSetStrategyFunction>());
}

}  // namespace rulecraft
