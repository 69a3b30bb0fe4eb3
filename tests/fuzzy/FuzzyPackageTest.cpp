// The fuzzy logic package in a real engine, through rule-language text: the method and threshold
// settings, reading sets and universes, defuzzifying known sets, union and intersection, the fuzzy
// asserts and how they merge equal facts, plotting, every error text, and the configured families.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../engine/EngineFixture.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/engine/Facts.h"
#include "rulecraft/fuzzy/FuzzyLogicPackage.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft::testing {
namespace {

constexpr char Program[] =
    "(deftype temp extends (type FUZZY) (range 0 100) (units Celsius)"
    "  (values (term cold (z 10 30)) (term warm (tri 20 50 80)) (term hot (s 50 90))))"
    "(deftype speed extends (type FUZZY) (range 0 10))"
    "(deftemplate reading (slot place) (slot t (type temp)))"
    "(deftemplate history (slot place) (multislot ts (type temp)))"
    "(deftemplate plain (slot x))";

class FuzzyPackage : public TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    Engine->Parse(Program, true);
  }
  IIEValue Eval(const std::string& Text) { return Engine->ParseNExecuteFunCall(Text); }
  std::string Show(const std::string& Text) {
    const IIEValue Result = Eval(Text);
    return Result ? Result->GetToString() : "<none>";
  }
  double Number(const std::string& Text) { return Eval(Text)->GetAsFloat(); }
  void ExpectEvalError(const std::string& Text, const std::string& Message) {
    ExpectError([&] { Eval(Text); }, Message);
  }
};

constexpr char InferenceNames[] = "min-max, sum, mean, product, bounded-sum";

TEST_F(FuzzyPackage, MethodsAndThresholdsReturnThePreviousSetting) {
  EXPECT_EQ(Show("(get-fuzzy-inference)"), "min-max");
  EXPECT_EQ(Show("(set-fuzzy-inference sum)"), "min-max");
  EXPECT_EQ(Show("(get-fuzzy-inference)"), "sum");
  EXPECT_EQ(Engine->GetFuzzyInferenceMethod(), fimSum);
  EXPECT_EQ(Show("(set-fuzzy-inference \"bounded-sum\")"), "sum");
  ExpectEvalError("(set-fuzzy-inference max)",
                  std::string("Invalid Fuzzy Inference specified (max), expected ") + InferenceNames);
  EXPECT_EQ(Engine->GetFuzzyInferenceMethod(), fimBoundedSum);

  EXPECT_EQ(Show("(get-fuzzy-correlation)"), "minimum");
  EXPECT_EQ(Show("(set-fuzzy-correlation product)"), "minimum");
  EXPECT_EQ(Engine->GetFuzzyCorrelationMethod(), fcmProduct);
  ExpectEvalError("(set-fuzzy-correlation min-max)",
                  "Invalid Fuzzy Correlation specified (min-max), expected minimum, product");
  EXPECT_EQ(Show("(get-fuzzy-correlation)"), "product");

  // The thresholds go through the engine's clamping setters; the setters answer the value held before.
  EXPECT_NEAR(Number("(set-fuzzy-threshold 2)"), 0.01, 1e-6);
  EXPECT_EQ(Number("(get-fuzzy-threshold)"), 1.0);
  EXPECT_EQ(Number("(set-fuzzy-threshold -3)"), 1.0);
  EXPECT_EQ(Engine->GetFuzzyEqualsThreshold(), 0.0f);
  EXPECT_EQ(Number("(set-activation-threshold 0.25)"), 0.0);
  EXPECT_EQ(Number("(set-activation-threshold 7)"), 0.25);
  EXPECT_EQ(Number("(get-activation-threshold)"), 1.0);

  // Auto terms: a type defined after switching them off lacks low, medium and high.
  EXPECT_EQ(Show("(set-fuzzy-auto-terms FALSE)"), "TRUE");
  EXPECT_EQ(Show("(get-fuzzy-auto-terms)"), "FALSE");
  Engine->Parse("(deftype bare extends (type FUZZY) (range 0 1) (values (term on (s 0 1))))", true);
  EXPECT_EQ(Engine->FindDefinedType("bare")->GetFuzzyType()->GetTermCount(), 1);
  EXPECT_EQ(Engine->FindDefinedType("temp")->GetFuzzyType()->GetTermCount(), 6);
  EXPECT_EQ(Show("(set-fuzzy-auto-terms TRUE)"), "FALSE");
}

TEST_F(FuzzyPackage, DefuzzifyKnownSets) {
  // Triangle 0 2 8: centroid 10/3, maximum 2, membership at the centroid 7/9.
  EXPECT_NEAR(Number("(moment-defuzzify (tri 0 2 8))"), 10.0 / 3, 1e-9);
  EXPECT_EQ(Number("(maximum-defuzzify (tri 0 2 8))"), 2.0);
  EXPECT_NEAR(Number("(get-compatibility-index (tri 0 2 8))"), 7.0 / 9, 1e-9);
  EXPECT_EQ(Show("(is-undecidable (tri 0 2 8))"), "FALSE");
  // Trapezoid (0,0) (2,1) (4,1) (10,0): centroid 76/18, the plateau's middle 3.
  const std::string Trapezoid = "(create-fuzzy-value temp ((0 0) (2 1) (4 1) (10 0)))";
  EXPECT_NEAR(Number("(moment-defuzzify " + Trapezoid + ")"), 76.0 / 18, 1e-9);
  EXPECT_EQ(Number("(maximum-defuzzify " + Trapezoid + ")"), 3.0);
  // A triangle clipped at 0.5 by intersection with a flat set: plateau 5 to 15.
  const std::string Clipped =
      "(fuzzy-intersection (tri 0 10 20) (create-fuzzy-value temp ((0 0.5) (20 0.5))))";
  EXPECT_NEAR(Number("(moment-defuzzify " + Clipped + ")"), 10.0, 1e-9);
  EXPECT_NEAR(Number("(maximum-defuzzify " + Clipped + ")"), 10.0, 1e-9);
  EXPECT_NEAR(Number("(get-compatibility-index " + Clipped + ")"), 0.5, 1e-9);
  // A spike is undecidable but still names its X; the empty set is undecidable and answers 0.
  EXPECT_EQ(Show("(is-undecidable (tri 3 3 3))"), "TRUE");
  EXPECT_EQ(Number("(moment-defuzzify (tri 3 3 3))"), 3.0);
  EXPECT_EQ(Number("(maximum-defuzzify (tri 3 3 3))"), 3.0);
  EXPECT_EQ(Show("(is-undecidable (create-fuzzy-value temp EMPTY))"), "TRUE");
  EXPECT_EQ(Number("(moment-defuzzify (create-fuzzy-value temp EMPTY))"), 0.0);
  EXPECT_EQ(Number("(get-compatibility-index (create-fuzzy-value temp EMPTY))"), 0.0);
}

TEST_F(FuzzyPackage, SetsAreReadFromValuesFactsAndFactIds) {
  EXPECT_EQ(Show("(get-fs (tri 0 5 10))"), "((0.0000 0.0000) (5.0000 1.0000) (10.0000 0.0000))");
  EXPECT_EQ(Show("(get-fs-length (tri 0 5 10))"), "3");
  EXPECT_EQ(Number("(get-fs-x (tri 0 5 10) 2)"), 10.0);
  EXPECT_EQ(Number("(get-fs-y (tri 0 5 10) 1)"), 1.0);
  ExpectEvalError("(get-fs-x (tri 0 5 10) 3)",
                  "Fuzzy set point index 3 is out of range, the set has 3 points");
  ExpectEvalError("(get-fs-y (tri 0 5 10) -1)",
                  "Fuzzy set point index -1 is out of range, the set has 3 points");
  ExpectEvalError("(get-fs-x (create-fuzzy-value temp EMPTY) 0)",
                  "Fuzzy set point index 0 is out of range, the set has 0 points");
  EXPECT_EQ(Number("(get-fs-value (tri 0 5 10) 2.5)"), 0.5);
  EXPECT_EQ(Eval("(get-fs-variable (tri 0 5 10))"), FCNil);
  EXPECT_EQ(Show("(get-fs-variable (create-fuzzy-value temp hot))"), "temp");

  // A fact stands for its first fuzzy slot; a multislot for its first fuzzy element.
  EXPECT_EQ(Show("(fuzzy-assert min-max (reading (place kitchen) (t warm)))"), "<Fact-1>");
  EXPECT_EQ(Show("(fuzzy-assert min-max (history (place hall) (ts cold hot)))"), "<Fact-2>");
  EXPECT_EQ(Number("(moment-defuzzify 1)"), 50.0);
  EXPECT_EQ(Show("(get-fs-variable 1)"), "temp");
  EXPECT_EQ(Show("(get-fs 2)"), "((10.0000 1.0000) (30.0000 0.0000))");
  EXPECT_EQ(Eval("(moment-defuzzify 1)")->GetAsFloat(),
            Engine->GetFacts().GetFactByID(1)->GetValue("t")->GetAsFuzzy()->MomentDefuzzify());

  Eval("(assert (plain (x 1)))");
  const std::string Expected = "\".  Expected FactId, Fact, Fuzzy";
  ExpectEvalError("(moment-defuzzify 3)", "Invalid argument type for deffunction: \"dtInteger" + Expected);
  ExpectEvalError("(get-fs 99)", "Invalid argument type for deffunction: \"dtInteger" + Expected);
  ExpectEvalError("(get-fs-length hot)", "Invalid argument type for deffunction: \"dtAtom" + Expected);
  ExpectEvalError("(is-undecidable 2.5)", "Invalid argument type for deffunction: \"dtFloat" + Expected);
}

TEST_F(FuzzyPackage, UniverseOfTypesAndFacts) {
  EXPECT_EQ(Eval("(get-u temp)")->GetAsString(), "0.0000 - 100.0000 Celsius");
  EXPECT_EQ(Eval("(get-u temp)")->GetDType(), dtString);
  EXPECT_EQ(Eval("(get-u speed)")->GetAsString(), "0.0000 - 10.0000 ");
  EXPECT_EQ(Number("(get-u-from temp)"), 0.0);
  EXPECT_EQ(Number("(get-u-to temp)"), 100.0);
  EXPECT_EQ(Show("(get-u-units temp)"), "\"Celsius\"");
  Eval("(fuzzy-assert min-max (reading (place kitchen) (t warm)))");
  EXPECT_EQ(Eval("(get-u 1)")->GetAsString(), "0.0000 - 100.0000 Celsius");
  EXPECT_EQ(Number("(get-u-to (create-fuzzy-value speed low))"), 10.0);
  const std::string Expected = "\".  Expected Atom, FactId, Fact, Fuzzy";
  ExpectEvalError("(get-u nothing)", "Invalid argument type for deffunction: \"dtAtom" + Expected);
  ExpectEvalError("(get-u (tri 0 1 2))", "Invalid argument type for deffunction: \"dtFuzzy" + Expected);
  ExpectEvalError("(get-u-units 5)", "Invalid argument type for deffunction: \"dtInteger" + Expected);
}

TEST_F(FuzzyPackage, UnionAndIntersectionFoldLeft) {
  EXPECT_EQ(Show("(get-fs (fuzzy-union (tri 0 5 10) (tri 5 10 15)))"),
            "((0.0000 0.0000) (5.0000 1.0000) (7.5000 0.5000) (10.0000 1.0000) (15.0000 0.0000))");
  EXPECT_EQ(Show("(get-fs (fuzzy-intersection (tri 0 5 10) (tri 5 10 15)))"),
            "((0.0000 0.0000) (5.0000 0.0000) (7.5000 0.5000) (10.0000 0.0000) (15.0000 0.0000))");
  // Three values: the union of all, the intersection of all (empty where the first and third miss).
  EXPECT_EQ(Number("(maximum-defuzzify (fuzzy-union (tri 0 5 10) (tri 5 10 15) (tri 10 15 20)))"), 10.0);
  EXPECT_EQ(Show("(is-undecidable (fuzzy-intersection (tri 0 5 10) (tri 5 10 15) (tri 10 15 20)))"), "TRUE");
  // Named operations: bounded-sum joins two halves into a plateau; product meets by the product.
  EXPECT_EQ(Number("(get-fs-value (fuzzy-union-x bounded-sum (tri 0 5 10) (tri 5 10 15)) 7.5)"), 1.0);
  EXPECT_EQ(Number("(get-fs-value (fuzzy-intersection-x product (tri 0 5 10) (tri 5 10 15)) 7.5)"), 0.25);
  EXPECT_EQ(Number("(get-fs-value (fuzzy-union-x zadeh (tri 0 5 10) (tri 5 10 15)) 7.5)"), 0.5);
  ExpectEvalError(
      "(fuzzy-union-x max (tri 0 5 10) (tri 5 10 15))",
      "Invalid Fuzzy Operation specified (max), expected zadeh, mean, mean-sqr, mean-sqrt, product, "
      "bounded-sum, sum, minimum");
  // The result belongs to the first value's variable; two different variables do not combine.
  EXPECT_EQ(Show("(get-fs-variable (fuzzy-union (create-fuzzy-value temp cold) (tri 0 5 10)))"), "temp");
  ExpectEvalError("(fuzzy-union (create-fuzzy-value temp cold) (create-fuzzy-value speed low))",
                  "Fuzzy values belong to different fuzzy variables: temp and speed");
  ExpectEvalError("(fuzzy-intersection (tri 0 5 10) red)",
                  "Invalid argument type for deffunction: \"dtAtom\".  Expected FactId, Fact, Fuzzy");
}

TEST_F(FuzzyPackage, FuzzyAssertTakesAMethodAndMergesEqualFacts) {
  ExpectEvalError(
      "(fuzzy-assert (reading (place a) (t very hot)))",
      std::string("Invalid Fuzzy Inference specified ((reading (place a) (t very hot))), expected ") +
          InferenceNames);
  ExpectEvalError("(fuzzy-assert maximum (reading (place a) (t hot)))",
                  std::string("Invalid Fuzzy Inference specified (maximum), expected ") + InferenceNames);
  EXPECT_EQ(Engine->GetFacts().Count(), 1);
  EXPECT_EQ(Show("(fuzzy-assert sum)"), "FALSE");
  ExpectEvalError("(fuzzy-assert sum 12)",
                  "Invalid argument type for deffunction: \"dtInteger\".  Expected Fact");

  // Without a method the unconditional assert uses min-max.
  EXPECT_EQ(Show("(fuzzy-assert-unconditional (reading (place a) (t very hot)))"), "<Fact-1>");
  EXPECT_EQ(Show("(get-fs-variable 1)"), "temp");

  // Min-max joins an equal fact by the maximum: two triangles meeting at 15 keep their dip.
  const std::string Left = "(reading (place b) (t ((0 0) (10 1) (20 0))))";
  const std::string Right = "(reading (place b) (t ((10 0) (20 1) (30 0))))";
  EXPECT_EQ(Show("(fuzzy-assert min-max " + Left + ")"), "<Fact-2>");
  EXPECT_EQ(Show("(fuzzy-assert min-max " + Right + ")"), "<Fact-3>");
  EXPECT_EQ(Engine->GetFacts().GetFactByID(2), nullptr);
  EXPECT_EQ(Number("(get-fs-value 3 15)"), 0.5);
  // An unconditional assert meets it by the minimum.
  EXPECT_EQ(Show("(fuzzy-assert-unconditional " + Left + ")"), "<Fact-4>");
  EXPECT_EQ(Show("(get-fs 4)"),
            "((0.0000 0.0000) (10.0000 1.0000) (15.0000 0.5000) (20.0000 0.0000) (30.0000 0.0000))");

  // Under sum the same two facts add up to a plateau; the engine's own method is left as it was.
  const std::string SumLeft = "(reading (place c) (t ((0 0) (10 1) (20 0))))";
  const std::string SumRight = "(reading (place c) (t ((10 0) (20 1) (30 0))))";
  Eval("(fuzzy-assert sum " + SumLeft + ")");
  EXPECT_EQ(Show("(fuzzy-assert sum " + SumRight + ")"), "<Fact-6>");
  EXPECT_EQ(Number("(get-fs-value 6 15)"), 1.0);
  EXPECT_EQ(Number("(maximum-defuzzify 6)"), 15.0);
  EXPECT_EQ(Engine->GetFuzzyInferenceMethod(), fimMinMax);
  // A method that raises leaves it too.
  ExpectEvalError("(fuzzy-assert product (reading (place d) (t hot)) (reading (place e) (t nowhere)))",
                  "Invalid item in fuzzy expression: nowhere");
  EXPECT_EQ(Engine->GetFuzzyInferenceMethod(), fimMinMax);

  // A non-fuzzy fact is asserted as usual; a duplicate is refused and answers FALSE.
  EXPECT_NE(Show("(fuzzy-assert mean (plain (x 1)))"), "FALSE");
  EXPECT_EQ(Show("(fuzzy-assert mean (plain (x 1)))"), "FALSE");
}

TEST_F(FuzzyPackage, FuzzyAssertInARuleCorrelatesWithTheFiringsStrength) {
  Engine->Parse(
      "(defrule conclude (reading (place ?p) (t warm)) => "
      "  (bind ?id (fuzzy-assert min-max (history (place ?p) (ts hot)))) (log ?id (get-fs-y ?id 1)))",
      true);
  // 35 is warm to 0.5: the conclusion is clipped at that strength.
  Eval("(fuzzy-assert min-max (reading (place x) (t 35)))");
  Engine->Run();
  ASSERT_EQ(Log.size(), 1u);
  EXPECT_EQ(Log[0], "<Fact-2> 0.5000");
}

TEST_F(FuzzyPackage, RulesOnOverlappingTermsFireAtTheirOwnStrengths) {
  // "warm" and "hot" overlap, so they are fuzzy-equal; still each rule tests its own term. At 23 degrees
  // the room is warm to 0.7 and hot to 0.3; the conclusions are clipped at those strengths and joined.
  Engine->Parse(
      "(deftype air extends (type FUZZY) (range 0 40)"
      "  (values (term warm (tri 10 20 30)) (term hot (s 20 30))))"
      "(deftype fan extends (type FUZZY) (range 0 100)"
      "  (values (term slow (tri 0 0 50)) (term fast (tri 50 100 100))))"
      "(deftemplate room (slot name) (slot air (type air)))"
      "(deftemplate cooling (slot name) (slot speed (type fan)))"
      "(defrule warm (room (name ?n) (air warm)) => (fuzzy-assert min-max (cooling (name ?n) (speed slow))))"
      "(defrule hot (room (name ?n) (air hot)) => (fuzzy-assert min-max (cooling (name ?n) (speed fast))))"
      "(defrule report (declare (salience -1)) (cooling (speed ?s)) =>"
      "  (log (moment-defuzzify ?s) (maximum-defuzzify ?s) (get-compatibility-index ?s)))",
      true);
  Eval("(assert (room (name office) (air 23)))");
  Engine->Run();
  // Slow clipped at 0.7 and fast at 0.3: area 35.5, moment 1406 2/3 (worked out segment by segment); the
  // highest plateau is 0 to 15; the membership at the moment lies on slow's falling edge.
  ASSERT_EQ(Log.size(), 1u);
  EXPECT_EQ(Log[0], "39.6244 7.5000 0.2075");
}

TEST_F(FuzzyPackage, CreateFuzzyValueEvaluatesAnExpressionForAType) {
  EXPECT_EQ(Show("(create-fuzzy-value temp very warm)"), "very warm");
  EXPECT_EQ(Number("(get-fs-value (create-fuzzy-value temp very warm) 35)"), 0.25);
  EXPECT_EQ(Number("(get-fs-value (create-fuzzy-value temp cold or hot) 20)"), 0.5);
  Engine->Parse("(defglobal ?*t* = temp)", true);
  EXPECT_EQ(Number("(get-fs-value (create-fuzzy-value ?*t* not cold) 20)"), 0.5);
  ExpectEvalError("(create-fuzzy-value nothing hot)", "fuzzy variable is not defined");
  ExpectEvalError("(create-fuzzy-value plain hot)", "fuzzy variable is not defined");
  ExpectEvalError("(create-fuzzy-value temp very)", "Missing fuzzy operand to be modified by hedge: very");
}

TEST_F(FuzzyPackage, PlotChartsValuesAndTypes) {
  Eval("(fuzzy-assert min-max (reading (place a) (t warm)))");
  Output.clear();
  EXPECT_EQ(Eval("(plot-fuzzy-value t \"+\" 0 0 1 (tri 40 50 60))"), FCNil);
  EXPECT_NE(Output.find(
                "Fuzzy Variable: temp\r\n\r\nFuzzy Values: warm (+), (tri 40.0000 50.0000 60.0000) (+)\r\n"),
            std::string::npos)
      << Output;
  EXPECT_NE(Output.find("Universe of Discourse: From 0.00 to 100.00\r\n"), std::string::npos);
  Output.clear();
  Eval("(plot-fuzzy-value out \"*\" 10 20 temp)");
  EXPECT_EQ(
      Output.rfind("[out]Fuzzy Variable: temp\r\n\r\nFuzzy Values: cold (*), warm (*), hot (*), low (*)", 0),
      0u)
      << Output;
  EXPECT_NE(Output.find("From 10.00 to 20.00"), std::string::npos);
  ExpectEvalError("(plot-fuzzy-value t \"*\" 0 0 nothing)",
                  "Invalid argument type for deffunction: \"dtAtom\".  Expected Atom, FactId, Fact, Fuzzy");
  ExpectEvalError("(plot-fuzzy-value t \"*\" 0 0)", "Too few arguments for plot-fuzzy-value");
}

TEST_F(FuzzyPackage, FamiliesFollowTheirTypeAndName) {
  std::vector<std::string> Names;
  TFuzzyLogicPackage Package(nullptr);
  Package.CreateFunctions();
  for (int32_t I = 0; I < Package.GetFunctions().Count(); ++I)
    Names.push_back(Package.GetFunctions().Get(I)->GetFunctionName());
  EXPECT_EQ(Names, (std::vector<std::string>{"create-fuzzy-value",
                                             "fuzzy-assert",
                                             "fuzzy-assert-unconditional",
                                             "fuzzy-union",
                                             "fuzzy-union-x",
                                             "fuzzy-intersection",
                                             "fuzzy-intersection-x",
                                             "get-fuzzy-correlation",
                                             "get-fuzzy-inference",
                                             "get-fs",
                                             "get-fs-length",
                                             "get-fs-x",
                                             "get-fs-y",
                                             "get-fs-variable",
                                             "get-fs-value",
                                             "get-u",
                                             "get-u-from",
                                             "get-u-to",
                                             "get-u-units",
                                             "get-fuzzy-auto-terms",
                                             "set-fuzzy-auto-terms",
                                             "get-fuzzy-threshold",
                                             "set-fuzzy-threshold",
                                             "get-activation-threshold",
                                             "set-activation-threshold",
                                             "moment-defuzzify",
                                             "maximum-defuzzify",
                                             "is-undecidable",
                                             "get-compatibility-index",
                                             "plot-fuzzy-value",
                                             "set-fuzzy-correlation",
                                             "set-fuzzy-inference",
                                             "s",
                                             "z",
                                             "pi",
                                             "tri",
                                             "beta"}));

  // Naming a member selects its type, help and counts; a copy keeps the type.
  auto Defuzzify = MakeRef<TDefuzzifyFunction>(dftMoment);
  Defuzzify->SetFunctionName("is-undecidable");
  EXPECT_EQ(Defuzzify->GetFunctionType(), dftUndecidable);
  EXPECT_NE(Defuzzify->GetComment().find("Returns TRUE when a fuzzy value is empty"), std::string::npos);
  Defuzzify->SetFunctionName("my-defuzzify");
  EXPECT_EQ(Defuzzify->GetFunctionType(), dftUndecidable);
  auto Copy = MakeRef<TDefuzzifyFunction>();
  Copy->Assign(Defuzzify.get());
  EXPECT_EQ(Copy->GetFunctionType(), dftUndecidable);
  EXPECT_EQ(Copy->GetFunctionName(), "my-defuzzify");
  auto Thresholds = MakeRef<TRWFuzzyThresholdFunction>();
  Thresholds->SetFunctionName("set-fuzzy-threshold");
  EXPECT_EQ(Thresholds->GetFunctionType(), ftfSetFuzzyThreshold);
  EXPECT_EQ(Thresholds->GetMinArgumentCount(), 1);
  EXPECT_EQ(TDefuzzifyFunctionTypeInfo().Name(dftCompatibilityIndex), "dftCompatibilityIndex");
  EXPECT_NE(FindClass("TDefuzzifyFunction"), nullptr);
  EXPECT_NE(FindClass("TPlotFuzzySetFunction"), nullptr);
}

TEST_F(FuzzyPackage, ASavedSystemUsingThePackageReadsBackAndRuns) {
  Engine->Parse(
      "(deffunction crisp (?v) (moment-defuzzify ?v))"
      "(defrule report (reading (place ?p) (t ?v)) => (log ?p (crisp ?v) (get-u-units ?v)))"
      "(deffacts start (reading (place attic) (t ((0 0) (2 1) (8 0)))))",
      true);
  const auto File = std::filesystem::temp_directory_path() / "rulecraft-fuzzy-package-saved.clp";
  ASSERT_TRUE(Engine->SaveToFile(File.string()));
  TInferenceEngine Loaded;
  Loaded.OnPrintOut = Engine->OnPrintOut;
  ASSERT_TRUE(Loaded.LoadFromFile(File.string()));
  std::filesystem::remove(File);
  Loaded.AddUserFunction(Engine->GetUserFunctionTable().Get("log"));
  Loaded.Reset();
  Loaded.Run();
  ASSERT_EQ(Log.size(), 1u);
  EXPECT_EQ(Log[0], "attic 3.3333 \"Celsius\"");
}

}  // namespace
}  // namespace rulecraft::testing
