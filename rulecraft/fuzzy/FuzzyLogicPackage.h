#pragma once
// The fuzzy logic package: the functions of the rule language that work on fuzzy values and on the engine's
// fuzzy settings, in the package's table order:
//   (create-fuzzy-value TYPE ITEM+)    the fuzzy expression ITEM+ evaluated for the fuzzy type TYPE;
//   (fuzzy-assert METHOD FACT*)        asserts each fact, an equal fuzzy fact present being combined with it
//                                      (union) under the inference METHOD; the last fact id, or FALSE;
//   (fuzzy-assert-unconditional [METHOD] FACT*)  the same combining by intersection (min-max by default);
//   (fuzzy-union V V+), (fuzzy-intersection V V+)  the maximum (minimum) of the values, left to right;
//   (fuzzy-union-x OP V V+), (fuzzy-intersection-x OP V V+)  the same under a named fuzzy operation;
//   (get-fuzzy-correlation), (get-fuzzy-inference)  the engine's method names;
//   (get-fs V), (get-fs-length V), (get-fs-x V I), (get-fs-y V I), (get-fs-variable V), (get-fs-value V X)
//                                      the points of a set, their count, one point's X or Y, the variable's
//                                      name and the membership at X;
//   (get-u T), (get-u-from T), (get-u-to T), (get-u-units T)  a fuzzy variable's universe "FROM - TO UNITS",
//                                      its limits and units;
//   (get-|set-fuzzy-auto-terms), (get-|set-fuzzy-threshold), (get-|set-activation-threshold)  the engine's
//                                      FuzzyAutoTerms, FuzzyEqualsThreshold and MinActivationStrength; each
//                                      setter stores through the engine (which clamps) and returns the value
//                                      held before;
//   (moment-defuzzify V), (maximum-defuzzify V), (is-undecidable V), (get-compatibility-index V)
//                                      the defuzzifications of the fuzzy-set library (FuzzySet.h);
//   (plot-fuzzy-value OUT CHARS LOW HIGH ITEM+)  the engine's text chart of fuzzy values (a fuzzy type name
//                                      charts all its terms);
//   (set-fuzzy-correlation NAME), (set-fuzzy-inference NAME)  set a method; the previous name;
//   (s A B), (z A B), (pi ...), (tri A B C), (beta ...)  the standard shapes (below).
// V stands for a fuzzy value, a fact or a fact id: a fact stands for its first fuzzy slot in slot order (the
// first fuzzy element of a fuzzy multislot). T is a fuzzy type name, or a value, fact or fact id as V.
//
// The shapes build a fuzzy value from numbers:
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
// fuzzy variable until a slot or a term clause gives it one.
//
// Errors: a V of any other kind, a fact id naming no fact and a fact without a fuzzy slot raise
// "Invalid argument type for deffunction: "KIND".  Expected KINDS"; so does a T that is no fuzzy type;
// create-fuzzy-value with a name that is no fuzzy type raises "fuzzy variable is not defined"; an unknown
// method "Invalid Fuzzy Inference specified (%s), expected min-max, sum, mean, product, bounded-sum" (and
// the correlation and operation equivalents); a point index outside the set "Fuzzy set point index %d is
// out of range, the set has %d points"; values of two different fuzzy variables in one union or
// intersection "Fuzzy values belong to different fuzzy variables: %s and %s". The shapes: a value that is
// not a number as for any numeric argument, "Invalid fuzzy set shape: ..." for a width that is negative
// (pi) or not above 0 (beta), an inflection outside (0, 1) or a weight outside (0, 1].
//
// Each family is one class configured by a function-type enumeration: setting the type sets the name, help
// text, argument text and counts; setting the name to one of the family's names selects that type; a copy
// (Assign) keeps the type.
#include <cstdint>

#include "rulecraft/framework/TypeInfo.h"
#include "rulecraft/functions/BuiltinFunction.h"
#include "rulecraft/functions/ConfiguredFunction.h"
#include "rulecraft/functions/UserPackage.h"

namespace rulecraft {

/// A configured function whose name selects its type: SetFunctionName with the name of another member
/// of the family switches to that member (and so to its help and counts).
template <class E>
class TFuzzyConfiguredFunction : public TConfiguredFunction<E> {
 public:
  void SetFunctionName(const TIEName& Value) override {
    const TEnumInfo& Info = TypeInfo();
    for (int I = 0; I < Info.Count(); ++I)
      if (Value == MemberName(static_cast<E>(I)) && static_cast<E>(I) != this->FType) {
        this->SetFunctionType(static_cast<E>(I));
        return;
      }
    TConfiguredFunction<E>::SetFunctionName(Value);
  }

 protected:
  /// The rule-language name of a member.
  virtual const char* MemberName(E Type) const = 0;
  virtual const TEnumInfo& TypeInfo() const = 0;
};

#define RC_FUZZY_FUNCTION(Cls, E)                                                        \
  class Cls final : public ::rulecraft::TFuzzyConfiguredFunction<E> {                    \
    RC_CLASS(Cls, ::rulecraft::TIEUserFunction)                                          \
   public:                                                                               \
    explicit Cls(E Type = E{}) { SetFunctionType(Type); }                                \
                                                                                         \
   protected:                                                                            \
    void Configure() override;                                                           \
    const char* MemberName(E Type) const override;                                       \
    const ::rulecraft::TEnumInfo& TypeInfo() const override { return E##Info(); }        \
    void Evaluate(::rulecraft::TFunctionCall& FunCall, ::rulecraft::TIEContext* Context, \
                  ::rulecraft::IIEValue& Result) override;                               \
  }

enum TFuzzyAssertFunctionType : uint8_t { fafAssert, fafAssertUnconditional };
const TEnumInfo& TFuzzyAssertFunctionTypeInfo();
enum TFuzzyOperationFunctionType : uint8_t {
  fofFuzzyUnion,
  fofFuzzyUnionX,
  fofFuzzyIntersection,
  fofFuzzyIntersectionX
};
const TEnumInfo& TFuzzyOperationFunctionTypeInfo();
enum TGetFuzzyFunctionType : uint8_t {
  gffGetFs,
  gffGetFsLength,
  gffGetFsX,
  gffGetFsY,
  gffGetFsVariable,
  gffGetFsValue
};
const TEnumInfo& TGetFuzzyFunctionTypeInfo();
enum TUniverseOfDiscourseFunctionType : uint8_t { uodGet, uodGetFrom, uodGetTo, uodGetUnits };
const TEnumInfo& TUniverseOfDiscourseFunctionTypeInfo();
enum TDefuzzifyFunctionType : uint8_t { dftMoment, dftMaximum, dftUndecidable, dftCompatibilityIndex };
const TEnumInfo& TDefuzzifyFunctionTypeInfo();
enum TCreateFuzzyShapeFunctionType : uint8_t {
  fsGrowthShape,
  fsDeclineShape,
  fsPIShape,
  fsTriangleShape,
  fsBetaShape
};
const TEnumInfo& TCreateFuzzyShapeFunctionTypeInfo();
enum TRWFuzzyThresholdFunctionType : uint8_t { ftfGetFuzzyThreshold, ftfSetFuzzyThreshold };
const TEnumInfo& TRWFuzzyThresholdFunctionTypeInfo();
enum TRWActivationThresholdFunctionType : uint8_t { atfGetActivationThreshold, atfSetActivationThreshold };
const TEnumInfo& TRWActivationThresholdFunctionTypeInfo();
enum TRWFuzzyAutoTermsType : uint8_t { fatGetFuzzyAutoTerms, fatSetFuzzyAutoTerms };
const TEnumInfo& TRWFuzzyAutoTermsTypeInfo();
enum TRWFuzzyCorrelationFunctionType : uint8_t { fcfGetCorrelation, fcfSetCorrelation };
const TEnumInfo& TRWFuzzyCorrelationFunctionTypeInfo();
enum TRWFuzzyInferenceFunctionType : uint8_t { fifGetInference, fifSetInference };
const TEnumInfo& TRWFuzzyInferenceFunctionTypeInfo();

/// (fuzzy-assert METHOD FACT*) and (fuzzy-assert-unconditional [METHOD] FACT*): the last fact id or FALSE.
RC_FUZZY_FUNCTION(TFuzzyAssertFunction, TFuzzyAssertFunctionType);
/// (fuzzy-union[-x] [OP] V V+) and (fuzzy-intersection[-x] [OP] V V+): a fuzzy value of the first's variable.
RC_FUZZY_FUNCTION(TFuzzyOperationFunction, TFuzzyOperationFunctionType);
/// (get-fs V) and its siblings: the points, their count, a point's X or Y, the variable, a membership.
RC_FUZZY_FUNCTION(TGetFuzzyFunction, TGetFuzzyFunctionType);
/// (get-u T) and its siblings: the universe of a fuzzy variable as text, its limits and units.
RC_FUZZY_FUNCTION(TUniverseOfDiscourseFunction, TUniverseOfDiscourseFunctionType);
/// (moment-defuzzify V) and its siblings: a float, or TRUE/FALSE for is-undecidable.
RC_FUZZY_FUNCTION(TDefuzzifyFunction, TDefuzzifyFunctionType);
/// (s|z|pi|tri|beta <numbers>): the fuzzy value of a standard shape (see the top of this file).
RC_FUZZY_FUNCTION(TCreateFuzzyShapeFunction, TCreateFuzzyShapeFunctionType);
/// (get-fuzzy-threshold) and (set-fuzzy-threshold N): the threshold as a float (the previous one).
RC_FUZZY_FUNCTION(TRWFuzzyThresholdFunction, TRWFuzzyThresholdFunctionType);
/// (get-activation-threshold) and (set-activation-threshold N): the least strength as a float.
RC_FUZZY_FUNCTION(TRWActivationThresholdFunction, TRWActivationThresholdFunctionType);
/// (get-fuzzy-auto-terms) and (set-fuzzy-auto-terms BOOL): TRUE or FALSE (the previous setting).
RC_FUZZY_FUNCTION(TRWFuzzyAutoTerms, TRWFuzzyAutoTermsType);
/// (get-fuzzy-correlation) and (set-fuzzy-correlation NAME): the method's name (the previous one).
RC_FUZZY_FUNCTION(TRWFuzzyCorrelationFunction, TRWFuzzyCorrelationFunctionType);
/// (get-fuzzy-inference) and (set-fuzzy-inference NAME): the method's name (the previous one).
RC_FUZZY_FUNCTION(TRWFuzzyInferenceFunction, TRWFuzzyInferenceFunctionType);

#undef RC_FUZZY_FUNCTION

/// (create-fuzzy-value TYPE ITEM+): the fuzzy value of the expression for TYPE's fuzzy variable.
RC_BUILTIN_FUNCTION(TCreateFuzzySetFunction);
/// (plot-fuzzy-value OUT CHARS LOW HIGH ITEM+): prints the chart; nil.
RC_BUILTIN_FUNCTION(TPlotFuzzySetFunction);

class TFuzzyLogicPackage : public TUserPackage {
  RC_CLASS(TFuzzyLogicPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds every function of the package, in the table order above.
  void CreateFunctions() override;
};

}  // namespace rulecraft
