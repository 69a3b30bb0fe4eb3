#pragma once
// The rulecraft command-line program: loads rule-language files into one engine, evaluates -e texts and
// offers an interactive read-eval-print loop. Everything but main lives here so that tests can drive it
// through streams.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "rulecraft/core/Enums.h"
#include "rulecraft/core/ParenthesisScanner.h"
#include "rulecraft/engine/InferenceEngine.h"

namespace rulecraft::cli {

/// Exit statuses of the program.
inline constexpr int ExitOk = 0;
inline constexpr int ExitError = 1;
inline constexpr int ExitUsage = 2;

/// The interactive prompts: for a new input and for the further lines of an unfinished one.
inline constexpr std::string_view Prompt = "rulecraft> ";
inline constexpr std::string_view ContinuationPrompt = "...> ";

/// What the command line asks for.
struct TCliOptions {
  std::vector<std::string> Files;  // in order; "-" is the standard input
  std::vector<std::string> Evals;  // -e texts, evaluated after the files in order
  TConstructWatches Watches;
  TSearchStrategy Strategy = ssDepthFirst;        // --strategy
  TDuplicateConstructs Duplicates = dcOverwrite;  // --duplicates
  int32_t MaxFacts = 0;                           // --max-facts N (0: no limit)
  int32_t MaxFirings = 0;                         // --max-firings N, per run (0: no limit)
  bool NoFiles = false;                           // --no-files: the file functions are refused
  std::string Sandbox;                            // --sandbox DIR: the file functions stay inside DIR
  bool Interactive = false;                       // -i, or neither files nor -e given
  bool Quiet = false;                             // -q: files and -e texts run without echoing their results
  bool Help = false;
  bool Version = false;
};

/// Reads the arguments after the program name. Returns an empty text on success, otherwise the reason the
/// command line is bad (the caller reports it as a usage error). --help and --version end the reading.
std::string ParseArguments(const std::vector<std::string>& Args, TCliOptions& Options);

/// Adds the watches named in a comma-separated list (the names the rule language's watch function takes);
/// an unknown or empty name is returned as the error, an empty text means success.
std::string ParseWatchNames(std::string_view Names, TConstructWatches& Watches);

/// Where a piece of input stands after a scan: whether it holds anything besides blanks and comments, how
/// deeply its parentheses are open, whether it ends inside a string, and whether a ")" closed more than was
/// open.
struct TInputState {
  int Depth = 0;
  bool InString = false;
  bool HasCode = false;
  bool StrayClose = false;
  /// True when the input can be evaluated: its parentheses balance outside strings, or a stray ")" makes
  /// more input pointless (the parser reports it).
  bool Complete() const noexcept { return StrayClose || (HasCode && !InString && Depth == 0); }
};

/// Follows input as it arrives, piece by piece, with the library's parenthesis scanner: strings are "..."
/// with backslash escapes, a ";" outside a string comments out the rest of its line.
class TInputScanner {
 public:
  void Feed(std::string_view Text);
  const TInputState& State() const noexcept { return FState; }
  void Reset() noexcept { *this = TInputScanner(); }

 private:
  TParenthesisScanner FScanner;
  TInputState FState;
};

/// The state of Text scanned as a whole.
TInputState ScanInput(std::string_view Text);

/// Text with every CR LF turned into LF.
std::string ToUnixLineEnds(std::string_view Text);

/// An error message as one line of the error stream: CR LF turned into LF, trailing line breaks dropped.
std::string ErrorLine(std::string_view Message);

/// Writes engine output to a stream, turning CR LF into LF also when the pair is split between two writes.
class TOutputWriter {
 public:
  explicit TOutputWriter(std::ostream& Out) : FOut(Out) {}
  void Write(std::string_view Text);
  /// Flushes the stream; a CR that ended the last write stays held back (a LF may still follow).
  void Flush();
  /// Writes a held-back CR and flushes the stream: the output is over.
  void Finish();
  /// True when nothing was written yet or the last character written was a line feed.
  bool AtLineStart() const noexcept { return FAtLineStart && !FPendingCR; }

 private:
  std::ostream& FOut;
  bool FPendingCR = false;
  bool FAtLineStart = true;
};

/// Reads one line of interactive input after showing Prompt; false at the end of input.
using TLineReader = std::function<bool(const std::string& Prompt, std::string& Line)>;

/// A line reader with editing and history for a terminal on the standard input (plain reading with a prompt
/// when the line editor cannot be loaded). Tab completes the words of the completion source; the history is
/// kept in ~/.rulecraft_history (the file RULECRAFT_HISTORY names instead, none when it is empty), at most
/// 1000 entries, written after each input (AddToHistory).
TLineReader MakeTerminalReader();

/// Remembers a complete input typed at the prompt as one history entry (its lines joined by blanks) and
/// keeps the history file; nothing when no terminal reader with line editing was made.
void AddToHistory(const std::string& Input);

/// The words the prompt's Tab completes; asked for afresh at each completion.
using TCompletionSource = std::function<std::vector<std::string>()>;
/// Sets (or with an empty source clears) what Tab completes.
void SetCompletionSource(TCompletionSource Source);

/// One run of the program: an engine with its output on Out, its input on In and errors reported on Err.
class TCliSession {
 public:
  TCliSession(std::istream& In, std::ostream& Out, std::ostream& Err);
  TCliSession(const TCliSession&) = delete;
  TCliSession& operator=(const TCliSession&) = delete;

  TInferenceEngine& GetEngine() noexcept { return FEngine; }

  /// Evaluates one program text; Engine.Parse(Text, true) unless replaced.
  std::function<void(const std::string& Text)> Evaluate;

  /// Sets the watches, loads the files, evaluates the -e texts and, when asked, runs the interactive loop
  /// (through Terminal when it is set, else reading In plainly without prompts). Returns the exit status.
  int Run(const TCliOptions& Options, const TLineReader& Terminal = {});

  /// The interactive loop alone; the exit status. With a terminal, Tab completes CompletionWords().
  int Interact(const TLineReader& Terminal = {});

  /// What Tab completes at the prompt: the engine's function names (built-in and defined), the construct
  /// keywords and the names of its rules, templates, types and fact sets, the watch names and "help".
  std::vector<std::string> CompletionWords();

 private:
  /// Writes Text printed to the logical name Name: werror and wwarning to the error stream, nil nowhere,
  /// every other name to the output.
  void Route(const std::string& Name, const std::string& Text);
  /// The whole text of a file, or of In for "-"; raises an Exception when it cannot be read.
  std::string ReadProgram(const std::string& FileName);
  /// Answers "help" and "help NAME" typed at the prompt; false for any other input.
  bool AnswerHelp(const std::string& Input);
  /// Answers a dialog of the rule language on the terminal: the message on Out, the answer a line of In;
  /// the end of input cancels.
  bool AnswerDialog(const TDialogRequest& Request, std::string& Answer);
  /// The next line of In without its line end; false at the end of input.
  bool ReadAnswer(std::string& Line);
  /// Reports an error on Err after flushing the output.
  void ReportError(std::string_view Message);
  /// Evaluates Text in the loop: errors are reported, an exit request returns true with its status.
  bool EvaluateInLoop(const std::string& Text, int& Status);

  std::istream& FIn;
  std::ostream& FErr;
  TOutputWriter FWriter;
  TInferenceEngine FEngine;
};

/// The program: reads the command line, runs a session and returns the exit status.
int RunCli(int argc, char** argv, std::istream& In, std::ostream& Out, std::ostream& Err,
           const TLineReader& Terminal = {});

/// The text --help prints.
std::string UsageText();
/// The text "help" prints at the prompt: what to type first.
std::string HelpText();

}  // namespace rulecraft::cli
