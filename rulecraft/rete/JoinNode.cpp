#include "rulecraft/rete/JoinNode.h"

#include <algorithm>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/rete/NodeSupport.h"
#include "rulecraft/rete/ReteNetwork.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

TJoinNode::TJoinNode(TReteNetwork* Network, bool Negated, bool Unique, int32_t BucketCount)
    : TTestNode(Network), FNegated(Negated), FUnique(Unique), FBucketCount(BucketCount) {}

TJoinNode::~TJoinNode() = default;

std::unique_ptr<TJoinNode> TJoinNode::NegationLevel(TReteNetwork* Network, int32_t BucketCount,
                                                    int32_t Depth) {
  auto Node = std::make_unique<TJoinNode>(Network, true, false, BucketCount);
  Node->FMatchDepth = Depth < 1 ? 1 : Depth;
  return Node;
}

IReteToken TJoinNode::Padded(const IReteToken& Left) const {
  const IFact& Null = NullFact();
  IReteToken Out = MakeRef<TIEToken>(Left, Null);
  for (int32_t I = 1; I < FMatchDepth; ++I) Out = MakeRef<TIEToken>(Out, Null);
  return Out;
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
    FMoreKeys.clear();
    for (size_t I = 1; I < FTests.size(); ++I) {
      const auto* Join = dynamic_cast<const TIEJoinTest*>(FTests[I].get());
      if (!Join || Join->GetTestType() != sttEquals || (MayKey && !MayKey(*Join))) continue;
      const bool Multi = Join->GetJoinType() == tstMultiSlot;
      if (!Multi && Join->GetJoinType() != tstSlot) continue;
      FMoreKeys.push_back(TKeyTest{Join->GetTokenIdx(), Join->GetLeftSlot(), Join->GetRightSlot(),
                                   Multi ? Join->GetLeftSubIndex() : NoSubIndex,
                                   Multi ? Join->GetRightSubIndex() : NoSubIndex});
    }
  } else {
    FMoreKeys.clear();
    FTokenIdx = FLeftSubIndex = FRightSubIndex = -1;
    FLeftSlot.clear();
    FRightSlot.clear();
  }
  FRightShared.clear();  // the tests may have moved
  // Memories keyed the old way are of no use any more.
  FLeft.reset();
  FRight.reset();
}

const std::vector<uint8_t>& TJoinNode::RightShared() {
  if (FRightShared.size() == FTests.size()) return FRightShared;
  FRightShared.assign(FTests.size(), 0);
  for (size_t I = 1; I < FTests.size(); ++I) {
    const auto* Test = dynamic_cast<const TIEJoinTest*>(FTests[I].get());
    const auto* Before = dynamic_cast<const TIEJoinTest*>(FTests[I - 1].get());
    FRightShared[I] =
        Test && Before && Test->GetJoinType() == Before->GetJoinType() &&
        Test->GetRightSlot() == Before->GetRightSlot() &&
        (Test->GetJoinType() != tstMultiSlot || Test->GetRightSubIndex() == Before->GetRightSubIndex());
  }
  return FRightShared;
}

void TJoinNode::ClearMemory() {
  FBlocked.clear();
  if (FMatchDepth > 0) {
    // Left tokens by their sort code, right tokens by their ancestor's: a right token meets only the left
    // token it extends (and the rare ones whose codes collide, which the ancestor check rejects).
    if (FLeft)
      FLeft->Clear();
    else
      FLeft = std::make_unique<TIETokenTree>(FBucketCount, 0, NoSubIndex, std::string(), true);
    if (FRight)
      FRight->Clear();
    else
      FRight = std::make_unique<TIETokenTree>(FBucketCount, 0, NoSubIndex, std::string(), true, FMatchDepth);
    return;
  }
  if (FLeft) {
    FLeft->Clear();
  } else if (FUseShortCut) {
    FLeft = std::make_unique<TIETokenTree>(FBucketCount, FTokenIdx, FLeftSubIndex, FLeftSlot, false);
    for (const TKeyTest& Part : FMoreKeys) FLeft->AddKeyPart(Part.TokenIdx, Part.LeftSlot, Part.LeftSubIndex);
  } else {
    FLeft = std::make_unique<TIETokenTree>(FBucketCount, 0, NoSubIndex, std::string(), true);
  }
  if (FRight) {
    FRight->Clear();
  } else if (FUseShortCut) {
    FRight = std::make_unique<TIETokenTree>(FBucketCount, 0, FRightSubIndex, FRightSlot, false);
    for (const TKeyTest& Part : FMoreKeys) FRight->AddKeyPart(0, Part.RightSlot, Part.RightSubIndex);
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
  // Memories store the arriving tokens themselves, shared with whatever else holds them: nothing changes a
  // stored token, except the blocking count of a negated join's left tokens, which therefore keeps copies.
  if (CallType == ctRight) {
    if (Removing) {
      // The stored token leaves and withdraws what it made; it knows whom it blocked.
      if (IReteToken Stored = FRight->Extract(Token)) RunTestsVaryLeft(Stored, taRemove);
    } else if (FRight->Add(Token)) {
      RunTestsVaryLeft(Token, Token->GetTag());
    }
  } else if (Removing) {
    // What goes on extends the stored token, the very object the tokens passed on earlier extend, so the
    // memories below find their stored twins at the first level rather than comparing the whole chain.
    if (IReteToken Stored = FLeft->Extract(Token)) {
      if (!FNegated) {
        RunTestsVaryRight(Stored, taRemove);
      } else if (Stored->GetNegatedCount() == 0) {
        // It passed when nothing blocked it: withdraw that.
        ++FPassCount;
        IReteToken Withdrawn = Padded(Stored);
        Withdrawn->SetTag(taRemove);
        CallChildren(Withdrawn);
      }
    }
  } else {
    IReteToken Stored = FNegated ? MakeRef<TIEToken>(Token) : Token;
    if (FLeft->Add(Stored)) {
      // A stored left token always counts the right tokens currently blocking it.
      const int32_t Blocking = RunTestsVaryRight(Stored, Token->GetTag());
      if (FNegated) Stored->SetNegatedCount(Blocking);
      AskForBackChain(Token);
    }
  }
  return FPassCount > 0;
}

bool TJoinNode::PairPasses(const TIEToken& Left, const TIEToken& Right, bool Removing) {
  if (FMatchDepth > 0) {
    const TIEToken* Ancestor = &Right;
    for (int32_t I = 0; I < FMatchDepth && Ancestor; ++I) Ancestor = Ancestor->GetParentObject();
    return Ancestor && Ancestor->Equals(&Left);
  }
  if (FCallTests == 0) return RunJoinTests(Left, Right.GetFact().get());
  const TPairContext Pair(GetContext(), ITokenBase(const_cast<TIEToken*>(&Left)), Right.GetFact());
  return RunTests(Removing);
}

// The fields one side of a scan compares, read the first time a pair needs them and kept for the rest of the
// scan: a left token meeting many right tokens reads its own fields once, and so does a right token meeting
// many left tokens. A field is read exactly when a pair first needs it, as the tests in turn would read it.
class TJoinNode::TFixedSide {
 public:
  TFixedSide(const std::vector<std::unique_ptr<TIESlotTest>>& Tests, const std::vector<uint8_t>& RightShared,
             bool LeftFixed)
      : FTests(Tests), FRightShared(RightShared), FLeftFixed(LeftFixed), FCount(Tests.size()) {
    if (FCount > Inline)
      FMore.assign(FCount, TField());
    else
      for (size_t I = 0; I < FCount; ++I) FInline[I].Read = false;
  }
  TFixedSide(const TFixedSide&) = delete;
  TFixedSide& operator=(const TFixedSide&) = delete;

  /// Whether Left and Right pass every test; the fixed side is the one given at construction, the other is
  /// read pair by pair.
  bool Passes(const TTokenBase& Left, TFact* Right) {
    if (!Right) return true;              // a comparison without its right fact refuses nothing
    const TIEValue* LastRight = nullptr;  // the right field the test before read, when it read one
    bool LastRead = false;
    for (size_t I = 0; I < FCount; ++I) {
      const auto& Test = static_cast<const TIEJoinTest&>(*FTests[I]);
      if (FLeftFixed) {
        TField& Mine = Field(I);
        if (!Mine.Read) {
          Mine.Read = true;
          TFact* Fact = Left.GetFacts(Test.GetTokenIdx()).get();
          Mine.Absent = !Fact;
          Mine.Value = Fact ? Test.LeftValue(*Fact) : nullptr;
        }
        if (Mine.Absent) {
          LastRead = false;
          continue;
        }
        LastRight = LastRead && FRightShared[I] ? LastRight : Test.RightValue(*Right);
        LastRead = true;
        if (!Test.Compare(Mine.Value, LastRight)) return false;
      } else {
        TFact* Fact = Left.GetFacts(Test.GetTokenIdx()).get();
        if (!Fact) continue;
        const TIEValue* LeftValue = Test.LeftValue(*Fact);
        TField& Mine = Field(I);
        if (!Mine.Read) {
          Mine.Read = true;
          Mine.Absent = false;
          Mine.Value = Test.RightValue(*Right);
        }
        if (!Test.Compare(LeftValue, Mine.Value)) return false;
      }
    }
    return true;
  }

 private:
  struct TField {  // Value and Absent are set when Read is
    const TIEValue* Value;
    bool Read;
    bool Absent;  // the left token has no fact there: the test refuses nothing
  };
  static constexpr size_t Inline = 8;
  TField& Field(size_t I) { return FCount > Inline ? FMore[I] : FInline[I]; }

  const std::vector<std::unique_ptr<TIESlotTest>>& FTests;
  const std::vector<uint8_t>& FRightShared;
  bool FLeftFixed;
  size_t FCount;
  TField FInline[Inline];
  std::vector<TField> FMore;
};

void TJoinNode::RecordBlocking(const IReteToken& Right, const IReteToken& Left) {
  FBlocked[Right.get()].push_back(Left);
}

void TJoinNode::Unblock(const IReteToken& Left) {
  if (Left->GetNegatedCount() == 0) return;
  Left->SetNegatedCount(Left->GetNegatedCount() - 1);
  if (Left->GetNegatedCount() == 0) {
    ++FPassCount;
    CallChildren(Padded(Left));
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
void TJoinNode::RunTestsVaryLeft(const IReteToken& Right, TTokenAction Tag) {
  if (FLeft->Count() == 0) {
    FBlocked.erase(Right.get());
    return;
  }
  const bool Adding = Tag != taRemove;
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
  const bool Plain = PlainJoin();
  TFixedSide Fixed(FTests, RightShared(), false);

  auto Visit = [&](const IReteToken& Left) {
    if (Plain ? !Fixed.Passes(*Left, RightFact.get()) : !PairPasses(*Left, *Right, !Adding)) return;
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
        IReteToken Withdrawn = Padded(Left);
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
int32_t TJoinNode::RunTestsVaryRight(const IReteToken& Left, TTokenAction Tag) {
  const bool Removing = Tag == taRemove;
  int32_t Blocking = 0;
  if (FRight->Count() > 0) {
    const bool Plain = PlainJoin();
    TFixedSide Fixed(FTests, RightShared(), true);
    auto Visit = [&](const IReteToken& Right) -> bool {  // false: stop the scan
      if (Plain ? !Fixed.Passes(*Left, Right->GetFact().get()) : !PairPasses(*Left, *Right, Removing))
        return true;
      if (FNegated) {
        if (RecordsBlocking()) RecordBlocking(Right, Left);
        ++Blocking;
        return true;
      }
      IReteToken Joined = MakeRef<TIEToken>(Left, Right->GetFact());
      if (Joined->GetTag() != Tag) Joined->SetTag(Tag);
      Joined->SetStrength(std::min(Left->GetStrength(), Right->GetStrength()));
      if (!Removing) ++FPassCount;
      CallChildren(Joined);
      return !(FUnique && !Removing);
    };
    ScanRight(*Left, Visit);
  }
  if (FNegated && Blocking == 0) {
    ++FPassCount;
    CallChildren(Padded(Left));
  }
  return Blocking;
}

void TJoinNode::PassStoredMatches() {
  if (!FLeft || !FRight) return;
  TIEContext* Context = GetContext();
  for (const IReteToken& Left : *FLeft) {
    if (FNegated) {
      if (Left->GetNegatedCount() != 0) continue;
      IReteToken Passed = Padded(Left);
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

}  // namespace rulecraft
