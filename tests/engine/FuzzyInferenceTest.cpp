// Fuzzy inference in an engine: rules firing to the degree their fuzzy patterns match, conclusions
// correlated with that strength, equal fuzzy facts merged by the inference method, and the events that let a
// host take either step over.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/Facts.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/fuzzyset/FuzzySet.h"

using namespace rulecraft;

namespace {

// temp: hot rises from 0 at 50 to 1 at 100. speed: slow and fast are triangles at the ends, low and high
// (automatic) the two ramps over 0..10, which cross at 5 with membership 0.5.
constexpr char Program[] =
    "(deftype temp extends (type FUZZY) (range 0 100)"
    "  (values (term cold ((0 1) (50 0))) (term hot ((50 0) (100 1)))))"
    "(deftype speed extends (type FUZZY) (range 0 10) (values (term slow (tri 0 0 5)) (term fast (tri 5 10 "
    "10))))"
    "(deftemplate t (slot v (type temp)))"
    "(deftemplate fan (slot s (type speed)))"
    "(deftemplate fans (slot id) (multislot s (type speed)))";

class FuzzyInference : public ::testing::Test {
 protected:
  void SetUp() override {
    Engine.OnPrintOut = [this](TObject*, const std::string&, const std::string& Text) { Output += Text; };
    Engine.Parse(Program, true);
    Engine.Reset();
  }
  std::vector<IFact> FactsOf(const std::string& Template) {
    std::vector<IFact> Found;
    for (const IFact& Fact : Engine.GetFacts().Items())
      if (Fact->GetTemplate()->GetTemplateName() == Template) Found.push_back(Fact);
    return Found;
  }
  // The set in slot Slot of the only fact of Template.
  IFuzzySet SetOf(const std::string& Template, const std::string& Slot = "s") {
    const std::vector<IFact> Facts = FactsOf(Template);
    if (Facts.size() != 1) return IFuzzySet();
    return Facts[0]->GetValue(Slot)->GetAsFuzzy();
  }
  // A fact read and resolved as the prompt's assert reads it.
  IFact Fact(const std::string& Text) { return Engine.GetContext()->Resolve(Engine.ParseFact(Text)); }
  std::string ErrorOf(const std::function<void()>& Action) {
    try {
      Action();
    } catch (const Exception& E) {
      return E.Message();
    }
    return "no error";
  }

  TInferenceEngine Engine;
  std::string Output;
};

TEST_F(FuzzyInference, AConclusionIsCorrelatedWithTheStrengthOfItsFiring) {
  Engine.Parse("(defrule r (t (v hot)) => (assert (fan (s fast))))", true);

  // hot matches 100 fully: the conclusion is the term itself.
  Engine.Assert("(t (v 100))");
  ASSERT_EQ(Engine.GetAgendaCount(), 1);
  EXPECT_FLOAT_EQ(Engine.GetActivation(0)->GetStrength(), 1.0f);
  Engine.Run();
  ASSERT_TRUE(SetOf("fan"));
  EXPECT_EQ(SetOf("fan")->GetToString(), "fast");

  // 70 is hot to 0.4: minimum clips fast at 0.4 ...
  Engine.Reset();
  Engine.Assert("(t (v 70))");
  ASSERT_EQ(Engine.GetAgendaCount(), 1);
  EXPECT_FLOAT_EQ(Engine.GetActivation(0)->GetStrength(), 0.4f);
  Engine.Run();
  IFuzzySet Clipped = SetOf("fan");
  ASSERT_TRUE(Clipped);
  EXPECT_NEAR(Clipped->DegreeOfMembership(6), 0.2, 1e-6);
  EXPECT_NEAR(Clipped->DegreeOfMembership(7), 0.4, 1e-6);
  EXPECT_NEAR(Clipped->DegreeOfMembership(9), 0.4, 1e-6);
  EXPECT_NEAR(Clipped->DegreeOfMembership(4), 0.0, 1e-9);

  // ... and product scales it.
  Engine.SetFuzzyCorrelationMethod(fcmProduct);
  Engine.Reset();
  Engine.Assert("(t (v 70))");
  Engine.Run();
  IFuzzySet Scaled = SetOf("fan");
  ASSERT_TRUE(Scaled);
  EXPECT_NEAR(Scaled->DegreeOfMembership(7), 0.16, 1e-6);
  EXPECT_NEAR(Scaled->DegreeOfMembership(9), 0.32, 1e-6);
  EXPECT_NEAR(Scaled->DegreeOfMembership(10), 0.4, 1e-6);

  // The rule's own "fast" was not changed by the firings that weakened their copies of it.
  Engine.Reset();
  Engine.Assert("(t (v 100))");
  Engine.Run();
  EXPECT_EQ(SetOf("fan")->GetToString(), "fast");
  Engine.Reset();
  Engine.Assert("(t (v 70))");
  Engine.Run();

  // Outside a firing a fuzzy fact is not correlated: slow comes in whole and joins the scaled fast.
  Engine.Assert("(fan (s slow))");
  EXPECT_EQ(SetOf("fan")->GetToString(),
            "((0.0000 0.0000) (0.0000 1.0000) (5.0000 0.0000) (10.0000 0.4000) (10.0000 0.0000) )");
}

TEST_F(FuzzyInference, TheStrengthOfAMatchFollowsTheWeakestPatternAndStopsBelowTheThreshold) {
  Engine.Parse(
      "(defrule both (t (v hot)) (fan (s fast)) => )"
      "(defrule show (t (v ?x)) => (printout t \"v is \" ?x crlf))",
      true);
  Engine.Assert("(t (v 80))");                  // hot to 0.6
  Engine.Assert("(fan (s ((5 0) (10 0.3))))");  // fast to at most 0.3
  auto StrengthOf = [this](const std::string& Rule) {
    for (int32_t I = 0; I < Engine.GetAgendaCount(); ++I)
      if (Engine.GetActivation(I)->GetRule()->GetRuleName() == Rule)
        return Engine.GetActivation(I)->GetStrength();
    return -1.0f;
  };
  EXPECT_NEAR(StrengthOf("both"), 0.3f, 1e-6);
  // A variable bound to a fuzzy slot takes the value as it is: no comparison, full strength.
  EXPECT_FLOAT_EQ(StrengthOf("show"), 1.0f);
  Engine.Run();
  EXPECT_EQ(Output, "v is 80\r\n");

  // Setting the threshold keeps it in [0, 1]; a match weaker than it makes no activation.
  Engine.SetMinActivationStrength(2.0f);
  EXPECT_EQ(Engine.GetMinActivationStrength(), 1.0f);
  Engine.SetMinActivationStrength(-0.5f);
  EXPECT_EQ(Engine.GetMinActivationStrength(), 0.0f);
  Engine.SetMinActivationStrength(0.5f);
  Engine.Reset();
  Engine.Assert("(t (v 70))");  // 0.4: stopped
  EXPECT_EQ(StrengthOf("show"), 1.0f);
  EXPECT_EQ(StrengthOf("both"), -1.0f);
  Engine.Parse("(defrule hot (t (v hot)) => )", true);
  EXPECT_EQ(StrengthOf("hot"), -1.0f);
  Engine.Assert("(t (v 90))");  // 0.8: goes on
  EXPECT_NEAR(StrengthOf("hot"), 0.8f, 1e-6);
}

TEST_F(FuzzyInference, PatternsOfOverlappingTermsKeepNodesOfTheirOwn) {
  // cold and warm overlap (both 0.5 at 15): their sets are equal as values, yet a test of one term must not
  // stand for a test of the other. Four rules on one slot also bring in the network's constant fan-out.
  Engine.Parse(
      "(deftype temperature extends (type FUZZY) (range 0 40)"
      "  (values (term cold (z 10 20)) (term warm (tri 10 20 30)) (term hot (s 20 30))))"
      "(deftemplate reading (slot value (type temperature)))"
      "(defrule cold (reading (value cold)) => )"
      "(defrule warm (reading (value warm)) => )"
      "(defrule hot (reading (value hot)) => )"
      "(defrule hot-too (reading (value hot)) => )",
      true);
  auto Fired = [this](const std::string& Value) {
    Engine.Reset();
    Engine.Assert("(reading (value " + Value + "))");
    std::vector<std::string> Rules;
    for (int32_t I = 0; I < Engine.GetAgendaCount(); ++I)
      Rules.push_back(Engine.GetActivation(I)->GetRule()->GetRuleName());
    std::sort(Rules.begin(), Rules.end());
    return Rules;
  };
  using TNames = std::vector<std::string>;
  EXPECT_EQ(Fired("6"), (TNames{"cold"}));
  EXPECT_EQ(Fired("25"), (TNames{"hot", "hot-too", "warm"}));
  EXPECT_EQ(Fired("35"), (TNames{"hot", "hot-too"}));
}

TEST_F(FuzzyInference, AnEqualFuzzyFactIsMergedIntoTheNewOneByTheInferenceMethod) {
  // low and high cross at 5 with 0.5: what each method makes of that point.
  const struct {
    TFuzzyInferenceMethod Method;
    double AtFive;
  } Methods[] = {{fimMinMax, 0.5}, {fimSum, 1.0}, {fimMean, 0.5}, {fimProduct, 0.75}, {fimBoundedSum, 1.0}};
  for (const auto& Case : Methods) {
    SCOPED_TRACE(FuzzyInferenceNames[Case.Method]);
    Engine.Reset();
    Engine.SetFuzzyInferenceMethod(Case.Method);
    const int32_t First = Engine.Assert("(fan (s low))");
    const int32_t Second = Engine.Assert("(fan (s high))");
    EXPECT_GT(Second, First);  // a new identifier; the fact present is gone
    ASSERT_EQ(FactsOf("fan").size(), 1u);
    EXPECT_EQ(FactsOf("fan")[0]->GetID(), Second);
    EXPECT_NEAR(SetOf("fan")->DegreeOfMembership(5), Case.AtFive, 1e-9);
  }
  Engine.SetFuzzyInferenceMethod(fimMinMax);
  EXPECT_NEAR(SetOf("fan")->DegreeOfMembership(0), 1.0, 1e-9);

  // An unconditional assert meets the sets instead.
  Engine.Reset();
  Engine.Assert("(fan (s low))");
  Engine.Assert(Fact("(fan (s high))"), true);
  ASSERT_EQ(FactsOf("fan").size(), 1u);
  EXPECT_NEAR(SetOf("fan")->DegreeOfMembership(5), 0.5, 1e-9);
  EXPECT_NEAR(SetOf("fan")->DegreeOfMembership(0), 0.0, 1e-9);
  EXPECT_NEAR(SetOf("fan")->DegreeOfMembership(10), 0.0, 1e-9);

  // Facts that differ in a crisp slot are not equal, whatever their fuzzy values.
  Engine.Reset();
  Engine.Assert("(fans (id 1) (s low))");
  Engine.Assert("(fans (id 2) (s low))");
  EXPECT_EQ(FactsOf("fans").size(), 2u);
}

TEST_F(FuzzyInference, MultislotsMergeElementByElementOnlyWhenTheirLengthsAgree) {
  Engine.Assert("(fans (id 1) (s low high))");
  Engine.Assert("(fans (id 1) (s high low))");
  ASSERT_EQ(FactsOf("fans").size(), 1u);
  IValueVector Both = FactsOf("fans")[0]->GetValue("s")->GetAsList();
  ASSERT_EQ(Both->GetValueCount(), 2);
  for (int32_t I = 0; I < 2; ++I) {
    EXPECT_NEAR(Both->Get(I)->GetAsFuzzy()->DegreeOfMembership(0), 1.0, 1e-9);
    EXPECT_NEAR(Both->Get(I)->GetAsFuzzy()->DegreeOfMembership(5), 0.5, 1e-9);
  }

  // Another length: the new fact keeps its own values and still takes the place of the old one.
  Engine.Assert("(fans (id 1) (s slow))");
  ASSERT_EQ(FactsOf("fans").size(), 1u);
  IValueVector Own = FactsOf("fans")[0]->GetValue("s")->GetAsList();
  ASSERT_EQ(Own->GetValueCount(), 1);
  EXPECT_EQ(Own->Get(0)->GetToString(), "slow");
}

TEST_F(FuzzyInference, HostsMayTakeOverCorrelationAndInference) {
  Engine.Parse("(defrule r (t (v hot)) => (assert (fan (s fast))))", true);
  float Seen = -1;
  bool TakeOver = true;
  Engine.OnFuzzyCorrelation = [&](TObject*, const IFact& Fact, float Strength, bool& Done) {
    EXPECT_EQ(Fact->GetTemplate()->GetTemplateName(), "fan");
    Seen = Strength;
    Done = TakeOver;
  };
  Engine.Assert("(t (v 70))");
  Engine.Run();
  EXPECT_NEAR(Seen, 0.4f, 1e-6);
  EXPECT_EQ(SetOf("fan")->GetToString(), "fast");  // exactly as the rule built it

  // A handler that leaves Done alone lets the engine correlate.
  TakeOver = false;
  Engine.Reset();
  Engine.Assert("(t (v 70))");
  Engine.Run();
  EXPECT_NEAR(SetOf("fan")->DegreeOfMembership(9), 0.4, 1e-6);

  // Strength 1 never reaches the handler.
  Seen = -1;
  Engine.Reset();
  Engine.Assert("(t (v 100))");
  Engine.Run();
  EXPECT_EQ(Seen, -1.0f);

  // FuzzyInference asks its handler before it unions.
  const IFact Low = Fact("(fan (s low))");
  const IFact High = Fact("(fan (s high))");
  int Asked = 0;
  Engine.OnFuzzyInference = [&](TObject*, const IFact& A, const IFact& B, bool& Done) {
    EXPECT_EQ(A, Low);
    EXPECT_EQ(B, High);
    ++Asked;
    Done = true;
  };
  Engine.FuzzyInference(Low, High);
  EXPECT_EQ(Low->GetValue("s")->GetToString(), "low");
  Engine.OnFuzzyInference = nullptr;
  Engine.FuzzyInference(Low, High);
  EXPECT_EQ(Asked, 1);
  EXPECT_NEAR(Low->GetValue("s")->GetAsFuzzy()->DegreeOfMembership(10), 1.0, 1e-9);
  EXPECT_EQ(High->GetValue("s")->GetToString(), "high");  // the second fact is left as it was
}

TEST_F(FuzzyInference, TheOperationsRefuseFactsTheyCannotCombine) {
  Engine.Parse("(deftemplate plain (slot a))", true);
  const IFact Fan = Fact("(fan (s low))");
  const IFact Temp = Fact("(t (v hot))");
  const IFact Plain = Fact("(plain (a 1))");
  EXPECT_EQ(ErrorOf([&] { Engine.FuzzyOperation(Fan, Temp, true); }),
            "Cannot union two facts with different fact templates: fan and t");
  EXPECT_EQ(ErrorOf([&] { Engine.FuzzyOperation(Plain, Fact("(plain (a 2))"), false); }),
            "Fact is not a fuzzy fact");
  EXPECT_EQ(ErrorOf([&] { Engine.FuzzyCorrelation(Plain, 0.5f); }), "Fact is not a fuzzy fact");
  EXPECT_EQ(ErrorOf([&] { Engine.FuzzyCorrelation(Plain, 1.0f); }), "no error");
  EXPECT_EQ(Fan->GetValue("s")->GetToString(), "low");

  // Values of different kinds are left alone.
  IIEValue Number = MakeRef<TIEValue>(3.0);
  Engine.FuzzyUnion(Number, Fan->GetValue("s"), foZadeh);
  EXPECT_EQ(Number->GetDType(), dtFloat);
}

TEST_F(FuzzyInference, AnAssertWithAMethodOfItsOwnRestoresTheEnginesMethod) {
  Engine.Assert("(fan (s low))");
  EXPECT_GE(Engine.Assert(Fact("(fan (s high))"), fimSum, false), 0);
  EXPECT_NEAR(SetOf("fan")->DegreeOfMembership(5), 1.0, 1e-9);
  EXPECT_EQ(Engine.GetFuzzyInferenceMethod(), fimMinMax);

  // Also when the assert raises.
  Engine.SetMaxFacts(static_cast<int32_t>(Engine.GetFacts().Count()));
  EXPECT_NE(ErrorOf([&] { Engine.Assert(Fact("(t (v 3))"), fimMean, false); }), "no error");
  EXPECT_EQ(Engine.GetFuzzyInferenceMethod(), fimMinMax);
}

TEST_F(FuzzyInference, TheMethodsTravelWithTheEngine) {
  Engine.SetFuzzyInferenceMethod(fimProduct);
  Engine.SetFuzzyCorrelationMethod(fcmProduct);
  Engine.SetMinActivationStrength(0.25f);
  TInferenceEngine Copy;
  Copy.Assign(&Engine);
  EXPECT_EQ(Copy.GetFuzzyInferenceMethod(), fimProduct);
  EXPECT_EQ(Copy.GetFuzzyCorrelationMethod(), fcmProduct);
  EXPECT_EQ(Copy.GetMinActivationStrength(), 0.25f);
}

}  // namespace
