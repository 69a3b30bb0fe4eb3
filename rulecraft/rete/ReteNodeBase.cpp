#include "rulecraft/rete/ReteNodeBase.h"

#include <cstddef>
#include <string>

#include "rulecraft/rete/NodeSupport.h"
#include "rulecraft/rete/ReteNetwork.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

const TEnumInfo& TCallTypeInfo() {
  static const TEnumInfo Info("TCallType", {"ctLeft", "ctRight", "ctSingle", "ctActivate"});
  return Info;
}

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

}  // namespace rulecraft
