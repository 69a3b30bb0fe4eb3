#include "cli/Cli.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <istream>
#include <iterator>
#include <memory>
#include <new>
#include <ostream>
#include <sstream>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Format.h"

#include <dlfcn.h>

#ifndef RULECRAFT_VERSION
#define RULECRAFT_VERSION "unknown"
#endif

namespace rulecraft::cli {

namespace {

constexpr std::string_view ShortUsage =
    "usage: rulecraft [-e TEXT]... [--watch NAMES] [--strategy NAME] [--duplicates POLICY]\n"
    "                 [--max-facts N] [--max-firings N] [--no-files | --sandbox DIR] [-q] [-i] [FILE...]\n"
    "Try 'rulecraft --help' for more information.\n";

// The value of an option given as "--name VALUE" or "--name=VALUE" (Name without its dashes); false with
// Error set when the value is missing.
bool OptionValue(const std::vector<std::string>& Args, size_t& I, std::string_view Name,
                 std::string_view What, std::string& Value, std::string& Error) {
  const std::string& Arg = Args[I];
  if (Arg.size() > Name.size() + 2) {
    Value = Arg.substr(Name.size() + 3);
    return true;
  }
  if (I + 1 == Args.size()) {
    Error = "option '--" + std::string(Name) + "' needs " + std::string(What);
    return false;
  }
  Value = Args[++I];
  return true;
}

// A count from 1 to 2147483647, written in decimal digits only.
bool ReadCount(const std::string& Text, int32_t& Count) {
  if (Text.empty() || Text.size() > 10 ||
      !std::all_of(Text.begin(), Text.end(), [](char C) { return C >= '0' && C <= '9'; }))
    return false;
  const long long Value = std::stoll(Text);
  if (Value < 1 || Value > 2147483647) return false;
  Count = static_cast<int32_t>(Value);
  return true;
}

bool IsOption(const std::string& Arg, std::string_view Name) {
  return Arg.size() >= Name.size() + 2 && Arg.compare(2, Name.size(), Name) == 0 && Arg.starts_with("--") &&
         (Arg.size() == Name.size() + 2 || Arg[Name.size() + 2] == '=');
}

}  // namespace

// ---- the command line
// -------------------------------------------------------------------------------------------

std::string ParseWatchNames(std::string_view Names, TConstructWatches& Watches) {
  TConstructWatches Found;
  for (;;) {
    const size_t Comma = Names.find(',');
    const std::string_view Name = Names.substr(0, Comma);
    TConstructWatches Named;
    if (!WatchesNamed(Name, Named)) {
      return "unknown watch name '" + std::string(Name) +
             "' (known: facts, rules, activations, compilations, statistics, all)";
    }
    Found = Found + Named;
    if (Comma == std::string_view::npos) break;
    Names.remove_prefix(Comma + 1);
  }
  Watches = Watches + Found;
  return std::string();
}

std::string ParseArguments(const std::vector<std::string>& Args, TCliOptions& Options) {
  bool OnlyFiles = false;
  for (size_t I = 0; I < Args.size(); ++I) {
    const std::string& Arg = Args[I];
    if (OnlyFiles || Arg.size() < 2 || Arg[0] != '-') {
      Options.Files.push_back(Arg);  // "-" included: the standard input
    } else if (Arg == "--") {
      OnlyFiles = true;
    } else if (Arg == "--help" || Arg == "-h") {
      Options.Help = true;
      return std::string();
    } else if (Arg == "--version") {
      Options.Version = true;
      return std::string();
    } else if (Arg == "-i") {
      Options.Interactive = true;
    } else if (Arg == "-q" || Arg == "--quiet") {
      Options.Quiet = true;
    } else if (Arg == "-e") {
      if (I + 1 == Args.size()) return "option '-e' needs a text to evaluate";
      Options.Evals.push_back(Args[++I]);
    } else if (Arg == "--watch" || Arg.starts_with("--watch=")) {
      std::string_view Names;
      if (Arg == "--watch") {
        if (I + 1 == Args.size()) return "option '--watch' needs a list of names";
        Names = Args[++I];
      } else {
        Names = std::string_view(Arg).substr(8);
      }
      std::string Error = ParseWatchNames(Names, Options.Watches);
      if (!Error.empty()) return Error;
    } else if (Arg == "--strategy" || Arg.starts_with("--strategy=")) {
      std::string_view Name;
      if (Arg == "--strategy") {
        if (I + 1 == Args.size()) return "option '--strategy' needs a strategy name";
        Name = Args[++I];
      } else {
        Name = std::string_view(Arg).substr(11);
      }
      if (!SearchStrategyNamed(Name, Options.Strategy)) {
        return "unknown strategy '" + std::string(Name) +
               "' (known: depth, breadth, newest, oldest, lex, mea, simplicity, complexity, random)";
      }
    } else if (IsOption(Arg, "duplicates")) {
      std::string Value, Error;
      if (!OptionValue(Args, I, "duplicates", "a policy name", Value, Error)) return Error;
      if (Value == "overwrite")
        Options.Duplicates = dcOverwrite;
      else if (Value == "ignore")
        Options.Duplicates = dcIgnore;
      else if (Value == "error")
        Options.Duplicates = dcError;
      else
        return "unknown duplicates policy '" + Value + "' (known: overwrite, ignore, error)";
    } else if (IsOption(Arg, "max-facts") || IsOption(Arg, "max-firings")) {
      const bool Facts = IsOption(Arg, "max-facts");
      std::string Value, Error;
      if (!OptionValue(Args, I, Facts ? "max-facts" : "max-firings", "a count", Value, Error)) return Error;
      if (!ReadCount(Value, Facts ? Options.MaxFacts : Options.MaxFirings))
        return "option '--" + std::string(Facts ? "max-facts" : "max-firings") +
               "' needs a count from 1 to 2147483647, not '" + Value + "'";
    } else if (Arg == "--no-files") {
      Options.NoFiles = true;
    } else if (IsOption(Arg, "sandbox")) {
      std::string Error;
      if (!OptionValue(Args, I, "sandbox", "a directory", Options.Sandbox, Error)) return Error;
      if (Options.Sandbox.empty()) return "option '--sandbox' needs a directory";
    } else {
      return "unknown option '" + Arg + "'";
    }
  }
  if (Options.NoFiles && !Options.Sandbox.empty())
    return "options '--no-files' and '--sandbox' exclude each other";
  if (Options.Files.empty() && Options.Evals.empty()) Options.Interactive = true;
  return std::string();
}

std::string UsageText() {
  return "usage: rulecraft [options] [FILE...]\n"
         "Loads each FILE into one engine, in order (\"-\" reads the standard input), then evaluates the -e\n"
         "texts. Without FILE or -e, or with -i, reads rule-language input interactively until (exit) or "
         "the\n"
         "end of input.\n"
         "\n"
         "options:\n"
         "  -e TEXT        evaluate TEXT after the files; may be given several times\n"
         "  -i             read input interactively after the files and texts\n"
         "  -q, --quiet    run the files and -e texts as a script: their results are not echoed\n"
         "                 (what the program prints, and errors, still appear)\n"
         "  --watch NAMES  switch watches on before loading; NAMES is a comma-separated list of\n"
         "                 facts, rules, activations, compilations, statistics, all\n"
         "  --strategy NAME  order activations of equal salience by NAME: depth (the default),\n"
         "                 breadth, newest, oldest, lex, mea, simplicity, complexity, random\n"
         "  --duplicates POLICY  what defining a construct under a name already taken does: overwrite\n"
         "                 (the default: the new one replaces the old, and what used the old one is\n"
         "                 rebuilt against it), ignore (the old one stays) or error\n"
         "  --max-facts N  let the fact base hold at most N facts; an assert beyond is an error\n"
         "  --max-firings N  fire at most N rules in one run; a run that would fire more stops\n"
         "                 with an error, the rest left on the agenda\n"
         "  --no-files     refuse the file functions (open, load, save, batch, dribble-on, remove,\n"
         "                 rename, ...); the FILE arguments are still read\n"
         "  --sandbox DIR  let the file functions touch only files inside DIR; relative names are\n"
         "                 taken inside DIR, and names leading out of it (\"..\", links) are refused\n"
         "  --             take every further argument as a file name\n"
         "  -h, --help     show this help and exit\n"
         "  --version      show the version and exit\n"
         "\n"
         "output: the logical names t, stdout and wdisplay write to the standard output, werror and\n"
         "wwarning to the standard error; what is written to nil is discarded. A rule defined with a\n"
         "likely mistake (a variable nothing binds, a multifield variable where a single value must stand)\n"
         "is defined all the same, with a warning on the standard error naming the rule and its line.\n"
         "A fact, rule or function that no longer reads after a template it uses was redefined is\n"
         "dropped, with a warning on the standard error naming it and the reason.\n"
         "\n"
         "exit status: 0 on success or after (exit), 1 after an error, 2 for bad usage.\n";
}

// ---- input and output
// -------------------------------------------------------------------------------------------

void TInputScanner::Feed(std::string_view Text) {
  FScanner.Feed(Text);
  FState.Depth = FScanner.GetDepth();
  FState.InString = FScanner.IsInString();
  FState.HasCode = FScanner.HasCode();
  FState.StrayClose = FScanner.HasStrayClose();
}

TInputState ScanInput(std::string_view Text) {
  TInputScanner Scanner;
  Scanner.Feed(Text);
  return Scanner.State();
}

std::string ToUnixLineEnds(std::string_view Text) {
  std::string Result;
  Result.reserve(Text.size());
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') continue;
    Result += Text[I];
  }
  return Result;
}

std::string ErrorLine(std::string_view Message) {
  std::string Line = ToUnixLineEnds(Message);
  while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r')) Line.pop_back();
  return Line;
}

void TOutputWriter::Write(std::string_view Text) {
  if (Text.empty()) return;
  std::string Buffer;
  Buffer.reserve(Text.size() + 1);
  if (FPendingCR) {
    FPendingCR = false;
    if (Text.front() != '\n') Buffer += '\r';
  }
  for (size_t I = 0; I < Text.size(); ++I) {
    const char C = Text[I];
    if (C == '\r') {
      if (I + 1 == Text.size()) {
        FPendingCR = true;  // the LF may come with the next write
        break;
      }
      if (Text[I + 1] == '\n') continue;
    }
    Buffer += C;
  }
  if (Buffer.empty()) return;
  FOut.write(Buffer.data(), static_cast<std::streamsize>(Buffer.size()));
  FAtLineStart = Buffer.back() == '\n';
}

void TOutputWriter::Flush() { FOut.flush(); }

void TOutputWriter::Finish() {
  if (FPendingCR) {
    FPendingCR = false;
    FOut.put('\r');
    FAtLineStart = false;
  }
  FOut.flush();
}

namespace {

/// The line editor, loaded when an interactive prompt first needs it: a batch run never maps it.
struct TLineEditor {
  char* (*ReadLine)(const char*) = nullptr;
  int (*AddHistory)(const char*) = nullptr;
  int (*WriteHistory)(const char*) = nullptr;
  bool Loaded = false;
  std::string HistoryFile;  // empty: the history lives as long as the program
};

/// The most lines the history file keeps.
constexpr int HistoryLines = 1000;

/// Whether a terminal reader was made, and so the editor asked for.
bool& TerminalReaderMade() {
  static bool Made = false;
  return Made;
}

/// The words Tab completes, asked for afresh at each completion.
TCompletionSource& CompletionSource() {
  static TCompletionSource Source;
  return Source;
}

/// The editor's completion: called with State 0 for a new word, then again until it answers nullptr; each
/// answer is a copy the editor frees.
char* CompleteWord(const char* Text, int State) {
  static std::vector<std::string> Matches;
  static size_t Next = 0;
  if (State == 0) {
    Matches.clear();
    Next = 0;
    const std::string_view Prefix(Text ? Text : "");
    if (const TCompletionSource& Source = CompletionSource()) {
      for (std::string& Word : Source())
        if (Word.size() >= Prefix.size() && Word.compare(0, Prefix.size(), Prefix) == 0)
          Matches.push_back(std::move(Word));
      std::sort(Matches.begin(), Matches.end());
      Matches.erase(std::unique(Matches.begin(), Matches.end()), Matches.end());
    }
  }
  if (Next >= Matches.size()) return nullptr;
  return strdup(Matches[Next++].c_str());
}

/// Where the history is kept: RULECRAFT_HISTORY when it is set (empty: nowhere), else ~/.rulecraft_history.
std::string HistoryFileName() {
  if (const char* Named = std::getenv("RULECRAFT_HISTORY")) return Named;
  const char* Home = std::getenv("HOME");
  return Home && *Home ? std::string(Home) + "/.rulecraft_history" : std::string();
}

const TLineEditor& LineEditor() {
  static const TLineEditor Editor = [] {
    TLineEditor Made;
    void* Library = nullptr;
    for (const char* Name : {"libedit.so.2", "libedit.so.0", "libedit.so"})
      if ((Library = dlopen(Name, RTLD_NOW | RTLD_LOCAL)) != nullptr) break;
    if (!Library) return Made;
    auto Symbol = [Library](const char* Name) { return dlsym(Library, Name); };
    auto UsingHistory = reinterpret_cast<void (*)()>(Symbol("using_history"));
    auto ReadlineName = static_cast<const char**>(Symbol("rl_readline_name"));
    auto Completion = static_cast<void**>(Symbol("rl_completion_entry_function"));
    auto StifleHistory = reinterpret_cast<void (*)(int)>(Symbol("stifle_history"));
    auto ReadHistory = reinterpret_cast<int (*)(const char*)>(Symbol("read_history"));
    Made.ReadLine = reinterpret_cast<char* (*)(const char*)>(Symbol("readline"));
    Made.AddHistory = reinterpret_cast<int (*)(const char*)>(Symbol("add_history"));
    Made.WriteHistory = reinterpret_cast<int (*)(const char*)>(Symbol("write_history"));
    if (!UsingHistory || !Completion || !Made.ReadLine || !Made.AddHistory) return TLineEditor();
    if (ReadlineName) *ReadlineName = "rulecraft";  // the name ~/.editrc settings are given for
    // Tab completes the names the session offers (functions, constructs, watch names), never file names.
    *Completion = reinterpret_cast<void*>(&CompleteWord);
    UsingHistory();
    if (StifleHistory) StifleHistory(HistoryLines);
    if (ReadHistory && Made.WriteHistory) {
      Made.HistoryFile = HistoryFileName();
      if (!Made.HistoryFile.empty()) ReadHistory(Made.HistoryFile.c_str());  // none yet is no error
    }
    Made.Loaded = true;
    return Made;
  }();
  return Editor;
}

}  // namespace

void SetCompletionSource(TCompletionSource Source) { CompletionSource() = std::move(Source); }

void AddToHistory(const std::string& Input) {
  if (!TerminalReaderMade()) return;  // no editor was asked for: nothing to remember
  const TLineEditor& Editor = LineEditor();
  if (!Editor.Loaded) return;
  // One entry for the whole input, its lines joined by blanks, so that it comes back whole.
  std::string Entry;
  for (char C : Input) {
    const bool Blank = C == '\n' || C == '\r' || C == '\t' || C == ' ';
    if (Blank && (Entry.empty() || Entry.back() == ' ')) continue;
    Entry += Blank ? ' ' : C;
  }
  while (!Entry.empty() && Entry.back() == ' ') Entry.pop_back();
  if (Entry.empty()) return;
  Editor.AddHistory(Entry.c_str());
  // Kept at once, so that the history survives however the program ends; a file that cannot be written
  // leaves the history to this run.
  if (!Editor.HistoryFile.empty()) Editor.WriteHistory(Editor.HistoryFile.c_str());
}

TLineReader MakeTerminalReader() {
  TerminalReaderMade() = true;
  const TLineEditor& Editor = LineEditor();
  if (Editor.Loaded) {
    return [&Editor](const std::string& PromptText, std::string& Line) {
      std::fflush(stdout);
      const std::unique_ptr<char, decltype(&std::free)> Text(Editor.ReadLine(PromptText.c_str()), &std::free);
      if (!Text) return false;
      Line = Text.get();
      return true;
    };
  }
  return [](const std::string& PromptText, std::string& Line) {
    std::cout << PromptText << std::flush;
    return static_cast<bool>(std::getline(std::cin, Line));
  };
}

// ---- the session
// ------------------------------------------------------------------------------------------------

TCliSession::TCliSession(std::istream& In, std::ostream& Out, std::ostream& Err)
    : FIn(In), FErr(Err), FWriter(Out) {
  Evaluate = [this](const std::string& Text) { FEngine.Parse(Text, true); };
  FEngine.OnPrintOut = [this](TObject*, const std::string& Name, const std::string& Text) {
    Route(Name, Text);
  };
  FEngine.OnReadLine = [this](TObject*, const std::string&, std::string& Text) {
    FWriter.Flush();  // a question printed before the read shows first
    if (!std::getline(FIn, Text)) {
      Text.clear();
    } else if (!Text.empty() && Text.back() == '\r') {
      Text.pop_back();
    }
  };
  // A token is read from the next line of input.
  FEngine.OnReadToken = FEngine.OnReadLine;
  FEngine.OnDialog = [this](TObject*, const TDialogRequest& Request, std::string& Answer) {
    return AnswerDialog(Request, Answer);
  };
  // A construct defined with a warning: the construct, its line and the message, on the standard error.
  FEngine.OnWarning = [this](TObject*, const TIEWarning& Warning) {
    if (Warning.Line > 0)
      ReportError(
          Format(SConstructWarning, {Warning.Construct, Warning.Name, Warning.Line, Warning.Message}));
    else
      ReportError(Format(SConstructWarningNoLine, {Warning.Construct, Warning.Name, Warning.Message}));
  };
}

std::string HelpText() {
  return "Rulecraft reads rule-language text: constructs such as (deftemplate ...), (deffacts ...) and\n"
         "(defrule ...) are stored, function calls are evaluated and their value printed.\n"
         "\n"
         "  (facts)             list the facts\n"
         "  (rules)             show every rule\n"
         "  (agenda)            list the activations waiting to fire\n"
         "  (ppdefrule NAME)    show one rule (ppdeftemplate, ppdeffacts, ppdeffunction likewise)\n"
         "  (reset) (run)       assert the initial facts, then fire the rules\n"
         "  (watch all)         report facts, rules and activations as they change (unwatch to stop)\n"
         "  (exit)              leave the program\n"
         "\n"
         "help NAME shows what the function NAME does and the arguments it takes, for example help assert.\n";
}

bool TCliSession::AnswerHelp(const std::string& Input) {
  std::istringstream Words(Input);
  std::string Word, Name, Extra;
  if (!(Words >> Word) || Word != "help") return false;
  Words >> Name;
  if (Words >> Extra) return false;  // not a help request: the rule language reports what it is
  if (Name.empty()) {
    FWriter.Write(HelpText());
    return true;
  }
  IUserFunction Function;
  if (!FEngine.ContainsUserFunction(Name, Function) || !Function) {
    FWriter.Write("There is no function named " + Name + "; (list-deffunctions) lists them all.\n");
    return true;
  }
  FWriter.Write(ToUnixLineEnds(FEngine.PrettyPrint(*Function)) + "\n");
  return true;
}

bool TCliSession::ReadAnswer(std::string& Line) {
  FWriter.Flush();
  if (!std::getline(FIn, Line)) return false;
  if (!Line.empty() && Line.back() == '\r') Line.pop_back();
  return true;
}

bool TCliSession::AnswerDialog(const TDialogRequest& Request, std::string& Answer) {
  switch (Request.Kind) {
    case dkShowMessage:
      FWriter.Write(Request.Text + "\n");
      return true;
    case dkInputBox:
    case dkInputQuery: {
      std::string Question = Request.Caption;
      if (!Request.Text.empty()) Question += (Question.empty() ? "" : ": ") + Request.Text;
      if (!Request.Default.empty()) Question += " [" + Request.Default + "]";
      FWriter.Write(Question + "? ");
      if (!ReadAnswer(Answer)) {
        FWriter.Write("\n");
        return false;
      }
      if (Answer.empty()) Answer = Request.Default;
      return true;
    }
    case dkMessageDlg:
      break;
  }
  // A message dialog: the message, then the buttons to choose from; an answer names a button without its
  // "mb" prefix, in any case.
  std::vector<std::string> Buttons;
  for (const std::string& Button : Request.Buttons) Buttons.push_back(Button.substr(2));
  if (Buttons.empty()) Buttons.push_back("OK");
  std::string Choices;
  for (const std::string& Button : Buttons) Choices += (Choices.empty() ? "" : "/") + Button;
  FWriter.Write(Request.Text + "\n");
  for (;;) {
    FWriter.Write("(" + Choices + ")? ");
    std::string Line;
    if (!ReadAnswer(Line)) {
      FWriter.Write("\n");
      return false;
    }
    for (const std::string& Button : Buttons)
      if (Line.size() == Button.size() &&
          std::equal(Line.begin(), Line.end(), Button.begin(), [](char A, char B) {
            return std::tolower(static_cast<unsigned char>(A)) == std::tolower(static_cast<unsigned char>(B));
          })) {
        Answer = "mr" + Button;
        return true;
      }
  }
}

std::string TCliSession::ReadProgram(const std::string& FileName) {
  if (FileName == "-")
    return std::string(std::istreambuf_iterator<char>(FIn), std::istreambuf_iterator<char>());
  errno = 0;
  const std::unique_ptr<std::FILE, decltype(&std::fclose)> File(std::fopen(FileName.c_str(), "rb"),
                                                                &std::fclose);
  if (!File) throw Exception("Cannot open file " + FileName + ": " + std::strerror(errno));
  std::string Text;
  char Buffer[65536];
  for (;;) {
    const size_t Count = std::fread(Buffer, 1, sizeof Buffer, File.get());
    Text.append(Buffer, Count);
    if (Count < sizeof Buffer) break;
  }
  if (std::ferror(File.get())) throw Exception("Cannot read file " + FileName + ": " + std::strerror(errno));
  return Text;
}

void TCliSession::Route(const std::string& Name, const std::string& Text) {
  if (Name == "nil") return;
  if (Name != "werror" && Name != "wwarning") {
    FWriter.Write(Text);
    return;
  }
  FWriter.Flush();  // what went to the standard output before shows first
  std::string Line;
  Line.reserve(Text.size());
  for (size_t I = 0; I < Text.size(); ++I)
    if (Text[I] != '\r' || I + 1 >= Text.size() || Text[I + 1] != '\n') Line += Text[I];
  FErr << Line;
  FErr.flush();
}

void TCliSession::ReportError(std::string_view Message) {
  FWriter.Flush();
  FErr << ErrorLine(Message) << '\n';
  FErr.flush();
}

int TCliSession::Run(const TCliOptions& Options, const TLineReader& Terminal) {
  FEngine.SetWatch(FEngine.GetWatch() + Options.Watches);
  FEngine.SetStrategy(Options.Strategy);
  FEngine.SetDuplicateConstructs(Options.Duplicates);
  FEngine.SetEchoResults(!Options.Quiet);
  FEngine.SetMaxFacts(Options.MaxFacts);
  FEngine.SetMaxFirings(Options.MaxFirings);
  if (Options.NoFiles) FEngine.SetFileAccess(faNone);
  try {
    if (!Options.Sandbox.empty()) FEngine.SetSandbox(Options.Sandbox);
    for (const std::string& File : Options.Files) Evaluate(ReadProgram(File));
    for (const std::string& Text : Options.Evals) Evaluate(Text);
  } catch (const EIEExit& E) {
    FWriter.Finish();
    return E.GetStatus();
  } catch (const std::bad_alloc&) {
    ReportError(SOutOfMemory);
    FWriter.Finish();
    return ExitError;
  } catch (const std::exception& E) {
    ReportError(E.what());
    FWriter.Finish();
    return ExitError;
  } catch (...) {
    ReportError("Unknown error");
    FWriter.Finish();
    return ExitError;
  }
  FEngine.SetEchoResults(true);  // a prompt answers with each result, quiet or not
  if (Options.Interactive) return Interact(Terminal);
  FWriter.Finish();
  return ExitOk;
}

bool TCliSession::EvaluateInLoop(const std::string& Text, int& Status) {
  try {
    Evaluate(Text);
  } catch (const EIEExit& E) {
    Status = E.GetStatus();
    return true;
  } catch (const std::bad_alloc&) {
    ReportError(SOutOfMemory);
  } catch (const std::exception& E) {
    ReportError(E.what());
  } catch (...) {
    ReportError("Unknown error");
  }
  return false;
}

std::vector<std::string> TCliSession::CompletionWords() {
  std::vector<std::string> Words = {"deftemplate", "defrule", "deffacts", "deffunction", "defglobal",
                                    "deftype",     "rules",   "facts",    "activations", "compilations",
                                    "statistics",  "all",     "help"};
  FEngine.GetUserFunctionTable().ForEach(
      [&Words](const IUserFunction& Function) { Words.push_back(Function->GetFunctionName()); });
  for (TRule* Rule : FEngine.GetRules().Items()) Words.push_back(Rule->GetRuleName());
  for (const IFactTemplate& Template : FEngine.GetFactTemplates().Items())
    Words.push_back(Template->GetTemplateName());
  for (const IIEDefinedType& Type : FEngine.GetDefinedTypes().Items()) Words.push_back(Type->GetName());
  for (TFactSet* Set : FEngine.GetFactSets().Items()) Words.push_back(Set->GetFactSetName());
  return Words;
}

int TCliSession::Interact(const TLineReader& Terminal) {
  // Tab completes this session's words while the loop runs.
  struct TCompletionScope {
    explicit TCompletionScope(TCliSession* Session) {
      if (Session) SetCompletionSource([Session] { return Session->CompletionWords(); });
    }
    ~TCompletionScope() { SetCompletionSource({}); }
  } Completing(Terminal ? this : nullptr);
  TInputScanner Scanner;
  std::string Input;
  std::string Line;
  int Status = ExitOk;
  for (;;) {
    bool Read;
    if (Terminal) {
      if (!FWriter.AtLineStart()) FWriter.Write("\n");  // the prompt starts its own line
      FWriter.Flush();
      Read = Terminal(std::string(Input.empty() ? Prompt : ContinuationPrompt), Line);
    } else {
      FWriter.Flush();
      Read = static_cast<bool>(std::getline(FIn, Line));
      if (Read && !Line.empty() && Line.back() == '\r') Line.pop_back();
    }
    if (!Read) break;
    Input += Line;
    Input += '\n';
    Scanner.Feed(Line);
    Scanner.Feed("\n");
    if (!Scanner.State().HasCode) {
      Input.clear();  // blanks and comments only
      Scanner.Reset();
      continue;
    }
    if (!Scanner.State().Complete()) continue;
    if (Terminal) AddToHistory(Input);
    if (AnswerHelp(Input)) {
      Input.clear();
      Scanner.Reset();
      continue;
    }
    const bool Exit = EvaluateInLoop(Input, Status);
    Input.clear();
    Scanner.Reset();
    if (Exit) {
      FWriter.Finish();
      return Status;
    }
  }
  // An unfinished input at the end is still handed over, so that its error is reported.
  if (Scanner.State().HasCode) EvaluateInLoop(Input, Status);
  if (Terminal) FWriter.Write("\n");  // the end of input left the cursor behind a prompt
  FWriter.Finish();
  return Status;
}

// ---- the program
// ------------------------------------------------------------------------------------------------

int RunCli(int argc, char** argv, std::istream& In, std::ostream& Out, std::ostream& Err,
           const TLineReader& Terminal) try {
  std::vector<std::string> Args;
  for (int I = 1; I < argc; ++I) Args.emplace_back(argv[I]);
  TCliOptions Options;
  const std::string Error = ParseArguments(Args, Options);
  if (!Error.empty()) {
    Out.flush();
    Err << "rulecraft: " << Error << '\n' << ShortUsage;
    Err.flush();
    return ExitUsage;
  }
  int Status = ExitOk;
  if (Options.Help) {
    Out << UsageText();
  } else if (Options.Version) {
    Out << "rulecraft " RULECRAFT_VERSION "\n";
  } else {
    try {
      TCliSession Session(In, Out, Err);
      Status = Session.Run(Options, Terminal);
    } catch (const std::bad_alloc&) {
      Out.flush();
      Err << SOutOfMemory << '\n';
      Status = ExitError;
    } catch (const std::exception& E) {
      Out.flush();
      Err << ErrorLine(E.what()) << '\n';
      Status = ExitError;
    }
  }
  // Output that could not be written (a full disk, a closed stream) is an error too.
  if (!Out.flush()) {
    Err << "Cannot write the output\n";
    if (Status == ExitOk) Status = ExitError;
  }
  Err.flush();
  return Status;
} catch (const std::bad_alloc&) {
  // The program's own work (reading its arguments, its session) ran out of memory; the engine's calls
  // report it as an engine error themselves.
  Out.flush();
  Err << SOutOfMemory << '\n';
  Err.flush();
  return ExitError;
}

}  // namespace rulecraft::cli
