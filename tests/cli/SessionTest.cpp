// A session of the rulecraft program driven through streams. The texts it evaluates go to a small stand-in
// evaluator that records them and acts on their lines through the engine: "out X" prints X and a line break
// on the terminal, "say X" prints X on another output, "err X" raises an engine error, "exit N" asks to exit,
// "read" reads a line through the engine and prints it, "watch" tells whether facts are watched.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Cli.h"
#include "rulecraft/core/IEException.h"

using namespace rulecraft;
using namespace rulecraft::cli;

namespace {

class SessionTest : public testing::Test {
 protected:
  void SetUp() override {
    Dir = std::filesystem::temp_directory_path() / ("rulecraft_cli_" + std::to_string(getpid()));
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override { std::filesystem::remove_all(Dir); }

  TCliSession& Start(const std::string& Input) {
    In.clear();
    In.str(Input);
    Session = std::make_unique<TCliSession>(In, Out, Err);
    Session->Evaluate = [this](const std::string& Text) { Act(Text); };
    return *Session;
  }

  std::string File(const std::string& Name, const std::string& Text) {
    std::ofstream(Dir / Name, std::ios::binary) << Text;
    return (Dir / Name).string();
  }

  void Act(const std::string& Text) {
    Texts.push_back(Text);
    TInferenceEngine& Engine = Session->GetEngine();
    std::istringstream Lines(Text);
    for (std::string Line; std::getline(Lines, Line);) {
      if (!Line.empty() && Line.back() == '\r') Line.pop_back();
      if (Line.starts_with("out ")) Engine.PrintOut(Line.substr(4) + "\r\n");
      if (Line.starts_with("say ")) Engine.PrintOut("wdialog", Line.substr(4));
      if (Line.starts_with("err ")) throw EIEException(Line.substr(4) + "\r\nsecond line\r\n");
      if (Line.starts_with("exit ")) throw EIEExit(std::stoi(Line.substr(5)));
      if (Line == "watch") Engine.PrintOut(Engine.GetWatch().Contains(cwFact) ? "watching\r\n" : "blind\r\n");
      if (Line == "read") {
        std::string Answer = "unset";
        Engine.OnReadLine(&Engine, "t", Answer);
        Engine.PrintOut("read [" + Answer + "]\r\n");
      }
    }
  }

  std::filesystem::path Dir;
  std::istringstream In;
  std::ostringstream Out, Err;
  std::unique_ptr<TCliSession> Session;
  std::vector<std::string> Texts;
};

}  // namespace

TEST_F(SessionTest, FilesThenTextsInOrder) {
  TCliOptions Options;
  Options.Files = {File("a.clp", "watch\r\nout A\r\n"), "-", File("b.clp", "say B")};
  Options.Evals = {"out E1", "out E2"};
  Options.Watches = {cwFact};
  EXPECT_EQ(Start("out S\n(\n").Run(Options), 0);
  EXPECT_EQ(Texts,
            (std::vector<std::string>{"watch\r\nout A\r\n", "out S\n(\n", "say B", "out E1", "out E2"}));
  EXPECT_EQ(Out.str(), "watching\nA\nS\nBE1\nE2\n");
  EXPECT_EQ(Err.str(), "");
}

TEST_F(SessionTest, AnErrorEndsTheLoadAndKeepsTheOutput) {
  TCliOptions Options;
  Options.Files = {File("a.clp", "out A\nsay half"), File("bad.clp", "err Boom"), File("c.clp", "out C")};
  Options.Evals = {"out E"};
  Options.Interactive = true;
  EXPECT_EQ(Start("out never\n").Run(Options), 1);
  EXPECT_EQ(Texts.size(), 2u);
  EXPECT_EQ(Out.str(), "A\nhalf");
  EXPECT_EQ(Err.str(), "Boom\nsecond line\n");

  const std::string Missing = (Dir / "missing.clp").string();
  Options = TCliOptions{};
  Options.Files = {Missing, Dir.string()};
  EXPECT_EQ(Start("").Run(Options), 1);
  Options.Files = {Dir.string()};
  EXPECT_EQ(Start("").Run(Options), 1);
  EXPECT_EQ(Err.str(), "Boom\nsecond line\nCannot open file " + Missing +
                           ": No such file or directory\nCannot read file " + Dir.string() +
                           ": Is a directory\n");
}

TEST_F(SessionTest, ExitEndsTheLoadWithItsStatus) {
  TCliOptions Options;
  Options.Files = {File("a.clp", "out A\nexit 3\nout B"), File("b.clp", "out C")};
  Options.Interactive = true;
  EXPECT_EQ(Start("out never\n").Run(Options), 3);
  EXPECT_EQ(Out.str(), "A\n");
  EXPECT_EQ(Err.str(), "");
  EXPECT_EQ(Texts.size(), 1u);
}

TEST_F(SessionTest, LoopCollectsInputsUntilTheyBalance) {
  // Blank and comment lines are skipped; CR LF input loses its CR; errors are reported and the loop goes on.
  Start("\n  ; (\r\n(out a\r\n  \"b)\n c\") ; )\nout d\nerr Bad\nout e (\n)\n) out f\nexit 4\nout never\n");
  EXPECT_EQ(Session->Interact(), 4);
  EXPECT_EQ(Texts, (std::vector<std::string>{"(out a\n  \"b)\n c\") ; )\n", "out d\n", "err Bad\n",
                                             "out e (\n)\n", ") out f\n", "exit 4\n"}));
  EXPECT_EQ(Out.str(), "d\ne (\n");  // no prompts on a plain input
  EXPECT_EQ(Err.str(), "Bad\nsecond line\n");

  // An unfinished input at the end is evaluated all the same; the end of input is status 0.
  Texts.clear();
  Start("out x\n(out y\n");
  EXPECT_EQ(Session->Interact(), 0);
  EXPECT_EQ(Texts, (std::vector<std::string>{"out x\n", "(out y\n"}));
}

TEST_F(SessionTest, ReadingALineTakesTheNextLineOfInput) {
  Start("read\nanswer\r\nout after\nread\n");
  EXPECT_EQ(Session->Interact(), 0);
  EXPECT_EQ(Texts, (std::vector<std::string>{"read\n", "out after\n", "read\n"}));
  EXPECT_EQ(Out.str(), "read [answer]\nafter\nread []\n");
}

TEST_F(SessionTest, TerminalLoopPromptsOnAFreshLine) {
  std::vector<std::string> Lines = {"say x (", ")", "out y", "say z"};
  std::vector<std::string> Prompts;
  const TLineReader Terminal = [&](const std::string& Prompt, std::string& Line) {
    Prompts.push_back(Prompt);
    if (Prompts.size() > Lines.size()) return false;
    Line = Lines[Prompts.size() - 1];
    return true;
  };
  Start("");
  EXPECT_EQ(Session->Interact(Terminal), 0);
  EXPECT_EQ(Prompts,
            (std::vector<std::string>{"rulecraft> ", "...> ", "rulecraft> ", "rulecraft> ", "rulecraft> "}));
  EXPECT_EQ(Out.str(), "x (\ny\nz\n\n");
}

TEST_F(SessionTest, HelpAtThePromptPointsTheWay) {
  // "help" and "help NAME" are answered by the program; "help" with more words, or inside parentheses, is
  // rule-language input like any other.
  Start("help\nhelp sub-string\nhelp no-such\n  help   \nhelp a b\n(help)\n");
  EXPECT_EQ(Session->Interact(), 0);
  EXPECT_EQ(Texts, (std::vector<std::string>{"help a b\n", "(help)\n"}));
  const std::string Text = Out.str();
  EXPECT_EQ(Text.find(HelpText()), 0u);
  for (const char* Command : {"(facts)", "(rules)", "(agenda)", "(ppdefrule", "(watch", "(exit)"})
    EXPECT_NE(HelpText().find(Command), std::string::npos) << Command;
  EXPECT_NE(Text.find(";; sub-string function\n     syntax: (sub-string <start-integer-expression> "
                      "<end-integer-expression> <lexeme-expression>)\n     Extracts a substring"),
            std::string::npos);
  EXPECT_NE(Text.find("There is no function named no-such; (list-deffunctions) lists them all.\n"),
            std::string::npos);
  EXPECT_EQ(Text.rfind(HelpText()), Text.size() - HelpText().size());  // "  help   " too
}

TEST_F(SessionTest, DialogsAskOnTheTerminal) {
  // Without a handler the engine refuses; the session answers: questions on the output, answers from the
  // input, the end of input cancels.
  TInferenceEngine Bare;
  EXPECT_THROW(Bare.ParseNExecuteFunCall("(show-message \"hi\")"), EIEException);
  Start("Ada\n\nmaybe\nno\n");
  TInferenceEngine& Engine = Session->GetEngine();
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(input-query \"Name\" \"Your name\")")->GetAsString(), "Ada");
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(input-box \"Order\" \"Quantity\" \"1\")")->GetAsString(), "1");
  EXPECT_EQ(
      Engine.ParseNExecuteFunCall("(message-dlg \"Save?\" mtConfirmation \"[mbYes,mbNo]\")")->GetAsString(),
      "mrNo");
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(input-query \"Name\")")->GetAsString(), "FALSE");
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(message-dlg \"Quit?\" mtWarning \"[mbOK]\")")->GetAsString(),
            "mrCancel");
  EXPECT_EQ(Out.str(),
            "Name: Your name? Order: Quantity [1]? Save?\n(Yes/No)? (Yes/No)? Name? \nQuit?\n(OK)? \n");
}

TEST_F(SessionTest, TabCompletesTheNamesTheSessionKnows) {
  Start("");
  TInferenceEngine& Engine = Session->GetEngine();
  Engine.Parse(
      "(deftemplate order (slot id)) (deffacts stock (order (id 1)))"
      "(deffunction twice (?x) (* 2 ?x)) (defrule ship (order (id ?i)) => )"
      "(deftype size extends (type INTEGER))",
      true);
  std::vector<std::string> Words = Session->CompletionWords();
  auto Has = [&Words](const std::string& Word) {
    return std::find(Words.begin(), Words.end(), Word) != Words.end();
  };
  for (const char* Word : {"str-cat", "set-max-firings", "twice", "order", "stock", "ship", "size", "defrule",
                           "deftemplate", "statistics", "activations", "help"})
    EXPECT_TRUE(Has(Word)) << Word;
  EXPECT_FALSE(Has("no-such-name"));
}
