#pragma once
// The root of the framework's object model: TObject with run-time class information, TPersistent with
// Assign/AssignTo, TInterfacedObject (the one base of reference-counted objects) and the class registry.
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
  /// Creates an instance; components receive their owner, other classes ignore it. nullptr for abstract
  /// classes.
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
#define RC_CLASS(Cls, ParentCls)                                                            \
 public:                                                                                    \
  static ::rulecraft::TClass StaticClass() {                                                \
    static const ::rulecraft::TMetaClass Meta{#Cls, ParentCls::StaticClass(),               \
                                              &::rulecraft::detail::CreateInstanceOf<Cls>}; \
    return &Meta;                                                                           \
  }                                                                                         \
  ::rulecraft::TClass ClassType() const override { return StaticClass(); }                  \
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

/// The one base of reference-counted ("interfaced") objects. The count starts at 0;
/// the release that brings it to 0 frees the object. Such objects are held through TRef handles.
class TInterfacedObject : public TPersistent {
  RC_CLASS(TInterfacedObject, TPersistent)
 public:
  /// The count of an object that is never freed (see MakeImmortal).
  static constexpr int32_t ImmortalCount = 1 << 30;

  // The count is a plain integer: an engine and everything it holds belong to one thread at a time, and the
  // objects shared by every engine are immortal, so their count is only ever read.
  int32_t _AddRef() const noexcept {
    if (FRefCount >= ImmortalCount) return FRefCount;
    return ++FRefCount;
  }
  int32_t _Release() const noexcept {
    if (FRefCount >= ImmortalCount) return FRefCount;
    const int32_t Count = --FRefCount;
    if (Count == 0) delete this;
    return Count;
  }
  int32_t RefCount() const noexcept { return FRefCount; }
  /// From now on handles leave the count alone and the object is never freed: for objects shared by every
  /// engine (the shared constant values), which engines on different threads may hold at the same time.
  void MakeImmortal() const noexcept { FRefCount = ImmortalCount; }

 private:
  mutable int32_t FRefCount{0};
};

/// The class registry: classes registered by name can be re-created from their names.
void RegisterClass(TClass Class);
void UnRegisterClass(TClass Class);
/// The registered class of that name (case-insensitive), or nullptr.
TClass GetClass(const std::string& Name);
/// The registered class of that name; raises EClassNotFound "Class %s not found" when there is none.
TClass FindClass(const std::string& Name);

}  // namespace rulecraft
