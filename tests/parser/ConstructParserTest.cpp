// Reading the constructs: deftemplate with slot qualifiers and constraints, deffacts, defglobal and defrule
// with declarations, conditional elements and field constraints, and an expert system read from text that
// resets and runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "../engine/EngineFixture.h"
#include "rulecraft/parser/ClipsParser.h"
#include "rulecraft/parser/ParseException.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

using TConstructTest = TEngineTest;

}  // namespace

TEST_F(TConstructTest, TemplatesWithTypesDefaultsAndConstraints) {
  Engine->Parse(
      "(deftemplate person \"a person\"\n"
      "  (slot name (type STRING))\n"
      "  (slot age (type INTEGER) (DEFAULT 2.7) (range 0 ?VARIABLE))\n"
      "  (slot weight (type FLOAT) (default 3))\n"
      "  (slot sum (default (+ 1 2)))\n"
      "  (slot colour (allowed-symbols red 1))\n"
      "  (multislot kids))",
      true);
  IFactTemplate Person = Engine->FindFactTemplate("person");
  ASSERT_TRUE(Person);
  EXPECT_EQ(Person->GetComment(), "a person");
  EXPECT_EQ(Person->GetSlot("age")->GetSlotDefault()->GetToString(), "2");
  EXPECT_EQ(Person->GetSlot("weight")->GetSlotDefault()->GetDType(), dtFloat);
  EXPECT_EQ(Person->GetSlot("sum")->GetSlotDefault()->GetAsInteger(), 3);
  EXPECT_TRUE(Person->GetSlot("kids")->IsMultiSlot());
  EXPECT_TRUE(Person->GetSlot("colour")->IsValid(MakeRef<TIEValue>("1", dtAtom)));
  EXPECT_FALSE(Person->GetSlot("colour")->IsValid(MakeRef<TIEValue>("blue", dtAtom)));
  EXPECT_TRUE(Person->GetSlot("age")->GetExtendedTypeInfo()->GetRangeLimited());
  // A parent that does not exist gives no parent and no error; an unknown is-a type is an error.
  Engine->Parse("(deftemplate b extends nothing-here (slot x))", true);
  EXPECT_FALSE(Engine->FindFactTemplate("b")->GetParent());
  EXPECT_EQ(ErrorOf("(deftemplate r is-a temperature)"),
            "Parsing Error, type name unknown or invalid: temperature in ParseFactTemplate at line 1: ( "
            "deftemplate r "
            "is-a temperature ");
  EXPECT_EQ(ErrorOf("(deftemplate q (slot x (type FUZZY INTEGER)))").find("Cannot mix fuzzy type"), 15u);
  EXPECT_NE(ErrorOf("(deftemplate q (slot x (colour 1)))").find("Invalid slot qualifier: colour"),
            std::string::npos);
  // A default the slot refuses is an error.
  EXPECT_NE(ErrorOf("(deftemplate q (slot x (type INTEGER) (default abc)))")
                .find("Not a INTEGER type.  Value (abc) is a dtAtom type for ParseValue slot"),
            std::string::npos);
}

// A value of the wrong kind names the slot's kinds as the rule language writes them, upper-cased.
TEST_F(TConstructTest, WrongKindOfValueNamesTheAllowedKinds) {
  EXPECT_EQ(ErrorOf("(deftemplate v (slot x (type INTEGER) (default old)))"),
            "Parsing Error, Not a INTEGER type.  Value (old) is a dtAtom type for ParseValue slot in "
            "ParseValue(SlotTypes) at line 1: ( deftemplate v ( slot x ( type INTEGER ) ( default old ");
  EXPECT_NE(ErrorOf("(deftemplate w (slot x (type STRING FLOAT) (default old)))")
                .find("Not a STRING, FLOAT type.  Value (old) is a dtAtom type"),
            std::string::npos)
      << ErrorOf("(deftemplate w (slot x (type STRING FLOAT) (default old)))");
}

// A slot narrowing a named type gets a copy of it with its own limits; the named type and the other slots
// using it keep theirs, also in copies of the template and in its text read back.
TEST_F(TConstructTest, SlotNarrowingANamedTypeGetsItsOwnCopy) {
  Engine->Parse(
      "(deftype percent extends (type INTEGER) (range 0 100))"
      "(deftemplate t (slot q (type percent) (range 0 50)) (slot p (type percent)))",
      true);
  const IIEDefinedType Percent = Engine->FindDefinedType("percent");
  ASSERT_TRUE(Percent);
  EXPECT_EQ(Percent->GetMaxRange(), 100);
  const IFactTemplate T = Engine->FindFactTemplate("t");
  EXPECT_NE(T->GetSlot("q")->GetExtendedTypeInfo(), Percent);
  EXPECT_EQ(T->GetSlot("p")->GetExtendedTypeInfo(), Percent);
  EXPECT_EQ(ErrorOf("(assert (t (q 60)))"),
            "Parsing Error, Value \"60\" is not valid, Range must be between 0.0000 and 50.0000 in "
            "ParseValue(SlotTypes) at line 1: ( assert ( t ( q 60 ");
  EXPECT_EQ(ErrorOf("(assert (t (q 50) (p 60)))"), "no error");
  EXPECT_NE(ErrorOf("(assert (t (p 101)))"), "no error");
  // The template's text keeps the narrowed limits, and reads back to a template that refuses 60 too.
  const std::string Text = T->GetToString();
  EXPECT_NE(Text.find("(slot q (type INTEGER) (range 0 50)"), std::string::npos) << Text;
  Engine->Parse("(undeftemplate t)", true);
  Engine->Parse(Text, true);
  EXPECT_NE(ErrorOf("(assert (t (q 60)))"), "no error");
  EXPECT_EQ(Engine->FindDefinedType("percent")->GetMaxRange(), 100);
}

TEST_F(TConstructTest, FactSetsAndGlobals) {
  Engine->Parse("(deftemplate p (slot x))\n(deffacts start \"first\" (p (x 1)) (p (x 2)))", true);
  ASSERT_EQ(Engine->GetFactSets().Count(), 1);
  EXPECT_EQ(Engine->GetFactSets().Get(0)->GetComment(), "first");
  Engine->Reset();
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (p (x 1))", "f-2 (p (x 2))"}));
  Engine->Parse("(defglobal ?*a* = 1 ?*b* = (+ 1 2))", true);
  EXPECT_EQ(Engine->GetContext()->FindGlobalBinding("*a*")->GetValue()->GetAsInteger(), 1);
  EXPECT_EQ(Engine->GetContext()->FindGlobalBinding("*b*")->GetValue()->GetAsInteger(), 3);
  EXPECT_EQ(Engine->GetGlobalVariables().Get("*b*")->GetDType(), dtFunCall);  // kept unevaluated
  EXPECT_EQ(
      ErrorOf("(defglobal ?a = 1)"),
      "Parsing Error, Bad Variable Name, must start and end with an asterisk: ?a in ParseVariable at line 1: "
      "( defglobal ?a ");
}

TEST_F(TConstructTest, RulesWithDeclarationsElementsAndConstraints) {
  Engine->Parse("(defrule r (declare (salience 10) (oneshot TRUE)) (a) =>)", true);
  TRule* R = RuleNamed("r");
  ASSERT_TRUE(R);
  EXPECT_EQ(R->GetSalience(), 10);
  EXPECT_TRUE(R->GetOneShot());
  EXPECT_EQ(ErrorOf("(defrule r2 (declare (priority 1)) (a) =>)")
                .find("Expected rule property, salience, oneshot, or enabled"),
            15u);
  Engine->Parse("(defrule n (a ?x) (not (b ?x)) (exists (c ?x)) =>)", true);
  TRule* N = RuleNamed("n");
  ASSERT_EQ(N->GetPatternCount(), 3);
  EXPECT_EQ(N->GetPattern(1)->GetNegatedCount(), 1);
  EXPECT_EQ(N->GetPattern(2)->GetNegatedCount(), 2);
  Engine->Parse("(defrule t (a ?x) (not (test (> ?x 1))) =>)", true);
  EXPECT_TRUE(RuleNamed("t")->GetPattern(1)->GetSlotTest(0, 0)->IsNegated());
  EXPECT_NE(ErrorOf("(defrule b1 ?f <- (not (a)) =>)").find("\"not\" and \"test\" CEs cannot be bound"),
            std::string::npos);
  // Field constraints: ~ & | and multislot positions.
  Engine->Parse("(deftemplate p (slot s) (multislot m))", true);
  // The flags as read (the rule later folds a "|" into one call).
  std::vector<bool> Conjunctions;
  static_cast<TIEClipsParser&>(Engine->GetParser()).OnParsePattern = [&](TObject*, TIEPattern* Pattern) {
    const int32_t Slot = Pattern->IndexOfSlotName("s");
    for (int32_t I = 0; Slot >= 0 && I < Pattern->GetSlotTestCount(Slot); ++I)
      Conjunctions.push_back(Pattern->GetSlotTest(Slot, I)->GetConjunction());
  };
  Engine->Parse("(defrule c (p (s ~red&~blue) (m 1 ?y)) (p (s red|blue)) =>)", true);
  EXPECT_EQ(Conjunctions, (std::vector<bool>{true, true, true, false}));
  TIEPattern* First = RuleNamed("c")->GetPattern(0);
  const int32_t S = First->IndexOfSlotName("s");
  ASSERT_EQ(First->GetSlotTestCount(S), 2);
  EXPECT_TRUE(First->GetSlotTest(S, 0)->IsNegated());
  EXPECT_TRUE(First->GetSlotTest(S, 1)->IsNegated());
  EXPECT_EQ(First->GetSlotLength(First->IndexOfSlotName("m")), 2);
  EXPECT_NE(ErrorOf("(defrule m (p (s 1 2)) =>)").find("Slot \"s\" is not a multislot"), std::string::npos);
  EXPECT_NE(ErrorOf("(defrule w (a) (b))").find("Expected \"=>\""), std::string::npos);
  // A return-value constraint binds a fresh variable and compares it with eq*.
  Engine->Parse("(defrule e (p (s =(+ 1 2))) =>)", true);
  TIEPattern* Eq = RuleNamed("e")->GetPattern(0);
  const int32_t ES = Eq->IndexOfSlotName("s");
  ASSERT_EQ(Eq->GetSlotTestCount(ES), 2);
  EXPECT_EQ(Eq->GetSlotTest(ES, 0)->GetSlotValue()->GetDType(), dtVariable);
  EXPECT_EQ(Eq->GetSlotTest(ES, 1)->GetSlotValue()->GetAsFunCall()->GetName(), "eq*");
}

TEST_F(TConstructTest, AnExpertSystemReadFromTextResetsAndRuns) {
  Define("gt", [](const std::vector<IIEValue>& Arguments) {
    return Arguments.at(0)->GetAsNumeric() > Arguments.at(1)->GetAsNumeric() ? FCTrue : FCFalse;
  });
  Engine->Parse(
      "(deftemplate order (slot id) (slot customer))\n"
      "(deftemplate customer (slot id) (slot status))\n"
      "(deffacts data\n"
      "  (customer (id bob) (status gold)) (customer (id ann) (status plain))\n"
      "  (order (id 1) (customer bob)) (order (id 2) (customer ann)) (order (id 3) (customer cy)))\n"
      "(defrule unknown (declare (salience 10)) (order (id ?o) (customer ?c)) (not (customer (id ?c)))\n"
      "  => (log unknown ?o))\n"
      "(defrule gold (order (id ?o) (customer ?c)) (customer (id ?c) (status gold)) => (log gold ?o))\n"
      "(defrule big ?f <- (order (id ?o&:(gt ?o 1))) => (log big ?o) (remove ?f))\n",
      true);
  Engine->Reset();
  EXPECT_EQ(Engine->GetFacts().Count(), 6);
  EXPECT_EQ(Engine->Run(), 4);
  EXPECT_EQ(Log, (Lines{"unknown 3", "big 3", "big 2", "gold 1"}));
  EXPECT_EQ(Engine->GetFacts().Count(), 4);
}

TEST_F(TConstructTest, RulesPrintTheirDeclaredSalienceAndNegatedTestsAndReadBack) {
  Engine->Parse(
      "(defrule r (declare (salience (+ 1 2))) (a ?x) (not (test (gt ?x 5))) => (log ?x))\n"
      "(deftemplate p (slot s))\n"
      "(defrule m ?f <- (p (s ?v)) => (modify ?f (s done)))",
      true);
  const std::string Text = RuleNamed("r")->GetToString();
  EXPECT_NE(Text.find("(declare (salience (+ 1 2)))"), std::string::npos) << Text;
  EXPECT_NE(Text.find("(not (test (gt ?x 5)))"), std::string::npos) << Text;
  EXPECT_EQ(RuleNamed("r")->GetSalience(), 3);
  const std::string Modify = RuleNamed("m")->GetToString();
  EXPECT_NE(Modify.find("(modify ?f (s done))"), std::string::npos) << Modify;
  // Read back under other names, they print the same.
  for (const char* Name : {"r", "m"}) {
    const std::string Head = std::string("(defrule ") + Name;
    std::string Again = RuleNamed(Name)->GetToString();
    ASSERT_EQ(Again.rfind(Head, 0), 0u) << Again;
    Again.insert(Head.size(), "2");
    Engine->Parse(Again, true);
    std::string Printed = RuleNamed(std::string(Name) + "2")->GetToString();
    Printed.erase(Head.size(), 1);
    EXPECT_EQ(Printed, RuleNamed(Name)->GetToString());
  }
}

TEST_F(TConstructTest, TheEnginesTextEntryPointsReadOnePieceEach) {
  IFactTemplate Point = Engine->ParseFactTemplate("(deftemplate point (slot x) (multislot tags))");
  EXPECT_FALSE(Engine->FindFactTemplate("point"));  // read, not stored
  Engine->GetFactTemplates().Put(Point);
  TFactSet* Set = Engine->ParseFactSet("(deffacts some (point (x 1)))");
  EXPECT_EQ(Set->Count(), 1);
  EXPECT_EQ(Engine->GetFactSets().Count(), 0);  // not registered
  Engine->FreeComponent(Set);
  EXPECT_TRUE(Engine->ParseGlobalVariables("(defglobal ?*g* = 4)"));
  EXPECT_EQ(Engine->GetGlobalVariables().Get("*g*")->GetAsInteger(), 4);
  std::string Name;
  EXPECT_EQ(Engine->ParseVariable("?*h* = x", Name)->GetToString(), "x");
  EXPECT_EQ(Name, "*h*");
  EXPECT_EQ(Engine->ParseList("a 1 \"s\"")->GetValueCount(), 3);
  IFact Fact = Engine->FindFactTemplate("point")->NewFact();
  EXPECT_EQ(Engine->ParseFactSlot(*Fact, "(tags a b)"), "tags");
  EXPECT_EQ(Fact->GetToString(), "(point (tags a b) (x))");
  auto* Rule = new TRule(Engine.get());
  Rule->SetRuleName("pieces");
  Engine->ParseRulePatterns(*Rule, "(point (x ?x)) (not (point (x 0)))");
  Engine->ParseRuleActions(*Rule, "(log ?x) (log done)");
  EXPECT_EQ(Rule->GetPatternCount(), 2);
  EXPECT_EQ(Rule->GetActionCount(), 2);
  Engine->GetRules().Put(Rule);
  std::istringstream Stream("(assert (point (x 7)))");
  Engine->LoadFromStream(Stream);
  EXPECT_EQ(Engine->Run(), 1);
  EXPECT_EQ(Log, (Lines{"7", "done"}));
}

TEST_F(TConstructTest, NegatedElementsKeepTheirOwnVariables) {
  Engine->Parse(
      "(deftemplate n (slot v))\n(deftemplate m (slot v))\n"
      "(defrule top (n (v ?v)) (not (n (v ?p&:(> ?p ?v)))) (not (m (v ?p&:(> ?p ?v)))) => (log top ?v))\n"
      "(defrule some (n (v ?v)) (exists (m (v ?p&:(< ?p ?v)))) (not (exists (n (v ?p&:(> ?p 100)))))\n"
      "  => (log some ?v))\n"
      "(defrule same (n (v ?p)) (m (v ?q)) (not (m (v ?r&~?q&:(< ?r ?p)))) (not (n (v ?r&:(< ?r 0)))) =>"
      " (log same ?p ?q))",
      true);
  Engine->Reset();
  const int32_t N3 = Engine->Assert("(n (v 3))");
  Engine->Assert("(n (v 7))");
  const int32_t M5 = Engine->Assert("(m (v 5))");
  // top: 7 is the highest n and no m is above it; some: n 7 has an m below it; same: each n with the one m.
  EXPECT_EQ(Engine->Run(), 4);
  std::sort(Log.begin(), Log.end());
  EXPECT_EQ(Log, (Lines{"same 3 5", "same 7 5", "some 7", "top 7"}));
  // An m above 7 blocks top through the second element alone and leaves some without an m below.
  Log.clear();
  const int32_t M9 = Engine->Assert("(m (v 9))");
  Engine->Retract(M5);
  EXPECT_EQ(Engine->Run(), 2);
  std::sort(Log.begin(), Log.end());
  EXPECT_EQ(Log, (Lines{"same 3 9", "same 7 9"}));
  Log.clear();
  Engine->Retract(M9);
  Engine->Assert("(m (v 2))");
  Engine->Retract(N3);
  EXPECT_EQ(Engine->Run(), 3);
  std::sort(Log.begin(), Log.end());
  EXPECT_EQ(Log, (Lines{"same 7 2", "some 7", "top 7"}));
  // A large n blocks every level of some.
  Log.clear();
  Engine->Retract("(m (v 2))");
  Engine->Assert("(m (v 1))");
  Engine->Assert("(n (v 200))");
  Engine->Run();
  EXPECT_TRUE(std::none_of(Log.begin(), Log.end(), [](const std::string& L) {
    return L.rfind("some", 0) == 0;
  })) << ::testing::PrintToString(Log);
  EXPECT_NE(std::find(Log.begin(), Log.end(), "top 200"), Log.end()) << ::testing::PrintToString(Log);
  // Each element's variable is its own: the second is renamed, the first keeps the name.
  TRule* Top = RuleNamed("top");
  EXPECT_EQ(Top->GetBindingByName("p")->GetFactIndex(), 1);
  EXPECT_EQ(Top->GetBindingByName("_2_p")->GetFactIndex(), 2);

  // Used outside every negated element that binds it, the name is an error wherever it appears.
  const std::string Outside =
      "Variable ?p is bound only inside a negated pattern and cannot be used outside it";
  for (const char* Rule : {"(defrule e1 (n (v ?v)) (not (n (v ?p))) (not (m (v ?p))) (m (v ?p)) =>)",
                           "(defrule e2 (n (v ?v)) (exists (n (v ?p))) (test (> ?p 1)) =>)",
                           "(defrule e3 (n (v ?v)) (not (n (v ?p))) (not (m (v ?p))) => (log ?p))",
                           "(defrule e4 (n (v ?v)) (not (exists (n (v ?p)))) (m (v ?q&:(> ?q ?p))) =>)"})
    EXPECT_EQ(ErrorOf(Rule), Outside) << Rule;
  EXPECT_FALSE(RuleNamed("e1"));
  // A negated element's call cannot read a later element's local variable either.
  EXPECT_EQ(ErrorOf("(defrule e5 (n (v ?v)) (not (n (v ?q&:(> ?q ?p)))) (not (m (v ?p))) =>)"), Outside);
}

TEST_F(TConstructTest, RequiredAndDerivedSlotDefaults) {
  Engine->Parse(
      "(deftemplate m (slot at (default ?NONE)) (slot n (type INTEGER) (default ?DERIVE))\n"
      "  (slot k (type INTEGER)) (multislot tools (default ?NONE)) (slot d (default-dynamic ?*g*)))\n"
      "(defglobal ?*g* = 5)",
      true);
  IFactTemplate M = Engine->FindFactTemplate("m");
  ASSERT_TRUE(M);
  EXPECT_TRUE(M->GetSlot("at")->IsRequired());
  EXPECT_EQ(M->GetSlot("n")->GetDefaultKind(), sdkDerive);
  EXPECT_EQ(M->GetSlot("k")->GetDefaultKind(), sdkValue);
  EXPECT_EQ(M->GetSlot("d")->GetDefaultKind(), sdkValue);  // only (default ...) takes the keywords
  // ?DERIVE gives what an omitted default gives.
  EXPECT_TRUE(M->GetSlot("n")->GetSlotDefault()->Equals(M->GetSlot("k")->GetSlotDefault()));
  // Both print as written and read back as an equal template.
  const std::string Text = M->GetToString();
  EXPECT_NE(Text.find("(slot at (default ?NONE))"), std::string::npos) << Text;
  EXPECT_NE(Text.find("(slot n (type INTEGER) (default ?DERIVE))"), std::string::npos) << Text;
  EXPECT_NE(Text.find("(multislot tools (default ?NONE))"), std::string::npos) << Text;
  std::string Again = Text;
  Again.replace(Again.find("(deftemplate m"), 14, "(deftemplate m2");
  Engine->Parse(Again, true);
  std::string Printed = Engine->FindFactTemplate("m2")->GetToString();
  Printed.replace(Printed.find("(deftemplate m2"), 15, "(deftemplate m");
  EXPECT_EQ(Printed, Text);
  EXPECT_FALSE(M->GetSlot("at")->Equals(Engine->FindFactTemplate("m2")->GetSlot("k").get()));
  IFactSlot Copy = M->GetSlot("at")->Clone();
  EXPECT_TRUE(Copy->IsRequired());

  // A fact that gives every required slot is fine; one that misses one is an error naming the slot,
  // whether asserted, listed in a fact set or written in a rule's actions.
  Engine->Reset();
  EXPECT_GE(Engine->Assert("(m (at door) (tools))"), 0);
  EXPECT_EQ(Facts().back(), "f-1 (m (at door) (d 5) (k 0) (n 0) (tools))");
  const std::string Missing = "Slot \"at\" of template m is required and has no value";
  for (const char* Bad : {"(assert (m (tools a)))", "(deffacts f (m (tools a)))",
                          "(defrule r (a) => (assert (m (tools) (n 1))))"}) {
    const std::string Error = ErrorOf(Bad);
    EXPECT_NE(Error.find(Missing), std::string::npos) << Error;
  }
  EXPECT_NE(ErrorOf("(assert (m (at x)))").find("Slot \"tools\" of template m is required"),
            std::string::npos);
  EXPECT_FALSE(RuleNamed("r"));
  EXPECT_EQ(Engine->GetFacts().Count(), 2);
}
