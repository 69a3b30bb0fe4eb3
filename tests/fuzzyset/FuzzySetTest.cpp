#include "rulecraft/fuzzyset/FuzzySet.h"

#include <gtest/gtest.h>

#include "FuzzySets.h"

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/framework/Exception.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

// A descendant as the engine will write one: its variable creates sets of its own class.
class TTestSet : public TIFuzzySet {
  RC_CLASS(TTestSet, TIFuzzySet)
 public:
  using TIFuzzySet::TIFuzzySet;
};

class TTestVariable : public TIFuzzyVariable {
  RC_CLASS(TTestVariable, TIFuzzyVariable)
 public:
  using TIFuzzyVariable::TIFuzzyVariable;

 protected:
  IFuzzySet CreateFuzzySet() override { return IFuzzySet(MakeRef<TTestSet>(this)); }
};

}  // namespace

TEST(FuzzySetTest, MembershipInterpolatesAndExtendsFlat) {
  IFuzzySet Set = Points({0, 10, 20}, {0.2, 1, 0.6});
  EXPECT_DOUBLE_EQ(Set->DegreeOfMembership(0), 0.2);
  EXPECT_DOUBLE_EQ(Set->DegreeOfMembership(10), 1.0);
  EXPECT_DOUBLE_EQ(Set->DegreeOfMembership(5), 0.6);
  EXPECT_DOUBLE_EQ(Set->DegreeOfMembership(15), 0.8);
  EXPECT_DOUBLE_EQ(Set->DegreeOfMembership(-1e9), 0.2);
  EXPECT_DOUBLE_EQ(Set->DegreeOfMembership(1e9), 0.6);
  EXPECT_EQ(Set->DegreeOfMembership(NAN), 0.0);
  EXPECT_EQ(MakeRef<TIFuzzySet>()->DegreeOfMembership(3), 0.0);
  EXPECT_DOUBLE_EQ(Points({4}, {0.7})->DegreeOfMembership(-4), 0.7);  // one point: constant
}

TEST(FuzzySetTest, VerticalStepsTakeTheLargerY) {
  IFuzzySet Up = Points({0, 5, 5, 10}, {0, 0, 1, 1});
  EXPECT_EQ(Up->DegreeOfMembership(5), 1.0);
  EXPECT_EQ(Up->DegreeOfMembership(4.999), 0.0);
  IFuzzySet Down = Points({0, 5, 5, 10}, {1, 1, 0, 0});
  EXPECT_EQ(Down->DegreeOfMembership(5), 1.0);
  EXPECT_EQ(Down->DegreeOfMembership(5.001), 0.0);
  IFuzzySet Crisp = Triangle(3, 3, 3);  // a spike: 1 at 3 only
  EXPECT_EQ(Crisp->GetCount(), 3);
  EXPECT_EQ(Crisp->DegreeOfMembership(3), 1.0);
  EXPECT_EQ(Crisp->DegreeOfMembership(2.999), 0.0);
  EXPECT_EQ(Crisp->DegreeOfMembership(3.001), 0.0);
  IFuzzySet LeftStep = Triangle(2, 2, 6);  // (2,0) (2,1) (6,0)
  EXPECT_EQ(LeftStep->DegreeOfMembership(1), 0.0);
  EXPECT_EQ(LeftStep->DegreeOfMembership(2), 1.0);
  EXPECT_DOUBLE_EQ(LeftStep->DegreeOfMembership(4), 0.5);
}

TEST(FuzzySetTest, CrispValueIsCentreOfGravity) {
  EXPECT_DOUBLE_EQ(Triangle(0, 5, 10)->CrispValue(), 5.0);
  EXPECT_DOUBLE_EQ(Triangle(0, 0, 3)->CrispValue(), 1.0);  // right triangle: a third of the base
  EXPECT_DOUBLE_EQ(Points({0, 2, 4}, {1, 1, 0})->CrispValue(), (2 * 1 + 1 * (2 + 2.0 / 3)) / 3);
  EXPECT_DOUBLE_EQ(Triangle(4, 4, 4)->CrispValue(), 4.0);
  EXPECT_DOUBLE_EQ(Points({1, 3}, {0, 0})->CrispValue(), 2.0);                 // no area, all Y zero
  EXPECT_DOUBLE_EQ(Points({1, 2, 7}, {0.5, 0, 0.5})->CrispValue(), 14.0 / 3);  // area, not maxima
  EXPECT_DOUBLE_EQ(Points({6, 6}, {0.4, 0.9})->CrispValue(), 6.0);
  EXPECT_EQ(MakeRef<TIFuzzySet>()->CrispValue(), 0.0);
}

TEST(FuzzySetTest, UpdateSortsStablyOnceAtTheEnd) {
  TIFuzzyVariable Variable("v");
  int Changes = 0;
  Variable.SetOnChange([&Changes](TIFuzzyVariable*) { ++Changes; });
  IFuzzySet Set = Variable.NewFuzzySet("t");
  Changes = 0;
  Set->BeginUpdate();
  Set->BeginUpdate();
  Set->SetXValues({3, 5, 1, 5});
  Set->SetYValues({0.3, 1, 0.1, 0.5});
  EXPECT_EQ(Set->GetX(0), 3.0);                       // stored as given until the end
  EXPECT_DOUBLE_EQ(Set->DegreeOfMembership(2), 0.2);  // but computed in X order
  Set->EndUpdate();
  EXPECT_EQ(Changes, 0);
  Set->EndUpdate();
  EXPECT_EQ(Changes, 1);
  Set->EndUpdate();  // unbalanced: nothing
  EXPECT_EQ(Changes, 1);
  const std::vector<double> X{1, 3, 5, 5}, Y{0.1, 0.3, 1, 0.5};
  for (int I = 0; I < 4; ++I) {
    EXPECT_EQ(Set->GetX(I), X[static_cast<size_t>(I)]);
    EXPECT_EQ(Set->GetY(I), Y[static_cast<size_t>(I)]);
  }
  IFuzzySet Steps = MakeRef<TIFuzzySet>();  // enough points to defeat an unstable sort
  Steps->BeginUpdate();
  for (int K = 40; K > 0; --K) {
    Steps->AddPoint(K % 7, 0.25);
    Steps->AddPoint(K % 7, 0.75);
  }
  Steps->EndUpdate();
  for (int I = 0; I < Steps->GetCount(); I += 2) {
    EXPECT_EQ(Steps->GetY(I), 0.25);
    EXPECT_EQ(Steps->GetY(I + 1), 0.75);
  }
  Set->AddPoint(0, 0);  // outside an update: sorted and notified at once
  EXPECT_EQ(Set->GetX(0), 0.0);
  EXPECT_EQ(Changes, 2);
  double Low, High;
  Set->GetXRange(Low, High);
  EXPECT_EQ(Low, 0.0);
  EXPECT_EQ(High, 5.0);
  EXPECT_THROW(Set->GetX(5), EListError);
  EXPECT_THROW(Set->GetY(-1), EListError);
  EXPECT_EQ(ErrorOf([&] { Set->SetYValues({1}); }), "Fuzzy set needs 5 Y values, 1 given");
  EXPECT_THROW(Set->AddPoint(1, 1.5), Exception);
  EXPECT_THROW(Set->AddPoint(INFINITY, 1), Exception);
  EXPECT_EQ(Set->GetCount(), 5);
}

TEST(FuzzySetTest, UnionIntersectionAndFuzzyEqualsOfOverlappingTriangles) {
  IFuzzySet A = Triangle(0, 10, 20), B = Triangle(10, 20, 30);
  IFuzzySet Meet = A->Intersection(*B);
  EXPECT_DOUBLE_EQ(Meet->DegreeOfMembership(15), 0.5);  // the crossing is a point of the result
  EXPECT_DOUBLE_EQ(Meet->DegreeOfMembership(12.5), 0.25);
  EXPECT_EQ(Meet->DegreeOfMembership(10), 0.0);
  EXPECT_EQ(Meet->DegreeOfMembership(25), 0.0);
  IFuzzySet Join = A->Union(*B);
  EXPECT_DOUBLE_EQ(Join->DegreeOfMembership(15), 0.5);
  EXPECT_EQ(Join->DegreeOfMembership(10), 1.0);
  EXPECT_DOUBLE_EQ(Join->DegreeOfMembership(25), 0.5);
  EXPECT_DOUBLE_EQ(A->FuzzyEquals(*B), 0.5);
  EXPECT_DOUBLE_EQ(B->FuzzyEquals(*A), 0.5);
  EXPECT_EQ(A->FuzzyEquals(*Triangle(30, 40, 50)), 0.0);
  EXPECT_EQ(A->FuzzyEquals(*A), 1.0);
  EXPECT_TRUE(A->Union(*A)->Equals(A.get()));
  EXPECT_DOUBLE_EQ(A->Iterate(*B, [](double X, double Y) { return X * Y; }), 0.25);
  EXPECT_EQ(MakeRef<TIFuzzySet>()->Iterate(TIFuzzySet(), [](double, double) { return 0.3; }), 0.3);
  // Steps facing each other touch at one X: the intersection is the spike there.
  IFuzzySet Up = Points({5, 5, 10}, {0, 1, 1}), Down = Points({0, 5, 5}, {1, 1, 0});
  IFuzzySet Spike = Up->Intersection(*Down);
  EXPECT_EQ(Spike->DegreeOfMembership(5), 1.0);
  EXPECT_EQ(Spike->DegreeOfMembership(4.9), 0.0);
  EXPECT_EQ(Spike->DegreeOfMembership(5.1), 0.0);
  EXPECT_TRUE(Up->Union(*Down)->Equals(Points({0, 5, 10}, {1, 1, 1}).get()));
}

TEST(FuzzySetTest, Hedges) {
  TIFuzzyVariable Variable("t");
  IFuzzySet Hot = Variable.NewFuzzySet("hot");
  Hot->SetS(0, 10);
  auto Hedged = [&Hot](const std::string& Name) {
    IFuzzySet Set = Hot->Clone();
    Set->Hedge(Name);
    return Set;
  };
  EXPECT_DOUBLE_EQ(Hedged("very")->DegreeOfMembership(5), 0.25);  // followed between the points
  EXPECT_DOUBLE_EQ(Hedged("extremely")->DegreeOfMembership(5), 0.125);
  EXPECT_DOUBLE_EQ(Hedged("more-or-less")->DegreeOfMembership(2.5), 0.5);
  EXPECT_DOUBLE_EQ(Hedged("somewhat")->DegreeOfMembership(1.25), 0.5);
  EXPECT_DOUBLE_EQ(Hedged("not")->DegreeOfMembership(2), 0.8);
  EXPECT_EQ(Hedged("not")->GetCount(), 2);  // linear: no refinement
  IFuzzySet Slightly = Hedged("slightly");
  EXPECT_EQ(Slightly->DegreeOfMembership(10), 0.0);
  EXPECT_EQ(Slightly->DegreeOfMembership(0), 0.0);
  EXPECT_GT(Slightly->DegreeOfMembership(6.25), 0.99);  // y = 0.625, near the golden crossing
  EXPECT_EQ(Hot->DegreeOfMembership(5), 0.5);           // the term itself is untouched
  EXPECT_EQ(ErrorOf([&] { Hot->Hedge("awfully"); }), "Unknown hedge: awfully");

  IFuzzySet Expr = Hedged("very");
  EXPECT_EQ(Expr->GetToString(), "very hot");
  Expr->Hedge("not");
  EXPECT_EQ(Expr->GetToString(), "not very hot");
  Expr->SetExpression("hot or cold");
  Expr->Hedge("very");
  EXPECT_EQ(Expr->GetToString(), "very [hot or cold]");
  IFuzzySet Anonymous = Triangle(0, 1, 2);
  Anonymous->Hedge("not");
  EXPECT_EQ(Anonymous->GetExpression(), "");
  EXPECT_EQ(Anonymous->GetToString(), "((0.0000 1.0000) (1.0000 0.0000) (2.0000 1.0000) )");
}

TEST(FuzzySetTest, AssignCloneAndEquality) {
  TIFuzzyVariable Variable("v");
  IFuzzySet Term = Variable.NewFuzzySet("warm");
  Term->SetTriangle(1, 2, 3);
  Term->SetTag(7);
  IFuzzySet Copy = Term->Clone();
  EXPECT_EQ(Copy->GetVariable(), &Variable);
  EXPECT_EQ(Copy->GetName(), "warm");
  EXPECT_EQ(Copy->GetTag(), 7);
  EXPECT_EQ(Copy->GetShapeText(), "(tri 1.0000 2.0000 3.0000)");
  EXPECT_TRUE(Copy->Equals(Term.get()));
  Copy->AddPoint(4, 0);
  EXPECT_FALSE(Copy->Equals(Term.get()));
  EXPECT_EQ(Term->GetCount(), 3);
  EXPECT_EQ(Variable.GetTermCount(), 1);  // a clone is not a term
  EXPECT_FALSE(Term->Equals(nullptr));
  IFuzzySet Renamed = Points({1, 2, 3}, {0, 1, 0});
  Renamed->SetName("other");
  EXPECT_TRUE(Renamed->Equals(Term.get()));  // points only
  EXPECT_TRUE(Term->CloneInterface()->Equals(Term.get()));

  IFuzzySet Target = MakeRef<TIFuzzySet>();
  Target->Assign(ICloneableRef(Term));
  EXPECT_TRUE(Target->Equals(Term.get()));
  EXPECT_EQ(Target->GetVariable(), &Variable);
  EXPECT_EQ(ErrorOf([&] { Target->Assign(&Variable); }), "Cannot assign a TIFuzzyVariable to a TIFuzzySet");
  EXPECT_THROW(Target->Assign(ICloneableRef()), EConvertError);
  EXPECT_EQ(Target->GetCount(), 3);
}

TEST(FuzzySetTest, TextForms) {
  EXPECT_EQ(MakeRef<TIFuzzySet>()->GetToString(), SFuzzyEmptySet);
  EXPECT_EQ(Points({0, 10}, {1, 0})->GetToString(), "((0.0000 1.0000) (10.0000 0.0000) )");
  EXPECT_EQ(Triangle(10, 5, 20)->GetToString(), "(tri 5.0000 10.0000 20.0000)");
  IFuzzySet Set = MakeRef<TIFuzzySet>();
  Set->SetZ(4, -1.5);
  EXPECT_EQ(Set->GetToString(), "(z -1.5000 4.0000)");
  EXPECT_EQ(Set->DegreeOfMembership(-2), 1.0);
  Set->SetS(0, 1);
  EXPECT_EQ(Set->GetToString(), "(s 0.0000 1.0000)");
  Set->SetPi(50, 10);
  EXPECT_EQ(Set->GetToString(), "(pi 50.0000 10.0000)");
  EXPECT_EQ(Set->DegreeOfMembership(50), 1.0);
  EXPECT_DOUBLE_EQ(Set->DegreeOfMembership(45), 0.5);
  EXPECT_EQ(Set->DegreeOfMembership(61), 0.0);
  Set->SetBeta(50, 10);
  EXPECT_EQ(Set->GetToString(), "(beta 50.0000 10.0000)");
  EXPECT_DOUBLE_EQ(Set->DegreeOfMembership(60), 0.5);
  EXPECT_EQ(Set->DegreeOfMembership(91), 0.0);
  EXPECT_THROW(Set->SetPi(0, -1), Exception);
  Set->AddPoint(0, 0);  // any point change forgets the shape
  EXPECT_EQ(Set->GetSetType(), fstPoints);
  Set->Clear();
  Set->SetName("cold");
  EXPECT_EQ(Set->GetToString(), "cold");
  EXPECT_EQ(Set->GetShapeText(), SFuzzyEmptySet);
  Set->SetExpression("very cold");
  EXPECT_EQ(Set->GetToString(), "very cold");

  TIFuzzyVariable Variable("temp");
  Variable.SetRange(-10, 40);
  EXPECT_EQ(Variable.GetToString(), "(range -10.0000 40.0000) (values)");
  Variable.SetUnits("deg C");
  Variable.NewFuzzySet("cold")->SetZ(0, 10);
  Variable.NewFuzzySet("hot")->SetPoints({20, 30}, {0, 1});
  EXPECT_EQ(Variable.ToString(),
            "(range -10.0000 40.0000) (units \"deg C\") (values (term cold (z 0.0000 10.0000)) "
            "(term hot ((20.0000 0.0000) (30.0000 1.0000) )))");
  Variable.SetUnits("C");
  EXPECT_NE(Variable.GetToString().find("(units C)"), std::string::npos);
}

TEST(FuzzySetTest, VariableDestructionClearsBackPointers) {
  IFuzzySet Kept, Middle, Moved;
  auto Other = std::make_unique<TIFuzzyVariable>("other");
  {
    auto Variable = std::make_unique<TIFuzzyVariable>("v");
    Kept = Variable->NewFuzzySet("kept");
    IFuzzySet Loose = MakeRef<TIFuzzySet>(Variable.get());
    Middle = MakeRef<TIFuzzySet>(Variable.get());
    Moved = MakeRef<TIFuzzySet>(Variable.get());
    Moved->SetVariable(Other.get());
    Loose = nullptr;  // leaves the registry from its middle
    Variable.reset();
  }
  EXPECT_EQ(Kept->GetVariable(), nullptr);
  EXPECT_EQ(Middle->GetVariable(), nullptr);
  EXPECT_EQ(Moved->GetVariable(), Other.get());
  Kept->AddPoint(1, 1);  // no notification through a dead variable
  Other.reset();
  EXPECT_EQ(Moved->GetVariable(), nullptr);
}

TEST(FuzzySetTest, TermsAndNotifications) {
  TTestVariable Variable("speed");
  int Changes = 0;
  Variable.SetOnChange([&Changes](TIFuzzyVariable*) { ++Changes; });
  IFuzzySet Low = Variable.NewFuzzySet(SFuzzyTermLow);
  Variable.NewFuzzySet(SFuzzyTermMedium)->SetTriangle(0, 0.5, 1);
  EXPECT_EQ(Changes, 3);  // two additions, one change of a term
  EXPECT_NE(dynamic_cast<TTestSet*>(Low.get()), nullptr);
  EXPECT_NE(dynamic_cast<TTestSet*>(Low->Clone().get()), nullptr);
  EXPECT_NE(dynamic_cast<TTestSet*>(Low->Union(*Low).get()), nullptr);
  EXPECT_EQ(Variable.FindFuzzySet("low"), Low);
  EXPECT_EQ(Variable.FindFuzzySet("Low"), nullptr);
  EXPECT_EQ(ErrorOf([&] { Variable.NewFuzzySet("low"); }), "Fuzzy term low already exists in speed");
  EXPECT_THROW(Variable.NewFuzzySet(""), Exception);
  IFuzzySet Empty = Variable.FindFuzzySet(SFuzzyEmptySet);
  ASSERT_NE(Empty, nullptr);
  EXPECT_EQ(Empty->GetCount(), 0);
  EXPECT_EQ(Empty->GetVariable(), &Variable);
  EXPECT_EQ(Variable.GetTermCount(), 2);

  IFuzzySet High = Points({0, 1}, {0, 1});
  High->SetName(SFuzzyTermHigh);
  Variable.AddFuzzySet(High);
  EXPECT_EQ(High->GetVariable(), &Variable);
  EXPECT_EQ(Variable.GetTerm(2), High);
  EXPECT_THROW(Variable.GetTerm(3), EListError);
  Changes = 0;
  Low->Clone()->AddPoint(0, 1);  // not a term: no notification
  EXPECT_EQ(Changes, 0);
  EXPECT_TRUE(Variable.RemoveFuzzySet("medium"));
  EXPECT_FALSE(Variable.RemoveFuzzySet("medium"));
  EXPECT_EQ(Variable.GetTerm(1), High);
  EXPECT_EQ(Changes, 1);

  TIFuzzyVariable Copy;
  Copy.Assign(&Variable);
  EXPECT_EQ(Copy.GetTermCount(), 2);
  EXPECT_NE(Copy.GetTerm(1), High);
  EXPECT_EQ(Copy.GetTerm(1)->GetVariable(), &Copy);
  EXPECT_EQ(Copy.GetToString(), Variable.GetToString());

  Variable.ClearFuzzySets();
  EXPECT_EQ(Variable.GetTermCount(), 0);
  EXPECT_EQ(Low->GetVariable(), &Variable);  // removed terms keep their variable
  EXPECT_EQ(Variable.GetThreshold(), 0.01);
}

TEST(FuzzySetTest, UniverseMustStayOrdered) {
  TIFuzzyVariable Variable;
  EXPECT_EQ(Variable.GetFrom(), 0.0);
  EXPECT_EQ(Variable.GetTo(), 1.0);
  EXPECT_EQ(ErrorOf([&] { Variable.SetFrom(1); }),
            "Invalid fuzzy variable range: lower limit must be below upper limit");
  EXPECT_THROW(Variable.SetTo(-1), Exception);
  EXPECT_THROW(Variable.SetRange(0, NAN), Exception);
  Variable.SetRange(200, 300);
  Variable.SetFrom(250);
  EXPECT_EQ(Variable.GetFrom(), 250.0);
  EXPECT_EQ(Variable.GetTo(), 300.0);
}
