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
  ClearRecords();
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
  ClearRecords();
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
    KeepRecords();
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
  KeepRecords();
}

void TJoinNode::KeepRecords() {
  if (FNegated || RecordsPairs()) FLeft->KeepRecords();
  if (RecordsPairs()) FRight->KeepRecords();
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
      uint32_t Records;
      if (IReteToken Stored = FRight->Extract(Token, &Records)) {
        if (RecordsPairs()) Withdraw(Records, false, !FRematch, Stored);
        if (!RecordsPairs() || FRematch) RunTestsVaryLeft(Stored, taRemove, TIETokenTree::NoEntry);
      }
    } else if (const uint32_t Entry = FRight->AddAt(Token); Entry != TIETokenTree::NoEntry) {
      RunTestsVaryLeft(Token, Token->GetTag(), Entry);
    }
  } else if (Removing) {
    // What goes on is what was passed on: the very objects the memories below hold (recorded), or tokens
    // extending the stored token, the very object the tokens passed on earlier extend, so that the memories
    // below find their stored twins at the first level rather than comparing the whole chain.
    uint32_t Records;
    if (IReteToken Stored = FLeft->Extract(Token, &Records)) {
      if (!FNegated) {
        if (RecordsPairs()) Withdraw(Records, true, !FRematch, Stored);
        if (!RecordsPairs() || FRematch) RunTestsVaryRight(Stored, taRemove, TIETokenTree::NoEntry);
      } else if (Stored->GetNegatedCount() == 0) {
        // It passed when nothing blocked it: withdraw that.
        ++FPassCount;
        CallChildren(TakePadded(Stored, Records));
      } else if (Records != TIETokenTree::NoEntry) {
        FreeRecord(Records);  // a blocked token has none: its record went when it was blocked
      }
    }
  } else {
    IReteToken Stored = FNegated ? MakeRef<TIEToken>(Token) : Token;
    if (const uint32_t Entry = FLeft->AddAt(Stored); Entry != TIETokenTree::NoEntry) {
      Token->SetHint(Entry);  // when a copy is stored, its original finds it when it leaves
      // A stored left token always counts the right tokens currently blocking it.
      const int32_t Blocking = RunTestsVaryRight(Stored, Token->GetTag(), Entry);
      if (FNegated) Stored->SetNegatedCount(Blocking);
      AskForBackChain(Token);
    }
  }
  return FPassCount > 0;
}

bool TJoinNode::Recorded(uint32_t LeftEntry, uint32_t RightEntry) {
  for (uint32_t Index = FLeft->Records(LeftEntry); Index != TIETokenTree::NoEntry;
       Index = FRecords[Index].LeftNext)
    if (FRecords[Index].RightEntry == RightEntry) return true;
  return false;
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

void TJoinNode::Unblock(const IReteToken& Left, uint32_t LeftEntry) {
  if (Left->GetNegatedCount() == 0) return;
  Left->SetNegatedCount(Left->GetNegatedCount() - 1);
  if (Left->GetNegatedCount() == 0) {
    ++FPassCount;
    IReteToken Passed = Padded(Left);
    Record(Passed, LeftEntry, TIETokenTree::NoEntry);
    CallChildren(Passed);
  }
}

void TJoinNode::Record(IReteToken Token, uint32_t LeftEntry, uint32_t RightEntry) {
  constexpr uint32_t None = TIETokenTree::NoEntry;
  uint32_t Index = FFreeRecord;
  if (Index != None) {
    FFreeRecord = FRecords[Index].LeftNext;
    FRecords[Index] = TRecord();
  } else {
    Index = FRecords.size();
    FRecords.emplace_back();
  }
  ++FRecordCount;
  TRecord& Made = FRecords[Index];
  // A token only a terminal or test node (or a negated join, which stores a copy) receives would be freed
  // once its activation goes: the record keeps the pair instead, and the token is built again to withdraw.
  if (ChildrenKeepTokens()) Made.Token = std::move(Token);
  Made.LeftEntry = LeftEntry;
  Made.RightEntry = RightEntry;
  // Each list runs from the newest record to the oldest (a list keeps only its head).
  uint32_t& LeftHead = FLeft->Records(LeftEntry);
  Made.LeftNext = LeftHead;
  if (LeftHead != None) FRecords[LeftHead].LeftPrev = Index;
  LeftHead = Index;
  if (RightEntry != None) {
    uint32_t& RightHead = FRight->Records(RightEntry);
    Made.RightNext = RightHead;
    if (RightHead != None) FRecords[RightHead].RightPrev = Index;
    RightHead = Index;
  }
}

bool TJoinNode::ChildrenKeepTokens() const noexcept {
  if (GetEdges().empty()) return false;
  for (const TReteEdge& Edge : GetEdges())  // only joins have memories
    if (!Edge.Target->HasMemory() || static_cast<const TJoinNode*>(Edge.Target)->FNegated) return false;
  return true;
}

void TJoinNode::FreeRecord(uint32_t Index) noexcept {
  TRecord& Freed = FRecords[Index];
  Freed.Token = IReteToken();
  Freed.LeftNext = FFreeRecord;
  FFreeRecord = Index;
  if (--FRecordCount == 0) {  // start the next filling at the front of the pool
    FRecords.clear();
    FFreeRecord = TIETokenTree::NoEntry;
  }
}

void TJoinNode::ClearRecords() noexcept {
  FRecords.Take();  // releases the blocks and the tokens they hold
  FFreeRecord = TIETokenTree::NoEntry;
  FRecordCount = 0;
  FRematch = false;
}

// A keyed join withdraws its records in their order of creation, which is the order the scan of the other
// memory would meet the same pairs in: that scan walks the tokens of one key in their order of addition.
// The records of a left token L were made when L arrived, in the order of the right tokens of its key then
// stored, and afterwards one by one as right tokens of that key arrived, each added at the end of the key's
// list; right tokens that leave take their records with them and leave the order of the others as it was.
// So the records of L follow the key list of the right memory, and symmetrically for a right token. Tests
// with calls are not run again: exactly the pairs that passed are withdrawn (matching again passed on the
// removal of pairs that never passed too, which found nothing below).
//
// An unkeyed join's scan walks the whole memory bucket by bucket, an order unrelated to arrival; that join
// matches again to withdraw. (Sorting its records by bucket would give the same order, but measured it costs
// more than the scan it saves: its records are many and short-lived.)
void TJoinNode::Withdraw(uint32_t Head, bool FromLeft, bool Send, const IReteToken& Leaving) {
  constexpr uint32_t None = TIETokenTree::NoEntry;
  if (Head == None) return;
  // First every record leaves its lists, so that the join is whole whatever happens below; the room for
  // what goes on is taken before anything changes, so that running out of memory leaves the lists whole.
  std::vector<TWithdrawn> Out;
  Out.swap(FWithdrawing);
  Out.clear();
  if (Send) {
    size_t Count = 0;
    for (uint32_t Index = Head; Index != None;
         Index = FromLeft ? FRecords[Index].LeftNext : FRecords[Index].RightNext)
      ++Count;
    Out.reserve(Count);
  }
  for (uint32_t Index = Head; Index != None;) {
    TRecord& Going = FRecords[Index];
    const uint32_t Next = FromLeft ? Going.LeftNext : Going.RightNext;
    if (FromLeft) {
      (Going.RightPrev == None ? FRight->Records(Going.RightEntry) : FRecords[Going.RightPrev].RightNext) =
          Going.RightNext;
      if (Going.RightNext != None) FRecords[Going.RightNext].RightPrev = Going.RightPrev;
    } else {
      (Going.LeftPrev == None ? FLeft->Records(Going.LeftEntry) : FRecords[Going.LeftPrev].LeftNext) =
          Going.LeftNext;
      if (Going.LeftNext != None) FRecords[Going.LeftNext].LeftPrev = Going.LeftPrev;
    }
    if (Send) {  // without its token, the partner to build the same match again with
      Out.push_back(TWithdrawn{std::move(Going.Token), IReteToken()});
      if (!Out.back().Token)
        Out.back().Partner = FromLeft ? FRight->TokenAt(Going.RightEntry) : FLeft->TokenAt(Going.LeftEntry);
    }
    FreeRecord(Index);
    Index = Next;
  }
  std::reverse(Out.begin(), Out.end());  // the lists run from the newest record
  for (TWithdrawn& Going : Out) {
    if (!Going.Token) {
      const IReteToken& Left = FromLeft ? Leaving : Going.Partner;
      const IReteToken& Right = FromLeft ? Going.Partner : Leaving;
      Going.Token = MakeRef<TIEToken>(Left, Right->GetFact());
      Going.Token->AddSplitKey(Right->GetSplitKey());
      Going.Token->SetStrength(std::min(Left->GetStrength(), Right->GetStrength()));
    }
    Going.Token->SetTag(taRemove);
    CallChildren(Going.Token);
    Going = TWithdrawn();
  }
  Out.clear();
  FWithdrawing.swap(Out);
}

IReteToken TJoinNode::TakePadded(const IReteToken& Left, uint32_t Head) {
  IReteToken Out;
  if (Head != TIETokenTree::NoEntry) {
    Out = std::move(FRecords[Head].Token);
    FreeRecord(Head);
  }
  if (!Out) Out = Padded(Left);
  Out->SetTag(taRemove);
  return Out;
}

template <class F>
void TJoinNode::ScanRight(const TIEToken& Left, uint32_t LeftEntry, F&& Visit) {
  if (Keyed()) {
    const TIETokenTree::TKeyRange Range =
        FRight->GetTokens(LeftEntry != TIETokenTree::NoEntry ? FLeft->KeyAt(LeftEntry) : FLeft->KeyOf(Left));
    for (auto It = Range.begin(); It != Range.end(); ++It)
      if (!Visit(*It, It.Index())) break;
  } else {
    for (auto It = FRight->begin(); It != FRight->end(); ++It)
      if (!Visit(*It, It.Index())) break;
  }
}

// A right token arrives or leaves: compare it with the stored left tokens (those of its key when keyed).
void TJoinNode::RunTestsVaryLeft(const IReteToken& Right, TTokenAction Tag, uint32_t RightEntry) {
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
      if (const uint32_t Entry = FLeft->IndexOf(*Left); Entry != TIETokenTree::NoEntry) Unblock(Left, Entry);
    return;
  }
  const IFact& RightFact = Right->GetFact();
  const bool Plain = PlainJoin();
  TFixedSide Fixed(FTests, RightShared(), false);

  const bool Recording = RecordsPairs() && Adding;
  auto Visit = [&](const IReteToken& Left, uint32_t LeftEntry) {
    if (Plain ? !Fixed.Passes(*Left, RightFact.get()) : !PairPasses(*Left, *Right, !Adding)) return;
    if (!FNegated) {
      IReteToken Joined = MakeRef<TIEToken>(Left, RightFact);
      Joined->AddSplitKey(Right->GetSplitKey());
      Joined->SetTag(Tag);
      Joined->SetStrength(std::min(Left->GetStrength(), Right->GetStrength()));
      if (Recording) Record(Joined, LeftEntry, RightEntry);
      CallChildren(Joined);
    } else if (Adding) {
      if (RecordsBlocking()) RecordBlocking(Right, Left);
      Left->SetNegatedCount(Left->GetNegatedCount() + 1);
      if (Left->GetNegatedCount() == 1) {
        // Newly blocked: withdraw what the left token produced (the very token passed on, when recorded).
        uint32_t& List = FLeft->Records(LeftEntry);
        const uint32_t Head = List;
        List = TIETokenTree::NoEntry;
        CallChildren(TakePadded(Left, Head));
      }
    } else {
      Unblock(Left, LeftEntry);
    }
  };
  if (Keyed()) {
    const TIETokenTree::TKeyRange Range = FLeft->GetTokens(
        RightEntry != TIETokenTree::NoEntry ? FRight->KeyAt(RightEntry) : FRight->KeyOf(*Right));
    for (auto It = Range.begin(); It != Range.end(); ++It) Visit(*It, It.Index());
  } else {
    for (auto It = FLeft->begin(); It != FLeft->end(); ++It) Visit(*It, It.Index());
  }
}

// A left token arrives (the stored copy) or, in a positive join, leaves: compare it with the stored right
// tokens (those of its key when keyed).
int32_t TJoinNode::RunTestsVaryRight(const IReteToken& Left, TTokenAction Tag, uint32_t LeftEntry) {
  const bool Removing = Tag == taRemove;
  int32_t Blocking = 0;
  if (FRight->Count() > 0) {
    const bool Plain = PlainJoin();
    TFixedSide Fixed(FTests, RightShared(), true);
    const bool Recording = RecordsPairs() && !Removing;
    auto Visit = [&](const IReteToken& Right, uint32_t RightEntry) -> bool {  // false: stop the scan
      if (Plain ? !Fixed.Passes(*Left, Right->GetFact().get()) : !PairPasses(*Left, *Right, Removing))
        return true;
      if (FNegated) {
        if (RecordsBlocking()) RecordBlocking(Right, Left);
        ++Blocking;
        return true;
      }
      IReteToken Joined = MakeRef<TIEToken>(Left, Right->GetFact());
      Joined->AddSplitKey(Right->GetSplitKey());
      if (Joined->GetTag() != Tag) Joined->SetTag(Tag);
      Joined->SetStrength(std::min(Left->GetStrength(), Right->GetStrength()));
      if (!Removing) ++FPassCount;
      if (Recording) Record(Joined, LeftEntry, RightEntry);
      CallChildren(Joined);
      return !(FUnique && !Removing);
    };
    ScanRight(*Left, LeftEntry, Visit);
  }
  if (FNegated && Blocking == 0) {
    ++FPassCount;
    IReteToken Passed = Padded(Left);
    Record(Passed, LeftEntry, TIETokenTree::NoEntry);
    CallChildren(Passed);
  }
  return Blocking;
}

void TJoinNode::PassStoredMatches() {
  if (!FLeft || !FRight) return;
  TIEContext* Context = GetContext();
  for (auto LeftIt = FLeft->begin(); LeftIt != FLeft->end(); ++LeftIt) {
    const IReteToken& Left = *LeftIt;
    const uint32_t LeftEntry = LeftIt.Index();
    if (FNegated) {
      if (Left->GetNegatedCount() != 0) continue;
      IReteToken Passed = Padded(Left);
      Passed->SetTag(taAdd);
      CallChildren(Passed);
      continue;
    }
    auto Visit = [&](const IReteToken& Right, uint32_t RightEntry) -> bool {  // false: stop the scan
      TPairContext Pair(Context, Left, Right->GetFact());
      if (!RunTests()) return true;
      IReteToken Joined = MakeRef<TIEToken>(Left, Right->GetFact());
      Joined->AddSplitKey(Right->GetSplitKey());
      Joined->SetTag(taAdd);
      Joined->SetStrength(std::min(Left->GetStrength(), Right->GetStrength()));
      // A pair that passes now but was never passed (its calls answer otherwise now) has no record to
      // withdraw it by, nor a place among the records: from now on the join matches again to withdraw.
      if (RecordsPairs() && !FRematch && !Recorded(LeftEntry, RightEntry)) FRematch = true;
      CallChildren(Joined);
      return !FUnique;
    };
    ScanRight(*Left, LeftEntry, Visit);
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
