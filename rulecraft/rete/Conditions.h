#pragma once
// TCondition: a conditional element of a rule's left-hand side as the user wrote it, when it holds `and` or
// `or` elements: a pattern (or test element), an and, an or, a not or an exists of such elements. A rule
// keeps the elements it was written with (for its text) and runs one internal rule per alternative of the
// expansion: ExpandConditions rewrites the elements into the alternatives of an or of ands, each a flat list
// of patterns; a not or exists of several elements becomes a negated conjunction whose member patterns know
// their place in it (TIEPattern::SetGroup).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/rete/Pattern.h"

namespace rulecraft {

class TComponent;

enum TConditionKind : uint8_t { ckPattern, ckAnd, ckOr, ckNot, ckExists };

/// The largest number of alternatives one rule's left-hand side may expand to.
inline constexpr int32_t MaxAlternatives = 1000;

class TCondition {
 public:
  explicit TCondition(TConditionKind Kind) noexcept : FKind(Kind) {}
  /// A pattern element (the pattern keeps its own negation, unique and explicit flags).
  explicit TCondition(std::unique_ptr<TIEPattern> Pattern);
  TCondition(const TCondition&) = delete;
  TCondition& operator=(const TCondition&) = delete;
  ~TCondition();

  TConditionKind GetKind() const noexcept { return FKind; }
  /// The pattern of a pattern element, else nullptr.
  TIEPattern* GetPattern() const noexcept { return FPattern.get(); }
  /// Hands the pattern of a pattern element over to the caller.
  std::unique_ptr<TIEPattern> TakePattern() noexcept { return std::move(FPattern); }
  int32_t GetCount() const noexcept { return static_cast<int32_t>(FChildren.size()); }
  const TCondition& Get(int32_t Index) const { return *FChildren[static_cast<size_t>(Index)]; }
  void Add(std::unique_ptr<TCondition> Child) { FChildren.push_back(std::move(Child)); }
  /// A deep copy whose patterns are owned by Owner.
  std::unique_ptr<TCondition> Clone(TComponent* Owner) const;
  /// Hands every pattern of the tree to Owner.
  void SetOwner(TComponent* Owner);
  /// True when the tree holds an and or an or element.
  bool HasGroups() const noexcept;
  /// The element's text as written; nested elements go on lines of their own, indented.
  std::string GetToString() const;

 private:
  TConditionKind FKind;
  std::unique_ptr<TIEPattern> FPattern;
  std::vector<std::unique_ptr<TCondition>> FChildren;
};

using TConditions = std::vector<std::unique_ptr<TCondition>>;
/// One alternative: its patterns in order, owned by nobody yet.
using TAlternative = std::vector<std::unique_ptr<TIEPattern>>;

/// Wraps Element in Level negations as the parser counts them (1 not, 2 exists, 3 not exists, ...).
std::unique_ptr<TCondition> NegateCondition(std::unique_ptr<TCondition> Element, int32_t Level);

/// The alternatives of the elements (taken as one and): an or becomes one alternative per branch, an and
/// the combinations of its members' alternatives, a not of an or the and of the nots, a not or exists of
/// several elements a negated conjunction. Raises STooManyAlternatives above MaxAlternatives (RuleName
/// names the rule), SNestedNegatedAnd for a negated conjunction inside another, SInvalidTestBinding for a
/// bound pattern that ends up negated.
std::vector<TAlternative> ExpandConditions(const TConditions& Elements, const std::string& RuleName);

}  // namespace rulecraft
