// The rule-language text of defined types: the deftype construct, its clauses against an ancestor, the
// allowed-value groupings and the clauses an implicit type gives its slot.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include "rulecraft/core/Reasoner.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/types/DefinedType.h"
#include "rulecraft/types/DefinedTypePrinter.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

IIEDefinedType NewType(const std::string& Name, TIETypes Base, TValueConstraints Constraints = {}) {
  IIEDefinedType T = MakeRef<TIEDefinedType>(Name);
  T->SetBaseTypes(Base);
  T->SetConstraints(Constraints);
  return T;
}

void Add(const IIEDefinedType& T, std::initializer_list<IIEValue> Values) {
  for (const IIEValue& V : Values) T->AddConstraint(V);
}

/// An engine whose printer marks what it writes.
class TMarkingReasoner final : public IReasoner {
 public:
  std::string PrettyPrint(const TFunctionCall&) override { return ""; }
  std::string PrettyPrint(const TFact&) override { return ""; }
  std::string PrettyPrint(const TIEUserFunction&) override { return ""; }
  std::string PrettyPrint(const TInterpretedFunction&) override { return ""; }
  std::string PrettyPrint(const TIEDefinedType& Type) override { return "engine: " + Type.GetName(); }
};

}  // namespace

TEST(DefinedTypePrinter, NamedTypeLayout) {
  IIEDefinedType T = NewType("percent", IENumericTypes);
  T->SetComment("a \"share\"");
  T->SetRangeLimited(true);
  T->SetMinRange(0);
  T->SetMaxRange(100);
  T->SetUnits("per cent");
  EXPECT_EQ(PrettyPrintDefinedType(*T),
            "(deftype percent\r\n"
            "    \"a \\\"share\\\"\"\r\n"
            "    extends (type INTEGER FLOAT)\r\n"
            "    (units \"per cent\")\r\n"
            "    (range 0 100)\r\n"
            ")");
  EXPECT_EQ(T->GetToString(), PrettyPrintDefinedType(*T));
  TMarkingReasoner Engine;
  T->SetReasoner(&Engine);
  EXPECT_EQ(T->GetToString(), "engine: percent");

  // Bounds are written as they are (rounding them would change what the type allows after reading it
  // back); an end at its initial value is ?VARIABLE.
  IIEDefinedType R = NewType("r", {dtFloat});
  R->SetRangeLimited(true);
  R->SetMaxRange(10.5);
  R->SetCardinalityLimited(true);
  R->SetMaxCardinality(5);
  R->SetUnits("kg");
  EXPECT_EQ(PrettyPrintDefinedType(*R),
            "(deftype r\r\n    extends (type FLOAT)\r\n    (units kg)\r\n    (range ?VARIABLE 10.5000)\r\n"
            "    (cardinality ?VARIABLE 5)\r\n)");
  R->SetMinRange(-2.5);
  R->SetMaxRange(TIEDefinedType::InitialMaxRange);
  R->SetMinCardinality(2);
  R->SetMaxCardinality(TIEDefinedType::InitialMaxCardinality);
  R->SetUnits("");
  EXPECT_EQ(PrettyPrintDefinedType(*R),
            "(deftype r\r\n    extends (type FLOAT)\r\n    (range -2.5000 ?VARIABLE)\r\n"
            "    (cardinality 2 ?VARIABLE)\r\n)");
}

TEST(DefinedTypePrinter, ExtendsClause) {
  // The whole single-slot set reads back only as ?VARIABLE; always-valid kinds are never listed.
  EXPECT_EQ(PrettyPrintDefinedType(*NewType("any", IESlotTypes)),
            "(deftype any\r\n    extends (type ?VARIABLE)\r\n)");
  EXPECT_EQ(PrettyPrintDefinedType(*NewType("c", {dtClass, dtInteger, dtVariable, dtFunCall})),
            "(deftype c\r\n    extends (type INTEGER CLASS)\r\n)");
  EXPECT_EQ(PrettyPrintDefinedType(*NewType("temp", {dtFuzzy})),
            "(deftype temp\r\n    extends (type FUZZY)\r\n)");

  // With an ancestor: its name, the kinds it lacks, and only the clauses that differ from it.
  IIEDefinedType Base = NewType("percent", IENumericTypes, {vcInteger});
  Base->SetRangeLimited(true);
  Base->SetMaxRange(100);
  Base->SetUnits("pc");
  Add(Base, {Int(1), Int(2)});
  IIEDefinedType Child = Base->Clone();
  Child->SetName("small");
  Child->SetAncestor(Base);
  EXPECT_EQ(PrettyPrintDefinedType(*Child), "(deftype small\r\n    extends (type percent)\r\n)");
  Child->SetMaxRange(10);
  Child->SetBaseTypes(Child->GetBaseTypes() + TIETypes{dtAtom});
  Add(Child, {Int(3)});
  EXPECT_EQ(PrettyPrintDefinedType(*Child),
            "(deftype small\r\n    extends (type percent SYMBOL)\r\n    (range ?VARIABLE 10)\r\n"
            "    (allowed-integers 1 2 3)\r\n)");
}

TEST(DefinedTypePrinter, AllowedValueGroupings) {
  IIEDefinedType All = NewType("all", IESlotTypes, {vcAtom, vcString, vcInteger, vcFloat});
  Add(All, {Str("x y"), Atom("red"), Flt(2.5), Int(1)});
  EXPECT_EQ(PrettyPrintAllowedValues(*All), "(allowed-values 1 2.5000 red \"x y\")");

  IIEDefinedType Three = NewType("three", IESlotTypes, {vcAtom, vcInteger, vcFloat});
  Add(Three, {Atom("b"), Atom("a"), Int(7), Flt(0.125)});
  EXPECT_EQ(PrettyPrintAllowedValues(*Three), "(allowed-numbers 7 0.1250) (allowed-symbols b a)");
  EXPECT_EQ(PrettyPrintDefinedType(*Three),
            "(deftype three\r\n    extends (type ?VARIABLE)\r\n    (allowed-numbers 7 0.1250)\r\n"
            "    (allowed-symbols b a)\r\n)");

  IIEDefinedType Lex = NewType("lex", IESlotTypes, {vcAtom, vcString, vcFloat});
  Add(Lex, {Str("s"), Atom("a"), Flt(-1)});
  EXPECT_EQ(PrettyPrintAllowedValues(*Lex), "(allowed-floats -1.0000) (allowed-lexemes a \"s\")");

  IIEDefinedType Single = NewType("single", IESlotTypes, {vcInteger, vcString});
  Add(Single, {Int(-4), Str("q")});
  EXPECT_EQ(PrettyPrintAllowedValues(*Single), "(allowed-integers -4) (allowed-strings \"q\")");
  // A constrained kind without values still writes its clause: it allows nothing of that kind.
  EXPECT_EQ(PrettyPrintAllowedValues(*NewType("none", IESlotTypes, {vcAtom})), "(allowed-symbols )");
  EXPECT_EQ(PrettyPrintAllowedValues(*NewType("free", IESlotTypes)), "");
}

TEST(DefinedTypePrinter, ImplicitTypeWritesSlotClauses) {
  IIEDefinedType Base = NewType("base", IESlotTypes);
  Base->SetUnits("kg");
  IIEDefinedType T = Base->Clone();
  T->SetAncestor(Base);
  T->SetImplicit(true);
  EXPECT_EQ(PrettyPrintDefinedType(*T), " (units kg)");  // in full: the slot does not name the ancestor
  T->SetRangeLimited(true);
  T->SetMinRange(0);
  T->SetCardinalityLimited(true);
  T->SetMinCardinality(1);
  T->SetMaxCardinality(3);
  T->SetConstraints({vcInteger});
  Add(T, {Int(1), Int(2)});
  EXPECT_EQ(PrettyPrintDefinedType(*T),
            " (units kg) (range 0 ?VARIABLE) (cardinality 1 3) (allowed-integers 1 2)");
  IIEDefinedType Plain = NewType("implicit", {dtInteger});
  Plain->SetImplicit(true);
  EXPECT_EQ(PrettyPrintDefinedType(*Plain), "");

  // A fuzzy slot takes only a cardinality.
  T->SetBaseTypes({dtFuzzy});
  EXPECT_EQ(PrettyPrintDefinedType(*T), " (cardinality 1 3)");
}
