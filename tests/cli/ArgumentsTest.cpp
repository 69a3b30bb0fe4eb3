// The command line and the text helpers of the rulecraft program.
#include <gtest/gtest.h>

#include <cctype>

#include <sstream>

#include "cli/Cli.h"

using namespace rulecraft;
using namespace rulecraft::cli;

namespace {

TCliOptions Parsed(const std::vector<std::string>& Args) {
  TCliOptions Options;
  EXPECT_EQ(ParseArguments(Args, Options), "");
  return Options;
}

std::string Refused(const std::vector<std::string>& Args) {
  TCliOptions Options;
  return ParseArguments(Args, Options);
}

}  // namespace

TEST(Arguments, FilesTextsAndTheInteractiveLoop) {
  TCliOptions O = Parsed({"-e", "(a)", "x.clp", "-", "-e", "-e", "", "--", "-i", "--watch"});
  EXPECT_EQ(O.Files, (std::vector<std::string>{"x.clp", "-", "", "-i", "--watch"}));
  EXPECT_EQ(O.Evals, (std::vector<std::string>{"(a)", "-e"}));
  EXPECT_FALSE(O.Interactive);
  EXPECT_TRUE(Parsed({}).Interactive);
  EXPECT_FALSE(Parsed({"-e", "1"}).Interactive);
  EXPECT_TRUE(Parsed({"x.clp", "-i"}).Interactive);
  EXPECT_FALSE(Parsed({"x.clp"}).Quiet);
  EXPECT_TRUE(Parsed({"-q", "x.clp"}).Quiet);
  EXPECT_TRUE(Parsed({"x.clp", "--quiet"}).Quiet);
  // --help and --version end the reading: what follows is not looked at.
  EXPECT_TRUE(Parsed({"x.clp", "--help", "--bogus"}).Help);
  EXPECT_TRUE(Parsed({"--version", "-e"}).Version);

  EXPECT_EQ(Refused({"-x"}), "unknown option '-x'");
  EXPECT_EQ(Refused({"--watchfacts"}), "unknown option '--watchfacts'");
  EXPECT_EQ(Refused({"x.clp", "-e"}), "option '-e' needs a text to evaluate");
  EXPECT_EQ(Refused({"--watch"}), "option '--watch' needs a list of names");
}

TEST(Arguments, WatchNames) {
  EXPECT_EQ(Parsed({"--watch", "facts"}).Watches, TConstructWatches({cwFact}));
  EXPECT_EQ(Parsed({"--watch=rules,activations", "--watch", "compilations"}).Watches,
            TConstructWatches({cwRule, cwActivation, cwCompilation}));
  EXPECT_EQ(Parsed({"--watch", "statistics,all"}).Watches,
            TConstructWatches({cwFact, cwRule, cwActivation, cwCompilation, cwStatistics}));
  const std::string Known = "' (known: facts, rules, activations, compilations, statistics, all)";
  EXPECT_EQ(Refused({"--watch", "Facts"}), "unknown watch name 'Facts" + Known);
  EXPECT_EQ(Refused({"--watch", "facts,,rules"}), "unknown watch name '" + Known);
  EXPECT_EQ(Refused({"--watch="}), "unknown watch name '" + Known);
  // A list with an unknown name adds nothing.
  TConstructWatches Watches{cwRule};
  EXPECT_NE(ParseWatchNames("facts,fact", Watches), "");
  EXPECT_EQ(Watches, TConstructWatches({cwRule}));
}

TEST(Arguments, LimitsForRulesFromStrangers) {
  TCliOptions O = Parsed({"--max-facts", "5", "--max-firings=2147483647", "--no-files", "x.clp"});
  EXPECT_EQ(O.MaxFacts, 5);
  EXPECT_EQ(O.MaxFirings, 2147483647);
  EXPECT_TRUE(O.NoFiles);
  EXPECT_EQ(O.Files, (std::vector<std::string>{"x.clp"}));
  O = Parsed({"--sandbox", "box", "--max-facts=1"});
  EXPECT_EQ(O.Sandbox, "box");
  EXPECT_EQ(O.MaxFacts, 1);
  EXPECT_EQ(O.MaxFirings, 0);
  EXPECT_FALSE(O.NoFiles);
  EXPECT_EQ(Parsed({"--sandbox=/tmp/a b"}).Sandbox, "/tmp/a b");

  const std::string Count = "' needs a count from 1 to 2147483647, not '";
  EXPECT_EQ(Refused({"--max-facts", "0"}), "option '--max-facts" + Count + "0'");
  EXPECT_EQ(Refused({"--max-facts", "-3"}), "option '--max-facts" + Count + "-3'");
  EXPECT_EQ(Refused({"--max-firings=2147483648"}), "option '--max-firings" + Count + "2147483648'");
  EXPECT_EQ(Refused({"--max-firings", "1e3"}), "option '--max-firings" + Count + "1e3'");
  EXPECT_EQ(Refused({"--max-firings="}), "option '--max-firings" + Count + "'");
  EXPECT_EQ(Refused({"--max-facts"}), "option '--max-facts' needs a count");
  EXPECT_EQ(Refused({"--sandbox"}), "option '--sandbox' needs a directory");
  EXPECT_EQ(Refused({"--sandbox="}), "option '--sandbox' needs a directory");
  EXPECT_EQ(Refused({"--max-factsx", "3"}), "unknown option '--max-factsx'");
  EXPECT_EQ(Refused({"--no-files", "--sandbox", "box"}),
            "options '--no-files' and '--sandbox' exclude each other");
  // The help names every option.
  for (const char* Option : {"--max-facts N", "--max-firings N", "--no-files", "--sandbox DIR"})
    EXPECT_NE(UsageText().find(Option), std::string::npos) << Option;
}

TEST(InputScanner, ParenthesesCountOutsideStringsAndComments) {
  EXPECT_FALSE(ScanInput("").HasCode);
  EXPECT_FALSE(ScanInput("  ; (a \"b\n\t\n").HasCode);
  EXPECT_TRUE(ScanInput("abc\n").Complete());
  EXPECT_EQ(ScanInput("(a (b) (c").Depth, 2);
  EXPECT_TRUE(ScanInput("(a \")\" ; x\n)").Complete());
  EXPECT_EQ(ScanInput("(a \"x\\\")\" (b)").Depth, 1);  // an escaped quote does not end the string
  EXPECT_TRUE(ScanInput("(a \"x\\\\\")").Complete());  // an escaped backslash does not escape the quote
  EXPECT_EQ(ScanInput("(a \"; (\" b").Depth, 1);       // a ";" in a string is no comment
  EXPECT_EQ(ScanInput("(a ; )\n").Depth, 1);
  TInputState Open = ScanInput("(a \"two\nlines)");
  EXPECT_TRUE(Open.InString);
  EXPECT_FALSE(Open.Complete());
  EXPECT_FALSE(ScanInput("\"x").Complete());
  // A ")" with nothing open makes the input complete, whatever follows.
  TInputState Stray = ScanInput("(a)) (b \"c");
  EXPECT_TRUE(Stray.StrayClose);
  EXPECT_TRUE(Stray.Complete());
}

TEST(InputScanner, PiecesCarryEscapesAndComments) {
  TInputScanner Scanner;
  Scanner.Feed("(a \"x\\");
  Scanner.Feed("\"");  // escaped: the string goes on
  EXPECT_TRUE(Scanner.State().InString);
  Scanner.Feed("\")");
  EXPECT_TRUE(Scanner.State().Complete());
  Scanner.Reset();
  Scanner.Feed("(a ; ");
  Scanner.Feed(")");  // still the comment
  EXPECT_EQ(Scanner.State().Depth, 1);
  Scanner.Feed("\r)");
  EXPECT_TRUE(Scanner.State().Complete());
}

TEST(LineEnds, OutputAndErrorText) {
  EXPECT_EQ(ToUnixLineEnds("a\r\nb\rc\n\r\r\n"), "a\nb\rc\n\r\n");
  EXPECT_EQ(ErrorLine("Parsing Error\r\nline 2\r\n\n"), "Parsing Error\nline 2");
  EXPECT_EQ(ErrorLine("no break"), "no break");

  std::ostringstream Out;
  TOutputWriter Writer(Out);
  EXPECT_TRUE(Writer.AtLineStart());
  Writer.Write("a\r");
  EXPECT_FALSE(Writer.AtLineStart());
  Writer.Write("\nb\r");  // the pair split between two writes
  Writer.Write("c\r\r\n");
  EXPECT_TRUE(Writer.AtLineStart());
  Writer.Write("");
  Writer.Write("d\r");
  Writer.Flush();
  EXPECT_EQ(Out.str(), "a\nb\rc\r\nd");
  Writer.Finish();  // the held-back CR was no line break after all
  EXPECT_EQ(Out.str(), "a\nb\rc\r\nd\r");
}

TEST(RunCli, UsageHelpAndVersion) {
  bool Broken = false;  // an output stream that cannot be written
  auto Run = [&Broken](std::vector<const char*> Args, std::string& OutText, std::string& ErrText) {
    Args.insert(Args.begin(), "rulecraft");
    std::istringstream In;
    std::ostringstream Out, Err;
    if (Broken) Out.setstate(std::ios::badbit);
    const int Status = RunCli(static_cast<int>(Args.size()), const_cast<char**>(Args.data()), In, Out, Err);
    OutText = Out.str();
    ErrText = Err.str();
    return Status;
  };
  std::string Out, Err;
  EXPECT_EQ(Run({"x.clp", "--watch", "fact"}, Out, Err), 2);
  EXPECT_EQ(Out, "");
  EXPECT_TRUE(Err.starts_with("rulecraft: unknown watch name 'fact'")) << Err;
  EXPECT_NE(Err.find("\nusage: rulecraft "), std::string::npos);
  EXPECT_EQ(Run({"--help"}, Out, Err), 0);
  EXPECT_EQ(Out, UsageText());
  EXPECT_EQ(Err, "");
  EXPECT_EQ(Run({"--version"}, Out, Err), 0);
  // "rulecraft <major>.<minor>.<patch>" and a line end.
  ASSERT_TRUE(Out.rfind("rulecraft ", 0) == 0 && !Out.empty() && Out.back() == '\n') << Out;
  int Dots = 0;
  for (size_t I = 10; I + 1 < Out.size(); ++I) {
    if (Out[I] == '.')
      ++Dots;
    else
      EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(Out[I]))) << Out;
  }
  EXPECT_EQ(Dots, 2) << Out;
  Broken = true;
  EXPECT_EQ(Run({"--version"}, Out, Err), 1);
  EXPECT_EQ(Err, "Cannot write the output\n");
  EXPECT_EQ(Run({"--watch", "x"}, Out, Err), 2);
}

TEST(Arguments, StrategyNames) {
  EXPECT_EQ(Parsed({"x.clp"}).Strategy, ssDepthFirst);
  EXPECT_EQ(Parsed({"--strategy", "newest"}).Strategy, ssNewestFirst);
  EXPECT_EQ(Parsed({"--strategy=mea", "x.clp"}).Strategy, ssMea);
  EXPECT_EQ(Parsed({"--strategy", "lex", "--strategy", "random"}).Strategy, ssRandom);  // the last one counts
  const std::string Known =
      "' (known: depth, breadth, newest, oldest, lex, mea, simplicity, complexity, random)";
  EXPECT_EQ(Refused({"--strategy", "Newest"}), "unknown strategy 'Newest" + Known);
  EXPECT_EQ(Refused({"--strategy="}), "unknown strategy '" + Known);
  EXPECT_EQ(Refused({"x.clp", "--strategy"}), "option '--strategy' needs a strategy name");
  EXPECT_EQ(Refused({"--strategies", "lex"}), "unknown option '--strategies'");
}

TEST(Arguments, DuplicatesPolicies) {
  EXPECT_EQ(Parsed({"x.clp"}).Duplicates, dcOverwrite);
  EXPECT_EQ(Parsed({"--duplicates", "ignore", "x.clp"}).Duplicates, dcIgnore);
  EXPECT_EQ(Parsed({"--duplicates=error"}).Duplicates, dcError);
  EXPECT_EQ(Parsed({"--duplicates=error", "--duplicates", "overwrite"}).Duplicates, dcOverwrite);
  const std::string Known = "' (known: overwrite, ignore, error)";
  EXPECT_EQ(Refused({"--duplicates", "Ignore"}), "unknown duplicates policy 'Ignore" + Known);
  EXPECT_EQ(Refused({"--duplicates="}), "unknown duplicates policy '" + Known);
  EXPECT_EQ(Refused({"x.clp", "--duplicates"}), "option '--duplicates' needs a policy name");
  EXPECT_NE(UsageText().find("--duplicates POLICY"), std::string::npos);
}

TEST(RunCli, StrategyOption) {
  auto Run = [](std::vector<const char*> Args, std::string& OutText, std::string& ErrText) {
    Args.insert(Args.begin(), "rulecraft");
    std::istringstream In;
    std::ostringstream Out, Err;
    const int Status = RunCli(static_cast<int>(Args.size()), const_cast<char**>(Args.data()), In, Out, Err);
    OutText = Out.str();
    ErrText = Err.str();
    return Status;
  };
  std::string Out, Err;
  EXPECT_EQ(Run({"--strategy", "oldest", "-e", "(printout t (get-strategy) crlf)"}, Out, Err), 0);
  EXPECT_EQ(Out, "oldest\n");
  EXPECT_EQ(Run({"-e", "(printout t (get-strategy) crlf)"}, Out, Err), 0);
  EXPECT_EQ(Out, "depth\n");
  EXPECT_EQ(Run({"--strategy", "fifo", "-e", "(printout t 1 crlf)"}, Out, Err), 2);
  EXPECT_EQ(Out, "");
  EXPECT_TRUE(Err.starts_with("rulecraft: unknown strategy 'fifo'")) << Err;
  EXPECT_NE(Err.find("\nusage: rulecraft "), std::string::npos);
  EXPECT_EQ(Run({"--help"}, Out, Err), 0);
  EXPECT_NE(Out.find("--strategy NAME"), std::string::npos);
}
