#pragma once
// TTokenBase: the chain of facts of a partial match, as evaluation contexts read it. The network's tokens
// (TIEToken) derive from it and add their sort code, strength and action.
#include <cstdint>

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
  const IFact& GetFacts(int32_t Index) const noexcept {
    const TTokenBase* Token = this;
    while (Token && Index < Token->FCount - 1) Token = Token->FParent.get();
    static const IFact None;
    return Token && Index == Token->FCount - 1 && Index >= 0 ? Token->FFact : None;
  }

 protected:
  TTokenBase() = default;
  int32_t FCount = 0;
  IFact FFact;
  ITokenBase FParent;
};

}  // namespace rulecraft
