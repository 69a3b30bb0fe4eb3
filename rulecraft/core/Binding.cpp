#include "rulecraft/core/Binding.h"

#include "rulecraft/core/ResolveContext.h"
#include "rulecraft/core/Value.h"

namespace rulecraft {

TBinding* TResolveContext::FindVariable(const TIEValue& Variable) const {
  return FindBinding(Variable.Text());
}

void TBindingInfo::Assign(const TPersistent* Source) {
  if (const auto* Record = dynamic_cast<const TBindingInfo*>(Source)) {
    FSubIndex = Record->FSubIndex;
    FFactIndex = Record->FFactIndex;
    FSlotName = Record->FSlotName;
    FLayoutSeen.reset();
  } else {
    TPersistent::Assign(Source);
  }
}

bool TBindingInfo::Equals(const TObject* Other) const {
  const auto* Record = dynamic_cast<const TBindingInfo*>(Other);
  return Record && SamePosition(*Record);
}

std::string TBindingInfo::ToString() const {
  std::string Out = "FactIdx=" + std::to_string(FFactIndex) + " SlotIdx=" + FSlotName;
  if (FSubIndex != NoSubIndex) Out += " SubIdx=" + std::to_string(FSubIndex);
  return Out;
}

TBinding::TBinding(TIEName Name, int32_t FactIndex, std::string SlotIndex, int32_t SubIndex)
    : TBindingInfo(FactIndex, std::move(SlotIndex), SubIndex), FName(std::move(Name)) {}

TBinding::TBinding(TIEName Name, IIEValue Value)
    : TBindingInfo(LocalBindingIndex, SLocalBinding, NoSubIndex),
      FName(std::move(Name)),
      FValue(std::move(Value)) {}

TBinding::~TBinding() = default;

void TBinding::SetValue(IIEValue Value) { FValue = std::move(Value); }

void TBinding::Assign(const TPersistent* Source) {
  TBindingInfo::Assign(Source);
  if (const auto* Binding = dynamic_cast<const TBinding*>(Source)) {
    FName = Binding->FName;
    FValue = Binding->FValue;
  }
}

bool TBinding::Equals(const TObject* Other) const {
  const auto* Binding = dynamic_cast<const TBinding*>(Other);
  if (!Binding || !SamePosition(*Binding) || Binding->FName != FName) return false;
  if (FValue.get() == Binding->FValue.get()) return true;
  return FValue && Binding->FValue && FValue->Equals(Binding->FValue);
}

std::string TBinding::ToString() const {
  std::string Out = "name=" + FName;
  if (FValue) Out += " value=" + FValue->GetToString();
  return Out + " " + TBindingInfo::ToString();
}

}  // namespace rulecraft
