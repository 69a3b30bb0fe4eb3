// deffunction: what the parser builds, its errors, how a call binds its parameters, and the printed forms
// of functions written in the rule language and of built-in ones.
#include <gtest/gtest.h>

#include <string>

#include "../TestValues.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/functions/InterpretedFunction.h"
#include "rulecraft/parser/ClipsParser.h"
#include "rulecraft/parser/ParseException.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TDeffunctionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Engine.OnPrintOut = [this](TObject*, const std::string&, const std::string& Text) { Output += Text; };
  }
  TIEClipsParser& Parser() { return dynamic_cast<TIEClipsParser&>(Engine.GetParser()); }
  IInterpretedFunction Parse(const std::string& Text) {
    return StaticRefCast<TInterpretedFunction>(Parser().ParseFunction(Text));
  }
  std::string ErrorOf(const std::string& Text) {
    try {
      Engine.Parse(Text, true);
    } catch (const Exception& E) {
      return E.Message();
    }
    return "no error";
  }
  std::string Eval(const std::string& Text) {
    const IIEValue Value = Engine.ParseNExecuteFunCall(Text);
    return Value ? Value->GetToString() : "<none>";
  }

  TInferenceEngine Engine;
  std::string Output;
};

TEST_F(TDeffunctionTest, ParametersStatementsCommentAndArgumentCounts) {
  IInterpretedFunction Add = Parse("(deffunction add (?a ?b) (+ ?a ?b))");
  EXPECT_EQ(Add->GetFunctionName(), "add");
  EXPECT_EQ(Add->GetArgumentCount(), 2);
  EXPECT_EQ(Add->GetStatementCount(), 1);
  EXPECT_EQ(Add->GetStatement(0)->GetDType(), dtFunCall);
  EXPECT_EQ(Add->GetMinArgumentCount(), 2);
  EXPECT_EQ(Add->GetMaxArgumentCount(), 2);

  IInterpretedFunction Rest = Parse("(deffunction f \"header\" (?x $?rest) \"body comment\" ?x)");
  EXPECT_EQ(Rest->GetComment(), "body comment");
  EXPECT_EQ(Rest->GetArgument(1)->GetDType(), dtMultiVariable);
  EXPECT_EQ(Rest->GetStatement(0)->GetDType(), dtVariable);
  EXPECT_EQ(Rest->GetMinArgumentCount(), 2);  // the multifield parameter needs a value
  EXPECT_EQ(Rest->GetMaxArgumentCount(), 2147483647);

  IInterpretedFunction Two = Parse("(deffunction f () (printout t \"hi\" crlf) 1)");
  ASSERT_EQ(Two->GetStatementCount(), 2);
  EXPECT_EQ(Two->GetStatement(1)->GetAsInteger(), 1);
  EXPECT_EQ(Two->GetMaxArgumentCount(), 0);

  // Keywords of control functions are plain atom arguments of an ordinary call.
  IInterpretedFunction If =
      Parse("(deffunction g (?x) (if (> ?x 1) then (printout t \"big\") else (printout t \"small\")))");
  const IFunCall Call = If->GetStatement(0)->GetAsFunCall();
  ASSERT_EQ(Call->GetArgumentCount(), 5);
  EXPECT_TRUE(Call->GetArgument(1)->Equals(FCThen.get()));
  EXPECT_TRUE(Call->GetArgument(3)->Equals(FCElse.get()));

  ExpectError([&] { Add->AddArgument("x", dtString); },
              "Invalid argument type for deffunction: \"dtString\".  Expected Atom, Variable, MultiVariable");
  EXPECT_EQ(Add->GetArgumentCount(), 2);
}

TEST_F(TDeffunctionTest, ParseErrorsLeaveNothingRegistered) {
  EXPECT_EQ(ErrorOf("(deffunction f (a) 1)"),
            "Parsing Error, Expected \")\" in ParseFunction at line 1: ( deffunction f ( a ");
  EXPECT_EQ(ErrorOf("(deffunction f (?x) &)"),
            "Parsing Error, Unexpected character found: \"&\" in ParseFunction at line 1: "
            "( deffunction f ( ?x ) & ");
  EXPECT_EQ(ErrorOf("(deffunction f ?x 1)"),
            "Parsing Error, Expected \"(\" in ParseFunction at line 1: ( deffunction f ?x ");
  EXPECT_EQ(ErrorOf("(deffunction (?x) 1)"),
            "Parsing Error, Missing name in ParseFunction at line 1: ( deffunction ( ");
  EXPECT_EQ(
      ErrorOf("(deffunction f (?x) (+ ?x 1)"),
      "Parsing Error, Expected \")\" in ParseFunction at line 1: ( deffunction f ( ?x ) ( + ?x 1 ) EOF ");
  EXPECT_FALSE(Engine.ContainsUserFunction("f"));
}

TEST_F(TDeffunctionTest, CallsBindParametersInTheirOwnContext) {
  Engine.Parse(
      "(deffunction add (?a ?b) (+ ?a ?b))"
      "(deffunction g (?a ?b) ?b)"
      "(deffunction outer (?a) (g 1 ?a))"
      "(deffunction rest (?x $?r) ?r)"
      "(deffunction early (?x) (return (* ?x 2)) (printout t \"not reached\"))"
      "(deffunction empty ())"
      "(deffunction depth (?n) (if (> ?n 0) then (+ 1 (depth (- ?n 1))) else 0))"
      "(deffunction set-caller (?v) (bind ?outer ?v))",
      true);
  EXPECT_EQ(Eval("(add 1 2 (no-such-function))"), "3");  // the extra argument is never evaluated
  ExpectError([&] { Eval("(add 1)"); }, "Too few arguments for add");
  ExpectError([&] { Eval("(rest 1)"); }, "Too few arguments for rest");
  EXPECT_EQ(Eval("(rest 1 2 3)"), "2 3 ");
  // The second argument is read after the first parameter is bound: ?a is already 1.
  EXPECT_EQ(Eval("(outer 5)"), "1");
  EXPECT_EQ(Eval("(early 4)"), "8");
  EXPECT_EQ(Output, "");
  EXPECT_EQ(Eval("(empty)"), "");
  EXPECT_EQ(Eval("(depth 300)"), "300");  // each level has its own ?n
  // A return ends the function only; nothing is left pending at the top level.
  EXPECT_FALSE(Engine.GetContext()->GetReturn());
  // bind reaches a variable of the caller's context; a parameter name stays local.
  Engine.Parse("(bind ?outer 1)", true);
  Engine.Parse("(set-caller 7)", true);
  EXPECT_EQ(Engine.GetContext()->GetVariable("outer")->GetAsInteger(), 7);
  // Recursion that does not end is a clear error and the engine stays usable.
  Engine.Parse("(deffunction forever (?n) (forever ?n))", true);
  ExpectError([&] { Eval("(forever 1)"); }, "Maximum nesting depth of 2000 exceeded in forever");
  EXPECT_EQ(Eval("(add 2 3)"), "5");
}

TEST_F(TDeffunctionTest, PrintedFormsOfFunctions) {
  IInterpretedFunction F = Parse(
      "(deffunction f (?x $?rest) \"say \\\"it\\\"\" (printout t ?x crlf) (if (> ?x 1.5) then 2.25 else nil) "
      "?x)");
  EXPECT_EQ(F->GetToString(&Engine),
            "(deffunction f (?x $?rest)\r\n"
            "    \"say \\\"it\\\"\"\r\n"
            "    (printout t ?x crlf)\r\n"
            "    (if (> ?x 1.5000) then 2.2500 else nil)\r\n"
            "    ?x\r\n"
            ")\r\n");
  EXPECT_EQ(Parse("(deffunction e ())")->GetToString(&Engine), "(deffunction e ()\r\n)\r\n");
  // A built-in function prints a help block with the way it is called.
  const IUserFunction Halt = Engine.GetUserFunction("halt");
  ASSERT_TRUE(Halt);
  EXPECT_EQ(GetSyntaxStatement(*Halt), "(halt)");
  EXPECT_EQ(GetSyntaxStatement(*Engine.GetUserFunction("bind")), "(bind <variable> <expression>)");
  EXPECT_EQ(Halt->GetToString(&Engine).rfind(";; halt function\r\n     syntax: (halt)\r\n     Halts", 0), 0u)
      << Halt->GetToString(&Engine);
}

}  // namespace
