#pragma once
// The nodes of the Rete network. Tokens (IReteToken) flow from the roots along edges:
//  - pattern-match nodes (TPatternMatchNode) test the one fact of a root token: its template, a slot against
//    a constant or a call, two slots against each other, a multislot's length or one of its fields, or split
//    a multislot around a multifield variable;
//  - join nodes (TJoinNode) combine partial matches arriving on the left with facts arriving on the right,
//    keeping both in memories (TIETokenTree); a negated join counts the facts that block each partial match;
//  - test nodes (TTestNode) evaluate the calls of a test conditional element on each partial match;
//  - terminal nodes (TPatternMatchTerminalNode) turn complete matches into activations.
// Every node belongs to one network (TReteNetwork), which owns it, numbers it and lends it the shared
// evaluation context. Token flow is not reentrant: the context is shared by all nodes of the network.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/TypeInfo.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Token.h"
#include "rulecraft/rete/TokenTree.h"

namespace rulecraft {

class TActivation;
class TIEContext;
class TReteNetwork;
class TReteNode;
class TRule;

/// Through which input a node receives the tokens of an edge.
enum TCallType : uint8_t { ctLeft, ctRight, ctSingle, ctActivate };
const TEnumInfo& TCallTypeInfo();

/// What a pattern-match node tests.
enum TPatternMatchTest : uint8_t {
  pmtUnknown,
  pmtTestClassType,
  pmtTestEqual,
  pmtTestNotEqual,
  pmtTestSlotValueEqual,
  pmtTestSlotValueNotEqual,
  pmtTestMultiSlotEqual,
  pmtTestMultiSlotNotEqual,
  pmtTestMultiSlotLength,
  pmtTestMultiSlotMultiField,
  pmtFailTest
};
const TEnumInfo& TPatternMatchTestInfo();

/// One argument of a pattern-match node: a slot name or a number (a field position, a length).
class TNodeArg {
 public:
  TNodeArg(int32_t Value) noexcept : FInteger(Value) {}  // NOLINT: arguments are written as plain lists
  TNodeArg(std::string Value) : FText(std::move(Value)), FIsText(true) {}    // NOLINT
  TNodeArg(const char* Value) : FText(Value ? Value : ""), FIsText(true) {}  // NOLINT

  bool IsText() const noexcept { return FIsText; }
  /// The number; 0 for a text.
  int32_t AsInteger() const noexcept { return FIsText ? 0 : FInteger; }
  /// The text; empty for a number.
  const std::string& AsText() const noexcept { return FText; }
  bool operator==(const TNodeArg& Other) const noexcept {
    return FIsText == Other.FIsText && (FIsText ? FText == Other.FText : FInteger == Other.FInteger);
  }
  /// The text itself, or the number in decimal.
  std::string ToString() const { return FIsText ? FText : std::to_string(FInteger); }

 private:
  std::string FText;
  int32_t FInteger = 0;
  bool FIsText = false;
};
using TNodeArgs = std::vector<TNodeArg>;

/// An outgoing edge: the node it leads to and the input it feeds.
struct TReteEdge {
  TReteNode* Target;
  TCallType CallType;
};

class TReteNode : public TObject {
  RC_CLASS(TReteNode, TObject)
 public:
  explicit TReteNode(TReteNetwork* Network);
  ~TReteNode() override;

  /// How many rules use the node; starts at 1, never below 0.
  int32_t GetRuleUseCount() const noexcept { return FRuleUseCount; }
  void SetRuleUseCount(int32_t Value) noexcept { FRuleUseCount = Value < 0 ? 0 : Value; }
  TReteNetwork* GetNetwork() const noexcept { return FNetwork; }
  /// The evaluation context shared by all nodes of the network.
  TIEContext* GetContext() const noexcept { return FContext; }
  /// Outgoing edges in the order they were made.
  const std::vector<TReteEdge>& GetEdges() const noexcept { return FEdges; }
  int32_t GetInCount() const noexcept { return static_cast<int32_t>(FSources.size()); }
  int32_t GetOutCount() const noexcept { return static_cast<int32_t>(FEdges.size()); }
  /// True when an edge of this node leads to Target through CallType.
  bool HasEdgeTo(const TReteNode* Target, TCallType CallType) const noexcept;
  /// The node's number in its network (from 1, in order of creation).
  int32_t GetNumber() const noexcept { return FNumber; }
  /// The node's name in listings: its class name, "#" and its number.
  std::string GetLabel() const;

  /// Receives Token through the input CallType; True when the node passed something on.
  virtual bool CallNode(const IReteToken& Token, TCallType CallType) = 0;
  /// Hands Token to the target of every outgoing edge, in edge order, through the edge's input. While the
  /// network primes nodes, only the targets being primed receive it.
  void CallChildren(const IReteToken& Token);
  /// Hands the children, as adding tokens, the matches this node holds now: what it passed on and did not
  /// withdraw since (a join's output, rebuilt from its memories). Nodes without memory hold none.
  virtual void PassStoredMatches() {}
  /// True for nodes that keep memories of the tokens they saw (joins); the others pass tokens on or stop
  /// them.
  virtual bool HasMemory() const noexcept { return false; }

  /// The label, " In/Out#: ", the edge counts, " RuleUse: " and the use count.
  virtual std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }

 protected:
  /// Resolves Call with the context's Token and Fact set to Token and Fact; both are cleared afterwards.
  IIEValue Evaluate(const IIEValue& Call, const IReteToken& Token, const IFact& Fact);
  /// The engine's placeholder fact for not and test elements.
  const IFact& NullFact() const;

 private:
  friend class TReteNetwork;

  TReteNetwork* FNetwork;
  TIEContext* FContext;
  int32_t FRuleUseCount = 1;
  int32_t FNumber = 0;
  bool FPrimeTarget = false;         // receives tokens while the network primes nodes
  size_t FPosition = 0;              // position in the network's node list
  std::vector<TReteEdge> FEdges;     // outgoing
  std::vector<TReteNode*> FSources;  // one entry per incoming edge
};

class TPatternMatchNode : public TReteNode {
  RC_CLASS(TPatternMatchNode, TReteNode)
 public:
  /// Args by test: class type (0, 0); equal tests (slot, field position or -1); slot-to-slot tests (slot,
  /// other slot, field position, other field position, each -1 for the whole value); length (slot, length);
  /// multifield (slot, position, 0).
  TPatternMatchNode(TReteNetwork* Network, TPatternMatchTest Test, TNodeArgs Args, IIEValue Value);

  const IIEValue& GetValue() const noexcept { return FValue; }
  const TNodeArgs& GetArgs() const noexcept { return FArgs; }
  TPatternMatchTest GetPatternMatchTest() const noexcept { return FTest; }
  /// Same test and arguments, and an equal value when Value is given (node sharing).
  bool Matches(TPatternMatchTest Test, const TNodeArgs& Args, const IIEValue* Value) const;

  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  /// The node's text, then " Value: " and the value, " Test: " and the test's name, " Args: (...)".
  std::string GetToString() const override;

  using TReteNode::CallChildren;

 protected:
  /// The comparison step: Left and Right compared with Equals (negated when asked); on success the token goes
  /// on, with its strength lowered to the fuzzy degree of the match when one of the values is fuzzy.
  bool CallChildren(const IReteToken& Token, const IIEValue& Left, const IIEValue& Right, bool Negate);

 private:
  bool PassCall(const IReteToken& Token, const IFact& Fact, bool Negate);
  bool SplitMultiField(const IReteToken& Token, TFact& Fact);
  bool IsClassOf(const TFactTemplate* Template) const;

  IIEValue FValue;
  TNodeArgs FArgs;
  TPatternMatchTest FTest;
  bool FValueIsCall = false;
  // The arguments read on every token, taken apart once.
  std::string FSlot;
  std::string FOtherSlot;
  int32_t FIndex = NoSubIndex;
  int32_t FOtherIndex = NoSubIndex;
};

class TTestNode : public TReteNode {
  RC_CLASS(TTestNode, TReteNode)
 public:
  explicit TTestNode(TReteNetwork* Network);
  ~TTestNode() override;

  int32_t GetTestCount() const noexcept { return static_cast<int32_t>(FTests.size()); }
  TIESlotTest* GetTest(int32_t Index) const;
  void AddTest(std::unique_ptr<TIESlotTest> Test);
  /// Same class, as many tests, each matched by an equal test of the other; a node holding a pattern-match
  /// test (a call) never equals another.
  virtual bool Equals(const TTestNode& Other) const;

  /// A clear token goes on; an adding one goes on, extended by the placeholder fact, when every test passes
  /// on it; a removing one goes on, extended alike, without running the tests (what it withdraws passed
  /// them when it was added; the nodes below ignore what they do not hold).
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  /// The node's text, " NumTests: " and the count, then " (" test ")" for each test.
  std::string GetToString() const override;

 protected:
  /// Performs the tests in order against the context, stopping at the first that fails. For a removing
  /// token (Removing) the calls among the tests are left out: they may read globals that changed since the
  /// token was added, while the slot comparisons give the same answer for the same facts.
  bool RunTests(bool Removing = false);
  /// RunTests for a node whose tests are all join tests (no calls): Left's facts against Right, without
  /// setting up the context.
  bool RunJoinTests(const TTokenBase& Left, TFact* Right) const;
  /// True when a test is a call (a pattern-match test) rather than a slot comparison.
  static bool IsCallTest(const TIESlotTest& Test);

  std::vector<std::unique_ptr<TIESlotTest>> FTests;
  int32_t FCallTests = 0;  // how many of FTests are calls
};

class TJoinNode : public TTestNode {
  RC_CLASS(TJoinNode, TTestNode)
 public:
  TJoinNode(TReteNetwork* Network, bool Negated, bool Unique, int32_t BucketCount);
  /// One more level of a doubled negation (exists): a negated join whose right tokens are the left tokens
  /// of the level below extended by the placeholder; a right token blocks only the left token it was derived
  /// from (its parent equals the left token). Both memories are keyed by that partial match's sort code.
  static std::unique_ptr<TJoinNode> NegationLevel(TReteNetwork* Network, int32_t BucketCount);
  ~TJoinNode() override;

  bool GetNegated() const noexcept { return FNegated; }
  /// True for the extra levels of a doubled negation (see NegationLevel).
  bool GetMatchesParent() const noexcept { return FMatchesParent; }
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
  /// the key. MayKey, when given, refuses tests that must not key a memory (fuzzy slots hash differently from
  /// the values they match). The memories start anew.
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
  void RunTestsVaryLeft(const IReteToken& Right);
  /// Returns the number of right tokens that passed the tests (what blocks the token in a negated join).
  int32_t RunTestsVaryRight(const IReteToken& Left);
  void AskForBackChain(const IReteToken& Left);
  /// Whether the pair passes: the join tests (calls left out for a removing token), or for a negation level
  /// whether Right extends Left.
  bool PairPasses(const TIEToken& Left, const TIEToken& Right, bool Removing);
  /// In a negated join whose tests include calls, the stored right tokens remember the stored left tokens
  /// they block, so that a removal unblocks exactly those (the calls are not run again for it).
  bool RecordsBlocking() const noexcept { return FNegated && FCallTests > 0; }
  /// Visit(right token) for the stored right tokens Left may pair with, until Visit answers false.
  template <class F>
  void ScanRight(const TIEToken& Left, F&& Visit);
  /// Whether a scan reads only the tokens of the arriving token's key.
  bool Keyed() const noexcept { return FUseShortCut || FMatchesParent; }
  void RecordBlocking(const IReteToken& Right, const IReteToken& Left);
  void Unblock(const IReteToken& Left);

  bool FNegated;
  bool FMatchesParent = false;
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
};

/// The activations a terminal node made and that are still pending, in order of creation, found by token in
/// constant time (equal tokens have equal sort codes). Holds plain pointers: the agenda owns the activations.
class TActivationList {
 public:
  TActivationList() = default;
  TActivationList(const TActivationList&) = delete;
  TActivationList& operator=(const TActivationList&) = delete;

  size_t Count() const noexcept { return FCount; }
  bool Empty() const noexcept { return FCount == 0; }
  void Append(TActivation* Activation);
  /// The first activation whose token Equals Token, or nullptr.
  TActivation* FindEqual(const TIEToken& Token) const;
  /// Takes Activation out; false when it is not listed.
  bool Remove(TActivation* Activation);
  /// The most recent activation, or nullptr.
  TActivation* Last() const noexcept { return FTail == None ? nullptr : FEntries[FTail].Activation; }
  /// Every activation in order of creation.
  std::vector<TActivation*> Items() const;
  /// Forgets every activation without touching them.
  void Clear() noexcept;

 private:
  static constexpr uint32_t None = UINT32_MAX;
  struct TEntry {
    TActivation* Activation = nullptr;
    int32_t Code = 0;
    uint32_t Prev = None, Next = None;  // order of creation (Next also links free entries)
    uint32_t CodeNext = None;           // the activations of one sort code, in order of creation
  };
  struct TSlot {
    int32_t Code = 0;
    uint32_t Head = None;  // None: the slot is free
  };
  size_t SlotOf(int32_t Code) const noexcept;
  void Grow();
  void EraseSlot(size_t Slot) noexcept;

  std::vector<TEntry> FEntries;
  uint32_t FFree = None, FHead = None, FTail = None;
  size_t FCount = 0;
  std::vector<TSlot> FSlots;  // open addressing, linear probing; a power of two in size
  size_t FUsedSlots = 0;
};

class TPatternMatchTerminalNode : public TReteNode {
  RC_CLASS(TPatternMatchTerminalNode, TReteNode)
 public:
  TPatternMatchTerminalNode(TReteNetwork* Network, TRule* Rule);
  ~TPatternMatchTerminalNode() override;

  TRule* GetRule() const noexcept { return FRule; }
  bool GetInitialized() const noexcept { return FInitialized; }
  /// Sets Initialized; False leaves it as it is.
  void SetInitialized(bool Value) noexcept { FInitialized = FInitialized || Value; }
  const TActivationList& GetActivations() const noexcept { return FActivations; }
  int32_t GetActivationCount() const noexcept { return static_cast<int32_t>(FActivations.Count()); }

  /// Add and update tokens make activations, remove tokens stand down the activation of an equal token, a
  /// clear token stands down every activation.
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  /// The activation leaves the list and the network reports the firing.
  void RuleFired(TActivation* Activation);
  /// Deactivates every activation, the most recent first.
  void StandDown();
  /// Deactivates the first activation whose token Equals Token; false when there is none.
  bool StandDown(const IReteToken& Token);
  /// Forgets the activations and the links without deactivating anything.
  void FastClear();
  /// Takes Activation out of the list without any notice (the activation is being freed).
  void Forget(TActivation* Activation) { FActivations.Remove(Activation); }
  /// How many activations point to this node (listed or not): the network frees a node it retired only when
  /// none does, so an activation being fired can still report to its node after its rule went.
  int32_t GetHolderCount() const noexcept { return FHolders; }
  void Hold() noexcept { ++FHolders; }
  void Release() noexcept { --FHolders; }
  /// The node's text, " Rule: " and the rule's name.
  std::string GetToString() const override;

 private:
  bool AddActivation(const IReteToken& Token);
  void Deactivate(TActivation* Activation);

  bool FInitialized = false;
  TRule* FRule;
  TActivationList FActivations;
  int32_t FHolders = 0;
};

/// Told by a fired activation: the node takes the activation out of its list and reports the firing on.
void NotifyTerminalNodeFired(TPatternMatchTerminalNode* Node, TActivation* Activation);

}  // namespace rulecraft
