#include "rulecraft/fuzzy/FuzzyLogicPackage.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <typeinfo>
#include <vector>

#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/IEFuzzy.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/SingletonsVector.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/EngineParser.h"
#include "rulecraft/engine/Facts.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

const TEnumInfo& TFuzzyAssertFunctionTypeInfo() {
  static const TEnumInfo Info("TFuzzyAssertFunctionType", {"fafAssert", "fafAssertUnconditional"});
  return Info;
}
const TEnumInfo& TFuzzyOperationFunctionTypeInfo() {
  static const TEnumInfo Info(
      "TFuzzyOperationFunctionType",
      {"fofFuzzyUnion", "fofFuzzyUnionX", "fofFuzzyIntersection", "fofFuzzyIntersectionX"});
  return Info;
}
const TEnumInfo& TGetFuzzyFunctionTypeInfo() {
  static const TEnumInfo Info("TGetFuzzyFunctionType", {"gffGetFs", "gffGetFsLength", "gffGetFsX",
                                                        "gffGetFsY", "gffGetFsVariable", "gffGetFsValue"});
  return Info;
}
const TEnumInfo& TUniverseOfDiscourseFunctionTypeInfo() {
  static const TEnumInfo Info("TUniverseOfDiscourseFunctionType",
                              {"uodGet", "uodGetFrom", "uodGetTo", "uodGetUnits"});
  return Info;
}
const TEnumInfo& TDefuzzifyFunctionTypeInfo() {
  static const TEnumInfo Info("TDefuzzifyFunctionType",
                              {"dftMoment", "dftMaximum", "dftUndecidable", "dftCompatibilityIndex"});
  return Info;
}
const TEnumInfo& TCreateFuzzyShapeFunctionTypeInfo() {
  static const TEnumInfo Info(
      "TCreateFuzzyShapeFunctionType",
      {"fsGrowthShape", "fsDeclineShape", "fsPIShape", "fsTriangleShape", "fsBetaShape"});
  return Info;
}
const TEnumInfo& TRWFuzzyThresholdFunctionTypeInfo() {
  static const TEnumInfo Info("TRWFuzzyThresholdFunctionType",
                              {"ftfGetFuzzyThreshold", "ftfSetFuzzyThreshold"});
  return Info;
}
const TEnumInfo& TRWActivationThresholdFunctionTypeInfo() {
  static const TEnumInfo Info("TRWActivationThresholdFunctionType",
                              {"atfGetActivationThreshold", "atfSetActivationThreshold"});
  return Info;
}
const TEnumInfo& TRWFuzzyAutoTermsTypeInfo() {
  static const TEnumInfo Info("TRWFuzzyAutoTermsType", {"fatGetFuzzyAutoTerms", "fatSetFuzzyAutoTerms"});
  return Info;
}
const TEnumInfo& TRWFuzzyCorrelationFunctionTypeInfo() {
  static const TEnumInfo Info("TRWFuzzyCorrelationFunctionType", {"fcfGetCorrelation", "fcfSetCorrelation"});
  return Info;
}
const TEnumInfo& TRWFuzzyInferenceFunctionTypeInfo() {
  static const TEnumInfo Info("TRWFuzzyInferenceFunctionType", {"fifGetInference", "fifSetInference"});
  return Info;
}

namespace {

constexpr int32_t Unbounded = 2147483647;

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class :
       {TCreateFuzzySetFunction::StaticClass(), TFuzzyAssertFunction::StaticClass(),
        TFuzzyOperationFunction::StaticClass(), TRWFuzzyCorrelationFunction::StaticClass(),
        TRWFuzzyInferenceFunction::StaticClass(), TGetFuzzyFunction::StaticClass(),
        TUniverseOfDiscourseFunction::StaticClass(), TRWFuzzyAutoTerms::StaticClass(),
        TRWFuzzyThresholdFunction::StaticClass(), TRWActivationThresholdFunction::StaticClass(),
        TDefuzzifyFunction::StaticClass(), TPlotFuzzySetFunction::StaticClass(),
        TCreateFuzzyShapeFunction::StaticClass(), TFuzzyLogicPackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

IIEValue Boolean(bool Value) { return Value ? FCTrue : FCFalse; }
IIEValue Float(double Value) { return MakeRef<TIEValue>(Value); }
IIEValue Atom(const std::string& Text) { return MakeRef<TIEValue>(Text, dtAtom); }

/// The names of a table joined by ", ", as the method-name errors list them.
template <size_t N>
std::string NameList(const char* const (&Names)[N]) {
  std::string Text;
  for (const char* Name : Names) Text += (Text.empty() ? "" : ", ") + std::string(Name);
  return Text;
}

[[noreturn]] void InvalidArgument(const IIEValue& Value, TIETypes Expected) {
  throw EIEException(SInvalidArgType,
                     {GetIETypeName(Value ? Value->GetDType() : dtNone), SetToString(Expected, ", ", false)});
}

/// The first fuzzy value of a fact in slot order (a fuzzy multislot's first fuzzy element), or nullptr.
IFuzzySet GetFuzzySlot(const IFact& Fact) {
  if (!Fact || !Fact->GetTemplate()) return nullptr;
  const auto& Slots = Fact->GetTemplate()->GetSlots();
  for (size_t I = 0; I < Slots.size(); ++I) {
    if (!Slots[I].Slot->IsFuzzy()) continue;
    const IIEValue& Value = Fact->ValueAt(I);
    if (!Value) continue;
    if (Value->GetDType() == dtFuzzy && Value->GetAsFuzzy()) return Value->GetAsFuzzy();
    if (Value->GetDType() == dtList && Value->GetAsList())
      for (const IIEValue& Element : *Value->GetAsList())
        if (Element && Element->GetDType() == dtFuzzy && Element->GetAsFuzzy()) return Element->GetAsFuzzy();
  }
  return nullptr;
}

/// The fact a fact or fact-id value stands for, or nullptr for any other value and an unknown id.
IFact FactOf(const IIEValue& Value, TIEContext* Context) {
  switch (Value->GetDType()) {
    case dtFact:
      return Value->GetAsFact();
    case dtFactId:
    case dtInteger:
      return EngineOf(Context).GetFacts().GetFactByID(Value->GetAsFactId());
    default:
      return nullptr;
  }
}

/// The kinds a fuzzy value argument may take.
const TIETypes FuzzyArgumentKinds{dtFactId, dtFact, dtFuzzy};

/// The fuzzy set a resolved argument stands for: a fuzzy value's set, or the first fuzzy slot of a fact or
/// of the fact a fact id names; the argument-type error otherwise.
IFuzzySet GetFuzzySetFromValue(const IIEValue& Value, TIEContext* Context) {
  if (Value && Value->GetDType() == dtFuzzy && Value->GetAsFuzzy()) return Value->GetAsFuzzy();
  if (Value &&
      (Value->GetDType() == dtFact || Value->GetDType() == dtFactId || Value->GetDType() == dtInteger))
    if (IFuzzySet Set = GetFuzzySlot(FactOf(Value, Context))) return Set;
  InvalidArgument(Value, FuzzyArgumentKinds);
}

IFuzzySet FuzzyArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return GetFuzzySetFromValue(ResolveArgument(FunCall, Index, Context), Context);
}

/// The fuzzy variable of a defined type of that name, or nullptr.
TIFuzzyVariable* FuzzyTypeVariable(TInferenceEngine& Engine, const std::string& Name) {
  const IIEDefinedType Type = Engine.FindDefinedType(Name);
  return Type ? Type->GetFuzzyType().get() : nullptr;
}

/// An argument naming a method: its text.
std::string NameArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ResolveArgument(FunCall, Index, Context)->GetAsString();
}

TFuzzyInferenceMethod InferenceMethod(const std::string& Name) {
  TFuzzyInferenceMethod Method = fimMinMax;
  if (!IsFuzzyInference(Name, &Method))
    throw EIEException(SInvalidFuzzyInference, {Name, NameList(FuzzyInferenceNames)});
  return Method;
}

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

// ---- create-fuzzy-value

TCreateFuzzySetFunction::TCreateFuzzySetFunction()
    : TIEUserFunction(
          "create-fuzzy-value", 2, Unbounded,
          FunctionComment("Returns the fuzzy value of a fuzzy expression for the fuzzy type named "
                          "by the first argument"),
          " <fuzzy-type-name> <fuzzy-expression>+") {}

void TCreateFuzzySetFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) try {
  TInferenceEngine& Engine = EngineOf(Context);
  TIFuzzyVariable* Variable = FuzzyTypeVariable(Engine, NameArgument(FunCall, 0, Context));
  if (!Variable) throw EIEException(std::string(SUndefinedFuzzyVariable));
  IValueVector Items = MakeRef<TValueVector>();
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I) Items->Add(FunCall.GetArgument(I));
  Result = MakeRef<TIEValue>(Engine.EvalFuzzyExpression(Variable, Items, Context));
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

// ---- fuzzy-assert

const char* TFuzzyAssertFunction::MemberName(TFuzzyAssertFunctionType Type) const {
  static const char* const Names[] = {"fuzzy-assert", "fuzzy-assert-unconditional"};
  return Names[Type];
}

void TFuzzyAssertFunction::Configure() {
  if (FType == fafAssert)
    SetupFunction(
        *this, MemberName(FType), 1, Unbounded,
        "Asserts each fact with the given fuzzy inference method: an equal fuzzy fact present is "
        "combined with it by union.  The fact index of the last fact asserted is returned, or FALSE",
        " <inference-method> <fact>*");
  else
    SetupFunction(*this, MemberName(FType), 1, Unbounded,
                  "Asserts each fact with the given fuzzy inference method (min-max when left out): an equal "
                  "fuzzy fact present is combined with it by intersection.  The fact index of the last fact "
                  "asserted is returned, or FALSE",
                  " [<inference-method>] <fact>*");
}

void TFuzzyAssertFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const IIEValue First = ResolveArgument(FunCall, 0, Context);
  TFuzzyInferenceMethod Method = fimMinMax;
  int32_t Start = 0;
  if (First->GetDType() == dtAtom || First->GetDType() == dtString) {
    Method = InferenceMethod(First->GetAsString());
    Start = 1;
  } else if (FType == fafAssert) {
    throw EIEException(SInvalidFuzzyInference, {First->GetToString(), NameList(FuzzyInferenceNames)});
  }
  int32_t ID = -1;
  for (int32_t I = Start; I < FunCall.GetArgumentCount(); ++I) {
    const IIEValue Argument = I == 0 ? First : ResolveArgument(FunCall, I, Context);
    if (Argument->GetDType() != dtFact || !Argument->GetAsFact()) InvalidArgument(Argument, TIETypes{dtFact});
    // A copy: the call keeps its fact as written, and every firing asserts a fact of its own.
    IFact Fact = Argument->GetAsFact()->Clone();
    Fact->SetID(-1);
    ID = Engine.Assert(Context->Resolve(Fact), Method, FType == fafAssertUnconditional);
  }
  Result = ID < 0 ? FCFalse : MakeRef<TIEValue>(ID, dtFactId);
}

// ---- fuzzy-union, fuzzy-intersection

const char* TFuzzyOperationFunction::MemberName(TFuzzyOperationFunctionType Type) const {
  static const char* const Names[] = {"fuzzy-union", "fuzzy-union-x", "fuzzy-intersection",
                                      "fuzzy-intersection-x"};
  return Names[Type];
}

void TFuzzyOperationFunction::Configure() {
  switch (FType) {
    case fofFuzzyUnion:
      SetupFunction(*this, MemberName(FType), 2, Unbounded, "Returns the union (maximum) of the fuzzy values",
                    " <fuzzy-value-expression> <fuzzy-value-expression>+");
      break;
    case fofFuzzyUnionX:
      SetupFunction(*this, MemberName(FType), 3, Unbounded,
                    "Returns the union of the fuzzy values under the named fuzzy operation",
                    " <operation-name> <fuzzy-value-expression> <fuzzy-value-expression>+");
      break;
    case fofFuzzyIntersection:
      SetupFunction(*this, MemberName(FType), 2, Unbounded,
                    "Returns the intersection (minimum) of the fuzzy values",
                    " <fuzzy-value-expression> <fuzzy-value-expression>+");
      break;
    default:
      SetupFunction(*this, MemberName(FType), 3, Unbounded,
                    "Returns the intersection of the fuzzy values under the named fuzzy operation",
                    " <operation-name> <fuzzy-value-expression> <fuzzy-value-expression>+");
      break;
  }
}

void TFuzzyOperationFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) try {
  const bool Named = FType == fofFuzzyUnionX || FType == fofFuzzyIntersectionX;
  const bool Union = FType == fofFuzzyUnion || FType == fofFuzzyUnionX;
  TFuzzyOperation Operation = foZadeh;
  if (Named) {
    const std::string Name = NameArgument(FunCall, 0, Context);
    if (!IsFuzzyOperation(Name, &Operation))
      throw EIEException(SInvalidIEFuzzyOperation, {Name, NameList(FuzzyOperationNames)});
  }
  const int32_t Start = Named ? 1 : 0;
  IFuzzySet Set = FuzzyArgument(FunCall, Start, Context);
  for (int32_t I = Start + 1; I < FunCall.GetArgumentCount(); ++I) {
    const IFuzzySet Next = FuzzyArgument(FunCall, I, Context);
    TIFuzzyVariable* Mine = Set->GetVariable();
    TIFuzzyVariable* Theirs = Next->GetVariable();
    if (Mine && Theirs && Mine != Theirs)
      throw EIEException(SDifferentFuzzyVariables, {Mine->GetName(), Theirs->GetName()});
    Set = Union ? Set->Union(*Next, Operation) : Set->Intersection(*Next, Operation);
  }
  Result = MakeRef<TIEValue>(Set);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

// ---- get-fuzzy-correlation, set-fuzzy-correlation

const char* TRWFuzzyCorrelationFunction::MemberName(TRWFuzzyCorrelationFunctionType Type) const {
  static const char* const Names[] = {"get-fuzzy-correlation", "set-fuzzy-correlation"};
  return Names[Type];
}

void TRWFuzzyCorrelationFunction::Configure() {
  if (FType == fcfGetCorrelation)
    SetupFunction(*this, MemberName(FType), 0, 0,
                  "Returns the name of the fuzzy correlation method (minimum or product)", "");
  else
    SetupFunction(*this, MemberName(FType), 1, 1,
                  "Sets the fuzzy correlation method (minimum or product) and returns the previous one",
                  " <correlation-method>");
}

void TRWFuzzyCorrelationFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  Result = Atom(FuzzyCorrelationNames[Engine.GetFuzzyCorrelationMethod()]);
  if (FType == fcfGetCorrelation) return;
  const std::string Name = NameArgument(FunCall, 0, Context);
  TFuzzyCorrelationMethod Method = fcmMinimum;
  if (!IsFuzzyCorrelation(Name, &Method))
    throw EIEException(SInvalidFuzzyCorrelation, {Name, NameList(FuzzyCorrelationNames)});
  Engine.SetFuzzyCorrelationMethod(Method);
}

// ---- get-fuzzy-inference, set-fuzzy-inference

const char* TRWFuzzyInferenceFunction::MemberName(TRWFuzzyInferenceFunctionType Type) const {
  static const char* const Names[] = {"get-fuzzy-inference", "set-fuzzy-inference"};
  return Names[Type];
}

void TRWFuzzyInferenceFunction::Configure() {
  if (FType == fifGetInference)
    SetupFunction(*this, MemberName(FType), 0, 0,
                  "Returns the name of the fuzzy inference method (min-max, sum, mean, product or "
                  "bounded-sum)",
                  "");
  else
    SetupFunction(*this, MemberName(FType), 1, 1,
                  "Sets the fuzzy inference method (min-max, sum, mean, product or bounded-sum) and returns "
                  "the previous one",
                  " <inference-method>");
}

void TRWFuzzyInferenceFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  Result = Atom(FuzzyInferenceNames[Engine.GetFuzzyInferenceMethod()]);
  if (FType == fifGetInference) return;
  Engine.SetFuzzyInferenceMethod(InferenceMethod(NameArgument(FunCall, 0, Context)));
}

// ---- get-fs and its siblings

const char* TGetFuzzyFunction::MemberName(TGetFuzzyFunctionType Type) const {
  static const char* const Names[] = {"get-fs",   "get-fs-length",   "get-fs-x",
                                      "get-fs-y", "get-fs-variable", "get-fs-value"};
  return Names[Type];
}

void TGetFuzzyFunction::Configure() {
  static const char* const Value = " <fuzzy-value-expression>|<fact-id-expression>|<fact-expression>";
  switch (FType) {
    case gffGetFs:
      SetupFunction(*this, MemberName(FType), 1, 1,
                    "Returns the points of a fuzzy value as a list of singletons ((x y) ...)", Value);
      break;
    case gffGetFsLength:
      SetupFunction(*this, MemberName(FType), 1, 1, "Returns the number of points of a fuzzy value", Value);
      break;
    case gffGetFsX:
      SetupFunction(*this, MemberName(FType), 2, 2,
                    "Returns the x value of the point of a fuzzy value at the index (0 for the first)",
                    std::string(Value) + " <integer-expression>");
      break;
    case gffGetFsY:
      SetupFunction(*this, MemberName(FType), 2, 2,
                    "Returns the y value of the point of a fuzzy value at the index (0 for the first)",
                    std::string(Value) + " <integer-expression>");
      break;
    case gffGetFsVariable:
      SetupFunction(*this, MemberName(FType), 1, 1,
                    "Returns the name of the fuzzy variable of a fuzzy value, or nil", Value);
      break;
    default:
      SetupFunction(*this, MemberName(FType), 2, 2,
                    "Returns the degree of membership of the number in a fuzzy value",
                    std::string(Value) + " <numeric-expression>");
      break;
  }
}

void TGetFuzzyFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) try {
  const IFuzzySet Set = FuzzyArgument(FunCall, 0, Context);
  switch (FType) {
    case gffGetFs: {
      ISingletonsParser* Parser = &EngineOf(Context).GetParser();
      ISingletonsVector Points = MakeRef<TSingletonsVector>(Parser);
      for (int I = 0; I < Set->GetCount(); ++I) Points->Add(Float(Set->GetX(I)), Float(Set->GetY(I)));
      Result = MakeRef<TIEValue>(Points);
      break;
    }
    case gffGetFsLength:
      Result = MakeRef<TIEValue>(static_cast<int32_t>(Set->GetCount()), dtInteger);
      break;
    case gffGetFsX:
    case gffGetFsY: {
      const int32_t Index = ResolveInteger(FunCall, 1, Context);
      if (Index < 0 || Index >= Set->GetCount())
        throw EIEException(SFuzzySetIndexOutOfRange, {Index, Set->GetCount()});
      Result = Float(FType == gffGetFsX ? Set->GetX(Index) : Set->GetY(Index));
      break;
    }
    case gffGetFsVariable:
      Result = Set->GetVariable() ? Atom(Set->GetVariable()->GetName()) : FCNil;
      break;
    default:
      Result = Float(Set->DegreeOfMembership(ResolveNumber(FunCall, 1, Context).Value));
      break;
  }
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

// ---- get-u and its siblings

const char* TUniverseOfDiscourseFunction::MemberName(TUniverseOfDiscourseFunctionType Type) const {
  static const char* const Names[] = {"get-u", "get-u-from", "get-u-to", "get-u-units"};
  return Names[Type];
}

void TUniverseOfDiscourseFunction::Configure() {
  static const char* const Argument = " <fuzzy-type-name>|<fact-id-expression>|<fact-expression>";
  switch (FType) {
    case uodGet:
      SetupFunction(*this, MemberName(FType), 1, 1,
                    "Returns the universe of discourse of a fuzzy variable as text: from - to units",
                    Argument);
      break;
    case uodGetFrom:
      SetupFunction(*this, MemberName(FType), 1, 1,
                    "Returns the lower limit of the universe of discourse of a fuzzy variable", Argument);
      break;
    case uodGetTo:
      SetupFunction(*this, MemberName(FType), 1, 1,
                    "Returns the upper limit of the universe of discourse of a fuzzy variable", Argument);
      break;
    default:
      SetupFunction(*this, MemberName(FType), 1, 1, "Returns the units of a fuzzy variable as a string",
                    Argument);
      break;
  }
}

void TUniverseOfDiscourseFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IIEValue Argument = ResolveArgument(FunCall, 0, Context);
  TIFuzzyVariable* Variable = nullptr;
  switch (Argument->GetDType()) {
    case dtAtom:
    case dtString:
      Variable = FuzzyTypeVariable(EngineOf(Context), Argument->GetAsString());
      break;
    case dtFuzzy:
    case dtFact:
    case dtFactId:
    case dtInteger:
      if (const IFuzzySet Set = Argument->GetDType() == dtFuzzy ? Argument->GetAsFuzzy()
                                                                : GetFuzzySlot(FactOf(Argument, Context)))
        Variable = Set->GetVariable();
      break;
    default:
      break;
  }
  if (!Variable) InvalidArgument(Argument, TIETypes{dtAtom, dtFactId, dtFact, dtFuzzy});
  switch (FType) {
    case uodGet:
      Result = MakeRef<TIEValue>(
          Format("%.4f - %.4f %s", {Variable->GetFrom(), Variable->GetTo(), Variable->GetUnits()}), dtString);
      break;
    case uodGetFrom:
      Result = Float(Variable->GetFrom());
      break;
    case uodGetTo:
      Result = Float(Variable->GetTo());
      break;
    default:
      Result = MakeRef<TIEValue>(Variable->GetUnits(), dtString);
      break;
  }
}

// ---- the fuzzy settings

const char* TRWFuzzyAutoTerms::MemberName(TRWFuzzyAutoTermsType Type) const {
  static const char* const Names[] = {"get-fuzzy-auto-terms", "set-fuzzy-auto-terms"};
  return Names[Type];
}

void TRWFuzzyAutoTerms::Configure() {
  if (FType == fatGetFuzzyAutoTerms)
    SetupFunction(*this, MemberName(FType), 0, 0,
                  "Returns TRUE when fuzzy types are given the terms low, medium and high they lack", "");
  else
    SetupFunction(*this, MemberName(FType), 1, 1,
                  "Gives fuzzy types defined from now on the terms low, medium and high they lack when the "
                  "argument is TRUE; returns the previous setting",
                  " <boolean-expression>");
}

void TRWFuzzyAutoTerms::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  Result = Boolean(Engine.GetFuzzyAutoTerms());
  if (FType == fatSetFuzzyAutoTerms)
    Engine.SetFuzzyAutoTerms(IsTrueAtom(ResolveArgument(FunCall, 0, Context)));
}

const char* TRWFuzzyThresholdFunction::MemberName(TRWFuzzyThresholdFunctionType Type) const {
  static const char* const Names[] = {"get-fuzzy-threshold", "set-fuzzy-threshold"};
  return Names[Type];
}

void TRWFuzzyThresholdFunction::Configure() {
  if (FType == ftfGetFuzzyThreshold)
    SetupFunction(*this, MemberName(FType), 0, 0,
                  "Returns the threshold above which two fuzzy values are equal", "");
  else
    SetupFunction(*this, MemberName(FType), 1, 1,
                  "Sets the threshold above which two fuzzy values are equal (between 0 and 1); returns the "
                  "previous one",
                  " <numeric-expression>");
}

void TRWFuzzyThresholdFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  Result = Float(Engine.GetFuzzyEqualsThreshold());
  if (FType == ftfSetFuzzyThreshold)
    Engine.SetFuzzyEqualsThreshold(static_cast<float>(ResolveNumber(FunCall, 0, Context).Value));
}

const char* TRWActivationThresholdFunction::MemberName(TRWActivationThresholdFunctionType Type) const {
  static const char* const Names[] = {"get-activation-threshold", "set-activation-threshold"};
  return Names[Type];
}

void TRWActivationThresholdFunction::Configure() {
  if (FType == atfGetActivationThreshold)
    SetupFunction(*this, MemberName(FType), 0, 0,
                  "Returns the least strength a rule activation needs to be placed on the agenda", "");
  else
    SetupFunction(*this, MemberName(FType), 1, 1,
                  "Sets the least strength a rule activation needs to be placed on the agenda (between 0 and "
                  "1); returns the previous one",
                  " <numeric-expression>");
}

void TRWActivationThresholdFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  Result = Float(Engine.GetMinActivationStrength());
  if (FType == atfSetActivationThreshold)
    Engine.SetMinActivationStrength(static_cast<float>(ResolveNumber(FunCall, 0, Context).Value));
}

// ---- defuzzification

const char* TDefuzzifyFunction::MemberName(TDefuzzifyFunctionType Type) const {
  static const char* const Names[] = {"moment-defuzzify", "maximum-defuzzify", "is-undecidable",
                                      "get-compatibility-index"};
  return Names[Type];
}

void TDefuzzifyFunction::Configure() {
  static const char* const Value = " <fuzzy-value-expression>|<fact-id-expression>|<fact-expression>";
  switch (FType) {
    case dftMoment:
      SetupFunction(*this, MemberName(FType), 1, 1,
                    "Returns the crisp value of a fuzzy value by the moment (centre of gravity) method",
                    Value);
      break;
    case dftMaximum:
      SetupFunction(*this, MemberName(FType), 1, 1,
                    "Returns the crisp value of a fuzzy value by the mean of maxima method", Value);
      break;
    case dftUndecidable:
      SetupFunction(*this, MemberName(FType), 1, 1,
                    "Returns TRUE when a fuzzy value is empty or encloses no area, so that no crisp value "
                    "stands for it",
                    Value);
      break;
    default:
      SetupFunction(*this, MemberName(FType), 1, 1,
                    "Returns the membership of the moment-defuzzified value in the fuzzy value (between 0 "
                    "and 1)",
                    Value);
      break;
  }
}

void TDefuzzifyFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IFuzzySet Set = FuzzyArgument(FunCall, 0, Context);
  switch (FType) {
    case dftMoment:
      Result = Float(Set->MomentDefuzzify());
      break;
    case dftMaximum:
      Result = Float(Set->MaximumDefuzzify());
      break;
    case dftUndecidable:
      Result = Boolean(Set->IsUndecidable());
      break;
    default:
      Result = Float(Set->CompatibilityIndex());
      break;
  }
}

// ---- plot-fuzzy-value

TPlotFuzzySetFunction::TPlotFuzzySetFunction()
    : TIEUserFunction(
          "plot-fuzzy-value", 5, Unbounded,
          FunctionComment("Prints a chart of fuzzy values, or of all the terms of a fuzzy variable, to the "
                          "output stream, the i-th value drawn with the i-th plot character"),
          " <io-stream-identifier-string-expression> <plot-chars-string-expression> "
          "<low-limit-numeric-expression> <high-limit-numeric-expression> "
          "<fuzzy-variable-name-expression>|<fuzzy-value-expression>|<fact-id-expression>|<fact-expression>"
          "+") {}

void TPlotFuzzySetFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) try {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string OutID = NameArgument(FunCall, 0, Context);
  const std::string PlotChars = NameArgument(FunCall, 1, Context);
  const double Low = ResolveNumber(FunCall, 2, Context).Value;
  const double High = ResolveNumber(FunCall, 3, Context).Value;
  // Fuzzy values go on one chart; a fuzzy type name charts its terms on one of their own.
  std::vector<IFuzzySet> Sets;
  auto Flush = [&] {
    if (!Sets.empty()) Engine.PlotFuzzySet(OutID, PlotChars, Low, High, Sets);
    Sets.clear();
  };
  for (int32_t I = 4; I < FunCall.GetArgumentCount(); ++I) {
    const IIEValue Item = ResolveArgument(FunCall, I, Context);
    if (Item->GetDType() == dtAtom || Item->GetDType() == dtString) {
      TIFuzzyVariable* Variable = FuzzyTypeVariable(Engine, Item->GetAsString());
      if (!Variable) InvalidArgument(Item, TIETypes{dtAtom, dtFactId, dtFact, dtFuzzy});
      Flush();
      std::vector<IFuzzySet> Terms;
      for (int Term = 0; Term < Variable->GetTermCount(); ++Term) Terms.push_back(Variable->GetTerm(Term));
      Engine.PlotFuzzySet(OutID, PlotChars, Low, High, Terms, Item->GetAsString());
      continue;
    }
    Sets.push_back(GetFuzzySetFromValue(Item, Context));
  }
  Flush();
  Result = FCNil;
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

// ---- the shapes

const char* TCreateFuzzyShapeFunction::MemberName(TCreateFuzzyShapeFunctionType Type) const {
  static const char* const Names[] = {"s", "z", "pi", "tri", "beta"};
  return Names[Type];
}

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
  List.Add(MakeRef<TCreateFuzzySetFunction>());
  List.Add(MakeRef<TFuzzyAssertFunction>(fafAssert));
  List.Add(MakeRef<TFuzzyAssertFunction>(fafAssertUnconditional));
  List.Add(MakeRef<TFuzzyOperationFunction>(fofFuzzyUnion));
  List.Add(MakeRef<TFuzzyOperationFunction>(fofFuzzyUnionX));
  List.Add(MakeRef<TFuzzyOperationFunction>(fofFuzzyIntersection));
  List.Add(MakeRef<TFuzzyOperationFunction>(fofFuzzyIntersectionX));
  List.Add(MakeRef<TRWFuzzyCorrelationFunction>(fcfGetCorrelation));
  List.Add(MakeRef<TRWFuzzyInferenceFunction>(fifGetInference));
  for (TGetFuzzyFunctionType Type :
       {gffGetFs, gffGetFsLength, gffGetFsX, gffGetFsY, gffGetFsVariable, gffGetFsValue})
    List.Add(MakeRef<TGetFuzzyFunction>(Type));
  for (TUniverseOfDiscourseFunctionType Type : {uodGet, uodGetFrom, uodGetTo, uodGetUnits})
    List.Add(MakeRef<TUniverseOfDiscourseFunction>(Type));
  List.Add(MakeRef<TRWFuzzyAutoTerms>(fatGetFuzzyAutoTerms));
  List.Add(MakeRef<TRWFuzzyAutoTerms>(fatSetFuzzyAutoTerms));
  List.Add(MakeRef<TRWFuzzyThresholdFunction>(ftfGetFuzzyThreshold));
  List.Add(MakeRef<TRWFuzzyThresholdFunction>(ftfSetFuzzyThreshold));
  List.Add(MakeRef<TRWActivationThresholdFunction>(atfGetActivationThreshold));
  List.Add(MakeRef<TRWActivationThresholdFunction>(atfSetActivationThreshold));
  for (TDefuzzifyFunctionType Type : {dftMoment, dftMaximum, dftUndecidable, dftCompatibilityIndex})
    List.Add(MakeRef<TDefuzzifyFunction>(Type));
  List.Add(MakeRef<TPlotFuzzySetFunction>());
  List.Add(MakeRef<TRWFuzzyCorrelationFunction>(fcfSetCorrelation));
  List.Add(MakeRef<TRWFuzzyInferenceFunction>(fifSetInference));
  for (TCreateFuzzyShapeFunctionType Type :
       {fsGrowthShape, fsDeclineShape, fsPIShape, fsTriangleShape, fsBetaShape})
    List.Add(MakeRef<TCreateFuzzyShapeFunction>(Type));
}

}  // namespace rulecraft
