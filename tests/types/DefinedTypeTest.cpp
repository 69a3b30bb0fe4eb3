// Defined types: validity and its reasons, allowed values, coupled limits, inheritance, defaults, change
// notification, copying and the description stand-ins.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/StringList.h"
#include "rulecraft/framework/TreeNodes.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/types/DefinedType.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

IIEDefinedType NewType(const std::string& Name, TIETypes Base, TValueConstraints Constraints = {}) {
  IIEDefinedType T = MakeRef<TIEDefinedType>(Name);
  T->SetBaseTypes(Base);
  T->SetConstraints(Constraints);
  return T;
}

}  // namespace

TEST(DefinedType, NewTypeAcceptsTheSingleSlotKinds) {
  IIEDefinedType T = MakeRef<TIEDefinedType>();
  EXPECT_EQ(T->GetName(), "implicit");
  EXPECT_FALSE(T->GetImplicit());
  EXPECT_TRUE(T->GetBaseTypes() == IESlotTypes);
  EXPECT_EQ(T->GetMinRange(), -2147483648.0);
  EXPECT_EQ(T->GetMaxCardinality(), 2147483647);
  for (const IIEValue& V : {Atom("a"), Str("s"), Int(-7), Flt(1e300), MakeRef<TIEValue>("x", dtVariable),
                            MakeRef<TIEValue>(3, dtFactId), MakeRef<TIEValue>(3, dtDescriptor),
                            MakeRef<TIEValue>(static_cast<void*>(nullptr)), MakeRef<TIEValue>(), IIEValue()})
    EXPECT_TRUE(T->IsValid(V)) << V.get();
  EXPECT_TRUE(T->IsValid(List({Atom("a"), Int(1)})));
  EXPECT_TRUE(T->IsValid(FCNilList));

  // A kind outside the base types: the reason names the base types in upper case.
  IIEDefinedType Lexeme = NewType("word", {dtAtom, dtString});
  EXPECT_FALSE(Lexeme->IsValid(Int(5)));
  EXPECT_EQ(Lexeme->GetInvalidValueString(Int(5)),
            "Value \"5\" is not valid, Not a ATOM, STRING type.  Value (5) is a dtInteger type");
  EXPECT_TRUE(Lexeme->IsValid(MakeRef<TIEValue>("v", dtMultiVariable)));  // resolved later
  EXPECT_EQ(Lexeme->GetInvalidValueString(Atom("x")), "");
}

TEST(DefinedType, AllowedValuesAndNumericFallbacks) {
  IIEDefinedType T = NewType("num", IENumericTypes, {vcInteger, vcFloat});
  T->AddConstraint(Int(1));
  T->AddConstraint(Flt(2.5));
  EXPECT_TRUE(T->IsValid(Int(1)));
  EXPECT_TRUE(T->IsValid(Flt(1.0)));
  EXPECT_TRUE(T->IsValid(Flt(2.5)));
  EXPECT_FALSE(T->IsValid(Int(2)));
  EXPECT_EQ(T->GetInvalidValueString(Int(2)), "Value \"2\" is not valid, Not in allowed values");
  TValueConstraint C = vcAtom;
  EXPECT_TRUE(T->IsConstraint(Flt(1.0), C));
  EXPECT_EQ(C, vcInteger);

  // Only floats constrained: an integer is classed as a float and looked up by value.
  IIEDefinedType F = NewType("f", IENumericTypes, {vcFloat});
  F->AddConstraint(Int(3));
  EXPECT_EQ(F->GetConstraintFloat(0), 3.0);
  EXPECT_TRUE(F->IsConstraint(Int(3), C));
  EXPECT_EQ(C, vcFloat);
  EXPECT_FALSE(F->IsValid(Int(4)));

  // Only integers constrained: a whole float is classed as an integer, any other float is unconstrained.
  IIEDefinedType I = NewType("i", IENumericTypes, {vcInteger});
  I->AddConstraint(Flt(4.0));
  EXPECT_EQ(I->GetConstraintInteger(0), 4);
  EXPECT_TRUE(I->IsValid(Flt(4.0)));
  EXPECT_FALSE(I->IsValid(Flt(5.0)));
  EXPECT_TRUE(I->IsValid(Flt(4.5)));
  // A whole float beyond 32 bits has no exact integer, so it stays a float.
  ExpectError([&] { I->AddConstraint(Flt(3e10)); }, "Defined Type i cannot contain Float constraint types");
  EXPECT_TRUE(I->IsValid(Flt(3e10)));
  EXPECT_EQ(I->GetConstraintIntegersCount(), 1);
}

TEST(DefinedType, RangeLimits) {
  IIEDefinedType T = NewType("r", IESlotTypes);
  T->SetRangeLimited(true);
  T->SetMinRange(0);
  T->SetMaxRange(10);
  EXPECT_TRUE(T->IsValid(Flt(10.0)));
  EXPECT_TRUE(T->IsValid(Int(0)));
  EXPECT_TRUE(T->IsValid(Atom("a")));  // the range bounds numbers only
  EXPECT_FALSE(T->IsValid(Flt(-0.0001)));
  EXPECT_EQ(T->GetInvalidValueString(Flt(10.5)),
            "Value \"10.5000\" is not valid, Range must be between 0.0000 and 10.0000");
  T->SetRangeLimited(false);
  EXPECT_TRUE(T->IsValid(Flt(10.5)));

  // Each range setter drags the other bound along.
  T->SetMinRange(20);
  EXPECT_EQ(T->GetMaxRange(), 20.0);
  T->SetMaxRange(-5);
  EXPECT_EQ(T->GetMinRange(), -5.0);
}

TEST(DefinedType, CardinalityCouplingAndLists) {
  IIEDefinedType T = NewType("c", {dtAtom}, {vcAtom});
  T->SetMinCardinality(5);
  T->SetMaxCardinality(2);
  EXPECT_EQ(T->GetMinCardinality(), 2);
  EXPECT_EQ(T->GetMaxCardinality(), 2);
  T->SetMinCardinality(7);
  EXPECT_EQ(T->GetMaxCardinality(), 7);
  T->SetMaxCardinality(-3);
  EXPECT_EQ(T->GetMaxCardinality(), 0);
  EXPECT_EQ(T->GetMinCardinality(), 0);
  T->SetMaxCardinality(3);
  T->SetMinCardinality(-1);
  EXPECT_EQ(T->GetMinCardinality(), 0);

  T->AddConstraint(Atom("a"));
  T->AddConstraint(Atom("b"));
  const IIEValue Four = List({Atom("a"), Atom("b"), Atom("a"), Atom("b")});
  EXPECT_TRUE(T->IsValid(Four));  // not limited yet
  T->SetMinCardinality(2);
  T->SetCardinalityLimited(true);
  EXPECT_FALSE(T->IsValid(Four));
  EXPECT_EQ(T->GetInvalidValueString(List({Atom("a")})),
            "Value \"a \" is not valid, Multislot must have between 2 and 3 elements");
  EXPECT_TRUE(T->IsValid(List({Atom("a"), Atom("b")})));
  // A list of good length reports its first invalid element.
  EXPECT_EQ(T->GetInvalidValueString(List({Atom("a"), Atom("c"), Int(5)})),
            "Value \"c\" is not valid, Not in allowed values");
}

TEST(DefinedType, InheritanceLoopsAndImplicit) {
  IIEDefinedType A = MakeRef<TIEDefinedType>("A");
  IIEDefinedType B = MakeRef<TIEDefinedType>("B");
  IIEDefinedType C = MakeRef<TIEDefinedType>("C");
  A->SetAncestor(B);
  B->SetAncestor(C);
  ExpectError([&] { C->SetAncestor(A); },
              "Type inheritance loop detected, C type cannot be an ancestor of itself");
  EXPECT_TRUE(C->GetAncestor() == nullptr);
  ExpectError([&] { A->SetAncestor(A); },
              "Type inheritance loop detected, A type cannot be an ancestor of itself");
  EXPECT_TRUE(A->GetAncestor() == B);
  // Copying a type whose ancestor chain leads back here would close a loop too.
  ExpectError([&] { C->Assign(static_cast<const TPersistent*>(A.get())); },
              "Type inheritance loop detected, C type cannot be an ancestor of itself");
  EXPECT_EQ(C->GetName(), "C");

  IIEDefinedType S = MakeRef<TIEDefinedType>();
  S->SetImplicit(true);
  S->SetAncestor(nullptr);
  EXPECT_TRUE(S->GetImplicit());
  S->SetAncestor(C);
  EXPECT_FALSE(S->GetImplicit());
}

TEST(DefinedType, ValidDefaultsByFirstBaseType) {
  const auto Default = [](TIETypes Base) { return NewType("d", Base)->CreateValidDefault(false); };
  EXPECT_EQ(Default({dtInteger, dtAtom})->GetDType(), dtAtom);
  EXPECT_EQ(Default({dtInteger, dtString})->GetDType(), dtString);
  EXPECT_EQ(Default({dtFloat, dtInteger})->GetDType(), dtInteger);
  EXPECT_EQ(Default({dtFloat, dtObject})->GetDType(), dtFloat);
  EXPECT_EQ(Default({dtObject, dtExternalAddress})->GetDType(), dtObject);
  EXPECT_EQ(Default({dtExternalAddress, dtFactId})->GetDType(), dtExternalAddress);
  EXPECT_EQ(Default({dtFactId, dtFact})->GetDType(), dtFactId);
  EXPECT_EQ(Default({dtFact, dtDescriptor})->GetDType(), dtFact);
  EXPECT_EQ(Default({dtDescriptor, dtClass})->GetDType(), dtDescriptor);
  EXPECT_EQ(Default({dtClass})->GetDType(), dtClass);
  EXPECT_TRUE(Default({dtFuzzy}) == FCNil);
  EXPECT_EQ(Default({dtVariable})->GetDType(), dtNone);

  IIEDefinedType T = NewType("d", {dtAtom, dtInteger, dtFloat}, {vcAtom});
  EXPECT_EQ(T->CreateValidDefault(false)->GetAsString(), "");
  T->AddConstraint(Atom("first"));
  T->AddConstraint(Atom("second"));
  EXPECT_EQ(T->CreateValidDefault(false)->GetAsString(), "first");

  // Numbers: the allowed list, else the range's set bound (integers rounded), else 0.
  IIEDefinedType N = NewType("n", {dtInteger});
  N->SetRangeLimited(true);
  EXPECT_EQ(N->CreateValidDefault(false)->GetAsInteger(), 0);
  N->SetMaxRange(7.5);
  EXPECT_EQ(N->CreateValidDefault(false)->GetAsInteger(), 8);
  N->SetMinRange(2.4);
  EXPECT_EQ(N->CreateValidDefault(false)->GetAsInteger(), 2);
  N->SetBaseTypes({dtFloat});
  EXPECT_EQ(N->CreateValidDefault(false)->GetAsFloat(), 2.4);
  N->SetConstraints({vcFloat});
  N->AddConstraint(Flt(6.25));
  EXPECT_EQ(N->CreateValidDefault(false)->GetAsFloat(), 6.25);

  IFuzzyVariable Var = MakeRef<TIFuzzyVariable>("temp");
  IIEDefinedType Fz = NewType("temp", {dtFuzzy});
  Fz->SetFuzzyType(Var);
  const IIEValue Empty = Fz->CreateValidDefault(false);
  EXPECT_EQ(Empty->GetAsFuzzy()->GetName(), SFuzzyEmptySet);
  EXPECT_TRUE(Fz->IsValid(Empty));

  // Lists: MinCardinality defaults when limited, else a fresh empty list.
  IIEDefinedType L = NewType("l", {dtInteger});
  const IIEValue None = L->CreateValidDefault(true);
  EXPECT_TRUE(None != FCNilList);
  EXPECT_TRUE(None->GetAsList() != FCNilList->GetAsList());
  EXPECT_EQ(None->GetAsList()->GetValueCount(), 0);
  L->SetCardinalityLimited(true);
  L->SetMinCardinality(2);
  L->SetMaxCardinality(5);
  const IIEValue Two = L->CreateValidDefault(true);
  EXPECT_EQ(Two->GetToString(), "0 0 ");
  EXPECT_TRUE(L->IsValid(Two));
}

TEST(DefinedType, AllowedListOperationsAndErrors) {
  IIEDefinedType T = NewType("color", IESlotTypes, {vcAtom, vcString});
  ExpectError([&] { T->GetConstraintAtom(0); }, "Defined Type color does not have Atom constraints");
  ExpectError([&] { T->GetConstraintFloat(0); }, "Defined Type color does not have Float constraints");
  ExpectError([&] { T->DeleteConstraint(0, vcInteger); },
              "Defined Type color does not have Integer constraints");
  ExpectError([&] { T->AddConstraint(Int(1)); },
              "Defined Type color cannot contain Integer constraint types");
  ExpectError([&] { T->AddConstraint(MakeRef<TIEValue>(1, dtFactId)); },
              "Defined Type color cannot contain FactId constraint types");
  for (const char* Name : {"red", "green", "red", "blue"}) T->AddConstraint(Atom(Name));
  T->AddConstraint(Str("red"));  // another kind, another list
  ASSERT_EQ(T->GetConstraintAtomsCount(), 3);
  EXPECT_EQ(T->GetConstraintAtom(2), "blue");
  EXPECT_EQ(T->GetConstraintString(0), "red");
  ExpectError([&] { T->GetConstraintAtom(3); }, "List index out of bounds (3)");

  T->RemoveConstraint(Atom("green"));
  EXPECT_EQ(T->GetConstraintAtom(1), "blue");
  T->DeleteConstraint(0, vcAtom);
  EXPECT_EQ(T->GetConstraintAtom(0), "blue");
  ExpectError([&] { T->DeleteConstraint(1, vcAtom); }, "List index out of bounds (1)");
  T->ClearConstraints({vcString});
  EXPECT_EQ(T->GetConstraintStringsCount(), 0);
  EXPECT_EQ(T->GetConstraintAtomsCount(), 1);
  T->ClearConstraints();
  EXPECT_EQ(T->GetConstraintAtomsCount(), 0);
  EXPECT_FALSE(T->IsValid(Atom("blue")));  // constrained to an empty list
  T->SetConstraints({});
  EXPECT_TRUE(T->IsValid(Atom("blue")));
}

TEST(DefinedType, ChangeNotification) {
  IIEDefinedType T = MakeRef<TIEDefinedType>("t");
  int Changes = 0;
  T->SetOnChange([&Changes](TIEDefinedType*) { ++Changes; });
  T->SetName("t");
  T->SetMaxCardinality(2147483647);
  EXPECT_EQ(Changes, 0);
  T->SetUnits("kg");
  EXPECT_EQ(Changes, 1);
  T->BeginUpdate();
  T->BeginUpdate();
  T->SetComment("c");
  T->SetRangeLimited(true);
  T->EndUpdate();
  EXPECT_EQ(Changes, 1);
  T->EndUpdate();
  EXPECT_EQ(Changes, 2);
  T->EndUpdate();  // unbalanced: nothing
  EXPECT_EQ(Changes, 2);
  ExpectError(
      [&] {
        T->SetBaseTypes({dtFuzzy, dtInteger});
      },
      "Cannot mix fuzzy type with other primitive types");
  EXPECT_TRUE(T->GetBaseTypes() == IESlotTypes);
  EXPECT_EQ(Changes, 2);
}

TEST(DefinedType, CloneAssignEquals) {
  IIEDefinedType Base = MakeRef<TIEDefinedType>("base");
  IIEDefinedType T = NewType("t", IENumericTypes, {vcInteger, vcFloat});
  T->SetAncestor(Base);
  T->SetComment("c");
  T->SetUnits("m");
  T->AddConstraint(Int(1));
  T->AddConstraint(Int(2));
  T->SetTag(9);
  int Changes = 0;
  T->SetOnChange([&Changes](TIEDefinedType*) { ++Changes; });
  IIEDefinedType Copy = T->Clone();
  EXPECT_TRUE(Copy->Equals(T.get()));
  EXPECT_TRUE(Copy->GetAncestor() == Base);
  EXPECT_EQ(Copy->GetTag(), 9);
  EXPECT_FALSE(Copy->GetOnChange());
  EXPECT_TRUE(T->Equals(T.get()));

  Copy->SetComment("other");  // not part of equality
  EXPECT_TRUE(Copy->Equals(T.get()));
  Copy->DeleteConstraint(0, vcInteger);
  Copy->AddConstraint(Int(1));  // same values, other order
  EXPECT_FALSE(Copy->ConstraintsEqual(*T));
  EXPECT_FALSE(Copy->Equals(T.get()));
  EXPECT_EQ(T->GetConstraintInteger(0), 1);  // the lists are not shared

  T->Assign(ICloneableRef(Copy));
  EXPECT_EQ(Changes, 1);
  EXPECT_TRUE(T->Equals(Copy.get()));
  EXPECT_EQ(T->GetComment(), "other");
  EXPECT_FALSE(T->Equals(Atom("t").get()));
  ExpectError([&] { T->Assign(ICloneableRef(Atom("x"))); }, "Interface not supported");
  ExpectError([&] { T->Assign(static_cast<const TPersistent*>(Atom("x").get())); },
              "Cannot assign a TIEValue to a TIEDefinedType");
  Copy->SetMaxRange(3);
  EXPECT_FALSE(T->Equals(Copy.get()));
}

TEST(DefinedType, FuzzyTypes) {
  IFuzzyVariable Var = MakeRef<TIFuzzyVariable>("temp");
  IFuzzySet Cold = Var->NewFuzzySet("cold");
  IFuzzyVariable Other = MakeRef<TIFuzzyVariable>("other");
  IIEDefinedType T = NewType("temp", {dtFuzzy});
  EXPECT_FALSE(T->IsValid(MakeRef<TIEValue>(Cold)));  // no variable yet
  T->SetFuzzyType(Var);
  EXPECT_TRUE(T->IsValid(MakeRef<TIEValue>(Cold)));
  EXPECT_TRUE(T->IsValid(Atom("cold")));
  EXPECT_TRUE(T->IsValid(Int(3)));
  const IIEValue Foreign = MakeRef<TIEValue>(Other->NewFuzzySet("x"));
  EXPECT_EQ(T->GetInvalidValueString(Foreign), "Value \"x\" is not valid, invalid fuzzy value");
  EXPECT_FALSE(T->IsValid(MakeRef<TIEValue>(1, dtFactId)));
  ExpectError(
      [&] {
        T->SetBaseTypes({dtFuzzy, dtAtom});
      },
      "Cannot mix fuzzy type with other primitive types");

  // The range setters move the variable's limits; a limit the variable refuses changes nothing.
  T->SetMaxRange(100);
  T->SetMinRange(-10);
  EXPECT_EQ(Var->GetTo(), 100.0);
  EXPECT_EQ(Var->GetFrom(), -10.0);
  EXPECT_THROW(T->SetMaxRange(-20), Exception);
  EXPECT_EQ(T->GetMaxRange(), 100.0);
  EXPECT_EQ(T->GetMinRange(), -10.0);
}

TEST(DefinedType, DescriptionStandIns) {
  IFuzzyVariable Var = MakeRef<TIFuzzyVariable>("t");
  Var->NewFuzzySet("cold");
  Var->NewFuzzySet("hot");
  IIEDefinedType Base = MakeRef<TIEDefinedType>("base");
  IIEDefinedType T = NewType("size", {dtAtom, dtInteger}, {vcAtom});
  T->SetAncestor(Base);
  T->SetComment("a size");
  T->SetCardinalityLimited(true);
  T->SetMaxCardinality(4);
  T->SetRangeLimited(true);
  T->SetMinRange(1);
  T->SetMaxRange(2.5);
  T->AddConstraint(Atom("big"));

  TStringList Lines;
  Lines.Add("old");
  T->AssignTo(&Lines);
  EXPECT_EQ(Lines.GetText(),
            "size\r\nAncestor Type: base\r\nPrimitive Types: Atom, Integer\r\nComment: a size\r\n"
            "Cardinality: 0-4\r\nRange: 1.0000-2.5000\r\nAllowed: (allowed-symbols big)\r\n");
  ExpectError([&] { Lines.Get(7); }, "List index out of bounds (7)");

  IIEDefinedType F = NewType("temp", {dtFuzzy});
  F->SetFuzzyType(Var);
  F->SetUnits("C");
  TTreeNodes Nodes;
  F->AssignTo(&Nodes);
  T->AssignTo(&Nodes);
  ASSERT_EQ(Nodes.Count(), 2);
  TTreeNode* Node = Nodes.Item(0);
  EXPECT_EQ(Node->GetText(), "temp");
  ASSERT_EQ(Node->Count(), 3);
  EXPECT_EQ(Node->Item(0)->GetText(), "Primitive Types: Fuzzy");
  EXPECT_EQ(Node->Item(1)->GetText(), "Units: C");
  TTreeNode* Terms = Node->Item(2);
  EXPECT_EQ(Terms->GetText(), "Fuzzy Terms: ");
  ASSERT_EQ(Terms->Count(), 2);
  EXPECT_EQ(Terms->Item(1)->GetText(), "hot");
  EXPECT_EQ(Nodes.Item(1)->Count(), 6);
  ExpectError([&] { Nodes.Item(2); }, "List index out of bounds (2)");

  ExpectError([&] { T->AssignTo(Atom("x").get()); }, "Cannot assign a TIEDefinedType to a TIEValue");
}
