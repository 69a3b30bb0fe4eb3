#include "rulecraft/fuzzy/FuzzyLogicPackage.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/IEFuzzy.h"
#include "rulecraft/functions/BuiltinFunction.h"

namespace rulecraft {

const TEnumInfo& TCreateFuzzyShapeFunctionTypeInfo() {
  static const TEnumInfo Info(
      "TCreateFuzzyShapeFunctionType",
      {"fsGrowthShape", "fsDeclineShape", "fsPIShape", "fsTriangleShape", "fsBetaShape"});
  return Info;
}

namespace {

constexpr char SInvalidInflection[] = "Invalid fuzzy set shape: inflection must lie between 0 and 1";
constexpr char SInvalidWeight[] = "Invalid fuzzy set shape: weight must lie above 0 and at most 1";
constexpr char SInvalidBetaWidth[] = "Invalid fuzzy set shape: width must be finite and above 0";

// The quadratic S curve at T in [0, 1]: 2T^2 up to the middle, 1 - 2(1 - T)^2 after it.
double SCurve(double T) { return T <= 0.5 ? 2 * T * T : 1 - 2 * (1 - T) * (1 - T); }

// A bell rising from Left to Centre and falling to Right, sampled at quarter widths on each side.
void SetBell(TIFuzzySet& Set, double Left, double Centre, double Right) {
  double P[3] = {Left, Centre, Right};
  std::sort(P, P + 3);
  std::vector<double> X, Y;
  for (int I = 0; I <= 4; ++I) {
    X.push_back(P[0] + (P[1] - P[0]) * I / 4);
    Y.push_back(SCurve(I / 4.0));
  }
  for (int I = 1; I <= 4; ++I) {
    X.push_back(P[1] + (P[2] - P[1]) * I / 4);
    Y.push_back(1 - SCurve(I / 4.0));
  }
  Set.SetPoints(X, Y);
}

// Weight / (1 + k ((x - Centre) / Width)^2), k = (1 - Inflection) / Inflection, sampled at half widths out to
// four widths from the centre, with a vertical step to 0 at each end.
void SetBetaCurve(TIFuzzySet& Set, double Centre, double Width, double Inflection, double Weight) {
  if (!std::isfinite(Width) || !(Width > 0)) throw EIEException(std::string(SInvalidBetaWidth));
  if (!(Inflection > 0 && Inflection < 1)) throw EIEException(std::string(SInvalidInflection));
  if (!(Weight > 0 && Weight <= 1)) throw EIEException(std::string(SInvalidWeight));
  const double K = (1 - Inflection) / Inflection;
  std::vector<double> X, Y;
  auto Add = [&](double Offset) {
    X.push_back(Centre + Offset * Width);
    Y.push_back(Weight / (1 + K * Offset * Offset));
  };
  X.push_back(Centre - 4 * Width);
  Y.push_back(0);
  for (int I = -8; I <= 8; ++I) Add(I / 2.0);
  X.push_back(Centre + 4 * Width);
  Y.push_back(0);
  Set.SetPoints(X, Y);
}

}  // namespace

void TCreateFuzzyShapeFunction::Configure() {
  switch (FType) {
    case fsGrowthShape:
      SetupFunction(*this, "s", 2, 2, "Returns a fuzzy value growing from 0 to 1 between the two x values",
                    " <numeric-expression> <numeric-expression> ");
      break;
    case fsDeclineShape:
      SetupFunction(*this, "z", 2, 2, "Returns a fuzzy value declining from 1 to 0 between the two x values",
                    " <numeric-expression> <numeric-expression> ");
      break;
    case fsPIShape:
      SetupFunction(
          *this, "pi", 2, 3, "Returns a bell shaped fuzzy value around the middle point",
          " [ <center-numeric-expression> <range-numeric-expression> ] |  [ <left-numeric-expression> "
          "<center-numeric-expression> <right-numeric-expression> ]");
      break;
    case fsTriangleShape:
      SetupFunction(*this, "tri", 3, 3, "Returns a triangular fuzzy value around the centre point",
                    " <left-numeric-expression> <center-numeric-expression> <right-numeric-expression> ");
      break;
    default:
      SetupFunction(
          *this, "beta", 2, 4, "Returns a beta bell shaped fuzzy value around the centre point",
          " <center-numeric-expression> <range-numeric-expression> [ <inflection-numeric-expression> "
          "[ <weight-numeric-expression> ]]");
      break;
  }
}

void TCreateFuzzyShapeFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  std::vector<double> Numbers;
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I)
    Numbers.push_back(ResolveNumber(FunCall, I, Context).Value);
  IFuzzySet Set = NewEngineFuzzySet(nullptr, nullptr);
  switch (FType) {
    case fsGrowthShape:
      Set->SetS(Numbers[0], Numbers[1]);
      break;
    case fsDeclineShape:
      Set->SetZ(Numbers[0], Numbers[1]);
      break;
    case fsPIShape:
      if (Numbers.size() == 2)
        Set->SetPi(Numbers[0], Numbers[1]);
      else
        SetBell(*Set, Numbers[0], Numbers[1], Numbers[2]);
      break;
    case fsTriangleShape:
      Set->SetTriangle(Numbers[0], Numbers[1], Numbers[2]);
      break;
    default:
      if (Numbers.size() == 2 && Numbers[1] > 0)
        Set->SetBeta(Numbers[0], Numbers[1]);
      else
        SetBetaCurve(*Set, Numbers[0], Numbers[1], Numbers.size() > 2 ? Numbers[2] : 0.5,
                     Numbers.size() > 3 ? Numbers[3] : 1.0);
      break;
  }
  Result = MakeRef<TIEValue>(Set);
}

void TFuzzyLogicPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  for (TCreateFuzzyShapeFunctionType Type :
       {fsGrowthShape, fsDeclineShape, fsPIShape, fsTriangleShape, fsBetaShape})
    List.Add(MakeRef<TCreateFuzzyShapeFunction>(Type));
}

}  // namespace rulecraft
