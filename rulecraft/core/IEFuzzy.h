#pragma once
// The engine's fuzzy sets and fuzzy variables: the fuzzy-set library's classes with the engine's notion of
// equality. A fuzzy value (dtFuzzy) holds a TIEFuzzySet; the fuzzy variable of a fuzzy deftype is a
// TIEFuzzyVariable, whose terms and every set it makes are TIEFuzzySets.
//
// Equality, which fact comparison, duplicate detection and fuzzy merging use:
//   - two sets are equal when the height of their intersection, max over x of min(a(x), b(x)), is strictly
//     above the threshold of this set's variable (and two empty sets are equal) (the engine's
//     FuzzyEqualsThreshold, pushed into every fuzzy variable it knows; DefaultFuzzyThreshold for a set
//     without a variable);
//   - a set and a crisp number x are equal when the threshold is strictly below the membership of x;
//   - a set and any other value are not equal.
// FuzzyEquals gives the degree instead of the decision: the height of the intersection against a set or a
// fuzzy value, the membership against a number, 0 against anything else.
#include <string>

#include "rulecraft/fuzzyset/FuzzySet.h"

namespace rulecraft {

class IReasoner;
class TIEValue;

/// The threshold of a set whose variable is unknown.
inline constexpr double DefaultFuzzyThreshold = 0.01;

class TIEFuzzySet : public TIFuzzySet {
  RC_CLASS(TIEFuzzySet, TIFuzzySet)
 public:
  explicit TIEFuzzySet(TIFuzzyVariable* Variable = nullptr, const std::string& Name = "");

  /// The engine the set was made for (a plain back reference; nullptr when it was made without one).
  IReasoner* GetReasoner() const noexcept { return FReasoner; }
  void SetReasoner(IReasoner* Value) noexcept { FReasoner = Value; }
  /// The threshold of the set's variable, or DefaultFuzzyThreshold without one.
  double GetThreshold() const noexcept;

  /// The height of the intersection with another set.
  using TIFuzzySet::FuzzyEquals;
  /// The degree against a value: see the top of this file.
  double FuzzyEquals(const TIEValue& Other) const;
  /// Other is a fuzzy set or a value (TIEValue); see the top of this file.
  bool Equals(const ICloneable* Other) const override;

  void Assign(const TPersistent* Source) override;
  using TIFuzzySet::Assign;

 private:
  IReasoner* FReasoner = nullptr;
};

class TIEFuzzyVariable : public TIFuzzyVariable {
  RC_CLASS(TIEFuzzyVariable, TIFuzzyVariable)
 public:
  explicit TIEFuzzyVariable(const std::string& Name = "", IReasoner* Reasoner = nullptr);

  IReasoner* GetReasoner() const noexcept { return FReasoner; }
  void SetReasoner(IReasoner* Value) noexcept { FReasoner = Value; }

 protected:
  /// A TIEFuzzySet of this variable, linked to the variable's engine.
  IFuzzySet CreateFuzzySet() override;

 private:
  IReasoner* FReasoner = nullptr;
};

/// A new empty engine fuzzy set of Variable (which may be nullptr), linked to Reasoner.
IFuzzySet NewEngineFuzzySet(TIFuzzyVariable* Variable, IReasoner* Reasoner);

}  // namespace rulecraft
