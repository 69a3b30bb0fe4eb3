#pragma once
// The fuzzy logic package: the functions of the rule language that work on fuzzy values. So far it holds
// the standard shapes, which build a fuzzy value from numbers:
//   (s A B)            growth from 0 at A to 1 at B (a straight rising edge);
//   (z A B)            decline from 1 at A to 0 at B (a straight falling edge);
//   (pi CENTRE WIDTH)  a bell with core CENTRE and support CENTRE +- WIDTH (quadratic S rise, mirrored fall);
//   (pi LEFT CENTRE RIGHT)  the same bell rising from LEFT and falling to RIGHT;
//   (tri LEFT CENTRE RIGHT) a triangle with its peak at CENTRE;
//   (beta CENTRE WIDTH [INFLECTION [WEIGHT]])  WEIGHT / (1 + k ((x - CENTRE) / WIDTH)^2) with
//                      k = (1 - INFLECTION) / INFLECTION, so that the membership at CENTRE +- WIDTH is
//                      INFLECTION times WEIGHT (INFLECTION 0.5 and WEIGHT 1 when left out); sampled at half
//                      widths out to four widths and 0 beyond.
// The shapes and their text forms are the fuzzy-set library's (FuzzySet.h); the value's set belongs to no
// fuzzy variable until a slot or a term clause gives it one. Errors: a value that is not a number as for
// any numeric argument, "Invalid fuzzy set shape: ..." for a width that is negative (pi) or not above 0
// (beta), an inflection outside (0, 1) or a weight outside (0, 1].
#include <cstdint>

#include "rulecraft/framework/TypeInfo.h"
#include "rulecraft/functions/ConfiguredFunction.h"
#include "rulecraft/functions/UserPackage.h"

namespace rulecraft {

enum TCreateFuzzyShapeFunctionType : uint8_t {
  fsGrowthShape,
  fsDeclineShape,
  fsPIShape,
  fsTriangleShape,
  fsBetaShape
};
const TEnumInfo& TCreateFuzzyShapeFunctionTypeInfo();

/// (s|z|pi|tri|beta <numbers>): the fuzzy value of a standard shape (see the top of this file).
RC_CONFIGURED_FUNCTION(TCreateFuzzyShapeFunction, TCreateFuzzyShapeFunctionType);

class TFuzzyLogicPackage : public TUserPackage {
  RC_CLASS(TFuzzyLogicPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds the shape functions s, z, pi, tri and beta, in that order.
  void CreateFunctions() override;
};

}  // namespace rulecraft
