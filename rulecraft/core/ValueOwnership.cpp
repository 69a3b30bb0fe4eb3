// A value's ownership of an object: taking it, hearing of an owned component's destruction elsewhere, and
// cloning the owned object when the value is copied. The change protocol frees what the value owns.
#include <string>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueSupport.h"

namespace rulecraft {

void TIEValue::SetAsOwnedObject(TObject* Value) {
  // What the value needs besides the object is allocated first: when that fails, the object, already the
  // value's, is freed and the value is unchanged.
  auto* Component = dynamic_cast<TComponent*>(Value);
  TIEValueNexus* Nexus = nullptr;
  try {
    (void)Extras();
    if (Component) Nexus = new TIEValueNexus(this);
    Changing(dtObject);
  } catch (...) {
    delete Nexus;
    delete Value;
    throw;
  }
  FDType = dtObject;
  FData.Object = Value;
  TExtras& E = *FExtras;
  E.Owned = true;
  if (Nexus) {
    E.Nexus = Nexus;
    Component->FreeNotification(Nexus);
  }
  Changed();
}

bool TIEValue::IsOwningObject() const noexcept { return FDType == dtObject && FExtras && FExtras->Owned; }

void TIEValue::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && FDType == dtObject && FData.Object == AComponent) Reset();
}

void TIEValue::TakeClonedObject(const TIEValue& Source) {
  TObject* Original = Source.FData.Object;
  auto* Persistent = dynamic_cast<TPersistent*>(Original);
  TObject* Copy = nullptr;
  if (Persistent) {
    auto* Component = dynamic_cast<TComponent*>(Original);
    Copy = Original->ClassType()->Create(Component ? Component->GetOwner() : nullptr);
  }
  auto* CopyPersistent = dynamic_cast<TPersistent*>(Copy);
  if (!CopyPersistent) {
    delete Copy;
    throw EIEException(std::string(SUncloneableValue));
  }
  SetAsOwnedObject(Copy);
  CopyPersistent->Assign(Persistent);
}

}  // namespace rulecraft
