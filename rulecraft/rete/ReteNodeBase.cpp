#include "rulecraft/rete/ReteNodeBase.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "rulecraft/rete/NodeSupport.h"
#include "rulecraft/rete/ReteNetwork.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

const TEnumInfo& TCallTypeInfo() {
  static const TEnumInfo Info("TCallType", {"ctLeft", "ctRight", "ctSingle", "ctActivate"});
  return Info;
}

namespace {

// Below this many children testing one slot against constants a plain scan costs no more than the hash.
constexpr size_t MinHashedChildren = 4;

// A constant's kind with its text or its number. Two values of the kinds KeyOf accepts are Equals exactly
// when their keys are equal: texts of one kind by their text, integers by value, floats by value with -0
// and 0 sharing a key (NaN, equal to nothing, has none).
struct TConstantKey {
  TIEType Kind = dtNone;
  std::string_view Text;
  uint64_t Bits = 0;
  bool operator==(const TConstantKey& Other) const noexcept {
    return Kind == Other.Kind && Bits == Other.Bits && Text == Other.Text;
  }
};

struct TConstantKeyHash {
  size_t operator()(const TConstantKey& Key) const noexcept {
    size_t Hash = std::hash<std::string_view>()(Key.Text);
    Hash ^= std::hash<uint64_t>()(Key.Bits) + 0x9e3779b97f4a7c15ull + (Hash << 6) + (Hash >> 2);
    return Hash ^ Key.Kind;
  }
};

// The key of Value (the text stays Value's own); False for a kind that is not hashed.
bool KeyOf(const TIEValue& Value, TConstantKey& Key) {
  switch (Value.GetDType()) {
    case dtAtom:
    case dtString:
      Key = TConstantKey{Value.GetDType(), Value.Text(), 0};
      return true;
    case dtInteger:
      Key = TConstantKey{dtInteger, {}, static_cast<uint64_t>(static_cast<int64_t>(Value.GetAsInteger()))};
      return true;
    case dtFloat: {
      double Number = Value.GetAsNumeric();
      if (Number != Number) return false;
      if (Number == 0.0) Number = 0.0;
      uint64_t Bits = 0;
      std::memcpy(&Bits, &Number, sizeof Bits);
      Key = TConstantKey{dtFloat, {}, Bits};
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

// The outgoing edges of a node with many children that test one slot against constants: for each such slot
// its edges by constant, and the edges of every other child in order.
struct TReteNode::TEdgeIndex {
  struct TGroup {
    std::string Slot;
    std::vector<uint32_t> Edges;  // in edge order
    std::unordered_map<TConstantKey, std::vector<uint32_t>, TConstantKeyHash> ByConstant;
  };
  std::vector<uint32_t> Plain;
  std::vector<TGroup> Groups;
};

TReteNode::TReteNode(TReteNetwork* Network)
    : FNetwork(Network), FContext(Network ? Network->GetContext() : nullptr) {}

TReteNode::~TReteNode() = default;

bool TReteNode::HasEdgeTo(const TReteNode* Target, TCallType CallType) const noexcept {
  for (const TReteEdge& Edge : FEdges)
    if (Edge.Target == Target && Edge.CallType == CallType) return true;
  return false;
}

std::string TReteNode::GetLabel() const { return ClassName() + "#" + std::to_string(FNumber); }

const TReteNode::TEdgeIndex* TReteNode::GetEdgeIndex() {
  if (!FEdgeIndexStale) return FEdgeIndex.get();
  FEdgeIndexStale = false;
  FEdgeIndex.reset();
  if (FEdges.size() < MinHashedChildren) return nullptr;
  // The hashable children by slot, the slots in order of their first child.
  std::vector<std::pair<const std::string*, std::vector<uint32_t>>> Slots;
  for (size_t I = 0; I < FEdges.size(); ++I) {
    const std::string* Slot = nullptr;
    const TIEValue* Value = nullptr;
    TConstantKey Key;
    if (FEdges[I].CallType != ctSingle || !FEdges[I].Target->GetEqualityConstant(Slot, Value) || !Slot ||
        !Value || !KeyOf(*Value, Key))
      continue;
    auto Found =
        std::find_if(Slots.begin(), Slots.end(), [Slot](const auto& Entry) { return *Entry.first == *Slot; });
    if (Found == Slots.end()) Found = Slots.insert(Slots.end(), {Slot, {}});
    Found->second.push_back(static_cast<uint32_t>(I));
  }
  auto Index = std::make_unique<TEdgeIndex>();
  std::vector<bool> Hashed(FEdges.size(), false);
  for (const auto& [Slot, Edges] : Slots) {
    if (Edges.size() < MinHashedChildren) continue;
    TEdgeIndex::TGroup& Group = Index->Groups.emplace_back();
    Group.Slot = *Slot;
    Group.Edges = Edges;
    for (uint32_t Edge : Edges) {
      const std::string* Ignored = nullptr;
      const TIEValue* Value = nullptr;
      TConstantKey Key;
      FEdges[Edge].Target->GetEqualityConstant(Ignored, Value);
      KeyOf(*Value, Key);
      Group.ByConstant[Key].push_back(Edge);
      Hashed[Edge] = true;
    }
  }
  if (Index->Groups.empty()) return nullptr;
  for (size_t I = 0; I < FEdges.size(); ++I)
    if (!Hashed[I]) Index->Plain.push_back(static_cast<uint32_t>(I));
  FEdgeIndex = std::move(Index);
  return FEdgeIndex.get();
}

void TReteNode::CallIndexedChildren(const IReteToken& Token, const TEdgeIndex& Index, bool Priming) {
  // The hashed children the token may pass: those of the slot value's constant. A value of a kind that is
  // not hashed (a fuzzy value may equal a term of any kind) leaves the choice to every child of the slot.
  // A fact without template or slot passes none of them.
  const IFact& Fact = Token->GetFact();
  const std::vector<uint32_t> None;
  const std::vector<uint32_t>* Chosen = &None;
  std::vector<uint32_t> Merged;  // only when two slots choose children
  if (Fact && Fact->GetTemplate()) {
    for (const TEdgeIndex::TGroup& Group : Index.Groups) {
      const IIEValue Value = Fact->ContainsKey(Group.Slot);
      if (!Value) continue;
      const std::vector<uint32_t>* Hits = &Group.Edges;
      TConstantKey Key;
      if (KeyOf(*Value, Key)) {
        auto Found = Group.ByConstant.find(Key);
        if (Found == Group.ByConstant.end()) continue;
        Hits = &Found->second;
      }
      if (Chosen->empty()) {
        Chosen = Hits;
        continue;
      }
      if (Chosen != &Merged) Merged = *Chosen;
      Merged.insert(Merged.end(), Hits->begin(), Hits->end());
      Chosen = &Merged;
    }
    if (Chosen == &Merged) std::sort(Merged.begin(), Merged.end());
  }
  // Edge order, as the plain scan: merge the chosen children into the others. Should a child's call change
  // this node's edges (a test's call that loads rules, say), the rest of the edges go on as a plain scan.
  const uint32_t Generation = FEdgeGeneration;
  size_t Done = 0;  // the edges before this one had their turn
  auto Call = [&](uint32_t I) {
    if (FEdgeGeneration != Generation) return false;
    Done = I + 1;
    const TReteEdge Edge = FEdges[I];
    if (!Priming || Edge.Target->FPrimeTarget) Pass(Edge, Token);
    return true;
  };
  bool Intact = true;
  size_t C = 0;
  for (size_t P = 0; Intact && P < Index.Plain.size(); ++P) {
    while (Intact && C < Chosen->size() && (*Chosen)[C] < Index.Plain[P]) Intact = Call((*Chosen)[C++]);
    if (Intact) Intact = Call(Index.Plain[P]);
  }
  while (Intact && C < Chosen->size()) Intact = Call((*Chosen)[C++]);
  if (Intact && FEdgeGeneration == Generation) return;
  for (size_t I = Done; I < FEdges.size(); ++I) {
    const TReteEdge Edge = FEdges[I];
    if (!Priming || Edge.Target->FPrimeTarget) Pass(Edge, Token);
  }
}

void TReteNode::Pass(const TReteEdge& Edge, const IReteToken& Token) {
  if (FNetwork)
    FNetwork->Deliver(Edge.Target, Token, Edge.CallType);
  else
    Edge.Target->CallNode(Token, Edge.CallType);
}

void TReteNode::CallChildren(const IReteToken& Token) {
  const bool Priming = FNetwork && FNetwork->IsPriming();
  if (FEdges.size() >= MinHashedChildren && Token && Token->GetTag() != taClear)
    if (const TEdgeIndex* Index = GetEdgeIndex()) {
      CallIndexedChildren(Token, *Index, Priming);
      return;
    }
  // By index: the edge list is not changed while tokens flow, but a copy of each edge costs nothing.
  for (size_t I = 0; I < FEdges.size(); ++I) {
    const TReteEdge Edge = FEdges[I];
    if (Priming && !Edge.Target->FPrimeTarget) continue;
    Pass(Edge, Token);
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

}  // namespace rulecraft
