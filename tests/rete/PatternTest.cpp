// Patterns, their slot tests and join tests: slot lists, counts and change notices, copies, evaluation,
// equality, the rewriting of disjunctions, and the printed form.
#include <gtest/gtest.h>

#include "../FakeRuleEngine.h"
#include "../TestValues.h"
#include "rulecraft/rete/Token.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

IFactTemplate MakeTemplate(TComponent* Owner, const std::string& Name, std::vector<std::string> Slots,
                           std::vector<std::string> MultiSlots = {}) {
  IFactTemplate Template = MakeRef<TFactTemplate>(Owner, Name);
  for (const std::string& Slot : Slots) Template->AddSlot(Slot, FCNil);
  for (const std::string& Slot : MultiSlots) Template->AddMultiSlot(Slot, FCNilList);
  return Template;
}

IFactTemplate MakeOrdered(TComponent* Owner, const std::string& Name) {
  return MakeTemplate(Owner, Name, {}, {SDefaultSlotName});
}

// (echo x): x resolved, so that a test can make a call return any value.
class TEchoFunction final : public TIEUserFunction {
 public:
  TEchoFunction() : TIEUserFunction("echo", 1, 1) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    Result = Arg(FunCall, 0, Context);
  }
};

}  // namespace

// ---- slot list --------------------------------------------------------------------------------------------

TEST(Pattern, NewPatternListsEveryTemplateSlotSortedWithoutTests) {
  IFactTemplate T = MakeTemplate(nullptr, "person", {"zeta", "name", "age", "Age"});
  TIEPattern P(nullptr, "person", T, 0);
  ASSERT_EQ(P.GetSlotCount(), 4);
  const std::vector<std::string> Expected{"Age", "age", "name", "zeta"};
  for (int32_t I = 0; I < 4; ++I) {
    EXPECT_EQ(P.GetSlotName(I), Expected[static_cast<size_t>(I)]);
    EXPECT_EQ(P.GetSlotTests(I), nullptr);
    EXPECT_EQ(P.GetSlotTestCount(I), 0);
    EXPECT_EQ(P.GetSlotLength(I), -1);
  }
  EXPECT_EQ(P.IndexOfSlotName("age"), 1);
  EXPECT_EQ(P.IndexOfSlotName("AGE"), -1);
  EXPECT_EQ(P.GetTestCount(), 0);
  EXPECT_EQ(P.GetDisjunctiveCount(), 0);
  EXPECT_EQ(P.GetOwner(), nullptr);

  ExpectError<EListError>([&] { P.GetSlotName(4); }, "List index out of bounds (4)");
  ExpectError<EListError>([&] { P.GetSlotName(-1); }, "List index out of bounds (-1)");
  ExpectError<EListError>([&] { P.SetSlotLength(4, 2); }, "List index out of bounds (4)");
  ExpectError<EListError>([&] { P.GetSlotTests(-1); }, "List index out of bounds (-1)");
  ExpectError<EListError>([&] { P.GetSlotTest(0, 0); }, "List index out of bounds (0)");
}

TEST(Pattern, NegationFollowsTheParityOfTheCount) {
  IFactTemplate T = MakeOrdered(nullptr, "a");
  for (int32_t N : {0, 1, 2, 3, 4}) EXPECT_EQ(TIEPattern(nullptr, "a", T, N).IsNegated(), N % 2 == 1) << N;
  TIEPattern P(nullptr, "a", T, 2);
  P.SetNegatedCount(3);
  EXPECT_TRUE(P.IsNegated());
}

TEST(Pattern, AddTestChecksTemplateAndSlotAndListsNewTemplateSlots) {
  TIEPattern NoTemplate(nullptr, "x", IFactTemplate(), 0);
  ExpectError([&] { NoTemplate.AddTest("a", Atom("1"), NoSubIndex, false, true); },
              "Fact Template is missing");
  ExpectError(
      [&] { NoTemplate.AddTest("a", NoTemplate.CreatePatternMatchTest(sttEquals, NoSubIndex, Int(1))); },
      "Fact Template is missing");

  IFactTemplate Car = MakeTemplate(nullptr, "car", {"color"});
  TIEPattern P(nullptr, "car", Car, 0);
  int Changes = 0;
  P.OnChange = [&](TIEPattern*) { ++Changes; };
  ExpectError([&] { P.AddTest("colour", Atom("red"), NoSubIndex, false, true); },
              "No such slot name: \"colour\"");
  EXPECT_EQ(P.GetTestCount(), 0);
  EXPECT_EQ(P.GetSlotCount(), 1);
  EXPECT_EQ(Changes, 0);

  // A slot the template gained after the pattern was made is listed, in order, with its first test.
  Car->AddSlot("brand", FCNil);
  EXPECT_EQ(P.IndexOfSlotName("brand"), -1);
  TIEPatternMatchTest* Brand = P.AddTest("brand", Atom("acme"), NoSubIndex, true, false);
  ASSERT_EQ(P.GetSlotCount(), 2);
  EXPECT_EQ(P.GetSlotName(0), "brand");
  EXPECT_EQ(P.GetSlotName(1), "color");
  EXPECT_EQ(P.GetSlotLength(0), -1);
  EXPECT_EQ(P.GetSlotTest(0, 0), Brand);
  EXPECT_EQ(Brand->GetPattern(), &P);
  EXPECT_TRUE(Brand->IsNegated());
  EXPECT_FALSE(Brand->GetConjunction());
  EXPECT_EQ(P.GetTestCount(), 1);
  EXPECT_EQ(P.GetDisjunctiveCount(), 1);

  TIEPatternMatchTest* Red = P.AddTest("color", P.CreatePatternMatchTest(sttEquals, NoSubIndex, Atom("red")));
  EXPECT_EQ(P.GetSlotTest(1, 0), Red);
  EXPECT_EQ(P.GetTestCount(), 2);
  EXPECT_EQ(P.GetDisjunctiveCount(), 1);
}

TEST(Pattern, OnlyANegatedTestElementRefusesABinding) {
  IFactTemplate TestTemplate = MakeOrdered(nullptr, STestCE);
  TIEPattern TestElement(nullptr, STestCE, TestTemplate, 1);
  ExpectError([&] { TestElement.SetBoundName("f"); }, "Cannot bind a negated pattern to a variable");
  EXPECT_EQ(TestElement.GetBoundName(), "");
  TestElement.SetNegatedCount(2);
  TestElement.SetBoundName("f");
  EXPECT_EQ(TestElement.GetBoundName(), "f");

  TIEPattern Negated(nullptr, "a", MakeOrdered(nullptr, "a"), 1);
  Negated.SetBoundName("g");
  EXPECT_EQ(Negated.GetBoundName(), "g");
}

// ---- change notices and counts ----------------------------------------------------------------------------

TEST(Pattern, ChangeNoticesNestAndReachTheOwningRule) {
  TFakeRuleEngine Engine;
  IFactTemplate T = MakeTemplate(&Engine, "a", {"x"});
  auto* Rule = new TRule(&Engine);  // owned by the engine
  TIEPattern P(Rule, "a", T, 0);
  int Changes = 0;
  P.OnChange = [&](TIEPattern* Sender) {
    EXPECT_EQ(Sender, &P);
    ++Changes;
  };
  const int32_t RuleChangesBefore = Engine.RuleChanges;

  P.SetUnique(true);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(Engine.RuleChanges, RuleChangesBefore + 1);
  EXPECT_EQ(Engine.ChangedRules.back(), Rule);
  P.SetUnique(true);
  P.SetName("a");
  P.SetBoundName("");
  EXPECT_EQ(Changes, 1);

  P.BeginUpdate();
  P.BeginUpdate();
  P.SetExplicit(true);
  P.SetName("b");
  P.AddTest("x", Int(1), NoSubIndex, false, true);
  P.SetSlotLength(0, 2);
  EXPECT_EQ(Changes, 1);
  P.EndUpdate();
  EXPECT_EQ(Changes, 1);
  P.EndUpdate();
  EXPECT_EQ(Changes, 2);
  EXPECT_EQ(Engine.RuleChanges, RuleChangesBefore + 2);
  P.EndUpdate();  // unbalanced: nothing
  EXPECT_EQ(Changes, 2);

  // A change of a test the pattern holds is a change of the pattern; a test it does not hold is not.
  TIEPatternMatchTest* X = P.GetSlotTest(0, 0);
  X->SetSlotValue(Int(2));
  EXPECT_EQ(Changes, 3);
  X->SetMultiSlotSubIndex(NoSubIndex);
  X->SetConjunction(true);
  EXPECT_EQ(Changes, 3);
  std::unique_ptr<TIEPatternMatchTest> Loose = P.CreatePatternMatchTest(sttEquals, NoSubIndex, Int(3));
  EXPECT_EQ(Loose->GetPattern(), &P);
  Loose->SetConjunction(false);
  Loose->SetSlotValue(Int(4));
  EXPECT_EQ(Changes, 3);
  EXPECT_EQ(P.GetDisjunctiveCount(), 0);
}

TEST(Pattern, CountsFollowEveryChangeOfTheTestLists) {
  TIEPattern P(nullptr, "car", MakeTemplate(nullptr, "car", {"color"}), 0);
  TIEPatternMatchTest* Red = P.AddTest("color", Atom("red"), NoSubIndex, false, true);
  TIEPatternMatchTest* Blue = P.AddTest("color", Atom("blue"), NoSubIndex, false, false);
  TIEPatternMatchTest* Green = P.AddTest("color", Atom("green"), NoSubIndex, false, false);
  EXPECT_EQ(P.GetTestCount(), 3);
  EXPECT_EQ(P.GetDisjunctiveCount(), 2);

  Blue->SetConjunction(true);
  EXPECT_EQ(P.GetDisjunctiveCount(), 1);
  Blue->SetConjunction(true);
  EXPECT_EQ(P.GetDisjunctiveCount(), 1);
  Red->SetConjunction(false);
  EXPECT_EQ(P.GetDisjunctiveCount(), 2);
  Red->SetConjunction(true);
  EXPECT_EQ(P.GetDisjunctiveCount(), 1);

  // An extracted test is the caller's: its flags no longer count.
  TSlotTests* List = P.GetSlotTests(0);
  std::unique_ptr<TIEPatternMatchTest> Out = List->Extract(List->IndexOf(Green));
  EXPECT_EQ(P.GetTestCount(), 2);
  EXPECT_EQ(P.GetDisjunctiveCount(), 0);
  Out->SetConjunction(true);
  Out->SetConjunction(false);
  EXPECT_EQ(P.GetDisjunctiveCount(), 0);
  List->Insert(0, std::move(Out));
  EXPECT_EQ(List->Get(0), Green);
  EXPECT_EQ(P.GetTestCount(), 3);
  EXPECT_EQ(P.GetDisjunctiveCount(), 1);

  // Replacing Red (conjunctive) by a disjunctive test.
  auto Replacement = P.CreatePatternMatchTest(sttNotEquals, NoSubIndex, Atom("pink"));
  Replacement->SetConjunction(false);
  P.SetSlotTest(0, 1, std::move(Replacement));
  EXPECT_NE(P.GetSlotTest(0, 1), Red);
  EXPECT_EQ(P.GetTestCount(), 3);
  EXPECT_EQ(P.GetDisjunctiveCount(), 2);

  EXPECT_EQ(List->Remove(Blue), 2);
  EXPECT_EQ(List->Remove(Blue), -1);
  EXPECT_EQ(P.GetTestCount(), 2);
  ExpectError<EListError>([&] { List->Insert(3, P.CreatePatternMatchTest(sttEquals, NoSubIndex, FCTrue)); },
                          "List index out of bounds (3)");
  ExpectError<EListError>([&] { List->Delete(2); }, "List index out of bounds (2)");
  List->Clear();
  EXPECT_EQ(P.GetTestCount(), 0);
  EXPECT_EQ(P.GetDisjunctiveCount(), 0);
  EXPECT_EQ(P.GetSlotTestCount(0), 0);
  EXPECT_NE(P.GetSlotTests(0), nullptr);
}

// ---- copies -----------------------------------------------------------------------------------------------

TEST(Pattern, CopiesAreIndependentOfTheirSource) {
  TFakeRuleEngine Engine;
  IFactTemplate Car = MakeTemplate(&Engine, "car", {"color"}, {"tags"});
  TIEPattern P(&Engine, "car", Car, 1);
  P.SetComment("note");
  P.SetUnique(true);
  P.SetExplicit(true);
  P.AddTest("color", Atom("red"), NoSubIndex, false, true);
  P.AddTest("color", Atom("blue"), NoSubIndex, false, false);
  P.AddTest("tags", Int(1), 0, true, true);
  P.SetSlotLength(1, 1);

  std::unique_ptr<TIEPattern> C = P.Clone(nullptr);
  EXPECT_EQ(C->GetOwner(), nullptr);
  EXPECT_EQ(C->GetName(), "car");
  EXPECT_EQ(C->GetFactTemplate(), Car);
  EXPECT_EQ(C->GetNegatedCount(), 1);
  EXPECT_TRUE(C->GetUnique());
  EXPECT_TRUE(C->GetExplicit());
  EXPECT_EQ(C->GetComment(), "note");
  EXPECT_EQ(C->GetTestCount(), 3);
  EXPECT_EQ(C->GetDisjunctiveCount(), 1);
  EXPECT_EQ(C->GetSlotLength(1), 1);
  EXPECT_EQ(C->GetToString(), P.GetToString());
  for (int32_t S = 0; S < 2; ++S)
    for (int32_t I = 0; I < P.GetSlotTestCount(S); ++I) {
      EXPECT_NE(C->GetSlotTest(S, I), P.GetSlotTest(S, I));
      EXPECT_NE(C->GetSlotTest(S, I)->GetSlotValue(), P.GetSlotTest(S, I)->GetSlotValue());
      EXPECT_TRUE(C->GetSlotTest(S, I)->Equals(*P.GetSlotTest(S, I)));
      EXPECT_EQ(C->GetSlotTest(S, I)->GetPattern(), C.get());
    }

  const std::string Before = P.GetToString();
  C->GetSlotTest(0, 1)->SetConjunction(true);
  C->GetSlotTest(0, 0)->GetSlotValue()->SetAsAtom("green");
  C->SetSlotLength(1, 3);
  C->SetNegatedCount(0);
  EXPECT_EQ(C->GetDisjunctiveCount(), 0);
  EXPECT_EQ(P.GetDisjunctiveCount(), 1);
  EXPECT_EQ(P.GetSlotLength(1), 1);
  EXPECT_EQ(P.GetToString(), Before);

  // Assign replaces the whole slot list and the counts.
  TIEPattern Other(nullptr, "other", MakeTemplate(nullptr, "other", {"a", "b", "c"}), 0);
  Other.AddTest("a", Int(1), NoSubIndex, false, false);
  Other.Assign(&P);
  EXPECT_EQ(Other.GetSlotCount(), 2);
  EXPECT_EQ(Other.GetTestCount(), 3);
  EXPECT_EQ(Other.GetDisjunctiveCount(), 1);
  EXPECT_EQ(Other.GetOwner(), nullptr);
  EXPECT_EQ(PrettyPrintPattern(Other), Before);

  // SetTests checks every slot against this pattern's template before replacing anything.
  TIEPattern Narrow(nullptr, "car", MakeTemplate(nullptr, "car", {"color"}), 0);
  Narrow.AddTest("color", Atom("x"), NoSubIndex, false, true);
  ExpectError([&] { Narrow.SetTests(P); }, "No such slot name: \"tags\"");
  EXPECT_EQ(PrettyPrintPattern(Narrow), "(car (color x))");
  EXPECT_EQ(Narrow.GetTestCount(), 1);
}

// ---- equality and texts -----------------------------------------------------------------------------------

TEST(SlotTests, EqualityComparesEveryField) {
  TIEPatternMatchTest A(nullptr, sttEquals, 1, Atom("red"));
  TIEPatternMatchTest B(A, Atom("red"));
  EXPECT_TRUE(A.Equals(B));
  B.SetConjunction(false);
  EXPECT_FALSE(A.Equals(B));
  EXPECT_FALSE(B.Equals(A));
  EXPECT_FALSE(A.Equals(TIEPatternMatchTest(nullptr, sttNotEquals, 1, Atom("red"))));
  EXPECT_FALSE(A.Equals(TIEPatternMatchTest(nullptr, sttEquals, 2, Atom("red"))));
  EXPECT_FALSE(A.Equals(TIEPatternMatchTest(nullptr, sttEquals, 1, Str("red"))));
  EXPECT_FALSE(A.Equals(TIEPatternMatchTest(nullptr, sttEquals, 1, IIEValue())));
  EXPECT_TRUE(TIEPatternMatchTest(nullptr).Equals(TIEPatternMatchTest(nullptr)));

  EXPECT_TRUE(A.Equals(false, true, 1, Atom("red")));
  EXPECT_FALSE(A.Equals(false, false, 1, Atom("red")));
  EXPECT_FALSE(A.Equals(true, true, 1, Atom("red")));
  EXPECT_FALSE(A.Equals(false, true, NoSubIndex, Atom("red")));
  EXPECT_TRUE(B.Equals(false, 1, Atom("red")));  // the short form ignores the conjunction flag
  EXPECT_FALSE(B.Equals(false, 1, Int(1)));

  TIEJoinTest J(sttEquals, "a", "b", 0);
  EXPECT_TRUE(J.Equals(TIEJoinTest(sttEquals, "a", "b", 0)));
  EXPECT_FALSE(J.Equals(TIEJoinTest(sttEquals, "a", "b", 1)));
  EXPECT_FALSE(J.Equals(TIEJoinTest(sttNotEquals, "a", "b", 0)));
  EXPECT_FALSE(J.Equals(TIEJoinTest(sttEquals, "b", "a", 0)));
  EXPECT_FALSE(J.Equals(TIEJoinTest(sttEquals, "a", NoSubIndex, "b", NoSubIndex, 0)));
  TIEJoinTest M(sttEquals, "a", 0, "b", 1, 2);
  EXPECT_TRUE(M.Equals(TIEJoinTest(sttEquals, "a", 0, "b", 1, 2)));
  EXPECT_FALSE(M.Equals(TIEJoinTest(sttEquals, "a", 1, "b", 1, 2)));
  EXPECT_FALSE(M.Equals(TIEJoinTest(sttEquals, "a", 0, "b", 0, 2)));
  EXPECT_TRUE(M.Clone()->Equals(M));
  EXPECT_FALSE(A.Equals(J));
  EXPECT_FALSE(J.Equals(A));
}

TEST(SlotTests, TextForms) {
  EXPECT_EQ(TIEPatternMatchTest(nullptr, sttEquals, NoSubIndex, Atom("red")).GetToString(),
            "= SubIdx: -1 Slot: red");
  EXPECT_EQ(TIEPatternMatchTest(nullptr, sttNotEquals, 2, Var("x")).ToString(), "<> SubIdx: 2 Slot: ?x");
  EXPECT_EQ(TIEPatternMatchTest(nullptr).GetToString(), "= SubIdx: -1");
  EXPECT_EQ(TIEJoinTest(sttEquals, "a", "b", 1).GetToString(), "= tstSlot TokenIdx: 1 Left: a Right: b");
  EXPECT_EQ(TIEJoinTest(sttNotEquals, "a", 2, "b", NoSubIndex, 0).GetToString(),
            "<> tstMultiSlot TokenIdx: 0 Left: a 2 Right: b -1");
}

// ---- evaluation -------------------------------------------------------------------------------------------

TEST(PatternMatchTest, ACallTestFailsOnlyOnFalse) {
  TFakeRuleEngine Engine;
  Engine.AddUserFunction(MakeRef<TEchoFunction>());
  auto Passes = [&](const IIEValue& Result, TSlotTestType Type) {
    TIEPatternMatchTest Test(nullptr, Type, NoSubIndex, CallValue(NewCall(&Engine, "echo", {Result})));
    return Test.PerformTest(Engine.GetContext());
  };
  for (const IIEValue& Value : {Int(0), FCNil, FCTrue, Str("FALSE"), Atom("false")}) {
    EXPECT_TRUE(Passes(Value, sttEquals)) << Value->GetToString();
    EXPECT_FALSE(Passes(Value, sttNotEquals)) << Value->GetToString();
  }
  for (const IIEValue& Value : {FCFalse, Atom("FALSE")}) {
    EXPECT_FALSE(Passes(Value, sttEquals));
    EXPECT_TRUE(Passes(Value, sttNotEquals));
  }

  // A variable resolves through the context.
  std::unique_ptr<TIEContext> Child = Engine.GetContext()->Push();
  Child->AddLocalBinding("r", FCFalse);
  EXPECT_FALSE(TIEPatternMatchTest(nullptr, sttEquals, NoSubIndex, Var("r")).PerformTest(Child.get()));
  EXPECT_TRUE(TIEPatternMatchTest(nullptr, sttNotEquals, NoSubIndex, Var("r")).PerformTest(Child.get()));
}

TEST(JoinTest, ComparesTheRightFactWithTheTokensFact) {
  IFactTemplate T = MakeTemplate(nullptr, "p", {"id"}, {"tags"});
  auto MakeFact = [&](int32_t Id, std::vector<IIEValue> Tags) {
    IFact Fact = MakeRef<TFact>(T);
    Fact->SetValue("id", Int(Id));
    Fact->SetValue("tags", List(std::move(Tags)));
    return Fact;
  };
  IFact Left0 = MakeFact(1, {Atom("a"), Atom("b")});
  IFact Left1 = MakeFact(2, {Atom("a")});
  IFact Right = MakeFact(1, {Atom("b"), Atom("a")});
  IReteToken Token = MakeRef<TIEToken>(MakeRef<TIEToken>(taAdd, Left0), Left1);
  TIEContext Context(nullptr, nullptr);
  Context.SetToken(Token);
  Context.SetFact(Right);

  EXPECT_TRUE(TIEJoinTest(sttEquals, "id", "id", 0).PerformTest(&Context));
  EXPECT_FALSE(TIEJoinTest(sttEquals, "id", "id", 1).PerformTest(&Context));
  EXPECT_TRUE(TIEJoinTest(sttNotEquals, "id", "id", 1).PerformTest(&Context));
  EXPECT_FALSE(TIEJoinTest(sttEquals, "tags", "tags", 0).PerformTest(&Context));

  // Fields: left (a b)[0] = a against right (b a)[1] = a; whole values (a b) and (b a) differ.
  EXPECT_TRUE(TIEJoinTest(sttEquals, "tags", 0, "tags", 1, 0).PerformTest(&Context));
  EXPECT_FALSE(TIEJoinTest(sttNotEquals, "tags", 0, "tags", 1, 0).PerformTest(&Context));
  EXPECT_FALSE(TIEJoinTest(sttEquals, "tags", NoSubIndex, "tags", NoSubIndex, 0).PerformTest(&Context));
  EXPECT_TRUE(TIEJoinTest(sttEquals, "id", NoSubIndex, "id", NoSubIndex, 0).PerformTest(&Context));
  // A field beyond the list equals nothing.
  EXPECT_FALSE(TIEJoinTest(sttEquals, "tags", 1, "tags", 0, 1).PerformTest(&Context));
  EXPECT_TRUE(TIEJoinTest(sttNotEquals, "tags", 1, "tags", 0, 1).PerformTest(&Context));

  // No fact at TokenIdx: the test passes, also as a not-equals test.
  EXPECT_TRUE(TIEJoinTest(sttEquals, "tags", 0, "tags", 0, 2).PerformTest(&Context));
  EXPECT_TRUE(TIEJoinTest(sttNotEquals, "tags", 0, "tags", 0, 2).PerformTest(&Context));
  EXPECT_TRUE(TIEJoinTest(sttNotEquals, "tags", 0, "tags", 0, -1).PerformTest(&Context));
  EXPECT_TRUE(TIEJoinTest(sttNotEquals, "id", "id", 5).PerformTest(&Context));
}

// ---- disjunctions -----------------------------------------------------------------------------------------

TEST(PatternFixTests, DisjunctionsBecomeOneCallOnTheFieldVariable) {
  TFakeRuleEngine Engine;
  Engine.AddTestFunctions();
  IFactTemplate Car = Engine.CreateFactTemplate("car");
  for (const char* Slot : {"color", "owner", "year"}) Car->AddSlot(Slot, FCNil);
  Car->AddMultiSlot("tags", FCNilList);
  auto* Rule = new TRule(&Engine);
  auto Owned = std::make_unique<TIEPattern>(nullptr, "car", Car, 0);
  TIEPattern& P = *Owned;
  // (color red|blue)
  P.AddTest("color", Atom("red"), NoSubIndex, false, true);
  P.AddTest("color", Atom("blue"), NoSubIndex, false, false);
  // (owner ?x&~red|blue)
  P.AddTest("owner", Var("x"), NoSubIndex, false, true);
  P.AddTest("owner", Atom("red"), NoSubIndex, true, true);
  P.AddTest("owner", Atom("blue"), NoSubIndex, false, false);
  // (tags a&b|c z): only the first field is rewritten
  P.AddTest("tags", Atom("a"), 0, false, true);
  P.AddTest("tags", Atom("b"), 0, false, true);
  P.AddTest("tags", Atom("c"), 0, false, false);
  P.AddTest("tags", Atom("z"), 1, false, true);
  P.SetSlotLength(P.IndexOfSlotName("tags"), 2);
  // (year ?y&:(> ?y 2000)|~:(> ?y 1950))
  P.AddTest("year", Var("y"), NoSubIndex, false, true);
  P.AddTest("year", CallValue(NewCall(&Engine, ">", {Var("y"), Int(2000)})), NoSubIndex, false, true);
  P.AddTest("year", CallValue(NewCall(&Engine, ">", {Var("y"), Int(1950)})), NoSubIndex, true, false);
  EXPECT_EQ(P.GetDisjunctiveCount(), 4);
  Rule->AppendPattern(std::move(Owned));  // the rule runs FixTests

  EXPECT_EQ(P.GetDisjunctiveCount(), 0);
  EXPECT_EQ(P.GetTestCount(), 9);
  EXPECT_EQ(PrettyPrintSlotTests(P, 0), "?_blank_1&:(or (eq red ?_blank_1) (eq blue ?_blank_1))");
  EXPECT_EQ(PrettyPrintSlotTests(P, 1), "?x&:(or (neq red ?x) (eq blue ?x))");
  EXPECT_EQ(PrettyPrintSlotTests(P, 2),
            "?_blank_2&:(or (and (eq a ?_blank_2) (eq b ?_blank_2)) (eq c ?_blank_2)) z");
  EXPECT_EQ(PrettyPrintSlotTests(P, 3), "?y&:(or (> ?y 2000) (not (> ?y 1950)))");
  EXPECT_EQ(P.GetSlotLength(2), 2);
  for (int32_t S = 0; S < 4; ++S) {
    EXPECT_TRUE(P.GetSlotTest(S, 0)->GetSlotValue()->GetDType() == dtVariable);
    EXPECT_EQ(P.GetSlotTest(S, 1)->GetTestType(), sttEquals);
    EXPECT_TRUE(P.GetSlotTest(S, 1)->GetConjunction());
  }
  EXPECT_EQ(P.GetSlotTest(2, 1)->GetMultiSlotSubIndex(), 0);

  // The generated variables are bound where the rule can find them.
  const TBinding* Blank1 = Rule->GetBindingByName("_blank_1");
  ASSERT_NE(Blank1, nullptr);
  EXPECT_EQ(Blank1->GetFactIndex(), 0);
  EXPECT_EQ(Blank1->GetSlotIndex(), "color");
  EXPECT_EQ(Blank1->GetSubIndex(), NoSubIndex);
  const TBinding* Blank2 = Rule->GetBindingByName("_blank_2");
  ASSERT_NE(Blank2, nullptr);
  EXPECT_EQ(Blank2->GetSlotIndex(), "tags");
  EXPECT_EQ(Blank2->GetSubIndex(), 0);
  EXPECT_EQ(Rule->GetBindingByName("_blank_3"), nullptr);

  // The calls decide as the written constraints do.
  auto Passes = [&](int32_t Slot, const std::string& Variable, const IIEValue& Value) {
    std::unique_ptr<TIEContext> Child = Engine.GetContext()->Push();
    Child->AddLocalBinding(Variable, Value);
    return P.GetSlotTest(Slot, 1)->PerformTest(Child.get());
  };
  EXPECT_TRUE(Passes(0, "_blank_1", Atom("blue")));
  EXPECT_FALSE(Passes(0, "_blank_1", Atom("green")));
  EXPECT_FALSE(Passes(1, "x", Atom("red")));
  EXPECT_TRUE(Passes(1, "x", Atom("green")));
  EXPECT_FALSE(Passes(2, "_blank_2", Atom("a")));
  EXPECT_TRUE(Passes(2, "_blank_2", Atom("c")));
  EXPECT_TRUE(Passes(3, "y", Int(2010)));
  EXPECT_TRUE(Passes(3, "y", Int(1900)));
  EXPECT_FALSE(Passes(3, "y", Int(1960)));
}

TEST(PatternFixTests, AGeneratedVariableNeedsTheOwningRule) {
  IFactTemplate Car = MakeTemplate(nullptr, "car", {"color"});
  TIEPattern P(nullptr, "car", Car, 0);
  P.AddTest("color", Atom("red"), NoSubIndex, false, true);
  P.AddTest("color", Atom("blue"), NoSubIndex, false, false);
  ExpectError([&] { P.FixTests(); }, "Rule missing for pattern");
  EXPECT_EQ(PrettyPrintPattern(P), "(car (color red|blue))");
  EXPECT_EQ(P.GetDisjunctiveCount(), 1);

  // A group that starts with its own variable needs no rule, and its calls build without an engine. A
  // negated variable does not stand for the field.
  TIEPattern Q(nullptr, "car", Car, 0);
  Q.AddTest("color", Var("c"), NoSubIndex, false, true);
  Q.AddTest("color", Atom("red"), NoSubIndex, false, false);
  int Changes = 0;
  Q.OnChange = [&](TIEPattern*) { ++Changes; };
  Q.FixTests();
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(PrettyPrintPattern(Q), "(car (color ?c&:(or (eq red ?c))))");
  Q.FixTests();  // nothing left to do
  EXPECT_EQ(Changes, 1);

  TIEPattern R(nullptr, "car", Car, 0);
  R.AddTest("color", Var("c"), NoSubIndex, true, true);
  R.AddTest("color", Atom("red"), NoSubIndex, false, false);
  ExpectError([&] { R.FixTests(); }, "Rule missing for pattern");

  // A rule without engine: the placeholder takes the first number its bindings leave free.
  TRule Lone(nullptr);
  Lone.AddBinding("_blank_2", 0, "other", NoSubIndex);
  TIEPattern S(&Lone, "car", Car, 0);
  S.AddTest("color", Atom("red"), NoSubIndex, false, true);
  S.AddTest("color", Atom("blue"), NoSubIndex, false, false);
  S.FixTests();
  EXPECT_EQ(PrettyPrintSlotTests(S, 0), "?_blank_3&:(or (eq red ?_blank_3) (eq blue ?_blank_3))");
  ASSERT_NE(Lone.GetBindingByName("_blank_3"), nullptr);
  EXPECT_EQ(Lone.GetBindingByName("_blank_3")->GetSlotIndex(), "color");
}

// ---- printed form -----------------------------------------------------------------------------------------

TEST(PatternText, SlotsBindingsAndWrappers) {
  TFakeRuleEngine Engine;
  IFactTemplate Person = MakeTemplate(&Engine, "person", {"name", "age", "email"});
  TIEPattern P(nullptr, "person", Person, 0);
  P.AddTest("name", Var("n"), NoSubIndex, false, true);
  P.AddTest("age", Var("a"), NoSubIndex, false, true);
  P.AddTest("age", CallValue(NewCall(&Engine, ">", {Var("a"), Int(18)})), NoSubIndex, false, true);
  EXPECT_EQ(P.GetToString(), "(person (age ?a&:(> ?a 18)) (name ?n))");
  EXPECT_EQ(Engine.PatternPrints, 1);

  TIEPattern Order(nullptr, "order", MakeTemplate(nullptr, "order", {"id"}), 0);
  Order.AddTest("id", Var("i"), NoSubIndex, false, true);
  Order.SetBoundName("f");
  EXPECT_EQ(Order.GetToString(), "?f <- (order (id ?i))");

  IFactTemplate Stop = MakeOrdered(nullptr, "stop");
  const char* Expected[] = {"(stop)", "(not (stop))", "(exists (stop))", "(not (exists (stop)))",
                            "(not (not (exists (stop))))"};
  for (int32_t N = 0; N < 5; ++N)
    EXPECT_EQ(PrettyPrintPattern(TIEPattern(nullptr, "stop", Stop, N)), Expected[N]);

  TIEPattern Wrapped(nullptr, "stop", Stop, 1);
  Wrapped.SetUnique(true);
  EXPECT_EQ(PrettyPrintPattern(Wrapped), "(not (unique (stop)))");
  Wrapped.SetExplicit(true);
  EXPECT_EQ(PrettyPrintPattern(Wrapped), "(not (explicit (unique (stop))))");

  // Comment lines come right before the element's own parenthesis, where the parser takes them from.
  TIEPattern Commented(nullptr, "stop", Stop, 0);
  Commented.SetComment("first\r\n; second\n\nthird");
  EXPECT_EQ(PrettyPrintPattern(Commented), "; first\r\n; second\r\n\r\n; third\r\n(stop)");
  Commented.SetComment("why");
  Commented.SetBoundName("s");
  EXPECT_EQ(PrettyPrintPattern(Commented), "?s <- ; why\r\n(stop)");
  Commented.SetBoundName("");
  Commented.SetNegatedCount(1);
  EXPECT_EQ(PrettyPrintPattern(Commented), "(not ; why\r\n(stop))");

  ExpectError([] { PrettyPrintPattern(TIEPattern(nullptr, "x", IFactTemplate(), 0)); },
              "Fact Template is missing");
}

TEST(PatternText, FieldsDisjunctionsAndTestElements) {
  TFakeRuleEngine Engine;
  TIEPattern Numbers(nullptr, "numbers", MakeOrdered(nullptr, "numbers"), 0);
  Numbers.AddTest(SDefaultSlotName, Int(1), 0, false, true);
  Numbers.AddTest(SDefaultSlotName, Var("x"), 1, false, true);
  Numbers.AddTest(SDefaultSlotName, Int(0), 1, true, true);
  Numbers.AddTest(SDefaultSlotName, MultiVar("rest"), 2, false, true);
  EXPECT_EQ(PrettyPrintPattern(Numbers), "(numbers 1 ?x&~0 $?rest)");

  IFactTemplate Car = MakeTemplate(&Engine, "car", {"color", "name"}, {"tags"});
  TIEPattern P(nullptr, "car", Car, 0);
  P.AddTest("color", Atom("red"), NoSubIndex, false, true);
  P.AddTest("color", Atom("blue"), NoSubIndex, false, false);
  P.AddTest("color", Atom("green"), NoSubIndex, true, false);
  P.AddTest("name", Str("a \"b\""), NoSubIndex, true, true);
  P.AddTest("name", Atom("c"), NoSubIndex, true, true);
  P.AddTest("tags", Atom("x"), 0, false, true);
  P.AddTest("tags", Atom("y"), 1, false, true);
  EXPECT_EQ(PrettyPrintPattern(P), "(car (color red|blue|~green) (name ~\"a \\\"b\\\"\"&~c) (tags x y))");

  // A slot whose test list is empty is left out of the pattern; on its own it is a fresh variable.
  TIEPattern Empty(nullptr, "car", Car, 0);
  Empty.AddTest("color", Atom("red"), NoSubIndex, false, true);
  Empty.AddTest("tags", Atom("x"), 0, false, true);
  Empty.GetSlotTests(0)->Delete(0);
  Empty.GetSlotTests(2)->Delete(0);
  EXPECT_EQ(PrettyPrintPattern(Empty), "(car)");
  EXPECT_EQ(PrettyPrintSlotTests(Empty, 0), "?__var1");
  EXPECT_EQ(PrettyPrintSlotTests(Empty, 2), "$?__var2");
  EXPECT_EQ(PrettyPrintSlotTests(Empty, 1), "?__var3");
  TIEPattern Alone(nullptr, "car", MakeTemplate(nullptr, "car", {"color"}), 0);
  EXPECT_EQ(PrettyPrintSlotTests(Alone, 0), "?__var");

  // A test element writes its call alone; a negated one is the parser's form of (not (test ...)).
  IFactTemplate TestTemplate = MakeOrdered(nullptr, STestCE);
  TIEPattern Test(nullptr, STestCE, TestTemplate, 0);
  Test.AddTest(SDefaultSlotName, CallValue(NewCall(nullptr, ">", {Var("x"), Int(1)})), NoSubIndex, false,
               true);
  EXPECT_EQ(PrettyPrintPattern(Test), "(test (> ?x 1))");
  Test.GetSlotTest(0, 0)->SetTestType(sttNotEquals);
  EXPECT_EQ(PrettyPrintPattern(Test), "(not (test (> ?x 1)))");
  EXPECT_EQ(PrettyPrintSlotTests(Test, 0), "(not (> ?x 1))");
}
