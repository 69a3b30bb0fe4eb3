#include "rulecraft/rete/ReteNetwork.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/framework/TreeNodes.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

void NotifyTerminalNodeFired(TPatternMatchTerminalNode* Node, TActivation* Activation) {
  if (Node) Node->RuleFired(Activation);
}

namespace {

// A template chain is followed at most this far (as a class test follows it), so a parent loop cannot hang.
constexpr int MaxTemplateAncestry = 1000;
// Templates whose root the network remembers at once (see FRootMemo); past that the memo starts again.
constexpr size_t MaxRootMemo = 256;

// A call is walked only as deep as calls may nest when they run.
constexpr int MaxCallNesting = 2000;

void CheckNesting(int Depth, const TFunctionCall& Call) {
  if (Depth >= MaxCallNesting) throw EIEException(SNestingTooDeep, {MaxCallNesting, Call.GetName()});
}

bool IsVariable(const IIEValue& Value) {
  return Value && (Value->GetDType() == dtVariable || Value->GetDType() == dtMultiVariable);
}

bool IsCall(const IIEValue& Value) { return Value && Value->GetDType() == dtFunCall; }

IIEValue CallValue(const IFunCall& Call) { return MakeRef<TIEValue>(TRef<TFunCallBase>(Call)); }

// The binding record held by a binding-position value, or nullptr.
TBindingInfo* BindingRecordOf(const IIEValue& Value) {
  if (!Value || Value->GetDType() != dtObject) return nullptr;
  TObject* Object = Value->GetAsObject();
  return Object && Object->InheritsFrom(TBindingInfo::StaticClass()) ? static_cast<TBindingInfo*>(Object)
                                                                     : nullptr;
}

// A one-input node sees the pattern's fact as the only fact of its token: the records of a call evaluated
// there read position 0 instead of the pattern's position in the rule.
void ReadFromOwnFact(TFunctionCall& Call, int32_t Position, int Depth = 0) {
  CheckNesting(Depth, Call);
  for (const IIEValue& Argument : Call.GetArguments()) {
    if (TBindingInfo* Record = BindingRecordOf(Argument)) {
      if (Record->GetFactIndex() == Position) Record->SetFactIndex(0);
    } else if (IsCall(Argument)) {
      ReadFromOwnFact(*Argument->GetAsFunCall(), Position, Depth + 1);
    }
  }
}

bool ReadsOtherPatterns(const TFunctionCall& Call, int32_t Position, int Depth) {
  CheckNesting(Depth, Call);
  for (const IIEValue& Argument : Call.GetArguments()) {
    if (const TBindingInfo* Record = BindingRecordOf(Argument)) {
      if (Record->GetFactIndex() != Position) return true;
    } else if (IsCall(Argument) && ReadsOtherPatterns(*Argument->GetAsFunCall(), Position, Depth + 1)) {
      return true;
    }
  }
  return false;
}

// Which of the four kinds of constant or call test a pattern test makes.
TPatternMatchTest ConstantTestKind(const TIEPatternMatchTest& Test) {
  const bool Field = Test.GetMultiSlotSubIndex() != NoSubIndex;
  if (Test.IsNegated()) return Field ? pmtTestMultiSlotNotEqual : pmtTestNotEqual;
  return Field ? pmtTestMultiSlotEqual : pmtTestEqual;
}

template <class F>
void ForEachTest(const TIEPattern& Pattern, F Body) {
  for (int32_t S = 0; S < Pattern.GetSlotCount(); ++S)
    for (int32_t T = 0; T < Pattern.GetSlotTestCount(S); ++T) Body(S, *Pattern.GetSlotTest(S, T));
}

/// Body(slot, test) for each test whose value is a variable, at the variable's first appearance in Pattern.
template <class F>
void ForEachFirstVariable(const TIEPattern& Pattern, F Body) {
  std::unordered_set<std::string> Seen;
  ForEachTest(Pattern, [&](int32_t S, const TIEPatternMatchTest& Test) {
    const IIEValue& Value = Test.GetSlotValue();
    if (!IsVariable(Value) || !Seen.insert(Value->Text()).second) return;
    Body(S, Test);
  });
}

/// A place a variable is written in a pattern: its slot and its test.
struct TVariablePlace {
  int32_t Slot;
  const TIEPatternMatchTest* Test;
};

/// A variable's key: its name's symbol and whether it is a multifield variable.
using TVariableKey = std::pair<const TSymbol*, bool>;

/// Every place each variable is written in Pattern, in test order, so a variable's later places are found
/// without a walk over every test.
std::map<TVariableKey, std::vector<TVariablePlace>> VariablePlaces(const TIEPattern& Pattern) {
  std::map<TVariableKey, std::vector<TVariablePlace>> Places;
  ForEachTest(Pattern, [&](int32_t S, const TIEPatternMatchTest& Test) {
    const IIEValue& Value = Test.GetSlotValue();
    if (IsVariable(Value))
      Places[{Value->GetSymbol(), Value->GetDType() == dtMultiVariable}].push_back({S, &Test});
  });
  return Places;
}

bool IsMultiVariable(const IIEValue& Value) { return Value && Value->GetDType() == dtMultiVariable; }

/// The limits of the split of each multifield variable of Pattern (see TSplitLimits). When the slot's length
/// is fixed, the run leaves at least the slot's other places less the multifield places after it (each may
/// take no field), and exactly that many when none follows. A later place of a variable that the second pass
/// compares with its first place for equality repeats the first run. The first and the later place must keep
/// their positions while the other splits run: their slots split from left to right.
std::unordered_map<const TIEPatternMatchTest*, TSplitLimits> SplitLimits(const TIEPattern& Pattern) {
  std::unordered_map<const TIEPatternMatchTest*, TSplitLimits> Limits;
  std::vector<bool> Ascending(static_cast<size_t>(Pattern.GetSlotCount()), true);
  for (int32_t S = 0; S < Pattern.GetSlotCount(); ++S) {
    std::vector<const TIEPatternMatchTest*> Splits;
    for (int32_t T = 0; T < Pattern.GetSlotTestCount(S); ++T)
      if (IsMultiVariable(Pattern.GetSlotTest(S, T)->GetSlotValue()))
        Splits.push_back(Pattern.GetSlotTest(S, T));
    const int32_t Fields = Pattern.GetSlotLength(S);
    for (size_t I = 0; I < Splits.size(); ++I) {
      if (I > 0 && Splits[I]->GetMultiSlotSubIndex() <= Splits[I - 1]->GetMultiSlotSubIndex())
        Ascending[static_cast<size_t>(S)] = false;
      TSplitLimits& Own = Limits[Splits[I]];
      if (Fields < 0) continue;
      const int32_t Later = static_cast<int32_t>(Splits.size() - I - 1);
      Own.LeastRest = Fields - 1 - Later;
      if (Later == 0) Own.MostRest = Own.LeastRest;
    }
  }
  const auto Places = VariablePlaces(Pattern);
  ForEachFirstVariable(Pattern, [&](int32_t S, const TIEPatternMatchTest& Test) {
    const IIEValue& Value = Test.GetSlotValue();
    if (!IsMultiVariable(Value) || Test.IsNegated() || Test.GetMultiSlotSubIndex() < 0 ||
        !Ascending[static_cast<size_t>(S)])
      return;
    const std::vector<TVariablePlace>& Written = Places.at({Value->GetSymbol(), true});
    for (size_t K = 1; K < Written.size(); ++K) {
      const TIEPatternMatchTest& Other = *Written[K].Test;
      if (Other.IsNegated() || Other.GetMultiSlotSubIndex() < 0 ||
          !Ascending[static_cast<size_t>(Written[K].Slot)])
        continue;
      TSplitLimits& Own = Limits[&Other];
      Own.FirstSlot = Pattern.GetSlotName(S);
      Own.FirstIndex = Test.GetMultiSlotSubIndex();
    }
  });
  return Limits;
}

bool IsBackwardChaining(const TIEPattern& Pattern) {
  return Pattern.GetFactTemplate() && Pattern.GetFactTemplate()->IsBackwardChaining();
}

// The latest pattern position a prepared call reads (-1 when it reads none).
int32_t LatestPosition(const TFunctionCall& Call, int Depth = 0) {
  CheckNesting(Depth, Call);
  int32_t Latest = -1;
  for (const IIEValue& Argument : Call.GetArguments()) {
    if (const TBindingInfo* Record = BindingRecordOf(Argument))
      Latest = std::max(Latest, Record->GetFactIndex());
    else if (IsCall(Argument))
      Latest = std::max(Latest, LatestPosition(*Argument->GetAsFunCall(), Depth + 1));
  }
  return Latest;
}

// Body(variable) for every variable of Call, nested calls included.
template <class F>
void ForEachVariable(const TFunctionCall& Call, F&& Body, int Depth = 0) {
  CheckNesting(Depth, Call);
  for (const IIEValue& Argument : Call.GetArguments()) {
    if (IsVariable(Argument))
      Body(Argument);
    else if (IsCall(Argument))
      ForEachVariable(*Argument->GetAsFunCall(), Body, Depth + 1);
  }
}

// A negated pattern (not, exists) matches when no fact does, so a variable it binds has no value anywhere
// else: its partial match holds the placeholder there. Using such a variable outside its pattern (in
// another pattern, a test or an action) is an error rather than a silent misfire.
void CheckNegatedBindings(const TRule& Rule) {
  const int32_t Count = Rule.GetPatternCount();
  auto Check = [&](const IIEValue& Variable, int32_t Position) {
    const TBinding* Binding = Rule.GetBindingByName(Variable->Text());
    if (!Binding) return;
    const int32_t At = Binding->GetFactIndex();
    int32_t First = 0;
    int32_t Last = 0;
    if (At == Position || At < 0 || At >= Count || !Rule.GetNegatedElement(At, First, Last)) return;
    if (Position >= First && Position <= Last) return;  // within the negated element (its conjunction)
    throw EIEException(SNegatedBindingUsedOutside, {Variable->GetToString()});
  };
  for (int32_t I = 0; I < Count; ++I)
    ForEachTest(*Rule.GetPattern(I), [&](int32_t, const TIEPatternMatchTest& Test) {
      const IIEValue& Value = Test.GetSlotValue();
      if (IsVariable(Value))
        Check(Value, I);
      else if (IsCall(Value))
        ForEachVariable(*Value->GetAsFunCall(), [&](const IIEValue& Variable) { Check(Variable, I); });
    });
  for (int32_t I = 0; I < Rule.GetActionCount(); ++I)
    if (const IFunCall& Action = Rule.GetAction(I))
      ForEachVariable(*Action, [&](const IIEValue& Variable) { Check(Variable, -1); });
}

// Whether Rule binds Name outside every negated element.
bool BindsPositively(const TRule& Rule, const std::string& Name) {
  for (int32_t I = 0; I < Rule.GetBindingCount(); ++I) {
    const TBinding* Binding = Rule.GetBinding(I);
    if (Binding->GetName() != Name) continue;
    int32_t First = 0;
    int32_t Last = 0;
    if (!Rule.GetNegatedElement(Binding->GetFactIndex(), First, Last)) return true;
  }
  return false;
}

// A rule written with an or element runs as one internal rule per alternative: a variable its actions
// use must be bound in every alternative, or the actions would read it in some firings only.
void CheckAlternativeBindings(const TRule& Rule) {
  std::vector<const TRule*> All{&Rule};
  for (int32_t I = 0; I < Rule.GetAlternativeCount(); ++I) All.push_back(Rule.GetAlternative(I));
  for (int32_t I = 0; I < Rule.GetActionCount(); ++I)
    if (const IFunCall& Action = Rule.GetAction(I))
      ForEachVariable(*Action, [&](const IIEValue& Variable) {
        int32_t Bound = 0;
        for (const TRule* Alternative : All) Bound += BindsPositively(*Alternative, Variable->Text()) ? 1 : 0;
        if (Bound > 0 && Bound < static_cast<int32_t>(All.size()))
          throw EIEException(SUnboundInAlternative, {Variable->GetToString(), Rule.GetRuleName()});
      });
}

}  // namespace

// ---- lifetime
// ----------------------------------------------------------------------------------------------

TReteNetwork::TReteNetwork(TComponent* AOwner, IRuleEngine* Engine) : TComponent(AOwner), FEngine(Engine) {}

TReteNetwork::~TReteNetwork() {
  Destroying();
  OnActivation = nullptr;
  OnDeactivation = nullptr;
  OnRuleFired = nullptr;
  Clear();
  FRetired.clear();
}

TIEContext* TReteNetwork::GetContext() {
  if (!FContext) FContext = std::make_unique<TIEContext>(FEngine ? FEngine->GetContext() : nullptr, FEngine);
  return FContext.get();
}

void TReteNetwork::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || IsDestroying() || FRules.empty()) return;
  // The component is part-way through its destruction: it is used only as a key here.
  for (const auto& Entry : FRules)
    if (Entry.second.Component == AComponent) {
      RemoveRuleNodes(Entry.first, true);
      return;
    }
}

// ---- graph
// -------------------------------------------------------------------------------------------------

template <class T>
T* TReteNetwork::AddNode(std::unique_ptr<T> Node, std::vector<TReteNode*>* Record) {
  T* Added = Node.get();
  // Room first, so that a failed allocation leaves the node out of every list (and freed by its owner).
  FRoots.reserve(FRoots.size() + 1);
  if (Record) Record->reserve(Record->size() + 1);
  Added->FNumber = FNextNumber++;
  Added->FPosition = FNodes.size();
  FNodes.push_back(std::move(Node));
  FRoots.push_back(Added);
  if (Record) Record->push_back(Added);
  RootsChanged();
  return Added;
}

void TReteNetwork::NewEdge(TReteNode* Source, TReteNode* Target, TCallType CallType) {
  // Both ends of an edge or neither: the target's room is taken before the source gains the edge.
  Target->FSources.reserve(Target->FSources.size() + 1);
  Source->FEdges.push_back(TReteEdge{Target, CallType});
  Source->EdgesChanged();
  RootsChanged();
  if (Target->FSources.empty()) {
    auto It = std::find(FRoots.begin(), FRoots.end(), Target);
    if (It != FRoots.end()) FRoots.erase(It);
  }
  Target->FSources.push_back(Source);
}

void TReteNetwork::DestroyNode(TReteNode* Node) {
  if (!FQueued.empty()) DropQueued(Node);
  auto* Terminal = dynamic_cast<TPatternMatchTerminalNode*>(Node);
  if (Terminal) Terminal->StandDown();
  for (const TReteEdge& Edge : Node->FEdges) {
    auto& Sources = Edge.Target->FSources;
    auto It = std::find(Sources.begin(), Sources.end(), Node);
    if (It != Sources.end()) Sources.erase(It);
  }
  for (TReteNode* Source : Node->FSources) {
    auto& Edges = Source->FEdges;
    Edges.erase(std::remove_if(Edges.begin(), Edges.end(),
                               [Node](const TReteEdge& Edge) { return Edge.Target == Node; }),
                Edges.end());
    Source->EdgesChanged();
  }
  auto Root = std::find(FRoots.begin(), FRoots.end(), Node);
  if (Root != FRoots.end()) FRoots.erase(Root);
  RootsChanged();
  // Swap with the last node: the node list has no order of its own.
  const size_t Index = Node->FPosition;
  std::unique_ptr<TReteNode> Doomed = std::move(FNodes[Index]);
  if (Index + 1 != FNodes.size()) {
    FNodes[Index] = std::move(FNodes.back());
    FNodes[Index]->FPosition = Index;
  }
  FNodes.pop_back();
  // An activation still points here (the one being fired, say): the node waits, unlinked, until none does.
  if (Terminal && Terminal->GetHolderCount() > 0) {
    Doomed->FEdges.clear();
    Doomed->FSources.clear();
    FRetired.push_back(std::move(Doomed));
  }
  ReleaseRetired();
}

void TReteNetwork::ReleaseRetired() {
  FRetired.erase(std::remove_if(FRetired.begin(), FRetired.end(),
                                [](const std::unique_ptr<TReteNode>& Node) {
                                  const auto* Terminal =
                                      static_cast<const TPatternMatchTerminalNode*>(Node.get());
                                  return Terminal->GetHolderCount() == 0;
                                }),
                 FRetired.end());
}

TReteNode* TReteNetwork::GetRoot(int32_t Index) const {
  if (Index < 0 || Index >= GetRootCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FRoots[static_cast<size_t>(Index)];
}

const std::vector<TReteNode*>* TReteNetwork::GetRuleNodesList(const TRule* Rule) const {
  auto It = FRules.find(Rule);
  return It == FRules.end() ? nullptr : &It->second.Nodes;
}

const TRuleLayout* TReteNetwork::GetRuleLayout(const TRule* Rule) const {
  auto It = FRules.find(Rule);
  return It == FRules.end() ? nullptr : &It->second.Layout;
}

std::string TReteNetwork::GetRuleTrace(const TRule* Rule) const {
  auto It = FRules.find(Rule);
  return It == FRules.end() ? std::string() : It->second.Trace;
}

// ---- properties and events
// ---------------------------------------------------------------------------------

void TReteNetwork::SetEnabled(bool Value) {
  if (!Value) Clear();
  FEnabled = Value;
}

void TReteNetwork::SetMinActivationStrength(float Value) noexcept {
  FMinActivationStrength = !(Value > 0.0f) ? 0.0f : Value > 1.0f ? 1.0f : Value;
}

void TReteNetwork::Activate(std::unique_ptr<TActivation> Activation) {
  TActivation* Made = Activation.get();
  if (FEngine) FEngine->AddActivation(std::move(Activation));
  if (OnActivation) OnActivation(this, Made);
}

// The engine frees the activation when it takes it off the agenda: the event comes first, while it exists.
void TReteNetwork::Deactivate(TActivation* Activation) {
  if (OnDeactivation) OnDeactivation(this, Activation);
  if (FEngine) FEngine->RemoveActivation(Activation);
}

void TReteNetwork::RuleFired(TActivation* Activation) {
  if (OnRuleFired) OnRuleFired(this, Activation);
  if (FEngine) FEngine->RuleFired(Activation);
}

// ---- token flow
// --------------------------------------------------------------------------------------------

// Deliveries beyond the depth limit.
//
// A node hands a token to its children one after the other, and each child passes it on before the next
// child gets it: depth first, in edge order. That order makes the order of activations, so it must stay the
// same when the calls stop nesting. At the limit, the delivery there (the "anchor") runs its node with the
// depth at the limit, so every delivery the node makes is queued instead of called; when the node returns,
// the anchor runs the queue: it reverses the deliveries one call queued (so the first is at the back), takes
// the last one, runs it (its own deliveries queue behind the mark taken before it) and reverses those in
// turn. The back of the queue is always the delivery the nested calls would make next.
void TReteNetwork::Deliver(TReteNode* Target, const IReteToken& Token, TCallType CallType) {
  if (FClearing && Token->GetTag() == taClear) {
    if (Target->FClearPass == FClearPass) return;
    Target->FClearPass = FClearPass;
  }
  if (FCallDepth >= MaxCallDepth) {
    FQueued.push_back(TDelivery{Target, Token, CallType});
    return;
  }
  struct TDepth {
    int32_t& Depth;
    explicit TDepth(int32_t& D) : Depth(D) { ++Depth; }
    ~TDepth() { --Depth; }
  } Depth(FCallDepth);
  if (FCallDepth < MaxCallDepth) {
    Target->CallNode(Token, CallType);
    return;
  }
  const size_t Base = FQueued.size();
  try {
    Target->CallNode(Token, CallType);
    RunQueued(Base);
  } catch (...) {
    // The nested calls would have stopped where the error arose: so do the queued ones.
    if (FQueued.size() > Base) FQueued.resize(Base);
    throw;
  }
}

void TReteNetwork::RunQueued(size_t Base) {
  if (FQueued.size() <= Base) return;
  std::reverse(FQueued.begin() + static_cast<std::ptrdiff_t>(Base), FQueued.end());
  while (FQueued.size() > Base) {
    TDelivery Next = std::move(FQueued.back());
    FQueued.pop_back();
    const size_t Mark = FQueued.size();
    if (Next.Target) Next.Target->CallNode(Next.Token, Next.CallType);
    std::reverse(FQueued.begin() + static_cast<std::ptrdiff_t>(Mark), FQueued.end());
  }
}

bool TReteNetwork::CallRoot(TReteNode* Root, const IReteToken& Token, TCallType CallType) {
  const size_t Base = FQueued.size();
  try {
    const bool Passed = Root->CallNode(Token, CallType);
    RunQueued(Base);
    return Passed;
  } catch (...) {
    if (FQueued.size() > Base) FQueued.resize(Base);
    throw;
  }
}

void TReteNetwork::PassStored(TReteNode* Node) {
  const size_t Base = FQueued.size();
  try {
    Node->PassStoredMatches();
    RunQueued(Base);
  } catch (...) {
    if (FQueued.size() > Base) FQueued.resize(Base);
    throw;
  }
}

void TReteNetwork::DropQueued(const TReteNode* Node) {
  for (TDelivery& Delivery : FQueued)
    if (Delivery.Target == Node) Delivery.Target = nullptr;
}

template <class F>
bool TReteNetwork::ClearPass(F&& Body) {
  struct TGuard {
    bool& Flag;
    bool Was;
    ~TGuard() { Flag = Was; }
  } Guard{FClearing, FClearing};
  ++FClearPass;
  FClearing = true;
  return Body();
}

bool TReteNetwork::ProcessTokenOneNode(TReteNode* Node, const IReteToken& Token) {
  if (!Node || !Token) return false;
  if (Token->GetTag() == taClear) return ClearPass([&] { return CallRoot(Node, Token, ctSingle); });
  const TMatchingScope Matching(FMatching);
  return CallRoot(Node, Token, ctSingle);
}

bool TReteNetwork::CallClassRoot(TReteNode* Root, const IReteToken& Token) {
  const size_t Base = FQueued.size();
  try {
    static_cast<TPatternMatchNode*>(Root)->CallChildren(Token);
    RunQueued(Base);
    return true;
  } catch (...) {
    if (FQueued.size() > Base) FQueued.resize(Base);
    throw;
  }
}

template <class F>
void TReteNetwork::ForEachRootOf(const TFact& Fact, F&& Body) {
  if (FClassRootsStale) {
    FClassRoots.clear();
    for (TReteNode* Root : FRoots) {
      const auto* Node = dynamic_cast<const TPatternMatchNode*>(Root);
      if (Node && Node->GetPatternMatchTest() == pmtTestClassType)
        FClassRoots[Node->GetClassName()].push_back(Root);
    }
    FClassRootsStale = false;
  }
  if (FClassRoots.empty()) return;
  const IFactTemplate& Own = Fact.GetTemplate();
  const bool Memo = !Own->GetParent();
  if (Memo) {
    auto Found = FRootMemo.find(Own.get());
    if (Found != FRootMemo.end() && Found->second.Name == Own->GetTemplateName()) {
      if (Found->second.Root) Body(Found->second.Root);
      return;
    }
  }
  // The template, then its ancestors (as far as a class test follows them); most facts find one root.
  TReteNode* First = nullptr;
  std::vector<TReteNode*> More;
  const TFactTemplate* Template = Own.get();
  for (int Hops = 0; Template && Hops < MaxTemplateAncestry; ++Hops) {
    auto Found = FClassRoots.find(Template->GetTemplateName());
    if (Found != FClassRoots.end())
      for (TReteNode* Root : Found->second) {
        if (!First)
          First = Root;
        else
          More.push_back(Root);
      }
    Template = Template->GetParent().get();
  }
  if (Memo && More.empty()) {
    if (FRootMemo.size() >= MaxRootMemo) FRootMemo.clear();
    FRootMemo[Own.get()] = TRootMemo{Own, Own->GetTemplateName(), First};
  }
  if (!First) return;
  if (More.empty()) {
    Body(First);
    return;
  }
  More.push_back(First);
  std::sort(More.begin(), More.end(),
            [](const TReteNode* A, const TReteNode* B) { return A->GetNumber() < B->GetNumber(); });
  More.erase(std::unique(More.begin(), More.end()), More.end());
  // A call of a test that changes the rules may free a root on the way: only roots still there go on.
  const uint32_t Generation = FRootsGeneration;
  for (TReteNode* Root : More)
    if (FRootsGeneration == Generation || std::find(FRoots.begin(), FRoots.end(), Root) != FRoots.end())
      Body(Root);
}

bool TReteNetwork::ProcessToken(const IReteToken& Token) {
  if (!Token) return false;
  if (!FEnabled && (Token->GetTag() == taAdd || Token->GetTag() == taUpdate)) return false;
  bool Passed = false;
  if (Token->GetTag() == taClear)
    return ClearPass([&] {
      for (size_t I = 0; I < FRoots.size(); ++I)
        if (CallRoot(FRoots[I], Token, ctSingle)) Passed = true;
      return Passed;
    });
  // Any other root refuses the token: test-element roots pass clearing tokens only, and a class test only
  // the facts of its template and the templates extending it.
  const IFact& Fact = Token->GetFact();
  if (!Fact || !Fact->GetTemplate()) return false;
  const TMatchingScope Matching(FMatching);
  ForEachRootOf(*Fact, [&](TReteNode* Root) {
    if (CallClassRoot(Root, Token)) Passed = true;
  });
  return Passed;
}

void TReteNetwork::UpdateNodes(const std::vector<TReteNode*>& Nodes) {
  if (Nodes.empty()) return;
  // The nodes to prime, and the nodes without memory that feed them (pattern tests, test elements): only
  // these receive tokens while priming, so no other node sees anything twice.
  std::vector<TReteNode*> Marked;
  auto Mark = [&Marked](TReteNode* Node) {
    if (!Node || Node->FPrimeTarget) return;
    Node->FPrimeTarget = true;
    Marked.push_back(Node);
  };
  for (TReteNode* Node : Nodes) Mark(Node);
  // The joins outside that feed them: they hand on what they hold now.
  std::vector<TReteNode*> Holders;
  for (size_t I = 0; I < Marked.size(); ++I)
    for (TReteNode* Source : Marked[I]->FSources) {
      if (Source->FPrimeTarget) continue;
      if (!Source->HasMemory())
        Mark(Source);
      else if (std::find(Holders.begin(), Holders.end(), Source) == Holders.end())
        Holders.push_back(Source);
    }
  std::sort(Holders.begin(), Holders.end(),
            [](const TReteNode* A, const TReteNode* B) { return A->GetNumber() < B->GetNumber(); });

  struct TUnmark {
    TReteNetwork* Network;
    std::vector<TReteNode*>& Nodes;
    bool Was;  // a probe's call may have compiled the rule: the probe goes on priming
    ~TUnmark() {
      for (TReteNode* Node : Nodes) Node->FPrimeTarget = false;
      Network->FPriming = Was;
    }
  } Unmark{this, Marked, FPriming};
  const TMatchingScope Matching(FMatching);
  FPriming = true;
  // The facts first: they fill the right memories (and whole joins fed by facts only) ...
  if (FEngine) {
    const std::vector<IFact> Facts = FEngine->GetFactList();
    for (const IFact& Fact : Facts) {
      if (!Fact) continue;
      if (!Fact->GetTemplate()) continue;
      const IReteToken Add = MakeRef<TIEToken>(taAdd, Fact);
      ForEachRootOf(*Fact, [&](TReteNode* Root) {
        if (Root->FPrimeTarget) CallRoot(Root, Add, ctSingle);
      });
    }
  }
  // ... then the partial matches the outside joins hold meet them.
  for (TReteNode* Holder : Holders) PassStored(Holder);
}

namespace {

/// The end of a probe: keeps every token a node of the probed chain passes on.
class TProbeNode final : public TReteNode {
 public:
  TProbeNode(TReteNetwork* Network, std::vector<IReteToken>& Passed) : TReteNode(Network), FPassed(Passed) {}
  bool CallNode(const IReteToken& Token, TCallType) override {
    if (Token && Token->GetTag() != taClear) FPassed.push_back(Token);
    return true;
  }

 private:
  std::vector<IReteToken>& FPassed;
};

}  // namespace

// A probe runs the facts through the chain as priming does: only the nodes marked as prime targets (the
// chain's nodes and a probe node hanging from each) receive tokens. The probe nodes hang from the chain by
// edges of their own that no other list knows and that go again before the probe returns.
void TReteNetwork::ProbeChain(const std::vector<TRuleLayout::TChainNode>& Layout,
                              std::vector<std::vector<IReteToken>>& Passed) {
  if (IsBusy()) throw EIEException(std::string(SNetworkBusy));
  // A copy: a call on the way that compiles a rule may move the layout the caller points into.
  const std::vector<TRuleLayout::TChainNode> Chain = Layout;
  Passed.assign(Chain.size(), {});
  if (Chain.empty() || !FEngine) return;
  std::vector<std::unique_ptr<TProbeNode>> Probes;
  Probes.reserve(Chain.size());
  for (std::vector<IReteToken>& Out : Passed) Probes.push_back(std::make_unique<TProbeNode>(this, Out));
  const std::vector<IFact> Facts = FEngine->GetFactList();
  struct TProbe {
    TReteNetwork& Network;
    const std::vector<TRuleLayout::TChainNode>& Chain;
    const std::vector<std::unique_ptr<TProbeNode>>& Probes;
    size_t Hung = 0;
    explicit TProbe(TReteNetwork& N, const std::vector<TRuleLayout::TChainNode>& C,
                    const std::vector<std::unique_ptr<TProbeNode>>& P)
        : Network(N), Chain(C), Probes(P) {
      // Room first: running out of memory leaves every node as it was.
      for (const TRuleLayout::TChainNode& Link : Chain)
        Link.Node->FEdges.reserve(Link.Node->FEdges.size() + 1);
      for (; Hung < Chain.size(); ++Hung) {
        TReteNode* Node = Chain[Hung].Node;
        Node->FEdges.push_back(TReteEdge{Probes[Hung].get(), ctSingle});
        Node->EdgesChanged();
      }
      Network.FProbing = true;
      Network.FPriming = true;
      Mark();
    }
    TProbe(const TProbe&) = delete;
    TProbe& operator=(const TProbe&) = delete;
    void Mark() {
      for (size_t I = 0; I < Chain.size(); ++I) {
        Chain[I].Node->FPrimeTarget = true;
        Probes[I]->FPrimeTarget = true;
      }
    }
    ~TProbe() {
      for (size_t I = 0; I < Hung; ++I) {
        TReteNode* Node = Chain[I].Node;
        // A call on the way may have freed a node of the chain (its rule removed): only nodes still in the
        // network lose their probe edge.
        if (std::none_of(Network.FNodes.begin(), Network.FNodes.end(),
                         [Node](const std::unique_ptr<TReteNode>& Held) { return Held.get() == Node; }))
          continue;
        Node->FPrimeTarget = false;
        auto& Edges = Node->FEdges;
        const TReteNode* Probe = Probes[I].get();
        Edges.erase(std::remove_if(Edges.begin(), Edges.end(),
                                   [Probe](const TReteEdge& Edge) { return Edge.Target == Probe; }),
                    Edges.end());
        Node->EdgesChanged();
      }
      Network.FPriming = false;
      Network.FProbing = false;
    }
  };
  const TMatchingScope Matching(FMatching);  // the chain's calls may remove no rule meanwhile
  TProbe Probe(*this, Chain, Probes);
  const uint32_t Hung = FRootsGeneration;  // nodes made or freed from now on: a call changed the network
  TReteNode* Root = Chain.front().Node;
  for (const IFact& Fact : Facts) {
    if (!Fact || !Fact->GetTemplate()) continue;
    CallRoot(Root, MakeRef<TIEToken>(taAdd, Fact), ctSingle);
    if (FRootsGeneration != Hung) throw EIEException(std::string(SNetworkChanged));
    Probe.Mark();
  }
}

// ---- clearing and removing
// ---------------------------------------------------------------------------------

void TReteNetwork::Clear() {
  for (TDelivery& Delivery : FQueued) Delivery.Target = nullptr;
  ReleaseRetired();
  for (auto& Node : FNodes) {
    auto* Terminal = dynamic_cast<TPatternMatchTerminalNode*>(Node.get());
    const bool Pending = Terminal && Terminal->GetHolderCount() > 0;
    if (Terminal) Terminal->FastClear();
    if (Pending) {
      Node->FEdges.clear();
      Node->FSources.clear();
      FRetired.push_back(std::move(Node));
    }
  }
  FNodes.clear();
  FRoots.clear();
  FClassRoots.clear();
  RootsChanged();
  if (!IsDestroying())
    for (const auto& Entry : FRules) Entry.second.Component->RemoveFreeNotification(this);
  FRules.clear();
}

void TReteNetwork::RemoveRule(TRule* Rule) {
  if (!Rule) return;
  for (int32_t I = Rule->GetAlternativeCount() - 1; I >= 0; --I)
    RemoveRuleNodes(Rule->GetAlternative(I), false);
  RemoveRuleNodes(Rule, false);
}

void TReteNetwork::RemoveRuleNodes(const TRule* Rule, bool Destroying) {
  auto It = FRules.find(Rule);
  if (It == FRules.end()) return;
  std::vector<TReteNode*> Nodes = std::move(It->second.Nodes);
  TComponent* Component = It->second.Component;
  FRules.erase(It);
  if (!Destroying) Component->RemoveFreeNotification(this);
  for (auto Node = Nodes.rbegin(); Node != Nodes.rend(); ++Node) {
    (*Node)->SetRuleUseCount((*Node)->GetRuleUseCount() - 1);
    if ((*Node)->GetRuleUseCount() == 0) DestroyNode(*Node);
  }
}

// ---- compilation
// -------------------------------------------------------------------------------------------

IFunCall TReteNetwork::Evaluate(const TFunctionCall& Call, const TRule* Rule) const {
  return Prepare(Call, Rule, 0);
}

IFunCall TReteNetwork::Prepare(const TFunctionCall& Call, const TRule* Rule, int Depth) const {
  CheckNesting(Depth, Call);
  IFunCall Copy = MakeRef<TFunctionCall>(Call.GetReasoner(), Call.GetName());
  Copy->SetComment(Call.GetComment());
  Copy->SetTag(Call.GetTag());
  for (const IIEValue& Argument : Call.GetArguments()) {
    if (IsVariable(Argument)) {
      const std::string& Name = Argument->Text();
      if (const TBinding* Binding = Rule ? Rule->GetBindingByName(Name) : nullptr) {
        // The value is made first, so that the record it takes is never left without an owner.
        const IIEValue Bound = MakeRef<TIEValue>();
        Bound->SetAsOwnedObject(
            new TBindingInfo(Binding->GetFactIndex(), Binding->GetSlotIndex(), Binding->GetSubIndex()));
        Copy->AddArgument(Bound);
        continue;
      }
      TIEContext* Root = FEngine ? FEngine->GetContext() : nullptr;
      if (!Root || !Root->FindGlobalBinding(Name)) throw EIEException(SUnknownVariable, {Name});
      Copy->AddArgument(Argument);
    } else if (IsCall(Argument)) {
      Copy->AddArgument(CallValue(Prepare(*Argument->GetAsFunCall(), Rule, Depth + 1)));
    } else {
      Copy->AddArgument(Argument);
    }
  }
  return Copy;
}

bool TReteNetwork::HasMorePatterns(const TFunctionCall& Call, int32_t Position) {
  return ReadsOtherPatterns(Call, Position, 0);
}

TPatternMatchNode* TReteNetwork::CreateSuccessor(TReteNode* Parent, TPatternMatchTest Test, const TRule* Rule,
                                                 TNodeArgs Args, const IIEValue& Value) {
  TRuleEntry* Entry = nullptr;
  if (auto It = FRules.find(Rule); It != FRules.end()) Entry = &It->second;
  auto Shared = [&](TReteNode* Candidate) -> TPatternMatchNode* {
    auto* Node = dynamic_cast<TPatternMatchNode*>(Candidate);
    return Node && Node->Matches(Test, Args, Value ? &Value : nullptr) ? Node : nullptr;
  };
  TPatternMatchNode* Found = nullptr;
  if (Parent) {
    for (const TReteEdge& Edge : Parent->GetEdges())
      if ((Found = Shared(Edge.Target))) break;
  } else {
    for (TReteNode* Root : FRoots)
      if ((Found = Shared(Root))) break;
  }
  if (Found) {
    if (Entry) Entry->Nodes.push_back(Found);
    Found->SetRuleUseCount(Found->GetRuleUseCount() + 1);
    if (Entry) Entry->Trace += "=1";
    return Found;
  }
  auto* Made = AddNode(
      std::make_unique<TPatternMatchNode>(this, Test, std::move(Args), Value ? Value->Clone() : Value),
      Entry ? &Entry->Nodes : nullptr);
  if (Entry) Entry->Trace += "+1";
  if (Parent) NewEdge(Parent, Made, ctSingle);
  return Made;
}

bool TReteNetwork::MayKey(const TRule& Rule, const TIEPattern& Pattern, const TIEJoinTest& Test) const {
  auto Fuzzy = [](const TIEPattern* Owner, const std::string& Slot) {
    if (!Owner || !Owner->GetFactTemplate()) return false;
    const IFactSlot* Found = Owner->GetFactTemplate()->FindSlot(Slot);
    return Found && (*Found)->IsFuzzy();
  };
  const TIEPattern* Left = Test.GetTokenIdx() >= 0 && Test.GetTokenIdx() < Rule.GetPatternCount()
                               ? Rule.GetPattern(Test.GetTokenIdx())
                               : nullptr;
  return !Fuzzy(Left, Test.GetLeftSlot()) && !Fuzzy(&Pattern, Test.GetRightSlot());
}

void TReteNetwork::AddRule(TRule* Rule) {
  if (!FEnabled || !Rule) return;
  if (Rule->GetPatternCount() == 0) {
    const TIEPattern* Initial = FEngine ? FEngine->GetInitialFactPattern() : nullptr;
    if (!Initial) return;
    // Adding the pattern may have the engine compile the rule already.
    Rule->AppendPattern(Initial->Clone(Rule));
    if (IsCompiled(Rule)) return;
  }
  if (IsCompiled(Rule)) RemoveRule(Rule);
  if (Rule->GetAlternativeCount() > 0) CheckAlternativeBindings(*Rule);
  // The rule, then the internal rule of each further alternative of its or elements.
  try {
    for (int32_t I = -1; I < Rule->GetAlternativeCount(); ++I) {
      TRule* Compiled = I < 0 ? Rule : Rule->GetAlternative(I);
      TRuleEntry& Entry = FRules[Compiled];
      Entry.Trace = Compiled->GetRuleName() + ": ";
      Entry.Component = Compiled;
      Compiled->FreeNotification(this);
      Compile(*Compiled, Entry);
    }
  } catch (...) {
    RemoveRule(Rule);
    throw;
  }
}

void TReteNetwork::Compile(TRule& Rule, TRuleEntry& Entry) {
  CheckNegatedBindings(Rule);
  const int32_t Count = Rule.GetPatternCount();
  std::vector<TReteNode*> Ends(static_cast<size_t>(Count), nullptr);
  const size_t FirstNew = FNodes.size();  // nodes are appended: those from here on are this rule's own
  TRuleLayout& Layout = Entry.Layout;
  Layout.Chains.assign(static_cast<size_t>(Count), {});
  Layout.Joins.assign(static_cast<size_t>(Count), nullptr);
  Layout.JoinCalls.assign(static_cast<size_t>(Count), {});
  auto Chained = [&Layout](int32_t Position, TPatternMatchNode* Node, const IIEValue& Source = IIEValue()) {
    Layout.Chains[static_cast<size_t>(Position)].push_back({Node, Source});
    return Node;
  };

  // First pass: the one-input chain of every pattern.
  for (int32_t I = 0; I < Count; ++I) {
    const TIEPattern& Pattern = *Rule.GetPattern(I);
    const bool TestElement = Pattern.GetName() == STestCE;
    TReteNode* Node = Chained(I, CreateSuccessor(nullptr, TestElement ? pmtUnknown : pmtTestClassType, &Rule,
                                                 {0, 0}, MakeRef<TIEValue>(Pattern.GetName(), dtAtom)));
    if (!TestElement) {
      const auto Limits = SplitLimits(Pattern);
      ForEachTest(Pattern, [&](int32_t S, const TIEPatternMatchTest& Test) {
        if (!IsMultiVariable(Test.GetSlotValue())) return;
        TPatternMatchNode* Split = CreateSuccessor(Node, pmtTestMultiSlotMultiField, &Rule,
                                                   {Pattern.GetSlotName(S), Test.GetMultiSlotSubIndex(), 0});
        Split->LimitSplit(Limits.at(&Test));
        Node = Chained(I, Split);
      });
      for (int32_t S = 0; S < Pattern.GetSlotCount(); ++S)
        if (Pattern.GetSlotLength(S) != -1)
          Node = Chained(I, CreateSuccessor(Node, pmtTestMultiSlotLength, &Rule,
                                            {Pattern.GetSlotName(S), Pattern.GetSlotLength(S)}));
      // Constants before calls: a fact missing a constant of the pattern never runs its calls, and the
      // patterns of many rules that differ in constants share their constant tests and fan out by them
      // (hashed, see TReteNode::CallChildren) before any call of theirs runs.
      for (const bool Calls : {false, true})
        ForEachTest(Pattern, [&](int32_t S, const TIEPatternMatchTest& Test) {
          const IIEValue& Value = Test.GetSlotValue();
          if (!Value || IsVariable(Value) || IsCall(Value) != Calls) return;
          TNodeArgs Args{Pattern.GetSlotName(S), Test.GetMultiSlotSubIndex()};
          if (IsCall(Value)) {
            IFunCall Prepared = Evaluate(*Value->GetAsFunCall(), &Rule);
            if (HasMorePatterns(*Prepared, I)) return;  // a join test, made in the third pass
            ReadFromOwnFact(*Prepared, I);
            Node = Chained(
                I, CreateSuccessor(Node, ConstantTestKind(Test), &Rule, std::move(Args), CallValue(Prepared)),
                Value);
          } else {
            Node = Chained(I, CreateSuccessor(Node, ConstantTestKind(Test), &Rule, std::move(Args), Value),
                           Value);
          }
        });
    }
    Ends[static_cast<size_t>(I)] = Node;
  }

  // Second pass: a variable written twice in one pattern compares the two places: its first appearance
  // against every later test of the pattern, in a later slot or later in the same slot (another field of an
  // ordered fact or a multislot, or a further test of the same field).
  for (int32_t I = 0; I < Count; ++I) {
    const TIEPattern& Pattern = *Rule.GetPattern(I);
    if (Pattern.GetName() == STestCE) continue;
    TReteNode* Node = Ends[static_cast<size_t>(I)];
    const auto Places = VariablePlaces(Pattern);
    ForEachFirstVariable(Pattern, [&](int32_t S, const TIEPatternMatchTest& Test) {
      const IIEValue& Value = Test.GetSlotValue();
      const std::vector<TVariablePlace>& Written =
          Places.at({Value->GetSymbol(), Value->GetDType() == dtMultiVariable});
      // Written[0] is this first appearance.
      for (size_t K = 1; K < Written.size(); ++K) {
        const TIEPatternMatchTest& Other = *Written[K].Test;
        if (Test.IsNegated() && Other.IsNegated()) continue;
        const TPatternMatchTest Kind =
            Test.IsNegated() || Other.IsNegated() ? pmtTestSlotValueNotEqual : pmtTestSlotValueEqual;
        Node = Chained(I, CreateSuccessor(Node, Kind, &Rule,
                                          {Pattern.GetSlotName(S), Pattern.GetSlotName(Written[K].Slot),
                                           Test.GetMultiSlotSubIndex(), Other.GetMultiSlotSubIndex()}));
      }
    });
    Ends[static_cast<size_t>(I)] = Node;
  }

  // Calls reading other patterns are tested at the join of the latest pattern they read: a call in a
  // pattern or test element that reads a later pattern's variable waits for that pattern's join.
  struct TJoinCall {
    TSlotTestType Type;
    int32_t SubIndex;
    IFunCall Call;
    IIEValue Source;  // the call as written
  };
  std::vector<std::vector<TJoinCall>> JoinCalls(static_cast<size_t>(Count));
  for (int32_t I = 0; I < Count; ++I) {
    const TIEPattern& Pattern = *Rule.GetPattern(I);
    const bool TestElement = Pattern.GetName() == STestCE;
    ForEachTest(Pattern, [&](int32_t, const TIEPatternMatchTest& Test) {
      const IIEValue& Value = Test.GetSlotValue();
      if (!IsCall(Value)) return;
      IFunCall Prepared = Evaluate(*Value->GetAsFunCall(), &Rule);
      if (!TestElement && !HasMorePatterns(*Prepared, I)) return;  // a node test, made in the first pass
      const int32_t Latest = std::max(I, LatestPosition(*Prepared));
      int32_t First = 0;
      int32_t Last = 0;
      if (Rule.GetNegatedElement(I, First, Last) && Latest > Last) {
        // A negated element's condition cannot wait for a pattern after the element.
        std::string Name;
        ForEachVariable(*Value->GetAsFunCall(), [&](const IIEValue& Variable) {
          const TBinding* Binding = Rule.GetBindingByName(Variable->Text());
          if (Name.empty() && Binding && Binding->GetFactIndex() > Last) Name = Variable->GetToString();
        });
        throw EIEException(SUsedBeforeBoundInNot, {Name});
      }
      JoinCalls[static_cast<size_t>(Latest)].push_back(
          {Test.GetTestType(), Test.GetMultiSlotSubIndex(), Prepared, Value});
    });
  }

  // Third pass: a join (or a test node) for every pattern after the first. The members of a negated
  // conjunction join in a chain of their own from the partial match before the conjunction; a negated
  // join then compares the chain's matches with that partial match.
  TReteNode* GroupLeft = nullptr;
  for (int32_t I = 1; I < Count; ++I) {
    TIEPattern& Pattern = *Rule.GetPattern(I);
    const bool TestElement = Pattern.GetName() == STestCE;
    TReteNode* Previous = Ends[static_cast<size_t>(I - 1)];
    TReteNode* Own = Ends[static_cast<size_t>(I)];
    const int32_t Negated = Pattern.GetNegatedCount();
    const int32_t GroupSize = Pattern.GetGroupSize();
    if (GroupSize > 0 && Pattern.GetGroupIndex() == 0) GroupLeft = Previous;
    std::unique_ptr<TTestNode> Made;
    if (TestElement)
      Made = std::make_unique<TTestNode>(this);
    else
      Made = std::make_unique<TJoinNode>(this, Negated > 0, Pattern.GetUnique(), FHashKey);

    ForEachFirstVariable(Pattern, [&](int32_t S, const TIEPatternMatchTest& Test) {
      const IIEValue& Value = Test.GetSlotValue();
      const TBinding* Binding = Rule.GetBindingByName(Value->Text());
      if (!Binding) throw EIEException(SCorruptedVariable, {Value->Text()});
      if (Binding->GetFactIndex() >= I) return;  // bound by this pattern: no join test
      const std::string& Slot = Pattern.GetSlotName(S);
      if (Binding->GetSubIndex() == NoSubIndex && Test.GetMultiSlotSubIndex() == NoSubIndex)
        Made->AddTest(std::make_unique<TIEJoinTest>(Test.GetTestType(), Binding->GetSlotIndex(), Slot,
                                                    Binding->GetFactIndex()));
      else
        Made->AddTest(std::make_unique<TIEJoinTest>(Test.GetTestType(), Binding->GetSlotIndex(),
                                                    Binding->GetSubIndex(), Slot, Test.GetMultiSlotSubIndex(),
                                                    Binding->GetFactIndex()));
    });
    if (!TestElement && IsBackwardChaining(Pattern)) {
      bool HasCall = !JoinCalls[static_cast<size_t>(I)].empty();
      ForEachTest(Pattern,
                  [&](int32_t, const TIEPatternMatchTest& Test) { HasCall |= IsCall(Test.GetSlotValue()); });
      if (HasCall) throw EIEException(SBackChainFuncallPatterns, {Pattern.GetName()});
    }
    for (const TJoinCall& Join : JoinCalls[static_cast<size_t>(I)]) {
      Made->AddTest(
          std::make_unique<TIEPatternMatchTest>(nullptr, Join.Type, Join.SubIndex, CallValue(Join.Call)));
      Layout.JoinCalls[static_cast<size_t>(I)].push_back(Join.Source);
    }

    // Sharing: a positive join fed the same way with the same tests.
    const bool BackChain = !TestElement && IsBackwardChaining(Pattern) && !Pattern.GetExplicit();
    TReteNode* End = nullptr;
    if (Negated == 0 && !TestElement && !BackChain) {
      for (const TReteEdge& Edge : Previous->GetEdges()) {
        if (Edge.CallType != ctLeft) continue;
        auto* Join = dynamic_cast<TJoinNode*>(Edge.Target);
        if (!Join || Join->GetNegated() || Join->GetPattern() || Join->GetUnique() != Pattern.GetUnique())
          continue;
        if (!Own->HasEdgeTo(Join, ctRight) || !Join->Equals(*Made)) continue;
        Entry.Nodes.push_back(Join);
        Join->SetRuleUseCount(Join->GetRuleUseCount() + 1);
        Entry.Trace += "=2";
        End = Join;
        Layout.Joins[static_cast<size_t>(I)] = Join;
        break;
      }
    }
    if (!End) {
      TTestNode* Node = AddNode(std::move(Made), &Entry.Nodes);
      Layout.Joins[static_cast<size_t>(I)] = Node;
      NewEdge(Previous, Node, ctLeft);
      NewEdge(Own, Node, ctRight);
      if (auto* Join = dynamic_cast<TJoinNode*>(Node)) {
        if (BackChain) Join->SetPattern(&Pattern, &Rule);
        Join->PrepareShortCut([&](const TIEJoinTest& Test) { return MayKey(Rule, Pattern, Test); });
      }
      Entry.Trace += "+2";
      End = Node;
      // Every further `not` is one more negated level, blocked by whatever the level below passes on.
      for (int32_t Level = 1; Level < Negated; ++Level) {
        TJoinNode* Extra = AddNode(TJoinNode::NegationLevel(this, FHashKey), &Entry.Nodes);
        NewEdge(Previous, Extra, ctLeft);
        NewEdge(End, Extra, ctRight);
        End = Extra;
      }
    }
    if (GroupSize > 0 && Pattern.GetGroupIndex() == GroupSize - 1 && GroupLeft) {
      for (int32_t Level = 0; Level < Pattern.GetGroupNegation(); ++Level) {
        TJoinNode* Extra = AddNode(TJoinNode::NegationLevel(this, FHashKey, GroupSize), &Entry.Nodes);
        NewEdge(GroupLeft, Extra, ctLeft);
        NewEdge(End, Extra, ctRight);
        Entry.Trace += "+2";
        End = Extra;
      }
      GroupLeft = nullptr;
    }
    Ends[static_cast<size_t>(I)] = End;
  }

  // Fourth pass: the terminal node, then priming.
  if (Count == 0) return;
  auto* Terminal = AddNode(std::make_unique<TPatternMatchTerminalNode>(this, &Rule), &Entry.Nodes);
  Layout.Terminal = Terminal;
  NewEdge(Ends.back(), Terminal, ctActivate);
  Entry.Trace += "+t";
  std::vector<TReteNode*> Made;
  for (size_t I = FirstNew; I < FNodes.size(); ++I) Made.push_back(FNodes[I].get());
  UpdateNodes(Made);
  Terminal->SetInitialized(true);
}

// ---- listing
// -----------------------------------------------------------------------------------------------

void TReteNetwork::AssignTo(TPersistent* Dest) const {
  auto* Tree = dynamic_cast<TTreeNodes*>(Dest);
  if (!Tree) {
    TComponent::AssignTo(Dest);
    return;
  }
  Tree->Clear();
  // Depth-first with an explicit stack; each item gets its children, in edge order, when it is taken.
  std::vector<std::pair<const TReteNode*, TTreeNode*>> Pending;
  for (const TReteNode* Root : FRoots) {
    Pending.emplace_back(Root, Tree->Add(Root->GetToString()));
    while (!Pending.empty()) {
      auto [Node, Item] = Pending.back();
      Pending.pop_back();
      for (const TReteEdge& Edge : Node->GetEdges()) {
        std::string Text(TCallTypeInfo().Name(Edge.CallType));
        Text += " " + Edge.Target->GetToString();
        Pending.emplace_back(Edge.Target, Item->AddChild(Text));
      }
    }
  }
}

}  // namespace rulecraft
