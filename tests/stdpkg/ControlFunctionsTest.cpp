// The control structures, variables, truth values and comparisons: and, or, not, if, while, foreach, bind,
// __get-var, return, try, throw, eq, eq*, neq, =, <>, <, <=, >, >=, member.
#include <gtest/gtest.h>

#include <algorithm>

#include "StdPkgTest.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/packages/ControlFunctions.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class ControlFunctions : public TStdPkgTest {
 protected:
  TIEContext& Root() { return *Engine->GetContext(); }
  static IIEValue CallValue(const IFunCall& Call) { return MakeRef<TIEValue>(TRef<TFunCallBase>(Call)); }
  /// The value of a variable of the root context, as text.
  std::string Variable(const std::string& Name) { return Root().GetVariable(Name)->GetToString(); }
  /// The message of the error Text raises, also when it is not an engine error.
  std::string ErrorOf(const std::string& Text) {
    try {
      Eval(Text);
    } catch (const Exception& E) {
      return E.Message();
    }
    return "<no error>";
  }
};

// The help of the looping and error functions shows how to use them.
TEST_F(ControlFunctions, HelpTextsShowUse) {
  const auto Comment = [this](const char* Name) { return Engine->GetUserFunction(Name)->GetComment(); };
  EXPECT_NE(Comment("foreach").find("returns \"blue color\""), std::string::npos);
  EXPECT_NE(Comment("try").find("?__ERROR"), std::string::npos);
  EXPECT_EQ(
      Comment("while"),
      "Evaluates and executes the expressions in a loop as long as the boolean expression evaluates to "
      "TRUE.  The <boolean-expression> is evaluated BEFORE the start of the loop, including the first time");
}

TEST_F(ControlFunctions, OnlyTheAtomFalseIsFalseAndOnlyTheAtomTrueIsTrue) {
  EXPECT_EQ(Show("(and)"), "TRUE");
  EXPECT_EQ(Show("(or)"), "FALSE");
  EXPECT_EQ(Show("(and 0 nil \"FALSE\" false)"), "TRUE");
  EXPECT_EQ(Show("(and TRUE FALSE)"), "FALSE");
  EXPECT_EQ(Show("(or 1 yes \"TRUE\")"), "FALSE");
  EXPECT_EQ(Show("(or FALSE TRUE)"), "TRUE");
  EXPECT_EQ(Show("(not \"FALSE\")"), "FALSE");
  EXPECT_EQ(Show("(not FALSE)"), "TRUE");
  EXPECT_EQ(Show("(not nil)"), "FALSE");
  EXPECT_EQ(Show("(not (> 1 2))"), "TRUE");
  // Evaluation stops at the first decisive argument.
  EXPECT_EQ(Show("(and 1 FALSE (log and))"), "FALSE");
  EXPECT_EQ(Show("(or FALSE TRUE (log or))"), "TRUE");
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Show("(and (log a) (log b))"), "TRUE");
  EXPECT_EQ(Show("(or (log c) (log d))"), "TRUE");
  EXPECT_EQ(Log, (Lines{"a", "b", "c"}));
}

TEST_F(ControlFunctions, EqualityKindsAndNumericComparison) {
  EXPECT_EQ(Show("(eq 1 1.0)"), "FALSE");
  EXPECT_EQ(Show("(eq* 1 1.0)"), "TRUE");
  EXPECT_EQ(Show("(eq* 1 1.9)"), "TRUE");  // the float is read as the first value's kind: truncated
  EXPECT_EQ(Show("(eq* 1.5 \"1.5\")"), "TRUE");
  EXPECT_EQ(Show("(= 1 1.0)"), "TRUE");
  EXPECT_EQ(Show("(eq a \"a\")"), "FALSE");
  EXPECT_EQ(Show("(eq* a \"a\")"), "TRUE");
  EXPECT_EQ(Show("(eq a a a)"), "TRUE");
  EXPECT_EQ(Show("(eq a a b)"), "FALSE");
  EXPECT_EQ(Show("(neq a b c)"), "TRUE");
  EXPECT_EQ(Show("(neq a b a)"), "FALSE");
  // A single argument is equal to all (none) of the others.
  for (const char* Text : {"(eq x)", "(eq* x)", "(neq x)", "(= 1)", "(<> 1)"})
    EXPECT_EQ(Show(Text), "TRUE") << Text;

  EXPECT_EQ(Show("(> 3 2 1)"), "TRUE");
  EXPECT_EQ(Show("(> 3 1 2)"), "FALSE");
  EXPECT_EQ(Show("(> 2 2)"), "FALSE");
  EXPECT_EQ(Show("(>= 2 2 1.5)"), "TRUE");
  EXPECT_EQ(Show("(>= 2 2.5)"), "FALSE");
  EXPECT_EQ(Show("(< 1 2 3)"), "TRUE");
  EXPECT_EQ(Show("(< 1 1)"), "FALSE");
  EXPECT_EQ(Show("(<= 1 1 2)"), "TRUE");
  EXPECT_EQ(Show("(<= 2 1)"), "FALSE");
  EXPECT_EQ(Show("(<> 1 2 3)"), "TRUE");
  EXPECT_EQ(Show("(<> 1 2 1)"), "FALSE");
  EXPECT_EQ(Show("(<> 1 1.0)"), "FALSE");
  // Exact, without tolerance; texts that are numbers compare as numbers.
  EXPECT_EQ(Show("(= 0.1 0.10000000000000001)"), "TRUE");
  EXPECT_EQ(Show("(= 1 1.0000001)"), "FALSE");
  EXPECT_EQ(Show("(= \"2\" 3 two)"), "FALSE");
  EXPECT_EQ(Show("(= \"2\" 2.0 2)"), "TRUE");
  EXPECT_EQ(Show("(< \"1.5\" 2)"), "TRUE");
  EXPECT_EQ(Show("(> 2147483647 -2147483648)"), "TRUE");
  // Nested arithmetic hands its numbers over as the values would read: wrapped integers, floats.
  EXPECT_EQ(Show("(= (+ 2 2) (* 2 2) 4.0)"), "TRUE");
  EXPECT_EQ(Show("(< (+ 2147483647 1) 0 (/ 1 3))"), "TRUE");
  EXPECT_EQ(Show("(<> (mod 7 4) (div 7 2) 3.0)"), "FALSE");

  ExpectError([&] { Eval("(< a 1)"); }, "Not a numeric type.  Value (a) is a dtAtom type");
  ExpectError([&] { Eval("(= 1 1 \"x\")"); }, "Not a numeric type.  Value (\"x\") is a dtString type");
  ExpectError([&] { Eval("(eq* 1 x)"); }, "Not a integer type.  Value (x) is a dtAtom type");
  // Arguments after the decisive one are not evaluated, so they raise nothing.
  EXPECT_EQ(Show("(> 1 2 a)"), "FALSE");
  EXPECT_EQ(Show("(= 1 2 a)"), "FALSE");
  EXPECT_EQ(Show("(eq 1 2 (log no))"), "FALSE");
  EXPECT_TRUE(Log.empty());

  EXPECT_EQ(Show("(member b a b c b)"), "1");
  EXPECT_EQ(Eval("(member b a b c)")->GetDType(), dtInteger);
  EXPECT_EQ(Show("(member a a)"), "0");
  EXPECT_EQ(Show("(member z a b c)"), "FALSE");
  EXPECT_EQ(Show("(member 1 1.0 \"1\" 1)"), "2");  // kind and value
}

TEST_F(ControlFunctions, BindSetsTheNearestBindingOrAddsALocalOne) {
  EXPECT_EQ(Show("(bind ?x (+ 1 2))"), "3");
  EXPECT_EQ(Variable("x"), "3");
  EXPECT_EQ(Show("(bind $?m abc)"), "abc");
  EXPECT_EQ(Variable("m"), "abc");
  ExpectError([&] { Eval("(bind 3 4)"); }, "Invalid variable name: 3");
  ExpectError([&] { Eval("(bind x 4)"); }, "Invalid variable name: x");

  // In a child context: a name the parent binds is changed there; a new name stays in the child.
  std::unique_ptr<TIEContext> Child = Root().Push();
  IIEValue Result;
  Action("(bind ?x 10)")->Execute(Child.get(), Result);
  Action("(bind ?y 20)")->Execute(Child.get(), Result);
  EXPECT_EQ(Variable("x"), "10");
  EXPECT_FALSE(Root().FindBinding("y"));
  EXPECT_EQ(Child->GetVariable("y")->GetToString(), "20");
  // A child's own binding shadows the parent's and takes the assignment.
  Child->AddLocalBinding("x", Int(0));
  Action("(bind ?x 11)")->Execute(Child.get(), Result);
  EXPECT_EQ(Child->GetVariable("x")->GetToString(), "11");
  EXPECT_EQ(Variable("x"), "10");
  Child.reset();

  // Without a context there is nothing to bind in.
  IIEValue Ignored;
  ExpectError([&] { Action("(bind ?z 1)")->Execute(static_cast<TIEContext*>(nullptr), Ignored); },
              "No context found when trying to resolve a dtVariable value");
}

// Conditions and tests in patterns read a result the same way: an atom FALSE built at run time stops both,
// the string "FALSE", nil and 0 stop neither.
TEST_F(ControlFunctions, ConditionsAndPatternTestsAgreeOnWhatIsFalse) {
  Engine->Parse(
      "(deftemplate probe (slot n) (slot v))"
      "(deffunction same (?x) ?x)"
      "(defrule passes (probe (n ?n) (v ?v)) (test (same ?v)) => (log passes ?n))"
      "(defrule fails (probe (n ?n) (v ?v)) (test (not ?v)) => (log fails ?n))",
      true);
  Eval("(reset)");
  const std::vector<std::string> Texts = {"(sym-cat FAL SE)", "\"FALSE\"", "nil", "0"};
  const std::vector<IIEValue> Values = {Eval(Texts[0]), Str("FALSE"), FCNil, Int(0)};
  for (size_t I = 0; I < Texts.size(); ++I) {
    Log.push_back(Show("(if " + Texts[I] + " then yes else no)"));
    Assert("probe", {{"n", Int(static_cast<int32_t>(I))}, {"v", Values[I]}});
  }
  Engine->Run();
  std::sort(Log.begin() + 4, Log.end());
  EXPECT_EQ(Log, (Lines{"no", "yes", "yes", "yes", "fails 0", "passes 1", "passes 2", "passes 3"}));
}

TEST_F(ControlFunctions, GlobalsAreAssignedFromRulesAndResetRestoresThem) {
  Engine->Parse("(defglobal ?*limit* = 3 ?*seen* = 0)", true);
  Engine->Parse(
      "(deftemplate item (slot n))"
      "(defrule count (item (n ?n)) (test (> ?n ?*limit*)) =>"
      "  (bind ?*seen* (+ ?*seen* 1)) (bind ?local ?n) (log ?*seen* ?local))",
      true);
  Eval("(reset)");
  for (int32_t N : {2, 4, 5}) Assert("item", {{"n", Int(N)}});
  EXPECT_EQ(Show("(run)"), "2");
  EXPECT_EQ(Log, (Lines{"1 5", "2 4"}));
  EXPECT_EQ(Variable("*seen*"), "2");
  // A variable bound in an action lives in the firing's context only.
  EXPECT_FALSE(Root().FindBinding("local"));
  EXPECT_EQ(Show("(bind ?*limit* 4)"), "4");
  Eval("(reset)");
  EXPECT_EQ(Variable("*seen*"), "0");
  EXPECT_EQ(Variable("*limit*"), "3");
}

TEST_F(ControlFunctions, GetVarReadsVariablesAndNamedBindings) {
  Eval("(bind ?color red)");
  EXPECT_EQ(Show("(__get-var ?color)"), "red");
  EXPECT_EQ(Show("(__get-var color)"), "red");
  EXPECT_EQ(Show("(__get-var \"color\")"), "red");
  Eval("(bind ?name color)");
  EXPECT_EQ(Show("(__get-var (__get-var name))"), "red");
  EXPECT_EQ(Eval("(__get-var nothing)").get(), FCNil.get());
  ExpectError([&] { Eval("(__get-var ?nothing)"); }, "Corrupted Binding, variable not found: nothing");
  // Inside a rule's actions the rule's name is a binding like any other.
  Engine->Parse("(defrule who (go) => (log (__get-var __RULE)) (log (__get-var ?__RULE)))", true);
  Eval("(assert (go))");
  Engine->Run();
  EXPECT_EQ(Log, (Lines{"\"who\"", "\"who\""}));
}

TEST_F(ControlFunctions, IfTakesOneBranch) {
  EXPECT_EQ(Show("(if FALSE then 1)"), "FALSE");
  EXPECT_EQ(Show("(if TRUE then 1 2 else 3)"), "2");
  EXPECT_EQ(Show("(if FALSE then 1 else 3 4)"), "4");
  EXPECT_EQ(Show("(if 0 then yes else no)"), "yes");
  EXPECT_EQ(Show("(if \"FALSE\" then yes else no)"), "yes");
  EXPECT_EQ(Show("(if TRUE then)"), "FALSE");
  EXPECT_EQ(Show("(if FALSE then 1 else)"), "FALSE");
  // The then-branch holds at least one expression: an else right after then belongs to it, and ends it.
  EXPECT_EQ(Show("(if TRUE then else 5)"), "FALSE");
  EXPECT_EQ(Show("(if FALSE then else 5)"), "FALSE");
  // The branch not taken is not evaluated.
  EXPECT_EQ(Show("(if (> 2 1) then (bind ?b then-ran) else (log else))"), "then-ran");
  EXPECT_EQ(Show("(if (< 2 1) then (log then) else (bind ?b else-ran))"), "else-ran");
  EXPECT_TRUE(Log.empty());

  ExpectError([&] { Eval("(if TRUE 1)"); }, "Syntax Error: Missing \"then\" in an IF statement");
  ExpectError([&] { Eval("(if TRUE \"then\" 1)"); }, "Syntax Error: Missing \"then\" in an IF statement");
  // The keyword is checked before the condition is evaluated.
  ExpectError([&] { Eval("(if (log cond) else 1)"); }, "Syntax Error: Missing \"then\" in an IF statement");
  EXPECT_TRUE(Log.empty());
  // Errors in a branch pass through unchanged.
  ExpectError([&] { Eval("(if TRUE then (< x 1))"); }, "Not a numeric type.  Value (x) is a dtAtom type");
}

TEST_F(ControlFunctions, WhileLoopsUntilTheConditionIsFalse) {
  Eval("(bind ?i 0)");
  EXPECT_EQ(Show("(while (< ?i 3) do (bind ?i (+ ?i 1)))"), "FALSE");
  EXPECT_EQ(Variable("i"), "3");
  EXPECT_EQ(Show("(while (< ?i 6) (bind ?i (+ ?i 1)) (log ?i))"), "FALSE");
  EXPECT_EQ(Log, (Lines{"4", "5", "6"}));
  // A false condition at the start runs nothing; do alone is an empty body.
  EXPECT_EQ(Show("(while FALSE (log never))"), "FALSE");
  EXPECT_EQ(Show("(while (< ?i 6) do)"), "FALSE");
  EXPECT_EQ(Log.size(), 3u);
  // Only the atom FALSE ends it: nil and 0 keep it going until the return.
  Eval("(bind ?i 0)");
  EXPECT_EQ(Show("(while nil (bind ?i (+ ?i 1)) (if (>= ?i 100) then (return ?i)))")[0], '?');
  EXPECT_EQ(Variable("i"), "100");
  Root().ClearReturnValue();
  ExpectError([&] { Eval("(while (< ?i 200) (bind ?i (+ ?i 1)) (throw stop))"); }, "stop");
  EXPECT_EQ(Variable("i"), "101");
}

TEST_F(ControlFunctions, ReturnLeavesEveryEnclosingConstruct) {
  // The returned expression is kept as written and marked pending in the context; whoever owns the context
  // evaluates or drops it.
  Eval("(bind ?i 0)");
  const IIEValue Returned =
      Eval("(while TRUE (bind ?i (+ ?i 1)) (if (> ?i 2) then (return ?i) (log after-return)) (log ?i))");
  ASSERT_TRUE(Returned);
  EXPECT_EQ(Returned->GetDType(), dtVariable);
  EXPECT_EQ(Returned->Text(), "i");
  EXPECT_TRUE(Root().GetReturn());
  EXPECT_EQ(Root().GetReturnValue().get(), Returned.get());
  EXPECT_EQ(Log, (Lines{"1", "2"}));
  EXPECT_EQ(Variable("i"), "3");
  Root().ClearReturnValue();
  EXPECT_EQ(Show("(return 5)"), "5");
  Root().ClearReturnValue();
  // A return typed at the top level ends its own expression only: the next one runs in full.
  Engine->Parse("(return 1) (bind ?k 0) (while (< ?k 3) (bind ?k (+ ?k 1)))", true);
  EXPECT_EQ(Variable("k"), "3");
  EXPECT_FALSE(Root().GetReturn());

  // In a rule, return ends the rule's actions (also from inside a loop inside a branch); other rules fire.
  Engine->Parse(
      "(deftemplate job (slot n))"
      "(defrule stop-early (job (n ?n)) =>"
      "  (log start ?n)"
      "  (bind ?c 0)"
      "  (while TRUE (bind ?c (+ ?c 1)) (if (>= ?c ?n) then (return ?c)))"
      "  (log not-reached))"
      "(defrule other (job (n ?n)) => (log other ?n))",
      true);
  Assert("job", {{"n", Int(2)}});
  Log.clear();
  EXPECT_EQ(Engine->Run(), 2);
  EXPECT_EQ(Log, (Lines{"other 2", "start 2"}));
  EXPECT_FALSE(Root().GetReturn());
}

TEST_F(ControlFunctions, ForEachWalksAMultifield) {
  Root().AddLocalBinding("colors", List({Atom("red"), Atom("green"), Atom("blue")}));
  Root().AddLocalBinding("none", List({}));
  EXPECT_EQ(Show("(foreach c ?colors (log ?c) (bind ?last ?c))"), "blue");
  EXPECT_EQ(Log, (Lines{"red", "green", "blue"}));
  EXPECT_EQ(Variable("c"), "blue");  // the loop variable keeps its last value
  EXPECT_EQ(Eval("(foreach c ?none (log ?c))").get(), FCNil.get());
  EXPECT_EQ(Eval("(foreach c ?colors)").get(), FCNil.get());
  EXPECT_EQ(Log.size(), 3u);
  // The name comes from the first argument's value.
  Eval("(bind ?name shade)");
  EXPECT_EQ(Show("(foreach ?name ?colors ?shade)"), "blue");
  // Elements are resolved before they are assigned.
  Eval("(bind ?x 7)");
  Root().AddLocalBinding("refs", List({Var("x"), Int(8)}));
  EXPECT_EQ(Show("(foreach r ?refs (+ ?r 1))"), "9");
  // A return stops the walk.
  Log.clear();
  EXPECT_EQ(Show("(foreach c ?colors (if (eq ?c green) then (return found)) (log ?c))"), "found");
  EXPECT_EQ(Log, (Lines{"red"}));
  Root().ClearReturnValue();

  ExpectError([&] { Eval("(foreach c 3 (log ?c))"); }, "Not a list type.  Value (3) is a dtInteger type");
  ExpectError([&] { Eval("(foreach c ?colors (throw (str-cat bad- ?c)))"); }, "bad-red");
}

TEST_F(ControlFunctions, TryCatchesErrorsButNotExit) {
  EXPECT_EQ(Show("(try (throw boom) catch ?__ERROR)"), "\"boom\"");
  EXPECT_EQ(Eval("(try (throw boom) catch ?__ERROR)")->GetDType(), dtString);
  EXPECT_EQ(Show("(try (throw boom) except (log caught ?__ERROR) 9)"), "9");
  EXPECT_EQ(Show("(try (throw boom) finally (log done))"), "FALSE");
  EXPECT_EQ(Show("(try (< a 1) catch)"), "FALSE");
  EXPECT_EQ(Variable("__ERROR"), "\"Not a numeric type.  Value (a) is a dtAtom type\"");
  EXPECT_EQ(Log, (Lines{"caught \"boom\"", "done"}));
  // Without an error: the last value of the last part that ran.
  EXPECT_EQ(Show("(try 1 2 catch 3)"), "2");
  EXPECT_EQ(Show("(try 1 2 finally 3 catch 4)"), "3");
  EXPECT_EQ(Show("(try 1 2 finally)"), "2");
  // The order of the parts; an error in the protected part skips its rest.
  Log.clear();
  EXPECT_EQ(Show("(try (log p) (throw e) (log skipped) finally (log f) catch (log c) ?__ERROR)"), "\"e\"");
  EXPECT_EQ(Log, (Lines{"p", "f", "c"}));
  // catch is looked for after finally only.
  EXPECT_EQ(Show("(try (throw x) catch 2 finally 3)"), "FALSE");
  // An error in the finally part is caught too; an error in the catch part passes on.
  EXPECT_EQ(Show("(try 1 finally (throw late) catch ?__ERROR)"), "\"late\"");
  EXPECT_EQ(ErrorOf("(try (throw a) catch (throw b))"), "b");
  // Nesting: an inner try without a catch part swallows its error; an error raised by an inner catch part
  // reaches the outer one.
  Log.clear();
  EXPECT_EQ(Show("(try (try (throw inner) finally (log inner-finally)) (log after-inner) catch (log outer))"),
            "TRUE");
  EXPECT_EQ(Log, (Lines{"inner-finally", "after-inner"}));
  EXPECT_EQ(Show("(try (try (throw a) catch (throw (str-cat ?__ERROR b))) catch ?__ERROR)"), "\"ab\"");

  // Missing both keywords: refused before anything runs.
  Log.clear();
  ExpectError([&] { Eval("(try (log x) 2)"); }, "Missing catch or finally statement for try block");
  EXPECT_TRUE(Log.empty());

  // Exit passes through unchanged, after the finally part.
  EXPECT_THROW(Eval("(try (exit) catch 1)"), EIEExit);
  EXPECT_THROW(Eval("(try 1 finally (exit) catch 2)"), EIEExit);
  EXPECT_THROW(Eval("(try (exit) finally (log fin))"), EIEExit);
  EXPECT_EQ(Log, (Lines{"fin"}));
  EXPECT_EQ(Show("(try (throw still) catch usable)"), "usable");
}

TEST_F(ControlFunctions, NestingBeyondTheCallLimitIsAnErrorATryCanCatch) {
  // Built through the C++ interface, past what the parser reads: the innermost try that may still run
  // catches the nesting error, and every try around it answers that message.
  IFunCall Deep = Call("throw", {Atom("deep")});
  for (int I = 0; I < 2100; ++I) Deep = Call("try", {CallValue(Deep), FCCatch, Var("__ERROR")});
  IIEValue Result;
  Deep->Execute(&Root(), Result);
  EXPECT_EQ(Result->GetToString(), "\"Maximum nesting depth of 2000 exceeded in try\"");
  // The same depth of branches is refused outright, and the engine goes on.
  IFunCall Branches = Call("throw", {Atom("deep")});
  for (int I = 0; I < 2100; ++I) Branches = Call("if", {FCTrue, FCThen, CallValue(Branches)});
  ExpectError([&] { Branches->Execute(&Root(), Result); }, "Maximum nesting depth of 2000 exceeded in if");
  EXPECT_EQ(Show("(if TRUE then ok)"), "ok");
}

TEST_F(ControlFunctions, ThrowRaisesAPlainErrorAndReturnStopsTryParts) {
  try {
    Eval("(throw \"two words\")");
    ADD_FAILURE() << "throw returned";
  } catch (const EIEException&) {
    ADD_FAILURE() << "throw raised an engine error";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "two words");
  }
  EXPECT_EQ(ErrorOf("(throw 42)"), "42");
  // A pending return stops every statement run after its first statement, the finally part's included.
  Log.clear();
  EXPECT_EQ(Show("(while TRUE (try (return 7) (log no) finally (log f) (log g)))"), "7");
  EXPECT_EQ(Log, (Lines{"f"}));
  Root().ClearReturnValue();
}

TEST_F(ControlFunctions, PatternTestsAndConstraintsUseTheComparisons) {
  Engine->Parse(
      "(deftemplate reading (slot sensor) (slot value))"
      "(defrule high (reading (sensor ?s&~off) (value ?v)) (test (and (> ?v 3) (<= ?v 10))) =>"
      "  (log high ?s ?v))"
      "(defrule same (reading (sensor ?s) (value ?v)) (reading (sensor ?t&:(neq ?s ?t)) (value ?w&:(= ?v "
      "?w)))"
      "  => (log same ?s ?t))",
      true);
  Eval("(reset)");
  Eval(
      "(assert (reading (sensor a) (value 5)) (reading (sensor off) (value 6)) (reading (sensor b) (value "
      "11))"
      " (reading (sensor c) (value 5.0)))");
  Engine->Run();
  std::sort(Log.begin(), Log.end());
  EXPECT_EQ(Log, (Lines{"high a 5", "high c 5.0000", "same a c", "same c a"}));
}

}  // namespace
