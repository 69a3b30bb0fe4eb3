// Fuzzy inference: a fuzzy conclusion weakened by the strength of the firing that asserts it (correlation),
// and an equal fuzzy fact asserted again merged with the one present (union, or intersection for an
// unconditional assert). The set operations themselves are the fuzzy-set library's; the engine chooses them
// by its methods and applies them slot by slot.
#include <new>
#include <string>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/InferenceEngine.h"

namespace rulecraft {

namespace {

// The fuzzy set a value holds, or nullptr for any other value.
IFuzzySet SetOf(const IIEValue& Value) {
  return Value && Value->GetDType() == dtFuzzy ? Value->GetAsFuzzy() : IFuzzySet();
}

// Combines Second's set into First's: union or intersection under Operation. Values that are not both fuzzy
// are left alone.
void CombineSets(const IIEValue& First, const IIEValue& Second, bool Union, TFuzzyOperation Operation) {
  const IFuzzySet A = SetOf(First);
  const IFuzzySet B = SetOf(Second);
  if (!A || !B) return;
  First->SetAsFuzzy(Union ? A->Union(*B, Operation) : A->Intersection(*B, Operation));
}

// FuzzyUnion and FuzzyIntersection: fuzzy values combine their sets; multifields of one length give First a
// list of its own whose elements combine with Second's element by element.
void CombineValues(const IIEValue& First, const IIEValue& Second, bool Union, TFuzzyOperation Operation) {
  if (!First || !Second || First->GetDType() != Second->GetDType()) return;
  if (First->GetDType() == dtFuzzy) {
    CombineSets(First, Second, Union, Operation);
    return;
  }
  if (First->GetDType() != dtList) return;
  const IValueVector Mine = First->GetAsList();
  const IValueVector Theirs = Second->GetAsList();
  if (!Mine || !Theirs || Mine->GetValueCount() != Theirs->GetValueCount()) return;
  IValueVector Own = MakeRef<TValueVector>();
  Own->Reserve(Mine->GetValueCount());
  for (int32_t I = 0; I < Mine->GetValueCount(); ++I) {
    IIEValue Element = Mine->Get(I) ? MakeRef<TIEValue>(Mine->Get(I)) : Mine->Get(I);
    CombineSets(Element, Theirs->Get(I), Union, Operation);
    Own->Add(Element);
  }
  First->SetAsList(Own);
}

// The correlation of a value: a fuzzy value's set, or each set of a multifield, weakened by Strength. Any
// other value is returned as it is.
IIEValue Correlated(const IIEValue& Value, float Strength, TFuzzyOperation Operation) {
  if (const IFuzzySet Set = SetOf(Value)) return MakeRef<TIEValue>(Set->Correlate(Strength, Operation));
  if (!Value || Value->GetDType() != dtList || !Value->GetAsList()) return Value;
  IValueVector Own = MakeRef<TValueVector>();
  for (const IIEValue& Element : *Value->GetAsList()) Own->Add(Correlated(Element, Strength, Operation));
  return MakeRef<TIEValue>(Own);
}

// Puts FuzzyInferenceMethod back when an assert with a method of its own ends.
class TMethodScope {
 public:
  TMethodScope(TFuzzyInferenceMethod& Method, TFuzzyInferenceMethod Value) noexcept
      : FMethod(Method), FSaved(Method) {
    FMethod = Value;
  }
  ~TMethodScope() { FMethod = FSaved; }
  TMethodScope(const TMethodScope&) = delete;
  TMethodScope& operator=(const TMethodScope&) = delete;

 private:
  TFuzzyInferenceMethod& FMethod;
  TFuzzyInferenceMethod FSaved;
};

}  // namespace

TFuzzyOperation TInferenceEngine::InferenceOperation(TFuzzyInferenceMethod Method) noexcept {
  switch (Method) {
    case fimSum:
      return foSum;
    case fimMean:
      return foMean;
    case fimProduct:
      return foProduct;
    case fimBoundedSum:
      return foBoundedSum;
    default:
      return foZadeh;
  }
}

TFuzzyOperation TInferenceEngine::CorrelationOperation(TFuzzyCorrelationMethod Method) noexcept {
  return Method == fcmProduct ? foMeanSqr : foMinimum;
}

void TInferenceEngine::SetMinActivationStrength(float Value) noexcept {
  if (Value == GetMinActivationStrength()) return;
  FNetwork->SetMinActivationStrength(Value);
}

int32_t TInferenceEngine::Assert(const IFact& Fact, TFuzzyInferenceMethod Method, bool Unconditional) {
  if (Method == FFuzzyInferenceMethod) return Assert(Fact, Unconditional);
  TMethodScope Scope(FFuzzyInferenceMethod, Method);
  return Assert(Fact, Unconditional);
}

void TInferenceEngine::FuzzyCorrelation(const IFact& Fact, float Strength) try {
  if (Strength == 1.0f || !Fact) return;
  if (OnFuzzyCorrelation) {
    bool Done = false;
    OnFuzzyCorrelation(this, Fact, Strength, Done);
    if (Done) return;
  }
  const TFuzzyOperation Operation = CorrelationOperation(FFuzzyCorrelationMethod);
  const IFactTemplate& Template = Fact->GetTemplate();
  if (!Template || !Template->IsFuzzy()) throw EIEException(SNotFuzzyFact);
  const auto& Slots = Template->GetSlots();
  for (size_t I = 0; I < Slots.size(); ++I) {
    if (!Slots[I].Slot->IsFuzzy()) continue;
    const IIEValue& Value = Fact->ValueAt(I);
    IIEValue Weaker = Correlated(Value, Strength, Operation);
    if (Weaker != Value) Fact->SetValueAt(I, Weaker);
  }
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::FuzzyOperation(const IFact& Fact1, const IFact& Fact2, bool Union) try {
  if (!Fact1 || !Fact2) return;
  const IFactTemplate& Template = Fact1->GetTemplate();
  if (Template != Fact2->GetTemplate())
    throw EIEException(SInvalidFuzzyUnionTemplate,
                       {Template ? Template->GetTemplateName() : std::string(),
                        Fact2->GetTemplate() ? Fact2->GetTemplate()->GetTemplateName() : std::string()});
  if (!Template || !Template->IsFuzzy()) throw EIEException(SNotFuzzyFact);
  const TFuzzyOperation Operation = InferenceOperation(FFuzzyInferenceMethod);
  const auto& Slots = Template->GetSlots();
  for (size_t I = 0; I < Slots.size(); ++I) {
    if (!Slots[I].Slot->IsFuzzy()) continue;
    // Fact1's value object may be shared with the call that built the fact: combine a copy of it.
    IIEValue Mine = MakeRef<TIEValue>(Fact1->ValueAt(I));
    if (Union)
      FuzzyUnion(Mine, Fact2->ValueAt(I), Operation);
    else
      FuzzyIntersection(Mine, Fact2->ValueAt(I), Operation);
    Fact1->SetValueAt(I, Mine);
  }
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::FuzzyInference(const IFact& Fact1, const IFact& Fact2) {
  if (OnFuzzyInference) {
    bool Done = false;
    OnFuzzyInference(this, Fact1, Fact2, Done);
    if (Done) return;
  }
  FuzzyOperation(Fact1, Fact2, true);
}

void TInferenceEngine::FuzzyUnion(const IIEValue& First, const IIEValue& Second, TFuzzyOperation Operation) {
  CombineValues(First, Second, true, Operation);
}

void TInferenceEngine::FuzzyIntersection(const IIEValue& First, const IIEValue& Second,
                                         TFuzzyOperation Operation) {
  CombineValues(First, Second, false, Operation);
}

}  // namespace rulecraft
