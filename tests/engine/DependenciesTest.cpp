// The engine's collections and what depends on a construct: the order of the add, remove and clear events,
// renaming rules and templates, the collections' texts, and the dependency operations (removing, replacing,
// the three IsDependent forms, rebuilding and the warning for what no longer reads).
#include <gtest/gtest.h>

#include "../TestValues.h"

#include <memory>
#include <string>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/InterpretedFunction.h"
#include "rulecraft/types/DefinedTypePrinter.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

/// An engine whose output, warnings and collection events are logged, one line each.
struct TLoggedEngine {
  TInferenceEngine Engine;
  std::string Output;
  std::vector<std::string> Events;
  std::vector<std::string> Warnings;

  TLoggedEngine() {
    Engine.OnPrintOut = [this](TObject*, const std::string&, const std::string& Text) { Output += Text; };
    Engine.OnWarning = [this](TObject*, const TIEWarning& Warning) {
      Warnings.push_back(Warning.Construct + " " + Warning.Name + ": " + Warning.Message);
    };
  }
  /// Logs the events of the template, type, rule and function collections.
  void Listen() {
    auto Log = [this](const std::string& Line) { Events.push_back(Line); };
    Engine.OnNewFactTemplate = [Log](TObject*, const IFactTemplate& T) {
      Log("+template " + T->GetTemplateName());
    };
    Engine.OnRemoveFactTemplate = [Log](TObject*, const IFactTemplate& T) {
      Log("-template " + T->GetTemplateName());
    };
    Engine.OnClearFactTemplates = [Log](TObject*) { Log("clear templates"); };
    Engine.OnAddDefinedType = [Log](TObject*, const IIEDefinedType& T) { Log("+type " + T->GetName()); };
    Engine.OnRemoveDefinedType = [Log](TObject*, const IIEDefinedType& T) { Log("-type " + T->GetName()); };
    Engine.OnClearDefinedTypes = [Log](TObject*) { Log("clear types"); };
    Engine.OnAddRule = [Log](TObject*, TRule* R) { Log("+rule " + R->GetRuleName()); };
    Engine.OnRemoveRule = [Log](TObject*, TRule* R) { Log("-rule " + R->GetRuleName()); };
    Engine.OnClearRules = [Log](TObject*) { Log("clear rules"); };
    Engine.OnAddUserFunction = [Log](TObject*, const IUserFunction& F) {
      Log("+function " + F->GetFunctionName());
    };
    Engine.OnRemoveUserFunction = [Log](TObject*, const IUserFunction& F) {
      Log("-function " + F->GetFunctionName());
    };
    Engine.OnAssertion = [Log](TObject*, const IFact& F) { Log("assert " + F->GetToIDString()); };
    Engine.OnRetraction = [Log](TObject*, const IFact& F) { Log("retract " + F->GetToIDString()); };
  }
  std::vector<std::string> Facts() {
    std::vector<std::string> Lines;
    Engine.GetFacts().ForEach([&Lines](const IFact& Fact) { Lines.push_back(Fact->GetToIDString()); });
    return Lines;
  }
  std::vector<std::string> Take() {
    std::vector<std::string> Taken = std::move(Events);
    Events.clear();
    return Taken;
  }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(Collections, TemplateEventsComeInTheirOrder) {
  TLoggedEngine E;
  E.Engine.Parse("(deftemplate m (slot a)) (defrule r (m (a ?x)) => (printout t ?x crlf))");
  E.Engine.Assert("(m (a 1))");
  E.Listen();
  // Redefined: the old one goes (event only), the new one is stored, then what used the old is rebuilt.
  E.Engine.Parse("(deftemplate m (slot a) (slot b))");
  EXPECT_EQ(E.Take(), (Lines{"-template m", "+template m", "retract f-1 (m (a 1))", "-rule r",
                             "assert f-2 (m (a 1) (b))", "+rule r"}));
  // The same definition again changes nothing.
  E.Engine.Parse("(deftemplate m (slot a) (slot b))");
  EXPECT_EQ(E.Take(), Lines{});
  // Removed: the event, then the facts and rules using it.
  E.Engine.GetFactTemplates().Remove("m");
  EXPECT_EQ(E.Take(), (Lines{"-template m", "retract f-2 (m (a 1) (b))", "-rule r"}));
  EXPECT_FALSE(E.Engine.GetFactTemplates().ContainsKey("m"));
  // Cleared: the rules go first, then the event.
  E.Engine.Parse("(deftemplate n (slot a)) (defrule s (n) =>)");
  E.Take();
  E.Engine.GetFactTemplates().Clear();
  EXPECT_EQ(E.Take(), (Lines{"clear rules", "clear templates"}));
  EXPECT_EQ(E.Engine.GetFactTemplates().Count(), 0);
}

TEST(Collections, DuplicatePoliciesOnEveryKind) {
  TLoggedEngine E;
  E.Engine.Parse(
      "(deftype t extends (type INTEGER)) (deftemplate m (slot a)) (defrule r (m) =>)"
      " (deffunction f () 1)");
  E.Listen();
  E.Engine.SetDuplicateConstructs(dcIgnore);
  E.Engine.Parse(
      "(deftype t extends (type FLOAT)) (deftemplate m (slot b)) (defrule r (m (a 1)) =>)"
      " (deffunction f () 2)");
  EXPECT_EQ(E.Take(), Lines{});
  EXPECT_TRUE(E.Engine.GetDefinedTypes().Get("t")->GetBaseTypes().Contains(dtInteger));
  EXPECT_TRUE(E.Engine.FindFactTemplate("m")->ContainsSlot("a"));
  EXPECT_EQ(E.Engine.ParseNExecuteFunCall("(f)")->GetAsInteger(), 1);
  E.Engine.SetDuplicateConstructs(dcError);
  ExpectError([&] { E.Engine.Parse("(deftype t extends (type FLOAT))"); },
              "Defined Type Name already exists: \"t\"");
  ExpectError([&] { E.Engine.Parse("(deftemplate m (slot b))"); },
              "Fact Template Name already exists: \"m\"");
  ExpectError([&] { E.Engine.Parse("(defrule r (m (a 2)) =>)"); },
              "Duplicate Rules defined with same name: \"r\"");
  ExpectError([&] { E.Engine.Parse("(deffunction f () 3)"); }, "Function Name already exists: \"f\"");
  EXPECT_EQ(E.Take(), Lines{});
  EXPECT_EQ(E.Engine.GetRules().Count(), 1);
  // Overwrite: a type replaced moves its templates along.
  E.Engine.SetDuplicateConstructs(dcOverwrite);
  E.Engine.Parse("(deftemplate u (slot v (type t))) (deftype t extends (type FLOAT))");
  EXPECT_EQ(E.Take(), (Lines{"+template u", "-type t", "+type t", "-template u", "+template u"}));
  EXPECT_EQ(E.Engine.FindFactTemplate("u")->GetSlot("v")->GetExtendedTypeInfo(),
            E.Engine.GetDefinedTypes().Get("t"));
  // A function and a rule replaced: the old one goes first; the count of interpreted functions holds.
  TUserFunctions& Functions = E.Engine.GetUserFunctionTable();
  EXPECT_EQ(Functions.GetInterpretedCount(), 1);
  E.Engine.Parse("(deffunction f () 2) (deffunction g () 3) (defrule r (u) =>)");
  EXPECT_EQ(E.Take(), (Lines{"-function f", "+function f", "+function g", "-rule r", "+rule r"}));
  EXPECT_EQ(Functions.GetInterpretedCount(), 2);
  E.Engine.Parse("(undeffunction g)");
  EXPECT_EQ(E.Take(), (Lines{"-function g"}));
  EXPECT_EQ(Functions.GetInterpretedCount(), 1);
  E.Engine.Clear();
  EXPECT_EQ(Functions.GetInterpretedCount(), 0);
  EXPECT_TRUE(Functions.ContainsKey("assert"));
}

TEST(Collections, RenamingRulesAndTemplates) {
  TLoggedEngine E;
  E.Engine.Parse(
      "(deftemplate m (slot a)) (defrule r (m (a ?x)) => (printout t \"fired \" ?x crlf))"
      " (defrule taken (m) =>)");
  E.Engine.Assert("(m (a 1))");
  E.Listen();
  TRule* Rule = E.Engine.GetRules().Get("r");
  // Stored under the new name first, then the old entry goes; the rule is neither released nor recompiled.
  E.Engine.RenameRule("r", "renamed");
  EXPECT_EQ(E.Take(), (Lines{"+rule r", "-rule r"}));
  EXPECT_EQ(Rule->GetRuleName(), "renamed");
  EXPECT_EQ(E.Engine.GetRules().Get("renamed"), Rule);
  EXPECT_FALSE(E.Engine.GetRules().ContainsKey("r"));
  EXPECT_FALSE(E.Engine.GetUpdatingHT());
  EXPECT_EQ(E.Engine.GetAgendaCount(), 2);
  // Through the rule itself, onto a taken name, and onto its own or an unknown name.
  Rule->SetRuleName("again");
  EXPECT_EQ(E.Engine.GetRules().Get("again"), Rule);
  ExpectError([&] { E.Engine.RenameRule("again", "taken"); },
              "Duplicate Rules defined with same name: \"taken\"");
  EXPECT_EQ(Rule->GetRuleName(), "again");
  E.Engine.RenameRule("again", "again");
  E.Engine.RenameRule("missing", "other");
  E.Take();
  E.Engine.Run();
  EXPECT_EQ(E.Output, "fired 1\r\n");
  // A template renamed takes its dependencies along as a removal does, and is stored under its new name.
  IFactTemplate Template = E.Engine.FindFactTemplate("m");
  Template->SetTemplateName("n");
  // The events come before the template takes its new name; the renamed rule went to the end of the table.
  EXPECT_EQ(E.Take(),
            (Lines{"-template m", "retract f-1 (m (a 1))", "-rule taken", "-rule again", "+template m"}));
  EXPECT_EQ(E.Engine.FindFactTemplate("n"), Template);
  EXPECT_FALSE(E.Engine.GetFactTemplates().ContainsKey("m"));
  EXPECT_EQ(E.Engine.GetRules().Count(), 0);
}

TEST(Collections, TextsOfEachCollection) {
  TLoggedEngine E;
  E.Engine.Parse(
      "(deftemplate base (slot a)) (deftemplate kid extends base (slot b))"
      " (deftype small extends (type INTEGER) (range 0 9)) (deftype tiny extends (type small) (range 0 2))"
      " (defrule zeta (base) =>) (defrule Alpha (kid) =>) (deffunction twice (?x) (* 2 ?x))"
      " (deffacts start (base (a 1)))");
  TRules& Rules = E.Engine.GetRules();
  const std::string NL = "\r\n";
  const std::string Zeta = Rules.Get("zeta")->GetToString();
  const std::string Alpha = Rules.Get("Alpha")->GetToString();
  EXPECT_TRUE(Rules.GetSortedOutput());
  EXPECT_EQ(Rules.GetToString(), Alpha + NL + NL + Zeta + NL + NL);
  Rules.SetSortedOutput(false);
  EXPECT_EQ(Rules.GetToString(), NL + Zeta + NL + Alpha);
  // Parents come before their children, whatever the table order.
  const std::string Templates = E.Engine.GetFactTemplates().GetToString();
  EXPECT_LT(Templates.find("(deftemplate base"), Templates.find("(deftemplate kid"));
  const std::string Types = E.Engine.GetDefinedTypes().GetToString();
  EXPECT_LT(Types.find("(deftype small"), Types.find("(deftype tiny"));
  EXPECT_EQ(E.Engine.GetUserFunctionTable().GetToString(),
            NL + E.Engine.GetUserFunctionTable().Get("twice")->GetToString(&E.Engine));
  EXPECT_EQ(E.Engine.GetFactSets().GetToString(), E.Engine.GetFactSets().Get(0)->GetToString() + NL);
  // The collections' texts are the saved system's sections.
  const std::string Saved = E.Engine.GetExpertSystem();
  EXPECT_NE(Saved.find(Templates), std::string::npos);
  EXPECT_NE(Saved.find(Types), std::string::npos);
  // Symbols count on.
  const int32_t Index = E.Engine.GetSymbolIndex();
  EXPECT_EQ(E.Engine.GenerateSymbol("gen"), "gen" + std::to_string(Index));
  EXPECT_EQ(E.Engine.GenerateSymbol("gen"), "gen" + std::to_string(Index + 1));
}

TEST(Dependencies, IsDependentInItsThreeForms) {
  TLoggedEngine E;
  E.Engine.Parse(
      "(deftemplate m (slot a)) (deftemplate other (slot a))"
      " (defrule on-pattern (m (a ?x)) =>)"
      " (defrule on-action (other) => (printout t 1) (if TRUE then (assert (m (a 2)))))"
      " (defrule free (other) => (assert (other (a 1))))"
      " (defrule in-or (or (other (a 1)) (m (a 2))) =>)");
  const IFactTemplate M = E.Engine.FindFactTemplate("m");
  TRules& Rules = E.Engine.GetRules();
  EXPECT_TRUE(E.Engine.IsDependent(*Rules.Get("on-pattern"), M));
  EXPECT_TRUE(E.Engine.IsDependent(*Rules.Get("on-action"), M));
  EXPECT_TRUE(E.Engine.IsDependent(*Rules.Get("in-or"), M));
  EXPECT_FALSE(E.Engine.IsDependent(*Rules.Get("free"), M));
  EXPECT_TRUE(E.Engine.IsDependent(Rules.Get("on-action")->GetAction(1), M));
  EXPECT_FALSE(E.Engine.IsDependent(Rules.Get("on-action")->GetAction(0), M));
  EXPECT_FALSE(E.Engine.IsDependent(IFunCall(), M));
  EXPECT_FALSE(E.Engine.IsDependent(IIEValue(), M));
  EXPECT_FALSE(E.Engine.IsDependent(MakeRef<TIEValue>(std::string("m"), dtAtom), M));
  IValueVector List = MakeRef<TValueVector>();
  List->Add(MakeRef<TIEValue>(1, dtInteger));
  EXPECT_FALSE(E.Engine.IsDependent(MakeRef<TIEValue>(List), M));
  List->Add(MakeRef<TIEValue>(IFact(M->NewFact())));
  EXPECT_TRUE(E.Engine.IsDependent(MakeRef<TIEValue>(List), M));
}

TEST(Dependencies, RemovingATemplateTakesItsFactsFactSetEntriesAndRules) {
  TLoggedEngine E;
  E.Engine.Parse(
      "(deftemplate m (slot a)) (deftemplate keep (slot a))"
      " (deffacts start (m (a 1)) (keep (a 1)) (m (a 2)))"
      " (defrule uses (m (a ?x)) =>) (defrule asserts (keep) => (assert (m (a 9)))) (defrule other (keep) "
      "=>)");
  E.Engine.Reset();
  E.Engine.Assert("(m (a 3))");
  const IFactTemplate M = E.Engine.FindFactTemplate("m");
  E.Engine.AddPendingFact(M->NewFact(), true);
  E.Listen();
  E.Engine.RemoveDependencies(M);
  // Pending facts dropped, facts retracted last first, the rule with a pattern on it removed.
  EXPECT_EQ(E.Engine.GetPendingAssertionCount(), 0);
  EXPECT_EQ(E.Take(),
            (Lines{"retract f-4 (m (a 3))", "retract f-3 (m (a 2))", "retract f-1 (m (a 1))", "-rule uses"}));
  EXPECT_EQ(E.Facts(), (Lines{"f-0 (Initial-Fact)", "f-2 (keep (a 1))"}));
  EXPECT_TRUE(E.Engine.GetRules().ContainsKey("asserts"));
  // The fact set's lines of the template go (emptied, they would be read again at a reset against no
  // template); a reset asserts the rest.
  TFactSet* Set = E.Engine.GetFactSets().Get(0);
  ASSERT_EQ(Set->Count(), 1);
  EXPECT_EQ(Set->GetLine(0), "(keep (a 1))");
  E.Engine.Reset();
  EXPECT_EQ(E.Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (keep (a 1))"}));
  E.Take();
  // Another name: the old template's dependencies go.
  E.Engine.Parse("(defrule uses-keep (keep) =>)");
  const IFactTemplate Keep = E.Engine.FindFactTemplate("keep");
  E.Take();
  E.Engine.ReplaceTemplate(Keep, M);
  EXPECT_EQ(E.Take(), (Lines{"retract f-1 (keep (a 1))", "-rule asserts", "-rule other", "-rule uses-keep"}));
}

TEST(Dependencies, RedefiningATemplateRebuildsFactsRulesAndFunctions) {
  TLoggedEngine E;
  E.Engine.Parse(
      "(deftemplate m (slot a) (slot b (default 0)))"
      " (deffunction make (?x) (assert (m (a ?x) (b 1))))"
      " (defrule call (go ?x) => (make ?x))"
      " (defrule show (m (a ?a) (b ?b)) => (printout t ?a \" \" ?b crlf))");
  E.Engine.Assert("(m (a 1))");
  E.Engine.Assert("(m (a 2) (b 5))");
  const IUserFunction Make = E.Engine.GetUserFunctionTable().Get("make");
  // Bind the rule's call to the function before the template changes.
  E.Engine.Assert("(go 0)");
  E.Engine.Run();
  E.Output.clear();
  E.Engine.Parse("(deftemplate m (slot a) (slot b (default 0)) (slot c (default new)))");
  // Read again from the last fact to the first.
  EXPECT_EQ(E.Facts(), (Lines{"f-0 (Initial-Fact)", "f-3 (go 0)", "f-5 (m (a 0) (b 1) (c new))",
                              "f-6 (m (a 2) (b 5) (c new))", "f-7 (m (a 1) (b 0) (c new))"}));
  EXPECT_TRUE(E.Warnings.empty());
  // The function is the same object: the rule's bound call reaches its rebuilt literal.
  EXPECT_EQ(E.Engine.GetUserFunctionTable().Get("make"), Make);
  E.Engine.Assert("(go 4)");
  E.Engine.Run();
  EXPECT_EQ(E.Output, "4 1\r\n1 0\r\n2 5\r\n0 1\r\n");
  EXPECT_EQ(E.Facts().back(), "f-09 (m (a 4) (b 1) (c new))");
  // A slot they use goes: each is dropped with a warning naming it and the reason.
  E.Engine.Parse("(deftemplate m (slot a))");
  EXPECT_EQ(E.Warnings.size(), 6u);
  EXPECT_EQ(E.Warnings.back(),
            "defrule show: dropped after deftemplate m was redefined: No such slot name: \"b\"");
  EXPECT_TRUE(E.Warnings.front().starts_with("fact f-9: dropped after deftemplate m was redefined: "));
  EXPECT_FALSE(E.Engine.GetUserFunctionTable().ContainsKey("make"));
  EXPECT_FALSE(E.Engine.GetRules().ContainsKey("show"));
  EXPECT_TRUE(E.Engine.GetRules().ContainsKey("call"));
  // The parser's error handling is the engine's again.
  E.Engine.SetParserErrorHandling(ehRaiseAllAtEnd);
  E.Engine.Parse("(deftemplate m (slot z))");
  EXPECT_EQ(E.Engine.GetParserErrorHandling(), ehRaiseAllAtEnd);
}

TEST(Dependencies, RedefiningAndRemovingADefinedType) {
  TLoggedEngine E;
  E.Engine.Parse(
      "(deftype percent extends (type INTEGER) (range 0 100))"
      " (deftemplate named (slot p (type percent)))"
      " (deftemplate narrowed (slot q (type percent) (range 0 50) (allowed-integers 5 10 20 60)))"
      " (deftemplate plain (slot x))");
  E.Engine.Assert("(named (p 80))");
  E.Engine.Assert("(narrowed (q 10))");
  const IIEDefinedType Percent = E.Engine.GetDefinedTypes().Get("percent");
  // A slot narrowing the type has its own copy, which still leads to the type.
  const IIEDefinedType Copy = E.Engine.FindFactTemplate("narrowed")->GetSlot("q")->GetExtendedTypeInfo();
  EXPECT_NE(Copy, Percent);
  EXPECT_EQ(Copy->GetNarrowed(), Percent);
  EXPECT_TRUE(E.Engine.FindFactTemplate("narrowed")->ContainsType(Percent));
  EXPECT_FALSE(E.Engine.FindFactTemplate("plain")->ContainsType(Percent));
  // Redefined: both templates are copied under their own names and moved to the new type.
  E.Listen();
  const int32_t Count = E.Engine.GetFactTemplates().Count();
  E.Engine.Parse("(deftype percent extends (type INTEGER) (range 0 70))");
  EXPECT_EQ(E.Engine.GetFactTemplates().Count(), Count);
  EXPECT_FALSE(E.Engine.GetFactTemplates().ContainsKey("narrowed Copy"));
  const IIEDefinedType New = E.Engine.GetDefinedTypes().Get("percent");
  EXPECT_EQ(E.Engine.FindFactTemplate("named")->GetSlot("p")->GetExtendedTypeInfo(), New);
  const IIEDefinedType Again = E.Engine.FindFactTemplate("narrowed")->GetSlot("q")->GetExtendedTypeInfo();
  EXPECT_EQ(Again->GetNarrowed(), New);
  EXPECT_EQ(Again->GetName(), "");
  EXPECT_EQ(Again->GetMaxRange(), 50.0);  // the slot's own limits stay
  EXPECT_EQ(Again->GetConstraintIntegersCount(), 4);
  // Last template first: the narrowing one's fact reads again; the other's 80 is beyond the new range.
  EXPECT_EQ(E.Facts(), (Lines{"f-0 (Initial-Fact)", "f-3 (narrowed (q 10))"}));
  ASSERT_EQ(E.Warnings.size(), 1u);
  EXPECT_TRUE(E.Warnings[0].starts_with("fact f-1: dropped after deftemplate named was redefined: "))
      << E.Warnings[0];
  EXPECT_EQ(Percent->GetMaxRange(), 100.0);  // the old type itself is unchanged
  // Removed: every template using it goes, the narrowing one included.
  E.Take();
  E.Engine.GetDefinedTypes().Remove("percent");
  EXPECT_EQ(E.Take(), (Lines{"-type percent", "-template named", "-template narrowed",
                             "retract f-3 (narrowed (q 10))"}));
  EXPECT_TRUE(E.Engine.GetFactTemplates().ContainsKey("plain"));
  // Clearing the types clears every template, rule and fact.
  E.Engine.Parse("(deftype t extends (type INTEGER)) (defrule r (plain) =>)");
  E.Engine.Assert("(plain (x 1))");
  E.Take();
  const IIEDefinedType Kept = E.Engine.GetDefinedTypes().Get("t");
  ASSERT_NE(Kept->GetReasoner(), nullptr);
  E.Engine.GetDefinedTypes().Clear();
  EXPECT_EQ(E.Take(), (Lines{"clear rules", "clear templates", "clear types"}));
  EXPECT_EQ(E.Engine.GetFacts().Count(), 0);
  // A type the host keeps is detached: it prints on its own.
  EXPECT_EQ(Kept->GetReasoner(), nullptr);
  EXPECT_EQ(Kept->GetToString(), PrettyPrintDefinedType(*Kept));
}

TEST(Dependencies, FactSetLinesThatNoLongerReadAreDropped) {
  TLoggedEngine E;
  E.Engine.Parse("(deftemplate m (slot a) (slot b)) (deffacts s (m (a 1)) (m (a 2) (b 3)) (other 4))");
  // Emptied lines are read again at the next reset; twice redefined without one, the second check still
  // finds them.
  E.Engine.Parse("(deftemplate m (slot a) (slot b) (slot c))");
  E.Engine.Parse("(deftemplate m (slot a) (slot c))");
  TFactSet* Set = E.Engine.GetFactSets().Get(0);
  ASSERT_EQ(Set->Count(), 2);
  EXPECT_EQ(Set->GetLine(0), "(m (a 1))");
  EXPECT_EQ(Set->GetLine(1), "(other 4)");
  ASSERT_EQ(E.Warnings.size(), 1u);
  EXPECT_TRUE(E.Warnings[0].starts_with("deffacts s: dropped after deftemplate m was redefined: "))
      << E.Warnings[0];
  E.Engine.Reset();
  EXPECT_EQ(E.Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (m (a 1) (c))", "f-2 (other 4)"}));
}
