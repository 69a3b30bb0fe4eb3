// deftype: base types, an ancestor copied and narrowed, clauses, errors, and the printed form reading back.
#include <gtest/gtest.h>

#include <string>

#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/types/DefinedType.h"

using namespace rulecraft;

namespace {

std::string ErrorOf(TInferenceEngine& Engine, const std::string& Text) {
  try {
    Engine.Parse(Text, true);
  } catch (const Exception& E) {
    return E.Message();
  }
  return "no error";
}

TEST(DefinedTypeParser, TypesAncestorsClausesAndErrors) {
  TInferenceEngine Engine;
  Engine.OnPrintOut = [](TObject*, const std::string&, const std::string&) {};
  Engine.Parse(
      "(deftype percent extends (type NUMBER) (range 0 100))"
      "(deftype color \"colours\" extends (type SYMBOL) (allowed-symbols red green blue))"
      "(deftype small-percent extends (type percent) (range 0 10.5) (units \"per cent\"))",
      true);
  const IIEDefinedType Percent = Engine.FindDefinedType("percent");
  ASSERT_TRUE(Percent);
  EXPECT_TRUE(Percent->GetRangeLimited());
  EXPECT_EQ(Percent->GetMaxRange(), 100.0);
  EXPECT_TRUE(Percent->GetBaseTypes().Contains(dtFloat));
  const IIEDefinedType Color = Engine.FindDefinedType("color");
  EXPECT_EQ(Color->GetComment(), "colours");
  EXPECT_EQ(Color->GetConstraintAtomsCount(), 3);
  const IIEDefinedType Small = Engine.FindDefinedType("small-percent");
  EXPECT_EQ(Small->GetAncestor(), Percent);
  EXPECT_EQ(Small->GetMaxRange(), 10.5);
  EXPECT_EQ(Small->GetUnits(), "per cent");
  EXPECT_EQ(Percent->GetMaxRange(), 100.0);  // the ancestor is copied, not changed

  // Types constrain the slots that name them.
  Engine.Parse("(deftemplate item (slot p (type small-percent)) (slot c (type color)))", true);
  EXPECT_NE(ErrorOf(Engine, "(assert (item (p 11)))").find("Range must be between"), std::string::npos);
  EXPECT_NE(ErrorOf(Engine, "(assert (item (c pink)))"), "no error");
  EXPECT_EQ(ErrorOf(Engine, "(assert (item (p 10.5) (c blue)))"), "no error");

  EXPECT_EQ(
      ErrorOf(Engine, "(deftype t (type INTEGER))"),
      "Parsing Error, Missing keyword.  Expected \"extends\" in ParseDefinedType at line 1: ( deftype t ( ");
  EXPECT_EQ(ErrorOf(Engine, "(deftype t extends type)"),
            "Parsing Error, Expected \"(\" in ParseDefinedType at line 1: ( deftype t extends type ");
  EXPECT_EQ(ErrorOf(Engine, "(deftype t extends (kind INTEGER))"),
            "Parsing Error, Missing keyword.  Expected \"type\" in ParseDefinedType at line 1: "
            "( deftype t extends ( kind ");
  EXPECT_EQ(ErrorOf(Engine, "(deftype t extends (type FUZZY INTEGER))"),
            "Parsing Error, Cannot mix fuzzy type with other primitive types in ParseSlotTypes at line 1: "
            "( deftype t extends ( type FUZZY INTEGER ");
  EXPECT_FALSE(Engine.FindDefinedType("t"));
}

TEST(DefinedTypeParser, PrintedTypesReadBackTheSame) {
  TInferenceEngine Engine;
  Engine.Parse(
      "(deftype percent extends (type NUMBER) (range 0 100))"
      "(deftype weight extends (type FLOAT INTEGER) (units kg) (cardinality 1 3) (allowed-numbers 1 2.5))"
      "(deftype small \"narrow\" extends (type percent) (range 0.25 ?VARIABLE) (units \"per cent\"))",
      true);
  for (const char* Name : {"percent", "weight", "small"}) {
    const std::string Text = Engine.FindDefinedType(Name)->GetToString();
    TInferenceEngine Copy;
    if (std::string(Name) == "small")
      Copy.Parse("(deftype percent extends (type NUMBER) (range 0 100))", true);
    Copy.Parse(Text, true);
    const IIEDefinedType Read = Copy.FindDefinedType(Name);
    ASSERT_TRUE(Read) << Text;
    EXPECT_EQ(Read->GetToString(), Text);
    EXPECT_EQ(Read->GetMinRange(), Engine.FindDefinedType(Name)->GetMinRange());
    EXPECT_EQ(Read->GetUnits(), Engine.FindDefinedType(Name)->GetUnits());
  }
}

}  // namespace

namespace {

// The parser's printing operations are what the engine's objects print through.
TEST(ParserPrinting, EveryKindPrintsThroughTheParser) {
  TInferenceEngine Engine;
  Engine.OnPrintOut = [](TObject*, const std::string&, const std::string&) {};
  Engine.Parse(
      "(deftype small extends (type INTEGER) (range 0 9))"
      "(deftemplate t (slot a (type small)))"
      "(deffacts s (t (a 1)))"
      "(deffunction f (?x) (+ ?x 1))"
      "(defrule r (t (a ?a)) => (f ?a))",
      true);
  TEngineParser& Parser = Engine.GetParser();
  const IFactTemplate Template = Engine.FindFactTemplate("t");
  EXPECT_EQ(Parser.PrettyPrint(*Template), Template->GetToString());
  EXPECT_EQ(Parser.PrettyPrint(*Engine.FindDefinedType("small")),
            Engine.FindDefinedType("small")->GetToString());
  TRule* Rule = Engine.GetRules().Get("r");
  ASSERT_TRUE(Rule);
  EXPECT_EQ(Parser.PrettyPrint(*Rule), Rule->GetToString());
  const IUserFunction Function = Engine.GetUserFunction("f");
  EXPECT_EQ(Parser.PrettyPrint(*Function), Function->GetToString(&Engine));
  EXPECT_EQ(Function->GetToString(&Engine).rfind("(deffunction f (?x)", 0), 0u);
  TFactSet* Set = Engine.GetFactSets().Get(Engine.GetFactSets().IndexOf("s"));
  ASSERT_TRUE(Set);
  EXPECT_EQ(Parser.PrettyPrint(*Set), Set->GetToString());
}

}  // namespace
