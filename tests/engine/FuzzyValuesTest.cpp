// Fuzzy values in an engine: fuzzy deftypes and their automatic terms, the equality threshold, fuzzy
// expressions and their errors, fuzzy slot values in facts, the written form read back, and the chart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rulecraft/core/IEFuzzy.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/Facts.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/types/DefinedType.h"

using namespace rulecraft;

namespace {

constexpr char TempType[] =
    "(deftype temp extends (type FUZZY) (range 0 100) (units C)"
    "  (values (term cold ((0 1) (10 0))) (term hot ((50 0) (100 1)))))";

class FuzzyValues : public ::testing::Test {
 protected:
  void SetUp() override {
    Engine.OnPrintOut = [this](TObject*, const std::string&, const std::string& Text) { Output += Text; };
  }
  TIFuzzyVariable* Variable(const std::string& Type) {
    const IIEDefinedType Found = Engine.FindDefinedType(Type);
    return Found ? Found->GetFuzzyType().get() : nullptr;
  }
  std::string ErrorOf(const std::string& Text) {
    try {
      Engine.Parse(Text, true);
    } catch (const Exception& E) {
      return E.Message();
    }
    return "no error";
  }
  std::string EvalError(TIFuzzyVariable* Of, const std::string& Text) {
    try {
      Engine.EvalFuzzyExpression(Of, Text);
    } catch (const Exception& E) {
      return E.Message();
    }
    return "no error";
  }
  IFuzzySet Eval(const std::string& Text) { return Engine.EvalFuzzyExpression(Variable("temp"), Text); }
  std::vector<std::string> TermNames(const std::string& Type) {
    std::vector<std::string> Names;
    for (int I = 0; I < Variable(Type)->GetTermCount(); ++I)
      Names.push_back(Variable(Type)->GetTerm(I)->GetName());
    return Names;
  }

  TInferenceEngine Engine;
  std::string Output;
};

TEST_F(FuzzyValues, DeftypeReadsTheVariableAndAddsOnlyMissingStandardTerms) {
  Engine.Parse(TempType, true);
  TIFuzzyVariable* Temp = Variable("temp");
  ASSERT_NE(Temp, nullptr);
  EXPECT_EQ(Temp->GetName(), "temp");
  EXPECT_EQ(Temp->GetFrom(), 0.0);
  EXPECT_EQ(Temp->GetTo(), 100.0);
  EXPECT_EQ(Temp->GetUnits(), "C");
  EXPECT_EQ(Engine.FindDefinedType("temp")->GetUnits(), "C");
  EXPECT_EQ(TermNames("temp"), (std::vector<std::string>{"cold", "hot", "low", "medium", "high"}));
  EXPECT_NE(dynamic_cast<TIEFuzzySet*>(Temp->FindFuzzySet("hot").get()), nullptr);
  EXPECT_DOUBLE_EQ(Temp->FindFuzzySet("low")->DegreeOfMembership(25), 0.75);
  EXPECT_DOUBLE_EQ(Temp->FindFuzzySet("high")->DegreeOfMembership(25), 0.25);

  // A term of a standard name stays as written; medium sits in the middle of a universe that does not
  // start at 0.
  Engine.Parse("(deftype level extends (type FUZZY) (range 50 100) (values (term medium ((60 1) (70 0)))))",
               true);
  EXPECT_EQ(TermNames("level"), (std::vector<std::string>{"medium", "low", "high"}));
  EXPECT_DOUBLE_EQ(Variable("level")->FindFuzzySet("medium")->DegreeOfMembership(60), 1.0);
  Engine.Parse("(deftype wide extends (type FUZZY) (range 50 100))", true);
  const IFuzzySet Medium = Variable("wide")->FindFuzzySet("medium");
  EXPECT_DOUBLE_EQ(Medium->DegreeOfMembership(75), 1.0);
  EXPECT_DOUBLE_EQ(Medium->DegreeOfMembership(50), 0.0);
  EXPECT_DOUBLE_EQ(Medium->DegreeOfMembership(62.5), 0.5);

  Engine.SetFuzzyAutoTerms(false);
  Engine.Parse("(deftype bare extends (type FUZZY) (range 0 1) (values (term some ((0 0) (1 1)))))", true);
  EXPECT_EQ(TermNames("bare"), (std::vector<std::string>{"some"}));
}

TEST_F(FuzzyValues, DeftypeErrors) {
  EXPECT_EQ(ErrorOf("(deftype t extends (type FUZZY) (range 0 ?VARIABLE))"),
            "Parsing Error, Expected value missing in ParseDefinedType at line 1: "
            "( deftype t extends ( type FUZZY ) ( range 0 ?VARIABLE ");
  EXPECT_EQ(
      ErrorOf("(deftype t extends (type FUZZY) (colour red))"),
      "Parsing Error, Missing keyword.  Expected \"range, units, or values\" in ParseFuzzyVariable at line "
      "1: ( deftype t extends ( type FUZZY ) ( colour ");
  EXPECT_EQ(ErrorOf("(deftype t extends (type FUZZY) (values (trm a ((0 1)))))"),
            "Parsing Error, Expected \"( term\" in ParseFuzzySet at line 1: "
            "( deftype t extends ( type FUZZY ) ( values ( trm ");
  EXPECT_EQ(ErrorOf("(deftype t extends (type FUZZY) (values (term 5 ((0 1)))))"),
            "Parsing Error, Missing name in ParseFuzzySet at line 1: "
            "( deftype t extends ( type FUZZY ) ( values ( term 5 ");
  EXPECT_EQ(ErrorOf("(deftype t extends (type FUZZY) (values (term very ((0 1)))))"),
            "Parsing Error, Invalid item in fuzzy expression: very in ParseFuzzySet at line 1: "
            "( deftype t extends ( type FUZZY ) ( values ( term very ");
  EXPECT_EQ(ErrorOf("(deftype t extends (type FUZZY) (values (term a ((0 1))) (term a ((0 0)))))"),
            "Fuzzy term a already exists in t");
  EXPECT_EQ(ErrorOf("(deftype t extends (type FUZZY) (range 5 1))"),
            "Invalid fuzzy variable range: lower limit must be below upper limit");
  EXPECT_EQ(Engine.FindDefinedType("t"), nullptr);  // nothing half-made is stored
  // A term without a value is the empty set; a universe as wide as a double allows keeps a finite medium.
  Engine.Parse("(deftype wide extends (type FUZZY) (range -1e308 1e308) (values (term none)))", true);
  EXPECT_EQ(Variable("wide")->FindFuzzySet("none")->GetCount(), 0);
  EXPECT_EQ(Engine.PrettyPrint(*Variable("wide")->FindFuzzySet("none")), "(term none EMPTY)");
  EXPECT_EQ(Variable("wide")->FindFuzzySet("medium")->DegreeOfMembership(0), 1.0);
  // The engine stays usable.
  Engine.Parse(TempType, true);
  EXPECT_NE(Variable("temp"), nullptr);
}

TEST_F(FuzzyValues, ThresholdIsClampedAndReachesEveryFuzzyType) {
  Engine.Parse(TempType, true);
  Engine.SetFuzzyEqualsThreshold(1.5f);
  EXPECT_EQ(Engine.GetFuzzyEqualsThreshold(), 1.0f);
  EXPECT_EQ(Variable("temp")->GetThreshold(), 1.0);
  Engine.SetFuzzyEqualsThreshold(-0.2f);
  EXPECT_EQ(Engine.GetFuzzyEqualsThreshold(), 0.0f);
  EXPECT_EQ(Variable("temp")->GetThreshold(), 0.0);
  Engine.SetFuzzyEqualsThreshold(0.25f);
  Engine.Parse("(deftype later extends (type FUZZY) (range 0 1))", true);
  EXPECT_EQ(Variable("later")->GetThreshold(), 0.25);  // a type stored later takes the current threshold
  EXPECT_EQ(Variable("temp")->GetThreshold(), 0.25);
}

TEST_F(FuzzyValues, CrispNumbersEqualAFuzzyValueOnlyStrictlyAboveTheThreshold) {
  Engine.Parse("(deftype ramp extends (type FUZZY) (range 0 100) (values (term up ((0 0) (100 1)))))", true);
  const IIEValue Up = MakeRef<TIEValue>(Variable("ramp")->FindFuzzySet("up"));
  const IIEValue AtThreshold = MakeRef<TIEValue>(1.0);  // membership exactly 0.01
  const IIEValue Above = MakeRef<TIEValue>(1.01);
  EXPECT_FALSE(Up->Equals(AtThreshold.get()));
  EXPECT_FALSE(AtThreshold->Equals(Up.get()));
  EXPECT_TRUE(Up->Equals(Above.get()));
  EXPECT_TRUE(Above->Equals(Up.get()));
  EXPECT_FALSE(Up->Equals(MakeRef<TIEValue>("up", dtAtom).get()));
  const auto* Set = static_cast<const TIEFuzzySet*>(Up->GetAsFuzzy().get());
  EXPECT_DOUBLE_EQ(Set->FuzzyEquals(*Above), 0.0101);
  EXPECT_EQ(Set->FuzzyEquals(*MakeRef<TIEValue>("up", dtAtom)), 0.0);

  // Two sets are equal when they overlap above the threshold.
  Engine.Parse(TempType, true);
  EXPECT_TRUE(Eval("very hot")->Equals(Eval("hot").get()));
  EXPECT_FALSE(Eval("cold")->Equals(Eval("hot").get()));
  EXPECT_DOUBLE_EQ(static_cast<TIEFuzzySet*>(Eval("cold").get())->FuzzyEquals(*Eval("low")), 1.0);
}

TEST_F(FuzzyValues, ExpressionsCombineTermsHedgesKeywordsAndBrackets) {
  Engine.Parse(TempType, true);
  EXPECT_DOUBLE_EQ(Eval("very hot")->DegreeOfMembership(75), 0.25);
  EXPECT_EQ(Eval("very hot")->GetToString(), "very hot");
  EXPECT_DOUBLE_EQ(Eval("not hot")->DegreeOfMembership(75), 0.5);
  EXPECT_DOUBLE_EQ(Eval("cold or hot")->DegreeOfMembership(5), 0.5);
  EXPECT_DOUBLE_EQ(Eval("cold or hot")->DegreeOfMembership(30), 0.0);
  EXPECT_DOUBLE_EQ(Eval("cold and hot")->DegreeOfMembership(75), 0.0);
  // A hedge binds tighter than a keyword; "not" after a keyword hedges the next operand.
  EXPECT_DOUBLE_EQ(Eval("medium and not low")->DegreeOfMembership(50), 0.5);
  EXPECT_DOUBLE_EQ(Eval("very cold or hot")->DegreeOfMembership(5), 0.25);
  EXPECT_DOUBLE_EQ(Eval("very [cold or hot]")->DegreeOfMembership(75), 0.25);
  EXPECT_EQ(Eval("very [cold or hot]")->GetToString(), "very [cold or hot]");
  EXPECT_EQ(Eval("cold and [hot or low]")->GetToString(), "cold and [hot or low]");
  // Keywords are applied left to right.
  EXPECT_DOUBLE_EQ(Eval("cold or hot and low")->DegreeOfMembership(5), 0.5);
  for (double X : {0.0, 20.0, 60.0, 75.0, 100.0})
    EXPECT_NEAR(Eval("not not hot")->DegreeOfMembership(X), Eval("hot")->DegreeOfMembership(X), 1e-12);
  // A term is not changed by hedging it.
  EXPECT_DOUBLE_EQ(Eval("hot")->DegreeOfMembership(75), 0.5);
  // A number is a crisp value written as the number; a point list a set of the variable.
  EXPECT_EQ(Eval("42")->DegreeOfMembership(42), 1.0);
  EXPECT_EQ(Eval("42")->DegreeOfMembership(41.9), 0.0);
  EXPECT_EQ(Eval("42")->GetToString(), "42");
  EXPECT_EQ(Eval("((0 0) (10 1))")->GetVariable(), Variable("temp"));
  EXPECT_EQ(Eval("EMPTY")->GetCount(), 0);
  // The form that hands the set over answers its crisp value.
  IFuzzySet Hot;
  EXPECT_NEAR(Engine.EvalFuzzyExpression(Variable("temp"), "hot", Hot), 250.0 / 3, 1e-9);
  EXPECT_EQ(Hot->GetName(), "hot");
}

TEST_F(FuzzyValues, ExpressionErrors) {
  Engine.Parse(TempType, true);
  TIFuzzyVariable* Temp = Variable("temp");
  EXPECT_EQ(EvalError(Temp, "[hot or cold"), "Missing Fuzzy Close Bracket in expression");
  EXPECT_EQ(EvalError(Temp, "very"), "Invalid item in fuzzy expression: very");  // alone, a word names a term
  EXPECT_EQ(EvalError(Temp, "hot very"), "Missing fuzzy operand to be modified by hedge: very");
  EXPECT_EQ(EvalError(Temp, "hot and"), "Missing fuzzy operand to be modified by hedge: and");
  EXPECT_EQ(EvalError(Temp, "or hot"), "Missing fuzzy operand to be modified by hedge: or");
  EXPECT_EQ(EvalError(Temp, "warm"), "Invalid item in fuzzy expression: warm");
  EXPECT_EQ(EvalError(Temp, "hot ]"), "Invalid item in fuzzy expression: ]");
  EXPECT_EQ(EvalError(Temp, "\"x\" or 3.5"), "Invalid item in fuzzy expression: x");
  EXPECT_EQ(EvalError(Temp, "hot cold"), "Invalid Fuzzy Expression: hot cold ");
  EXPECT_EQ(EvalError(nullptr, "hot"), "fuzzy variable is not defined");
  // Errors in facts leave no fact behind.
  Engine.Parse("(deftemplate reading (slot t (type temp)))", true);
  EXPECT_EQ(ErrorOf("(assert (reading (t hot not)))"), "Missing fuzzy operand to be modified by hedge: not");
  EXPECT_EQ(Engine.GetFacts().Count(), 1);
}

TEST_F(FuzzyValues, FactsHoldFuzzyValuesThatReadBackEqual) {
  Engine.Parse(TempType, true);
  Engine.Parse(
      "(deftemplate reading (slot id) (slot t (type temp)) (multislot ts (type temp)))"
      "(assert (reading (id 1) (t very hot)))"
      "(assert (reading (id 2) (t not [cold or hot])))"
      "(assert (reading (id 3) (t ((0 0) (50 1) (100 0)))))"
      "(assert (reading (id 4) (t (tri 20 40 60)) (ts hot very cold 42)))",
      true);
  std::vector<std::string> Facts;
  for (int32_t Id = 1; Id <= 4; ++Id) Facts.push_back(Engine.GetFacts().GetFactByID(Id)->GetToString());
  EXPECT_EQ(Facts, (std::vector<std::string>{
                       "(reading (id 1) (t very hot) (ts))", "(reading (id 2) (t not [cold or hot]) (ts))",
                       "(reading (id 3) (t ((0.0000 0.0000) (50.0000 1.0000) (100.0000 0.0000) )) (ts))",
                       "(reading (id 4) (t (tri 20.0000 40.0000 60.0000)) (ts hot very cold 42))"}));
  EXPECT_EQ(Engine.GetFacts().GetFactByID(4)->GetValue("ts")->GetAsList()->GetValueCount(), 3);

  // The whole system written out reads back into a fresh engine as the same type and the same facts.
  TInferenceEngine Copy;
  Copy.OnPrintOut = [](TObject*, const std::string&, const std::string&) {};
  Copy.SetExpertSystem(Engine.GetExpertSystem());
  EXPECT_TRUE(Copy.FindDefinedType("temp")->Equals(Engine.FindDefinedType("temp").get()));
  for (int32_t Id = 1; Id <= 4; ++Id) {
    const IFact Read = Copy.GetFacts().GetFactByID(Id);
    ASSERT_TRUE(Read) << Id;
    EXPECT_EQ(Read->GetToString(), Facts[static_cast<size_t>(Id - 1)]);
    const IIEValue Before = Engine.GetFacts().GetFactByID(Id)->GetValue("t"), After = Read->GetValue("t");
    for (double X : {0.0, 30.0, 40.0, 75.0, 100.0})
      EXPECT_NEAR(After->GetAsFuzzy()->DegreeOfMembership(X), Before->GetAsFuzzy()->DegreeOfMembership(X),
                  1e-4);
  }
}

TEST_F(FuzzyValues, ExpressionsWithVariablesAreEvaluatedWhenTheFactIsMade) {
  Engine.Parse(TempType, true);
  Engine.Parse(
      "(deftemplate reading (slot id) (slot t (type temp)) (multislot ts (type temp)))"
      "(defrule hedge (reading (id 1) (t ?x)) (peak ?y)"
      "  => (assert (reading (id 2) (t very ?x) (ts ?x not ?x)))"
      "     (assert (reading (id 3) (t ((0 ?y) (10 0))))))"
      "(assert (reading (id 1) (t hot)) (peak 1))",
      true);
  Engine.Run();
  const IFact Two = Engine.GetFacts().GetFactByID(3), Three = Engine.GetFacts().GetFactByID(4);
  ASSERT_TRUE(Two && Three);
  EXPECT_DOUBLE_EQ(Two->GetValue("t")->GetAsFuzzy()->DegreeOfMembership(75), 0.25);
  EXPECT_EQ(Two->GetValue("ts")->GetAsList()->GetValueCount(), 2);
  EXPECT_EQ(Two->GetToString(), "(reading (id 2) (t very hot) (ts hot not hot))");
  EXPECT_EQ(Three->GetValue("t")->GetAsFuzzy()->DegreeOfMembership(0), 1.0);
  EXPECT_EQ(Three->GetValue("t")->GetAsFuzzy()->GetVariable(), Variable("temp"));
}

TEST_F(FuzzyValues, SharedSetsAreCopiedNotChanged) {
  Engine.Parse(TempType, true);
  Engine.Parse(
      "(defglobal ?*g* = (tri 0 5 10))"
      "(deftype other extends (type FUZZY) (range 0 10) (values (term mine ?*g*)))"
      "(deftemplate reading (slot id) (slot t (type temp)))"
      "(deftemplate gauge (slot v (type other)))"
      "(assert (reading (id 1) (t ?*g*)) (gauge (v ?*g*)))",
      true);
  const IIEValue Global = Engine.ParseNExecuteFunCall("(create$ ?*g*)")->GetAsList()->Get(0);
  EXPECT_EQ(Global->GetToString(), "(tri 0.0000 5.0000 10.0000)");
  EXPECT_EQ(Global->GetAsFuzzy()->GetVariable(), nullptr);
  EXPECT_EQ(Variable("other")->FindFuzzySet("mine")->GetVariable(), Variable("other"));
  EXPECT_EQ(Engine.GetFacts().GetFactByID(1)->GetValue("t")->GetAsFuzzy()->GetVariable(), Variable("temp"));
  EXPECT_EQ(Engine.GetFacts().GetFactByID(2)->GetValue("v")->GetAsFuzzy()->GetVariable(), Variable("other"));
  // A single slot takes one value, also as a multifield of one; anything else is refused.
  Engine.Parse("(assert (reading (id 3) (t (create$ (tri 1 2 3)))))", true);
  EXPECT_EQ(Engine.GetFacts().GetFactByID(3)->GetValue("t")->GetDType(), dtFuzzy);
  EXPECT_EQ(ErrorOf("(assert (reading (id 4) (t (create$))))"), "Invalid Fuzzy Expression: ");
  EXPECT_EQ(ErrorOf("(assert (reading (id 4) (t (create$ (tri 1 2 3) (tri 4 5 6)))))"),
            "Invalid Fuzzy Expression: (tri 1.0000 2.0000 3.0000) (tri 4.0000 5.0000 6.0000) ");
  // Two empty sets are equal.
  EXPECT_TRUE(Eval("EMPTY")->Equals(Eval("EMPTY").get()));
}

TEST_F(FuzzyValues, ShapeFunctions) {
  auto Shape = [this](const std::string& Call) { return Engine.ParseNExecuteFunCall(Call)->GetAsFuzzy(); };
  EXPECT_DOUBLE_EQ(Shape("(s 10 20)")->DegreeOfMembership(15), 0.5);
  EXPECT_DOUBLE_EQ(Shape("(z 10 20)")->DegreeOfMembership(12.5), 0.75);
  EXPECT_DOUBLE_EQ(Shape("(tri 10 20 40)")->DegreeOfMembership(30), 0.5);
  EXPECT_EQ(Shape("(pi 50 10)")->DegreeOfMembership(50), 1.0);
  EXPECT_EQ(Shape("(pi 50 10)")->DegreeOfMembership(40), 0.0);
  EXPECT_EQ(Shape("(pi 50 10)")->GetToString(), "(pi 50.0000 10.0000)");
  const IFuzzySet Bell = Shape("(pi 20 40 70)");  // rises over 20..40, falls over 40..70
  EXPECT_EQ(Bell->DegreeOfMembership(40), 1.0);
  EXPECT_DOUBLE_EQ(Bell->DegreeOfMembership(30), 0.5);
  EXPECT_DOUBLE_EQ(Bell->DegreeOfMembership(55), 0.5);
  EXPECT_EQ(Bell->DegreeOfMembership(71), 0.0);
  EXPECT_DOUBLE_EQ(Shape("(beta 50 10)")->DegreeOfMembership(60), 0.5);
  const IFuzzySet Weighted = Shape("(beta 50 10 0.2 0.9)");
  EXPECT_DOUBLE_EQ(Weighted->DegreeOfMembership(50), 0.9);
  EXPECT_NEAR(Weighted->DegreeOfMembership(60), 0.18, 1e-12);
  EXPECT_EQ(Weighted->DegreeOfMembership(91), 0.0);
  EXPECT_EQ(ErrorOf("(beta 50 0)"), "Invalid fuzzy set shape: width must be finite and above 0");
  EXPECT_EQ(ErrorOf("(beta 50 10 1.5)"), "Invalid fuzzy set shape: inflection must lie between 0 and 1");
  EXPECT_EQ(ErrorOf("(beta 50 10 0.5 0)"), "Invalid fuzzy set shape: weight must lie above 0 and at most 1");
  EXPECT_EQ(ErrorOf("(pi 50 -1)"), "Invalid fuzzy set shape: width must be finite and not negative");
}

TEST_F(FuzzyValues, VariablesAndTermsReadAndPrintOnTheirOwn) {
  std::vector<std::string> Events;
  Engine.GetParseEvents().OnParseFuzzySet = [&](TObject*, const IFuzzySet& Set) {
    Events.push_back("set " + Set->GetName());
  };
  Engine.GetParseEvents().OnParseFuzzyVariable = [&](TObject*, const IFuzzyVariable& Variable) {
    Events.push_back("variable " + std::to_string(Variable->GetTermCount()));
  };
  const IFuzzyVariable Speed = Engine.ParseFuzzyVariable(
      "(range 0 10) (units \"m s\") (values (term slow (z 2 4)) (term fast ((6 0) (8 1)))))");
  EXPECT_EQ(Events, (std::vector<std::string>{"set slow", "set fast", "variable 2"}));
  EXPECT_EQ(Speed->GetName(), "");
  EXPECT_EQ(
      Engine.PrettyPrint(*Speed),
      "    (range 0.0000 10.0000)\r\n    (units \"m s\")\r\n    (values\r\n"
      "        (term slow (z 2.0000 4.0000))\r\n        (term fast ((6.0000 0.0000) (8.0000 1.0000) )))\r\n");
  const IFuzzySet Crawl = Engine.ParseFuzzySet(Speed.get(), "(term crawl very slow)");
  EXPECT_EQ(Crawl->GetName(), "crawl");
  EXPECT_EQ(Crawl->GetVariable(), Speed.get());
  EXPECT_EQ(Speed->FindFuzzySet("crawl"), nullptr);  // read, not added
  EXPECT_DOUBLE_EQ(Crawl->DegreeOfMembership(3), 0.25);
  EXPECT_EQ(Speed->FindFuzzySet("slow")->DegreeOfMembership(3), 0.5);  // the term it was made from stays
  EXPECT_EQ(Engine.PrettyPrint(*Speed->FindFuzzySet("slow")), "(term slow (z 2.0000 4.0000))");
  EXPECT_EQ(Engine.PrettyPrint(*Engine.EvalFuzzyExpression(Speed.get(), "7")), "(tri 7.0000 7.0000 7.0000)");
  // An expression read with the engine's context sees its globals.
  Engine.Parse("(defglobal ?*limit* = 5)", true);
  EXPECT_EQ(Engine.ParseFuzzyExpression(Speed.get(), "?*limit*")->DegreeOfMembership(5), 1.0);
}

TEST_F(FuzzyValues, PlotDrawsEachSetOverTheUniverse) {
  Engine.Parse(TempType, true);
  Engine.PlotFuzzySet("t", "*+", 0, 0, {Eval("cold"), Eval("hot")});
  EXPECT_EQ(Output.rfind("Fuzzy Variable: temp\r\n\r\nFuzzy Values: cold (*), hot (+)\r\n", 0), 0u) << Output;
  EXPECT_NE(Output.find("1.00   *"), std::string::npos) << Output;  // cold is 1 at the left end
  EXPECT_NE(Output.find("       |----|----|----|----|----|----|----|----|----|----|\r\n"), std::string::npos);
  EXPECT_NE(Output.find("   0.00     20.00     40.00     60.00     80.00    100.00\r\n"), std::string::npos);
  EXPECT_NE(Output.find("Universe of Discourse: From 0.00 to 100.00\r\n"), std::string::npos);
  const size_t TopRow = Output.find("1.00");
  const std::string Top = Output.substr(TopRow, Output.find("\r\n", TopRow) - TopRow);
  EXPECT_EQ(Top.back(), '+');  // hot is 1 at the right end

  // A value, a multifield of values (anything else in it left out), a range of one's own.
  Output.clear();
  Engine.PlotFuzzySet("t", "", 0, 0, MakeRef<TIEValue>(Eval("hot")));
  EXPECT_NE(Output.find("Fuzzy Values: hot (*)"), std::string::npos) << Output;
  Output.clear();
  IValueVector Values = MakeRef<TValueVector>();
  Values->Add(MakeRef<TIEValue>(Eval("cold")));
  Values->Add(MakeRef<TIEValue>(3));
  Values->Add(MakeRef<TIEValue>(Eval("very hot")));
  Engine.PlotFuzzySet("t", "ab", 50, 100, Values);
  EXPECT_NE(Output.find("Fuzzy Values: cold (a), very hot (b)"), std::string::npos) << Output;
  EXPECT_NE(Output.find("Universe of Discourse: From 50.00 to 100.00"), std::string::npos) << Output;
  Output.clear();
  Engine.PlotFuzzySet("t", "*", 0, 0, MakeRef<TIEValue>(3));
  EXPECT_EQ(Output, "");  // nothing fuzzy, no chart
}

}  // namespace
