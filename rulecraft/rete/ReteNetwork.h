#pragma once
// TReteNetwork: the engine's Rete network. Adding a rule compiles its patterns into nodes (ReteNode.h),
// sharing every node an earlier rule built with the same test at the same place, and primes the nodes it made
// with the matches that already exist (earlier rules see nothing of it); removing a rule frees exactly the
// nodes no other rule uses.
// Every change of the fact base enters as a one-fact token at the roots (ProcessToken); complete matches
// become activations that the network hands to the engine.
//
// The network owns its nodes; edges are small records kept by their source node. It also owns the one
// evaluation context that every node uses while tokens flow, so token flow is not reentrant.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "rulecraft/framework/Component.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/rete/ReteNode.h"
#include "rulecraft/rete/Token.h"

namespace rulecraft {

class IRuleEngine;
class TActivation;
class TIEContext;
class TRule;

/// How a compiled rule's patterns were built, kept for explaining its matches. Per pattern position: the
/// one-input chain from its root (each node with the value of the pattern test it checks, a constant or a
/// call as written; nothing for the template, length, split and two-slot tests), the node that joins it to
/// the patterns before it (nullptr for the first: a join, or a test node for a test element; for a negated
/// pattern the negated join holding its tests, before any further level) and, in order, the calls that node
/// tests after its slot comparisons, as written. Last the terminal node.
struct TRuleLayout {
  struct TChainNode {
    TPatternMatchNode* Node;
    IIEValue Source;
  };
  std::vector<std::vector<TChainNode>> Chains;
  std::vector<TTestNode*> Joins;
  std::vector<std::vector<IIEValue>> JoinCalls;
  TPatternMatchTerminalNode* Terminal = nullptr;
};

using TReteActivationEvent = std::function<void(class TReteNetwork* Sender, TActivation* Activation)>;

class TReteNetwork : public TComponent {
  RC_CLASS(TReteNetwork, TComponent)
 public:
  /// A network owned by AOwner (normally the engine component) working for Engine.
  TReteNetwork(TComponent* AOwner, IRuleEngine* Engine);
  ~TReteNetwork() override;

  IRuleEngine* GetEngine() const noexcept { return FEngine; }
  /// The context every node evaluates in (a child of the engine's root context, so global variables
  /// resolve); created on first use.
  TIEContext* GetContext();

  /// Compiles Rule (nothing while not Enabled). A rule without patterns first gets the initial-fact pattern.
  /// A rule compiled already is removed first. Errors leave the network as it was.
  void AddRule(TRule* Rule);
  /// Lowers the use count of each node of the rule, last first, and frees those no rule uses any more.
  void RemoveRule(TRule* Rule);
  /// Hands Token to the roots (add and update tokens are ignored while not Enabled); True when a root
  /// passed it on. A clearing token goes to every root; any other token only to the roots testing its
  /// fact's template or a template it extends (the only ones that could pass it), in root order.
  bool ProcessToken(const IReteToken& Token);
  bool ProcessTokenOneNode(TReteNode* Node, const IReteToken& Token);
  /// Frees every node, memory and rule list without sending tokens or deactivating anything.
  void Clear();

  bool GetEnabled() const noexcept { return FEnabled; }
  /// False clears the network: rules compiled before must be added again once it is enabled.
  void SetEnabled(bool Value);
  /// The bucket count of the join memories created from now on (default 101).
  int32_t GetHashKey() const noexcept { return FHashKey; }
  void SetHashKey(int32_t Value) noexcept { FHashKey = Value; }
  /// The lowest fuzzy degree that lets a weakened token go on; kept within 0..1.
  float GetMinActivationStrength() const noexcept { return FMinActivationStrength; }
  void SetMinActivationStrength(float Value) noexcept;

  /// Hands a new activation to the engine, then raises OnActivation.
  void Activate(std::unique_ptr<TActivation> Activation);
  /// Raises OnDeactivation, then has the engine take the activation off its agenda (which frees it).
  void Deactivate(TActivation* Activation);
  /// Raises OnRuleFired, then tells the engine.
  void RuleFired(TActivation* Activation);
  TReteActivationEvent OnActivation;
  TReteActivationEvent OnDeactivation;
  TReteActivationEvent OnRuleFired;

  /// Every node the rule uses, in order of creation, one entry per use; nullptr for a rule not compiled.
  const std::vector<TReteNode*>* GetRuleNodesList(const TRule* Rule) const;
  /// The rule's compilation trace: its name, ": ", then "+1"/"=1" for each new/shared pattern-match node,
  /// "+2"/"=2" for each new/shared join or test node and "+t" for the terminal node. Empty when the rule is
  /// not compiled.
  std::string GetRuleTrace(const TRule* Rule) const;
  int32_t GetRootCount() const noexcept { return static_cast<int32_t>(FRoots.size()); }
  TReteNode* GetRoot(int32_t Index) const;
  int32_t GetNodeCount() const noexcept { return static_cast<int32_t>(FNodes.size()); }
  bool IsCompiled(const TRule* Rule) const { return FRules.count(Rule) > 0; }
  /// How the rule was compiled (see TRuleLayout); nullptr for a rule not compiled.
  const TRuleLayout* GetRuleLayout(const TRule* Rule) const;
  /// Counts the changes of the network's nodes and edges (rules compiled, removed, the network cleared): a
  /// reader holding nodes across calls that might change the rules compares it.
  uint32_t GetGeneration() const noexcept { return FRootsGeneration; }
  /// Counts as matching while it lives (see IsMatching), for a reader that runs the network's tests outside
  /// the flow of facts (an explanation): the engine then refuses, as it does while facts are matched, the
  /// changes that would free what the reader walks (clear, reset, removing rules or templates).
  class TMatchingHold {
   public:
    explicit TMatchingHold(TReteNetwork& Network) noexcept : FCount(Network.FMatching) { ++FCount; }
    TMatchingHold(const TMatchingHold&) = delete;
    TMatchingHold& operator=(const TMatchingHold&) = delete;
    ~TMatchingHold() { --FCount; }

   private:
    int32_t& FCount;
  };
  /// True while tokens flow, the network primes nodes or a probe runs: a probe must wait.
  bool IsBusy() const noexcept { return FCallDepth > 0 || FPriming || FProbing || !FQueued.empty(); }
  /// What a pattern's one-input chain passes on now, for explaining a rule: each fact of the fact base goes
  /// through Chain (the nodes of one chain of a TRuleLayout, from its root on) and Passed receives, per
  /// node, the tokens that left it. Nothing else receives a token, no memory or activation changes (calls
  /// the chain's tests make run again). "The network is matching facts: try again after the change"
  /// (SNetworkBusy) while IsBusy; a chain a call changed on the way is abandoned with SNetworkChanged.
  void ProbeChain(const std::vector<TRuleLayout::TChainNode>& Chain,
                  std::vector<std::vector<IReteToken>>& Passed);

  /// A copy of Call (nested calls copied too) whose variables read the rule's partial match: each becomes a
  /// value owning a binding record (position, slot, field) of the rule's binding of that name. A variable the
  /// rule does not bind stays when it is a global variable; otherwise "Unknown variable name: %s".
  IFunCall Evaluate(const TFunctionCall& Call, const TRule* Rule) const;
  /// True when Call (nested calls included) reads a pattern position other than Position.
  static bool HasMorePatterns(const TFunctionCall& Call, int32_t Position);
  /// The pattern-match node after Parent (among the roots without Parent) with this test, these arguments
  /// and, when given, an equal value: an existing one is shared ("=1"), else one is made and linked by a
  /// ctSingle edge ("+1"). Either way it is entered in the rule's node list.
  TPatternMatchNode* CreateSuccessor(TReteNode* Parent, TPatternMatchTest Test, const TRule* Rule,
                                     TNodeArgs Args, const IIEValue& Value = IIEValue());
  /// Primes Nodes (nodes just made): each receives the matches its inputs hold now, and no other node
  /// receives anything. The facts of the fact base go, as adding tokens, through the nodes without memory
  /// that feed Nodes; then every join outside Nodes that feeds them passes on what it holds.
  void UpdateNodes(const std::vector<TReteNode*>& Nodes);
  /// True while UpdateNodes runs.
  bool IsPriming() const noexcept { return FPriming; }
  /// True while a fact goes through the network (its tests are evaluated, and may call any function) or
  /// the network primes new nodes with the facts there are.
  bool IsMatching() const noexcept { return FMatching > 0; }

  /// Hands Token to Target on one of a node's edges. Deliveries nest directly up to MaxCallDepth; deeper
  /// ones are queued and run, one after the other, by the delivery at that depth, in exactly the order the
  /// nested calls would have made. However long a chain of nodes (a pattern of 100,000 fields, 100,000 test
  /// elements, 60,000 negated elements), a token's trip takes no more stack than MaxCallDepth calls.
  void Deliver(TReteNode* Target, const IReteToken& Token, TCallType CallType);
  static constexpr int32_t MaxCallDepth = 48;

  /// Into a TTreeNodes: one item per root and, under each item, one per outgoing edge ("<call type> <node
  /// text>"), recursively. Anything else gets the inherited behaviour.
  void AssignTo(TPersistent* Dest) const override;

 protected:
  /// A compiled rule that is being destroyed leaves the network.
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  struct TRuleEntry {
    std::vector<TReteNode*> Nodes;
    std::string Trace;
    TComponent* Component = nullptr;  // the rule as the component whose destruction is watched
    TRuleLayout Layout;
  };

  template <class T>
  /// Takes Node into the network (as a root until it gains a source) and, when given, into Record; a failed
  /// allocation leaves everything as it was.
  T* AddNode(std::unique_ptr<T> Node, std::vector<TReteNode*>* Record = nullptr);
  void NewEdge(TReteNode* Source, TReteNode* Target, TCallType CallType);
  void DestroyNode(TReteNode* Node);
  /// Frees the retired terminal nodes no activation points to any more.
  void ReleaseRetired();
  void Compile(TRule& Rule, TRuleEntry& Entry);
  void RemoveRuleNodes(const TRule* Rule, bool Destroying);
  IFunCall Prepare(const TFunctionCall& Call, const TRule* Rule, int Depth) const;
  /// Body(root) for each root testing Fact's template or a template it extends, in root order.
  template <class F>
  void ForEachRootOf(const TFact& Fact, F&& Body);
  /// Root->CallNode(Token, CallType), then the deliveries it queued when called beyond the depth limit (a
  /// token sent by a call made while tokens flow).
  bool CallRoot(TReteNode* Root, const IReteToken& Token, TCallType CallType);
  /// As CallRoot for a class-test root that ForEachRootOf found for the token's fact: the node's template
  /// test has been answered by the table, so the token goes straight to its children.
  bool CallClassRoot(TReteNode* Root, const IReteToken& Token);
  /// Node->PassStoredMatches(), then the deliveries it queued, as CallRoot.
  void PassStored(TReteNode* Node);
  /// Runs the deliveries queued from Base on, each one's own queued deliveries before the next.
  void RunQueued(size_t Base);
  /// Drops the queued deliveries to Node (which is leaving the network).
  void DropQueued(const TReteNode* Node);
  /// Whether a join test may key the memories: neither compared slot is fuzzy.
  bool MayKey(const TRule& Rule, const TIEPattern& Pattern, const TIEJoinTest& Test) const;

  IRuleEngine* FEngine;
  std::unique_ptr<TIEContext> FContext;
  std::vector<std::unique_ptr<TReteNode>> FNodes;
  std::vector<TReteNode*> FRoots;
  // The class-type roots by template name, in root order; rebuilt on the first token after the roots
  // changed.
  std::unordered_map<std::string, std::vector<TReteNode*>> FClassRoots;
  // The one root of a template without a parent, by template: the template is held so that its address
  // names it, and its name is compared, since a template may be renamed. Emptied whenever the roots change.
  struct TRootMemo {
    TRef<TFactTemplate> Template;
    std::string Name;
    TReteNode* Root = nullptr;
  };
  std::unordered_map<const TFactTemplate*, TRootMemo> FRootMemo;
  /// Notes that the roots changed: the class roots are rebuilt on the next token, and the memo lets go of
  /// the templates it holds at once.
  void RootsChanged() {
    FClassRootsStale = true;
    FRootMemo.clear();
    ++FRootsGeneration;
  }
  bool FClassRootsStale = true;
  uint32_t FRootsGeneration = 0;  // counts the changes of the roots
  std::unordered_map<const TRule*, TRuleEntry> FRules;
  // Terminal nodes cleared or removed while activations they made still point to them (one on the agenda,
  // or the one being fired): kept, unlinked, until no activation does, so such an activation can still
  // report its firing.
  std::vector<std::unique_ptr<TReteNode>> FRetired;
  int32_t FNextNumber = 1;
  int32_t FHashKey = 101;
  float FMinActivationStrength = 0.0f;
  bool FEnabled = true;
  bool FPriming = false;
  bool FProbing = false;
  int32_t FMatching = 0;  // facts going through now, one inside another
  /// Counts a matching pass for its lifetime.
  struct TMatchingScope {
    int32_t& Count;
    explicit TMatchingScope(int32_t& C) noexcept : Count(C) { ++Count; }
    TMatchingScope(const TMatchingScope&) = delete;
    TMatchingScope& operator=(const TMatchingScope&) = delete;
    ~TMatchingScope() { --Count; }
  };
  struct TDelivery {
    TReteNode* Target;
    IReteToken Token;
    TCallType CallType;
  };
  std::vector<TDelivery> FQueued;  // deliveries beyond MaxCallDepth, waiting for their turn
  int32_t FCallDepth = 0;          // deliveries nested now
  // Counts the clearing tokens sent in: a node that a clearing token reaches a second time (from another
  // input) is empty already and passed it on, so it is not reached again; a clear then costs each node once
  // rather than once per path to it.
  uint32_t FClearPass = 0;
  bool FClearing = false;  // a clearing token is going through (only then are repeats skipped)
  /// Runs Body as a new clearing pass.
  template <class F>
  bool ClearPass(F&& Body);
};

}  // namespace rulecraft
