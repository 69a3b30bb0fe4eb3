#include "rulecraft/rete/ReteNode.h"

#include <algorithm>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/ReteNetwork.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

const TEnumInfo& TCallTypeInfo() {
  static const TEnumInfo Info("TCallType", {"ctLeft", "ctRight", "ctSingle", "ctActivate"});
  return Info;
}

const TEnumInfo& TPatternMatchTestInfo() {
  static const TEnumInfo Info(
      "TPatternMatchTest",
      {"pmtUnknown", "pmtTestClassType", "pmtTestEqual", "pmtTestNotEqual", "pmtTestSlotValueEqual",
       "pmtTestSlotValueNotEqual", "pmtTestMultiSlotEqual", "pmtTestMultiSlotNotEqual",
       "pmtTestMultiSlotLength", "pmtTestMultiSlotMultiField", "pmtFailTest"});
  return Info;
}

namespace {

// Only the atom FALSE is false, whichever object holds it.
bool IsFalse(const IIEValue& Value) {
  return Value && Value->GetDType() == dtAtom && Value->Text() == FCFalse->Text();
}

// Points the network's shared context at one pair (a partial match and the fact it is tested with) while the
// pair's tests run and its token travels on, then gives the context back its previous token and fact, also
// when a call raises. The nodes below use the same context: restoring keeps what they set from reaching the
// next pair of an outer scan. A return a test's call left pending is dropped with the pair.
class TPairContext {
 public:
  TPairContext(TIEContext* Context, const ITokenBase& Token, const IFact& Fact)
      : FContext(Context), FToken(Context->GetToken()), FFact(Context->GetFact()) {
    FContext->SetToken(Token);
    FContext->SetFact(Fact);
  }
  TPairContext(const TPairContext&) = delete;
  TPairContext& operator=(const TPairContext&) = delete;
  ~TPairContext() {
    if (FContext->GetReturn()) FContext->ClearReturnValue();
    FContext->SetToken(FToken);
    FContext->SetFact(FFact);
  }

 private:
  TIEContext* FContext;
  ITokenBase FToken;
  IFact FFact;
};

// The slot's value narrowed to its list element at Index (NoSubIndex: the whole value); nil when the fact
// has no such slot or the list no such element.
IIEValue FieldOf(TFact& Fact, const std::string& Slot, int32_t Index) {
  IIEValue Value = Fact.ContainsKey(Slot);
  if (Index == NoSubIndex || !Value) return Value;
  if (Value->GetDType() != dtList) return IIEValue();
  const IValueVector List = Value->GetAsList();
  if (!List || Index < 0 || Index >= List->GetValueCount()) return IIEValue();
  return List->Get(Index);
}

// ---- Fuzzy matching hook
// ----------------------------------------------------------------------------------- The degree (0..1) to
// which the fuzzy value Fuzzy matches Other, once Equals has accepted the pair: a fuzzy set against another
// set is their compatibility (the height of their intersection), against a number its membership, against a
// term name the compatibility with that term of the set's variable. Any other pair that Equals accepted
// matches fully. The fuzzy-inference work refines the comparison itself (Equals); the strength logic that
// uses this degree lives in TPatternMatchNode::CallChildren.
double FuzzyMatchDegree(const TIEValue& Fuzzy, const TIEValue& Other) {
  const IFuzzySet Set = Fuzzy.GetAsFuzzy();
  if (!Set) return 1.0;
  switch (Other.GetDType()) {
    case dtFuzzy: {
      const IFuzzySet OtherSet = Other.GetAsFuzzy();
      return OtherSet ? Set->FuzzyEquals(*OtherSet) : 0.0;
    }
    case dtInteger:
    case dtFloat:
      return Set->DegreeOfMembership(Other.GetAsNumeric());
    case dtAtom:
    case dtString:
      if (TIFuzzyVariable* Variable = Set->GetVariable())
        if (const IFuzzySet Term = Variable->FindFuzzySet(Other.Text())) return Set->FuzzyEquals(*Term);
      return 1.0;
    default:
      return 1.0;
  }
}

// A template chain is followed at most this far, so a parent loop cannot hang the class test.
constexpr int MaxTemplateAncestry = 1000;

}  // namespace

// ---- TReteNode
// ---------------------------------------------------------------------------------------------

TReteNode::TReteNode(TReteNetwork* Network)
    : FNetwork(Network), FContext(Network ? Network->GetContext() : nullptr) {}

TReteNode::~TReteNode() = default;

bool TReteNode::HasEdgeTo(const TReteNode* Target, TCallType CallType) const noexcept {
  for (const TReteEdge& Edge : FEdges)
    if (Edge.Target == Target && Edge.CallType == CallType) return true;
  return false;
}

std::string TReteNode::GetLabel() const { return ClassName() + "#" + std::to_string(FNumber); }

void TReteNode::CallChildren(const IReteToken& Token) {
  const bool Priming = FNetwork && FNetwork->IsPriming();
  // By index: the edge list is not changed while tokens flow, but a copy of each edge costs nothing.
  for (size_t I = 0; I < FEdges.size(); ++I) {
    const TReteEdge Edge = FEdges[I];
    if (Priming && !Edge.Target->FPrimeTarget) continue;
    Edge.Target->CallNode(Token, Edge.CallType);
  }
}

std::string TReteNode::GetToString() const {
  return GetLabel() + " In/Out#: " + std::to_string(GetInCount()) + "/" + std::to_string(GetOutCount()) +
         " RuleUse: " + std::to_string(FRuleUseCount);
}

IIEValue TReteNode::Evaluate(const IIEValue& Call, const IReteToken& Token, const IFact& Fact) {
  IIEValue Result;
  if (!Call || !FContext) return Result;
  TPairContext Pair(FContext, Token, Fact);
  IIEValue Held = Call;  // the call stays alive while it runs
  Held->Resolve(FContext, Result);
  return Result;
}

const IFact& TReteNode::NullFact() const {
  static const IFact None;
  IRuleEngine* Engine = FNetwork ? FNetwork->GetEngine() : nullptr;
  return Engine ? Engine->GetNullFact() : None;
}

// ---- TPatternMatchNode
// -------------------------------------------------------------------------------------

TPatternMatchNode::TPatternMatchNode(TReteNetwork* Network, TPatternMatchTest Test, TNodeArgs Args,
                                     IIEValue Value)
    : TReteNode(Network), FValue(std::move(Value)), FArgs(std::move(Args)), FTest(Test) {
  FValueIsCall = FValue && FValue->GetDType() == dtFunCall;
  auto Text = [this](size_t I) { return I < FArgs.size() ? FArgs[I].AsText() : std::string(); };
  auto Number = [this](size_t I) {
    return I < FArgs.size() && !FArgs[I].IsText() ? FArgs[I].AsInteger() : NoSubIndex;
  };
  switch (FTest) {
    case pmtTestClassType:
      FSlot = FValue ? FValue->GetToString() : std::string();  // the template name
      break;
    case pmtTestSlotValueEqual:
    case pmtTestSlotValueNotEqual:
      FSlot = Text(0);
      FOtherSlot = Text(1);
      FIndex = Number(2);
      FOtherIndex = Number(3);
      break;
    default:
      FSlot = Text(0);
      FIndex = Number(1);
      break;
  }
}

bool TPatternMatchNode::Matches(TPatternMatchTest Test, const TNodeArgs& Args, const IIEValue* Value) const {
  if (Test != FTest || Args != FArgs) return false;
  if (!Value) return true;
  if (!*Value || !FValue) return !*Value && !FValue;
  return FValue->Equals(*Value);
}

bool TPatternMatchNode::IsClassOf(const TFactTemplate* Template) const {
  for (int Hops = 0; Template && Hops < MaxTemplateAncestry; ++Hops) {
    if (Template->GetTemplateName() == FSlot) return true;
    Template = Template->GetParent().get();
  }
  return false;
}

bool TPatternMatchNode::CallNode(const IReteToken& Token, TCallType CallType) {
  (void)CallType;
  if (!Token) return false;
  if (Token->GetTag() == taClear) {
    CallChildren(Token);
    return true;
  }
  const IFact& F = Token->GetFact();
  if (!F || !F->GetTemplate()) return false;
  switch (FTest) {
    case pmtTestClassType:
      if (!IsClassOf(F->GetTemplate().get())) return false;
      CallChildren(Token);
      return true;

    case pmtTestEqual:
    case pmtTestNotEqual: {
      const bool Negate = FTest == pmtTestNotEqual;
      if (FValueIsCall) return PassCall(Token, F, Negate);
      const IIEValue Slot = F->ContainsKey(FSlot);
      if (!Slot) return false;
      return CallChildren(Token, Slot, FValue, Negate);
    }

    case pmtTestSlotValueEqual:
    case pmtTestSlotValueNotEqual: {
      const IIEValue Left = FieldOf(*F, FSlot, FIndex);
      const IIEValue Right = FieldOf(*F, FOtherSlot, FOtherIndex);
      if (!Left || !Right) return false;
      return CallChildren(Token, Left, Right, FTest == pmtTestSlotValueNotEqual);
    }

    case pmtTestMultiSlotEqual:
    case pmtTestMultiSlotNotEqual: {
      const bool Negate = FTest == pmtTestMultiSlotNotEqual;
      const IIEValue Slot = F->ContainsKey(FSlot);
      if (!Slot || Slot->GetDType() != dtList) return false;
      const IValueVector List = Slot->GetAsList();
      if (!List || FIndex < 0 || FIndex >= List->GetValueCount()) return false;
      if (FValueIsCall) return PassCall(Token, F, Negate);
      const IIEValue& Item = List->Get(FIndex);
      if (!Item) return false;
      return CallChildren(Token, Item, FValue, Negate);
    }

    case pmtTestMultiSlotLength: {
      const IIEValue Slot = F->ContainsKey(FSlot);
      if (!Slot || Slot->GetDType() != dtList) return false;
      const IValueVector List = Slot->GetAsList();
      if ((List ? List->GetValueCount() : 0) != FIndex) return false;
      CallChildren(Token);
      return true;
    }

    case pmtTestMultiSlotMultiField:
      return SplitMultiField(Token, *F);

    case pmtFailTest:
    case pmtUnknown:
    default:
      return false;
  }
}

bool TPatternMatchNode::PassCall(const IReteToken& Token, const IFact& Fact, bool Negate) {
  // A removal follows the path its addition took: the call is not asked again (it may read globals that
  // changed meanwhile); the nodes below ignore what they do not hold.
  if (Token->GetTag() == taRemove) {
    CallChildren(Token);
    return true;
  }
  const IIEValue Result = Evaluate(FValue, Token, Fact);
  const bool Pass = IsFalse(Result) == Negate;
  if (Pass) CallChildren(Token);
  return Pass;
}

// A multifield variable at position k of a slot holding N fields matches any run of fields from k on: one
// copy of the fact per run length, longest first, whose slot holds the fields before k, the run as one nested
// list, then the fields after the run. Later tests of the pattern address positions in that regrouped list.
bool TPatternMatchNode::SplitMultiField(const IReteToken& Token, TFact& Fact) {
  const IIEValue Slot = Fact.ContainsKey(FSlot);
  if (!Slot) return false;
  if (Slot->Equals(FCNil)) {
    CallChildren(Token);
    return true;
  }
  if (Slot->GetDType() != dtList) return false;
  const IValueVector List = Slot->GetAsList();
  const int32_t N = List ? List->GetValueCount() : 0;
  const int32_t K = FIndex < 0 ? 0 : FIndex;
  if (K > N) return false;
  for (int32_t Length = N - K; Length >= 0; --Length) {
    IValueVector Run = MakeRef<TValueVector>();
    IValueVector Regrouped = MakeRef<TValueVector>();
    for (int32_t I = 0; I < K; ++I) Regrouped->Add(List->Get(I));
    for (int32_t I = K; I < K + Length; ++I) Run->Add(List->Get(I));
    Regrouped->Add(MakeRef<TIEValue>(Run));
    for (int32_t I = K + Length; I < N; ++I) Regrouped->Add(List->Get(I));
    // The copy's slot value is a fresh value object of its own: regroup it in place (no slot type check: a
    // nested list is what the pattern's later tests expect here).
    IFact Copy = Fact.Clone();
    IIEValue CopySlot = Copy->ContainsKey(FSlot);
    CopySlot->SetAsList(Regrouped);
    IReteToken Split = MakeRef<TIEToken>(Token->GetTag(), Copy);
    Split->SetStrength(Token->GetStrength());
    CallChildren(Split);
  }
  return true;
}

bool TPatternMatchNode::CallChildren(const IReteToken& Token, const IIEValue& Left, const IIEValue& Right,
                                     bool Negate) {
  if (!Left || !Right) return false;
  if (Left->Equals(Right) == Negate) return false;
  const bool LeftFuzzy = Left->GetDType() == dtFuzzy;
  if (!LeftFuzzy && Right->GetDType() != dtFuzzy) {
    CallChildren(Token);
    return true;
  }
  // A fuzzy comparison: the token goes on at most as strong as the degree of the match.
  const double Degree = LeftFuzzy ? FuzzyMatchDegree(*Left, *Right) : FuzzyMatchDegree(*Right, *Left);
  if (Token->GetStrength() <= Degree) {
    CallChildren(Token);
    return true;
  }
  // A removal goes on whatever the lowest strength is now: the strength check belongs to the addition.
  if (Degree >= GetNetwork()->GetMinActivationStrength() || Token->GetTag() == taRemove) {
    IReteToken Weaker = MakeRef<TIEToken>(Token);
    Weaker->SetStrength(static_cast<float>(Degree));
    CallChildren(Weaker);
    return true;
  }
  return false;
}

std::string TPatternMatchNode::GetToString() const {
  std::string Text = TReteNode::GetToString();
  if (FValue) Text += " Value: " + FValue->GetToString();
  Text += " Test: ";
  Text += TPatternMatchTestInfo().Name(FTest);
  if (!FArgs.empty()) {
    Text += " Args: (";
    for (size_t I = 0; I < FArgs.size(); ++I) {
      if (I > 0) Text += ", ";
      Text += FArgs[I].ToString();
    }
    Text += ")";
  }
  return Text;
}

// ---- TTestNode
// ---------------------------------------------------------------------------------------------

TTestNode::TTestNode(TReteNetwork* Network) : TReteNode(Network) {}

TTestNode::~TTestNode() = default;

TIESlotTest* TTestNode::GetTest(int32_t Index) const {
  if (Index < 0 || Index >= GetTestCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FTests[static_cast<size_t>(Index)].get();
}

void TTestNode::AddTest(std::unique_ptr<TIESlotTest> Test) {
  if (!Test) return;
  if (IsCallTest(*Test)) ++FCallTests;
  FTests.push_back(std::move(Test));
}

bool TTestNode::IsCallTest(const TIESlotTest& Test) {
  return Test.InheritsFrom(TIEPatternMatchTest::StaticClass());
}

bool TTestNode::Equals(const TTestNode& Other) const {
  if (ClassType() != Other.ClassType() || FTests.size() != Other.FTests.size()) return false;
  auto HoldsCall = [](const std::vector<std::unique_ptr<TIESlotTest>>& Tests) {
    return std::any_of(Tests.begin(), Tests.end(), [](const std::unique_ptr<TIESlotTest>& Test) {
      return Test->InheritsFrom(TIEPatternMatchTest::StaticClass());
    });
  };
  if (HoldsCall(FTests) || HoldsCall(Other.FTests)) return false;
  for (const auto& Test : FTests) {
    const bool Matched =
        std::any_of(Other.FTests.begin(), Other.FTests.end(),
                    [&Test](const std::unique_ptr<TIESlotTest>& Mine) { return Mine->Equals(*Test); });
    if (!Matched) return false;
  }
  return true;
}

bool TTestNode::RunTests(bool Removing) {
  TIEContext* Context = GetContext();
  const bool SkipCalls = Removing && FCallTests > 0;
  for (const auto& Test : FTests) {
    if (SkipCalls && IsCallTest(*Test)) continue;
    const bool Pass = Test->PerformTest(Context);
    // A return left pending by a call stops at its test.
    if (Context->GetReturn()) Context->ClearReturnValue();
    if (!Pass) return false;
  }
  return true;
}

bool TTestNode::RunJoinTests(const TTokenBase& Left, TFact* Right) const {
  if (!Right) return true;  // a comparison without its right fact refuses nothing
  for (const auto& Test : FTests)
    if (!static_cast<const TIEJoinTest&>(*Test).Matches(Left, *Right)) return false;
  return true;
}

bool TTestNode::CallNode(const IReteToken& Token, TCallType CallType) {
  (void)CallType;
  if (!Token) return false;
  if (Token->GetTag() == taClear) {
    CallChildren(Token);
    return true;
  }
  // The test element takes a place in the partial match like any pattern, so that the positions of the
  // later patterns' bindings stay right: the placeholder fact stands there.
  if (Token->GetTag() == taRemove) {
    CallChildren(MakeRef<TIEToken>(Token, NullFact()));
    return true;
  }
  bool Pass;
  {
    TPairContext Pair(GetContext(), Token, IFact());
    Pass = RunTests();
  }
  if (Pass) CallChildren(MakeRef<TIEToken>(Token, NullFact()));
  return Pass;
}

std::string TTestNode::GetToString() const {
  std::string Text = TReteNode::GetToString() + " NumTests: " + std::to_string(FTests.size());
  for (const auto& Test : FTests) Text += " (" + Test->GetToString() + ")";
  return Text;
}

// ---- TJoinNode
// ---------------------------------------------------------------------------------------------

TJoinNode::TJoinNode(TReteNetwork* Network, bool Negated, bool Unique, int32_t BucketCount)
    : TTestNode(Network), FNegated(Negated), FUnique(Unique), FBucketCount(BucketCount) {}

TJoinNode::~TJoinNode() = default;

std::unique_ptr<TJoinNode> TJoinNode::NegationLevel(TReteNetwork* Network, int32_t BucketCount) {
  auto Node = std::make_unique<TJoinNode>(Network, true, false, BucketCount);
  Node->FMatchesParent = true;
  return Node;
}

void TJoinNode::SetPattern(TIEPattern* Pattern, TRule* Rule) {
  if (Pattern && !(Pattern->GetFactTemplate() && Pattern->GetFactTemplate()->IsBackwardChaining()))
    throw EIEException(std::string(SInvalidBackchainPattern));
  FPattern = Pattern;
  FRule = Pattern ? Rule : nullptr;
}

void TJoinNode::PrepareShortCut(const std::function<bool(const TIEJoinTest&)>& MayKey) {
  auto Find = [&](TJoinTestType Type) -> size_t {
    for (size_t I = 0; I < FTests.size(); ++I) {
      const auto* Join = dynamic_cast<const TIEJoinTest*>(FTests[I].get());
      if (Join && Join->GetJoinType() == Type && Join->GetTestType() == sttEquals &&
          (!MayKey || MayKey(*Join)))
        return I;
    }
    return FTests.size();
  };
  size_t Chosen = Find(tstSlot);
  if (Chosen == FTests.size()) Chosen = Find(tstMultiSlot);
  FUseShortCut = Chosen < FTests.size();
  if (FUseShortCut) {
    std::rotate(FTests.begin(), FTests.begin() + static_cast<std::ptrdiff_t>(Chosen),
                FTests.begin() + static_cast<std::ptrdiff_t>(Chosen) + 1);
    const auto& Key = static_cast<const TIEJoinTest&>(*FTests.front());
    FTokenIdx = Key.GetTokenIdx();
    FLeftSlot = Key.GetLeftSlot();
    FRightSlot = Key.GetRightSlot();
    FLeftSubIndex = Key.GetJoinType() == tstMultiSlot ? Key.GetLeftSubIndex() : NoSubIndex;
    FRightSubIndex = Key.GetJoinType() == tstMultiSlot ? Key.GetRightSubIndex() : NoSubIndex;
  } else {
    FTokenIdx = FLeftSubIndex = FRightSubIndex = -1;
    FLeftSlot.clear();
    FRightSlot.clear();
  }
  // Memories keyed the old way are of no use any more.
  FLeft.reset();
  FRight.reset();
}

void TJoinNode::ClearMemory() {
  FBlocked.clear();
  if (FMatchesParent) {
    // Left tokens by their sort code, right tokens by their parent's: a right token meets only the left
    // token it extends (and the rare ones whose codes collide, which the parent check rejects).
    if (FLeft)
      FLeft->Clear();
    else
      FLeft = std::make_unique<TIETokenTree>(FBucketCount, 0, NoSubIndex, std::string(), true);
    if (FRight)
      FRight->Clear();
    else
      FRight = std::make_unique<TIETokenTree>(FBucketCount, 0, NoSubIndex, std::string(), true, true);
    return;
  }
  if (FLeft) {
    FLeft->Clear();
  } else if (FUseShortCut) {
    FLeft = std::make_unique<TIETokenTree>(FBucketCount, FTokenIdx, FLeftSubIndex, FLeftSlot, false);
  } else {
    FLeft = std::make_unique<TIETokenTree>(FBucketCount, 0, NoSubIndex, std::string(), true);
  }
  if (FRight) {
    FRight->Clear();
  } else if (FUseShortCut) {
    FRight = std::make_unique<TIETokenTree>(FBucketCount, 0, FRightSubIndex, FRightSlot, false);
  } else {
    FRight = std::make_unique<TIETokenTree>(FBucketCount, 0, NoSubIndex, std::string(), false);
  }
}

bool TJoinNode::Equals(const TTestNode& Other) const {
  if (FNegated) return false;
  if (const auto* Join = dynamic_cast<const TJoinNode*>(&Other); Join && Join->FNegated) return false;
  return TTestNode::Equals(Other);
}

bool TJoinNode::CallNode(const IReteToken& Token, TCallType CallType) {
  FPassCount = 0;
  if (!Token) return false;
  if (Token->GetTag() == taClear) {
    ClearMemory();
    CallChildren(Token);
    return false;
  }
  if (CallType != ctLeft && CallType != ctRight)
    throw EIEException(SInvalidCallType, {TCallTypeInfo().Name(CallType)});
  if (!FLeft || !FRight) ClearMemory();
  const bool Removing = Token->GetTag() == taRemove;
  if (CallType == ctRight) {
    if (Removing) {
      // The stored copy leaves and withdraws what it made; it knows whom it blocked.
      if (IReteToken Stored = FRight->Extract(Token)) {
        Stored->SetTag(taRemove);
        RunTestsVaryLeft(Stored);
      }
    } else {
      IReteToken Stored = MakeRef<TIEToken>(Token);
      if (FRight->Add(Stored)) RunTestsVaryLeft(Stored);
    }
  } else if (Removing) {
    if (IReteToken Stored = FLeft->Extract(Token)) {
      if (!FNegated) {
        RunTestsVaryRight(Token);
      } else if (Stored->GetNegatedCount() == 0) {
        // It passed when nothing blocked it: withdraw that.
        ++FPassCount;
        CallChildren(MakeRef<TIEToken>(Token, NullFact()));
      }
    }
  } else {
    IReteToken Stored = MakeRef<TIEToken>(Token);
    if (FLeft->Add(Stored)) {
      // A stored left token always counts the right tokens currently blocking it.
      const int32_t Blocking = RunTestsVaryRight(Stored);
      if (FNegated) Stored->SetNegatedCount(Blocking);
      AskForBackChain(Token);
    }
  }
  return FPassCount > 0;
}

bool TJoinNode::PairPasses(const TIEToken& Left, const TIEToken& Right, bool Removing) {
  if (FMatchesParent) {
    const TIEToken* Parent = Right.GetParentObject();
    return Parent && Parent->Equals(&Left);
  }
  if (FCallTests == 0) return RunJoinTests(Left, Right.GetFact().get());
  const TPairContext Pair(GetContext(), ITokenBase(const_cast<TIEToken*>(&Left)), Right.GetFact());
  return RunTests(Removing);
}

void TJoinNode::RecordBlocking(const IReteToken& Right, const IReteToken& Left) {
  FBlocked[Right.get()].push_back(Left);
}

void TJoinNode::Unblock(const IReteToken& Left) {
  if (Left->GetNegatedCount() == 0) return;
  Left->SetNegatedCount(Left->GetNegatedCount() - 1);
  if (Left->GetNegatedCount() == 0) {
    ++FPassCount;
    CallChildren(MakeRef<TIEToken>(Left, NullFact()));
  }
}

template <class F>
void TJoinNode::ScanRight(const TIEToken& Left, F&& Visit) {
  if (Keyed()) {
    for (const IReteToken& Right : FRight->GetTokens(FLeft->KeyOf(Left)))
      if (!Visit(Right)) break;
  } else {
    for (const IReteToken& Right : *FRight)
      if (!Visit(Right)) break;
  }
}

// A right token arrives or leaves: compare it with the stored left tokens (those of its key when keyed).
void TJoinNode::RunTestsVaryLeft(const IReteToken& Right) {
  if (FLeft->Count() == 0) {
    FBlocked.erase(Right.get());
    return;
  }
  const bool Adding = Right->GetTag() != taRemove;
  if (!Adding && RecordsBlocking()) {
    // Unblock exactly the left tokens this one blocked and that are still stored.
    auto It = FBlocked.find(Right.get());
    if (It == FBlocked.end()) return;
    const std::vector<IReteToken> Blocked = std::move(It->second);
    FBlocked.erase(It);
    for (const IReteToken& Left : Blocked)
      if (FLeft->Holds(*Left)) Unblock(Left);
    return;
  }
  const IFact& RightFact = Right->GetFact();
  const TTokenAction Tag = Right->GetTag();
  const IFact& Null = NullFact();

  auto Visit = [&](const IReteToken& Left) {
    if (!PairPasses(*Left, *Right, !Adding)) return;
    if (!FNegated) {
      IReteToken Joined = MakeRef<TIEToken>(Left, RightFact);
      Joined->SetTag(Tag);
      Joined->SetStrength(std::min(Left->GetStrength(), Right->GetStrength()));
      CallChildren(Joined);
    } else if (Adding) {
      if (RecordsBlocking()) RecordBlocking(Right, Left);
      Left->SetNegatedCount(Left->GetNegatedCount() + 1);
      if (Left->GetNegatedCount() == 1) {
        // Newly blocked: withdraw what the left token produced. The placeholder token carries the left
        // token's strength, as when it was passed on, so that the withdrawal finds it.
        IReteToken Withdrawn = MakeRef<TIEToken>(Left, Null);
        Withdrawn->SetTag(taRemove);
        CallChildren(Withdrawn);
      }
    } else {
      Unblock(Left);
    }
  };
  if (Keyed()) {
    for (const IReteToken& Left : FLeft->GetTokens(FRight->KeyOf(*Right))) Visit(Left);
  } else {
    for (const IReteToken& Left : *FLeft) Visit(Left);
  }
}

// A left token arrives (the stored copy) or, in a positive join, leaves: compare it with the stored right
// tokens (those of its key when keyed).
int32_t TJoinNode::RunTestsVaryRight(const IReteToken& Left) {
  const bool Removing = Left->GetTag() == taRemove;
  int32_t Blocking = 0;
  if (FRight->Count() > 0) {
    auto Visit = [&](const IReteToken& Right) -> bool {  // false: stop the scan
      if (!PairPasses(*Left, *Right, Removing)) return true;
      if (FNegated) {
        if (RecordsBlocking()) RecordBlocking(Right, Left);
        ++Blocking;
        return true;
      }
      IReteToken Joined = MakeRef<TIEToken>(Left, Right->GetFact());
      Joined->SetStrength(std::min(Left->GetStrength(), Right->GetStrength()));
      if (!Removing) ++FPassCount;
      CallChildren(Joined);
      return !(FUnique && !Removing);
    };
    ScanRight(*Left, Visit);
  }
  if (FNegated && Blocking == 0) {
    ++FPassCount;
    CallChildren(MakeRef<TIEToken>(Left, NullFact()));
  }
  return Blocking;
}

void TJoinNode::PassStoredMatches() {
  if (!FLeft || !FRight) return;
  TIEContext* Context = GetContext();
  const IFact& Null = NullFact();
  for (const IReteToken& Left : *FLeft) {
    if (FNegated) {
      if (Left->GetNegatedCount() != 0) continue;
      IReteToken Passed = MakeRef<TIEToken>(Left, Null);
      Passed->SetTag(taAdd);
      CallChildren(Passed);
      continue;
    }
    auto Visit = [&](const IReteToken& Right) -> bool {  // false: stop the scan
      TPairContext Pair(Context, Left, Right->GetFact());
      if (!RunTests()) return true;
      IReteToken Joined = MakeRef<TIEToken>(Left, Right->GetFact());
      Joined->SetTag(taAdd);
      Joined->SetStrength(std::min(Left->GetStrength(), Right->GetStrength()));
      CallChildren(Joined);
      return !FUnique;
    };
    ScanRight(*Left, Visit);
  }
}

// A left token found no partner: ask the engine for the fact the backward-chaining pattern needs, as a goal
// "need-<pattern>" whose slots hold what the pattern's tests know of it.
void TJoinNode::AskForBackChain(const IReteToken& Left) {
  if (!FPattern || FPassCount != 0) return;
  const std::string& Name = FPattern->GetName();
  if (Name.rfind(SBackChainPrefix, 0) == 0) return;
  IRuleEngine* Engine = GetNetwork() ? GetNetwork()->GetEngine() : nullptr;
  if (!Engine) return;
  const IFactTemplate Template = Engine->FindFactTemplate(SBackChainPrefix + Name);
  if (!Template) return;

  IFact Goal = MakeRef<TFact>(Template);
  for (int32_t S = 0; S < FPattern->GetSlotCount(); ++S) {
    const std::string& SlotName = FPattern->GetSlotName(S);
    const IFactSlot* GoalSlot = Template->FindSlot(SlotName);
    if (!GoalSlot) continue;
    const bool Multi = (*GoalSlot)->IsMultiSlot() || (*GoalSlot)->GetSlotType().Contains(dtMultiSlot);
    IIEValue Single;
    IValueVector Fields;
    for (int32_t T = 0; T < FPattern->GetSlotTestCount(S); ++T) {
      const TIEPatternMatchTest* Test = FPattern->GetSlotTest(S, T);
      const IIEValue& Value = Test->GetSlotValue();
      if (!Value || Test->GetTestType() == sttNotEquals) continue;
      IIEValue Known;
      const TIEType Kind = Value->GetDType();
      if (Kind == dtVariable || Kind == dtMultiVariable) {
        const TBinding* Binding = FRule ? FRule->GetBindingByName(Value->Text()) : nullptr;
        if (!Binding || Binding->GetFactIndex() < 0 || Binding->GetFactIndex() >= Left->GetCount()) continue;
        const IFact& Source = Left->GetFacts(Binding->GetFactIndex());
        if (!Source || !Source->GetTemplate()) continue;
        Known = FieldOf(*Source, Binding->GetSlotIndex(), Binding->GetSubIndex());
      } else if (Kind != dtFunCall) {
        Known = Value;
      }
      if (!Known) continue;
      if (!Multi) {
        Single = Known;
        break;  // a single slot takes the first value
      }
      if (!Fields) Fields = MakeRef<TValueVector>();
      const int32_t At = Test->GetMultiSlotSubIndex();
      auto Put = [&](const IIEValue& Field, int32_t Index) {
        if (Index >= 0 && Index < Fields->GetValueCount())
          Fields->Insert(Index, Field);
        else
          Fields->Add(Field);
      };
      if (Known->GetDType() == dtList && (At == NoSubIndex || Kind == dtMultiVariable)) {
        const IValueVector Items = Known->GetAsList();
        int32_t Index = At;
        for (int32_t I = 0; Items && I < Items->GetValueCount(); ++I)
          Put(Items->Get(I), Index < 0 ? -1 : Index++);
      } else {
        Put(Known, At);
      }
    }
    if (Multi)
      Goal->SetValue(SlotName, Fields ? MakeRef<TIEValue>(Fields) : FCNilList);
    else
      Goal->SetValue(SlotName, Single ? Single : FCNil);
  }
  Engine->AddPendingFact(Goal);
}

std::string TJoinNode::GetToString() const {
  std::string Text = TTestNode::GetToString();
  if (FNegated) Text += " *NEGATED*";
  if (FLeft) Text += " Left Memory: " + FLeft->GetToString();
  if (FRight) Text += " Right Memory: " + FRight->GetToString();
  return Text;
}

// ---- TActivationList
// ---------------------------------------------------------------------------------------

namespace {

int32_t CodeOf(const TActivation* Activation) noexcept {
  return Activation->GetToken() ? Activation->GetToken()->GetSortCode() : 0;
}

size_t HashCode(int32_t Code) noexcept {
  uint32_t H = static_cast<uint32_t>(Code) * 0x9E3779B1u;
  return H ^ (H >> 16);
}

}  // namespace

size_t TActivationList::SlotOf(int32_t Code) const noexcept {
  const size_t Mask = FSlots.size() - 1;
  size_t Slot = HashCode(Code) & Mask;
  while (FSlots[Slot].Head != None && FSlots[Slot].Code != Code) Slot = (Slot + 1) & Mask;
  return Slot;
}

void TActivationList::Grow() {
  std::vector<TSlot> Old = std::move(FSlots);
  FSlots.assign(Old.empty() ? 16 : Old.size() * 2, TSlot());
  for (const TSlot& Entry : Old)
    if (Entry.Head != None) FSlots[SlotOf(Entry.Code)] = Entry;
}

// Backward-shift deletion keeps every probe chain unbroken without tombstones.
void TActivationList::EraseSlot(size_t Slot) noexcept {
  const size_t Mask = FSlots.size() - 1;
  size_t Hole = Slot;
  size_t Next = (Hole + 1) & Mask;
  while (FSlots[Next].Head != None) {
    const size_t Home = HashCode(FSlots[Next].Code) & Mask;
    // Move the entry back when its home does not lie cyclically within (Hole, Next].
    const bool InRange = Hole <= Next ? (Home > Hole && Home <= Next) : (Home > Hole || Home <= Next);
    if (!InRange) {
      FSlots[Hole] = FSlots[Next];
      Hole = Next;
    }
    Next = (Next + 1) & Mask;
  }
  FSlots[Hole] = TSlot();
  --FUsedSlots;
}

void TActivationList::Append(TActivation* Activation) {
  if ((FUsedSlots + 1) * 2 > FSlots.size()) Grow();
  uint32_t Index = FFree;
  if (Index != None) {
    FFree = FEntries[Index].Next;
    FEntries[Index] = TEntry();
  } else {
    Index = static_cast<uint32_t>(FEntries.size());
    FEntries.emplace_back();
  }
  TEntry& Entry = FEntries[Index];
  Entry.Activation = Activation;
  Entry.Code = CodeOf(Activation);
  Entry.Prev = FTail;
  (FTail == None ? FHead : FEntries[FTail].Next) = Index;
  FTail = Index;
  ++FCount;

  const size_t Slot = SlotOf(Entry.Code);
  if (FSlots[Slot].Head == None) {
    FSlots[Slot] = TSlot{Entry.Code, Index};
    ++FUsedSlots;
  } else {
    uint32_t Last = FSlots[Slot].Head;
    while (FEntries[Last].CodeNext != None) Last = FEntries[Last].CodeNext;
    FEntries[Last].CodeNext = Index;
  }
}

TActivation* TActivationList::FindEqual(const TIEToken& Token) const {
  if (FCount == 0) return nullptr;
  const size_t Slot = SlotOf(Token.GetSortCode());
  for (uint32_t I = FSlots[Slot].Head; I != None; I = FEntries[I].CodeNext) {
    const TActivation* Activation = FEntries[I].Activation;
    if (Activation->GetToken() && Activation->GetToken()->Equals(&Token)) return FEntries[I].Activation;
  }
  return nullptr;
}

bool TActivationList::Remove(TActivation* Activation) {
  if (FCount == 0 || !Activation) return false;
  // The activation's token gives its chain; its sort code cannot have changed since it was listed.
  const size_t Slot = SlotOf(CodeOf(Activation));
  uint32_t Previous = None;
  uint32_t Index = FSlots[Slot].Head;
  while (Index != None && FEntries[Index].Activation != Activation) {
    Previous = Index;
    Index = FEntries[Index].CodeNext;
  }
  if (Index == None) return false;
  TEntry& Entry = FEntries[Index];
  if (Previous != None) {
    FEntries[Previous].CodeNext = Entry.CodeNext;
  } else if (Entry.CodeNext != None) {
    FSlots[Slot].Head = Entry.CodeNext;
  } else {
    EraseSlot(Slot);
  }
  (Entry.Prev == None ? FHead : FEntries[Entry.Prev].Next) = Entry.Next;
  (Entry.Next == None ? FTail : FEntries[Entry.Next].Prev) = Entry.Prev;
  Entry = TEntry();
  Entry.Next = FFree;
  FFree = Index;
  if (--FCount == 0) {
    // Start the next filling at the front of the pool; the slot table is free already and keeps its size.
    FEntries.clear();
    FFree = FHead = FTail = None;
  }
  return true;
}

std::vector<TActivation*> TActivationList::Items() const {
  std::vector<TActivation*> Result;
  Result.reserve(FCount);
  for (uint32_t I = FHead; I != None; I = FEntries[I].Next) Result.push_back(FEntries[I].Activation);
  return Result;
}

void TActivationList::Clear() noexcept {
  FEntries.clear();
  FSlots.clear();
  FFree = FHead = FTail = None;
  FCount = 0;
  FUsedSlots = 0;
}

// ---- TPatternMatchTerminalNode
// -----------------------------------------------------------------------------

TPatternMatchTerminalNode::TPatternMatchTerminalNode(TReteNetwork* Network, TRule* Rule)
    : TReteNode(Network), FRule(Rule) {}

TPatternMatchTerminalNode::~TPatternMatchTerminalNode() {
  // Nothing on an agenda may keep pointing here: what is still listed is withdrawn first.
  try {
    StandDown();
  } catch (...) {  // a handler's error cannot leave a destructor; the activations are gone all the same
    while (TActivation* Activation = FActivations.Last()) {
      FActivations.Remove(Activation);
      Activation->SetNode(nullptr);
    }
  }
}

bool TPatternMatchTerminalNode::CallNode(const IReteToken& Token, TCallType CallType) {
  (void)CallType;
  if (!Token) return false;
  switch (Token->GetTag()) {
    case taClear:
      StandDown();
      return false;
    case taAdd:
    case taUpdate:
      return AddActivation(Token);
    case taRemove:
      return StandDown(Token);
  }
  return false;
}

bool TPatternMatchTerminalNode::AddActivation(const IReteToken& Token) {
  if (!FRule || !GetNetwork() || !GetNetwork()->GetEngine()) return false;
  if ((FRule->GetOneShot() && FRule->GetFired()) || !FRule->GetEnabled()) return false;
  if (Token->GetTag() == taUpdate && FInitialized) return false;
  if (FActivations.FindEqual(*Token)) return false;  // one activation per match: an equal token adds nothing
  auto Activation = std::make_unique<TActivation>(FRule, Token, this, Token->GetStrength());
  TActivation* Made = Activation.get();
  FActivations.Append(Made);
  try {
    GetNetwork()->Activate(std::move(Activation));
  } catch (...) {
    FActivations.Remove(Made);
    throw;
  }
  return true;
}

void TPatternMatchTerminalNode::Deactivate(TActivation* Activation) {
  FActivations.Remove(Activation);
  if (GetNetwork()) GetNetwork()->Deactivate(Activation);
}

void TPatternMatchTerminalNode::StandDown() {
  while (TActivation* Activation = FActivations.Last()) Deactivate(Activation);
}

bool TPatternMatchTerminalNode::StandDown(const IReteToken& Token) {
  bool Any = false;
  while (TActivation* Activation = FActivations.FindEqual(*Token)) {
    Deactivate(Activation);
    Any = true;
  }
  return Any;
}

void TPatternMatchTerminalNode::RuleFired(TActivation* Activation) {
  FActivations.Remove(Activation);
  if (GetNetwork()) GetNetwork()->RuleFired(Activation);
}

void TPatternMatchTerminalNode::FastClear() { FActivations.Clear(); }

std::string TPatternMatchTerminalNode::GetToString() const {
  return TReteNode::GetToString() + " Rule: " + (FRule ? FRule->GetRuleName() : std::string());
}

}  // namespace rulecraft
