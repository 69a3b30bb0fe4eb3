#pragma once
// TJoinNode: a two-input node combining partial matches arriving on the left with facts arriving on the
// right, keeping both in memories (TIETokenTree); a negated join counts the facts that block each partial
// match, and the extra levels of a doubled negation (exists) match a token with the one it extends.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/TestNode.h"
#include "rulecraft/rete/TokenTree.h"

namespace rulecraft {

class TRule;

class TJoinNode : public TTestNode {
  RC_CLASS(TJoinNode, TTestNode)
 public:
  TJoinNode(TReteNetwork* Network, bool Negated, bool Unique, int32_t BucketCount);
  /// One more level of a doubled negation (exists): a negated join whose right tokens are the left tokens
  /// of the level below extended by the placeholder; a right token blocks only the left token it was derived
  /// from (its parent equals the left token). Both memories are keyed by that partial match's sort code.
  /// With Depth above 1 the node negates a conjunction of Depth elements: a right token extends the left
  /// token by Depth facts (its ancestor Depth levels up equals the left token), and what the node passes on
  /// is the left token extended by Depth placeholders, so later patterns keep their positions.
  static std::unique_ptr<TJoinNode> NegationLevel(TReteNetwork* Network, int32_t BucketCount,
                                                  int32_t Depth = 1);
  ~TJoinNode() override;

  bool GetNegated() const noexcept { return FNegated; }
  /// True for the extra levels of a doubled negation (see NegationLevel).
  bool GetMatchesParent() const noexcept { return FMatchDepth > 0; }
  /// How many levels up a right token's ancestor equals its left token (0 for an ordinary join).
  int32_t GetMatchDepth() const noexcept { return FMatchDepth; }
  bool GetUnique() const noexcept { return FUnique; }
  int32_t GetBucketCount() const noexcept { return FBucketCount; }
  int32_t GetPassCount() const noexcept { return FPassCount; }
  /// The backward-chaining pattern and the rule whose bindings the goal facts read.
  TIEPattern* GetPattern() const noexcept { return FPattern; }
  TRule* GetRule() const noexcept { return FRule; }
  /// Only a pattern on a backward-chaining template is accepted ("Invalid backward chaining pattern added to
  /// the node"); nullptr removes it.
  void SetPattern(TIEPattern* Pattern, TRule* Rule);

  bool GetUseShortCut() const noexcept { return FUseShortCut; }
  int32_t GetShortCutTokenIdx() const noexcept { return FTokenIdx; }
  const std::string& GetShortCutLeftSlot() const noexcept { return FLeftSlot; }
  const std::string& GetShortCutRightSlot() const noexcept { return FRightSlot; }
  int32_t GetShortCutLeftSubIndex() const noexcept { return FLeftSubIndex; }
  int32_t GetShortCutRightSubIndex() const noexcept { return FRightSubIndex; }
  /// Chooses the key of both memories: the first join test that is tstSlot and sttEquals, else the first
  /// tstMultiSlot sttEquals one, moves to the front of the tests and its token index, slots and fields become
  /// the key; every other tstSlot or tstMultiSlot sttEquals test joins the key too, so that a token meets
  /// only the tokens that agree on all of them. MayKey, when given, refuses tests that must not key a memory
  /// (fuzzy slots hash differently from the values they match). The memories start anew.
  void PrepareShortCut(const std::function<bool(const TIEJoinTest&)>& MayKey = nullptr);

  /// The memories, or nullptr before the first token.
  const TIETokenTree* GetLeftMemory() const noexcept { return FLeft.get(); }
  const TIETokenTree* GetRightMemory() const noexcept { return FRight.get(); }
  /// Empties both memories, creating them when missing.
  void ClearMemory();

  /// False for a negated join (on either side); otherwise the test node's equality.
  bool Equals(const TTestNode& Other) const override;
  /// Right: one-fact tokens of the join's pattern; left: partial matches. "Invalid Call Type: %s" for any
  /// other input.
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  /// The test node's text, " *NEGATED*", " Left Memory: " and " Right Memory: " with the memories' texts.
  std::string GetToString() const override;
  /// A positive join passes every stored pair that passes its tests now; a negated one every stored left
  /// token that nothing blocks, extended by the placeholder.
  void PassStoredMatches() override;
  bool HasMemory() const noexcept override { return true; }

 private:
  /// A right token arrives (Tag taAdd or taUpdate) or leaves (taRemove): its pairs with the stored left
  /// tokens go on, block or unblock. The stored right token is passed, so that blocking records find it.
  void RunTestsVaryLeft(const IReteToken& Right, TTokenAction Tag, uint32_t RightEntry);
  /// A left token arrives (Tag taAdd or taUpdate) or leaves (taRemove; the stored token is passed): its
  /// pairs with the stored right tokens go on with Tag. Returns the number of right tokens that passed the
  /// tests (what blocks the token in a negated join).
  int32_t RunTestsVaryRight(const IReteToken& Left, TTokenAction Tag, uint32_t LeftEntry);
  void AskForBackChain(const IReteToken& Left);
  /// Whether the pair passes: the join tests (calls left out for a removing token), or for a negation level
  /// whether Right extends Left.
  bool PairPasses(const TIEToken& Left, const TIEToken& Right, bool Removing);
  /// True when the pair tests are join tests alone (no calls, not a negation level): a scan then reads the
  /// fields of its fixed side once (TFixedSide) rather than once per pair.
  bool PlainJoin() const noexcept { return FCallTests == 0 && FMatchDepth == 0; }
  class TFixedSide;
  /// For each test, whether it reads the same field of the right fact as the test before it (so a pair reads
  /// that field once); recomputed when the tests change.
  const std::vector<uint8_t>& RightShared();
  std::vector<uint8_t> FRightShared;
  /// In a negated join whose tests include calls, the stored right tokens remember the stored left tokens
  /// they block, so that a removal unblocks exactly those (the calls are not run again for it).
  bool RecordsBlocking() const noexcept { return FNegated && FCallTests > 0; }
  /// Visit(right token, its entry) for the stored right tokens Left may pair with, until Visit answers false.
  template <class F>
  void ScanRight(const TIEToken& Left, uint32_t LeftEntry, F&& Visit);
  /// Whether a scan reads only the tokens of the arriving token's key.
  bool Keyed() const noexcept { return FUseShortCut || FMatchDepth > 0; }
  /// Left extended by the placeholders a negated join passes on (one, or Depth for a conjunction).
  IReteToken Padded(const IReteToken& Left) const;
  void RecordBlocking(const IReteToken& Right, const IReteToken& Left);
  /// Left, stored at entry LeftEntry, is blocked by one token less; passes it on when nothing blocks it now.
  void Unblock(const IReteToken& Left, uint32_t LeftEntry);

  // What a join passed on, so that a leaving token withdraws exactly that without testing pairs again. A
  // keyed positive join records each token it made (Left extended by Right's fact) in two lists: the left
  // entry's and the right entry's (TIETokenTree::Records), both from the newest to the oldest. A negated join
  // records the one token it passed for a left token (the left token padded with placeholders) in the left
  // entry's list. Records live in a pool of the join, linked by indexes.
  struct TRecord {
    IReteToken Token;  // nil while the record is free, and when the children keep no tokens
    uint32_t LeftEntry = TIETokenTree::NoEntry, RightEntry = TIETokenTree::NoEntry;
    uint32_t LeftPrev = TIETokenTree::NoEntry, LeftNext = TIETokenTree::NoEntry;    // LeftNext also links
    uint32_t RightPrev = TIETokenTree::NoEntry, RightNext = TIETokenTree::NoEntry;  // the free records
  };
  /// True when the join records the pairs it passes: a positive keyed join (see Withdraw).
  bool RecordsPairs() const noexcept { return !FNegated && Keyed(); }
  /// Records Token as passed for the left entry (and the right entry unless NoEntry).
  void Record(IReteToken Token, uint32_t LeftEntry, uint32_t RightEntry);
  /// Frees a record taken out of its lists.
  void FreeRecord(uint32_t Index) noexcept;
  /// The records from Head on, along the left lists (FromLeft) or the right lists, leave the other side's
  /// lists and are freed; with Send their tokens go on, tagged taRemove, in order.
  void Withdraw(uint32_t Head, bool FromLeft, bool Send, const IReteToken& Leaving);
  /// Whether every child stores the very tokens it receives (a positive join), so that a record holding its
  /// token keeps nothing alive that would not live anyway.
  bool ChildrenKeepTokens() const noexcept;
  /// The token a negated join passed for the left token at entry LeftEntry (its record is freed), or the
  /// same match built afresh when none is recorded; tagged taRemove.
  IReteToken TakePadded(const IReteToken& Left, uint32_t LeftEntry);
  void ClearRecords() noexcept;
  /// Tells the memories which records they keep for the tokens they store.
  void KeepRecords();
  /// Whether a record pairs these two entries.
  bool Recorded(uint32_t LeftEntry, uint32_t RightEntry);
  TStablePool<TRecord> FRecords;
  uint32_t FFreeRecord = TIETokenTree::NoEntry;
  uint32_t FRecordCount = 0;
  bool FRematch = false;  // the records may miss pairs passed on (see PassStoredMatches): match to withdraw
  struct TWithdrawn {
    IReteToken Token;    // the recorded token, or nil
    IReteToken Partner;  // without one, the stored token of the other side
  };
  std::vector<TWithdrawn> FWithdrawing;  // kept for its room between withdrawals

  bool FNegated;
  int32_t FMatchDepth = 0;
  std::unordered_map<const TIEToken*, std::vector<IReteToken>> FBlocked;
  std::unique_ptr<TIETokenTree> FRight;
  std::unique_ptr<TIETokenTree> FLeft;
  int32_t FPassCount = 0;
  TIEPattern* FPattern = nullptr;
  TRule* FRule = nullptr;
  bool FUnique;
  int32_t FBucketCount;
  bool FUseShortCut = false;
  int32_t FTokenIdx = -1;
  int32_t FRightSubIndex = -1;
  int32_t FLeftSubIndex = -1;
  std::string FLeftSlot;
  std::string FRightSlot;
  // The other equality tests that join the memories' keys (see TIETokenTree::AddKeyPart).
  struct TKeyTest {
    int32_t TokenIdx;
    std::string LeftSlot, RightSlot;
    int32_t LeftSubIndex, RightSubIndex;
  };
  std::vector<TKeyTest> FMoreKeys;
};

}  // namespace rulecraft
