// The fact functions: assert, assert-string, retract, retract-string, modify, duplicate and get-slot-value,
// typed at the top level and fired as rule actions.
#include <gtest/gtest.h>

#include "StdPkgTest.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class FactFunctions : public TStdPkgTest {
 protected:
  void SetUp() override {
    TStdPkgTest::SetUp();
    Template("person", {"name", "age"});
    Engine->FindFactTemplate("person")->AddMultiSlot("tags", FCNilList);
  }
};

TEST_F(FactFunctions, AssertAnswersTheLastIdOrFalse) {
  EXPECT_EQ(Show("(assert)"), "FALSE");
  EXPECT_EQ(Show("(assert (a 1) (b (+ 1 2)))"), "<Fact-2>");
  // A refused duplicate as the last argument answers FALSE; an earlier one does not matter.
  EXPECT_EQ(Show("(assert (c) (a 1))"), "FALSE");
  EXPECT_EQ(Show("(assert (a 1) (d))"), "<Fact-4>");
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (a 1)", "f-2 (b 3)", "f-3 (c)", "f-4 (d)"}));
  ExpectError([&] { Eval("(assert 7)"); }, "Not a fact type.  Value (7) is a dtInteger type");

  // Allowing duplicates answers the previous setting in the function's own sense.
  EXPECT_EQ(Show("(get-fact-duplication)"), "TRUE");
  EXPECT_EQ(Show("(set-fact-duplication FALSE)"), "TRUE");
  EXPECT_EQ(Show("(get-fact-duplication)"), "FALSE");
  EXPECT_EQ(Show("(assert (a 1))"), "<Fact-5>");
  // Only the atom FALSE allows duplicates: 0 and the string "FALSE" refuse them.
  EXPECT_EQ(Show("(set-fact-duplication \"FALSE\")"), "FALSE");
  EXPECT_EQ(Show("(assert (a 1))"), "FALSE");
  EXPECT_EQ(Show("(set-fact-duplication 0)"), "TRUE");
  EXPECT_TRUE(Engine->GetFacts().GetCacheHashCodes());
}

TEST_F(FactFunctions, AssertStringAndRetracting) {
  EXPECT_EQ(Show("(assert-string \"(a x y)\" \"(b)\")"), "<Fact-2>");
  // No FALSE here: the refused duplicate's -1 comes back as it is.
  EXPECT_EQ(Show("(assert-string \"(b)\")"), "<Fact--1>");
  ExpectError([&] { Eval("(assert-string \"(a\")"); },
              "Parsing Error, Expected \")\" in ParseFact at line 1: ( a EOF ");
  EXPECT_EQ(Show("(assert (c 1) (c 2))"), "<Fact-4>");

  // Missing ids are skipped; the rest go.
  EXPECT_EQ(Show("(retract 99 1)"), "TRUE");
  EXPECT_EQ(Show("(retract-string \"(c 2)\" \"(c 9)\")"), "TRUE");
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-2 (b)", "f-3 (c 1)"}));
  ExpectError([&] { Eval("(retract abc)"); }, "Not a fact id type.  Value (abc) is a dtAtom type");
  // "*" retracts everything, the initial fact included; later arguments are ignored.
  EXPECT_EQ(Show("(retract * 2)"), "TRUE");
  EXPECT_TRUE(Facts().empty());
}

TEST_F(FactFunctions, ModifyAndDuplicateChangeSlots) {
  EXPECT_EQ(Show("(assert (person (name bob) (age 30)))"), "<Fact-1>");
  EXPECT_EQ(Show("(modify 1 (age 31) (tags a b c))"), "<Fact-2>");
  // One value for a multislot becomes a list of one.
  EXPECT_EQ(Show("(duplicate 2 (name ann) (tags x))"), "<Fact-3>");
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-2 (person (age 31) (name bob) (tags a b c))",
                            "f-3 (person (age 31) (name ann) (tags x))"}));

  ExpectError([&] { Eval("(modify 9 (age 1))"); }, "No Such Fact with ID=9 exists");
  ExpectError([&] { Eval("(duplicate 9 (age 1))"); }, "No Such Fact with ID=9 exists");
  ExpectError([&] { Eval("(duplicate 3 (height 2))"); }, "No such slot name: \"height\"");
  EXPECT_EQ(Engine->GetFacts().Count(), 3);
  // A failing change still closes the modify: the fact returns, with a new id and the changes made so far.
  ExpectError([&] { Eval("(modify 3 (age 40) (height 2))"); }, "No such slot name: \"height\"");
  EXPECT_EQ(Facts().back(), "f-4 (person (age 40) (name ann) (tags x))");
  // A modify that makes the fact equal to another one loses it, as a refused assert does.
  EXPECT_EQ(Show("(modify 4 (name bob) (age 31) (tags a b c))"), "<Fact--1>");
  EXPECT_EQ(Engine->GetFacts().Count(), 2);
}

TEST_F(FactFunctions, GetSlotValueAnswersACopy) {
  Eval("(assert (person (name bob) (tags a b)) (a x y))");
  EXPECT_EQ(Show("(get-slot-value 1 name)"), "bob");
  EXPECT_TRUE(Eval("(get-slot-value (assert (z 9)))")->Equals(List({Int(9)})));
  // Without a slot name, the ordered fact's list; changing the copy leaves the fact as it was.
  const IIEValue Copy = Eval("(get-slot-value 2)");
  EXPECT_TRUE(Copy->Equals(List({Atom("x"), Atom("y")})));
  Copy->GetAsList()->Add(Atom("z"));
  Copy->GetAsList()->Get(0)->SetAsString("w");
  EXPECT_EQ(Engine->GetFacts().GetFactByID(2)->GetToString(), "(a x y)");

  ExpectError([&] { Eval("(get-slot-value 1 height)"); }, "No such slot name: \"height\"");
  ExpectError([&] { Eval("(get-slot-value 1)"); }, "No such slot name: \"__Data\"");
  ExpectError([&] { Eval("(get-slot-value 42)"); }, "No Such Fact with ID=42 exists");
  ExpectError([&] { Eval("(get-slot-value (assert (a x y)))"); },
              "Invalid argument type for deffunction: \"dtAtom\".  Expected FactId, Fact");
  ExpectError([&] { Eval("(get-slot-value 1 name extra)"); }, "Too many arguments for get-slot-value");
}

TEST_F(FactFunctions, RuleActionsWorkOnTheMatchedFacts) {
  Template("counter", {"n"});
  // Each firing asserts a fact of its own and moves the counter on: (run 3) fires three times.
  Rule("count", Lhs(Pattern("counter", {{"n", Var("n")}}, 0, "f")),
       {Action("(assert (seen ?n (+ ?n 10)))"), Action("(modify ?f (n (+ ?n 1)))")});
  Rule("copy", Lhs(Pattern("counter", {{"n", Int(3)}}, 0, "f")),
       {Action("(duplicate ?f (n done))"), Action("(halt)")}, 10);
  Assert("counter", {{"n", Int(0)}});
  EXPECT_EQ(Show("(run 3)"), "3");
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-2 (seen 0 10)", "f-4 (seen 1 11)", "f-6 (seen 2 12)",
                            "f-7 (counter (n 3))"}));
  // The copy rule goes first and halts the run after its own firing.
  EXPECT_EQ(Show("(run)"), "1");
  EXPECT_EQ(Facts().back(), "f-8 (counter (n done))");
  EXPECT_EQ(Agenda(), (Lines{"count: f-8", "count: f-7"}));
  // An action may empty the fact base under its own activation; the actions after it still run.
  Template("wipe", {});
  Rule("wipe", Lhs(Pattern("wipe", {})), {Action("(retract *)"), Action("(assert (after))")}, 20);
  Eval("(assert (wipe))");
  EXPECT_EQ(Show("(run)"), "1");
  EXPECT_EQ(Facts(), (Lines{"f-10 (after)"}));
  EXPECT_TRUE(Agenda().empty());
}

}  // namespace
