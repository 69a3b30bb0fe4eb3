#include "rulecraft/rete/Rule.h"

#include <algorithm>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

namespace {

bool StartsWith(const std::string& Text, const char* Prefix) { return Text.rfind(Prefix, 0) == 0; }

[[noreturn]] void RaiseNoEngine() { throw EIEException(std::string(SUnknownEngine)); }

[[noreturn]] void IndexError(int32_t Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

// A copy of Call whose nested calls are copies too, so that renaming variables in it touches no call that
// another pattern or rule still holds.
IFunCall DeepCopy(const TFunctionCall& Call) {
  IFunCall Copy = MakeRef<TFunctionCall>(Call.GetReasoner(), Call.GetName());
  Copy->SetComment(Call.GetComment());
  Copy->SetTag(Call.GetTag());
  for (const IIEValue& Argument : Call.GetArguments()) {
    if (Argument && Argument->GetDType() == dtFunCall)
      Copy->AddArgument(MakeRef<TIEValue>(TRef<TFunCallBase>(DeepCopy(*Argument->GetAsFunCall()))));
    else
      Copy->AddArgument(Argument);
  }
  return Copy;
}

}  // namespace

/// What a firing of a rule needs, compiled from the rule: the frame layout (the rule's variables in binding
/// order, the rule-name variable, then every other variable its actions name), the slot of each binding,
/// and the actions as they were (an action may change the rule while it fires).
class TFiringPlan final : public TInterfacedObject {
 public:
  /// How a binding takes its value: none (a local), the fact's identifier, a slot value or a field of one.
  enum TTake : uint8_t { tkNone, tkFactId, tkSlot, tkField };
  IFrameLayout Layout;
  std::vector<int32_t> BindingSlots;
  std::vector<TTake> Takes;
  /// Where each binding's slot was found last time, so that a fact of the same template is read by position.
  struct TSlotHint {
    size_t Position = SIZE_MAX;
    IFactSlot Known;
  };
  std::vector<TSlotHint> Hints;
  int32_t RuleSlot = -1;
  IIEValue RuleName;
  std::vector<IFunCall> Actions;
};

void SubstFunCall(TFunctionCall& Call, const std::vector<std::pair<std::string, std::string>>& Renames) {
  for (int32_t I = 0; I < Call.GetArgumentCount(); ++I) {
    const IIEValue& Argument = Call.GetArgument(I);
    if (!Argument) continue;
    const TIEType Kind = Argument->GetDType();
    if (Kind == dtVariable || Kind == dtMultiVariable) {
      for (const auto& [Old, New] : Renames)
        if (Argument->Text() == Old) {
          Call.SetArgument(I, MakeRef<TIEValue>(New, Kind));
          break;
        }
    } else if (Kind == dtFunCall) {
      SubstFunCall(*Argument->GetAsFunCall(), Renames);
    }
  }
}

// ---- construction ----------------------------------------------------------------------------------------

TRule::TRule(TComponent* AOwner) : TComponent(AOwner), FSalienceValue(MakeRef<TIEValue>(0, dtInteger)) {
  FEngine = dynamic_cast<IRuleEngine*>(AOwner);
  if (FEngine) FRuleId = FEngine->NewRuleId();
  FRuleName = "Rule_" + std::to_string(FRuleId);
}

TRule::~TRule() {
  Destroying();
  OnFire = nullptr;
  OnChange = nullptr;
  FUpdateCount = 1;  // no change notices while the parts go
  FAlternatives.clear();
  FConditions.clear();
  FPatterns.clear();
}

void TRule::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && FEngine && dynamic_cast<TComponent*>(FEngine) == AComponent) FEngine = nullptr;
}

void TRule::SetEngine(IRuleEngine* Engine) {
  if (Engine == FEngine) return;
  if (FEngine) {
    if (FEngine->IsRuleRegistered(this)) FEngine->UnregisterRule(this);
    if (auto* Old = dynamic_cast<TComponent*>(FEngine); Old && Old != GetOwner())
      Old->RemoveFreeNotification(this);
  }
  FEngine = Engine;
  for (const auto& Alternative : FAlternatives) Alternative->FEngine = Engine;
  if (!FEngine) return;
  if (auto* New = dynamic_cast<TComponent*>(FEngine); New && New != GetOwner()) New->FreeNotification(this);
  FRuleId = FEngine->NewRuleId();
  FEngine->RegisterRule(this);
}

// ---- names, salience, flags ------------------------------------------------------------------------------

void TRule::SetRuleName(const TIEName& Value) {
  CheckName(Value);
  if (Value == FRuleName) return;
  if (FEngine && FEngine->IsRuleRegistered(this)) FEngine->RenameRule(FRuleName, Value);
  FRuleName = Value;
  FPlan = nullptr;
  for (const auto& Alternative : FAlternatives) {
    Alternative->FRuleName = Value;
    Alternative->FPlan = nullptr;
  }
}

void TRule::SetSalienceInteger(int32_t Value) {
  if (Value == FSalience) return;
  FSalience = Value;
  FSalienceValue = MakeRef<TIEValue>(Value, dtInteger);
  Change();
}

void TRule::SetSalience(const IIEValue& Value) {
  FSalienceValue = Value ? Value : MakeRef<TIEValue>(0, dtInteger);
  EvaluateSalience();
  for (const auto& Alternative : FAlternatives) {
    Alternative->FSalienceValue = FSalienceValue;
    Alternative->FSalience = FSalience;
  }
}

int32_t TRule::EvaluateSalience() {
  if (!FEngine || !FSalienceValue) return FSalience;
  if (FSalienceValue->GetDType() == dtInteger) {
    FSalience = FSalienceValue->GetAsInteger();
    return FSalience;
  }
  // Only the current salience changes: the declared expression stays and the rule is not recompiled.
  std::unique_ptr<TIEContext> Child = FEngine->GetContext()->Push();
  IIEValue Result;
  FSalienceValue->Resolve(Child.get(), Result);
  Child->Pop();
  FSalience = Result ? Result->GetAsInteger() : 0;
  return FSalience;
}

void TRule::SetOneShot(bool Value) {
  if (Value == FOneShot) return;
  FOneShot = Value;
  Change();
}

void TRule::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Change();
}

void TRule::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Change();
}

void TRule::Change() {
  FPlan = nullptr;
  if (FUpdateCount > 0 || IsDestroying()) return;
  SyncAlternatives();
  if (FEngine) FEngine->RuleChange(this);
  if (OnChange) OnChange(this);
}

// ---- patterns --------------------------------------------------------------------------------------------

TIEPattern* TRule::GetPattern(int32_t Index) const {
  if (Index < 0 || Index >= GetPatternCount()) IndexError(Index);
  return FPatterns[static_cast<size_t>(Index)].get();
}

int32_t TRule::IndexOfPattern(const TIEPattern* Pattern) const noexcept {
  // From the back: the pattern asked for is nearly always the one just added.
  for (size_t I = FPatterns.size(); I-- > 0;)
    if (FPatterns[I].get() == Pattern) return static_cast<int32_t>(I);
  return -1;
}

void TRule::InsertPattern(int32_t Index, std::unique_ptr<TIEPattern> Pattern) {
  Pattern->SetOwner(this);
  FPatterns.insert(FPatterns.begin() + Index, std::move(Pattern));
}

int32_t TRule::AppendPattern(std::unique_ptr<TIEPattern> Pattern) {
  if (!FEngine) RaiseNoEngine();
  TIEPattern* Added = Pattern.get();
  BeginUpdate();
  try {
    FPatterns.push_back(std::move(Pattern));
    AddPattern(*Added);
  } catch (...) {
    const int32_t Index = IndexOfPattern(Added);
    if (Index >= 0) FPatterns.erase(FPatterns.begin() + Index);
    --FUpdateCount;
    throw;
  }
  EndUpdate();
  return IndexOfPattern(Added);
}

void TRule::AddPattern(TIEPattern& Pattern) {
  if (!FEngine) RaiseNoEngine();
  Pattern.SetOwner(this);
  // A rule that starts with a negated pattern or conjunction, a test or a backward-chaining template starts
  // from the initial fact.
  if (GetPatternCount() == 1 &&
      (Pattern.GetNegatedCount() > 0 || Pattern.GetGroupNegation() > 0 || Pattern.GetName() == STestCE ||
       (Pattern.GetFactTemplate() && Pattern.GetFactTemplate()->IsBackwardChaining()))) {
    if (const TIEPattern* Initial = FEngine->GetInitialFactPattern()) InsertPattern(0, Initial->Clone(this));
  }
  const bool Goal = StartsWith(Pattern.GetName(), SBackChainPrefix);
  // A goal's companion would split the conjunction's run of patterns.
  if (Goal && Pattern.GetGroupSize() > 0)
    throw EIEException(SUnsupportedConstruct, {"goal pattern in a negated and element"});
  if (Goal && Pattern.GetBoundName().empty()) Pattern.SetBoundName(FEngine->GenerateSymbol(SFactPrefix));
  const int32_t Position = IndexOfPattern(&Pattern);
  int32_t OwnFirst = 0;
  int32_t OwnLast = 0;
  const bool InNegated = GetNegatedElement(Position, OwnFirst, OwnLast);
  if (!Pattern.GetBoundName().empty())
    AddBinding(Pattern.GetBoundName(), Position, SPatternBinding, NoSubIndex);

  std::vector<std::pair<std::string, std::string>> Renames;
  for (int32_t S = 0; S < Pattern.GetSlotCount(); ++S) {
    for (int32_t T = 0; T < Pattern.GetSlotTestCount(S); ++T) {
      TIEPatternMatchTest* Test = Pattern.GetSlotTest(S, T);
      const IIEValue& Value = Test->GetSlotValue();
      if (!Value || (Value->GetDType() != dtVariable && Value->GetDType() != dtMultiVariable)) continue;
      std::string Name = Value->Text();
      if (auto Renamed =
              std::find_if(Renames.begin(), Renames.end(), [&](const auto& R) { return R.first == Name; });
          Renamed != Renames.end()) {
        Test->SetSlotValue(MakeRef<TIEValue>(Renamed->second, Value->GetDType()));
        continue;
      }
      if (const TBinding* Outer = GetBindingByName(Name)) {
        // A variable first used inside a negated element belongs to that element: another negated element
        // using the same name has a variable of its own, renamed here so the two never join. Members of one
        // negated conjunction share its variables.
        const int32_t At = Outer->GetFactIndex();
        int32_t First = 0;
        int32_t Last = 0;
        if (!InNegated || At == Position || At < 0 || At >= GetPatternCount() ||
            !GetNegatedElement(At, First, Last) || (Position >= First && Position <= Last))
          continue;
        std::string NewName = "_" + std::to_string(Position) + "_" + Name;
        while (IndexOfBinding(NewName) >= 0) NewName = "_" + NewName;
        Renames.emplace_back(Name, NewName);
        Test->SetSlotValue(MakeRef<TIEValue>(NewName, Value->GetDType()));
        AddBinding(NewName, Position, Pattern.GetSlotName(S), Test->GetMultiSlotSubIndex());
        continue;
      }
      if (Pattern.IsNegated() || Pattern.GetGroupNegation() > 0) {
        if (StartsWith(Name, SBlankPrefix)) {
          // Placeholders of different negated patterns must not join each other: give them names of their
          // own.
          const std::string NewName = "_" + std::to_string(GetPatternCount()) + "_" + Name;
          Renames.emplace_back(Name, NewName);
          Test->SetSlotValue(MakeRef<TIEValue>(NewName, Value->GetDType()));
          Name = NewName;
        }
      } else if (Test->IsNegated()) {
        throw EIEException(SNegatedVariable, {Name});
      }
      AddBinding(Name, Position, Pattern.GetSlotName(S), Test->GetMultiSlotSubIndex());
    }
  }
  if (!Renames.empty()) {
    for (int32_t S = 0; S < Pattern.GetSlotCount(); ++S)
      for (int32_t T = 0; T < Pattern.GetSlotTestCount(S); ++T) {
        TIEPatternMatchTest* Test = Pattern.GetSlotTest(S, T);
        const IIEValue& Value = Test->GetSlotValue();
        if (!Value || Value->GetDType() != dtFunCall) continue;
        IFunCall Copy = DeepCopy(*Value->GetAsFunCall());
        SubstFunCall(*Copy, Renames);
        Test->SetSlotValue(MakeRef<TIEValue>(TRef<TFunCallBase>(Copy)));
      }
  }
  Pattern.FixTests();
  if (Goal) {
    // The goal's companion: the same pattern on the real template, negated, so the goal goes away once the
    // fact it asks for exists.
    std::unique_ptr<TIEPattern> Companion = Pattern.Clone(this);
    Companion->SetBoundName(std::string());
    Companion->SetName(Pattern.GetName().substr(std::string(SBackChainPrefix).size()));
    Companion->SetNegatedCount(1);
    TIEPattern* Added = Companion.get();
    FPatterns.push_back(std::move(Companion));
    AddPattern(*Added);
  }
  Change();
}

bool TRule::GetNegatedElement(int32_t Position, int32_t& First, int32_t& Last) const {
  if (Position < 0 || Position >= GetPatternCount()) return false;
  const TIEPattern& Pattern = *FPatterns[static_cast<size_t>(Position)];
  if (Pattern.GetNegatedCount() > 0) {
    First = Last = Position;
    return true;
  }
  if (Pattern.GetGroupSize() > 0 && Pattern.GetGroupNegation() > 0) {
    First = Position - Pattern.GetGroupIndex();
    Last = First + Pattern.GetGroupSize() - 1;
    return true;
  }
  return false;
}

// ---- conditions with and/or elements --------------------------------------------------------------------

void TRule::SetConditions(TConditions Elements) {
  if (!FEngine) RaiseNoEngine();
  std::vector<TAlternative> Alternatives = ExpandConditions(Elements, FRuleName);
  BeginUpdate();
  try {
    FAlternatives.clear();
    FBindings.clear();
    FPatterns.clear();
    FConditions = std::move(Elements);
    for (const auto& Element : FConditions) Element->SetOwner(this);
    for (size_t A = 0; A < Alternatives.size(); ++A) {
      TRule* Target = this;
      if (A > 0) {
        auto Alternative = std::make_unique<TRule>(nullptr);
        Alternative->FEngine = FEngine;
        Alternative->FRuleId = FRuleId;
        Alternative->FRuleName = FRuleName;
        Alternative->FPrimary = this;
        if (auto* Engine = dynamic_cast<TComponent*>(FEngine)) Engine->FreeNotification(Alternative.get());
        Target = Alternative.get();
        FAlternatives.push_back(std::move(Alternative));
      }
      for (auto& Pattern : Alternatives[A]) {
        Pattern->SetOwner(Target);
        Target->AppendPattern(std::move(Pattern));
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TRule* TRule::GetAlternative(int32_t Index) const {
  if (Index < 0 || Index >= GetAlternativeCount()) IndexError(Index);
  return FAlternatives[static_cast<size_t>(Index)].get();
}

void TRule::SyncAlternatives() {
  for (const auto& Alternative : FAlternatives) {
    TRule& Target = *Alternative;
    Target.FRuleName = FRuleName;
    Target.FComment = FComment;
    Target.FSalienceValue = FSalienceValue;
    Target.FSalience = FSalience;
    Target.FOneShot = FOneShot;
    Target.FEnabled = FEnabled;
    Target.OnFire = OnFire;
    Target.FActions.clear();
    for (const IFunCall& Action : FActions) Target.FActions.push_back(Action ? Action->Clone() : IFunCall());
    Target.FPlan = nullptr;
  }
}

void TRule::Reset() noexcept {
  FFired = false;
  for (const auto& Alternative : FAlternatives) Alternative->FFired = false;
}

void TRule::DeletePattern(int32_t Index) {
  if (Index < 0 || Index >= GetPatternCount()) IndexError(Index);
  // Changed by hand, the rule is its own patterns only.
  FAlternatives.clear();
  FConditions.clear();
  FPatterns.erase(FPatterns.begin() + Index);
  Change();
}

void TRule::ClearPatterns() {
  FAlternatives.clear();
  FConditions.clear();
  FPatterns.clear();
  Change();
}

void TRule::SetPatterns(const TRule& Source) {
  if (&Source == this) return;
  BeginUpdate();
  try {
    FBindings.clear();
    FPatterns.clear();
    bool AfterGoal = false;
    for (const auto& Pattern : Source.FPatterns) {
      if (AfterGoal) {
        AfterGoal = false;
        continue;  // the companion of a goal is made again by AddPattern
      }
      AfterGoal = StartsWith(Pattern->GetName(), SBackChainPrefix);
      AppendPattern(Pattern->Clone(dynamic_cast<TComponent*>(FEngine)));
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---- actions ---------------------------------------------------------------------------------------------

const IFunCall& TRule::GetAction(int32_t Index) const {
  if (Index < 0 || Index >= GetActionCount()) IndexError(Index);
  return FActions[static_cast<size_t>(Index)];
}

int32_t TRule::AddAction(const IFunCall& Action) {
  FActions.push_back(Action);
  Change();
  return GetActionCount() - 1;
}

void TRule::InsertAction(int32_t Index, const IFunCall& Action) {
  if (Index < 0 || Index > GetActionCount()) IndexError(Index);
  FActions.insert(FActions.begin() + Index, Action);
  Change();
}

void TRule::DeleteAction(int32_t Index) {
  if (Index < 0 || Index >= GetActionCount()) IndexError(Index);
  FActions.erase(FActions.begin() + Index);
  Change();
}

void TRule::ClearActions() {
  FActions.clear();
  Change();
}

// ---- bindings --------------------------------------------------------------------------------------------

TBinding* TRule::AddBinding(const std::string& Name, int32_t FactIndex, const std::string& SlotIndex,
                            int32_t SubIndex) {
  auto Binding = std::make_unique<TBinding>(Name, FactIndex, SlotIndex, SubIndex);
  for (const auto& Existing : FBindings)
    if (Existing->Equals(Binding.get())) return Existing.get();
  FPlan = nullptr;
  FBindings.push_back(std::move(Binding));
  return FBindings.back().get();
}

TBinding* TRule::GetBinding(int32_t Index) const {
  if (Index < 0 || Index >= GetBindingCount()) IndexError(Index);
  return FBindings[static_cast<size_t>(Index)].get();
}

int32_t TRule::IndexOfBinding(const std::string& Name) const noexcept {
  for (size_t I = 0; I < FBindings.size(); ++I)
    if (FBindings[I]->GetName() == Name) return static_cast<int32_t>(I);
  return -1;
}

TBinding* TRule::GetBindingByName(const std::string& Name) const noexcept {
  const int32_t Index = IndexOfBinding(Name);
  return Index < 0 ? nullptr : FBindings[static_cast<size_t>(Index)].get();
}

// ---- firing ----------------------------------------------------------------------------------------------

const TRef<TFiringPlan>& TRule::GetFiringPlan() {
  if (FPlan) return FPlan;
  TRef<TFiringPlan> Plan = MakeRef<TFiringPlan>();
  std::vector<std::string> Names;
  Names.reserve(FBindings.size() + 1);
  for (const auto& Binding : FBindings) Names.push_back(Binding->GetName());
  Names.emplace_back(SRuleBinding);
  Plan->Layout = MakeRef<TFrameLayout>(Names);
  for (const auto& Binding : FBindings) {
    Plan->BindingSlots.push_back(Plan->Layout->IndexOf(Binding->GetName()));
    const std::string& Slot = Binding->GetSlotIndex();
    Plan->Takes.push_back(Slot == SLocalBinding                  ? TFiringPlan::tkNone
                          : Slot == SPatternBinding              ? TFiringPlan::tkFactId
                          : Binding->GetSubIndex() == NoSubIndex ? TFiringPlan::tkSlot
                                                                 : TFiringPlan::tkField);
  }
  Plan->Hints.resize(FBindings.size());
  Plan->RuleSlot = Plan->Layout->IndexOf(SRuleBinding);
  Plan->RuleName = MakeRef<TIEValue>(FRuleName, dtString);
  Plan->Actions = FActions;
  // Every variable the actions name gets a slot too, so a new local needs no table entry; one that stays
  // unbound in a firing is looked for outside, as before.
  for (const IFunCall& Action : FActions)
    if (Action) Plan->Layout->AddVariables(MakeRef<TIEValue>(TRef<TFunCallBase>(Action)), true);
  FPlan = std::move(Plan);
  return FPlan;
}

const IIEValue& TRule::GetNameValue() { return GetFiringPlan()->RuleName; }

void TRule::Prepare(const IReteToken& Token, TIEContext& Context) {
  if (!FEngine) RaiseNoEngine();
  const TRef<TFiringPlan>& Plan = GetFiringPlan();  // nothing below drops the rule's plan
  const bool Slots = Context.GetLayout() && Context.GetLayout() == Plan->Layout.get();
  const IFact& Null = FEngine->GetNullFact();
  for (size_t I = 0; I < FBindings.size(); ++I) {
    const TFiringPlan::TTake Take = Plan->Takes[I];
    if (Take == TFiringPlan::tkNone) continue;
    TBinding* Binding = FBindings[I].get();
    const IFact& Fact = Token ? Token->GetFacts(Binding->GetFactIndex()) : IFact();
    if (!Fact || Fact == Null) continue;  // the placeholder of a not or test element binds nothing
    IIEValue Value;
    if (Take == TFiringPlan::tkFactId) {
      Value = MakeRef<TIEValue>(Fact->GetID(), dtFactId);
    } else {
      TFiringPlan::TSlotHint& Hint = Plan->Hints[I];
      const IIEValue* Found = Fact->SlotValue(Binding->GetSlotIndex(), Hint.Position, Hint.Known);
      if (!Found) throw EIEException(SNoSuchSlot, {Binding->GetSlotIndex()});
      if (Take == TFiringPlan::tkSlot) {
        Value = *Found;
      } else {
        const IValueVector List = (*Found)->GetAsList();
        if (Binding->GetSubIndex() < 0 || Binding->GetSubIndex() >= List->GetValueCount())
          throw EIEException(SCorruptedToken, {Binding->GetSubIndex()});
        Value = List->Get(Binding->GetSubIndex());
      }
    }
    Binding->SetValue(Value);
    if (Slots)
      Context.BindSlot(Plan->BindingSlots[I], Value);
    else
      Context.AddLocalBinding(Binding->GetName(), Value);
  }
  if (Slots)
    Context.BindSlot(Plan->RuleSlot, Plan->RuleName);
  else
    Context.AddLocalBinding(SRuleBinding, MakeRef<TIEValue>(FRuleName, dtString));
}

void TRule::Fire(const IReteToken& Token) {
  if (!FEngine) RaiseNoEngine();
  // The plan is held for the firing: an action may change the rule, which drops the rule's plan.
  const TRef<TFiringPlan> Plan = GetFiringPlan();
  TFrame Child = FEngine->GetContext()->PushFrame(Plan->Layout);
  Child->SetToken(Token);
  Prepare(Token, *Child);
  // The rule and its alternatives have fired (a one-shot rule fires once, whichever alternative matched).
  TRule& Head = FPrimary ? *FPrimary : *this;
  Head.FFired = true;
  for (const auto& Alternative : Head.FAlternatives) Alternative->FFired = true;
  if (OnFire) OnFire(this, Child.get());
  if (!Child->GetReturn()) {
    for (const IFunCall& Action : Plan->Actions) {
      IIEValue Result;
      Action->Execute(Child.get(), Result);
      if (Child->GetReturn()) break;
    }
  }
  Child->ClearReturnValue();
  Child->Pop();
}

// ---- text and copies -------------------------------------------------------------------------------------

std::string TRule::GetToString() const {
  return FEngine ? FEngine->PrettyPrint(*this) : PrettyPrintRule(*this);
}

void TRule::Assign(const TPersistent* Source) {
  const auto* Rule = dynamic_cast<const TRule*>(Source);
  if (!Rule) {
    TComponent::Assign(Source);
    return;
  }
  if (Rule == this) return;
  BeginUpdate();
  try {
    if (Rule->FEngine == FEngine) {
      SetRuleName(Rule->FRuleName);
      FEnabled = Rule->FEnabled;
      FComment = Rule->FComment;
      FOneShot = Rule->FOneShot;
      if (Rule->FConditions.empty()) {
        FAlternatives.clear();
        FConditions.clear();
        SetPatterns(*Rule);
      } else {
        TConditions Copy;
        for (const auto& Element : Rule->FConditions) Copy.push_back(Element->Clone(this));
        SetConditions(std::move(Copy));
      }
      FActions.clear();
      for (const IFunCall& Action : Rule->FActions) FActions.push_back(Action ? Action->Clone() : IFunCall());
      FSalienceValue = Rule->FSalienceValue;
      FSalience = Rule->FSalience;
    } else {
      if (!FEngine) RaiseNoEngine();
      std::unique_ptr<TRule> Parsed = FEngine->ParseRule(Rule->GetToString());
      Assign(Parsed.get());
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---- printed forms ---------------------------------------------------------------------------------------

namespace {

std::string PatternsText(const TRule& Rule) {
  std::string Out;
  if (!Rule.GetConditions().empty()) {
    // Written with and/or elements: the elements as written.
    for (const auto& Element : Rule.GetConditions()) {
      if (!Out.empty()) Out += NewLineString;
      Out += IndentString + IndentText(Element->GetToString());
    }
    return Out;
  }
  bool AfterGoal = false;
  for (int32_t I = 0; I < Rule.GetPatternCount(); ++I) {
    const TIEPattern* Pattern = Rule.GetPattern(I);
    if (AfterGoal) {
      AfterGoal = false;
      continue;
    }
    AfterGoal = StartsWith(Pattern->GetName(), SBackChainPrefix);
    if (!Out.empty()) Out += NewLineString;
    Out += IndentString + IndentText(Pattern->GetToString());
  }
  return Out;
}

std::string ActionsText(const TRule& Rule) {
  std::string Out;
  for (int32_t I = 0; I < Rule.GetActionCount(); ++I) {
    if (I > 0) Out += NewLineString;
    const IFunCall& Action = Rule.GetAction(I);
    Out += IndentString + IndentText(Action ? Action->GetToString() : std::string());
  }
  return Out;
}

}  // namespace

std::string PrettyPrintRule(const TRule& Rule, TRuleConstruct Part) {
  const TReadBackText ReadBack;
  return Part == rcPattern ? PatternsText(Rule) : ActionsText(Rule);
}

std::string PrettyPrintRule(const TRule& Rule) {
  const TReadBackText ReadBack;
  std::string Out = "(defrule " + Rule.GetRuleName();
  if (!Rule.GetComment().empty())
    Out += NewLineString + std::string(IndentString) + QuotedText(Rule.GetComment());
  Out += NewLineString;
  const IIEValue& Salience = Rule.GetSalienceValue();
  const bool HasSalience = Salience && !(Salience->GetDType() == dtInteger && Salience->GetAsInteger() == 0);
  if (HasSalience || Rule.GetOneShot() || !Rule.GetEnabled()) {
    Out += IndentString;
    Out += "(declare";
    if (HasSalience) Out += " (salience " + Salience->GetToString() + ")";
    if (!Rule.GetEnabled()) Out += " (enabled FALSE)";
    if (Rule.GetOneShot()) Out += " (oneshot TRUE)";
    Out += ")";
    Out += NewLineString;
  }
  Out += PatternsText(Rule);
  Out += NewLineString + std::string(IndentString) + "=>" + NewLineString;
  Out += ActionsText(Rule);
  return Out + ")";
}

}  // namespace rulecraft
