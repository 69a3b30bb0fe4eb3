#pragma once
// Small builders of fuzzy sets for the fuzzy-set tests, and the message of a failing action.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/framework/Exception.h"
#include "rulecraft/fuzzyset/FuzzySet.h"

namespace rulecraft::testing {

/// A set without variable through the given points.
inline IFuzzySet Points(std::vector<double> X, std::vector<double> Y) {
  IFuzzySet Set = MakeRef<TIFuzzySet>();
  Set->SetPoints(std::move(X), std::move(Y));
  return Set;
}

/// A set without variable: the triangle A, B, C.
inline IFuzzySet Triangle(double A, double B, double C) {
  IFuzzySet Set = MakeRef<TIFuzzySet>();
  Set->SetTriangle(A, B, C);
  return Set;
}

/// The message of the exception Action raises, or "" when it raises none.
inline std::string ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const Exception& E) {
    return E.Message();
  }
  return "";
}

}  // namespace rulecraft::testing
