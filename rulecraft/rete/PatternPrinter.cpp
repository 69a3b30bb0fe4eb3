// The printed form of a pattern (one conditional element of a rule) and of the tests of one of its slots.
#include <string>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

namespace {

// The engine that numbers placeholder variables: the owning rule's, the owner itself, or the template's.
IRuleEngine* EngineOf(const TIEPattern& Pattern) {
  if (auto* Rule = dynamic_cast<TRule*>(Pattern.GetOwner()); Rule && Rule->GetEngine())
    return Rule->GetEngine();
  if (auto* Owner = dynamic_cast<IRuleEngine*>(Pattern.GetOwner())) return Owner;
  const IFactTemplate& Template = Pattern.GetFactTemplate();
  return Template ? dynamic_cast<IRuleEngine*>(Template->GetOwner()) : nullptr;
}

// The comment as rule-language comment lines, each ending in a line break: lines that are not empty and do
// not start with ";" get "; " in front.
std::string CommentLines(const std::string& Comment) {
  std::string Out;
  size_t Start = 0;
  while (Start < Comment.size()) {
    size_t End = Comment.find_first_of("\r\n", Start);
    if (End == std::string::npos) End = Comment.size();
    const std::string Line = Comment.substr(Start, End - Start);
    if (!Line.empty() && Line[0] != ';') Out += "; ";
    Out += Line + NewLineString;
    // One line break is CR LF, LF or CR.
    if (End < Comment.size() && Comment[End] == '\r' && End + 1 < Comment.size() && Comment[End + 1] == '\n')
      ++End;
    Start = End + 1;
  }
  return Out;
}

bool IsMultiSlot(const TIEPattern& Pattern, const std::string& SlotName) {
  const IFactTemplate& Template = Pattern.GetFactTemplate();
  const IFactSlot* Slot = Template ? Template->FindSlot(SlotName) : nullptr;
  return Slot && ((*Slot)->IsMultiSlot() || (*Slot)->GetSlotType().Contains(dtMultiSlot));
}

}  // namespace

namespace {

// The tests of a slot. In a test element the calls stand alone, and a negated one is written "(not call)"
// unless Negation is left to the caller (which then writes the whole element inside "(not ...)").
std::string SlotTestsText(const TIEPattern& Pattern, int32_t SlotIndex, bool WriteNegation) {
  const TSlotTests* Tests = Pattern.GetSlotTests(SlotIndex);
  if (!Tests || Tests->Count() == 0) {
    // A slot without tests matches anything: a fresh variable stands for it.
    const std::string Prefix =
        IsMultiSlot(Pattern, Pattern.GetSlotName(SlotIndex)) ? SMultiSlotVar : SSlotVar;
    IRuleEngine* Engine = EngineOf(Pattern);
    return Engine ? Engine->GenerateSymbol(Prefix) : Prefix;
  }
  const bool TestElement = Pattern.GetName() == STestCE;
  std::string Out;
  for (int32_t I = 0; I < Tests->Count(); ++I) {
    const TIEPatternMatchTest* Test = Tests->Get(I);
    if (I > 0) {
      if (Test->GetMultiSlotSubIndex() != Tests->Get(I - 1)->GetMultiSlotSubIndex())
        Out += ' ';
      else
        Out += Test->GetConjunction() ? '&' : '|';
    }
    const IIEValue& Value = Test->GetSlotValue();
    const std::string Text = Value ? Value->GetToString() : std::string();
    if (TestElement) {
      Out += Test->IsNegated() && WriteNegation ? "(not " + Text + ")" : Text;
      continue;
    }
    if (Test->IsNegated()) Out += '~';
    if (Value && Value->GetDType() == dtFunCall) Out += ':';
    Out += Text;
  }
  return Out;
}

// A test element whose tests are all negated is the parser's form of "(not (test ...))".
bool IsNegatedTestElement(const TIEPattern& Pattern, int32_t Data) {
  if (Pattern.GetName() != STestCE || Data < 0 || Pattern.GetSlotTestCount(Data) == 0) return false;
  for (int32_t I = 0; I < Pattern.GetSlotTestCount(Data); ++I)
    if (!Pattern.GetSlotTest(Data, I)->IsNegated()) return false;
  return true;
}

}  // namespace

std::string PrettyPrintSlotTests(const TIEPattern& Pattern, int32_t SlotIndex) {
  return SlotTestsText(Pattern, SlotIndex, true);
}

std::string PrettyPrintPattern(const TIEPattern& Pattern) {
  const TReadBackText ReadBack;
  const IFactTemplate& Template = Pattern.GetFactTemplate();
  if (!Template) throw EIEException(SNoTemplate);
  const std::string& Name = Pattern.GetName().empty() ? Template->GetTemplateName() : Pattern.GetName();
  const std::string Comment = CommentLines(Pattern.GetComment());
  std::string Out;
  if (Template->IsOrdered() || Name == STestCE) {
    // The field tests follow the name; an ordered pattern without tests is "(name)".
    const int32_t Data = Pattern.IndexOfSlotName(SDefaultSlotName);
    if (IsNegatedTestElement(Pattern, Data))
      Out = "(not " + Comment + "(" + Name + " " + SlotTestsText(Pattern, Data, false) + "))";
    else if (Data >= 0 && Pattern.GetSlotTestCount(Data) > 0)
      Out = Comment + "(" + Name + " " + PrettyPrintSlotTests(Pattern, Data) + ")";
    else
      Out = Comment + "(" + Name + ")";
  } else {
    Out = Comment + "(" + Name;
    for (int32_t I = 0; I < Pattern.GetSlotCount(); ++I)
      if (Pattern.GetSlotTestCount(I) > 0)
        Out += " (" + Pattern.GetSlotName(I) + " " + PrettyPrintSlotTests(Pattern, I) + ")";
    Out += ")";
  }
  if (Pattern.GetUnique()) Out = "(unique " + Out + ")";
  if (Pattern.GetExplicit()) Out = "(explicit " + Out + ")";
  const int32_t Negations = Pattern.GetNegatedCount();
  if (Negations == 1) {
    Out = "(not " + Out + ")";
  } else if (Negations >= 2) {
    std::string Nots;
    for (int32_t I = 2; I < Negations; ++I) Nots += "(not ";
    Out = Nots + "(exists " + Out + ")" + std::string(static_cast<size_t>(Negations - 2), ')');
  }
  if (!Pattern.GetBoundName().empty()) Out = "?" + Pattern.GetBoundName() + " <- " + Out;
  return Out;
}

}  // namespace rulecraft
