// The package's functions and their help, and the functions that drive the engine: run, halt, reset, clear,
// exit, watches, the value store, gensym*, version and do-backward-chaining.
#include <gtest/gtest.h>

#include "StdPkgTest.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class EngineControl : public TStdPkgTest {};

TEST(StandardPackage, ServesItsFunctionsByNameWithTheirHelp) {
  struct TRow {
    const char* Name;
    int32_t Min, Max;
    const char* Syntax;
  };
  constexpr int32_t Any = 2147483647;
  const TRow Rows[] = {
      {"and", 0, Any, " <expression>*"},
      {"assert", 0, Any, " <fact>*"},
      {"assert-string", 1, Any, " <string-expression>*"},
      {"batch", 1, 1, " <filename>"},
      {"bind", 2, 2, " <variable> <expression>"},
      {"clear", 0, 0, ""},
      {"clear-storage", 0, 0, ""},
      {"close", 0, Any, " [<logical-name>+]"},
      {"do-backward-chaining", 0, Any, " <fact-template-name>*"},
      {"dribble-on", 1, 1, " <filename>"},
      {"dribble-off", 0, 0, ""},
      {"duplicate", 2, Any, " <fact-index> (<slot-name> <expression>)*"},
      {"eq", 1, Any, " <expression> <expression>+"},
      {"eq*", 1, Any, " <expression> <expression>+"},
      {"=", 1, Any, " <numeric-expression> <numeric-expression>+"},
      {"exit", 0, 0, ""},
      {"__get-var", 1, 1, " <variable-name>"},
      {"fetch", 1, 1, " <lexeme-expression>"},
      {"foreach", 2, Any, " <variable-name> <list-expression> <expression>*"},
      {"format", 2, Any, " <logical-name> <string-expression> <expression>*"},
      {"gensym*", 0, 0, ""},
      {"get-fact-duplication", 0, 0, ""},
      {"get-slot-value", 1, 2, " <fact-id-expression>|<fact-expression> [<slot-name-expression> ]"},
      {">", 2, Any, " <numeric-expression> <numeric-expression>+"},
      {">=", 2, Any, " <numeric-expression> <numeric-expression>+"},
      {"halt", 0, 0, ""},
      {"if", 2, Any, " <predicate-expression> then <expression>+ [else <expression>+]"},
      {"load", 1, 1, " <filename>"},
      {"load-facts", 1, 1, " <filename>"},
      {"<", 2, Any, " <numeric-expression> <numeric-expression>+"},
      {"<=", 2, Any, " <numeric-expression> <numeric-expression>+"},
      {"member", 2, Any, " <to-find-expression> <expression>+"},
      {"modify", 1, Any, " <fact-index> (<slot-name> <expression>)+"},
      {"neq", 1, Any, " <expression> <expression>*"},
      {"<>", 1, Any, " <numeric-expression> <numeric-expression>*"},
      {"not", 1, 1, " <expression>"},
      {"open", 2, 3, " <filename> <logical-name> [a|r|w|r+]"},
      {"or", 0, Any, " <expression>*"},
      {"printout", 0, Any, " <logical-name> <expression>*"},
      {"read", 0, 1, " [<logical-name>]"},
      {"readline", 0, 1, " [<logical-name>]"},
      {"remove", 1, 1, " [<file-name>]"},
      {"rename", 2, 2, " [<old-file-name> <new-file-name>]"},
      {"reset", 0, 0, ""},
      {"retract", 1, Any, " *|<fact-index>*"},
      {"retract-string", 0, Any, " <fact-string>"},
      {"return", 1, 1, " <expression>"},
      {"run", 0, 1, " [<integer-expression>]"},
      {"save", 1, 1, " <filename>"},
      {"save-facts", 1, Any, " <file-name> [<fact-template-name>+]"},
      {"set-fact-duplication", 1, 1, " <boolean-expression>"},
      {"store", 2, 2, " <variable-name> <value>"},
      {"try", 1, Any, " [<expression>*] [finally [<expression>*>] [catch|except [<expression>*]]"},
      {"throw", 1, 1, " <lexeme-expression>"},
      {"unwatch", 1, 1, " all|rules|facts|activations|compilations|statistics"},
      {"version", 0, 0, ""},
      {"watch", 1, 1, " all|rules|facts|activations|compilations|statistics"},
      {"while", 2, Any, " <boolean-expression> [do] <expression>*"},
      {"create$", 0, Any, " <expression>*"},
      {"delete$", 3, 3, " <multifield-expression> <start-integer-expression> <end-integer-expression>"},
      {"explode$", 1, 1, " <string-expression> "},
      {"first$", 1, 1, " <multifield-expression> "},
      {"implode$", 1, 1, " <multifield-expression> "},
      {"insert$", 2, Any, " <multifield-expression> <integer-expression> <expression>*"},
      {"length$", 1, 1, " <multifield-expression> "},
      {"member$", 2, 2, " <expression> <multifield-expression>"},
      {"nth$", 2, 2, " <integer-expression> <multifield-expression>"},
      {"replace$", 3, Any,
       " <multifield-expression> <start-integer-expression> <end-integer-expression> <expression>*"},
      {"rest$", 1, 1, " <multifield-expression>"},
      {"subseq$", 3, 3, " <multifield-expression> <start-integer-expression> <end-integer-expression>"},
      {"subsetp", 2, 2, " <expression> <multifield-expression>"},
  };
  TInferenceEngine Engine;
  TStandardPackage* Package = nullptr;
  for (int I = 0; I < Engine.ComponentCount() && !Package; ++I)
    Package = dynamic_cast<TStandardPackage*>(Engine.GetComponent(I));
  ASSERT_NE(Package, nullptr);
  EXPECT_EQ(Package->GetFunctions().Count(), static_cast<int32_t>(std::size(Rows)));
  for (const TRow& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    const IUserFunction F = Engine.GetUserFunction(Row.Name);
    ASSERT_TRUE(F);
    EXPECT_EQ(Package->GetFunctions().Get(Package->IndexOf(Row.Name)).get(), F.get());
    EXPECT_EQ(F->GetMinArgumentCount(), Row.Min);
    EXPECT_EQ(F->GetMaxArgumentCount(), Row.Max);
    EXPECT_EQ(F->GetArgumentString(), Row.Syntax);
    EXPECT_FALSE(F->GetComment().empty());
    EXPECT_NE(GetClass(F->ClassName()), nullptr);  // an engine copy re-creates it by class name
    // Typed with one argument too few or too many, a call is refused before it runs.
    auto Typed = [&](int32_t Count) {
      std::string Text = std::string("(") + Row.Name;
      for (int32_t I = 0; I < Count; ++I) Text += " 0";
      Engine.ParseNExecuteFunCall(Text + ")");
    };
    if (Row.Min > 0)
      ExpectError([&] { Typed(Row.Min - 1); }, std::string("Too few arguments for ") + Row.Name);
    if (Row.Max < 100)
      ExpectError([&] { Typed(Row.Max + 1); }, std::string("Too many arguments for ") + Row.Name);
  }
  EXPECT_EQ(Engine.GetUserFunction("assert")->GetComment(),
            "Asserts or adds each fact argument to the fact list.  The fact index of the last fact added is "
            "returned");
  EXPECT_EQ(Engine.GetUserFunction("unwatch")->GetComment(),
            "Deletes the watches on the specified inference engine operations.  Watches are like events and "
            "force the inference engine to output (using OnPrintOut event) information as they occur\r\n"
            "     activations - watch rule activations and deletions\r\n"
            "     facts - watch fact assertions and retractions\r\n"
            "     rules - watch rule additions and removals\r\n"
            "     compilations - watch rule compilations\r\n"
            "     statistics - watch execution statistics\r\n");

  // The functions drive a TInferenceEngine: a context without one is refused.
  TIEContext Alone(nullptr, nullptr);
  IFunCall Reset = MakeRef<TFunctionCall>(nullptr, "reset");
  Reset->SetUserFunction(MakeRef<TResetFunction>());
  IIEValue Result;
  ExpectError([&] { Reset->Execute(&Alone, Result); }, "Unknown/Undefined Inference Engine");
}

TEST_F(EngineControl, RunHaltResetAndClear) {
  Template("item", {"n"});
  Rule("step", Lhs(Pattern("item", {{"n", Var("n")}})), {Call("log", {Var("n")})});
  Rule("stop", Lhs(Pattern("item", {{"n", Int(2)}})), {Action("(halt)")}, 5);
  for (int32_t N : {1, 3, 4}) Assert("item", {{"n", Int(N)}});
  // The limit comes from a variable; (run 0) and a negative limit fire nothing.
  Engine->GetContext()->AddLocalBinding("limit", Int(2));
  EXPECT_EQ(Show("(run 0)"), "0");
  EXPECT_EQ(Show("(run -1)"), "0");
  EXPECT_EQ(Show("(run ?limit)"), "2");
  EXPECT_EQ(Log, (Lines{"4", "3"}));
  // The halting rule goes first and is counted; the run stops after it.
  Assert("item", {{"n", Int(2)}});
  EXPECT_EQ(Show("(run)"), "1");
  EXPECT_EQ(Show("(run)"), "2");
  EXPECT_EQ(Log, (Lines{"4", "3", "2", "1"}));
  ExpectError([&] { Eval("(run 1 2)"); }, "Too many arguments for run");

  Eval("(store k 1)");
  EXPECT_EQ(Show("(reset)"), "TRUE");
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)"}));
  EXPECT_EQ(Show("(fetch k)"), "1");
  EXPECT_EQ(Show("(clear)"), "TRUE");
  EXPECT_TRUE(Facts().empty());
  EXPECT_EQ(Engine->GetRules().Count(), 0);
  EXPECT_TRUE(Engine->FindFactTemplate("Initial-Fact"));
  EXPECT_FALSE(Engine->FindFactTemplate("item"));
  // The value store goes with the rest; the built-in functions stay.
  EXPECT_EQ(Eval("(fetch k)").get(), FCNil.get());
  EXPECT_EQ(Show("(reset)"), "TRUE");
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)"}));
}

TEST_F(EngineControl, ExitEndsTheHostsWorkAndLeavesTheEngineUsable) {
  try {
    Eval("(exit)");
    ADD_FAILURE() << "exit returned";
  } catch (const EIEExit& E) {
    EXPECT_EQ(E.GetStatus(), 0);
  }
  ExpectError([&] { Eval("(exit 1)"); }, "Too many arguments for exit");
  // Text given to the engine stops at the exit, also when errors are collected.
  Engine->SetParserErrorHandling(ehRaiseAllAtEnd);
  EXPECT_THROW(Engine->Parse("(assert (a 1)) (exit) (assert (b 2))"), EIEExit);
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (a 1)"}));
  // In a rule it ends the run; the firing rule's activation is gone and the next run goes on.
  Template("job", {"n"});
  Rule("quit", Lhs(Pattern("job", {{"n", Int(1)}})), {Action("(exit)"), Call("log", {Atom("after")})}, 5);
  Rule("work", Lhs(Pattern("job", {{"n", Var("n")}})), {Call("log", {Var("n")})});
  Assert("job", {{"n", Int(1)}});
  EXPECT_THROW(Engine->Run(), EIEExit);
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Engine->Run(), 1);
  EXPECT_EQ(Log, (Lines{"1"}));
}

TEST_F(EngineControl, WatchAndUnwatchTakeExactKeywords) {
  EXPECT_EQ(Show("(watch facts)"), "TRUE");
  Eval("(assert (a 1))");
  EXPECT_EQ(Output, " ==> f-1 (a 1)\r\n");
  EXPECT_EQ(Show("(watch all)"), "TRUE");
  EXPECT_EQ(Engine->GetWatch(),
            (TConstructWatches{cwActivation, cwFact, cwRule, cwCompilation, cwStatistics}));
  EXPECT_EQ(Show("(unwatch compilations)"), "TRUE");
  EXPECT_EQ(Show("(unwatch statistics)"), "TRUE");
  ExpectError([&] { Eval("(watch Rules)"); }, "Cannot watch Rules");
  ExpectError([&] { Eval("(unwatch everything)"); }, "Cannot unwatch everything");
  EXPECT_EQ(Engine->GetWatch(), (TConstructWatches{cwActivation, cwFact, cwRule}));
  Template("x", {"v"});
  Rule("r", Lhs(Pattern("x", {{"v", Var("v")}})), {Action("(retract 2)")});
  Output.clear();
  Eval("(assert (x (v 1)))");
  EXPECT_EQ(Show("(run)"), "1");
  EXPECT_EQ(Output,
            " ==> f-2 (x (v 1))\r\n==> Activation: r : f-2\r\nFIRE 0 r f-2\r\n"
            "<== Activation: r : f-2\r\n <== f-2 (x (v 1))\r\n");
  EXPECT_EQ(Show("(unwatch all)"), "TRUE");
  EXPECT_TRUE(Engine->GetWatch().Empty());
}

TEST_F(EngineControl, ValueStoreSymbolsAndVersion) {
  EXPECT_EQ(Show("(store x (+ 2 3))"), "5");
  EXPECT_EQ(Show("(fetch \"x\")"), "5");
  EXPECT_EQ(Eval("(fetch y)").get(), FCNil.get());
  // Storing nil keeps no value: the result is empty and fetch answers nil.
  EXPECT_FALSE(Eval("(store x nil)"));
  EXPECT_EQ(Eval("(fetch x)").get(), FCNil.get());
  Eval("(store y 1)");
  EXPECT_FALSE(Eval("(clear-storage)"));
  EXPECT_EQ(Eval("(fetch y)").get(), FCNil.get());

  const std::string First = Show("(gensym*)");
  EXPECT_EQ(First.rfind("gen", 0), 0u);
  EXPECT_EQ(Show("(gensym*)"), "gen" + std::to_string(std::stoi(First.substr(3)) + 1));
  const IIEValue Version = Eval("(version)");
  ASSERT_EQ(Version->GetDType(), dtFloat);
  EXPECT_EQ(Version->GetAsFloat(), static_cast<double>(2.1f));
  EXPECT_EQ(Version->GetToString(), "2.1000");
}

TEST_F(EngineControl, BackwardChainingMakesGoalTemplates) {
  Template("order", {"id", "total"});
  EXPECT_EQ(Show("(do-backward-chaining order part)"), "TRUE");
  for (const char* Name : {"order", "part"}) {
    SCOPED_TRACE(Name);
    const IFactTemplate Template = Engine->FindFactTemplate(Name);
    ASSERT_TRUE(Template);
    EXPECT_TRUE(Template->IsBackwardChaining());
    const IFactTemplate Goal = Engine->FindFactTemplate(std::string("need-") + Name);
    ASSERT_TRUE(Goal);
    EXPECT_EQ(Goal->GetComment(), std::string("Goal seeker for ") + Name);
    EXPECT_EQ(Goal->GetSlotNames(), Template->GetSlotNames());
    EXPECT_FALSE(Goal->GetParent());
  }
  // Names before a refused one stay prepared.
  ExpectError([&] { Eval("(do-backward-chaining a not b)"); }, "Cannot backchain on special CEs: not");
  EXPECT_TRUE(Engine->FindFactTemplate("need-a"));
  EXPECT_FALSE(Engine->FindFactTemplate("b"));
  ExpectError([&] { Eval("(do-backward-chaining test)"); }, "Cannot backchain on special CEs: test");
}

}  // namespace
