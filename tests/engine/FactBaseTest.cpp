// The fact base: identifiers, duplicate detection and its cache, the three ways to retract, modify, pending
// facts, the events and watch lines of changes, and fact sets.
#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "rulecraft/framework/StringList.h"

using namespace rulecraft;
using namespace rulecraft::testing;

TEST_F(TEngineTest, IdentifiersStartFromZeroAfterResetAndClear) {
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)"}));
  Template("point", {"x"});
  EXPECT_EQ(Assert("point", {{"x", Int(1)}}), 1);
  EXPECT_EQ(Assert("point", {{"x", Int(2)}}), 2);
  Engine->Reset();
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)"}));
  EXPECT_EQ(Assert("point", {{"x", Int(1)}}), 1);
  Engine->Clear();
  EXPECT_TRUE(Facts().empty());
  EXPECT_TRUE(Engine->FindFactTemplate("Initial-Fact"));
  EXPECT_TRUE(Engine->FindFactTemplate("__NOT-OR-TEST-CE*"));
  EXPECT_FALSE(Engine->FindFactTemplate("point"));
  Engine->Reset();
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)"}));
  // A fact without template is refused with the exact message and changes nothing.
  ExpectError([&] { Engine->Assert(MakeRef<TFact>()); }, "Fact Template is missing");
  EXPECT_EQ(Engine->GetNextFactId(), 1);
}

TEST_F(TEngineTest, DuplicatesAreRefusedByEqualityNotByHashCode) {
  int Assertions = 0;
  Engine->OnAssertion = [&](TObject*, const IFact&) { ++Assertions; };
  Template("pair", {"a", "b"});
  EXPECT_EQ(Assert("pair", {{"a", Atom("x")}, {"b", Atom("y")}}), 1);
  EXPECT_EQ(Assert("pair", {{"a", Atom("x")}, {"b", Atom("y")}}), -1);
  EXPECT_EQ(Assertions, 1);
  EXPECT_EQ(Engine->GetNextFactId(), 2);  // a refused fact uses no identifier
  // Facts whose hash codes collide are still different facts.
  IFact Left = Fact("pair", {{"a", Atom("ab")}, {"b", Atom("c")}});
  IFact Right = Fact("pair", {{"a", Atom("a")}, {"b", Atom("bc")}});
  EXPECT_GE(Engine->Assert(Left), 0);
  EXPECT_GE(Engine->Assert(Right), 0);
  // Through retraction and with the cache rebuilt after duplicates were allowed for a while.
  Engine->Retract(1);
  EXPECT_EQ(Assert("pair", {{"a", Atom("x")}, {"b", Atom("y")}}), 4);
  Engine->SetFactDuplication(true);
  EXPECT_EQ(Assert("pair", {{"a", Atom("x")}, {"b", Atom("y")}}), 5);
  Engine->SetFactDuplication(false);
  EXPECT_EQ(Assert("pair", {{"a", Atom("x")}, {"b", Atom("y")}}), -1);
  EXPECT_EQ(Engine->GetFacts().FindFact(Fact("pair", {{"a", Atom("a")}, {"b", Atom("bc")}})), 2);
}

TEST_F(TEngineTest, RetractByIdentifierByEqualFactAndByObject) {
  Template("n", {"v"});
  Engine->SetFactDuplication(true);
  const IFact First = Fact("n", {{"v", Int(7)}});
  const IFact Second = Fact("n", {{"v", Int(7)}});
  for (int I = 0; I < 6; ++I) Assert("n", {{"v", Int(100 + I)}});  // enough facts for the binary searches
  Engine->Assert(First);
  Engine->Assert(Second);
  std::vector<int32_t> Retracted;
  Engine->OnRetraction = [&](TObject*, const IFact& Fact) { Retracted.push_back(Fact->GetID()); };
  Engine->Retract(999);                          // no such identifier: nothing
  Engine->Retract(Fact("n", {{"v", Int(-1)}}));  // equal to nothing: nothing
  EXPECT_TRUE(Retracted.empty());
  Engine->RetractFact(Second);  // this very object, although First equals it
  EXPECT_EQ(Retracted, (std::vector<int32_t>{Second->GetID()}));
  Engine->Assert(Second);
  Engine->Retract(Fact("n", {{"v", Int(7)}}));  // the first equal one
  EXPECT_EQ(Retracted.back(), First->GetID());
  Engine->Retract(3);
  EXPECT_EQ(Retracted.back(), 3);
  EXPECT_EQ(Engine->GetFacts().FindFact(3), -1);
  EXPECT_EQ(Engine->GetFacts().GetFactByID(4)->GetID(), 4);
  // Positions stay dense after retractions in the middle.
  const TFacts& Base = Engine->GetFacts();
  for (int32_t I = 0; I < Base.Count(); ++I) EXPECT_EQ(Base.IndexOf(Base.Get(I)), I);
  ExpectError([&] { Base.Get(Base.Count()); },
              "List index out of bounds (" + std::to_string(Base.Count()) + ")");
}

TEST_F(TEngineTest, ModifyRetractsThisFactAndAssertsItAnewWithWatchLinesAndEvents) {
  Template("n", {"v"});
  Engine->SetFactDuplication(true);
  Assert("n", {{"v", Int(1)}});
  const IFact Twin = Fact("n", {{"v", Int(1)}});
  Engine->Assert(Twin);
  std::vector<std::string> Events;
  Engine->OnRetraction = [&](TObject*, const IFact& Fact) {
    Events.push_back("retract f-" + std::to_string(Fact->GetID()));
  };
  Engine->OnAssertion = [&](TObject*, const IFact& Fact) {
    Events.push_back("assert f-" + std::to_string(Fact->GetID()));
  };
  Engine->SetWatch(TConstructWatches{cwFact});
  Engine->BeginFactModify(Twin);
  Twin->SetValue("v", Int(2));
  EXPECT_EQ(Engine->EndFactModify(Twin), 3);
  EXPECT_EQ(Events, (Lines{"retract f-2", "assert f-3"}));
  EXPECT_EQ(Output, " <== f-2 (n (v 1))\r\n ==> f-3 (n (v 2))\r\n");
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (n (v 1))", "f-3 (n (v 2))"}));
  // A modified fact that now equals another is refused while duplicates are.
  Engine->SetFactDuplication(false);
  Engine->BeginFactModify(Twin);
  Twin->SetValue("v", Int(1));
  EXPECT_EQ(Engine->EndFactModify(Twin), -1);
}

TEST_F(TEngineTest, PendingFactsAreAssertedWhenTheChangeThatAskedForThemHasPropagated) {
  Template("goal", {"v"});
  Template("trigger", {"v"});
  std::vector<std::string> Events;
  Engine->GetNetwork().OnActivation = [&](TReteNetwork*, TActivation*) {
    // Asked for while the trigger's token travels: queued, not asserted now.
    Engine->AddPendingFact(Fact("goal", {{"v", Int(1)}}), true);
    Events.push_back("pending " + std::to_string(Engine->GetPendingAssertionCount()));
  };
  Engine->OnAssertion = [&](TObject*, const IFact& Fact) {
    Events.push_back(Fact->GetTemplate()->GetTemplateName());
  };
  Rule("on-trigger", Lhs(Pattern("trigger", {})), {});
  Assert("trigger", {{"v", Int(1)}});
  EXPECT_EQ(Events, (Lines{"pending 1", "goal", "trigger"}));
  EXPECT_EQ(Engine->GetPendingAssertionCount(), 0);
  EXPECT_EQ(Facts().back(), "f-2 (goal (v 1))");
}

TEST_F(TEngineTest, AFactLeavesTheFactBaseEvenWhenWithdrawingItRaises) {
  Template("n", {"v"});
  Rule("any", Lhs(Pattern("n", {})), {});
  const int32_t ID = Assert("n", {{"v", Int(1)}});
  Engine->OnRemoveActivation = [](TObject*, int32_t, TActivation*) { throw Exception("handler failed"); };
  ExpectError([&] { Engine->Retract(ID); }, "handler failed");
  EXPECT_EQ(Engine->GetFacts().FindFact(ID), -1);
  Engine->OnRemoveActivation = nullptr;
  EXPECT_EQ(Assert("n", {{"v", Int(1)}}), ID + 1);  // the cache forgot it too
}

TEST_F(TEngineTest, FactSetsAssertFreshResolvedClonesAtEveryReset) {
  Template("n", {"v"});
  int Counter = 0;
  Define("next", [&](const std::vector<IIEValue>&) { return Int(++Counter); });
  auto* Set = new TFactSet(Engine.get());
  Set->SetFactSetName("numbers");
  Set->AddFact(Fact("n", {{"v", Int(5)}}));
  Set->AddFact(Fact("n", {{"v", MakeRef<TIEValue>(TRef<TFunCallBase>(Call("next", {})))}}));
  EXPECT_EQ(Engine->GetFactSets().IndexOf("numbers"), 0);
  Engine->Reset();
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (n (v 5))", "f-2 (n (v 1))"}));
  Engine->Reset();
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (n (v 5))", "f-2 (n (v 2))"}));
  EXPECT_EQ(Set->GetFact(0)->GetID(), -1);  // the stored facts are never asserted themselves
  EXPECT_EQ(Set->GetToString(), "(deffacts numbers\r\n    (n (v 5))\r\n    (n (v (next)))\r\n)");
  // A set of the same name replaces the first in the collection; Clear frees the engine's own sets.
  auto Other = std::make_unique<TFactSet>(nullptr);
  Other->SetFactSetName("numbers");
  Engine->GetFactSets().Add(Other.get());
  EXPECT_EQ(Engine->GetFactSets().Count(), 1);
  EXPECT_EQ(Set->GetEngine(), nullptr);
  EXPECT_EQ(Other->GetEngine(), Engine.get());
  Engine->Clear();
  EXPECT_EQ(Engine->GetFactSets().Count(), 0);
}

TEST_F(TEngineTest, TheFactBaseListsAndCopiesItsFacts) {
  Template("n", {"v"});
  Assert("n", {{"v", Int(1)}});
  Assert("n", {{"v", Int(2)}});
  EXPECT_EQ(Engine->GetFacts().GetToString(), "(Initial-Fact)\r\n(n (v 1))\r\n(n (v 2))");
  TStringList Lines;
  Engine->GetFacts().AssignTo(Lines);
  EXPECT_EQ(Lines.Count(), 3);
  // Into another engine: each fact is asserted there with a new identifier, on that engine's template.
  TInferenceEngine Other;
  IFactTemplate Same = MakeRef<TFactTemplate>(&Other, "n");
  Same->AddSlot("v", FCNil);
  Other.GetFactTemplates().Put(Same);
  Other.GetFacts().Assign(Engine->GetFacts());
  EXPECT_EQ(Other.GetFacts().GetToString(), "(Initial-Fact)\r\n(n (v 1))\r\n(n (v 2))");
  EXPECT_EQ(Other.GetFacts().Get(1)->GetTemplate(), Other.FindFactTemplate("n"));
  // A differently defined template of the same name there refuses the copy.
  TInferenceEngine Third;
  IFactTemplate Different = MakeRef<TFactTemplate>(&Third, "n");
  Different->AddSlot("w", FCNil);
  Third.GetFactTemplates().Put(Different);
  EXPECT_THROW(Third.GetFacts().Assign(Engine->GetFacts()), EIEException);
}
