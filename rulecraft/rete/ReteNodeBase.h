#pragma once
// TReteNode: what every node of the Rete network is. A node receives tokens through one of its inputs
// (TCallType) and hands what passes on along its outgoing edges (TReteEdge), in the order they were made.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/TypeInfo.h"
#include "rulecraft/rete/Token.h"

namespace rulecraft {

class TIEContext;
class TReteNetwork;
class TReteNode;

/// Through which input a node receives the tokens of an edge.
enum TCallType : uint8_t { ctLeft, ctRight, ctSingle, ctActivate };
const TEnumInfo& TCallTypeInfo();

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
  /// For a node whose one test is a slot's whole value equal to a constant of a kind that hashes exactly
  /// (atom, string, integer, float other than NaN): the slot's name and the constant. A node with many such
  /// children on one slot hands a token only to those whose constant equals the fact's value there.
  virtual bool GetEqualityConstant(const std::string*& Slot, const TIEValue*& Value) const {
    (void)Slot;
    (void)Value;
    return false;
  }

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

  struct TEdgeIndex;
  /// The edge index, rebuilt on the first token after the edges changed (EdgesChanged).
  const TEdgeIndex* GetEdgeIndex();
  void EdgesChanged() noexcept {
    FEdgeIndexStale = true;
    ++FEdgeGeneration;
  }
  /// CallChildren through the edge index: the edges outside it in order, and among the hashed ones only
  /// those whose constant equals the fact's slot value, each at its place in edge order.
  void CallIndexedChildren(const IReteToken& Token, const TEdgeIndex& Index, bool Priming);
  /// Hands Token on along Edge: through the network (TReteNetwork::Deliver), directly without one.
  void Pass(const TReteEdge& Edge, const IReteToken& Token);

  TReteNetwork* FNetwork;
  TIEContext* FContext;
  std::unique_ptr<TEdgeIndex> FEdgeIndex;  // nullptr while no slot has enough hashed children
  bool FEdgeIndexStale = true;
  uint32_t FEdgeGeneration = 0;  // counts the changes of the edges
  int32_t FRuleUseCount = 1;
  int32_t FNumber = 0;
  bool FPrimeTarget = false;         // receives tokens while the network primes nodes
  uint32_t FClearPass = 0;           // the last clearing pass that reached this node
  size_t FPosition = 0;              // position in the network's node list
  std::vector<TReteEdge> FEdges;     // outgoing
  std::vector<TReteNode*> FSources;  // one entry per incoming edge
};

}  // namespace rulecraft
