// Rule compilation's work on one pattern: a slot's disjunctive tests (a | b) are rewritten into a variable
// bound to the field and one or-call over the alternatives, adding the bindings the rule needs.
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

namespace {

// A group of FixTests: consecutive tests of one slot with the same sub-index.
struct TTestGroup {
  int32_t Begin;
  int32_t End;  // one past the last test
  bool Disjunctive;
};

std::vector<TTestGroup> GroupsOf(const TSlotTests& Tests) {
  std::vector<TTestGroup> Groups;
  for (int32_t I = 0; I < Tests.Count(); ++I) {
    const TIEPatternMatchTest* Test = Tests.Get(I);
    if (Groups.empty() ||
        Tests.Get(Groups.back().Begin)->GetMultiSlotSubIndex() != Test->GetMultiSlotSubIndex())
      Groups.push_back(TTestGroup{I, I, false});
    Groups.back().End = I + 1;
    if (!Test->GetConjunction()) Groups.back().Disjunctive = true;
  }
  return Groups;
}

// The group's first test stands for the field when it binds a variable: a plain (not negated) variable.
bool BindsField(const TIEPatternMatchTest& Test) {
  const IIEValue& Value = Test.GetSlotValue();
  return !Test.IsNegated() && Value && Value->GetDType() == dtVariable;
}

}  // namespace

void TIEPattern::FixTests() {
  if (FDisjunctiveCount <= 0) return;
  TRule* Rule = dynamic_cast<TRule*>(FOwner);
  if (!Rule) {
    for (const TPatternSlot& Slot : FSlots) {
      if (!Slot.Tests) continue;
      for (const TTestGroup& Group : GroupsOf(*Slot.Tests))
        if (Group.Disjunctive && !BindsField(*Slot.Tests->Get(Group.Begin))) throw EIEException(SNoRule);
    }
  }
  IRuleEngine* Reasoner = Engine();
  struct TNewBinding {
    std::string Name;
    std::string Slot;
    int32_t SubIndex;
  };
  std::vector<TNewBinding> NewBindings;
  // The rewritten lists are built first and put in place only when everything is ready, so that a failure
  // leaves the pattern as it was.
  std::vector<std::pair<size_t, std::vector<std::unique_ptr<TIEPatternMatchTest>>>> Rewritten;
  for (size_t S = 0; S < FSlots.size(); ++S) {
    const TPatternSlot& Slot = FSlots[S];
    if (!Slot.Tests) continue;
    const std::vector<TTestGroup> Groups = GroupsOf(*Slot.Tests);
    if (std::none_of(Groups.begin(), Groups.end(), [](const TTestGroup& G) { return G.Disjunctive; }))
      continue;
    std::vector<std::unique_ptr<TIEPatternMatchTest>> Tests;
    for (const TTestGroup& Group : Groups) {
      if (!Group.Disjunctive) {
        for (int32_t I = Group.Begin; I < Group.End; ++I)
          Tests.push_back(CreatePatternMatchTest(*Slot.Tests->Get(I)));
        continue;
      }
      const int32_t SubIndex = Slot.Tests->Get(Group.Begin)->GetMultiSlotSubIndex();
      int32_t First = Group.Begin;
      IIEValue SlotVariable;
      if (BindsField(*Slot.Tests->Get(First))) {
        SlotVariable = Slot.Tests->Get(First)->GetSlotValue()->Clone();
        ++First;
      } else {
        std::string Name;
        if (Reasoner) {
          Name = Reasoner->GenerateSymbol(SBlankPrefix);
        } else {
          // Without an engine the placeholder is numbered after the rule's bindings.
          int32_t Number = Rule->GetBindingCount() + static_cast<int32_t>(NewBindings.size());
          do {
            Name = SBlankPrefix + std::to_string(++Number);
          } while (Rule->IndexOfBinding(Name) >= 0 ||
                   std::any_of(NewBindings.begin(), NewBindings.end(),
                               [&](const TNewBinding& B) { return B.Name == Name; }));
        }
        NewBindings.push_back(TNewBinding{Name, Slot.Name, SubIndex});
        SlotVariable = MakeRef<TIEValue>(Name, dtVariable);
      }
      Tests.push_back(CreatePatternMatchTest(sttEquals, SubIndex, SlotVariable));
      if (First == Group.End) continue;
      IFunCall Or = MakeRef<TFunctionCall>(Reasoner, "or");
      for (int32_t I = First; I < Group.End;) {
        int32_t RunEnd = I + 1;
        while (RunEnd < Group.End && Slot.Tests->Get(RunEnd)->GetConjunction()) ++RunEnd;
        if (RunEnd - I == 1) {
          Or->AddArgument(Slot.Tests->Get(I)->ConvertToFunCall(Reasoner, SlotVariable));
        } else {
          IFunCall And = MakeRef<TFunctionCall>(Reasoner, "and");
          for (int32_t J = I; J < RunEnd; ++J)
            And->AddArgument(Slot.Tests->Get(J)->ConvertToFunCall(Reasoner, SlotVariable));
          Or->AddArgument(And);
        }
        I = RunEnd;
      }
      Tests.push_back(CreatePatternMatchTest(sttEquals, SubIndex, MakeRef<TIEValue>(TRef<TFunCallBase>(Or))));
    }
    Rewritten.emplace_back(S, std::move(Tests));
  }

  BeginUpdate();
  try {
    if (Rule)
      for (const TNewBinding& Binding : NewBindings)
        Rule->AddBinding(Binding.Name, Rule->IndexOfPattern(this), Binding.Slot, Binding.SubIndex);
    for (auto& [S, Tests] : Rewritten) {
      TSlotTests& List = *FSlots[S].Tests;
      List.Clear();
      for (auto& Test : Tests) List.Add(std::move(Test));
    }
  } catch (...) {
    --FUpdateCount;
    throw;
  }
  EndUpdate();
}

}  // namespace rulecraft
