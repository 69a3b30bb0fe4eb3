#include "rulecraft/fuzzyset/FuzzySet.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>
#include <utility>

#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Format.h"

namespace rulecraft {

namespace {

constexpr char SInvalidPoint[] = "Fuzzy set points need finite X values and Y values from 0 to 1";
constexpr char SInvalidShape[] = "Invalid fuzzy set shape: parameters must be finite";
constexpr char SInvalidWidth[] = "Invalid fuzzy set shape: width must be finite and not negative";
constexpr char SInvalidRange[] = "Invalid fuzzy variable range: lower limit must be below upper limit";

/// Non-linear hedges refine sloped segments to at most this fraction of the set's X range.
constexpr int KHedgeResolution = 32;

bool ValidX(double X) noexcept { return std::isfinite(X); }
bool ValidY(double Y) noexcept { return Y >= 0.0 && Y <= 1.0; }  // false for NaN

double Clamp01(double V) noexcept {
  if (!(V > 0.0)) return 0.0;  // also NaN
  return V > 1.0 ? 1.0 : V;
}

std::string IndexError(int Index) { return "List index out of bounds (" + std::to_string(Index) + ")"; }

std::string Number(double V) {
  if (V == 0.0) V = 0.0;  // no "-0.0000"
  return Format(SFuzzyNumberFormat, {V});
}

/// Sorts parallel point arrays by X, keeping the order of points with equal X.
void SortPoints(std::vector<double>& X, std::vector<double>& Y) {
  if (std::is_sorted(X.begin(), X.end())) return;
  std::vector<size_t> Order(X.size());
  std::iota(Order.begin(), Order.end(), size_t{0});
  std::stable_sort(Order.begin(), Order.end(), [&X](size_t A, size_t B) { return X[A] < X[B]; });
  std::vector<double> SortedX, SortedY;
  SortedX.reserve(X.size());
  SortedY.reserve(Y.size());
  for (size_t I : Order) {
    SortedX.push_back(X[I]);
    SortedY.push_back(Y[I]);
  }
  X.swap(SortedX);
  Y.swap(SortedY);
}

/// The points of a set in X order: the set's own arrays, or a sorted copy while an update left them unsorted.
class TSortedPoints {
 public:
  TSortedPoints(const std::vector<double>& X, const std::vector<double>& Y) {
    if (std::is_sorted(X.begin(), X.end())) {
      FX = &X;
      FY = &Y;
    } else {
      FOwnX = X;
      FOwnY = Y;
      SortPoints(FOwnX, FOwnY);
      FX = &FOwnX;
      FY = &FOwnY;
    }
  }
  const std::vector<double>& X() const noexcept { return *FX; }
  const std::vector<double>& Y() const noexcept { return *FY; }

 private:
  const std::vector<double>* FX;
  const std::vector<double>* FY;
  std::vector<double> FOwnX, FOwnY;
};

/// Membership just left of, at, and just right of an X (they differ only at a vertical step).
struct TMembership {
  double Left, At, Right;
};

TMembership Sample(const TSortedPoints& P, double At) {
  const std::vector<double>& X = P.X();
  const std::vector<double>& Y = P.Y();
  if (X.empty()) return {0.0, 0.0, 0.0};
  if (At < X.front()) return {Y.front(), Y.front(), Y.front()};
  if (At > X.back()) return {Y.back(), Y.back(), Y.back()};
  auto [Lo, Hi] = std::equal_range(X.begin(), X.end(), At);
  const size_t First = static_cast<size_t>(Lo - X.begin());
  if (Lo != Hi) {
    const size_t Last = static_cast<size_t>(Hi - X.begin());
    const double Max = *std::max_element(Y.begin() + static_cast<std::ptrdiff_t>(First),
                                         Y.begin() + static_cast<std::ptrdiff_t>(Last));
    return {Y[First], Max, Y[Last - 1]};
  }
  const size_t J = First, I = First - 1;  // X[I] < At < X[J]
  const double V = Y[I] + (Y[J] - Y[I]) * (At - X[I]) / (X[J] - X[I]);
  return {V, V, V};
}

/// The X values of both sets and, between two neighbouring ones, the crossing of their segments.
std::vector<double> EvaluationPoints(const TSortedPoints& A, const TSortedPoints& B) {
  std::vector<double> Breaks;
  Breaks.reserve(A.X().size() + B.X().size());
  std::merge(A.X().begin(), A.X().end(), B.X().begin(), B.X().end(), std::back_inserter(Breaks));
  Breaks.erase(std::unique(Breaks.begin(), Breaks.end()), Breaks.end());
  std::vector<double> Points;
  Points.reserve(Breaks.size() * 2);
  for (size_t I = 0; I < Breaks.size(); ++I) {
    Points.push_back(Breaks[I]);
    if (I + 1 == Breaks.size()) break;
    const double Low = Breaks[I], High = Breaks[I + 1];
    const double D0 = Sample(A, Low).Right - Sample(B, Low).Right;
    const double D1 = Sample(A, High).Left - Sample(B, High).Left;
    if ((D0 < 0.0 && D1 > 0.0) || (D0 > 0.0 && D1 < 0.0)) {
      const double Cross = Low + D0 / (D0 - D1) * (High - Low);
      if (Cross > Low && Cross < High) Points.push_back(Cross);
    }
  }
  return Points;
}

struct THedge {
  const char* Name;
  double (*Apply)(double);
  bool Refine;     // non-linear: follow the curve between the points
  bool Normalise;  // divide by the largest result
};

const THedge Hedges[] = {
    {"very", [](double Y) { return Y * Y; }, true, false},
    {"extremely", [](double Y) { return Y * Y * Y; }, true, false},
    {"more-or-less", [](double Y) { return std::sqrt(Y); }, true, false},
    {"somewhat", [](double Y) { return std::cbrt(Y); }, true, false},
    {"not", [](double Y) { return 1.0 - Y; }, false, false},
    {"slightly", [](double Y) { return std::min(Y, 1.0 - Y * Y); }, true, true},
    {"plus", [](double Y) { return std::pow(Y, 1.25); }, true, false},
    {"minus", [](double Y) { return std::pow(Y, 0.75); }, true, false},
    {"norm", [](double Y) { return Y; }, false, true},
    {"intensify", [](double Y) { return Y <= 0.5 ? 2.0 * Y * Y : 1.0 - 2.0 * (1.0 - Y) * (1.0 - Y); }, true,
     false},
};

/// The word of the hedge operator; Hedge applies it, IsFuzzyHedge does not count it.
constexpr char SNotHedge[] = "not";

const THedge* FindHedge(const std::string& Name) {
  for (const THedge& H : Hedges)
    if (Name == H.Name) return &H;
  return nullptr;
}

/// True unless Text is one word or hedges followed by one word, which a prefix hedge binds without brackets.
bool NeedsBrackets(const std::string& Text) {
  std::vector<std::string> Words;
  size_t Pos = 0;
  while (Pos < Text.size()) {
    while (Pos < Text.size() && static_cast<unsigned char>(Text[Pos]) <= ' ') ++Pos;
    size_t End = Pos;
    while (End < Text.size() && static_cast<unsigned char>(Text[End]) > ' ') ++End;
    if (End > Pos) Words.push_back(Text.substr(Pos, End - Pos));
    Pos = End;
  }
  for (size_t I = 0; I + 1 < Words.size(); ++I)
    if (!FindHedge(Words[I])) return true;
  return false;
}

/// One row of the operation table: the union and intersection operators and how Combine follows them.
struct TOperationRow {
  double (*Union)(double, double);
  double (*Intersection)(double, double);
  bool UnionCurved, IntersectionCurved;  // refine between the evaluation points
  bool CrossesOne;                       // kinks where a + b = 1
  bool NormaliseUnion;                   // divide by the height when it exceeds 1
  bool DropCollinear;                    // leave out points on the line through their neighbours
};

double Max(double A, double B) { return std::max(A, B); }
double Min(double A, double B) { return std::min(A, B); }
double Mean(double A, double B) { return (A + B) / 2.0; }
double AlgebraicSum(double A, double B) { return A + B - A * B; }
double Product(double A, double B) { return A * B; }
double QuadraticMean(double A, double B) { return std::sqrt((A * A + B * B) / 2.0); }
double MeanOfSquares(double A, double B) { return (A * A + B * B) / 2.0; }
double MeanOfRoots(double A, double B) { return (std::sqrt(A) + std::sqrt(B)) / 2.0; }
double SquaredMeanOfRoots(double A, double B) {
  const double M = MeanOfRoots(A, B);
  return M * M;
}
double BoundedSum(double A, double B) { return std::min(1.0, A + B); }
double BoundedDifference(double A, double B) { return std::max(0.0, A + B - 1.0); }
double Sum(double A, double B) { return A + B; }

const TOperationRow Operations[] = {
    {Max, Min, false, false, false, false, false},                      // foZadeh
    {Mean, Mean, false, false, false, false, true},                     // foMean
    {QuadraticMean, MeanOfSquares, true, true, false, false, true},     // foMeanSqr
    {MeanOfRoots, SquaredMeanOfRoots, true, true, false, false, true},  // foMeanSqrt
    {AlgebraicSum, Product, true, true, false, false, true},            // foProduct
    {BoundedSum, BoundedDifference, false, false, true, false, true},   // foBoundedSum
    {Sum, Product, false, true, false, true, true},                     // foSum
    {Max, Min, false, false, false, false, false},                      // foMinimum
};
static_assert(std::size(Operations) == std::size(FuzzyOperationNames));

const TOperationRow& OperationRow(TFuzzyOperation Op) {
  if (static_cast<size_t>(Op) >= std::size(Operations))
    throw Exception(Format("Unknown fuzzy operation: %d", {static_cast<int>(Op)}));
  return Operations[Op];
}

/// Into how many parts a span of Width is cut so that none exceeds Step (at most KHedgeResolution; 1 when
/// the ratio is not a number, as with a span of infinite width). A span already refined, within the step up
/// to rounding, stays whole, so a result refined again does not double its points.
int SpanParts(double Width, double Step) {
  const double Ratio = Width / Step;
  if (!(Ratio > 1.0 + 1e-9)) return 1;
  return static_cast<int>(std::min(std::ceil(Ratio - 1e-9), double{KHedgeResolution}));
}

/// Leaves out every point that lies on the line through the points beside it (within 1e-12); the points of
/// a vertical step stay.
void DropCollinearPoints(std::vector<double>& X, std::vector<double>& Y) {
  if (X.size() < 3) return;
  size_t Kept = 1;
  for (size_t I = 1; I + 1 < X.size(); ++I) {
    const double X0 = X[Kept - 1], Y0 = Y[Kept - 1], X2 = X[I + 1], Y2 = Y[I + 1];
    if (X0 < X[I] && X[I] < X2 && std::abs(Y0 + (Y2 - Y0) * (X[I] - X0) / (X2 - X0) - Y[I]) <= 1e-12)
      continue;
    X[Kept] = X[I];
    Y[Kept] = Y[I];
    ++Kept;
  }
  X[Kept] = X.back();
  Y[Kept] = Y.back();
  X.resize(Kept + 1);
  Y.resize(Kept + 1);
}

template <typename E, size_t N>
bool IsNameOf(const std::string& Word, const char* const (&Names)[N], E* Result) {
  for (size_t I = 0; I < N; ++I)
    if (Word == Names[I]) {
      if (Result) *Result = static_cast<E>(I);
      return true;
    }
  return false;
}

}  // namespace

#define RC_ENUM_INFO(Type, ...)                        \
  const TEnumInfo& Type##Info() {                      \
    static const TEnumInfo Info(#Type, {__VA_ARGS__}); \
    return Info;                                       \
  }

RC_ENUM_INFO(TFuzzyOperation, "foZadeh", "foMean", "foMeanSqr", "foMeanSqrt", "foProduct", "foBoundedSum",
             "foSum", "foMinimum")
RC_ENUM_INFO(TFuzzyInferenceMethod, "fimMinMax", "fimSum", "fimMean", "fimProduct", "fimBoundedSum")
RC_ENUM_INFO(TFuzzyCorrelationMethod, "fcmMinimum", "fcmProduct")
RC_ENUM_INFO(TFuzzyKeyword, "fkAnd", "fkOr")

#undef RC_ENUM_INFO

bool IsFuzzyHedge(const std::string& Word) { return Word != SNotHedge && FindHedge(Word); }

bool IsFuzzyHedgeOperator(const std::string& Word) { return Word == SNotHedge; }

bool IsFuzzyKeyword(const std::string& Word, TFuzzyKeyword* Kind) {
  static constexpr const char* const Keywords[] = {"and", "or"};
  return IsNameOf(Word, Keywords, Kind);
}

bool IsFuzzyOperation(const std::string& Word, TFuzzyOperation* Op) {
  return IsNameOf(Word, FuzzyOperationNames, Op);
}

bool IsFuzzyInference(const std::string& Word, TFuzzyInferenceMethod* Method) {
  return IsNameOf(Word, FuzzyInferenceNames, Method);
}

bool IsFuzzyCorrelation(const std::string& Word, TFuzzyCorrelationMethod* Method) {
  return IsNameOf(Word, FuzzyCorrelationNames, Method);
}

/// How Combine builds a set: the operator, the extra evaluation points it needs, and a final normalisation.
struct TIFuzzySet::TCombineRule {
  TFuzzyOperator Operator;
  bool Refine = false;      // steps of at most 1/KHedgeResolution of the X range where either set slopes
  bool CrossesOne = false;  // the X values where a + b crosses 1
  bool Normalise = false;   // divide by the height when it exceeds 1
  bool DropCollinear = false;
};

// ---------------------------------------------------------------------------------------------------------
// TIFuzzySet

TIFuzzySet::TIFuzzySet(TIFuzzyVariable* Variable, const std::string& Name) : FName(Name) { Link(Variable); }

TIFuzzySet::~TIFuzzySet() { Unlink(); }

void TIFuzzySet::Link(TIFuzzyVariable* Variable) {
  FVariable = Variable;
  if (!Variable) return;
  FPrevInVariable = nullptr;
  FNextInVariable = Variable->FFirstSet;
  if (FNextInVariable) FNextInVariable->FPrevInVariable = this;
  Variable->FFirstSet = this;
}

void TIFuzzySet::Unlink() {
  if (!FVariable) return;
  if (FPrevInVariable)
    FPrevInVariable->FNextInVariable = FNextInVariable;
  else
    FVariable->FFirstSet = FNextInVariable;
  if (FNextInVariable) FNextInVariable->FPrevInVariable = FPrevInVariable;
  FPrevInVariable = FNextInVariable = nullptr;
  FVariable = nullptr;
}

void TIFuzzySet::SetName(const std::string& Value) {
  if (Value == FName) return;
  FName = Value;
  Modified();
}

void TIFuzzySet::SetVariable(TIFuzzyVariable* Value) {
  if (Value == FVariable) return;
  Unlink();
  Link(Value);
}

void TIFuzzySet::SetExpression(const std::string& Value) {
  if (Value == FExpression) return;
  FExpression = Value;
  Modified();
}

std::vector<double> TIFuzzySet::GetShapeParameters() const { return FShapeParameters; }

double TIFuzzySet::GetX(int Index) const {
  if (Index < 0 || Index >= GetCount()) throw EListError(IndexError(Index));
  return FX[static_cast<size_t>(Index)];
}

double TIFuzzySet::GetY(int Index) const {
  if (Index < 0 || Index >= GetCount()) throw EListError(IndexError(Index));
  return FY[static_cast<size_t>(Index)];
}

void TIFuzzySet::SetXValues(std::vector<double> Values) {
  if (!std::all_of(Values.begin(), Values.end(), ValidX)) throw Exception(SInvalidPoint);
  FX = std::move(Values);
  FY.resize(FX.size(), 0.0);
  FSetType = fstPoints;
  FShapeParameters.clear();
  Modified();
}

void TIFuzzySet::SetYValues(std::vector<double> Values) {
  if (Values.size() != FX.size())
    throw Exception(
        Format("Fuzzy set needs %d Y values, %d given", {GetCount(), static_cast<int>(Values.size())}));
  if (!std::all_of(Values.begin(), Values.end(), ValidY)) throw Exception(SInvalidPoint);
  FY = std::move(Values);
  FSetType = fstPoints;
  FShapeParameters.clear();
  Modified();
}

void TIFuzzySet::SetPoints(std::vector<double> X, std::vector<double> Y) {
  if (X.size() != Y.size())
    throw Exception(Format("Fuzzy set needs %d Y values, %d given",
                           {static_cast<int>(X.size()), static_cast<int>(Y.size())}));
  if (!std::all_of(X.begin(), X.end(), ValidX) || !std::all_of(Y.begin(), Y.end(), ValidY))
    throw Exception(SInvalidPoint);
  FX = std::move(X);
  FY = std::move(Y);
  FSetType = fstPoints;
  FShapeParameters.clear();
  Modified();
}

void TIFuzzySet::AddPoint(double X, double Y) {
  if (!ValidX(X) || !ValidY(Y)) throw Exception(SInvalidPoint);
  FX.push_back(X);
  FY.push_back(Y);
  FSetType = fstPoints;
  FShapeParameters.clear();
  Modified();
}

void TIFuzzySet::Clear() {
  FX.clear();
  FY.clear();
  FSetType = fstPoints;
  FShapeParameters.clear();
  Modified();
}

void TIFuzzySet::GetXRange(double& Low, double& High) const {
  if (FX.empty()) {
    Low = High = 0.0;
    return;
  }
  TSortedPoints P(FX, FY);
  Low = P.X().front();
  High = P.X().back();
}

void TIFuzzySet::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0) Changed();
}

void TIFuzzySet::Modified() {
  if (FUpdateCount == 0) Changed();
}

void TIFuzzySet::Changed() {
  SortPoints(FX, FY);
  if (FVariable) FVariable->FuzzySetChanged(this);
}

double TIFuzzySet::DegreeOfMembership(double X) const {
  if (FX.empty() || std::isnan(X)) return 0.0;
  return Sample(TSortedPoints(FX, FY), X).At;
}

double TIFuzzySet::CrispValue() const {
  if (FX.empty()) return 0.0;
  TSortedPoints P(FX, FY);
  const std::vector<double>& X = P.X();
  const std::vector<double>& Y = P.Y();
  double Area = 0.0, Moment = 0.0;
  for (size_t I = 0; I + 1 < X.size(); ++I) {
    const double Width = X[I + 1] - X[I];
    if (Width <= 0.0) continue;  // a vertical step encloses no area
    Area += Width * (Y[I] + Y[I + 1]) / 2.0;
    Moment += Width * (X[I] * (2.0 * Y[I] + Y[I + 1]) + X[I + 1] * (Y[I] + 2.0 * Y[I + 1])) / 6.0;
  }
  if (Area > 0.0) return std::clamp(Moment / Area, X.front(), X.back());
  const double MaxY = *std::max_element(Y.begin(), Y.end());
  double Sum = 0.0;
  int Count = 0;
  for (size_t I = 0; I < X.size(); ++I)
    if (Y[I] == MaxY) {
      Sum += X[I];
      ++Count;
    }
  return Sum / Count;
}

double TIFuzzySet::MaximumDefuzzify() const {
  if (FX.empty()) return 0.0;
  TSortedPoints P(FX, FY);
  const std::vector<double>& X = P.X();
  const std::vector<double>& Y = P.Y();
  const double Height = *std::max_element(Y.begin(), Y.end());
  double Length = 0.0, Weighted = 0.0, PointSum = 0.0;
  int PointCount = 0;
  for (size_t I = 0; I < X.size(); ++I) {
    if (Y[I] != Height) continue;
    const bool LeftInterval = I > 0 && Y[I - 1] == Height && X[I] > X[I - 1];
    const bool RightInterval = I + 1 < X.size() && Y[I + 1] == Height && X[I + 1] > X[I];
    if (RightInterval) {
      const double Width = X[I + 1] - X[I];
      Length += Width;
      Weighted += Width * (X[I] + X[I + 1]) / 2.0;
    }
    if (!LeftInterval && !RightInterval) {
      PointSum += X[I];
      ++PointCount;
    }
  }
  if (Length > 0.0) return Weighted / Length;
  return PointSum / PointCount;
}

bool TIFuzzySet::IsUndecidable() const {
  if (FX.empty()) return true;
  TSortedPoints P(FX, FY);
  const std::vector<double>& X = P.X();
  const std::vector<double>& Y = P.Y();
  for (size_t I = 0; I + 1 < X.size(); ++I)
    if (X[I + 1] > X[I] && (Y[I] > 0.0 || Y[I + 1] > 0.0)) return false;
  return true;
}

double TIFuzzySet::CompatibilityIndex() const {
  if (FX.empty()) return 0.0;
  return std::clamp(DegreeOfMembership(MomentDefuzzify()), 0.0, 1.0);
}

void TIFuzzySet::SetShape(TFuzzySetType Type, std::vector<double> Parameters, std::vector<double> X,
                          std::vector<double> Y) {
  if (!std::all_of(X.begin(), X.end(), ValidX)) throw Exception(SInvalidShape);
  FX = std::move(X);
  FY = std::move(Y);
  FSetType = Type;
  FShapeParameters = std::move(Parameters);
  Modified();
}

void TIFuzzySet::SetTriangle(double A, double B, double C) {
  if (!ValidX(A) || !ValidX(B) || !ValidX(C)) throw Exception(SInvalidShape);
  double P[3] = {A, B, C};
  std::sort(P, P + 3);
  SetShape(fstTriangle, {P[0], P[1], P[2]}, {P[0], P[1], P[2]}, {0.0, 1.0, 0.0});
}

void TIFuzzySet::SetZ(double A, double B) {
  if (!ValidX(A) || !ValidX(B)) throw Exception(SInvalidShape);
  if (B < A) std::swap(A, B);
  SetShape(fstZ, {A, B}, {A, B}, {1.0, 0.0});
}

void TIFuzzySet::SetS(double A, double B) {
  if (!ValidX(A) || !ValidX(B)) throw Exception(SInvalidShape);
  if (B < A) std::swap(A, B);
  SetShape(fstS, {A, B}, {A, B}, {0.0, 1.0});
}

void TIFuzzySet::SetPi(double Centre, double Width) {
  if (!ValidX(Centre)) throw Exception(SInvalidShape);
  if (!ValidX(Width) || Width < 0.0) throw Exception(SInvalidWidth);
  if (Width == 0.0) {
    SetShape(fstPi, {Centre, Width}, {Centre, Centre, Centre}, {0.0, 1.0, 0.0});
    return;
  }
  // The quadratic S rise over one width, at quarter widths: 0, 1/8, 1/2, 7/8, 1.
  static const double Rise[5] = {0.0, 0.125, 0.5, 0.875, 1.0};
  std::vector<double> X, Y;
  for (int I = -4; I <= 4; ++I) {
    X.push_back(Centre + Width * I / 4.0);
    Y.push_back(Rise[4 - std::abs(I)]);
  }
  SetShape(fstPi, {Centre, Width}, std::move(X), std::move(Y));
}

void TIFuzzySet::SetBeta(double Centre, double Width) {
  if (!ValidX(Centre)) throw Exception(SInvalidShape);
  if (!ValidX(Width) || Width < 0.0) throw Exception(SInvalidWidth);
  if (Width == 0.0) {
    SetShape(fstBeta, {Centre, Width}, {Centre, Centre, Centre}, {0.0, 1.0, 0.0});
    return;
  }
  std::vector<double> X{Centre - 4.0 * Width}, Y{0.0};
  for (int I = -8; I <= 8; ++I) {
    const double T = I / 2.0;
    X.push_back(Centre + Width * T);
    Y.push_back(1.0 / (1.0 + T * T));
  }
  X.push_back(Centre + 4.0 * Width);
  Y.push_back(0.0);
  SetShape(fstBeta, {Centre, Width}, std::move(X), std::move(Y));
}

void TIFuzzySet::Hedge(const std::string& Name) {
  const THedge* H = FindHedge(Name);
  if (!H) throw Exception(Format("Unknown hedge: %s", {Name}));
  std::vector<double> X = FX, Y = FY;
  SortPoints(X, Y);
  if (H->Refine && X.size() >= 2 && X.back() > X.front()) {
    const double Step = (X.back() - X.front()) / KHedgeResolution;
    std::vector<double> FineX, FineY;
    for (size_t I = 0; I < X.size(); ++I) {
      FineX.push_back(X[I]);
      FineY.push_back(Y[I]);
      if (I + 1 == X.size()) break;
      const double Width = X[I + 1] - X[I];
      if (Width <= 0.0 || Y[I] == Y[I + 1]) continue;
      const int Parts = SpanParts(Width, Step);
      for (int K = 1; K < Parts; ++K) {
        FineX.push_back(X[I] + Width * K / Parts);
        FineY.push_back(Y[I] + (Y[I + 1] - Y[I]) * K / Parts);
      }
    }
    X.swap(FineX);
    Y.swap(FineY);
  }
  for (double& V : Y) V = Clamp01(H->Apply(V));
  if (H->Normalise && !Y.empty()) {
    const double Height = *std::max_element(Y.begin(), Y.end());
    if (Height > 0.0)
      for (double& V : Y) V = Clamp01(V / Height);
  }
  std::string Base = !FExpression.empty() ? FExpression : FName;
  if (!Base.empty()) FExpression = Name + " " + (NeedsBrackets(Base) ? "[" + Base + "]" : Base);
  FX = std::move(X);
  FY = std::move(Y);
  FSetType = fstPoints;
  FShapeParameters.clear();
  Modified();
}

IFuzzySet TIFuzzySet::Combine(const TIFuzzySet& Other, const TFuzzyOperator& Operator) const {
  return Combine(Other, TCombineRule{Operator});
}

IFuzzySet TIFuzzySet::Combine(const TIFuzzySet& Other, const TCombineRule& Rule) const {
  TSortedPoints A(FX, FY), B(Other.FX, Other.FY);
  std::vector<double> Points = EvaluationPoints(A, B);
  if ((Rule.Refine || Rule.CrossesOne) && Points.size() >= 2) {
    const double Step = (Points.back() - Points.front()) / KHedgeResolution;
    std::vector<double> Extra;
    for (size_t I = 0; I + 1 < Points.size(); ++I) {
      const double Low = Points[I], High = Points[I + 1], Width = High - Low;
      const double A0 = Sample(A, Low).Right, A1 = Sample(A, High).Left;
      const double B0 = Sample(B, Low).Right, B1 = Sample(B, High).Left;
      if (Rule.CrossesOne) {
        const double D0 = A0 + B0 - 1.0, D1 = A1 + B1 - 1.0;
        if ((D0 < 0.0 && D1 > 0.0) || (D0 > 0.0 && D1 < 0.0)) {
          const double Cross = Low + D0 / (D0 - D1) * Width;
          if (Cross > Low && Cross < High) Extra.push_back(Cross);
        }
      }
      if (Rule.Refine && Step > 0.0 && (A0 != A1 || B0 != B1)) {
        const int Parts = SpanParts(Width, Step);
        for (int K = 1; K < Parts; ++K) Extra.push_back(Low + Width * K / Parts);
      }
    }
    if (!Extra.empty()) {
      Points.insert(Points.end(), Extra.begin(), Extra.end());
      std::sort(Points.begin(), Points.end());
      Points.erase(std::unique(Points.begin(), Points.end()), Points.end());
    }
  }
  std::vector<TMembership> Values;
  Values.reserve(Points.size());
  double Height = 0.0;
  for (double X : Points) {
    const TMembership MA = Sample(A, X), MB = Sample(B, X);
    const TMembership V{Rule.Operator(MA.Left, MB.Left), Rule.Operator(MA.At, MB.At),
                        Rule.Operator(MA.Right, MB.Right)};
    Height = std::max({Height, V.Left, V.At, V.Right});
    Values.push_back(V);
  }
  const double Scale = Rule.Normalise && Height > 1.0 ? 1.0 / Height : 1.0;
  IFuzzySet Result = NewInstance();
  Result->SetVariable(FVariable);
  for (size_t I = 0; I < Points.size(); ++I) {
    const double X = Points[I];
    const double Left = Clamp01(Values[I].Left * Scale);
    const double At = Clamp01(Values[I].At * Scale);
    const double Right = Clamp01(Values[I].Right * Scale);
    Result->FX.push_back(X);
    Result->FY.push_back(Left);
    if (At != Left) {
      Result->FX.push_back(X);
      Result->FY.push_back(At);
    }
    if (Right != At) {
      Result->FX.push_back(X);
      Result->FY.push_back(Right);
    }
  }
  if (Rule.DropCollinear) DropCollinearPoints(Result->FX, Result->FY);
  return Result;
}

IFuzzySet TIFuzzySet::Union(const TIFuzzySet& Other) const { return Union(Other, foZadeh); }

IFuzzySet TIFuzzySet::Intersection(const TIFuzzySet& Other) const { return Intersection(Other, foZadeh); }

IFuzzySet TIFuzzySet::Union(const TIFuzzySet& Other, TFuzzyOperation Op) const {
  const TOperationRow& Row = OperationRow(Op);
  return Combine(
      Other, TCombineRule{Row.Union, Row.UnionCurved, Row.CrossesOne, Row.NormaliseUnion, Row.DropCollinear});
}

IFuzzySet TIFuzzySet::Intersection(const TIFuzzySet& Other, TFuzzyOperation Op) const {
  const TOperationRow& Row = OperationRow(Op);
  return Combine(Other, TCombineRule{Row.Intersection, Row.IntersectionCurved, Row.CrossesOne, false,
                                     Row.DropCollinear});
}

IFuzzySet TIFuzzySet::Correlate(double Strength, TFuzzyOperation Op) const {
  OperationRow(Op);  // refuses an unknown ordinal
  const double S = Clamp01(Strength);
  TSortedPoints P(FX, FY);
  const std::vector<double>& PX = P.X();
  const std::vector<double>& PY = P.Y();
  std::vector<double> X, Y;
  X.reserve(PX.size());
  Y.reserve(PY.size());
  for (size_t I = 0; I < PX.size(); ++I) {
    if (Op == foMeanSqr) {
      X.push_back(PX[I]);
      Y.push_back(PY[I] * S);
      continue;
    }
    X.push_back(PX[I]);
    Y.push_back(std::min(PY[I], S));
    if (I + 1 == PX.size() || !(PX[I + 1] > PX[I])) continue;
    const double D0 = PY[I] - S, D1 = PY[I + 1] - S;
    if ((D0 < 0.0 && D1 > 0.0) || (D0 > 0.0 && D1 < 0.0)) {
      const double Cross = PX[I] + D0 / (D0 - D1) * (PX[I + 1] - PX[I]);
      if (Cross > PX[I] && Cross < PX[I + 1]) {
        X.push_back(Cross);
        Y.push_back(S);
      }
    }
  }
  if (X == PX && Y == PY) return Clone();
  IFuzzySet Result = NewInstance();
  Result->SetVariable(FVariable);
  Result->FX = std::move(X);
  Result->FY = std::move(Y);
  return Result;
}

double TIFuzzySet::Iterate(const TIFuzzySet& Other, const TFuzzyOperator& Operator) const {
  TSortedPoints A(FX, FY), B(Other.FX, Other.FY);
  const std::vector<double> Points = EvaluationPoints(A, B);
  if (Points.empty()) return Operator(0.0, 0.0);
  double Result = -HUGE_VAL;
  for (double X : Points) {
    const TMembership MA = Sample(A, X), MB = Sample(B, X);
    Result =
        std::max({Result, Operator(MA.Left, MB.Left), Operator(MA.At, MB.At), Operator(MA.Right, MB.Right)});
  }
  return Result;
}

double TIFuzzySet::FuzzyEquals(const TIFuzzySet& Other) const {
  return Iterate(Other, [](double A, double B) { return std::min(A, B); });
}

bool TIFuzzySet::Equals(const ICloneable* Other) const {
  const auto* Set = dynamic_cast<const TIFuzzySet*>(Other);
  return Set && Set->FX == FX && Set->FY == FY;
}

void TIFuzzySet::Assign(const TPersistent* Source) {
  const auto* Set = dynamic_cast<const TIFuzzySet*>(Source);
  if (!Set) {
    TPersistent::Assign(Source);  // refuses with the assign error
    return;
  }
  if (Set == this) return;
  SetVariable(Set->FVariable);
  FName = Set->FName;
  FExpression = Set->FExpression;
  FX = Set->FX;
  FY = Set->FY;
  FSetType = Set->FSetType;
  FShapeParameters = Set->FShapeParameters;
  FTag = Set->FTag;
  Modified();
}

void TIFuzzySet::Assign(const TRef<ICloneable>& Source) {
  Assign(static_cast<const TPersistent*>(Source.get()));
}

IFuzzySet TIFuzzySet::NewInstance() const {
  TClass Class = ClassType();
  TObject* Instance = Class->Create ? Class->Create(nullptr) : nullptr;
  if (auto* Set = dynamic_cast<TIFuzzySet*>(Instance)) return IFuzzySet(Set);
  delete Instance;
  return MakeRef<TIFuzzySet>();
}

IFuzzySet TIFuzzySet::Clone() const {
  IFuzzySet Result = NewInstance();
  Result->Assign(this);
  return Result;
}

TRef<ICloneable> TIFuzzySet::CloneInterface() const { return Clone(); }

std::string TIFuzzySet::GetShapeText() const {
  const std::vector<double>& P = FShapeParameters;
  switch (FSetType) {
    case fstTriangle:
      return "(tri " + Number(P[0]) + " " + Number(P[1]) + " " + Number(P[2]) + ")";
    case fstZ:
      return "(z " + Number(P[0]) + " " + Number(P[1]) + ")";
    case fstS:
      return "(s " + Number(P[0]) + " " + Number(P[1]) + ")";
    case fstPi:
      return "(pi " + Number(P[0]) + " " + Number(P[1]) + ")";
    case fstBeta:
      return "(beta " + Number(P[0]) + " " + Number(P[1]) + ")";
    case fstPoints:
      break;
  }
  if (FX.empty()) return SFuzzyEmptySet;
  TSortedPoints Points(FX, FY);
  std::string Text = "(";
  for (size_t I = 0; I < Points.X().size(); ++I)
    Text += "(" + Number(Points.X()[I]) + " " + Number(Points.Y()[I]) + ") ";
  return Text + ")";
}

std::string TIFuzzySet::GetToString() const {
  if (!FExpression.empty()) return FExpression;
  if (!FName.empty()) return FName;
  return GetShapeText();
}

// ---------------------------------------------------------------------------------------------------------
// TIFuzzyVariable

TIFuzzyVariable::TIFuzzyVariable(const std::string& Name) : FName(Name) {}

TIFuzzyVariable::~TIFuzzyVariable() {
  // Every set still pointing here, terms held elsewhere included, forgets this variable; the terms are
  // released afterwards with the term list.
  while (FFirstSet) FFirstSet->Unlink();
}

void TIFuzzyVariable::SetFrom(double Value) { SetRange(Value, FTo); }

void TIFuzzyVariable::SetTo(double Value) { SetRange(FFrom, Value); }

void TIFuzzyVariable::SetRange(double From, double To) {
  if (!ValidX(From) || !ValidX(To) || !(From < To)) throw Exception(SInvalidRange);
  if (From == FFrom && To == FTo) return;
  FFrom = From;
  FTo = To;
  Change();
}

void TIFuzzyVariable::SetUnits(const std::string& Value) {
  if (Value == FUnits) return;
  FUnits = Value;
  Change();
}

void TIFuzzyVariable::CheckNewTermName(const std::string& Name) const {
  if (Name.empty()) throw Exception("Fuzzy term needs a name");
  for (const IFuzzySet& Term : FTerms)
    if (Term->GetName() == Name) throw Exception(Format("Fuzzy term %s already exists in %s", {Name, FName}));
}

IFuzzySet TIFuzzyVariable::CreateFuzzySet() { return MakeRef<TIFuzzySet>(this); }

IFuzzySet TIFuzzyVariable::NewFuzzySet(const std::string& Name) {
  CheckNewTermName(Name);
  IFuzzySet Set = CreateFuzzySet();
  Set->SetVariable(this);
  Set->SetName(Name);
  FTerms.push_back(Set);
  Change();
  return Set;
}

void TIFuzzyVariable::AddFuzzySet(const IFuzzySet& Set) {
  if (!Set) throw Exception("Fuzzy term needs a set");
  CheckNewTermName(Set->GetName());
  Set->SetVariable(this);
  FTerms.push_back(Set);
  Change();
}

IFuzzySet TIFuzzyVariable::FindFuzzySet(const std::string& Name) const {
  for (const IFuzzySet& Term : FTerms)
    if (Term->GetName() == Name) return Term;
  if (Name != SFuzzyEmptySet) return nullptr;
  // The registry link is bookkeeping; the variable's definition does not change.
  TIFuzzyVariable* Self = const_cast<TIFuzzyVariable*>(this);
  IFuzzySet Empty = Self->CreateFuzzySet();
  Empty->SetVariable(Self);
  Empty->SetName(SFuzzyEmptySet);
  return Empty;
}

bool TIFuzzyVariable::RemoveFuzzySet(const std::string& Name) {
  auto It = std::find_if(FTerms.begin(), FTerms.end(),
                         [&Name](const IFuzzySet& Term) { return Term->GetName() == Name; });
  if (It == FTerms.end()) return false;
  IFuzzySet Removed = std::move(*It);  // released after the notification
  FTerms.erase(It);
  Change();
  return true;
}

void TIFuzzyVariable::ClearFuzzySets() {
  if (FTerms.empty()) return;
  std::vector<IFuzzySet> Old;
  Old.swap(FTerms);
  Change();
}

IFuzzySet TIFuzzyVariable::GetTerm(int Index) const {
  if (Index < 0 || Index >= GetTermCount()) throw EListError(IndexError(Index));
  return FTerms[static_cast<size_t>(Index)];
}

void TIFuzzyVariable::Assign(const TPersistent* Source) {
  const auto* Variable = dynamic_cast<const TIFuzzyVariable*>(Source);
  if (!Variable) {
    TPersistent::Assign(Source);  // refuses with the assign error
    return;
  }
  if (Variable == this) return;
  std::vector<IFuzzySet> Terms;
  for (const IFuzzySet& Term : Variable->FTerms) {
    IFuzzySet Copy = CreateFuzzySet();
    Copy->Assign(Term.get());
    Copy->SetVariable(this);
    Terms.push_back(std::move(Copy));
  }
  FName = Variable->FName;
  FFrom = Variable->FFrom;
  FTo = Variable->FTo;
  FUnits = Variable->FUnits;
  FThreshold = Variable->FThreshold;
  FTerms.swap(Terms);
  Change();
}

void TIFuzzyVariable::FuzzySetChanged(TIFuzzySet* Set) {
  for (const IFuzzySet& Term : FTerms)
    if (Term.get() == Set) {
      Change();
      return;
    }
}

void TIFuzzyVariable::Change() {
  if (FOnChange) {
    TNotify Handler = FOnChange;  // the handler may replace itself
    Handler(this);
  }
}

std::string TIFuzzyVariable::GetToString() const {
  std::string Text = "(range " + Number(FFrom) + " " + Number(FTo) + ")";
  if (!FUnits.empty()) {
    const bool Quote = std::any_of(FUnits.begin(), FUnits.end(),
                                   [](char C) { return static_cast<unsigned char>(C) <= ' '; });
    Text += " (units " + (Quote ? "\"" + FUnits + "\"" : FUnits) + ")";
  }
  Text += " (values";
  for (const IFuzzySet& Term : FTerms) Text += " (term " + Term->GetName() + " " + Term->GetShapeText() + ")";
  return Text + ")";
}

}  // namespace rulecraft
