#include "rulecraft/rete/Conditions.h"

#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/facts/FactPrinter.h"

namespace rulecraft {

// ---- the tree
// ----------------------------------------------------------------------------------------------

TCondition::TCondition(std::unique_ptr<TIEPattern> Pattern)
    : FKind(ckPattern), FPattern(std::move(Pattern)) {}

TCondition::~TCondition() = default;

std::unique_ptr<TCondition> TCondition::Clone(TComponent* Owner) const {
  auto Copy =
      FPattern ? std::make_unique<TCondition>(FPattern->Clone(Owner)) : std::make_unique<TCondition>(FKind);
  for (const auto& Child : FChildren) Copy->Add(Child->Clone(Owner));
  return Copy;
}

void TCondition::SetOwner(TComponent* Owner) {
  if (FPattern) FPattern->SetOwner(Owner);
  for (const auto& Child : FChildren) Child->SetOwner(Owner);
}

bool TCondition::HasGroups() const noexcept {
  if (FKind == ckAnd || FKind == ckOr) return true;
  for (const auto& Child : FChildren)
    if (Child->HasGroups()) return true;
  return false;
}

std::string TCondition::GetToString() const {
  if (FPattern) return FPattern->GetToString();
  static constexpr const char* Names[] = {"", "and", "or", "not", "exists"};
  std::string Out = std::string("(") + Names[FKind];
  for (const auto& Child : FChildren)
    Out += NewLineString + std::string(IndentString) + IndentText(Child->GetToString());
  return Out + ")";
}

std::unique_ptr<TCondition> NegateCondition(std::unique_ptr<TCondition> Element, int32_t Level) {
  if (Level <= 0) return Element;
  if (Level == 1) {
    auto Not = std::make_unique<TCondition>(ckNot);
    Not->Add(std::move(Element));
    return Not;
  }
  auto Exists = std::make_unique<TCondition>(ckExists);
  Exists->Add(std::move(Element));
  std::unique_ptr<TCondition> Out = std::move(Exists);
  for (int32_t I = 2; I < Level; ++I) Out = NegateCondition(std::move(Out), 1);
  return Out;
}

// ---- the expansion
// -----------------------------------------------------------------------------------------

namespace {

// One element of a conjunction: a pattern, or a negated conjunction of patterns.
struct TItem {
  std::unique_ptr<TIEPattern> Pattern;
  int32_t Negation = 0;
  std::vector<TItem> Members;

  TItem Copy() const {
    TItem Out;
    if (Pattern) Out.Pattern = Pattern->Clone(nullptr);
    Out.Negation = Negation;
    for (const TItem& Member : Members) Out.Members.push_back(Member.Copy());
    return Out;
  }
};
using TConjunction = std::vector<TItem>;
using TDisjunction = std::vector<TConjunction>;

class TExpander {
 public:
  explicit TExpander(const std::string& RuleName) : FRuleName(RuleName) {}

  TDisjunction Expand(const TCondition& Element) {
    switch (Element.GetKind()) {
      case ckPattern: {
        TDisjunction Out(1);
        Out[0].push_back(TItem{Element.GetPattern()->Clone(nullptr), 0, {}});
        return Out;
      }
      case ckAnd: {
        TDisjunction Out(1);
        for (int32_t I = 0; I < Element.GetCount(); ++I) Out = Combine(Out, Expand(Element.Get(I)));
        return Out;
      }
      case ckOr: {
        TDisjunction Out;
        for (int32_t I = 0; I < Element.GetCount(); ++I) {
          TDisjunction Branch = Expand(Element.Get(I));
          Check(Out.size() + Branch.size());
          for (TConjunction& Conjunction : Branch) Out.push_back(std::move(Conjunction));
        }
        return Out;
      }
      case ckNot:
        return Negate(Expand(Element.Get(0)));
      case ckExists:
        return Negate(Negate(Expand(Element.Get(0))));
    }
    return {};
  }

  TDisjunction Combine(const TDisjunction& Left, const TDisjunction& Right) {
    Check(Left.size() * Right.size());
    TDisjunction Out;
    for (const TConjunction& A : Left)
      for (const TConjunction& B : Right) {
        TConjunction Both;
        for (const TItem& Item : A) Both.push_back(Item.Copy());
        for (const TItem& Item : B) Both.push_back(Item.Copy());
        Out.push_back(std::move(Both));
      }
    return Out;
  }

  void Check(size_t Count) const {
    if (Count > static_cast<size_t>(MaxAlternatives))
      throw EIEException(STooManyAlternatives, {FRuleName, MaxAlternatives});
  }

 private:
  // A not of an or is the and of the nots of its branches.
  static TDisjunction Negate(TDisjunction Branches) {
    TDisjunction Out(1);
    for (TConjunction& Branch : Branches) Out[0].push_back(NegateConjunction(std::move(Branch)));
    return Out;
  }

  static TItem NegateConjunction(TConjunction Branch) {
    if (Branch.size() == 1) {
      TItem Item = std::move(Branch[0]);
      if (!Item.Pattern) {
        ++Item.Negation;
      } else if (Item.Pattern->GetName() == STestCE) {
        // A test element is negated by negating its call.
        const int32_t Data = Item.Pattern->IndexOfSlotName(SDefaultSlotName);
        for (int32_t T = 0; Data >= 0 && T < Item.Pattern->GetSlotTestCount(Data); ++T) {
          TIEPatternMatchTest* Test = Item.Pattern->GetSlotTest(Data, T);
          Test->SetTestType(Test->IsNegated() ? sttEquals : sttNotEquals);
        }
      } else {
        if (!Item.Pattern->GetBoundName().empty()) throw EIEException(std::string(SInvalidTestBinding));
        Item.Pattern->SetNegatedCount(Item.Pattern->GetNegatedCount() + 1);
      }
      return Item;
    }
    TItem Group;
    Group.Negation = 1;
    for (TItem& Member : Branch) {
      if (!Member.Pattern) throw EIEException(std::string(SNestedNegatedAnd));
      Group.Members.push_back(std::move(Member));
    }
    return Group;
  }

  const std::string& FRuleName;
};

}  // namespace

std::vector<TAlternative> ExpandConditions(const TConditions& Elements, const std::string& RuleName) {
  TExpander Expander(RuleName);
  TDisjunction All(1);
  for (const auto& Element : Elements) All = Expander.Combine(All, Expander.Expand(*Element));
  std::vector<TAlternative> Out;
  for (TConjunction& Conjunction : All) {
    TAlternative Patterns;
    for (TItem& Item : Conjunction) {
      if (Item.Pattern) {
        Patterns.push_back(std::move(Item.Pattern));
        continue;
      }
      const auto Size = static_cast<int32_t>(Item.Members.size());
      for (int32_t I = 0; I < Size; ++I) {
        std::unique_ptr<TIEPattern>& Member = Item.Members[static_cast<size_t>(I)].Pattern;
        Member->SetGroup(I, Size, Item.Negation);
        Patterns.push_back(std::move(Member));
      }
    }
    Out.push_back(std::move(Patterns));
  }
  return Out;
}

}  // namespace rulecraft
