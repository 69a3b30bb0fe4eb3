#pragma once
// TRef<T>: the intrusive counted handle of every reference-counted object (see TInterfacedObject).
#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

namespace rulecraft {

template <class T>
class TRef {
 public:
  using element_type = T;

  constexpr TRef() noexcept = default;
  constexpr TRef(std::nullptr_t) noexcept {}
  /// Takes a counted reference on Ptr (a fresh object starts at count 0 and is owned from here on).
  explicit TRef(T* Ptr) noexcept : FPtr(Ptr) {
    if (FPtr) FPtr->_AddRef();
  }
  TRef(const TRef& Other) noexcept : FPtr(Other.FPtr) {
    if (FPtr) FPtr->_AddRef();
  }
  TRef(TRef&& Other) noexcept : FPtr(std::exchange(Other.FPtr, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  TRef(const TRef<U>& Other) noexcept : FPtr(Other.get()) {
    if (FPtr) FPtr->_AddRef();
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  TRef(TRef<U>&& Other) noexcept : FPtr(Other.Detach()) {}
  ~TRef() {
    if (FPtr) FPtr->_Release();
  }

  TRef& operator=(const TRef& Other) noexcept {
    TRef(Other).Swap(*this);
    return *this;
  }
  TRef& operator=(TRef&& Other) noexcept {
    TRef(std::move(Other)).Swap(*this);
    return *this;
  }
  TRef& operator=(std::nullptr_t) noexcept {
    reset();
    return *this;
  }

  T* get() const noexcept { return FPtr; }
  T* operator->() const noexcept { return FPtr; }
  T& operator*() const noexcept { return *FPtr; }
  explicit operator bool() const noexcept { return FPtr != nullptr; }

  void reset() noexcept { TRef().Swap(*this); }
  void Swap(TRef& Other) noexcept { std::swap(FPtr, Other.FPtr); }
  /// Gives up the reference without releasing it.
  T* Detach() noexcept { return std::exchange(FPtr, nullptr); }

  template <class U>
  bool operator==(const TRef<U>& Other) const noexcept {
    return FPtr == Other.get();
  }
  bool operator==(std::nullptr_t) const noexcept { return FPtr == nullptr; }

 private:
  T* FPtr = nullptr;
};

/// Creates a counted object and returns its first handle.
template <class T, class... Args>
TRef<T> MakeRef(Args&&... Arguments) {
  return TRef<T>(new T(std::forward<Args>(Arguments)...));
}

template <class T, class U>
TRef<T> StaticRefCast(const TRef<U>& Ref) noexcept {
  return TRef<T>(static_cast<T*>(Ref.get()));
}

template <class T, class U>
TRef<T> DynamicRefCast(const TRef<U>& Ref) noexcept {
  return TRef<T>(dynamic_cast<T*>(Ref.get()));
}

}  // namespace rulecraft

template <class T>
struct std::hash<rulecraft::TRef<T>> {
  size_t operator()(const rulecraft::TRef<T>& Ref) const noexcept { return std::hash<T*>()(Ref.get()); }
};
