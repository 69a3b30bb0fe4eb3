// Component streaming of an engine and copying one engine into another: malformed texts and their messages,
// the published properties, a whole system streamed into a
// fresh engine (same saved text, same facts, same firings, for a system of every kind of construct and for
// every program of tests/programs), and Assign.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../EngineProbes.h"
#include "../TestFiles.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/framework/Streaming.h"
#include "rulecraft/framework/StringList.h"
#include "rulecraft/parser/ParseException.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

/// Runs the engine with rules and facts watched; what it printed.
std::string Fired(TQuietEngine& Side) {
  Side.Output.clear();
  Side.Engine.SetWatch(TConstructWatches{cwRule, cwFact});
  try {
    Side.Engine.Run();
  } catch (const Exception& E) {
    Side.Output += "error: " + E.Message();
  }
  return Side.Output;
}

// A system with a construct of every kind: a defined type narrowed by a slot, templates extending one
// another, a deffunction a global's value and a rule call, a fact set, rules of several saliences, and facts
// asserted after the reset (one of them retracted, leaving a hole in the identifiers).
const char* const EveryKind = R"(
(deftype percent extends (type INTEGER) (range 0 100))
(deftemplate vehicle (slot wheels (default 4)))
(deftemplate car extends vehicle (slot doors) (slot load (type percent)))
(deftemplate order (slot item) (multislot tags) (slot quantity (type INTEGER) (default 1)))
(deffunction twice (?x) (* 2 ?x))
(defglobal ?*limit* = (twice 21) ?*name* = "a \"quoted\" name")
(deffacts stock (order (item bolt) (tags small metal) (quantity 3)) (car (doors 2) (load 50)))
(defrule big-order (declare (salience 10)) (order (item ?i) (quantity ?q&:(> ?q 2)))
   => (printout t "big " ?i " " (twice ?q) crlf) (assert (shipped ?i)))
(defrule any-car ?c <- (car (doors ?d)) => (printout t "car " ?d " " ?*limit* crlf) (retract ?c))
(defrule shipped (shipped ?i) (not (car)) => (printout t "done " ?i crlf))
)";

void LoadEveryKind(TInferenceEngine& Engine) {
  Engine.Parse(EveryKind, true);
  Engine.Reset();
  Engine.Assert("(order (item nut) (tags \"x y\") (quantity 7))");
  const int32_t Gone = Engine.Assert("(order (item washer))");
  Engine.Assert("(vehicle (wheels 3))");
  Engine.Retract(Gone);
}

}  // namespace

// ---- the text format
// ----------------------------------------------------------------------------------------

TEST(Streaming, MalformedTextsAreRefusedWithTheirLineBeforeTheEngineChanges) {
  auto Refused = [](const std::string& Text, const std::string& Message) {
    TQuietEngine Target;
    Target.Engine.Parse("(deftemplate kept (slot a))", true);
    ExpectError<EReadError>([&] { ReadComponentText(Text, Target.Engine); }, Message);
    EXPECT_TRUE(Target.Engine.GetFactTemplates().ContainsKey("kept")) << Text;
  };
  Refused("", "Stream read error at line 0: the text holds no object");
  Refused("thing\n", "Stream read error at line 1: expected \"object\" and a class name");
  Refused("object TInferenceEngine\n  Watch = [cwFact]\n", "Stream read error at line 2: expected \"end\"");
  Refused("object TInferenceEngine\n  FactsList = (\n    \"(a)\n  )\nend\n",
          "Stream read error at line 3: unterminated string");
  Refused("object TInferenceEngine\n  FactsList = (\n    \"(a)\"\n",
          "Stream read error at line 3: expected \")\"");
  Refused("object TInferenceEngine\n  FactsList = (\n    \"(a)\"\nend\n",
          "Stream read error at line 4: expected a string");
  Refused("object TInferenceEngine\n  X = \"\\q\"\nend\n",
          "Stream read error at line 2: unknown escape \\q in a string");
  Refused("object TInferenceEngine\n  X = \"\\x4\"\nend\n",
          "Stream read error at line 2: bad \\x escape in a string");
  Refused("object TInferenceEngine\n  Watch [cwFact]\nend\n", "Stream read error at line 2: expected \"=\"");
  Refused("object TInferenceEngine\n  Watch = [cw(Fact]\nend\n",
          "Stream read error at line 2: unexpected \"(\" in a set");
  Refused("object TInferenceEngine\n  Count = 12abc\nend\n",
          "Stream read error at line 2: bad value \"12abc\"");
  Refused("object TInferenceEngine\nend\nmore\n",
          "Stream read error at line 3: unexpected text after \"end\"");
  Refused("object TRules\nend\n",
          "Stream read error at line 1: the text holds a TRules, not a TInferenceEngine");
}

TEST(Streaming, UnknownPropertiesAndValuesNameTheirLine) {
  TQuietEngine Target;
  ExpectError<EReadError>(
      [&] { ReadComponentText("object TInferenceEngine\n  Colour = red\nend\n", Target.Engine); },
      "Stream read error at line 2: TInferenceEngine has no property Colour");
  ExpectError<EReadError>(
      [&] { ReadComponentText("object TInferenceEngine\n  Strategy = ssSideways\nend\n", Target.Engine); },
      "Stream read error at line 2: ssSideways is not a value of Strategy");
  ExpectError<EReadError>(
      [&] {
        ReadComponentText("object TInferenceEngine\n  Watch = [cwFact, cwNothing]\nend\n", Target.Engine);
      },
      "Stream read error at line 2: cwNothing is not a value of Watch");
  ExpectError<EReadError>(
      [&] {
        ReadComponentText("object TInferenceEngine\n  ParserMaxErrors = 99999999999\nend\n", Target.Engine);
      },
      "Stream read error at line 2: property ParserMaxErrors must be an integer");
  // A construct that does not parse raises the parser's error.
  EXPECT_THROW(ReadComponentText("object TInferenceEngine\n  Rules.Rules = (\n    \"(defrule\"\n  )\nend\n",
                                 Target.Engine),
               EIEParseException);
}

// ---- the published properties
// -------------------------------------------------------------------------------

TEST(Streaming, ANewEngineWritesOnlyItsImpliedTemplatesAndInitialFact) {
  TQuietEngine New;
  EXPECT_EQ(WriteComponentText(New.Engine),
            "object TInferenceEngine\n"
            "  FactTemplates.Templates = (\n"
            "    \"(deftemplate Initial-Fact \\\"(Implied)\\\"\\r\\n    (multislot __Data)\\r\\n)\"\n"
            "    \"(deftemplate __NOT-OR-TEST-CE* \\\"(Implied)\\\"\\r\\n    (multislot __Data)\\r\\n)\"\n"
            "  )\n"
            "  FactsList = (\n"
            "    \"(Initial-Fact)\"\n"
            "  )\n"
            "end\n");
}

TEST(Streaming, EveryPublishedPropertyReadsBackAndTheTargetsOwnSettingsGo) {
  TQuietEngine Source;
  TInferenceEngine& E = Source.Engine;
  E.SetDuplicateConstructs(dcError);
  E.SetPackages(TFunctionPackages{pStandard, pMath, pString});
  E.SetFactDuplication(true);
  E.SetFuzzyAutoTerms(false);
  E.SetFuzzyEqualsThreshold(0.25f);
  E.SetMinActivationStrength(0.125f);
  E.SetFuzzyInferenceMethod(fimBoundedSum);
  E.SetFuzzyCorrelationMethod(fcmProduct);
  E.SetParserErrorHandling(ehRaiseAllAtEnd);
  E.SetParserMaxErrors(3);
  E.SetRecordFirings(false);
  E.SetResetGlobals(false);
  E.SetStrategy(ssBreadthFirst);
  E.SetSymbolIndex(1);  // the first value a new engine does not have, written all the same
  E.SetTypeChecks(TTypeChecks{tcDynamic});
  E.SetWatch(TConstructWatches{cwFact, cwStatistics});
  const std::string Text = WriteComponentText(E);
  EXPECT_EQ(Text.substr(0, Text.find("  FactTemplates")),
            "object TInferenceEngine\n"
            "  DuplicateConstructs = dcError\n"
            "  Packages = [pStandard, pMath, pString]\n"
            "  FactDuplication = True\n"
            "  FuzzyAutoTerms = False\n"
            "  FuzzyEqualsThreshold = 0.25\n"
            "  MinActivationStrength = 0.125\n"
            "  FuzzyInferenceMethod = fimBoundedSum\n"
            "  FuzzyCorrelationMethod = fcmProduct\n"
            "  ParserErrorHandling = ehRaiseAllAtEnd\n"
            "  ParserMaxErrors = 3\n"
            "  RecordFirings = False\n"
            "  ResetGlobals = False\n"
            "  Strategy = ssBreadthFirst\n"
            "  SymbolIndex = 1\n"
            "  TypeChecks = [tcDynamic]\n"
            "  Watch = [cwFact, cwStatistics]\n");

  TQuietEngine Target;
  std::istringstream In(Text);
  ReadComponent(In, Target.Engine);
  TInferenceEngine& T = Target.Engine;
  EXPECT_EQ(T.GetDuplicateConstructs(), dcError);
  EXPECT_EQ(T.GetPackages(), (TFunctionPackages{pStandard, pMath, pString}));
  EXPECT_FALSE(T.ContainsUserFunction("sin"));  // the packages were installed anew
  EXPECT_TRUE(T.ContainsUserFunction("str-cat"));
  EXPECT_TRUE(T.GetFactDuplication());
  EXPECT_FALSE(T.GetFuzzyAutoTerms());
  EXPECT_EQ(T.GetFuzzyEqualsThreshold(), 0.25f);
  EXPECT_EQ(T.GetMinActivationStrength(), 0.125f);
  EXPECT_EQ(T.GetFuzzyInferenceMethod(), fimBoundedSum);
  EXPECT_EQ(T.GetFuzzyCorrelationMethod(), fcmProduct);
  EXPECT_EQ(T.GetParserErrorHandling(), ehRaiseAllAtEnd);
  EXPECT_EQ(T.GetParserMaxErrors(), 3);
  EXPECT_FALSE(T.GetRecordFirings());
  EXPECT_FALSE(T.GetResetGlobals());
  EXPECT_EQ(T.GetStrategy(), ssBreadthFirst);
  EXPECT_EQ(T.GetSymbolIndex(), 1);
  EXPECT_EQ(T.GetTypeChecks(), TTypeChecks{tcDynamic});
  EXPECT_EQ(T.GetWatch(), (TConstructWatches{cwFact, cwStatistics}));
  // With duplicates allowed, the streamed initial fact is not asserted beside one already there.
  EXPECT_EQ(FactLines(T), (std::vector<std::string>{"f-0 (Initial-Fact)"}));
  EXPECT_EQ(WriteComponentText(T), Text);

  // Reading a new engine's text puts every property back to a new engine's value.
  ReadComponentText(WriteComponentText(TInferenceEngine()), T);
  EXPECT_EQ(T.GetDuplicateConstructs(), dcOverwrite);
  EXPECT_TRUE(T.ContainsUserFunction("sin"));
  EXPECT_EQ(T.GetWatch(), TConstructWatches{});
  EXPECT_EQ(T.GetTypeChecks(), TTypeChecks{tcStatic});
  EXPECT_EQ(T.GetSymbolIndex(), 0);
  EXPECT_TRUE(T.GetRecordFirings());
}

// ---- whole systems
// ------------------------------------------------------------------------------------------

TEST(Streaming, ASystemOfEveryKindStreamedIntoAnotherEngineIsTheSameSystem) {
  TQuietEngine Source;
  LoadEveryKind(Source.Engine);
  const std::string Text = WriteComponentText(Source.Engine);
  // The lists come in the order they read back in.
  const char* Order[] = {"DefinedTypes.DefTypes",
                         "FactTemplates.Templates",
                         "UserFunctions.Functions",
                         "GlobalVariables.Variables",
                         "Rules.Rules",
                         "FactsList",
                         "FactSets"};
  size_t Last = 0;
  for (const char* Name : Order) {
    const size_t At = Text.find(std::string("  ") + Name + " = (\n");
    ASSERT_NE(At, std::string::npos) << Name;
    EXPECT_GT(At, Last) << Name;
    Last = At;
  }

  TQuietEngine Target;
  Target.Engine.Parse("(deftemplate leftover (slot a)) (assert (leftover (a 1)))", true);
  ReadComponentText(Text, Target.Engine);
  EXPECT_FALSE(Target.Engine.GetFactTemplates().ContainsKey("leftover"));
  EXPECT_EQ(WithoutDate(Target.Engine.GetExpertSystem()), WithoutDate(Source.Engine.GetExpertSystem()));
  EXPECT_EQ(WriteComponentText(Target.Engine), Text);
  // The facts come back in order, numbered afresh from 0 (the retracted fact's hole closes).
  std::vector<std::string> Expected = FactLines(Source.Engine);
  for (size_t I = 0; I < Expected.size(); ++I)
    Expected[I] = "f-" + std::to_string(I) + Expected[I].substr(Expected[I].find(' '));
  EXPECT_EQ(FactLines(Target.Engine), Expected);
  EXPECT_EQ(AgendaLines(Target.Engine).size(), AgendaLines(Source.Engine).size());
  const std::string Firings = Fired(Source);
  EXPECT_NE(Firings.find("big nut 14"), std::string::npos) << Firings;
  EXPECT_NE(Firings.find("car 2 42"), std::string::npos) << Firings;
  // The same rules fire in the same order; only the facts' identifiers differ.
  auto WithoutIds = [](std::string Out) {
    std::string Result;
    std::istringstream In(Out);
    for (std::string Line; std::getline(In, Line);) {
      for (size_t At = Line.find("f-"); At != std::string::npos; At = Line.find("f-", At + 2)) {
        size_t End = At + 2;
        while (End < Line.size() && std::isdigit(static_cast<unsigned char>(Line[End]))) ++End;
        Line.replace(At + 2, End - At - 2, "#");
      }
      Result += Line + "\n";
    }
    return Result;
  };
  EXPECT_EQ(WithoutIds(Fired(Target)), WithoutIds(Firings));
  // A reset brings back the same facts from the fact set.
  Source.Engine.Reset();
  Target.Engine.Reset();
  EXPECT_EQ(FactLines(Target.Engine), FactLines(Source.Engine));
}

TEST(Streaming, EveryProgramStreamedIntoAFreshEngineWritesTheSameTextAndFiresTheSameRules) {
  const std::vector<std::filesystem::path> Files =
      ProgramFiles(std::filesystem::path(RULECRAFT_TEST_DATA) / "programs");
  int Checked = 0;
  for (const auto& File : Files) {
    auto Beside = [&File](const char* Extension) {
      return std::filesystem::exists(std::filesystem::path(File).replace_extension(Extension));
    };
    // Programs that read input, need arguments or stop on purpose are left to the program tests.
    if (Beside(".in") || Beside(".args") || Beside(".status")) continue;
    SCOPED_TRACE(File.filename().string());
    TQuietEngine Original;
    try {
      Original.Engine.Parse(ReadFile(File), true);
    } catch (const Exception&) {
      continue;  // a program that loads files of its own, or ends itself: the persistence tests cover it
    }
    Original.Engine.Reset();
    const std::string Text = WriteComponentText(Original.Engine);
    TQuietEngine Loaded;
    try {
      ReadComponentText(Text, Loaded.Engine);
    } catch (const Exception& E) {
      ADD_FAILURE() << "the streamed engine does not read back: " << E.Message() << "\n" << Text;
      continue;
    }
    EXPECT_EQ(WriteComponentText(Loaded.Engine), Text);
    EXPECT_EQ(WithoutDate(Loaded.Engine.GetExpertSystem()), WithoutDate(Original.Engine.GetExpertSystem()));
    // After a reset the fact base holds no holes, so the identifiers agree too.
    EXPECT_EQ(FactLines(Loaded.Engine), FactLines(Original.Engine));
    EXPECT_EQ(AgendaLines(Loaded.Engine), AgendaLines(Original.Engine));
    EXPECT_EQ(Fired(Loaded), Fired(Original));
    ++Checked;
  }
  EXPECT_GE(Checked, 15);
}

// ---- Assign
// -------------------------------------------------------------------------------------------------

TEST(Assign, AnEngineCopiedIntoAnotherHoldsTheSameSystemAndSettings) {
  TQuietEngine Source;
  LoadEveryKind(Source.Engine);
  Source.Engine.SetStrategy(ssBreadthFirst);
  Source.Engine.SetDuplicateConstructs(dcIgnore);
  Source.Engine.SetParserMaxErrors(4);
  Source.Engine.SetWatch(TConstructWatches{cwRule});
  Source.Engine.SetPackages(TFunctionPackages{pStandard, pMath, pMiscellaneous});

  TQuietEngine Target;
  Target.Engine.Parse("(defrule other => (printout t \"other\" crlf)) (deffunction gone () 1)", true);
  Target.Engine.Assign(&Source.Engine);
  EXPECT_EQ(Target.Output, "");  // copying prints no watch lines
  EXPECT_EQ(Target.Engine.GetRules().Get("other"), nullptr);
  EXPECT_FALSE(Target.Engine.ContainsUserFunction("gone"));
  EXPECT_EQ(Target.Engine.GetStrategy(), ssBreadthFirst);
  EXPECT_EQ(Target.Engine.GetDuplicateConstructs(), dcIgnore);
  EXPECT_EQ(Target.Engine.GetParserMaxErrors(), 4);
  EXPECT_EQ(Target.Engine.GetWatch(), TConstructWatches{cwRule});
  EXPECT_EQ(Target.Engine.GetPackages(), (TFunctionPackages{pStandard, pMath, pMiscellaneous}));
  EXPECT_EQ(WithoutDate(Target.Engine.GetExpertSystem()), WithoutDate(Source.Engine.GetExpertSystem()));
  // The facts are asserted anew, in order, before the rules come, and the rules are primed with them.
  ASSERT_EQ(Target.Engine.GetFacts().Count(), Source.Engine.GetFacts().Count());
  EXPECT_EQ(Target.Engine.GetAgendaCount(), Source.Engine.GetAgendaCount());
  const std::string SourceFired = Fired(Source);
  const std::string TargetFired = Fired(Target);
  EXPECT_NE(TargetFired.find("big nut 14"), std::string::npos) << TargetFired;
  EXPECT_EQ(std::count(TargetFired.begin(), TargetFired.end(), '\n'),
            std::count(SourceFired.begin(), SourceFired.end(), '\n'));
  // The copy shares nothing: changing the source leaves it alone.
  Source.Engine.Clear();
  Target.Engine.Reset();
  EXPECT_EQ(Target.Engine.GetFacts().Count(), 3);
  EXPECT_EQ(Target.Engine.GetRules().Count(), 3);
}

TEST(Assign, ItselfChangesNothingAndAnotherClassIsRefused) {
  TQuietEngine Engine;
  LoadEveryKind(Engine.Engine);
  const std::string Before = WriteComponentText(Engine.Engine);
  Engine.Engine.Assign(&Engine.Engine);
  EXPECT_EQ(WriteComponentText(Engine.Engine), Before);
  TStringList Lines;
  ExpectError<EConvertError>([&] { Engine.Engine.Assign(&Lines); },
                             "Cannot assign a TStringList to a TInferenceEngine");
  ExpectError<EConvertError>([&] { Engine.Engine.Assign(nullptr); },
                             "Cannot assign a nil to a TInferenceEngine");
  EXPECT_EQ(WriteComponentText(Engine.Engine), Before);
}
