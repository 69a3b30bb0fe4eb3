#pragma once
// TTokenBase: the chain of facts of a partial match, as evaluation contexts read it. The network's tokens
// (TIEToken) derive from it and add their sort code, strength and action.
#include <cstdint>
#include <utility>

#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/Ref.h"

namespace rulecraft {

class TTokenBase;
using ITokenBase = TRef<TTokenBase>;

class TTokenBase : public TInterfacedObject {
  RC_CLASS(TTokenBase, TInterfacedObject)
 public:
  /// The number of facts in the chain (1 for a root token).
  int32_t GetCount() const noexcept { return FCount; }
  /// The fact this token adds (may be nil).
  const IFact& GetFact() const noexcept { return FFact; }
  /// The fact at position Index of the chain, 0 being the root's; nil outside the chain.
  /// Takes O(log Count) steps: a token also links to a further ancestor (see FJump).
  const IFact& GetFacts(int32_t Index) const noexcept {
    const TTokenBase* Token = this;
    const int32_t Wanted = Index + 1;  // the count of the token that adds that fact
    while (Token && Wanted < Token->FCount)
      Token = Token->FJump && Token->FJump->FCount >= Wanted ? Token->FJump : Token->FParent.get();
    static const IFact None;
    return Token && Index == Token->FCount - 1 && Index >= 0 ? Token->FFact : None;
  }
  /// Asks the processor for the tokens GetFacts reads first from this one, so that a scan can have them on
  /// their way before it reads them.
  void PrefetchAncestors() const noexcept {
    __builtin_prefetch(FJump);
    if (FJump != FParent.get()) __builtin_prefetch(FParent.get());
  }

 protected:
  TTokenBase() = default;
  /// Makes Parent this token's parent: Count one more than Parent's, the jump link set.
  void SetParentLink(ITokenBase Parent) noexcept {
    FParent = std::move(Parent);
    FCount = FParent ? FParent->FCount + 1 : 1;
    const TTokenBase* P = FParent.get();
    // Skew-binary jumps: from a token, the ancestors reachable by jumps form runs of sizes 1, 1, 3, 7, 15...,
    // so any ancestor is found in a logarithmic number of jumps and parent steps.
    if (P && P->FJump && P->FJump->FJump &&
        P->FCount - P->FJump->FCount == P->FJump->FCount - P->FJump->FJump->FCount)
      FJump = P->FJump->FJump;
    else
      FJump = P;
  }
  int32_t FCount = 0;
  IFact FFact;
  ITokenBase FParent;
  // An ancestor, held through the parent chain: the parent, or a token further up.
  const TTokenBase* FJump = nullptr;
};

}  // namespace rulecraft
