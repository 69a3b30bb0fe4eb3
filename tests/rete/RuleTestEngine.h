#pragma once
// A stand-in for the engine in pattern and rule tests: a template and defined-type collection, a function
// table, the symbol and rule-identifier counters, the initial-fact pattern and the null fact, a root
// evaluation context, a rule registry keyed by name, and the stand-alone printers. A few small functions
// ("eq", "neq", "not", "and", "or", ">") can be registered for tests that evaluate calls.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/UserFunction.h"
#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"
#include "rulecraft/types/DefinedType.h"
#include "rulecraft/types/DefinedTypePrinter.h"

namespace rulecraft::testing {

class TRuleTestEngine final : public TComponent, public IRuleEngine {
 public:
  TRuleTestEngine() : TComponent(nullptr), FContext(std::make_unique<TIEContext>(nullptr, this)) {
    IFactTemplate Initial = CreateFactTemplate(SInitialFactPattern);
    Initial->AddMultiSlot(SDefaultSlotName, FCNilList);
    FInitialFactPattern = std::make_unique<TIEPattern>(this, SInitialFactPattern, Initial, 0);
    IFactTemplate Null = CreateFactTemplate(SNullFact);
    Null->AddMultiSlot(SDefaultSlotName, FCNilList);
    FNullFact = MakeRef<TFact>(Null);
  }
  ~TRuleTestEngine() override {
    // As the engine does: the agenda goes before the network its activations point into.
    Activations.clear();
    // Owned rules go first, while the registry they may call is still here.
    while (ComponentCount() > 0) FreeComponent(GetComponent(ComponentCount() - 1));
  }

  TTypeChecks TypeChecks{tcStatic, tcDynamic};
  int32_t NextFactId = 1;
  int32_t SymbolCounter = 1;
  int32_t RuleIdCounter = 1;
  int32_t RuleChanges = 0;
  int32_t PatternPrints = 0;
  std::vector<TRule*> ChangedRules;
  std::vector<std::string> TemplateRenames;
  std::map<std::string, IIEDefinedType> Types;
  std::map<std::string, IFactTemplate> Templates;
  std::map<std::string, IUserFunction> Functions;
  std::map<std::string, TRule*> Rules;

  // ---- IReasoner
  std::string PrettyPrint(const TFunctionCall& FunCall) override { return PrettyPrintFunCall(FunCall); }
  std::string PrettyPrint(const TFact& Fact) override { return PrettyPrintFact(Fact); }
  std::string PrettyPrint(const TIEUserFunction& Function) override { return Function.GetFunctionName(); }
  std::string PrettyPrint(const TInterpretedFunction&) override { return std::string(); }
  std::string PrettyPrint(const TIEDefinedType& Type) override { return PrettyPrintDefinedType(Type); }

  // ---- IFactEngine
  TTypeChecks GetTypeChecks() const override { return TypeChecks; }
  std::string PrettyPrint(const TFactTemplate& Template) override { return PrettyPrintTemplate(Template); }
  std::string PrettyPrint(const TFactSlot& Slot) override { return PrettyPrintTemplateSlot(Slot); }
  void ChangeFactTemplateName(const std::string& OldName, const std::string& NewName) override {
    TemplateRenames.push_back(OldName + "->" + NewName);
  }
  IFactSlot ParseFactTemplateSlot(const std::string&) override { throw Exception("no parser here"); }
  IIEValue ParseValue(const std::string&, const TFactSlot&) override { throw Exception("no parser here"); }
  IIEDefinedType FindDefinedType(const std::string& Name) override {
    auto It = Types.find(Name);
    return It == Types.end() ? IIEDefinedType() : It->second;
  }
  IFactTemplate FindFactTemplate(const std::string& Name) override {
    auto It = Templates.find(Name);
    return It == Templates.end() ? IFactTemplate() : It->second;
  }
  IFactTemplate CreateFactTemplate(const std::string& Name) override {
    IFactTemplate Template = MakeRef<TFactTemplate>(this, Name);
    Templates[Name] = Template;
    return Template;
  }
  IFact ParseFact(const std::string&) override { throw Exception("no parser here"); }
  TResolveContext* GetRootContext() override { return FContext.get(); }
  int32_t GetNextFactId() const override { return NextFactId; }
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text) override {
    return Variable->FindFuzzySet(Text);
  }

  // ---- IFunctionEngine
  void AddUserFunction(const IUserFunction& Function) override {
    Functions[Function->GetFunctionName()] = Function;
  }
  void RemoveUserFunction(const IUserFunction& Function) override {
    auto It = Functions.find(Function->GetFunctionName());
    if (It != Functions.end() && It->second == Function) Functions.erase(It);
  }
  bool ContainsUserFunction(const std::string& Name) override { return Functions.count(Name) > 0; }
  bool ContainsUserFunction(const std::string& Name, IUserFunction& Function) override {
    auto It = Functions.find(Name);
    if (It == Functions.end()) return false;
    Function = It->second;
    return true;
  }
  IUserFunction GetUserFunction(const std::string& Name) override {
    auto It = Functions.find(Name);
    return It == Functions.end() ? IUserFunction() : It->second;
  }
  std::vector<IUserFunction> GetUserFunctions() override {
    std::vector<IUserFunction> All;
    for (const auto& Entry : Functions) All.push_back(Entry.second);
    return All;
  }
  void SetUserFunction(const std::string& Name, const IUserFunction& Function) override {
    if (Function)
      Functions[Name] = Function;
    else
      Functions.erase(Name);
  }
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable*, const IIEValue&, TIEContext*) override {
    return IFuzzySet();
  }

  // ---- IRuleEngine
  std::string GenerateSymbol(const std::string& Prefix) override {
    return Prefix + std::to_string(SymbolCounter++);
  }
  int32_t NewRuleId() override { return RuleIdCounter++; }
  const TIEPattern* GetInitialFactPattern() const override { return FInitialFactPattern.get(); }
  const IFact& GetNullFact() const override { return FNullFact; }
  TIEContext* GetContext() override { return FContext.get(); }
  void RegisterRule(TRule* Rule) override { Rules[Rule->GetRuleName()] = Rule; }
  void UnregisterRule(TRule* Rule) override {
    auto It = Rules.find(Rule->GetRuleName());
    if (It != Rules.end() && It->second == Rule) Rules.erase(It);
  }
  bool IsRuleRegistered(const TRule* Rule) const override {
    auto It = Rules.find(Rule->GetRuleName());
    return It != Rules.end() && It->second == Rule;
  }
  void RenameRule(const std::string& OldName, const std::string& NewName) override {
    auto It = Rules.find(OldName);
    if (It == Rules.end()) return;
    TRule* Rule = It->second;
    Rules.erase(It);
    Rules[NewName] = Rule;
  }
  void RuleChange(TRule* Rule) override {
    ++RuleChanges;
    ChangedRules.push_back(Rule);
  }
  std::unique_ptr<TRule> ParseRule(const std::string&) override { throw Exception("no parser here"); }
  std::string PrettyPrint(const TIEPattern& Pattern) override {
    ++PatternPrints;
    return PrettyPrintPattern(Pattern);
  }
  std::string PrettyPrint(const TRule& Rule) override { return PrettyPrintRule(Rule); }

  // ---- what the network needs: a plain list of activations and a fact list
  void AddActivation(std::unique_ptr<TActivation> Activation) override {
    Activations.push_back(std::move(Activation));
  }
  void RemoveActivation(TActivation* Activation) override {
    for (auto It = Activations.begin(); It != Activations.end(); ++It)
      if (It->get() == Activation) {
        Activations.erase(It);
        return;
      }
  }
  void RuleFired(TActivation* Activation) override { Fired.push_back(Activation); }
  std::vector<IFact> GetFactList() const override { return Facts; }
  void AddPendingFact(const IFact& Fact) override { PendingFacts.push_back(Fact); }

  std::vector<std::unique_ptr<TActivation>> Activations;
  std::vector<TActivation*> Fired;
  std::vector<IFact> Facts;
  std::vector<IFact> PendingFacts;

  /// Registers the small test functions below.
  void AddTestFunctions();

 private:
  std::unique_ptr<TIEContext> FContext;
  std::unique_ptr<TIEPattern> FInitialFactPattern;
  IFact FNullFact;
};

// ---- test functions: each resolves its arguments in the calling context ----

inline IIEValue ResolvedArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  IIEValue Result;
  FunCall.GetArgument(Index)->Resolve(Context, Result);
  return Result;
}

inline const IIEValue& TruthValue(bool Value) { return Value ? FCTrue : FCFalse; }

/// (eq a b ...): TRUE when every later argument equals the first.
class TTestEqFunction final : public TIEUserFunction {
 public:
  TTestEqFunction() : TIEUserFunction("eq", 2, 2147483647) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const IIEValue First = ResolvedArgument(FunCall, 0, Context);
    bool All = true;
    for (int32_t I = 1; I < FunCall.GetArgumentCount() && All; ++I)
      All = First->Equals(ResolvedArgument(FunCall, I, Context));
    Result = TruthValue(All);
  }
};

/// (neq a b ...): TRUE when no later argument equals the first.
class TTestNeqFunction final : public TIEUserFunction {
 public:
  TTestNeqFunction() : TIEUserFunction("neq", 2, 2147483647) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const IIEValue First = ResolvedArgument(FunCall, 0, Context);
    bool None = true;
    for (int32_t I = 1; I < FunCall.GetArgumentCount() && None; ++I)
      None = !First->Equals(ResolvedArgument(FunCall, I, Context));
    Result = TruthValue(None);
  }
};

/// (not x): TRUE when x is FALSE.
class TTestNotFunction final : public TIEUserFunction {
 public:
  TTestNotFunction() : TIEUserFunction("not", 1, 1) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    Result = TruthValue(ResolvedArgument(FunCall, 0, Context)->Equals(FCFalse));
  }
};

/// (and x ...) / (or x ...): short-circuit on FALSE / on anything else.
class TTestLogicFunction final : public TIEUserFunction {
 public:
  explicit TTestLogicFunction(bool IsAnd)
      : TIEUserFunction(IsAnd ? "and" : "or", 1, 2147483647), FAnd(IsAnd) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) {
      const bool True = !ResolvedArgument(FunCall, I, Context)->Equals(FCFalse);
      if (True != FAnd) {
        Result = TruthValue(True);
        return;
      }
    }
    Result = TruthValue(FAnd);
  }

 private:
  bool FAnd;
};

/// (> a b): TRUE when the number a is above b.
class TTestGreaterFunction final : public TIEUserFunction {
 public:
  TTestGreaterFunction() : TIEUserFunction(">", 2, 2) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    Result = TruthValue(ResolvedArgument(FunCall, 0, Context)->GetAsNumeric() >
                        ResolvedArgument(FunCall, 1, Context)->GetAsNumeric());
  }
};

inline void TRuleTestEngine::AddTestFunctions() {
  AddUserFunction(MakeRef<TTestEqFunction>());
  AddUserFunction(MakeRef<TTestNeqFunction>());
  AddUserFunction(MakeRef<TTestNotFunction>());
  AddUserFunction(MakeRef<TTestLogicFunction>(true));
  AddUserFunction(MakeRef<TTestLogicFunction>(false));
  AddUserFunction(MakeRef<TTestGreaterFunction>());
}

// ---- values ----

inline IIEValue CallValue(const IFunCall& Call) { return MakeRef<TIEValue>(TRef<TFunCallBase>(Call)); }
/// A call of Name on Arguments for Engine (which may be nullptr).
inline IFunCall Call(IFunctionEngine* Engine, const std::string& Name, std::vector<IIEValue> Arguments) {
  IFunCall Result = MakeRef<TFunctionCall>(Engine, Name);
  for (const IIEValue& Argument : Arguments) Result->AddArgument(Argument);
  return Result;
}


}  // namespace rulecraft::testing
