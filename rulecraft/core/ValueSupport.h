#pragma once
// What the value's sources share (included by them only): the value's side record, the nexus component that
// watches an owned component for its value, and recognising a binding record held by a value.
#include "rulecraft/core/Binding.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/framework/Component.h"

namespace rulecraft {

/// Receives the free notification of a component owned by a value and passes it on to the value.
class TIEValueNexus final : public TComponent {
  RC_CLASS(TIEValueNexus, TComponent)
 public:
  explicit TIEValueNexus(TIEValue* Value) : TComponent(nullptr), FValue(Value) {}

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    // Last statement: the value may free this nexus while it reacts.
    FValue->Notification(AComponent, Operation);
  }

 private:
  TIEValue* FValue;
};

struct TIEValue::TExtras {
  TIEValueChangeEvent OnChange;
  /// The ownership marker: the value owns its object; Nexus is set when that object is a component.
  bool Owned = false;
  TIEValueNexus* Nexus = nullptr;
};

inline const TBindingInfo* AsBindingRecord(const TObject* Object) noexcept {
  return Object && Object->InheritsFrom(TBindingInfo::StaticClass())
             ? static_cast<const TBindingInfo*>(Object)
             : nullptr;
}

}  // namespace rulecraft
