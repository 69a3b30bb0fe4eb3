// Fact templates and slots: the ordered rule, slot management and its errors, names, sorted walks and the
// hash, slot kinds, defaults and their checks, equality and copying.
#include <gtest/gtest.h>

#define RULECRAFT_FAKE_FACTS_ONLY
#include "../FakeEngine.h"
#include "../TestValues.h"
#include "rulecraft/core/ValueVector.h"

using namespace rulecraft;
using namespace rulecraft::testing;

TEST(FactTemplate, OrderedOnlyWithTheSingleDataMultislot) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "numbers");
  EXPECT_FALSE(T->IsOrdered());
  T->AddMultiSlot("__Data", FCNilList);
  EXPECT_TRUE(T->IsOrdered());
  T->AddSlot("extra", Int(0));
  EXPECT_FALSE(T->IsOrdered());
  T->RemoveSlot("extra");
  EXPECT_FALSE(T->IsOrdered());  // only adding and renaming recompute the flag
  IFactTemplate Other = MakeRef<TFactTemplate>(nullptr, "other");
  Other->AddMultiSlot("items", FCNilList);
  EXPECT_FALSE(Other->IsOrdered());
}

TEST(FactTemplate, AddingSlotsChecksDefaultsAndKinds) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "person");
  ExpectError([&] { T->AddSlot("age", IIEValue()); }, "Bad Slot Type");
  ExpectError([&] { T->AddMultiSlot("kids", IIEValue()); }, "Bad Slot Type");
  ExpectError([&] { T->AddSlot("age", List({Int(1)})); }, "Invalid default slot value: 1 ");
  ExpectError([&] { T->AddMultiSlot("kids", Atom("x")); },
              "Invalid default value for a multislot, must be a multifield: x");
  ExpectError([&] { T->AddMultiSlot("  ", FCNilList); }, "Bad Slot Name:   ");
  ExpectError([&] { T->AddSlot("a(b", Int(1)); }, "Invalid name: a(b, the character \"(\" is not allowed");
  T->AddSlot("age", Int(0));
  T->AddMultiSlot("kids", FCNilList);
  ExpectError([&] { T->AddSlot("kids", Int(1)); }, "Invalid value for existing slot, multislot is not slot");
  ExpectError([&] { T->AddMultiSlot("age", FCNilList); },
              "Invalid value for existing slot, slot is not multislot");
  T->AddSlot("age", Int(7));  // an existing slot takes the new default
  EXPECT_EQ(T->GetSlot("age")->GetSlotDefault()->GetAsInteger(), 7);
  EXPECT_EQ(T->GetSlotCount(), 2);
  EXPECT_EQ(T->GetSlot("age")->GetSlotType(), IESlotTypes);
  EXPECT_EQ(T->GetSlot("kids")->GetSlotType(), IESlotTypes + IEMultiSlotTypes);
  ExpectError([&] { T->GetSlot("height"); }, "No such slot name: \"height\"");
  ExpectError([&] { T->RemoveSlot("height"); }, "No such slot name: \"height\"");
  IFactSlot Age = T->GetSlot("age");
  ExpectError([&] { T->SetSlot("years", Age); }, "Index does not match fact slot name: years and age");
}

TEST(FactTemplate, NamesRefuseReservedCharacters) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "ok");
  for (char C : std::string(" '\"#()[]?:$&;<>")) {
    const std::string Name = std::string("a") + C + "b";
    ExpectError([&] { T->SetTemplateName(Name); },
                "Invalid name: " + Name + ", the character \"" + std::string(1, C) + "\" is not allowed");
  }
  EXPECT_EQ(T->GetTemplateName(), "ok");
  T->SetTemplateName("fine-name_2");
  TFakeFactEngine Engine;
  IFactTemplate Owned = MakeRef<TFactTemplate>(&Engine, "old");
  Owned->SetTemplateName("new");
  Owned->SetTemplateName("new");
  ASSERT_EQ(Engine.Renames.size(), 1u);
  EXPECT_EQ(Engine.Renames[0], "old->new");
}

TEST(FactTemplate, SlotsWalkInSortedOrderAndRenamesMoveThem) {
  IFactTemplate A = MakeRef<TFactTemplate>(nullptr, "t");
  A->AddSlot("zeta", Int(0));
  A->AddSlot("Beta", Int(0));
  A->AddSlot("alpha", Int(0));
  IFactTemplate B = MakeRef<TFactTemplate>(nullptr, "t");
  B->AddSlot("alpha", Int(0));
  B->AddSlot("zeta", Int(0));
  B->AddSlot("Beta", Int(0));
  EXPECT_EQ(A->GetSlotNames(), (std::vector<std::string>{"alpha", "Beta", "zeta"}));
  EXPECT_EQ(A->GetHashCode(), B->GetHashCode());
  const int32_t Before = A->GetHashCode();
  A->GetSlot("zeta")->SetName("gamma");
  EXPECT_EQ(A->GetSlotNames(), (std::vector<std::string>{"alpha", "Beta", "gamma"}));
  EXPECT_FALSE(A->ContainsSlot("zeta"));
  EXPECT_NE(A->GetHashCode(), Before);
  A->SetTemplateName("renamed");
  EXPECT_NE(A->GetHashCode(), B->GetHashCode());
  // Names differing only in case are two slots.
  A->AddSlot("ALPHA", Int(1));
  EXPECT_EQ(A->GetSlotCount(), 4);
  EXPECT_EQ(A->GetSlot("ALPHA")->GetSlotDefault()->GetAsInteger(), 1);
  EXPECT_EQ(A->GetSlot("alpha")->GetSlotDefault()->GetAsInteger(), 0);
}

TEST(FactSlot, ValidityAndReasons) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "t");
  T->AddSlot("x", Int(0));
  IFactSlot X = T->GetSlot("x");
  X->SetSlotType({dtInteger});
  EXPECT_TRUE(X->IsValid(Int(3)));
  EXPECT_TRUE(X->IsValid(MakeRef<TIEValue>("v", dtVariable)));
  EXPECT_TRUE(X->IsValid(MakeRef<TIEValue>("v", dtMultiVariable)));
  EXPECT_TRUE(X->IsValid(FCNil));
  EXPECT_TRUE(X->IsValid(IIEValue()));
  EXPECT_FALSE(X->IsValid(Atom("abc")));
  EXPECT_EQ(X->GetInvalidValueString(Atom("abc")),
            "Not a INTEGER type.  Value (abc) is a dtAtom type for x slot");
  EXPECT_EQ(X->GetInvalidValueString(Int(1)), "");
  T->AddMultiSlot("xs", FCNilList);
  IFactSlot Xs = T->GetSlot("xs");
  Xs->SetSlotType({dtInteger, dtList, dtMultiSlot});
  EXPECT_TRUE(Xs->IsValid(List({Int(1), Int(2)})));
  EXPECT_FALSE(Xs->IsValid(List({Int(1), Atom("b")})));
  EXPECT_EQ(Xs->GetInvalidValueString(List({Int(1), Atom("b")})),
            "Not a INTEGER, LIST, MULTISLOT type.  Value (1 b ) is a dtAtom (b) type for xs slot");
  EXPECT_TRUE(Xs->IsValid(FCNilList));
  ExpectError(
      [&] {
        X->SetSlotType({dtFuzzy, dtInteger});
      },
      "Cannot mix fuzzy type with other primitive types");
  EXPECT_EQ(X->GetSlotType(), TIETypes{dtInteger});
}

TEST(FactSlot, DefinedTypeDecidesWhenPresent) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "t");
  T->AddSlot("level", Int(0));
  IFactSlot Level = T->GetSlot("level");
  IIEDefinedType Range = MakeRef<TIEDefinedType>();
  Range->SetImplicit(true);
  Range->SetBaseTypes({dtInteger, dtFloat});
  Range->SetRangeLimited(true);
  Range->SetMinRange(0);
  Range->SetMaxRange(10);
  Level->SetExtendedTypeInfo(Range);
  EXPECT_EQ(Level->GetSlotType(), (TIETypes{dtInteger, dtFloat}));
  EXPECT_TRUE(Level->IsValid(Flt(10.0)));
  EXPECT_FALSE(Level->IsValid(Flt(10.5)));
  EXPECT_EQ(Level->GetInvalidValueString(Flt(10.5)),
            "Value \"10.5000\" is not valid, Range must be between 0.0000 and 10.0000 for level slot");
  // The implicit type follows the slot's kinds.
  Level->SetSlotType({dtInteger});
  EXPECT_EQ(Range->GetBaseTypes(), TIETypes{dtInteger});
}

TEST(FactSlot, DefaultsAreClonedCheckedAndReplaced) {
  TFakeFactEngine Engine;
  IFactTemplate T = MakeRef<TFactTemplate>(&Engine, "t");
  IIEValue Given = Atom("red");
  T->AddSlot("color", Given);
  IFactSlot Color = T->GetSlot("color");
  EXPECT_NE(Color->GetSlotDefault().get(), Given.get());  // a clone
  T->AddSlot("flag", FCTrue);
  EXPECT_EQ(T->GetSlot("flag")->GetSlotDefault().get(), FCTrue.get());  // shared constants stay shared
  // With dynamic checks, narrowing the kinds replaces a default that no longer fits.
  Color->SetSlotType({dtInteger});
  EXPECT_EQ(Color->GetSlotDefault()->GetDType(), dtInteger);
  EXPECT_EQ(Color->GetSlotDefault()->GetAsInteger(), 0);
  ExpectError([&] { Color->SetSlotDefault(Atom("blue")); }, "Invalid default slot value: blue");
  // Changing the default value object in place is checked too.
  ExpectError([&] { Color->GetSlotDefault()->SetAsAtom("green"); }, "Value \"green\" is not valid, color");
  Engine.TypeChecks = {};
  Color->SetSlotDefault(Atom("blue"));
  EXPECT_EQ(Color->GetSlotDefault()->GetAsString(), "blue");
}

TEST(FactSlot, CreateValidDefaultFollowsTheKindOrder) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "t");
  T->AddSlot("s", Int(0));
  IFactSlot S = T->GetSlot("s");
  auto DefaultFor = [&](TIETypes Kinds) {
    S->SetSlotType(Kinds);
    return S->CreateValidDefault(false);
  };
  EXPECT_EQ(DefaultFor({dtString, dtAtom})->GetDType(), dtAtom);
  EXPECT_EQ(DefaultFor({dtString, dtInteger})->GetDType(), dtString);
  EXPECT_EQ(DefaultFor({dtFloat, dtInteger})->GetDType(), dtInteger);
  EXPECT_EQ(DefaultFor({dtFloat})->GetAsFloat(), 0.0);
  EXPECT_EQ(DefaultFor({dtFactId})->GetDType(), dtFactId);
  EXPECT_EQ(DefaultFor({dtFuzzy}).get(), FCNil.get());
  EXPECT_EQ(DefaultFor({dtVariable})->GetDType(), dtNone);
  IIEValue Multi = S->CreateValidDefault(true);
  EXPECT_EQ(Multi->GetDType(), dtList);
  EXPECT_NE(Multi.get(), FCNilList.get());
}

TEST(FactTemplate, EqualityLooksOnlyAtThisTemplatesSlots) {
  IFactTemplate A = MakeRef<TFactTemplate>(nullptr, "t");
  A->AddSlot("a", Int(1));
  IFactTemplate B = MakeRef<TFactTemplate>(nullptr, "t");
  B->AddSlot("a", Int(1));
  B->AddSlot("b", Int(2));
  EXPECT_TRUE(A->Equals(B.get()));
  EXPECT_FALSE(B->Equals(A.get()));
  EXPECT_TRUE(A->Equals(A.get()));
  B->GetSlot("a")->SetSlotDefault(Flt(1.7));
  EXPECT_TRUE(A->Equals(B.get()));  // by value from A's side: the integer 1 and 1.7 truncated
  B->GetSlot("a")->SetSlotDefault(Flt(2.5));
  EXPECT_FALSE(A->Equals(B.get()));
  B->GetSlot("a")->SetSlotDefault(Atom("1"));
  EXPECT_TRUE(A->Equals(B.get()));  // defaults compare by value
  B->GetSlot("a")->SetSlotDefault(Atom("x"));
  EXPECT_FALSE(A->Equals(B.get()));  // a default that cannot be read as the other's kind is different
  IFactTemplate C = MakeRef<TFactTemplate>(nullptr, "other");
  C->AddSlot("a", Int(1));
  EXPECT_FALSE(A->Equals(C.get()));
}

TEST(FactTemplate, ParentsClonesAndCopies) {
  IFactTemplate Base = MakeRef<TFactTemplate>(nullptr, "base");
  Base->AddSlot("a", Int(1));
  Base->AddMultiSlot("m", List({Int(1)}));
  Base->SetComment("base comment");
  IFactTemplate Child = MakeRef<TFactTemplate>(nullptr, "child", "child comment", Base);
  EXPECT_EQ(Child->GetParent(), Base);
  EXPECT_EQ(Child->GetTemplateName(), "child");
  EXPECT_EQ(Child->GetComment(), "child comment");
  EXPECT_EQ(Child->GetSlotNames(), (std::vector<std::string>{"a", "m"}));
  EXPECT_NE(Child->GetSlot("a").get(), Base->GetSlot("a").get());
  EXPECT_EQ(Child->GetSlot("a")->GetTemplate(), Child.get());
  TComponent OtherOwner(nullptr);
  IFactTemplate Foreign = MakeRef<TFactTemplate>(&OtherOwner, "foreign", "", Base);
  EXPECT_FALSE(Foreign->GetParent());  // the parent belongs to another owner
  EXPECT_EQ(Foreign->GetSlotCount(), 2);

  IFactTemplate Copy = Base->Clone();
  EXPECT_EQ(Copy->GetTemplateName(), "");  // no engine: the copy is unnamed
  EXPECT_EQ(Copy->GetSlotCount(), 2);
  Copy->GetSlot("a")->SetSlotDefault(Int(5));
  EXPECT_EQ(Base->GetSlot("a")->GetSlotDefault()->GetAsInteger(), 1);
  TFakeFactEngine Engine;
  IFactTemplate Owned = MakeRef<TFactTemplate>(&Engine, "owned");
  Owned->AddSlot("a", Int(1));
  IFactTemplate EngineCopy = Owned->Clone();
  EXPECT_EQ(EngineCopy->GetTemplateName(), "owned Copy");
  EXPECT_EQ(EngineCopy->GetOwner(), &Engine);
  EXPECT_EQ(EngineCopy->GetSlotCount(), 1);
}

TEST(FactTemplate, FillingFactsWithDefaults) {
  TFakeFactEngine Engine;
  Engine.Globals.Bindings["*g*"] = std::make_unique<TBinding>("*g*", Int(41));
  IFactTemplate T = MakeRef<TFactTemplate>(&Engine, "t");
  T->AddSlot("fixed", Int(1));
  T->AddSlot("dynamic", MakeRef<TIEValue>("*g*", dtVariable));
  T->GetSlot("dynamic")->SetDefaultDynamic(true);
  IFact F = T->NewFact();
  EXPECT_EQ(F->GetValue("fixed")->GetAsInteger(), 1);
  EXPECT_EQ(F->GetValue("dynamic")->GetAsInteger(), 41);  // evaluated for the fact
  Engine.Globals.Bindings["*g*"]->SetValue(Int(42));
  EXPECT_EQ(T->NewFact()->GetValue("dynamic")->GetAsInteger(), 42);  // anew for every fact
  TFact Orphan;
  ExpectError([&] { T->FillFactWithDefaults(Orphan); }, "Fact Template is missing");
  IFactTemplate Other = MakeRef<TFactTemplate>(nullptr, "other");
  TFact Stranger(Other);
  ExpectError([&] { T->FillFactWithDefaults(Stranger); },
              "Unable to assign slot values, fact templates are different: other and t");
}

TEST(FactTemplate, FuzzyFlagAndTypeLookup) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "t");
  T->AddSlot("a", Int(0));
  EXPECT_FALSE(T->IsFuzzy());
  IIEDefinedType Temperature = MakeRef<TIEDefinedType>("temperature");
  T->GetSlot("a")->SetExtendedTypeInfo(Temperature);
  EXPECT_EQ(T->ContainsType(Temperature), T->GetSlot("a"));
  EXPECT_FALSE(T->ContainsType(MakeRef<TIEDefinedType>("other")));
  T->GetSlot("a")->SetSlotType({dtFuzzy});
  EXPECT_TRUE(T->IsFuzzy());
}

TEST(FactTemplate, SlotsOutliveTheirTemplateSafely) {
  IFactSlot Kept;
  {
    IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "t");
    T->AddSlot("a", Int(0));
    Kept = T->GetSlot("a");
    T->AddSlot("b", Int(0));
    IFactSlot Removed = T->GetSlot("b");
    T->RemoveSlot("b");
    EXPECT_EQ(Removed->GetTemplate(), nullptr);
  }
  EXPECT_EQ(Kept->GetTemplate(), nullptr);
  EXPECT_EQ(Kept->GetTemplateName(), "");
  Kept->SetName("renamed");  // no template to tell
  EXPECT_EQ(Kept->GetToString(), "(slot renamed (default 0))");
}
