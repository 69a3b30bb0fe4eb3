#pragma once
// The root of the framework's object model: TObject with run-time class information, TPersistent with
// Assign/AssignTo, TInterfacedObject (the one base of reference-counted objects) and the class registry.
#include <atomic>
#include <cstdint>
#include <string>
#include <type_traits>

namespace rulecraft {

class TObject;
class TComponent;

/// Run-time description of a class: its name, its parent class and a way to create an instance.
struct TMetaClass {
  const char* Name;
  const TMetaClass* Parent;
  /// Creates an instance; components receive their owner, other classes ignore it. nullptr for abstract classes.
  TObject* (*Create)(TComponent* Owner);

  bool InheritsFrom(const TMetaClass* Other) const noexcept {
    for (const TMetaClass* C = this; C != nullptr; C = C->Parent)
      if (C == Other) return true;
    return false;
  }
};

/// A class reference (the payload of a dtClass value).
using TClass = const TMetaClass*;

namespace detail {
template <class T>
TObject* CreateInstanceOf(TComponent* Owner) {
  if constexpr (std::is_abstract_v<T>) {
    (void)Owner;
    return nullptr;
  } else if constexpr (std::is_constructible_v<T, TComponent*>) {
    return new T(Owner);
  } else if constexpr (std::is_default_constructible_v<T>) {
    (void)Owner;
    return new T();
  } else {
    (void)Owner;
    return nullptr;
  }
}
}  // namespace detail

/// Declares run-time class information inside a class body: RC_CLASS(TFoo, TParent).
#define RC_CLASS(Cls, ParentCls)                                                                        \
 public:                                                                                                \
  static ::rulecraft::TClass StaticClass() {                                                            \
    static const ::rulecraft::TMetaClass Meta{#Cls, ParentCls::StaticClass(),                           \
                                              &::rulecraft::detail::CreateInstanceOf<Cls>};             \
    return &Meta;                                                                                       \
  }                                                                                                     \
  ::rulecraft::TClass ClassType() const override { return StaticClass(); }                              \
                                                                                                        \
 private:

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static TClass StaticClass() {
    static const TMetaClass Meta{"TObject", nullptr, &detail::CreateInstanceOf<TObject>};
    return &Meta;
  }
  virtual TClass ClassType() const { return StaticClass(); }
  std::string ClassName() const { return ClassType()->Name; }
  bool InheritsFrom(TClass C) const noexcept { return ClassType()->InheritsFrom(C); }
  /// The object's own text; by default its class name.
  virtual std::string ToString() const { return ClassName(); }
};

/// An object that can copy itself from, and into, other persistent objects.
class TPersistent : public TObject {
  RC_CLASS(TPersistent, TObject)
 public:
  /// Copies Source into this object. The default asks Source to AssignTo this object, which refuses.
  virtual void Assign(const TPersistent* Source);
  /// Copies this object into Dest. The default refuses with the assign error.
  virtual void AssignTo(TPersistent* Dest) const;

 protected:
  /// Raises EConvertError "Cannot assign a <source class> to a <this class>".
  [[noreturn]] void AssignError(const TPersistent* Source) const;
};

/// The text of the framework's assign error for the two objects (Source may be nullptr).
std::string AssignErrorText(const TObject* Source, const TObject* Dest);

/// The one base of reference-counted ("interfaced") objects. The count starts at 0 and changes atomically;
/// the release that brings it to 0 frees the object. Such objects are held through TRef handles.
class TInterfacedObject : public TPersistent {
  RC_CLASS(TInterfacedObject, TPersistent)
 public:
  int32_t _AddRef() const noexcept { return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }
  int32_t _Release() const noexcept {
    int32_t Count = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (Count == 0) delete this;
    return Count;
  }
  int32_t RefCount() const noexcept { return FRefCount.load(std::memory_order_relaxed); }

 private:
  mutable std::atomic<int32_t> FRefCount{0};
};

/// The class registry: classes registered by name can be re-created from their names.
void RegisterClass(TClass Class);
void UnRegisterClass(TClass Class);
/// The registered class of that name (case-insensitive), or nullptr.
TClass GetClass(const std::string& Name);
/// The registered class of that name; raises EClassNotFound "Class %s not found" when there is none.
TClass FindClass(const std::string& Name);

}  // namespace rulecraft
