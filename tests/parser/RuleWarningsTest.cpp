// Warnings about rules defined with a likely mistake: an action reading a variable nothing binds, and a
// multifield variable where a single value must stand. The rule is defined (and runs) all the same.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../engine/EngineFixture.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TRuleWarningsTest : public TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    Engine->OnWarning = [this](TObject* Sender, const TIEWarning& Warning) {
      EXPECT_EQ(Sender, Engine.get());
      Warnings.push_back(Warning.Construct + " " + Warning.Name + " " + std::to_string(Warning.Line) + ": " +
                         Warning.Message);
    };
  }
  /// The warnings Text gives, one "construct name line: message" each.
  std::vector<std::string> WarningsOf(const std::string& Text) {
    Warnings.clear();
    Engine->Parse(Text, true);
    return Warnings;
  }
  std::vector<std::string> Warnings;
};

const std::string Unbound = " is used in the actions but no pattern binds it and no earlier bind assigns it";

}  // namespace

TEST_F(TRuleWarningsTest, AnActionReadingAVariableNothingBindsWarnsAndTheRuleStillRuns) {
  EXPECT_EQ(
      WarningsOf("(deftemplate block (slot name))\n"
                 "\n"
                 "(defrule show-block\n"
                 "  (block (name ?b))\n"
                 "  =>\n"
                 "  (printout t \"block \" ?block \" \" ?block crlf))\n"
                 "(defrule count (block (name ?b)) => (printout t ?n) (bind ?n 1) (bind ?m (+ ?m 1)))\n"),
      (std::vector<std::string>{"defrule show-block 3: Variable ?block" + Unbound,
                                "defrule count 7: Variable ?n" + Unbound,
                                "defrule count 7: Variable ?m" + Unbound}));
  // Defined as written: it fires, and reading the variable is the error it always was.
  ASSERT_NE(Engine->GetRules().Get("show-block"), nullptr);
  ExpectError([&] { Engine->Parse("(undefrule count) (assert (block (name a))) (run)", true); },
              "Corrupted Binding, variable not found: block");
  // Without a handler nothing is raised.
  Engine->OnWarning = nullptr;
  Engine->Parse("(defrule quiet => (printout t ?nothing))", true);
  EXPECT_NE(Engine->GetRules().Get("quiet"), nullptr);
}

TEST_F(TRuleWarningsTest, VariablesBoundByPatternsBindsLoopsAndTryDoNotWarn) {
  EXPECT_EQ(WarningsOf("(deftemplate order (slot id) (multislot items))\n"
                       "(defglobal ?*seen* = 0)\n"
                       "(deffunction total (?first $?rest) (bind ?sum ?first) (foreach r ?rest "
                       "(bind ?sum (+ ?sum ?r))) ?sum)\n"
                       "(defrule all-bound\n"
                       "  ?f <- (order (id ?id) (items $?items))\n"
                       "  (not (order (id ?other&:(> ?other ?id))))\n"
                       "  =>\n"
                       "  (bind ?count 0)\n"
                       "  (if (> ?id 3) then (bind ?late TRUE))\n"
                       "  (printout t ?late)\n"
                       "  (foreach item ?items (bind ?count (+ ?count 1)) (printout t ?item))\n"
                       "  (foreach ?x ?items (printout t ?x ?x-index))\n"
                       "  (progn$ (?y ?items) (printout t ?y ?y-index))\n"
                       "  (loop-for-count (?i 1 ?count) (printout t ?i))\n"
                       "  (try (throw oops) catch (printout t ?__ERROR))\n"
                       "  (bind ?*seen* (+ ?*seen* ?count))\n"
                       "  (modify ?f (items $?items))\n"
                       "  (retract ?f))\n"),
            std::vector<std::string>());
}

TEST_F(TRuleWarningsTest, AMultifieldVariableWhereASingleValueMustStandWarns) {
  const std::string Argument = ", which takes single values";
  EXPECT_EQ(
      WarningsOf("(deftemplate person (slot name) (multislot kids))\n"
                 "(defrule sums\n"
                 "  ?p <- (person (name $?n) (kids $?k))\n"
                 "  =>\n"
                 "  (printout t (+ 1 $?k) (> $?k 2) (mod $?k 2))\n"
                 "  (assert (person (name $?k) (kids $?k))))\n"
                 "(defrule rename\n"
                 "  ?p <- (person (kids $?k))\n"
                 "  =>\n"
                 "  (modify ?p (name $?k))\n"
                 "  (duplicate ?p (kids $?k)))\n"),
      (std::vector<std::string>{
          "defrule sums 2: Multifield variable $?n is the value of the single-field slot name of person",
          "defrule sums 2: Multifield variable $?k is an argument of +" + Argument,
          "defrule sums 2: Multifield variable $?k is an argument of >" + Argument,
          "defrule sums 2: Multifield variable $?k is an argument of mod" + Argument,
          "defrule sums 2: Multifield variable $?k is the value of the single-field slot name of person",
          "defrule rename 7: Multifield variable $?k is the value of the single-field slot name of person"}));
  EXPECT_EQ(WarningsOf("(defrule anonymous (person (name $?)) =>)"),
            std::vector<std::string>{"defrule anonymous 1: Multifield variable $? is the value of the "
                                     "single-field slot name of person"});
  // Lists are welcome in multislots, ordered facts and functions that take them.
  EXPECT_EQ(
      WarningsOf("(defrule lists\n"
                 "  (person (name ?n) (kids $?k))\n"
                 "  =>\n"
                 "  (assert (person (name ?n) (kids $?k a)) (names $?k))\n"
                 "  (printout t $?k (length$ $?k) (nth$ 0 $?k) (create$ $?k $?k) (+ 1 (length$ $?k))))\n"),
      std::vector<std::string>());
}

TEST_F(TRuleWarningsTest, ARuleReadFromItsOwnTextStartsAtItsFirstLine) {
  // The engine's text entry point reads a rule from a fresh tokenizer: the rule's line is looked up without
  // taking its opening parenthesis.
  Warnings.clear();
  const std::unique_ptr<TRule> Rule = Engine->ParseRule("\n(defrule lone\n  =>\n  (printout t ?x))");
  ASSERT_NE(Rule, nullptr);
  EXPECT_EQ(Rule->GetRuleName(), "lone");
  EXPECT_EQ(Warnings, (std::vector<std::string>{"defrule lone 2: Variable ?x" + Unbound}));
  ExpectError([&] { (void)Engine->ParseRule("(deffacts x)"); },
              "Parsing Error, Expected \"( defrule\" in ParseRule at line 1: ( deffacts ");
}
