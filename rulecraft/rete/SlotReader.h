#pragma once
// TSlotReader: reads one named slot of the facts a join or a token memory meets, by position. The position is
// looked up by name once per slot layout and kept with the layout it belongs to (held, so no other layout can
// take its address): facts of one template share their layout, so a run of facts of the pattern's template
// is read without comparing names; a fact of a template that extends it (another layout) looks the name up
// again.
#include <cstdint>
#include <string>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactTemplate.h"

namespace rulecraft {

class TSlotReader {
 public:
  TSlotReader() = default;
  explicit TSlotReader(std::string Name) : FName(std::move(Name)) {}

  const std::string& GetName() const noexcept { return FName; }
  void SetName(std::string Name) {
    FName = std::move(Name);
    FLayout.reset();
  }

  /// The slot's value in Fact (a slot never set is filled with its default first); nullptr when the template
  /// has no such slot. A fact without template raises as TFact::SlotValue does.
  const IIEValue* Read(TFact& Fact) const {
    const TFactTemplate* Template = Fact.GetTemplate().get();
    if (Template && FLayout && Template->GetLayout().get() == FLayout.get())
      return FPosition < 0 ? nullptr : &Fact.ValueAt(static_cast<size_t>(FPosition));
    return Locate(Fact);
  }
  /// The value read, or nullptr for a missing slot or an empty handle.
  const TIEValue* Value(TFact& Fact) const {
    const IIEValue* Found = Read(Fact);
    return Found ? Found->get() : nullptr;
  }
  /// The value narrowed to its list element at Index (NoSubIndex: the whole value); nullptr for a missing
  /// slot, a value that is not a list, or an index outside the list.
  const TIEValue* Field(TFact& Fact, int32_t Index) const {
    const TIEValue* Whole = Value(Fact);
    if (Index == NoSubIndex || !Whole) return Whole;
    const TValueVector* List = Whole->GetListObject();
    return List ? List->ValueAt(Index) : nullptr;
  }

 private:
  const IIEValue* Locate(TFact& Fact) const {
    if (!Fact.GetTemplate()) {
      size_t Hint = 0;
      IFactSlot Known;
      return Fact.SlotValue(FName, Hint, Known);  // raises: the fact has no template
    }
    const TFactTemplate& Template = *Fact.GetTemplate();
    FLayout = Template.GetLayout();
    FPosition = Template.IndexOfSlot(FName);
    return FPosition < 0 ? nullptr : &Fact.ValueAt(static_cast<size_t>(FPosition));
  }

  std::string FName;
  mutable ISlotLayout FLayout;  // the layout FPosition belongs to
  mutable int32_t FPosition = -1;
};

}  // namespace rulecraft
