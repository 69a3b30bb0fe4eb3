#include "rulecraft/rete/TestNode.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "rulecraft/framework/Exception.h"
#include "rulecraft/rete/NodeSupport.h"

namespace rulecraft {

TTestNode::TTestNode(TReteNetwork* Network) : TReteNode(Network) {}

TTestNode::~TTestNode() = default;

TIESlotTest* TTestNode::GetTest(int32_t Index) const {
  if (Index < 0 || Index >= GetTestCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FTests[static_cast<size_t>(Index)].get();
}

void TTestNode::AddTest(std::unique_ptr<TIESlotTest> Test) {
  if (!Test) return;
  if (IsCallTest(*Test)) ++FCallTests;
  FTests.push_back(std::move(Test));
}

bool TTestNode::IsCallTest(const TIESlotTest& Test) {
  return Test.InheritsFrom(TIEPatternMatchTest::StaticClass());
}

bool TTestNode::Equals(const TTestNode& Other) const {
  if (ClassType() != Other.ClassType() || FTests.size() != Other.FTests.size()) return false;
  auto HoldsCall = [](const std::vector<std::unique_ptr<TIESlotTest>>& Tests) {
    return std::any_of(Tests.begin(), Tests.end(), [](const std::unique_ptr<TIESlotTest>& Test) {
      return Test->InheritsFrom(TIEPatternMatchTest::StaticClass());
    });
  };
  if (HoldsCall(FTests) || HoldsCall(Other.FTests)) return false;
  for (const auto& Test : FTests) {
    const bool Matched =
        std::any_of(Other.FTests.begin(), Other.FTests.end(),
                    [&Test](const std::unique_ptr<TIESlotTest>& Mine) { return Mine->Equals(*Test); });
    if (!Matched) return false;
  }
  return true;
}

bool TTestNode::RunTests(bool Removing) {
  TIEContext* Context = GetContext();
  const bool SkipCalls = Removing && FCallTests > 0;
  for (const auto& Test : FTests) {
    if (SkipCalls && IsCallTest(*Test)) continue;
    const bool Pass = Test->PerformTest(Context);
    // A return left pending by a call stops at its test.
    if (Context->GetReturn()) Context->ClearReturnValue();
    if (!Pass) return false;
  }
  return true;
}

bool TTestNode::RunJoinTests(const TTokenBase& Left, TFact* Right) const {
  if (!Right) return true;  // a comparison without its right fact refuses nothing
  for (const auto& Test : FTests)
    if (!static_cast<const TIEJoinTest&>(*Test).Matches(Left, *Right)) return false;
  return true;
}

int32_t TTestNode::PassingTests(const IReteToken& Left, const IFact& Right) {
  if (!Left) return 0;
  TIEContext* Context = GetContext();
  const TPairContext Pair(Context, Left, Right);
  int32_t Passed = 0;
  for (const auto& Test : FTests) {
    bool Pass;
    if (IsCallTest(*Test)) {
      Pass = Test->PerformTest(Context);
      if (Context->GetReturn()) Context->ClearReturnValue();
    } else {
      Pass = !Right || static_cast<const TIEJoinTest&>(*Test).Matches(*Left, *Right);
    }
    if (!Pass) break;
    ++Passed;
  }
  return Passed;
}

bool TTestNode::CallNode(const IReteToken& Token, TCallType CallType) {
  (void)CallType;
  if (!Token) return false;
  if (Token->GetTag() == taClear) {
    CallChildren(Token);
    return true;
  }
  // The test element takes a place in the partial match like any pattern, so that the positions of the
  // later patterns' bindings stay right: the placeholder fact stands there.
  if (Token->GetTag() == taRemove) {
    CallChildren(MakeRef<TIEToken>(Token, NullFact()));
    return true;
  }
  bool Pass;
  {
    TPairContext Pair(GetContext(), Token, IFact());
    Pass = RunTests();
  }
  if (Pass) CallChildren(MakeRef<TIEToken>(Token, NullFact()));
  return Pass;
}

std::string TTestNode::GetToString() const {
  std::string Text = TReteNode::GetToString() + " NumTests: " + std::to_string(FTests.size());
  for (const auto& Test : FTests) Text += " (" + Test->GetToString() + ")";
  return Text;
}

}  // namespace rulecraft
