#pragma once
// The rule layer of the stand-in engine (see FakeEngine.h): symbol and rule-identifier counters, the
// initial-fact pattern and the null fact, a rule registry keyed by name, counts of rule changes and pattern
// prints, and in place of the agenda a plain list of activations in arrival order. AddTestFunctions
// registers a few small functions ("eq", "neq", "not", "and", "or", ">") for tests that evaluate calls.
#include "FakeEngine.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft::testing {

class TFakeRuleEngine : public TFakeFunctionLayer<IRuleEngine> {
 public:
  TFakeRuleEngine() {
    IFactTemplate Initial = CreateFactTemplate(SInitialFactPattern);
    Initial->AddMultiSlot(SDefaultSlotName, FCNilList);
    FInitialFactPattern = std::make_unique<TIEPattern>(this, SInitialFactPattern, Initial, 0);
    IFactTemplate Null = CreateFactTemplate(SNullFact);
    Null->AddMultiSlot(SDefaultSlotName, FCNilList);
    FNullFact = MakeRef<TFact>(Null);
  }
  ~TFakeRuleEngine() override {
    // As the engine does: the agenda goes before the network its activations point into.
    Activations.clear();
    // Owned rules go first, while the registry they may call is still here.
    while (ComponentCount() > 0) FreeComponent(GetComponent(ComponentCount() - 1));
  }

  int32_t SymbolCounter = 1;
  int32_t RuleIdCounter = 1;
  int32_t RuleChanges = 0;
  int32_t PatternPrints = 0;
  std::vector<TRule*> ChangedRules;
  std::map<std::string, TRule*> Rules;
  std::vector<std::unique_ptr<TActivation>> Activations;
  std::vector<TActivation*> Fired;
  std::vector<IFact> Facts;
  std::vector<IFact> PendingFacts;

  std::string GenerateSymbol(const std::string& Prefix) override {
    return Prefix + std::to_string(SymbolCounter++);
  }
  int32_t NewRuleId() override { return RuleIdCounter++; }
  const TIEPattern* GetInitialFactPattern() const override { return FInitialFactPattern.get(); }
  const IFact& GetNullFact() const override { return FNullFact; }
  TIEContext* GetContext() override { return &Root; }
  void RegisterRule(TRule* Rule) override { Rules[Rule->GetRuleName()] = Rule; }
  void UnregisterRule(TRule* Rule) override {
    if (IsRuleRegistered(Rule)) Rules.erase(Rule->GetRuleName());
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
  using TFakeFunctionLayer<IRuleEngine>::PrettyPrint;

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

  /// Registers "eq", "neq", "not", "and", "or" and ">"; each resolves its arguments in the calling context.
  void AddTestFunctions() {
    auto Truth = [](bool Value) { return Value ? FCTrue : FCFalse; };
    // (eq a b ...) is TRUE when every later argument equals the first; (neq a b ...) when none does.
    for (const bool Equal : {true, false})
      AddUserFunction(Lambda(Equal ? "eq" : "neq", 2, 2147483647,
                             [=](TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
                               const IIEValue First = Arg(Call, 0, Context);
                               bool All = true;
                               for (int32_t I = 1; I < Call.GetArgumentCount() && All; ++I)
                                 All = First->Equals(Arg(Call, I, Context)) == Equal;
                               Result = Truth(All);
                             }));
    AddUserFunction(Lambda("not", 1, 1, [=](TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
      Result = Truth(Arg(Call, 0, Context)->Equals(FCFalse));
    }));
    // (and x ...) stops at the first FALSE, (or x ...) at the first anything else.
    for (const bool And : {true, false})
      AddUserFunction(Lambda(And ? "and" : "or", 1, 2147483647,
                             [=](TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
                               for (int32_t I = 0; I < Call.GetArgumentCount(); ++I)
                                 if (Arg(Call, I, Context)->Equals(FCFalse) == And) {
                                   Result = Truth(!And);
                                   return;
                                 }
                               Result = Truth(And);
                             }));
    AddUserFunction(Lambda(">", 2, 2, [=](TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
      Result = Truth(Arg(Call, 0, Context)->GetAsNumeric() > Arg(Call, 1, Context)->GetAsNumeric());
    }));
  }

 private:
  std::unique_ptr<TIEPattern> FInitialFactPattern;
  IFact FNullFact;
};

}  // namespace rulecraft::testing
