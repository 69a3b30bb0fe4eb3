#pragma once
// The fuzzy-set library: fuzzy sets (TIFuzzySet, counted, held through IFuzzySet) over the universe of a
// linguistic variable (TIFuzzyVariable, counted, held through IFuzzyVariable) with named terms, hedges and
// set operations.
//
// A fuzzy set is a piecewise-linear membership function given by points (X, Y) kept sorted by X (stable, so
// several points may share an X: a vertical step). Left of the first point the membership is the first Y,
// right of the last point the last Y; at an X shared by several points it is the largest of their Ys.
//
// Text forms (numbers always with SFuzzyNumberFormat, "%.4f"):
//   shape text (GetShapeText), what a term clause of a variable writes after the term name:
//     - a set built by a standard shape: "(tri A B C)", "(z A B)", "(s A B)", "(pi CENTRE WIDTH)",
//       "(beta CENTRE WIDTH)";
//     - any other set with points: "(" then "(" + "%.4f %.4f" + ") " for every point, then ")", e.g.
//       "((0.0000 1.0000) (10.0000 0.0000) )", the same form the engine writes for a point list;
//     - a set without points: SFuzzyEmptySet.
//   set text (GetToString), what a fuzzy value writes inside a fact: the expression text when there is one
//   (e.g. "very hot"), otherwise the name when the set has one (a term), otherwise the shape text.
//   Each of these names the set again when read back against its variable: a term name or expression by
//   lookup and hedging, a shape by its parameters, a point list by its points (to the 4 printed decimals),
//   SFuzzyEmptySet through FindFuzzySet.
//
// The variable keeps an intrusive registry of every set whose variable pointer refers to it (terms and any
// other set of that variable). A set leaves the registry when it is destroyed or re-pointed; a variable that
// is destroyed sets the pointer of every registered set to nullptr, so a set held elsewhere never dangles.
// Neither side holds a count on the other through this link, so there are no reference cycles. The registry
// is not synchronised: a variable and its sets are used from one thread at a time.
//
// Operations and vocabulary (declared below, each with its formula): the fuzzy operations TFuzzyOperation
// (union, intersection and correlation operators chosen by ordinal), the inference and correlation method
// types with their name tables, and the vocabulary tests that tell a fuzzy expression's words apart (hedges,
// the hedge operator "not", the keywords "and" and "or", and the names of the tables).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rulecraft/collections/Cloneable.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/Ref.h"
#include "rulecraft/framework/TypeInfo.h"

namespace rulecraft {

/// Names of the standard terms a variable may be given automatically.
inline constexpr char SFuzzyTermLow[] = "low";
inline constexpr char SFuzzyTermMedium[] = "medium";
inline constexpr char SFuzzyTermHigh[] = "high";
/// The text of a set without points; also a reserved term name that every variable resolves (FindFuzzySet).
inline constexpr char SFuzzyEmptySet[] = "EMPTY";
/// The format of every number in the text forms of sets and variables.
inline constexpr char SFuzzyNumberFormat[] = "%.4f";

class TIFuzzyVariable;
class TIFuzzySet;
using IFuzzySet = TRef<TIFuzzySet>;
using IFuzzyVariable = TRef<TIFuzzyVariable>;

/// How a set was built; a shaped set keeps its parameters and prints as its shape.
enum TFuzzySetType : uint8_t { fstPoints, fstTriangle, fstZ, fstS, fstPi, fstBeta };

/// A binary operator on membership degrees (min, max, product, ...).
using TFuzzyOperator = std::function<double(double, double)>;

/// The fuzzy operations, chosen by ordinal. Each is at once a union operator, an intersection operator and a
/// correlation operator, so that every ordinal works wherever an operation is asked for. In the formulas a
/// and b are the memberships of the two sets at one X, y the membership of the correlated set and s the
/// strength.
///
///   ordinal  name           union                        intersection                  correlation
///   0        "zadeh"        max(a, b)                    min(a, b)                     clip: min(y, s)
///   1        "mean"         (a + b) / 2                  (a + b) / 2                   clip
///   2        "mean-sqr"     sqrt((a^2 + b^2) / 2)        (a^2 + b^2) / 2               scale: y * s
///   3        "mean-sqrt"    (sqrt(a) + sqrt(b)) / 2      ((sqrt(a) + sqrt(b)) / 2)^2   clip
///   4        "product"      a + b - ab                   ab                            clip
///   5        "bounded-sum"  min(1, a + b)                max(0, a + b - 1)             clip
///   6        "sum"          a + b, normalised            ab                            clip
///   7        "minimum"      max(a, b)                    min(a, b)                     clip
///
/// "mean" averages the two sets whether they are joined or met; "mean-sqr" and "mean-sqrt" average their
/// squares and square roots, which leans a union towards the larger membership and an intersection towards
/// the smaller one. "product" joins by the algebraic sum and meets by the product. "sum" adds the
/// memberships and, when the sum anywhere exceeds 1, divides the whole result by its height (its largest
/// membership), so the result keeps the shape of the sum with height 1; unlike "bounded-sum" it never cuts
/// the sum flat. "minimum" is named after what it does as a correlation operator (the one the engine uses
/// to clip a conclusion), as "mean-sqr" scales; as union and intersection "minimum" acts as "zadeh" does.
/// The identities: union with the empty set (membership 0 everywhere) has the memberships of the set itself
/// under every operation but the three means; so has intersection with the universe (membership 1
/// everywhere), under every operation but the three means.
enum TFuzzyOperation : uint8_t {
  foZadeh,
  foMean,
  foMeanSqr,
  foMeanSqrt,
  foProduct,
  foBoundedSum,
  foSum,
  foMinimum
};
/// The names of the fuzzy operations, by ordinal (the name column above).
inline constexpr const char* const FuzzyOperationNames[] = {"zadeh",   "mean",        "mean-sqr", "mean-sqrt",
                                                            "product", "bounded-sum", "sum",      "minimum"};

/// How fuzzy facts asserted twice are combined, in the engine's order; it maps each onto a TFuzzyOperation.
enum TFuzzyInferenceMethod : uint8_t { fimMinMax, fimSum, fimMean, fimProduct, fimBoundedSum };
inline constexpr const char* const FuzzyInferenceNames[] = {"min-max", "sum", "mean", "product",
                                                            "bounded-sum"};

/// How a fuzzy conclusion is weakened by the strength of its premise: fcmMinimum clips the set at the
/// strength, fcmProduct scales it by the strength.
enum TFuzzyCorrelationMethod : uint8_t { fcmMinimum, fcmProduct };
inline constexpr const char* const FuzzyCorrelationNames[] = {"minimum", "product"};

/// The binary keywords of a fuzzy expression: "and" meets two sets (intersection), "or" joins them (union).
enum TFuzzyKeyword : uint8_t { fkAnd, fkOr };

/// Member names of the enumerations above ("foZadeh", "fimMinMax", "fcmMinimum", "fkAnd", ...).
const TEnumInfo& TFuzzyOperationInfo();
const TEnumInfo& TFuzzyInferenceMethodInfo();
const TEnumInfo& TFuzzyCorrelationMethodInfo();
const TEnumInfo& TFuzzyKeywordInfo();

// Vocabulary tests. Each compares the whole word, case-sensitively ("And", "very " and "" are no match), and
// on a match stores what the word stands for through the optional pointer.
/// A hedge a fuzzy expression writes before a term: every hedge TIFuzzySet::Hedge applies except "not".
bool IsFuzzyHedge(const std::string& Word);
/// A hedge operator: "not", the unary complement 1 - y (applied with TIFuzzySet::Hedge("not")).
bool IsFuzzyHedgeOperator(const std::string& Word);
/// A binary keyword: "and" (intersection) or "or" (union).
bool IsFuzzyKeyword(const std::string& Word, TFuzzyKeyword* Kind = nullptr);
/// A name of FuzzyOperationNames.
bool IsFuzzyOperation(const std::string& Word, TFuzzyOperation* Op = nullptr);
/// A name of FuzzyInferenceNames.
bool IsFuzzyInference(const std::string& Word, TFuzzyInferenceMethod* Method = nullptr);
/// A name of FuzzyCorrelationNames.
bool IsFuzzyCorrelation(const std::string& Word, TFuzzyCorrelationMethod* Method = nullptr);

class TIFuzzySet : public ICloneable {
  RC_CLASS(TIFuzzySet, ICloneable)
 public:
  explicit TIFuzzySet(TIFuzzyVariable* Variable = nullptr, const std::string& Name = "");
  ~TIFuzzySet() override;

  const std::string& GetName() const noexcept { return FName; }
  void SetName(const std::string& Value);
  /// The variable the set belongs to, or nullptr (also after that variable was destroyed).
  TIFuzzyVariable* GetVariable() const noexcept { return FVariable; }
  void SetVariable(TIFuzzyVariable* Value);
  /// The expression the set was made from ("very hot"); empty for a term or a plain point list.
  const std::string& GetExpression() const noexcept { return FExpression; }
  void SetExpression(const std::string& Value);
  TFuzzySetType GetSetType() const noexcept { return FSetType; }
  /// The parameters of a shaped set, in the order of its shape text (tri: 3, the others: 2, points: none).
  std::vector<double> GetShapeParameters() const;

  // Points. X values must be finite and Y values lie in [0, 1] (Exception otherwise). Every change turns a
  // shaped set into a point set. Outside an update each change sorts the points by X (stable) and notifies
  // the variable at once; inside BeginUpdate/EndUpdate that happens once, at the final EndUpdate. Queries
  // made inside an update see the points in the order they were given.
  int GetCount() const noexcept { return static_cast<int>(FX.size()); }
  /// EListError "List index out of bounds (%d)" outside 0..GetCount()-1.
  double GetX(int Index) const;
  double GetY(int Index) const;
  /// Replaces the X values; the Y values are cut or padded with 0 to the same count. Give the X values in
  /// increasing order, or set X and Y inside one update: outside an update the sort happens right here.
  void SetXValues(std::vector<double> Values);
  /// Replaces the Y values; Exception unless there are exactly GetCount() of them.
  void SetYValues(std::vector<double> Values);
  /// Replaces all points at once (Exception unless both lists have the same count).
  void SetPoints(std::vector<double> X, std::vector<double> Y);
  void AddPoint(double X, double Y);
  void Clear();
  /// The X values of the first and the last point; both 0 for an empty set.
  void GetXRange(double& Low, double& High) const;
  void BeginUpdate() noexcept { ++FUpdateCount; }
  /// Leaves one level of update (nothing when there is none); the final one sorts and notifies.
  void EndUpdate();

  /// The membership of X by the rules at the top of this file; 0 for an empty set and for a NaN X.
  double DegreeOfMembership(double X) const;
  /// The centre of gravity of the area under the points (between the first and the last X). When that area
  /// is zero (one X only, or all Y zero): the mean of the X values of the points with the largest Y. 0 for an
  /// empty set.
  double CrispValue() const;

  // Defuzzification: the crisp number a fuzzy conclusion stands for, and how far that number can be trusted.
  // Points are taken in X order; the membership function is the piecewise-linear curve through them.
  /// Moment (centre of gravity): sum over segments of width w = x2 - x1 of
  /// w (x1 (2 y1 + y2) + x2 (y1 + 2 y2)) / 6, divided by the area, the sum of w (y1 + y2) / 2. This is
  /// CrispValue: for area 0 the mean of the X of the points with the largest Y; 0 for an empty set.
  double MomentDefuzzify() const { return CrispValue(); }
  /// Mean of maxima: with h the largest Y, the X where the membership is h form intervals (two consecutive
  /// points both at h, of positive width) and isolated points (points at h on no such interval). With at
  /// least one interval, the result is the mean of the intervals' midpoints weighted by their widths (the
  /// middle of a single plateau); otherwise the mean of the isolated points' X. 0 for an empty set.
  double MaximumDefuzzify() const;
  /// True when no crisp value stands for the set: it is empty, or the area under its points is 0 (a single
  /// X, or every Y 0).
  bool IsUndecidable() const;
  /// The membership at the moment-defuzzified X, in [0, 1]: how well the crisp answer fits the fuzzy
  /// conclusion (1 at a symmetric peak, lower for a wide or two-humped set). 0 for an empty set.
  double CompatibilityIndex() const;

  // Standard shapes: each replaces the points, remembers its parameters and notifies like any change.
  // Parameters must be finite (Exception otherwise).
  /// Triangle: points (A,0) (B,1) (C,0), the parameters taken in increasing order. A parameter equal to its
  /// neighbour makes a vertical step there (A = B: (A,0) (A,1) (C,0)); A = B = C is a crisp value: the
  /// spike (A,0) (A,1) (A,0), membership 1 at A only.
  void SetTriangle(double A, double B, double C);
  /// Falling edge (A,1) (B,0); A and B taken in increasing order.
  void SetZ(double A, double B);
  /// Rising edge (A,0) (B,1); A and B taken in increasing order.
  void SetS(double A, double B);
  /// Bell with core Centre and support Centre +- Width (Width >= 0): the smooth quadratic S rise from
  /// Centre - Width to Centre and the mirrored fall, sampled at quarter widths (9 points, exact there).
  /// Width 0 is the crisp value Centre.
  void SetPi(double Centre, double Width);
  /// Bell 1 / (1 + ((x - Centre) / Width)^2) (Width > 0): membership 0.5 at Centre +- Width. Sampled at
  /// half widths out to 4 widths from the centre and cut to 0 beyond (a vertical step at each end).
  void SetBeta(double Centre, double Width);

  /// Applies a hedge in place to the Y values. Known hedges:
  ///   "very" y^2, "extremely" y^3, "more-or-less" y^(1/2), "somewhat" y^(1/3), "not" 1 - y,
  ///   "slightly": (y and not very y) normalised, min(y, 1 - y^2) divided by its largest value: the set's
  ///   edges, where membership is about 0.62, become the core and the old core drops to 0;
  ///   "plus" y^1.25 (a milder "very"), "minus" y^0.75 (a milder "more-or-less");
  ///   "norm" y / h with h the largest Y (the height), so the set reaches 1; nothing when h is 0;
  ///   "intensify" (contrast intensification) 2y^2 for y <= 0.5, else 1 - 2(1 - y)^2.
  /// Non-linear hedges (all but "not" and "norm") first refine every sloped segment to steps of at most 1/32
  /// of the X range, so the curve is followed between the original points. The expression becomes "<hedge>
  /// <base>" where base is the expression, else the name (an expression of more than hedges and one word is
  /// bracketed: "very [hot or cold]"); a set with neither keeps an empty expression and prints its points.
  /// Exception "Unknown hedge: %s" for any other name.
  void Hedge(const std::string& Name);

  /// The evaluation points of two sets: the X values of both and the crossings of their segments.
  /// Combine builds a new set with Operator(mu1, mu2) at each of them (clamped to [0, 1]; at a vertical
  /// step the left, at-point and right memberships are combined separately). Exact for min and max; other
  /// operators are followed only at those points. The result belongs to this set's variable, has no name
  /// and is of this set's class. Two empty sets give an empty set.
  IFuzzySet Combine(const TIFuzzySet& Other, const TFuzzyOperator& Operator) const;
  /// Pointwise max (the union of foZadeh).
  IFuzzySet Union(const TIFuzzySet& Other) const;
  /// Pointwise min (the intersection of foZadeh).
  IFuzzySet Intersection(const TIFuzzySet& Other) const;
  /// The union under a fuzzy operation (the union column of TFuzzyOperation), built like Combine and exact at
  /// its evaluation points. The result follows the operation between them too: "bounded" adds the X values
  /// where a + b crosses 1 (exact everywhere, as are max/min, "mean" and "sum"), and the curved operations
  /// ("product", "einstein", "algebraic", and the intersection of "sum") refine every span where either set
  /// slopes to steps of at most 1/32 of the X range of both sets. Under every operation but "min-max" and
  /// "minimum" (which give exactly what the one-argument forms give) a point lying on the line through its
  /// neighbours is left out, so a set combined again and again does not gather points. Exception
  /// "Unknown fuzzy operation: %d" for an ordinal outside the enumeration.
  IFuzzySet Union(const TIFuzzySet& Other, TFuzzyOperation Op) const;
  /// The intersection under a fuzzy operation (the intersection column of TFuzzyOperation); as Union.
  IFuzzySet Intersection(const TIFuzzySet& Other, TFuzzyOperation Op) const;
  /// The correlation of this set with a strength (clamped to [0, 1]; NaN counts as 0) under a fuzzy operation
  /// (the correlation column of TFuzzyOperation): foMeanSqr scales every Y by the strength, every other
  /// operation clips the set at the strength, min(y, s), adding the X values where a slope crosses s, so the
  /// result is exact everywhere. A new set: when its points come out the same as this set's (strength 1, or
  /// a set nowhere above a clipping strength) it is a Clone, name and shape included; otherwise a point set
  /// without name or expression, of this set's variable and class. The same exception as Union.
  IFuzzySet Correlate(double Strength, TFuzzyOperation Op) const;
  /// The largest Operator(mu1, mu2) over the evaluation points (left, at-point and right memberships);
  /// Operator(0, 0) for two empty sets.
  double Iterate(const TIFuzzySet& Other, const TFuzzyOperator& Operator) const;
  /// The height of the intersection: max over x of min(mu1, mu2).
  virtual double FuzzyEquals(const TIFuzzySet& Other) const;

  /// True when Other is a fuzzy set with exactly the same points (names and expressions do not count).
  bool Equals(const ICloneable* Other) const override;

  /// From another fuzzy set: everything but the reference count (variable link, name, expression, shape,
  /// points, tag). Anything else raises EConvertError through the framework's Assign.
  void Assign(const TPersistent* Source) override;
  void Assign(const TRef<ICloneable>& Source) override;
  IFuzzySet Clone() const;
  TRef<ICloneable> CloneInterface() const override;
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  std::string GetShapeText() const;
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }

 protected:
  /// A new empty set of this set's class (for Clone and the set operations). By default created from the
  /// class information, so a descendant that declares RC_CLASS and is default-constructible needs nothing.
  virtual IFuzzySet NewInstance() const;
  /// Called after every change outside an update (and at the final EndUpdate): sorts, tells the variable.
  virtual void Changed();

 private:
  friend class TIFuzzyVariable;

  /// After a change: Changed() at once outside an update, at the final EndUpdate inside one.
  void Modified();
  struct TCombineRule;
  IFuzzySet Combine(const TIFuzzySet& Other, const TCombineRule& Rule) const;
  void SetShape(TFuzzySetType Type, std::vector<double> Parameters, std::vector<double> X,
                std::vector<double> Y);
  void Link(TIFuzzyVariable* Variable);
  void Unlink();

  std::string FName;
  std::string FExpression;
  TIFuzzyVariable* FVariable = nullptr;
  TIFuzzySet* FPrevInVariable = nullptr;  // the variable's registry of its sets
  TIFuzzySet* FNextInVariable = nullptr;
  std::vector<double> FX;
  std::vector<double> FY;
  TFuzzySetType FSetType = fstPoints;
  std::vector<double> FShapeParameters;
  int FUpdateCount = 0;
  int32_t FTag = 0;
};

/// A linguistic variable: a universe of discourse [From, To] with units and an ordered list of named terms.
/// Counted: the defined types that use it hold it through IFuzzyVariable (its sets only point back). Notifies
/// OnChange when its definition changes: the universe, the units, a term added or removed, or a change of a
/// term (its points, name or expression). The equality threshold is a comparison setting and does not notify.
class TIFuzzyVariable : public TInterfacedObject {
  RC_CLASS(TIFuzzyVariable, TInterfacedObject)
 public:
  using TNotify = std::function<void(TIFuzzyVariable*)>;

  /// A variable over the universe [0, 1] without units and terms, threshold 0.01.
  explicit TIFuzzyVariable(const std::string& Name = "");
  ~TIFuzzyVariable() override;

  const std::string& GetName() const noexcept { return FName; }
  void SetName(const std::string& Value) { FName = Value; }

  double GetFrom() const noexcept { return FFrom; }
  double GetTo() const noexcept { return FTo; }
  const std::string& GetUnits() const noexcept { return FUnits; }
  /// Each bound must stay finite with From < To, else Exception
  /// "Invalid fuzzy variable range: lower limit must be below upper limit" (nothing changes). To move both
  /// bounds past each other, use SetRange.
  void SetFrom(double Value);
  void SetTo(double Value);
  void SetRange(double From, double To);
  void SetUnits(const std::string& Value);

  double GetThreshold() const noexcept { return FThreshold; }
  void SetThreshold(double Value) noexcept { FThreshold = Value; }

  const TNotify& GetOnChange() const noexcept { return FOnChange; }
  void SetOnChange(TNotify Value) { FOnChange = std::move(Value); }

  /// Creates a set through CreateFuzzySet, names it and appends it as a term. Exception
  /// "Fuzzy term %s already exists in %s" when a term of that name exists, "Fuzzy term needs a name" for "".
  virtual IFuzzySet NewFuzzySet(const std::string& Name);
  /// Appends an existing set as a term, pointing it at this variable (add a clone of a term of another
  /// variable). The same errors as NewFuzzySet on its name.
  void AddFuzzySet(const IFuzzySet& Set);
  /// The term of that name (case-sensitive), or nullptr. SFuzzyEmptySet, when no term has that name,
  /// resolves to a new empty set of this variable so named.
  IFuzzySet FindFuzzySet(const std::string& Name) const;
  /// Removes the term of that name; false when there is none. The set keeps pointing at this variable.
  bool RemoveFuzzySet(const std::string& Name);
  void ClearFuzzySets();
  int GetTermCount() const noexcept { return static_cast<int>(FTerms.size()); }
  /// EListError "List index out of bounds (%d)" outside 0..GetTermCount()-1.
  IFuzzySet GetTerm(int Index) const;

  /// From another variable: name, universe, units, threshold, and a clone of every term (made through this
  /// variable's CreateFuzzySet, so of this variable's set class). OnChange is not copied.
  void Assign(const TPersistent* Source) override;

  /// The body as the engine writes it, on one line:
  /// "(range FROM TO) (units U) (values (term NAME SHAPE) ...)"; the units clause only with units, quoted
  /// when they contain a blank or control character.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }

 protected:
  /// The factory of every set this variable makes; a descendant returns its own set class.
  virtual IFuzzySet CreateFuzzySet();
  /// Told by a set of this variable that it changed; notifies when the set is a term.
  virtual void FuzzySetChanged(TIFuzzySet* Set);
  /// Fires OnChange.
  virtual void Change();

 private:
  friend class TIFuzzySet;

  void CheckNewTermName(const std::string& Name) const;

  std::string FName;
  double FFrom = 0.0;
  double FTo = 1.0;
  std::string FUnits;
  double FThreshold = 0.01;
  std::vector<IFuzzySet> FTerms;
  TNotify FOnChange;
  mutable TIFuzzySet* FFirstSet = nullptr;  // head of the registry of sets pointing here (bookkeeping only)
};

}  // namespace rulecraft
