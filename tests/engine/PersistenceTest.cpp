// Saving and loading whole systems and single kinds of construct: the saved text's header and sections, a
// saved system read into a fresh engine (same text, same facts, same firings for every program of
// tests/programs), the per-kind savers and loaders and what each clears first, files that cannot be
// opened, and facts that outlive their engine.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../EngineProbes.h"
#include "../TestFiles.h"
#include "rulecraft/collections/TextStream.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Exception.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

/// What a saver writes into a text stream.
template <class FSave>
std::string Saved(FSave Save) {
  std::ostringstream Text;
  {
    TGTextStream Stream(static_cast<std::ostream&>(Text));
    Save(Stream);
  }
  return Text.str();
}

/// A loader reading Text through a text stream.
template <class FLoad>
void LoadText(const std::string& Text, FLoad Load) {
  std::istringstream In(Text);
  TGTextStream Stream(static_cast<std::istream&>(In));
  Load(Stream);
}

// ---- every program, saved and loaded into a fresh engine
// ---------------------------------------------------------

// Programs the driver leaves out, and why; the rest must load without an error.
std::string SkipReason(const std::filesystem::path& File) {
  static const std::map<std::string, std::string> Named = {
      {"save-load", "saves to and loads from a file of its own"},
      {"saved-global", "saves to and loads from a file of its own"},
      {"manners-16", "loads a benchmark program by a path relative to the program's folder"},
  };
  const auto Found = Named.find(File.stem().string());
  if (Found != Named.end()) return Found->second;
  auto Beside = [&File](const char* Extension) {
    return std::filesystem::exists(std::filesystem::path(File).replace_extension(Extension));
  };
  if (Beside(".in")) return "reads its standard input (dialogs, readline)";
  if (Beside(".args")) return "needs program arguments (limits, sandbox, script mode)";
  if (Beside(".status")) return "stops with an error or an exit status on purpose";
  return std::string();
}

// Programs whose rules of equal salience compete for the same facts, so that the order in which the rules
// were defined decides which fires first.
const std::set<std::string> OrderSensitive = {"negated-locals", "sudoku"};

std::vector<std::string> Sorted(std::vector<std::string> Lines) {
  std::sort(Lines.begin(), Lines.end());
  return Lines;
}

/// The facts' texts without their identifiers.
std::vector<std::string> FactTexts(TInferenceEngine& Engine) {
  std::vector<std::string> Lines;
  Engine.GetFacts().ForEach([&Lines](const IFact& Fact) { Lines.push_back(Fact->GetToString()); });
  return Lines;
}

TEST(Persistence, EveryProgramSavedAndLoadedWritesTheSameTextAndFiresTheSameRules) {
  const std::vector<std::filesystem::path> Files =
      ProgramFiles(std::filesystem::path(RULECRAFT_TEST_DATA) / "programs");
  int Checked = 0;
  for (const auto& File : Files) {
    if (!SkipReason(File).empty()) continue;
    SCOPED_TRACE(File.filename().string());
    TQuietEngine Original;
    try {
      Original.Engine.Parse(ReadFile(File), true);
    } catch (const EIEExit&) {
      // the program ended itself after its work
    } catch (const Exception& E) {
      ADD_FAILURE() << "the program does not load: " << E.Message();
      continue;
    }
    Original.Engine.Reset();
    const std::string Text = Original.Engine.GetExpertSystem();

    TQuietEngine Loaded;
    Loaded.Engine.SetStrategy(Original.Engine.GetStrategy());  // a property, not part of the text
    try {
      Loaded.Engine.SetExpertSystem(Text);
    } catch (const Exception& E) {
      ADD_FAILURE() << "the saved system does not load: " << E.Message() << "\n" << Text;
      continue;
    }
    EXPECT_EQ(WithoutDate(Loaded.Engine.GetExpertSystem()), WithoutDate(Text));
    EXPECT_EQ(FactLines(Loaded.Engine), FactLines(Original.Engine));

    EXPECT_EQ(Sorted(AgendaLines(Loaded.Engine)), Sorted(AgendaLines(Original.Engine)));

    // The same rules fire on the same facts, with the same output. The saved text lists the rules by name,
    // so where activations of equal salience compete, the order of definition may pick another one first:
    // for those programs the facts they leave are compared as a set.
    for (TQuietEngine* Side : {&Original, &Loaded}) {
      Side->Output.clear();
      Side->Engine.SetWatch(TConstructWatches{cwRule, cwFact});
      try {
        Side->Engine.Run();
      } catch (const Exception& E) {
        Side->Output += "error: " + E.Message();
      }
    }
    if (OrderSensitive.count(File.stem().string())) {
      EXPECT_EQ(Sorted(FactTexts(Loaded.Engine)), Sorted(FactTexts(Original.Engine)));
    } else {
      EXPECT_EQ(Loaded.Output, Original.Output);
      EXPECT_EQ(FactLines(Loaded.Engine), FactLines(Original.Engine));
    }
    ++Checked;
  }
  EXPECT_GE(Checked, 15);
}

// ---- the whole system
// -------------------------------------------------------------------------------------

TEST(Persistence, NewEngineWritesTheHeaderCountsAndInitialFact) {
  TQuietEngine New;
  const std::string Text = New.Engine.GetExpertSystem();
  EXPECT_EQ(Text.rfind("; *************************\r\n; Inference Engine v2.1000 Output\r\n; Created: ", 0),
            0u)
      << Text;
  EXPECT_EQ(Text.substr(Text.find("; Number of Global")),
            "; Number of Global Variables: 0\r\n"
            "; Number of Defined Types:    0\r\n"
            "; Number of Fact Templates:   2\r\n"
            "; Number of Rules:            0\r\n"
            "; Number of Fact Sets:        0\r\n"
            "; Number of Facts:            1\r\n"
            "(set-fact-duplication TRUE)\r\n"
            "\r\n; *************************\r\n; Deffunctions \r\n"
            "\r\n; *************************\r\n; Fact Templates \r\n\r\n"
            "(deftemplate Initial-Fact \"(Implied)\"\r\n    (multislot __Data)\r\n)\r\n"
            "(deftemplate __NOT-OR-TEST-CE* \"(Implied)\"\r\n    (multislot __Data)\r\n)\r\n"
            "\r\n; *************************\r\n; Facts \r\n\r\n"
            "(assert\r\n    (Initial-Fact)\r\n)\r\n");
  // The function's sense is the opposite of the property's.
  New.Engine.SetFactDuplication(true);
  EXPECT_NE(New.Engine.GetExpertSystem().find("(set-fact-duplication FALSE)\r\n"), std::string::npos);
}

// Loading a saved text clears the engine, reads the text and resets; the facts the text asserts survive
// the reset, and the initial fact and the fact sets' facts are there once, also with duplication on.
TEST(Persistence, SetExpertSystemKeepsTheSavedFactsOnceEach) {
  for (const bool Duplication : {false, true}) {
    SCOPED_TRACE(Duplication ? "duplication on" : "duplication off");
    TQuietEngine Original;
    Original.Engine.SetFactDuplication(Duplication);
    Original.Engine.Parse(
        "(deftemplate item (slot n)) (deffacts base (item (n 1)) (item (n 2)))"
        "(reset) (assert (item (n 3)) (extra a b))",
        true);
    const std::string Text = Original.Engine.GetExpertSystem();

    TQuietEngine Loaded;
    Loaded.Engine.Parse("(deftemplate gone (slot x)) (assert (gone (x 1)))", true);
    Loaded.Engine.SetExpertSystem(Text);
    EXPECT_FALSE(Loaded.Engine.FindFactTemplate("gone"));
    EXPECT_EQ(Loaded.Engine.GetFactDuplication(), Duplication);
    const std::vector<std::string> Expected = {"f-0 (Initial-Fact)", "f-1 (item (n 1))", "f-2 (item (n 2))",
                                               "f-3 (item (n 3))", "f-4 (extra a b)"};
    EXPECT_EQ(FactLines(Loaded.Engine), Expected);
    EXPECT_EQ(FactLines(Original.Engine), Expected);
  }
}

// A global whose initial value calls a deffunction reads back: the functions are written first.
TEST(Persistence, FunctionsAreWrittenBeforeTheGlobalsThatCallThem) {
  TQuietEngine Original;
  Original.Engine.Parse("(deffunction twice (?x) (* 2 ?x)) (defglobal ?*answer* = (twice 21))", true);
  const std::string Text = Original.Engine.GetExpertSystem();
  ASSERT_NE(Text.find("; Global Variables"), std::string::npos);
  EXPECT_LT(Text.find("; Deffunctions"), Text.find("; Global Variables"));

  TQuietEngine Loaded;
  Loaded.Engine.SetExpertSystem(Text);
  EXPECT_EQ(Loaded.Engine.GetContext()->GetVariable("*answer*")->GetToString(), "42");
  EXPECT_EQ(WithoutDate(Loaded.Engine.GetExpertSystem()), WithoutDate(Text));
}

// SaveToStream writes the whole system; LoadFromStream adds it to what the engine holds, without a clear
// or a reset.
TEST(Persistence, LoadFromStreamAddsToWhatTheEngineHolds) {
  TQuietEngine Original;
  Original.Engine.Parse("(defrule second => (printout t two crlf))", true);
  const std::string Text = Saved([&Original](TGTextStream& Stream) { Original.Engine.SaveToStream(Stream); });
  EXPECT_EQ(WithoutDate(Text), WithoutDate(Original.Engine.GetExpertSystem()));

  TQuietEngine Loaded;
  Loaded.Engine.Parse("(defrule first => (printout t one crlf)) (assert (kept))", true);
  LoadText(Text, [&Loaded](TGTextStream& Stream) { Loaded.Engine.LoadFromStream(Stream); });
  EXPECT_EQ(Loaded.Engine.GetRules().Count(), 2);
  EXPECT_EQ(FactLines(Loaded.Engine), (std::vector<std::string>{"f-0 (Initial-Fact)", "f-1 (kept)"}));
}

// ---- one kind at a time
// ------------------------------------------------------------------------------------

const char* const Shop =
    "(deftype qty extends (type INTEGER) (range 0 ?VARIABLE))"
    "(deftemplate order (slot id) (slot n (type qty)))"
    "(deftemplate note (slot text))"
    "(defrule big (order (id ?i) (n ?n&:(> ?n 5))) => (assert (note (text ?i))))"
    "(defrule any (order (id ?i)) =>)"
    "(reset) (assert (order (id a) (n 9)) (order (id b) (n 1)) (note (text hello)))";

TEST(Persistence, RulesAreSavedOnePerLineAndLoadingReplacesThemAll) {
  TQuietEngine Source;
  Source.Engine.Parse(Shop, true);
  const std::string Rules = Saved([&Source](TGTextStream& Stream) { Source.Engine.SaveRules(Stream); });
  // Table order, not sorted by name.
  EXPECT_EQ(
      Rules,
      "(defrule big\r\n    (order (id ?i) (n ?n&:(> ?n 5)))\r\n    =>\r\n    (assert (note (text ?i))))\r\n"
      "(defrule any\r\n    (order (id ?i))\r\n    =>\r\n)\r\n");

  TQuietEngine Target;
  Target.Engine.Parse(Shop, true);
  Target.Engine.Parse("(defrule only-here =>)", true);
  LoadText(Rules, [&Target](TGTextStream& Stream) { Target.Engine.LoadRules(Stream); });
  EXPECT_FALSE(Target.Engine.GetRules().Get("only-here"));
  EXPECT_EQ(Target.Engine.GetRules().Count(), 2);
  // The facts stay, and the loaded rules are primed with them.
  EXPECT_EQ(Target.Engine.GetFacts().Count(), 4);
  EXPECT_EQ(Target.Engine.Run(), 3);
}

TEST(Persistence, LoadingTemplatesOrTypesClearsWhatDependsOnThem) {
  TQuietEngine Source;
  Source.Engine.Parse(Shop, true);
  const std::string Templates =
      Saved([&Source](TGTextStream& Stream) { Source.Engine.SaveFactTemplates(Stream); });
  EXPECT_NE(Templates.find("(deftemplate order"), std::string::npos) << Templates;
  const std::string Types =
      Saved([&Source](TGTextStream& Stream) { Source.Engine.SaveDefinedTypes(Stream); });
  EXPECT_EQ(Types.rfind("(deftype qty", 0), 0u) << Types;

  // Templates: the facts and rules using any template go with them.
  LoadText(Templates, [&Source](TGTextStream& Stream) { Source.Engine.LoadFactTemplates(Stream); });
  EXPECT_TRUE(Source.Engine.FindFactTemplate("order"));
  EXPECT_EQ(Source.Engine.GetRules().Count(), 0);
  EXPECT_EQ(Source.Engine.GetFacts().Count(), 0);

  // Defined types: every template and rule goes too.
  TQuietEngine Other;
  Other.Engine.Parse(Shop, true);
  LoadText(Types, [&Other](TGTextStream& Stream) { Other.Engine.LoadDefinedTypes(Stream); });
  EXPECT_TRUE(Other.Engine.FindDefinedType("qty"));
  EXPECT_FALSE(Other.Engine.FindFactTemplate("order"));
  EXPECT_EQ(Other.Engine.GetRules().Count(), 0);
}

TEST(Persistence, FactsAreSavedByTemplateAndLoadedOnTopOfTheFactBase) {
  TQuietEngine Source;
  Source.Engine.Parse(Shop, true);
  EXPECT_EQ(Saved([&Source](TGTextStream& Stream) { Source.Engine.SaveFacts(Stream, "order"); }),
            "(order (id a) (n 9))\r\n(order (id b) (n 1))\r\n");
  EXPECT_EQ(Saved([&Source](TGTextStream& Stream) { Source.Engine.SaveFacts(Stream, "Order"); }), "");
  const std::string All = Saved([&Source](TGTextStream& Stream) { Source.Engine.SaveFacts(Stream); });

  TQuietEngine Target;
  Target.Engine.Parse(Shop, true);
  Target.Engine.Parse("(assert (order (id c) (n 2)))", true);
  LoadText(All, [&Target](TGTextStream& Stream) { Target.Engine.LoadFacts(Stream); });
  // Equal facts are refused; the fact only this engine had stays.
  EXPECT_EQ(
      FactLines(Target.Engine),
      (std::vector<std::string>{"f-0 (Initial-Fact)", "f-1 (order (id a) (n 9))", "f-2 (order (id b) (n 1))",
                                "f-3 (note (text hello))", "f-4 (order (id c) (n 2))"}));
}

// A symbol (or a fact's relation name) holding characters that end a word (a quote, parentheses, a
// semicolon, a blank, a backslash) after its first character is saved with a backslash before each, so it
// loads back whole; shown on the terminal it keeps its plain text. A backslash as the first character is an
// ordinary one and stays as it is.
TEST(Persistence, SymbolsHoldingDelimitersAreSavedWithBackslashesAndLoadBack) {
  const std::string Program =
      "(deftemplate any (slot a) (multislot b))\n"
      "(assert (any (a -922337\\\") (b x\\(y\\) z\\;w v\\\\u \\q)))\n"
      "(assert (odd p\\ q r\\<s\\|t\\~u\\&v\\[w\\]))\n"
      "(assert (emp\\\" 1))\n";
  TQuietEngine Source;
  Source.Engine.Parse(Program, true);
  const std::string All = Saved([&Source](TGTextStream& Stream) { Source.Engine.SaveFacts(Stream); });
  EXPECT_EQ(All,
            "(Initial-Fact)\r\n(any (a -922337\\\") (b x\\(y\\) z\\;w v\\\\u \\q))\r\n"
            "(odd p\\ q r\\<s\\|t\\~u\\&v\\[w\\])\r\n(emp\\\" 1)\r\n");
  std::vector<std::string> Shown;
  auto Show = [&Shown](const IIEValue& Value, auto& Self) -> void {
    if (!Value) return;
    if (Value->GetDType() == dtAtom) Shown.push_back(Value->GetAsString());
    if (Value->GetDType() != dtList) return;
    const IValueVector List = Value->GetAsList();
    for (int32_t I = 0; I < List->GetValueCount(); ++I) Self(List->Get(I), Self);
  };
  Source.Engine.GetFacts().ForEach([&Show](const IFact& Fact) {
    for (const IIEValue& Value : Fact->GetSlotValues()) Show(Value, Show);
  });
  EXPECT_EQ(Shown,
            (std::vector<std::string>{"-922337\"", "x(y)", "z;w", "v\\u", "\\q", "p q", "r<s|t~u&v[w]"}));

  TQuietEngine Target;
  Target.Engine.Parse("(deftemplate any (slot a) (multislot b))", true);
  LoadText(All, [&Target](TGTextStream& Stream) { Target.Engine.LoadFacts(Stream); });
  EXPECT_EQ(FactTexts(Target.Engine), FactTexts(Source.Engine));
  EXPECT_EQ(Saved([&Target](TGTextStream& Stream) { Target.Engine.SaveFacts(Stream); }), All);
}

// Savers build their text before they create the file; loaders open the file before they clear anything.
TEST(Persistence, FilesRoundTripAndAFileThatCannotBeOpenedChangesNothing) {
  const std::filesystem::path Folder = std::filesystem::temp_directory_path() / "rulecraft-persistence-test";
  std::filesystem::create_directories(Folder);
  const std::string Rules = (Folder / "rules.clp").string();
  const std::string Templates = (Folder / "templates.clp").string();
  const std::string Types = (Folder / "types.clp").string();
  const std::string Facts = (Folder / "facts.clp").string();
  const std::string System = (Folder / "system.clp").string();

  TQuietEngine Source;
  Source.Engine.Parse(Shop, true);
  Source.Engine.SaveRulesToFile(Rules);
  Source.Engine.SaveFactTemplatesToFile(Templates);
  Source.Engine.SaveDefinedTypesToFile(Types);
  Source.Engine.SaveFactsToFile(Facts);
  Source.Engine.SaveToFile(System);

  TQuietEngine Target;
  Target.Engine.LoadDefinedTypesFromFile(Types);
  Target.Engine.LoadFactTemplatesFromFile(Templates);
  Target.Engine.LoadRulesFromFile(Rules);
  Target.Engine.Reset();
  Target.Engine.LoadFactsFromFile(Facts);
  EXPECT_EQ(FactLines(Target.Engine), FactLines(Source.Engine));
  EXPECT_EQ(Target.Engine.Run(), Source.Engine.Run());

  TQuietEngine Whole;
  Whole.Engine.LoadFromFile(System);
  Whole.Engine.Reset();
  EXPECT_EQ(Whole.Engine.GetRules().Count(), 2);

  const std::string Missing = (Folder / "missing" / "none.clp").string();
  for (auto Load : {&TInferenceEngine::LoadRulesFromFile, &TInferenceEngine::LoadFactTemplatesFromFile,
                    &TInferenceEngine::LoadDefinedTypesFromFile, &TInferenceEngine::LoadFactsFromFile,
                    &TInferenceEngine::LoadFromFile}) {
    EXPECT_THROW((Target.Engine.*Load)(Missing), Exception);
    EXPECT_EQ(Target.Engine.GetRules().Count(), 2);
    EXPECT_TRUE(Target.Engine.FindDefinedType("qty"));
    EXPECT_TRUE(Target.Engine.FindFactTemplate("order"));
  }
  EXPECT_THROW(Source.Engine.SaveRulesToFile(Missing), Exception);
  EXPECT_FALSE(std::filesystem::exists(Missing));
  std::filesystem::remove_all(Folder);
}

// ---- facts that outlive their engine
// ---------------------------------------------------------------------

// A host may keep a fact after its engine is gone: the fact's template forgets the engine, so the fact
// prints and compares on its own.
TEST(Persistence, FactKeptByTheHostOutlivesItsEngine) {
  IFact Kept, Twin;
  IFactTemplate Made;
  {
    TQuietEngine Gone;
    Gone.Engine.Parse(
        "(deftype digit extends (type INTEGER) (range 0 9))"
        "(deftemplate point (slot x) (slot y (type digit) (default 0)) (slot z (type INTEGER) (range 0 5)))"
        "(reset) (assert (point (x 1)))",
        true);
    Kept = Gone.Engine.GetFacts().GetFactByID(1);
    Twin = Kept->GetTemplate()->NewFact();
    Twin->SetValue("x", Int(1));
    Made = MakeRef<TFactTemplate>(&Gone.Engine, "loose");  // never stored in the engine
    ASSERT_EQ(Kept->GetTemplate()->GetEngine(), &Gone.Engine);
  }
  EXPECT_EQ(Kept->GetTemplate()->GetEngine(), nullptr);
  EXPECT_EQ(Made->GetEngine(), nullptr);
  EXPECT_EQ(Made->GetOwner(), nullptr);
  EXPECT_EQ(Kept->GetToString(), "(point (x 1) (y 0) (z 0))");
  EXPECT_NE(Kept->GetTemplate()->GetToString().find("(slot z (type INTEGER) (range 0 5)"), std::string::npos)
      << Kept->GetTemplate()->GetToString();
  EXPECT_TRUE(Kept->Equals(Twin.get()));
  EXPECT_EQ(Kept->GetHashCode(), Twin->GetHashCode());
  EXPECT_NE(Made->GetToString().find("loose"), std::string::npos);
}

}  // namespace
