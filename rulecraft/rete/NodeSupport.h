#pragma once
// What the node families and the slot tests share in their sources (included by them only): the scope that
// points the network's shared context at one pair, and reading one field of a fact.
#include <cstdint>
#include <string>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/functions/Context.h"

namespace rulecraft {

// Whether two values of tests are one test, so that one node or one slot test may serve both. Fuzzy values
// are the same test only when their sets have the same points: their equality asks whether two sets overlap,
// and a test of "cold" must not stand for a test of "warm". Other values compare by Equals.
bool SameTestValue(const IIEValue& A, const IIEValue& B);

// Points the network's shared context at one pair (a partial match and the fact it is tested with) while the
// pair's tests run and its token travels on, then gives the context back its previous token and fact, also
// when a call raises. The nodes below use the same context: restoring keeps what they set from reaching the
// next pair of an outer scan. A return a test's call left pending is dropped with the pair.
class TPairContext {
 public:
  TPairContext(TIEContext* Context, const ITokenBase& Token, const IFact& Fact)
      : FContext(Context), FToken(Context->GetToken()), FFact(Context->GetFact()) {
    FContext->SetToken(Token);
    FContext->SetFact(Fact);
  }
  TPairContext(const TPairContext&) = delete;
  TPairContext& operator=(const TPairContext&) = delete;
  ~TPairContext() {
    if (FContext->GetReturn()) FContext->ClearReturnValue();
    FContext->SetToken(FToken);
    FContext->SetFact(FFact);
  }

 private:
  TIEContext* FContext;
  ITokenBase FToken;
  IFact FFact;
};

// The slot's value narrowed to its list element at Index (NoSubIndex: the whole value); nil when the fact
// has no such slot or the list no such element.
inline IIEValue FieldOf(TFact& Fact, const std::string& Slot, int32_t Index) {
  IIEValue Value = Fact.ContainsKey(Slot);
  if (Index == NoSubIndex || !Value) return Value;
  if (Value->GetDType() != dtList) return IIEValue();
  const IValueVector List = Value->GetAsList();
  if (!List || Index < 0 || Index >= List->GetValueCount()) return IIEValue();
  return List->Get(Index);
}

}  // namespace rulecraft
