// Facts: lazy defaults, slot lookup, stored values and type checks, templates changing under a fact,
// copying, equality and hashing, and text forms.
#include <gtest/gtest.h>

#define RULECRAFT_FAKE_FACTS_ONLY
#include "../FakeEngine.h"
#include "../TestValues.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/ValueVector.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

IFactTemplate PersonTemplate(TComponent* Owner = nullptr) {
  IFactTemplate T = MakeRef<TFactTemplate>(Owner, "person");
  T->AddSlot("name", Str(""));
  T->AddSlot("age", Int(0));
  T->AddMultiSlot("kids", FCNilList);
  return T;
}

IFactTemplate OrderedTemplate(const std::string& Name) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, Name);
  T->AddMultiSlot("__Data", FCNilList);
  return T;
}

}  // namespace

TEST(Fact, ReadingFillsDefaultsLazily) {
  IFactTemplate T = PersonTemplate();
  IFact F = MakeRef<TFact>(T);
  EXPECT_EQ(F->GetID(), -1);
  EXPECT_TRUE(F->GetSlotNames().empty());
  IIEValue Age = F->GetValue("age");
  EXPECT_EQ(Age->GetAsInteger(), 0);
  EXPECT_NE(Age.get(), T->GetSlot("age")->GetSlotDefault().get());  // a copy of the default...
  Age->SetAsInteger(9);
  EXPECT_EQ(F->GetValue("age")->GetAsInteger(), 9);  // ...which is now the fact's value
  EXPECT_EQ(T->GetSlot("age")->GetSlotDefault()->GetAsInteger(), 0);
  EXPECT_FALSE(F->ContainsKey("height"));
  ExpectError([&] { F->GetValue("height"); }, "No such slot name: \"height\"");
  ExpectError([&] { F->SetValue("height", Int(1)); }, "No such slot name: \"height\"");
  IFact Orphan = MakeRef<TFact>();
  ExpectError([&] { Orphan->GetValue("a"); }, "Fact Template is missing");
  ExpectError([&] { Orphan->ContainsKey("a"); }, "Fact Template is missing");
  ExpectError([&] { Orphan->SetValue("a", Int(1)); }, "Fact Template is missing");
}

TEST(Fact, DynamicChecksConvertCopiesOrRefuse) {
  TFakeFactEngine Engine;
  IFactTemplate T = MakeRef<TFactTemplate>(&Engine, "m");
  T->AddSlot("weight", Flt(0));
  T->GetSlot("weight")->SetSlotType({dtFloat});
  T->AddSlot("count", Int(0));
  T->GetSlot("count")->SetSlotType({dtInteger});
  IFact F = T->NewFact();
  IIEValue Three = Int(3);
  F->SetValue("weight", Three);
  EXPECT_EQ(F->GetValue("weight")->GetDType(), dtFloat);
  EXPECT_EQ(F->GetValue("weight")->GetAsFloat(), 3.0);
  EXPECT_EQ(Three->GetDType(), dtInteger);  // the given value object is never changed
  ExpectError([&] { F->SetValue("count", Atom("many")); },
              "Not a INTEGER type.  Value (many) is a dtAtom type for count slot");
  EXPECT_EQ(F->GetValue("count")->GetAsInteger(), 0);  // an existing entry keeps its value
  IIEValue Shared = Int(5);
  F->SetValue("count", Shared);
  EXPECT_EQ(F->GetValue("count").get(), Shared.get());  // the value object itself is stored
  F->SetValue("count", IIEValue());
  EXPECT_EQ(F->GetValue("count").get(), FCNil.get());

  // Without dynamic checks anything goes into a known slot, but an unknown name is still refused.
  Engine.TypeChecks = {};
  F->SetValue("count", Atom("many"));
  EXPECT_EQ(F->GetValue("count")->GetAsString(), "many");
  ExpectError([&] { F->SetValue("nope", Int(1)); }, "No such slot name: \"nope\"");
}

TEST(Fact, FuzzySlotsAreLeftOutOfEquality) {
  TFakeFactEngine Engine;
  IFuzzyVariable Temperature = MakeRef<TIFuzzyVariable>("temperature");
  Temperature->SetRange(0, 100);
  IFuzzySet Hot = Temperature->NewFuzzySet("hot");
  Hot->SetS(50, 80);
  IIEDefinedType Type = MakeRef<TIEDefinedType>("temperature");
  Type->SetBaseTypes({dtFuzzy});
  Type->SetFuzzyType(Temperature);
  IFactTemplate T = MakeRef<TFactTemplate>(&Engine, "room");
  T->AddSlot("heat", Int(0));
  T->GetSlot("heat")->SetExtendedTypeInfo(Type);
  T->AddSlot("name", Atom(""));
  IFact A = T->NewFact();
  // A term name is a valid value of a fuzzy type: it becomes a fuzzy value when the fact is resolved.
  A->SetValue("heat", Atom("hot"));
  EXPECT_EQ(A->GetValue("heat")->GetDType(), dtAtom);
  // Facts that differ only in fuzzy slots are equal.
  IFact B = T->NewFact();
  B->SetValue("heat", MakeRef<TIEValue>(Hot));
  EXPECT_TRUE(A->Equals(B));
  B->SetValue("name", Atom("kitchen"));
  EXPECT_FALSE(A->Equals(B));
}

TEST(Fact, EqualityAndHashAgree) {
  IFactTemplate T = PersonTemplate();
  IFact A = MakeRef<TFact>(T);
  A->SetValue("name", Str("Ann"));
  A->SetValue("kids", List({Atom("Bo"), Atom("Cy")}));
  A->SetID(1);
  IFact B = MakeRef<TFact>(T);
  B->SetValue("kids", List({Atom("Bo"), Atom("Cy")}));
  B->SetValue("name", Str("Ann"));
  B->SetID(2);
  EXPECT_TRUE(A->Equals(A));  // a fact equals itself
  EXPECT_TRUE(A->Equals(B));  // whatever their IDs
  EXPECT_EQ(A->GetHashCode(), B->GetHashCode());
  B->SetValue("name", Atom("Ann"));  // the atom Ann is not the string "Ann"
  EXPECT_FALSE(A->Equals(B));
  EXPECT_NE(A->GetHashCode(), B->GetHashCode());
  // Same slots and values on an equal but distinct template: not equal.
  IFact C = MakeRef<TFact>(PersonTemplate());
  C->AssignValues(*MakeRef<TFact>(C->GetTemplate()));
  EXPECT_FALSE(A->Equals(C));
  EXPECT_FALSE(A->Equals(static_cast<const ICloneable*>(Int(1).get())));
  // The hash is the template's hash combined with the values' texts in slot-name order.
  IFactTemplate O = OrderedTemplate("n");
  IFact N = MakeRef<TFact>(O);
  N->SetValue("__Data", List({Int(1), Str("a\"b")}));
  const uint32_t Expected = static_cast<uint32_t>(O->GetHashCode()) * 31u +
                            static_cast<uint32_t>(CalculateHash("1 \"a\\\"b\" ", 1));
  EXPECT_EQ(N->GetHashCode(), static_cast<int32_t>(Expected));
}

TEST(Fact, TheKeptMatchHashFollowsEveryChangeOfValues) {
  IFactTemplate T = PersonTemplate();
  IFact A = MakeRef<TFact>(T);
  A->SetValue("name", Atom("a0b0c0d0e0f0g0h0"));
  IFact B = MakeRef<TFact>(T);
  B->SetValue("name", Atom("a1b0c0d0e0f0g0h0"));
  // Names differing only where the published value hash does not look: distinct kept fact hashes.
  EXPECT_EQ(A->GetValue("name")->GetHashCode(), B->GetValue("name")->GetHashCode());
  EXPECT_NE(A->GetMatchHash(), B->GetMatchHash());
  const uint64_t First = A->GetMatchHash();
  auto ExpectEqualFacts = [](const IFact& X, const IFact& Y, bool Equal) {
    EXPECT_EQ(X->Equals(Y), Equal);
    EXPECT_EQ(X->GetMatchHash() == Y->GetMatchHash(), Equal);
    EXPECT_EQ(MakeRef<TIEValue>(TRef<TFactBase>(X))->GetMatchHash() == Y->GetMatchHash(), Equal);
  };
  // Each way of setting values drops the kept hash.
  B->SetValue("name", Atom("a0b0c0d0e0f0g0h0"));
  ExpectEqualFacts(A, B, true);
  B->SetValue("age", Int(4));
  ExpectEqualFacts(A, B, false);
  B->AssignValues(*A);
  ExpectEqualFacts(A, B, true);
  B->Assign(MakeRef<TFact>(T));
  ExpectEqualFacts(A, B, false);
  B->Assign(static_cast<const TPersistent*>(A.get()));
  ExpectEqualFacts(A, B, true);
  EXPECT_EQ(A->GetMatchHash(), First);
  // A value object changed in place is seen once the fact is told.
  IIEValue Name = A->GetValue("name");
  Name->SetAsAtom("other");
  A->ValuesChanged();
  ExpectEqualFacts(A, B, false);
  Name->SetAsAtom("a0b0c0d0e0f0g0h0");
  A->ValuesChanged();
  ExpectEqualFacts(A, B, true);
  // A new template changes the hash even where the values read the same.
  IFactTemplate U = PersonTemplate();
  B->SetTemplate(U);
  EXPECT_NE(A->GetMatchHash(), B->GetMatchHash());
  EXPECT_FALSE(A->Equals(B));
  // Slot order matters: the same two texts in swapped slots hash apart.
  IFactTemplate P = MakeRef<TFactTemplate>(nullptr, "pair");
  P->AddSlot("x", Atom(""));
  P->AddSlot("y", Atom(""));
  IFact XY = MakeRef<TFact>(P), YX = MakeRef<TFact>(P);
  XY->SetValue("x", Atom("p"));
  XY->SetValue("y", Atom("q"));
  YX->SetValue("x", Atom("q"));
  YX->SetValue("y", Atom("p"));
  EXPECT_NE(XY->GetMatchHash(), YX->GetMatchHash());
}

TEST(Fact, ValuesFollowTheTemplatesSlotsByName) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "box");
  T->AddSlot("b", Int(0));
  T->AddSlot("d", Int(0));
  IFact F = MakeRef<TFact>(T);
  F->SetValue("d", Int(4));
  size_t Hint = 0;
  IFactSlot Known;
  ASSERT_NE(F->SlotValue("d", Hint, Known), nullptr);
  EXPECT_EQ(Hint, 1u);
  EXPECT_EQ(F->ValueAt(1)->GetAsInteger(), 4);
  EXPECT_EQ(F->ValueAt(0)->GetAsInteger(), 0);  // read, so filled with the default
  // A slot added before "d" moves it; the value goes with its name, and a stale hint is corrected.
  T->AddSlot("a", Int(7));
  EXPECT_EQ(F->GetSlotNames(), (std::vector<std::string>{"b", "d"}));
  EXPECT_EQ((*F->SlotValue("d", Hint, Known))->GetAsInteger(), 4);
  EXPECT_EQ(Hint, 2u);
  EXPECT_EQ(F->ValueAt(0)->GetAsInteger(), 7);
  EXPECT_EQ(F->GetSlotNames(), (std::vector<std::string>{"a", "b", "d"}));
  // A removed slot takes its value with it; a renamed slot is a new slot.
  T->RemoveSlot("b");
  EXPECT_EQ(F->GetSlotNames(), (std::vector<std::string>{"a", "d"}));
  ExpectError([&] { F->GetValue("b"); }, "No such slot name: \"b\"");
  T->GetSlot("d")->SetName("e");
  EXPECT_EQ(F->GetSlotNames(), (std::vector<std::string>{"a"}));
  EXPECT_EQ(F->GetValue("e")->GetAsInteger(), 0);
  EXPECT_EQ(F->SlotValue("d", Hint, Known), nullptr);
  // Two facts of the template agree whatever order their slots were set in.
  IFact G = MakeRef<TFact>(T);
  G->SetValue("e", Int(0));
  G->SetValue("a", Int(7));
  EXPECT_TRUE(F->Equals(G));
  EXPECT_EQ(F->GetMatchHash(), G->GetMatchHash());
  EXPECT_EQ(F->GetHashCode(), G->GetHashCode());
}

TEST(Fact, TemplateChangesKeepSharedSlots) {
  IFactTemplate T = PersonTemplate();
  IFact F = MakeRef<TFact>(T);
  F->SetValue("age", Int(30));
  F->SetValue("name", Str("Ann"));
  IFactTemplate U = MakeRef<TFactTemplate>(nullptr, "worker");
  U->AddSlot("age", Int(0));
  U->AddSlot("salary", Int(100));
  F->SetTemplate(U);
  EXPECT_EQ(F->GetSlotNames(), (std::vector<std::string>{"age", "salary"}));
  EXPECT_EQ(F->GetValue("age")->GetAsInteger(), 30);
  EXPECT_EQ(F->GetValue("salary")->GetAsInteger(), 100);
  F->SetTemplate(IFactTemplate());
  EXPECT_TRUE(F->GetSlotNames().empty());
}

TEST(Fact, CopiesAreIndependent) {
  IFactTemplate T = PersonTemplate();
  IFact A = MakeRef<TFact>(T);
  A->SetValue("kids", List({Atom("Bo")}));
  A->SetID(7);
  A->SetTag(3);
  IFact B = A->Clone();
  EXPECT_EQ(B->GetID(), 7);
  EXPECT_EQ(B->GetTag(), 3);
  EXPECT_TRUE(A->Equals(B));
  // The values are copies; a list inside is shared, as lists are never changed in place.
  EXPECT_NE(B->GetValue("kids").get(), A->GetValue("kids").get());
  EXPECT_EQ(B->GetValue("kids")->GetAsList().get(), A->GetValue("kids")->GetAsList().get());
  B->GetValue("kids")->SetAsAtom("none");
  EXPECT_EQ(A->GetValue("kids")->GetDType(), dtList);
  IFact C = MakeRef<TFact>(IFactTemplate(), A);  // the interface form
  EXPECT_EQ(C->GetTemplate(), T);
  EXPECT_TRUE(C->Equals(A));
  EXPECT_EQ(C->GetID(), 7);
  IFact Other = MakeRef<TFact>(OrderedTemplate("other"));
  ExpectError([&] { Other->AssignValues(*A); },
              "Unable to assign slot values, fact templates are different: other and person");
  ExpectError([&] { MakeRef<TFact>()->AssignValues(*A); }, "Fact Template is missing");
}

TEST(Fact, TextForms) {
  IFactTemplate T = PersonTemplate();
  IFact F = MakeRef<TFact>(T);
  EXPECT_EQ(F->GetToString(), "(person)");
  F->SetValue("name", Str("Ann \"the\" \\ best"));
  F->SetValue("kids", List({Atom("Bo"), Int(2)}));
  F->GetValue("age");
  EXPECT_EQ(F->GetToString(), "(person (age 0) (kids Bo 2) (name \"Ann \\\"the\\\" \\\\ best\"))");
  F->SetID(3);
  EXPECT_EQ(F->GetToIDString(), "f-3 " + F->GetToString());
  IFact N = MakeRef<TFact>(OrderedTemplate("numbers"));
  EXPECT_EQ(N->GetToString(), "(numbers)");
  N->SetValue("__Data", List({Int(1), Flt(2.5), Atom("x")}));
  EXPECT_EQ(N->GetToString(), "(numbers 1 2.5000 x)");

  TFakeFactEngine Engine;
  Engine.NextFactId = 12;
  IFact E = PersonTemplate(&Engine)->NewFact();
  E->SetID(3);
  EXPECT_EQ(E->GetToIDString().substr(0, 5), "f-03 ");
  Engine.NextFactId = 1000;
  EXPECT_EQ(E->GetToIDString().substr(0, 7), "f-0003 ");
  IIEValue Held = MakeRef<TIEValue>(TRef<TFactBase>(E));
  EXPECT_EQ(Held->GetAsFact().get(), E.get());
  EXPECT_EQ(Held->GetToString(), E->GetToString());
  EXPECT_EQ(Held->GetHashCode(), E->GetHashCode());
}
