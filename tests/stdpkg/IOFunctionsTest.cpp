// The I/O functions: printout and format to the terminal and to named streams, read and readline from the
// terminal and from files, the open modes, close, capture with dribble, and remove and rename.
#include <gtest/gtest.h>

#include <deque>

#include "StdPkgTest.h"
#include "rulecraft/packages/IOFunctions.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class IOFunctions : public TStdPkgTest {
 protected:
  void SetUp() override {
    TStdPkgTest::SetUp();
    // The engine fixture's own remove (a retraction) stands in for the package's file function.
    Engine->GetUserFunctionTable().Remove("remove");
    Engine->AddUserFunction(MakeRef<TRemoveFunction>());
  }

  /// Answers terminal reads with Input's lines, then with empty lines (the end of the input).
  void TerminalInput(std::deque<std::string> Input) {
    Terminal = std::move(Input);
    Engine->OnReadLine = [this](TObject*, const std::string& InID, std::string& Line) {
      ReadNames.push_back(InID);
      Line.clear();
      if (!Terminal.empty()) {
        Line = Terminal.front();
        Terminal.pop_front();
      }
    };
    Engine->OnReadToken = Engine->OnReadLine;
  }

  /// Expects Body to raise an EIEException with exactly Message.
  template <class F>
  void ExpectEngineError(F Body, const std::string& Message) {
    try {
      Body();
      ADD_FAILURE() << "expected error: " << Message;
    } catch (const EIEException& E) {
      EXPECT_EQ(E.Message(), Message);
    } catch (const std::exception& E) {
      ADD_FAILURE() << "not an engine error: " << E.what();
    }
  }

  std::deque<std::string> Terminal;
  std::vector<std::string> ReadNames;
};

TEST_F(IOFunctions, PrintoutWritesEachKindAsItsTextWithoutSeparators) {
  EXPECT_EQ(Eval("(printout t \"a\" 1 2.5 crlf)"), FCNil);
  EXPECT_EQ(Output, "a12.5000\r\n");
  Output.clear();
  // Only the atom crlf is a line break; a multifield prints in parentheses with its trailing blank.
  Eval("(printout t \"crlf\" CRLF \"x\" (create$ a \"b\" 1) (create$) nil)");
  EXPECT_EQ(Output, "crlfCRLFx(a \"b\" 1 )()");
  Output.clear();
  // Other kinds print their text form: a fact id as the fact's handle.
  EXPECT_EQ(Show("(assert (item))"), "<Fact-1>");
  Eval("(printout t (assert (other)) \"|\" FALSE)");
  EXPECT_EQ(Output, "<Fact-2>|FALSE");
  Output.clear();
  // No argument at all prints the empty text to the terminal.
  EXPECT_EQ(Eval("(printout)"), FCNil);
  EXPECT_EQ(Output, "");
  // The text is built first, the logical name read last; an unknown name reaches the handler with its name.
  Eval("(printout (log name) (log text) x)");
  EXPECT_EQ(Log, (Lines{"text", "name"}));
  EXPECT_EQ(Output, "[TRUE]TRUEx");
  Engine->OnPrintOut = nullptr;
  ExpectEngineError([&] { Eval("(printout nowhere x)"); },
                    "Function is unimplemented or unassigned: printout");
  EXPECT_EQ(Eval("(printout t x)"), FCNil);  // terminal text without a handler is dropped
}

TEST_F(IOFunctions, PrintoutToNilDiscardsItsTextButEvaluatesIt) {
  EXPECT_EQ(Eval("(printout nil \"lost\" (log text) crlf)"), FCNil);
  EXPECT_EQ(Output, "");
  EXPECT_EQ(Log, (Lines{"text"}));
  Eval("(bind ?where nil)");
  Eval("(printout ?where \"lost\")");
  EXPECT_EQ(Output, "");
  // Only the atom nil discards: the terminal's names still print, and without a handler nothing raises.
  Eval("(printout t kept)");
  EXPECT_EQ(Output, "kept");
  Engine->OnPrintOut = nullptr;
  EXPECT_EQ(Eval("(printout nil x)"), FCNil);
}

TEST_F(IOFunctions, FormatRewritesItsDirectivesAndPrintsOnly) {
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {"(format t \"%d items%n\" 3)", "3 items\r\n"},
      {"(format t \"%5.2f|\" 3.14159)", " 3.14|"},
      {"(format t \"%s\" \"abc\")", "\"abc\""},
      {"(format t \"total\" 1 \"x\")", "total 1 x"},
      {"(format t \"%d %d\" 1)", "1 %d"},
      {"(format t \"%y %d\" 1 2)", "%y %d"},
      {"(format t \"%%d\" 1)", "%d"},
      {"(format t \"%n\")", "\r\n"},
      {"(format t \"%-4d|%x|%.3d\" 7 255 7)", "7   |FF|007"},
      {"(format t \"%s %s\" (create$ a b) 2.5)", "a b  2.5000"},
      {"(format t \"%5n\" 1)", "%5n"},
  };
  for (const auto& [Call, Expected] : Cases) {
    SCOPED_TRACE(Call);
    Output.clear();
    EXPECT_EQ(Eval(Call), FCNil);  // the text is printed, not returned
    EXPECT_EQ(Output, Expected);
  }
  // Values first, then the control string, then the logical name.
  Output.clear();
  Eval("(format (log name) (log control) (log value))");
  EXPECT_EQ(Log, (Lines{"value", "control", "name"}));
  EXPECT_EQ(Output, "[TRUE]TRUE TRUE");
  // A value the directive cannot read prints nothing.
  Output.clear();
  ExpectEngineError([&] { Eval("(format t \"%d\" a)"); }, "Not a integer type.  Value (a) is a dtAtom type");
  EXPECT_EQ(Output, "");
}

TEST_F(IOFunctions, TerminalReadsComeFromTheHandlers) {
  TerminalInput({"hello world", "", "  TRUE rest", "\"a string\" x", "42 x", "2.5", "nil", "abc", ""});
  EXPECT_EQ(Show("(readline)"), "\"hello world\"");
  EXPECT_EQ(Eval("(readline)"), FCEOF);  // an empty line reads as the end of the input
  EXPECT_EQ(Eval("(read)"), FCTrue);     // the shared constants for their texts; the rest of the line goes
  const IIEValue String = Eval("(read t)");
  EXPECT_EQ(String->GetDType(), dtString);
  EXPECT_EQ(String->GetAsString(), "a string");
  const IIEValue Integer = Eval("(read)");
  EXPECT_EQ(Integer->GetDType(), dtInteger);
  EXPECT_EQ(Integer->GetAsInteger(), 42);
  EXPECT_EQ(Eval("(read)")->GetDType(), dtFloat);
  EXPECT_EQ(Eval("(read)"), FCNil);
  // A logical name that is not open is the terminal's, and the handler is told the name.
  EXPECT_EQ(Show("(read keyboard)"), "abc");
  EXPECT_EQ(Eval("(read)"), FCEOF);
  EXPECT_EQ(Eval("(readline)"), FCEOF);
  EXPECT_EQ(ReadNames, (Lines{"", "", "", "t", "", "", "", "keyboard", "", ""}));

  Engine->OnReadLine = nullptr;
  Engine->OnReadToken = nullptr;
  const std::string Warning =
      " event has not been implemented or unassigned.\r\nWarning: Implementation of this function requires "
      "a blocking mechanism, \r\nsuch as ShowModal, or the use of threads";
  ExpectEngineError([&] { Eval("(readline)"); }, "The readline" + Warning);
  ExpectEngineError([&] { Eval("(read t)"); }, "The read" + Warning);
}

TEST_F(IOFunctions, FilesRoundTripThroughOpenPrintoutReadAndClose) {
  WriteFile("data.txt", "old content that is replaced");
  EXPECT_EQ(Show("(open " + Quoted("data.txt") + " out \"w\")"), "out");
  Eval("(printout out \"first line\" crlf 42 \" rest of line\" crlf crlf \"  x y\" crlf)");
  Eval("(format out \"%d-%s%n\" 7 \"q\")");
  EXPECT_EQ(Output, "");  // nothing reached the terminal
  EXPECT_EQ(Show("(close out)"), "TRUE");
  EXPECT_EQ(ReadFile("data.txt"), "first line\r\n42 rest of line\r\n\r\n  x y\r\n7-\"q\"\r\n");

  // Lines, the empty one as the empty string; past the end, always EOF.
  Eval("(open " + Quoted("data.txt") + " in)");
  for (const char* Expected :
       {"\"first line\"", "\"42 rest of line\"", "\"\"", "\"  x y\"", "\"7-\\\"q\\\"\"", "EOF", "EOF"})
    EXPECT_EQ(Show("(readline in)"), Expected);
  Eval("(close in)");
  // Tokens: the first of each line holding one; lines without a token are passed over.
  Eval("(open " + Quoted("data.txt") + " in \"r\")");
  const IIEValue Atom = Eval("(read in)");
  EXPECT_EQ(Atom->GetDType(), dtAtom);
  EXPECT_EQ(Atom->GetAsString(), "first");
  EXPECT_EQ(Eval("(read in)")->GetDType(), dtInteger);
  EXPECT_EQ(Show("(read in)"), "x");
  EXPECT_EQ(Show("(read in)"), "7-");
  EXPECT_EQ(Eval("(read in)"), FCEOF);
  EXPECT_EQ(Eval("(read in)"), FCEOF);
  // A stream opened for reading refuses text, naming the stream and its file.
  ExpectEngineError([&] { Eval("(printout in x)"); }, "Cannot write to logical name in (file \"" +
                                                          Path("data.txt") +
                                                          "\"). Text stream is not open for writing");
  EXPECT_EQ(Engine->GetIOStreams().Count(), 1);
  // Reading and writing: what is written follows what was read.
  Eval("(open " + Quoted("data.txt") + " both \"r+\")");
  EXPECT_EQ(Show("(readline both)"), "\"first line\"");
  Eval("(printout both \"XY\")");
  EXPECT_EQ(Show("(readline both)"), "\" rest of line\"");
  // close without names closes every stream, which writes out what they hold.
  EXPECT_EQ(Show("(close)"), "TRUE");
  EXPECT_EQ(Engine->GetIOStreams().Count(), 0);
  EXPECT_EQ(ReadFile("data.txt"), "first line\r\nXY rest of line\r\n\r\n  x y\r\n7-\"q\"\r\n");
  // A closed name is no stream any more: its text goes to the handler with the name.
  Eval("(printout out z)");
  EXPECT_EQ(Output, "[out]z");
}

// A named stream tells an empty line from its end, whatever line breaks the file uses; the terminal cannot,
// so an empty line typed there still reads as EOF.
TEST_F(IOFunctions, BlankLinesOfANamedStreamReadAsEmptyStrings) {
  WriteFile("blank.txt", "\nfirst\n\n\r\n\rsecond\r\n\n");
  Eval("(open " + Quoted("blank.txt") + " in)");
  for (const char* Expected :
       {"\"\"", "\"first\"", "\"\"", "\"\"", "\"\"", "\"second\"", "\"\"", "EOF", "EOF"})
    EXPECT_EQ(Show("(readline in)"), Expected);
  Eval("(close in)");
  // A last line without a line break is a line; a file holding nothing reads as EOF at once.
  WriteFile("tail.txt", "x\n\ny");
  WriteFile("empty.txt", "");
  Eval("(open " + Quoted("tail.txt") + " tail)");
  Eval("(open " + Quoted("empty.txt") + " empty)");
  for (const char* Expected : {"\"x\"", "\"\"", "\"y\"", "EOF"}) EXPECT_EQ(Show("(readline tail)"), Expected);
  EXPECT_EQ(Eval("(readline empty)"), FCEOF);
  // A loop reading to EOF sees every line of the file, blank ones included.
  Engine->Parse(
      "(deffunction count-lines (?name) (bind ?n 0)"
      "  (while (neq (readline ?name) EOF) do (bind ?n (+ ?n 1))) ?n)",
      true);
  Eval("(open " + Quoted("blank.txt") + " again)");
  EXPECT_EQ(Show("(count-lines again)"), "7");
  TerminalInput({"typed", ""});
  EXPECT_EQ(Show("(readline)"), "\"typed\"");
  EXPECT_EQ(Eval("(readline t)"), FCEOF);
}

TEST_F(IOFunctions, AppendWritesAfterTheContentAndCreatesMissingFiles) {
  WriteFile("log.txt", "one\r\n");
  EXPECT_EQ(Show("(open " + Quoted("log.txt") + " log \"a\")"), "log");
  Eval("(printout log \"two\" crlf)");
  Eval("(close log)");
  Eval("(open " + Quoted("log.txt") + " log a)");
  Eval("(printout log three)");
  Eval("(close log)");
  EXPECT_EQ(ReadFile("log.txt"), "one\r\ntwo\r\nthree");
  EXPECT_EQ(Show("(open " + Quoted("new.txt") + " \"log\" \"a\")"), "\"log\"");  // the name as given
  Eval("(printout log new)");
  Eval("(close log)");
  EXPECT_EQ(ReadFile("new.txt"), "new");
}

TEST_F(IOFunctions, BadModesMissingFilesAndUnknownNamesAreErrors) {
  // The mode is checked before the file is touched: nothing is created, replaced or registered.
  WriteFile("keep.txt", "kept");
  for (const char* Mode : {"x", "R", "W", "", "rw", "r+ "}) {
    SCOPED_TRACE(Mode);
    ExpectEngineError([&] { Eval("(open " + Quoted("keep.txt") + " f \"" + Mode + "\")"); },
                      std::string("Invalid File Access Specifier: \"") + Mode + "\"");
    ExpectEngineError([&] { Eval("(open " + Quoted("made.txt") + " f \"" + Mode + "\")"); },
                      std::string("Invalid File Access Specifier: \"") + Mode + "\"");
  }
  EXPECT_EQ(ReadFile("keep.txt"), "kept");
  EXPECT_FALSE(std::filesystem::exists(Dir / "made.txt"));
  EXPECT_EQ(Engine->GetIOStreams().Count(), 0);

  // Files that cannot be opened or created: an engine error naming the file, nothing registered.
  for (const char* Mode : {"r", "r+"})
    ExpectEngineError([&] { Eval("(open " + Quoted("missing.txt") + " f " + Mode + ")"); },
                      "Cannot open file \"" + Path("missing.txt") + "\". No such file or directory");
  for (const char* Mode : {"w", "a"})
    ExpectEngineError([&] { Eval("(open " + Quoted("no/such.txt") + " f " + Mode + ")"); },
                      "Cannot create file \"" + Path("no/such.txt") + "\". No such file or directory");
  ExpectEngineError([&] { Eval("(open " + Quoted("") + " f w)"); },
                    "Cannot create file \"" + Path("") + "\". Is a directory");
  EXPECT_EQ(Engine->GetIOStreams().Count(), 0);
  EXPECT_FALSE(std::filesystem::exists(Dir / "missing.txt"));

  // close: every name must be open; the names before a bad one are closed.
  Eval("(open " + Quoted("keep.txt") + " a)");
  ExpectEngineError([&] { Eval("(close a nosuch)"); }, "Invalid stream name: nosuch");
  EXPECT_EQ(Engine->GetIOStreams().Count(), 0);
  ExpectEngineError([&] { Eval("(close a)"); }, "Invalid stream name: a");
  EXPECT_EQ(Show("(close)"), "TRUE");  // closing nothing is fine
  // Opening a name again replaces the stream under the engine's default duplicate handling.
  Eval("(open " + Quoted("keep.txt") + " f)");
  Eval("(open " + Quoted("other.txt") + " f w)");
  Eval("(printout f other)");
  Eval("(close f)");
  EXPECT_EQ(ReadFile("other.txt"), "other");
}

TEST_F(IOFunctions, RemoveAndRenameAnswerWhetherTheyWorked) {
  WriteFile("a.txt", "A");
  WriteFile("b.txt", "B");
  std::filesystem::create_directory(Dir / "folder");
  // rename reads the new name first; it never replaces an existing file.
  EXPECT_EQ(Show("(rename (log " + Quoted("a.txt") + ") (log " + Quoted("c.txt") + "))"), "FALSE");
  EXPECT_EQ(Log, (Lines{Quoted("c.txt"), Quoted("a.txt")}));  // both calls answered TRUE: no such files
  EXPECT_EQ(Show("(rename " + Quoted("a.txt") + " " + Quoted("c.txt") + ")"), "TRUE");
  EXPECT_FALSE(std::filesystem::exists(Dir / "a.txt"));
  EXPECT_EQ(ReadFile("c.txt"), "A");
  EXPECT_EQ(Show("(rename " + Quoted("c.txt") + " " + Quoted("b.txt") + ")"), "FALSE");
  EXPECT_EQ(ReadFile("b.txt"), "B");
  EXPECT_EQ(ReadFile("c.txt"), "A");
  EXPECT_EQ(Show("(rename " + Quoted("a.txt") + " " + Quoted("d.txt") + ")"), "FALSE");
  EXPECT_EQ(Show("(rename \"\" " + Quoted("d.txt") + ")"), "FALSE");

  EXPECT_EQ(Show("(remove " + Quoted("c.txt") + ")"), "TRUE");
  EXPECT_FALSE(std::filesystem::exists(Dir / "c.txt"));
  EXPECT_EQ(Show("(remove " + Quoted("c.txt") + ")"), "FALSE");
  EXPECT_EQ(Show("(remove " + Quoted("folder") + ")"), "FALSE");  // folders are not files
  EXPECT_TRUE(std::filesystem::is_directory(Dir / "folder"));
  EXPECT_EQ(Show("(remove \"\")"), "FALSE");
  EXPECT_TRUE(std::filesystem::exists(Dir / "b.txt"));
}

TEST_F(IOFunctions, DribbleCapturesTerminalOutputOnly) {
  WriteFile("capture.txt", "old");
  Eval("(open " + Quoted("named.txt") + " named w)");
  EXPECT_EQ(Show("(dribble-on " + Quoted("capture.txt") + ")"), "TRUE");
  Eval("(printout t \"to the file\" crlf)");
  Eval("(format other \"%d\" 5)");  // names other than t and the empty one are not captured
  Eval("(printout named \"to the stream\")");
  Eval("(printout)");
  EXPECT_EQ(Output, "[other]5");
  EXPECT_EQ(Show("(dribble-off)"), "TRUE");
  EXPECT_EQ(ReadFile("capture.txt"), "to the file\r\n");
  Eval("(printout t after)");
  EXPECT_EQ(Output, "[other]5after");
  EXPECT_EQ(Show("(dribble-off)"), "TRUE");  // nothing to stop

  // A second capture replaces the first, whose file keeps what it received.
  Eval("(dribble-on " + Quoted("first.txt") + ")");
  Eval("(printout t one)");
  Eval("(dribble-on " + Quoted("second.txt") + ")");
  Eval("(printout t two)");
  Eval("(dribble-off)");
  EXPECT_EQ(ReadFile("first.txt"), "one");
  EXPECT_EQ(ReadFile("second.txt"), "two");
  // A file that cannot be created answers FALSE, and the terminal output stays where it was.
  EXPECT_EQ(Show("(dribble-on " + Quoted("no/such.txt") + ")"), "FALSE");
  Output.clear();
  Eval("(printout t visible)");
  EXPECT_EQ(Output, "visible");
  Eval("(close named)");
  EXPECT_EQ(ReadFile("named.txt"), "to the stream");
  // A capture whose last text cannot be written ends all the same, answering FALSE.
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_EQ(Show("(dribble-on \"/dev/full\")"), "TRUE");
    Eval("(printout t lost)");
    EXPECT_EQ(Show("(dribble-off)"), "FALSE");
    Eval("(printout t again)");
    EXPECT_EQ(Output, "visibleagain");
  }
}

}  // namespace
