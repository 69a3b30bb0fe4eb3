// The limits a host sets for rules it does not trust: the most facts, the most firings per run, the longest
// text and multifield a function may build, and which files the file functions may touch. Each limit is a
// clear error at its boundary, and the engine goes on working after it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "StdPkgTest.h"
#include "rulecraft/packages/IOFunctions.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class Limits : public TStdPkgTest {
 protected:
  void SetUp() override {
    TStdPkgTest::SetUp();
    // The engine fixture's own remove (a retraction) stands in for the package's file function.
    Engine->GetUserFunctionTable().Remove("remove");
    Engine->AddUserFunction(MakeRef<TRemoveFunction>());
  }
};

TEST_F(Limits, TheFactBaseHoldsAtMostTheLimit) {
  Engine->Parse("(deftemplate n (slot v))(reset)", true);
  Engine->SetMaxFacts(3);
  EXPECT_EQ(Engine->GetMaxFacts(), 3);
  Eval("(assert (n (v 1)))");
  Eval("(assert (n (v 2)))");
  const std::string Full = "Cannot assert a fact: the fact base holds the most facts allowed (3)";
  ExpectError([&] { Eval("(assert (n (v 3)))"); }, Full);
  EXPECT_EQ(Engine->GetFacts().Count(), 3);
  EXPECT_EQ(Engine->GetNextFactId(), 3);  // the refused fact took no identifier
  // A duplicate refused is no error; a modify retracts before it asserts, so it fits; a fact retracted
  // makes room for one more.
  Engine->SetFactDuplication(false);
  EXPECT_EQ(Show("(assert (n (v 2)))"), "FALSE");
  Engine->Parse("(defrule bump ?f <- (n (v 2)) => (modify ?f (v 20)))", true);
  EXPECT_EQ(Engine->Run(), 1);
  Eval("(retract 1)");
  Eval("(assert (n (v 3)))");
  EXPECT_NE(Engine->GetFacts().GetToString().find("(n (v 3))"), std::string::npos);

  // A rule asserting without end stops at the limit; the engine then runs on once the host raises it.
  Engine->Parse("(defrule grow (n (v ?x&:(< ?x 10))) => (assert (n (v (+ ?x 100)))))", true);
  ExpectError([&] { Engine->Run(); }, Full);
  EXPECT_EQ(Engine->GetCurrentActivation(), nullptr);
  Engine->SetMaxFacts(0);
  Eval("(assert (n (v 4)))");
  EXPECT_EQ(Engine->Run(), 1);
  Engine->Parse("(reset)", true);
  EXPECT_EQ(Engine->GetFacts().Count(), 1);
}

TEST_F(Limits, ARunFiresAtMostTheLimit) {
  Engine->Parse("(defrule count ?f <- (n ?x) => (retract ?f) (assert (n (+ ?x 1))))(reset)(assert (n 0))",
                true);
  Engine->SetMaxFirings(10);
  ExpectError([&] { Engine->Run(); }, "Run stopped after 10 rule firings, the most allowed per run");
  EXPECT_EQ(Engine->GetRulesFired(), 10);
  EXPECT_EQ(Engine->GetAgendaCount(), 1);  // what is left waits for the next run
  // The caller's own smaller limit is no error, nor a run whose rules end exactly at the limit.
  EXPECT_EQ(Engine->Run(4), 4);
  Engine->Parse("(defrule stop (declare (salience 10)) (n 24) => (halt))", true);
  ExpectError([&] { Engine->Run(); }, "Run stopped after 10 rule firings, the most allowed per run");
  EXPECT_EQ(Engine->Run(), 1);  // (n 24): stop fires and halts
  EXPECT_TRUE(Engine->GetHalted());
  Engine->Parse("(undefrule stop)(undefrule count)(defrule once (n ?x) =>)(reset)", true);
  for (int I = 0; I < 10; ++I) Eval("(assert (n " + std::to_string(I) + "))");
  EXPECT_EQ(Engine->Run(), 10);
  Engine->SetMaxFirings(0);
  Engine->Parse(
      "(undefrule once)(defrule count ?f <- (n ?x&:(< ?x 500)) => (retract ?f) (assert (n (+ ?x 1))))"
      "(reset)(assert (n 0))",
      true);
  EXPECT_EQ(Engine->Run(), 500);
}

TEST_F(Limits, FunctionsBuildTextsAndMultifieldsUpToTheLimit) {
  Engine->SetMaxStringLength(10);
  Engine->SetMaxMultifieldLength(3);
  EXPECT_EQ(Show("(str-cat \"abcde\" \"fghij\")"), "\"abcdefghij\"");
  ExpectError([&] { Eval("(str-cat \"abcde\" \"fghij\" k)"); },
              "str-cat built a text of 11 characters; at most 10 are allowed");
  ExpectError([&] { Eval("(sym-cat abcdefghijkl)"); },
              "sym-cat built a text of 12 characters; at most 10 are allowed");
  EXPECT_EQ(Show("(length$ (create$ 1 2 3))"), "3");
  ExpectError([&] { Eval("(create$ 1 2 3 4)"); },
              "create$ built a multifield of 4 fields; at most 3 are allowed");
  ExpectError([&] { Eval("(explode$ \"a b c d\")"); },
              "explode$ built a multifield of 4 fields; at most 3 are allowed");
  // format builds its text before it writes it: nothing is written past the limit.
  Output.clear();
  Eval("(format t \"%10s\" x)");
  ExpectError([&] { Eval("(format t \"%11s\" x)"); },
              "format built a text of 11 characters; at most 10 are allowed");
  EXPECT_EQ(Output, "         x");
  // A loop doubling a text stops at the first result past the limit, and the engine goes on.
  Engine->Parse("(deffunction double (?s) (while TRUE do (bind ?s (str-cat ?s ?s))))", true);
  ExpectError([&] { Eval("(double \"ab\")"); },
              "str-cat built a text of 16 characters; at most 10 are allowed");
  EXPECT_EQ(Engine->GetEvaluationState().CallDepth, 0);
  EXPECT_EQ(Show("(str-length (str-cat abc def))"), "6");
  Engine->SetMaxStringLength(0);
  Engine->SetMaxMultifieldLength(0);
  EXPECT_EQ(Show("(length$ (create$ 1 2 3 4 5))"), "5");
  EXPECT_EQ(Show("(str-length (str-cat \"abcde\" \"fghij\" k))"), "11");
}

TEST_F(Limits, FileFunctionsAreRefusedWhenFilesAreSwitchedOff) {
  WriteFile("in.clp", "(assert (loaded))\n");
  Engine->SetFileAccess(faNone);
  for (const std::string& Call :
       {"(open " + Quoted("in.clp") + " in)", "(load " + Quoted("in.clp") + ")",
        "(batch " + Quoted("in.clp") + ")", "(load-facts " + Quoted("in.clp") + ")",
        "(save " + Quoted("out.clp") + ")", "(save-facts " + Quoted("out.clp") + ")",
        "(dribble-on " + Quoted("out.clp") + ")", "(remove " + Quoted("in.clp") + ")",
        "(rename " + Quoted("in.clp") + " " + Quoted("out.clp") + ")"}) {
    const std::string Function = Call.substr(1, Call.find(' ') - 1);
    const std::string Name =
        Function == "rename" || Call.find("in.clp") != std::string::npos ? "in.clp" : "out.clp";
    ExpectError([&] { Eval(Call); }, Function + ": file access is switched off (" + Path(Name) + ")");
  }
  EXPECT_TRUE(std::filesystem::exists(Dir / "in.clp"));
  EXPECT_FALSE(std::filesystem::exists(Dir / "out.clp"));
  EXPECT_EQ(Engine->GetFacts().GetToString().find("loaded"), std::string::npos);
  // Confined without a directory to be confined to, nothing is allowed either.
  Engine->SetFileAccess(faConfined);
  ExpectError([&] { Eval("(load " + Quoted("in.clp") + ")"); },
              "load: file access is switched off (" + Path("in.clp") + ")");
  Engine->SetFileAccess(faAll);
  EXPECT_EQ(Show("(load " + Quoted("in.clp") + ")"), "TRUE");
}

TEST_F(Limits, ASandboxConfinesTheFileFunctionsToItsDirectory) {
  namespace fs = std::filesystem;
  fs::create_directories(Dir / "box" / "sub");
  WriteFile("outside.txt", "secret\n");
  const std::string Box = fs::canonical(Dir / "box").string();
  ExpectError([&] { Engine->SetSandbox(Path("missing")); }, "Not a directory: " + Path("missing"));
  ExpectError([&] { Engine->SetSandbox(Path("outside.txt")); }, "Not a directory: " + Path("outside.txt"));
  EXPECT_EQ(Engine->GetFileAccess(), faAll);
  Engine->SetSandbox(Path("box/sub/.."));
  EXPECT_EQ(Engine->GetFileAccess(), faConfined);
  EXPECT_EQ(Engine->GetSandbox(), Box);

  // Relative names are taken inside the directory, absolute ones may name a file in it.
  EXPECT_EQ(Show("(open \"notes.txt\" out \"w\")"), "out");
  Eval("(printout out \"kept\" crlf)");
  Eval("(close out)");
  EXPECT_EQ(ReadFile("box/notes.txt"), "kept\r\n");
  EXPECT_EQ(Show("(open \"" + Box + "/notes.txt\" in)"), "in");
  EXPECT_EQ(Show("(readline in)"), "\"kept\"");
  Eval("(close in)");
  EXPECT_EQ(Show("(save-facts \"sub/facts.clp\")"), "TRUE");
  EXPECT_EQ(Show("(rename \"sub/facts.clp\" \"facts.clp\")"), "TRUE");
  EXPECT_EQ(Show("(load-facts \"./facts.clp\")"), "TRUE");
  EXPECT_EQ(Show("(remove \"facts.clp\")"), "TRUE");

  // "..", absolute names outside, links leading out (or nowhere) and the directory itself are refused.
  fs::create_symlink(Dir / "outside.txt", Dir / "box" / "leak.txt");
  fs::create_symlink(Dir, Dir / "box" / "up");
  fs::create_symlink(Dir / "nowhere.txt", Dir / "box" / "dangling.txt");
  fs::create_symlink(Dir / "box" / "notes.txt", Dir / "box" / "alias.txt");
  const std::string Outside = " lies outside the directory " + Box;
  for (const std::string& Name : {std::string("../outside.txt"), std::string("sub/../../outside.txt"),
                                  Path("outside.txt"), std::string("leak.txt"), std::string("up/outside.txt"),
                                  std::string("dangling.txt"), Box, std::string("."), std::string("")}) {
    ExpectError([&] { Eval("(open \"" + Name + "\" in)"); }, "open: " + Name + Outside);
    ExpectError([&] { Eval("(open \"" + Name + "\" out \"w\")"); }, "open: " + Name + Outside);
  }
  ExpectError([&] { Eval("(rename \"notes.txt\" \"../stolen.txt\")"); }, "rename: ../stolen.txt" + Outside);
  ExpectError([&] { Eval("(remove \"leak.txt\")"); }, "remove: leak.txt" + Outside);
  ExpectError([&] { Eval("(dribble-on \"dangling.txt\")"); }, "dribble-on: dangling.txt" + Outside);
  ExpectError([&] { Eval("(save \"up/system.clp\")"); }, "save: up/system.clp" + Outside);
  ExpectError([&] { Eval("(batch \"../outside.txt\")"); }, "batch: ../outside.txt" + Outside);
  ExpectError([&] { Eval("(load \"leak.txt\")"); }, "load: leak.txt" + Outside);
  EXPECT_FALSE(fs::exists(Dir / "nowhere.txt"));
  EXPECT_FALSE(fs::exists(Dir / "stolen.txt"));
  EXPECT_EQ(ReadFile("outside.txt"), "secret\n");
  // A link that stays inside is followed; removing it removes the link, not the file it leads to.
  EXPECT_EQ(Show("(open \"alias.txt\" in)"), "in");
  EXPECT_EQ(Show("(readline in)"), "\"kept\"");
  EXPECT_EQ(Show("(remove \"alias.txt\")"), "TRUE");
  EXPECT_TRUE(fs::exists(Dir / "box" / "notes.txt"));
}

}  // namespace
