#pragma once
// TPatternMatchNode: a one-input node testing the one fact of a root token (its template, a slot against a
// constant or a call, two slots against each other, a multislot's length or one of its fields), or splitting
// a multislot around a multifield variable.
#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/rete/ReteNodeBase.h"

namespace rulecraft {

/// What a pattern-match node tests.
enum TPatternMatchTest : uint8_t {
  pmtUnknown,
  pmtTestClassType,
  pmtTestEqual,
  pmtTestNotEqual,
  pmtTestSlotValueEqual,
  pmtTestSlotValueNotEqual,
  pmtTestMultiSlotEqual,
  pmtTestMultiSlotNotEqual,
  pmtTestMultiSlotLength,
  pmtTestMultiSlotMultiField,
  pmtFailTest
};
const TEnumInfo& TPatternMatchTestInfo();

/// One argument of a pattern-match node: a slot name or a number (a field position, a length).
class TNodeArg {
 public:
  TNodeArg(int32_t Value) noexcept : FInteger(Value) {}  // NOLINT: arguments are written as plain lists
  TNodeArg(std::string Value) : FText(std::move(Value)), FIsText(true) {}    // NOLINT
  TNodeArg(const char* Value) : FText(Value ? Value : ""), FIsText(true) {}  // NOLINT

  bool IsText() const noexcept { return FIsText; }
  /// The number; 0 for a text.
  int32_t AsInteger() const noexcept { return FIsText ? 0 : FInteger; }
  /// The text; empty for a number.
  const std::string& AsText() const noexcept { return FText; }
  bool operator==(const TNodeArg& Other) const noexcept {
    return FIsText == Other.FIsText && (FIsText ? FText == Other.FText : FInteger == Other.FInteger);
  }
  /// The text itself, or the number in decimal.
  std::string ToString() const { return FIsText ? FText : std::to_string(FInteger); }

 private:
  std::string FText;
  int32_t FInteger = 0;
  bool FIsText = false;
};
using TNodeArgs = std::vector<TNodeArg>;

/// What the rest of a pattern lets a multifield split take: the run leaves the slot between LeastRest and
/// MostRest other entries, and when FirstSlot is set the run repeats the one already split at that slot and
/// position, so it takes that run's length and its fields.
struct TSplitLimits {
  int32_t LeastRest = 0;
  int32_t MostRest = INT32_MAX;
  std::string FirstSlot;
  int32_t FirstIndex = NoSubIndex;
};

class TPatternMatchNode : public TReteNode {
  RC_CLASS(TPatternMatchNode, TReteNode)
 public:
  /// Args by test: class type (0, 0); equal tests (slot, field position or -1); slot-to-slot tests (slot,
  /// other slot, field position, other field position, each -1 for the whole value); length (slot, length);
  /// multifield (slot, position, 0).
  TPatternMatchNode(TReteNetwork* Network, TPatternMatchTest Test, TNodeArgs Args, IIEValue Value);

  const IIEValue& GetValue() const noexcept { return FValue; }
  const TNodeArgs& GetArgs() const noexcept { return FArgs; }
  TPatternMatchTest GetPatternMatchTest() const noexcept { return FTest; }
  /// Same test and arguments, and an equal value when Value is given (node sharing; fuzzy values must be
  /// the same set point for point, not merely fuzzy-equal).
  bool Matches(TPatternMatchTest Test, const TNodeArgs& Args, const IIEValue* Value) const;

  /// The limits of a multifield split for one more rule using the node: the first rule sets them, each
  /// further rule sharing the node widens them to cover its own, so the node tries every run length one of
  /// them may accept. Splits outside them would be refused by the tests after the split.
  void LimitSplit(const TSplitLimits& Limits);
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  bool GetEqualityConstant(const std::string*& Slot, const TIEValue*& Value) const override;
  /// The template a class-type test (pmtTestClassType) accepts, with every template that extends it.
  const std::string& GetClassName() const noexcept { return FSlot; }
  /// The node's text, then " Value: " and the value, " Test: " and the test's name, " Args: (...)".
  std::string GetToString() const override;

  using TReteNode::CallChildren;

 protected:
  /// The comparison step: Left and Right compared with Equals (negated when asked); on success the token goes
  /// on, with its strength lowered to the fuzzy degree of the match when one of the values is fuzzy.
  bool CallChildren(const IReteToken& Token, const IIEValue& Left, const IIEValue& Right, bool Negate);

 private:
  bool PassCall(const IReteToken& Token, const IFact& Fact, bool Negate);
  bool SplitMultiField(const IReteToken& Token, TFact& Fact);
  bool IsClassOf(const TFactTemplate* Template) const;

  IIEValue FValue;
  TNodeArgs FArgs;
  TPatternMatchTest FTest;
  bool FValueIsCall = false;
  // The arguments read on every token, taken apart once.
  std::string FSlot;
  std::string FOtherSlot;
  int32_t FIndex = NoSubIndex;
  int32_t FOtherIndex = NoSubIndex;
  // A multifield split's limits, once a rule has set them.
  TSplitLimits FLimits;
  bool FLimited = false;
};

}  // namespace rulecraft
