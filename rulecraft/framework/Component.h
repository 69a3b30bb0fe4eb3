#pragma once
// TComponent: an object with an owner that frees it, a name, and free notification: a component registered
// with FreeNotification is told (Notification with opRemove) before the component it watches goes away.
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/framework/Object.h"

namespace rulecraft {

enum TOperation : uint8_t { opInsert, opRemove };

class TPropertyWriter;
struct TStreamProperty;

class TComponent : public TPersistent {
  RC_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* GetOwner() const noexcept { return FOwner; }
  const std::string& GetName() const noexcept { return FName; }
  virtual void SetName(const std::string& Value) { FName = Value; }

  int ComponentCount() const noexcept { return static_cast<int>(FComponents.size()); }
  TComponent* GetComponent(int Index) const;

  /// Frees an owned component now (it is removed from this owner first).
  void FreeComponent(TComponent* AComponent);

  /// Asks to be told, through AComponent's Notification, when this component is destroyed; the link is
  /// mutual, so whichever of the two goes first tells the other.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  /// True once destruction has begun.
  bool IsDestroying() const noexcept { return FDestroying; }

  // Streaming (framework/Streaming.h). A component writes its published properties, then its list
  // properties; reading calls BeginRead, ReadProperty once per property in the order written, then EndRead.
  virtual void WriteProperties(TPropertyWriter& Writer) const { (void)Writer; }
  virtual void BeginRead() {}
  /// Applies one property read from a stream; false when the component has no property of that name.
  virtual bool ReadProperty(const TStreamProperty& Property) {
    (void)Property;
    return false;
  }
  virtual void EndRead() {}

 protected:
  /// Told when a component this one watches (or owns) is inserted or about to go away.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  /// Marks the component as being destroyed; called first by the destructor. Descendants that must act
  /// before their own members go (clearing event handlers, say) call it at the start of their destructor.
  void Destroying() noexcept { FDestroying = true; }

 private:
  void InsertComponent(TComponent* AComponent);
  /// Removes AComponent from the owned list without freeing it.
  void RemoveComponent(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  std::string FName;
  std::vector<std::unique_ptr<TComponent>> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  bool FDestroying = false;
};

}  // namespace rulecraft
