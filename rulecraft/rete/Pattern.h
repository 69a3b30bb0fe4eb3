#pragma once
// Patterns: one condition element of a rule's left-hand side (TIEPattern): a fact template, the tests the
// facts of that template must pass slot by slot, the number of `not` wrappers, and an optional variable
// bound to the matching fact. Slot tests (TIEPatternMatchTest) compare one slot (or one field of a
// multislot) with a value or a call; join tests (TIEJoinTest) compare slots of facts of two patterns and are
// held by join nodes. Equal tests may share a network node.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Enums.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/functions/TokenBase.h"
#include "rulecraft/rete/SlotReader.h"

namespace rulecraft {

class IFunctionEngine;
class IRuleEngine;
class TIEContext;
class TIEPattern;

enum TSlotTestType : uint8_t { sttEquals, sttNotEquals };
const TEnumInfo& TSlotTestTypeInfo();
/// Whether a join test compares whole slot values (tstSlot) or fields of multislots (tstMultiSlot).
using TJoinTestType = TTemplateSlotType;

class TIESlotTest : public TPersistent {
  RC_CLASS(TIESlotTest, TPersistent)
 public:
  TSlotTestType GetTestType() const noexcept { return FTestType; }
  void SetTestType(TSlotTestType Value) noexcept { FTestType = Value; }
  bool IsNegated() const noexcept { return FTestType == sttNotEquals; }

  void Assign(const TPersistent* Source) override;
  /// "=" or "<>", extended by each kind of test.
  virtual std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }
  /// A new test of the same class, assigned from this one.
  virtual std::unique_ptr<TIESlotTest> Clone() const = 0;
  /// The same class and test type (each kind adds its fields).
  virtual bool Equals(const TIESlotTest& Other) const;
  virtual bool PerformTest(TIEContext* Context) = 0;

 protected:
  explicit TIESlotTest(TSlotTestType Type = sttEquals) noexcept : FTestType(Type) {}

 private:
  TSlotTestType FTestType;
};

class TIEPatternMatchTest final : public TIESlotTest {
  RC_CLASS(TIEPatternMatchTest, TIESlotTest)
 public:
  explicit TIEPatternMatchTest(TIEPattern* Pattern = nullptr);
  TIEPatternMatchTest(TIEPattern* Pattern, TSlotTestType Type, int32_t SubIndex, const IIEValue& Value);
  /// A copy of Source taking Value instead of Source's value.
  TIEPatternMatchTest(const TIEPatternMatchTest& Source, const IIEValue& Value);

  /// The value the slot is compared with, or a call.
  const IIEValue& GetSlotValue() const noexcept { return FSlotValue; }
  /// Stores a clone of Value and tells the pattern.
  void SetSlotValue(const IIEValue& Value);
  int32_t GetMultiSlotSubIndex() const noexcept { return FMultiSlotSubIndex; }
  void SetMultiSlotSubIndex(int32_t Value);
  /// False for a test written after "|".
  bool GetConjunction() const noexcept { return FConjunction; }
  void SetConjunction(bool Value);
  TIEPattern* GetPattern() const noexcept { return FPattern; }
  void SetPattern(TIEPattern* Value) noexcept { FPattern = Value; }

  /// Copies type, value (cloned), sub-index and conjunction.
  void Assign(const TPersistent* Source) override;
  /// "=" or "<>", " SubIdx: " and the sub-index, then " Slot: " and the value's text when there is one.
  std::string GetToString() const override;
  std::unique_ptr<TIESlotTest> Clone() const override;
  /// Also equal values (kind and value), sub-indexes and conjunction flags.
  bool Equals(const TIESlotTest& Other) const override;
  /// Shortcuts comparing with the parts of a test directly.
  bool Equals(bool Negated, bool Conjunction, int32_t SubIndex, const IIEValue& Value) const;
  bool Equals(bool Negated, int32_t SubIndex, const IIEValue& Value) const;
  /// Resolves the value in Context: an equals test passes unless the result is FALSE, a not-equals test
  /// passes when it is FALSE.
  bool PerformTest(TIEContext* Context) override;
  /// The call expressing this test against SlotValue: (eq value slot) / (neq value slot), or the test's own
  /// call / (not call) when the test's value is a call.
  IFunCall ConvertToFunCall(IFunctionEngine* Reasoner, const IIEValue& SlotValue) const;

 private:
  IIEValue FSlotValue;
  int32_t FMultiSlotSubIndex = NoSubIndex;
  bool FConjunction = true;
  TIEPattern* FPattern;
};

class TIEJoinTest final : public TIESlotTest {
  RC_CLASS(TIEJoinTest, TIESlotTest)
 public:
  TIEJoinTest() = default;
  /// A whole-slot comparison (tstSlot).
  TIEJoinTest(TSlotTestType Type, const std::string& LeftSlot, const std::string& RightSlot,
              int32_t TokenIdx);
  /// A comparison of multislot fields (tstMultiSlot); a sub-index of -1 means the whole value.
  TIEJoinTest(TSlotTestType Type, const std::string& LeftSlot, int32_t LeftSubIndex,
              const std::string& RightSlot, int32_t RightSubIndex, int32_t TokenIdx);

  int32_t GetRightSubIndex() const noexcept { return FRightSubIndex; }
  const std::string& GetRightSlot() const noexcept { return FRightSlot; }
  const std::string& GetLeftSlot() const noexcept { return FLeftSlot; }
  int32_t GetTokenIdx() const noexcept { return FTokenIdx; }
  int32_t GetLeftSubIndex() const noexcept { return FLeftSubIndex; }
  TJoinTestType GetJoinType() const noexcept { return FJoinType; }

  void Assign(const TPersistent* Source) override;
  std::string GetToString() const override;
  std::unique_ptr<TIESlotTest> Clone() const override;
  bool Equals(const TIESlotTest& Other) const override;
  /// Compares the right fact's slot (Context's Fact) with the slot of the left token's fact at TokenIdx
  /// (Context's Token).
  bool PerformTest(TIEContext* Context) override;
  /// The same comparison of Right with the left token's fact, without a context.
  bool Matches(const TTokenBase& Token, TFact& Right) const;

  // The comparison in parts, so that a scan reads the side that stays fixed only once.
  /// The compared field of the left token's fact (Left); nullptr when it is not there.
  const TIEValue* LeftValue(TFact& Left) const {
    return FJoinType == tstMultiSlot ? FLeftReader.Field(Left, FLeftSubIndex) : FLeftReader.Value(Left);
  }
  /// The compared field of the right fact; nullptr when it is not there.
  const TIEValue* RightValue(TFact& Right) const {
    return FJoinType == tstMultiSlot ? FRightReader.Field(Right, FRightSubIndex) : FRightReader.Value(Right);
  }
  /// The outcome for the two fields read: a field that is not there equals nothing.
  bool Compare(const TIEValue* Left, const TIEValue* Right) const {
    const bool Equal = Left && Right && Right->SameAs(*Left);
    return IsNegated() ? !Equal : Equal;
  }

 private:
  int32_t FRightSubIndex = NoSubIndex;
  // The compared slots, read by position (see TSlotReader).
  TSlotReader FLeftReader;
  TSlotReader FRightReader;
  std::string FRightSlot;
  std::string FLeftSlot;
  int32_t FTokenIdx = 0;
  int32_t FLeftSubIndex = NoSubIndex;
  TJoinTestType FJoinType = tstSlot;
};

/// The tests of one slot of a pattern, owned; insertions and removals are reported to the pattern.
class TSlotTests {
 public:
  explicit TSlotTests(TIEPattern* Pattern) noexcept : FPattern(Pattern) {}
  TSlotTests(const TSlotTests&) = delete;
  TSlotTests& operator=(const TSlotTests&) = delete;
  ~TSlotTests();

  int32_t Add(std::unique_ptr<TIEPatternMatchTest> Test);
  void Insert(int32_t Index, std::unique_ptr<TIEPatternMatchTest> Test);
  int32_t IndexOf(const TIEPatternMatchTest* Test) const noexcept;
  /// Removes and frees Test; its former index or -1.
  int32_t Remove(const TIEPatternMatchTest* Test);
  void Delete(int32_t Index);
  /// Removes Test without freeing it.
  std::unique_ptr<TIEPatternMatchTest> Extract(int32_t Index);
  TIEPatternMatchTest* Get(int32_t Index) const;
  /// Replaces (and frees) the test at Index.
  void Set(int32_t Index, std::unique_ptr<TIEPatternMatchTest> Test);
  int32_t Count() const noexcept { return static_cast<int32_t>(FItems.size()); }
  void Clear();

 private:
  TIEPattern* FPattern;
  std::vector<std::unique_ptr<TIEPatternMatchTest>> FItems;
};

class TIEPattern : public TPersistent {
  RC_CLASS(TIEPattern, TPersistent)
 public:
  /// Lists every slot of Template (sorted) with no tests and length -1.
  TIEPattern(TComponent* Owner, const TIEName& Name, const IFactTemplate& Template, int32_t NegatedCount);
  /// A copy of Source owned by Owner.
  TIEPattern(TComponent* Owner, const TIEPattern& Source);
  ~TIEPattern() override;

  std::unique_ptr<TIEPattern> Clone(TComponent* Owner) const;
  /// Copies comment, bound name, flags, name, template, negated count and the slots with copies of their
  /// tests.
  void Assign(const TPersistent* Source) override;

  bool GetUnique() const noexcept { return FUnique; }
  void SetUnique(bool Value);
  bool GetExplicit() const noexcept { return FExplicit; }
  void SetExplicit(bool Value);
  const IFactTemplate& GetFactTemplate() const noexcept { return FFactTemplate; }
  int32_t GetNegatedCount() const noexcept { return FNegatedCount; }
  void SetNegatedCount(int32_t Value);
  /// True when the negated count is odd.
  bool IsNegated() const noexcept { return (FNegatedCount & 1) != 0; }
  /// A pattern that is a member of a negated conjunction (a `not` or `exists` of several elements) knows
  /// its place in it: GroupSize members (0 outside a conjunction), this one at GroupIndex, the whole
  /// conjunction negated GroupNegation times (1 for not, 2 for exists). Its own negated count is its
  /// negation inside the conjunction.
  int32_t GetGroupIndex() const noexcept { return FGroupIndex; }
  int32_t GetGroupSize() const noexcept { return FGroupSize; }
  int32_t GetGroupNegation() const noexcept { return FGroupNegation; }
  void SetGroup(int32_t Index, int32_t Size, int32_t Negation) noexcept;
  const TIEName& GetBoundName() const noexcept { return FBoundName; }
  /// Raises "Cannot bind a negated pattern to a variable" for a negated test element.
  void SetBoundName(const TIEName& Value);
  const TIEName& GetName() const noexcept { return FName; }
  void SetName(const TIEName& Value);
  TComponent* GetOwner() const noexcept { return FOwner; }
  void SetOwner(TComponent* Value);
  const std::string& GetComment() const noexcept { return FComment; }
  void SetComment(const std::string& Value) { FComment = Value; }
  std::function<void(TIEPattern* Sender)> OnChange;

  int32_t GetSlotCount() const noexcept { return static_cast<int32_t>(FSlots.size()); }
  const std::string& GetSlotName(int32_t Index) const;
  /// The position of a slot name in the pattern's (sorted) slot list, or -1.
  int32_t IndexOfSlotName(const std::string& Name) const noexcept;
  /// -1 when the slot has no length constraint.
  int32_t GetSlotLength(int32_t Index) const;
  void SetSlotLength(int32_t Index, int32_t Length);
  /// The slot's tests, or nullptr when it has none yet.
  TSlotTests* GetSlotTests(int32_t Index) const;
  int32_t GetSlotTestCount(int32_t Index) const;
  TIEPatternMatchTest* GetSlotTest(int32_t Index, int32_t TestIndex) const;
  void SetSlotTest(int32_t Index, int32_t TestIndex, std::unique_ptr<TIEPatternMatchTest> Test);
  /// Replaces the slots by Source's slots, with copies of their tests and their lengths.
  void SetTests(const TIEPattern& Source);
  /// The number of tests in all slots, and of tests written after "|".
  int32_t GetTestCount() const noexcept { return FTestCount; }
  int32_t GetDisjunctiveCount() const noexcept { return FDisjunctiveCount; }

  std::unique_ptr<TIEPatternMatchTest> CreatePatternMatchTest(TSlotTestType Type, int32_t SubIndex,
                                                              const IIEValue& Value);
  std::unique_ptr<TIEPatternMatchTest> CreatePatternMatchTest(const TIEPatternMatchTest& Test);
  /// Appends a test to a slot ("Fact Template is missing"; "No such slot name: "%s"" for a slot the
  /// template lacks); a template slot missing from the list is added.
  TIEPatternMatchTest* AddTest(const std::string& SlotName, std::unique_ptr<TIEPatternMatchTest> Test);
  TIEPatternMatchTest* AddTest(const std::string& SlotName, const IIEValue& Value, int32_t SubIndex,
                               bool Negated, bool Conjunction);
  /// Rewrites every group of tests of one field that holds a test written after "|" into a binding test and
  /// one call test combining the group with "or" and "and" (only when there is such a test).
  void FixTests();

  void BeginUpdate() noexcept { ++FUpdateCount; }
  void EndUpdate();
  /// Outside updates: tells an owning rule and raises OnChange.
  void Change();
  /// Told by the slot lists and tests.
  void TestNotification(const TIEPatternMatchTest& Test, bool Added);
  void TestChange(const TIEPatternMatchTest& Test);
  void TestConjunctionChange(const TIEPatternMatchTest& Test);

  /// The pattern's text, through the engine's printer when the template has one.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }

 private:
  struct TPatternSlot {
    std::string Name;
    std::unique_ptr<TSlotTests> Tests;
    int32_t Length = -1;
  };
  TPatternSlot& SlotAt(int32_t Index);
  const TPatternSlot& SlotAt(int32_t Index) const;
  /// The engine that makes symbols and calls for this pattern: the owning rule's, else the template's.
  IRuleEngine* Engine() const;

  bool FUnique = false;
  bool FExplicit = false;
  IFactTemplate FFactTemplate;
  int32_t FNegatedCount = 0;
  int32_t FGroupIndex = 0;
  int32_t FGroupSize = 0;
  int32_t FGroupNegation = 0;
  TIEName FBoundName;
  TIEName FName;
  std::vector<TPatternSlot> FSlots;  // sorted by name like template slots
  int32_t FUpdateCount = 0;
  TComponent* FOwner = nullptr;
  int32_t FTestCount = 0;
  int32_t FDisjunctiveCount = 0;
  std::string FComment;
};

/// The stand-alone text of a pattern (one conditional element).
std::string PrettyPrintPattern(const TIEPattern& Pattern);
/// The tests of one slot of a pattern, as they stand inside the slot's parentheses.
std::string PrettyPrintSlotTests(const TIEPattern& Pattern, int32_t SlotIndex);

}  // namespace rulecraft
