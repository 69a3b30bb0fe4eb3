#include "rulecraft/framework/Component.h"

#include <algorithm>

#include "rulecraft/framework/Exception.h"

namespace rulecraft {

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Tell every watcher, one at a time: a watcher may react by freeing other components of the list.
  while (!FFreeNotifies.empty()) {
    TComponent* Watcher = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    Watcher->RemoveNotification(this);
    Watcher->Notification(this, opRemove);
  }
  // Owned components go last-created first.
  while (!FComponents.empty()) {
    std::unique_ptr<TComponent> Owned = std::move(FComponents.back());
    FComponents.pop_back();
    Owned->FOwner = nullptr;
    Owned.reset();
  }
  if (FOwner) {
    TComponent* Owner = FOwner;
    Owner->RemoveComponent(this);
  }
}

TComponent* TComponent::GetComponent(int Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FComponents[static_cast<size_t>(Index)].get();
}

void TComponent::InsertComponent(TComponent* AComponent) {
  AComponent->FOwner = this;
  FComponents.emplace_back(AComponent);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  auto It =
      std::find_if(FComponents.begin(), FComponents.end(),
                   [AComponent](const std::unique_ptr<TComponent>& C) { return C.get() == AComponent; });
  if (It == FComponents.end()) return;
  It->release();
  FComponents.erase(It);
  AComponent->FOwner = nullptr;
  if (!FDestroying) Notification(AComponent, opRemove);
}

void TComponent::FreeComponent(TComponent* AComponent) {
  if (AComponent && AComponent->FOwner == this)
    delete AComponent;  // the destructor removes it from this owner
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  const bool Added = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end();
  if (Added) FFreeNotifies.push_back(AComponent);
  try {
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
      AComponent->FFreeNotifies.push_back(this);
  } catch (...) {
    // Both know of each other or neither does: a one-sided link would outlive the component it names.
    if (Added) FFreeNotifies.pop_back();
    throw;
  }
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  auto It = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (It != FFreeNotifies.end()) FFreeNotifies.erase(It);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  (void)AComponent;
  (void)Operation;
}

}  // namespace rulecraft
