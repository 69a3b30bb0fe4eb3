// The printed forms of templates and their slots.
#include <gtest/gtest.h>

#define RULECRAFT_FAKE_FACTS_ONLY
#include "../FakeEngine.h"
#include "../TestValues.h"
#include "rulecraft/core/ValueVector.h"

using namespace rulecraft;
using namespace rulecraft::testing;

TEST(TemplateText, HeaderParentAndSlots) {
  IFactTemplate Empty = MakeRef<TFactTemplate>(nullptr, "empty");
  EXPECT_EQ(Empty->GetToString(), "(deftemplate empty\r\n)");
  IFactTemplate Base = MakeRef<TFactTemplate>(nullptr, "base");
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "person");
  T->SetComment("a \"person\"");
  T->SetParent(Base);
  T->AddSlot("name", Str(""));
  T->AddSlot("age", Int(0));
  T->GetSlot("age")->SetSlotType({dtInteger});
  T->AddMultiSlot("kids", List({Atom("a"), Atom("b")}));
  T->AddSlot("id", MakeRef<TIEValue>("gensym", dtAtom));
  T->GetSlot("id")->SetDefaultDynamic(true);
  EXPECT_EQ(T->GetToString(),
            "(deftemplate person \"a \\\"person\\\"\"\r\n"
            "    extends base\r\n"
            "    (slot age (type INTEGER) (default 0))\r\n"
            "    (slot id (default-dynamic gensym))\r\n"
            "    (multislot kids (default a b))\r\n"
            "    (slot name (default \"\"))\r\n"
            ")");
}

TEST(TemplateText, SlotKindsAndTypes) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "t");
  T->AddSlot("s", Str("x"));
  EXPECT_EQ(T->GetSlot("s")->GetToString(), "(slot s (default \"x\"))");
  T->GetSlot("s")->SetSlotType({dtAtom, dtString, dtVariable});
  EXPECT_EQ(T->GetSlot("s")->GetToString(), "(slot s (type ATOM STRING) (default \"x\"))");
  T->AddMultiSlot("m", FCNilList);
  T->GetSlot("m")->SetSlotType({dtFloat, dtList, dtMultiSlot});
  EXPECT_EQ(T->GetSlot("m")->GetToString(), "(multislot m (type FLOAT))");
  IIEDefinedType Named = MakeRef<TIEDefinedType>("money");
  Named->SetBaseTypes({dtFloat});
  T->AddSlot("price", Flt(0));
  T->GetSlot("price")->SetExtendedTypeInfo(Named);
  EXPECT_EQ(T->GetSlot("price")->GetToString(), "(slot price (type money) (default 0.0000))");
  // Nil, the empty list and defaults with an empty text are not written.
  T->AddSlot("none", FCNil);
  EXPECT_EQ(T->GetSlot("none")->GetToString(), "(slot none)");
  T->AddSlot("blank", Atom(""));
  EXPECT_EQ(T->GetSlot("blank")->GetToString(), "(slot blank)");
}

TEST(TemplateText, OrderedTemplatesTypedByANamedType) {
  IIEDefinedType Temperature = MakeRef<TIEDefinedType>("temperature");
  Temperature->SetBaseTypes({dtFloat});
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "reading");
  T->AddMultiSlot("__Data", FCNilList);
  T->GetSlot("__Data")->SetExtendedTypeInfo(Temperature);
  EXPECT_TRUE(T->IsOrdered());
  EXPECT_EQ(T->GetToString(), "(deftemplate reading is-a temperature)");
  IFactTemplate Plain = MakeRef<TFactTemplate>(nullptr, "numbers");
  Plain->AddMultiSlot("__Data", FCNilList);
  EXPECT_EQ(Plain->GetToString(), "(deftemplate numbers\r\n    (multislot __Data)\r\n)");
}
