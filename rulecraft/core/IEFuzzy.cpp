#include "rulecraft/core/IEFuzzy.h"

#include <algorithm>

#include "rulecraft/core/Value.h"

namespace rulecraft {

TIEFuzzySet::TIEFuzzySet(TIFuzzyVariable* Variable, const std::string& Name) : TIFuzzySet(Variable, Name) {}

double TIEFuzzySet::GetThreshold() const noexcept {
  return GetVariable() ? GetVariable()->GetThreshold() : DefaultFuzzyThreshold;
}

double TIEFuzzySet::FuzzyEquals(const TIEValue& Other) const {
  switch (Other.GetDType()) {
    case dtInteger:
    case dtFloat:
      return DegreeOfMembership(Other.GetAsNumeric());
    case dtFuzzy: {
      const IFuzzySet Set = Other.GetAsFuzzy();
      return Set ? FuzzyEquals(*Set) : 0.0;
    }
    default:
      return 0.0;
  }
}

bool TIEFuzzySet::Equals(const ICloneable* Other) const {
  const double Threshold = GetThreshold();
  // Another set, or a value: a crisp number by its membership, a fuzzy value by its set.
  const TIFuzzySet* Set = dynamic_cast<const TIFuzzySet*>(Other);
  IFuzzySet Held;
  if (!Set) {
    const auto* Value = dynamic_cast<const TIEValue*>(Other);
    if (!Value) return false;
    if (Value->GetDType() == dtInteger || Value->GetDType() == dtFloat)
      return Threshold < DegreeOfMembership(Value->GetAsNumeric());
    if (Value->GetDType() != dtFuzzy || !(Held = Value->GetAsFuzzy())) return false;
    Set = Held.get();
  }
  // Two empty sets are the same set, though they have no height to overlap with. Otherwise the minimum with
  // a threshold: a point counts only where both memberships rise above it.
  if (Set == this || (GetCount() == 0 && Set->GetCount() == 0)) return true;
  return Iterate(*Set, [Threshold](double A, double B) { return std::min(A, B) > Threshold ? 1.0 : 0.0; }) >
         0.0;
}

void TIEFuzzySet::Assign(const TPersistent* Source) {
  TIFuzzySet::Assign(Source);
  if (const auto* Set = dynamic_cast<const TIEFuzzySet*>(Source)) FReasoner = Set->FReasoner;
}

TIEFuzzyVariable::TIEFuzzyVariable(const std::string& Name, IReasoner* Reasoner)
    : TIFuzzyVariable(Name), FReasoner(Reasoner) {}

IFuzzySet TIEFuzzyVariable::CreateFuzzySet() { return NewEngineFuzzySet(this, FReasoner); }

IFuzzySet NewEngineFuzzySet(TIFuzzyVariable* Variable, IReasoner* Reasoner) {
  auto Set = MakeRef<TIEFuzzySet>(Variable);
  Set->SetReasoner(Reasoner);
  return Set;
}

}  // namespace rulecraft
