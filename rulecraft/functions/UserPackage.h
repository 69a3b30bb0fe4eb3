#pragma once
// TUserPackage: a component owning a list of functions and serving a list of engines: every function of the
// package is registered with every engine the package serves. Built-in packages derive from it and create
// their functions in CreateFunctions, in their table's order.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Set.h"
#include "rulecraft/framework/TypeInfo.h"
#include "rulecraft/functions/UserFunction.h"

namespace rulecraft {

class IFunctionEngine;

/// The built-in packages; an engine's Packages set selects which it creates.
enum TFunctionPackage : uint8_t {
  pStandard,
  pPredicate,
  pMath,
  pMiscellaneous,
  pString,
  pObject,
  pTrigonometry,
  pBusiness,
  pFuzzyLogic
};
using TFunctionPackages = TSet<TFunctionPackage>;
const TEnumInfo& TFunctionPackageInfo();

class TUserPackage;

/// The functions of a package, in order, without duplicates.
class TUserFunctionList {
 public:
  explicit TUserFunctionList(TUserPackage* Package) : FPackage(Package) { FItems.reserve(100); }
  /// Appends Function (giving it the package's engines) and returns its index; a function already present
  /// keeps its place and its index is returned.
  int32_t Add(const IUserFunction& Function);
  void Delete(int32_t Index);
  /// Removes Function (taking the package's engines from it); its former index or -1.
  int32_t Remove(const IUserFunction& Function);
  int32_t IndexOf(const IUserFunction& Function) const noexcept;
  const IUserFunction& Get(int32_t Index) const;
  int32_t Count() const noexcept { return static_cast<int32_t>(FItems.size()); }
  void Clear();

 private:
  TUserPackage* FPackage;
  std::vector<IUserFunction> FItems;
};

class TUserPackage : public TComponent {
  RC_CLASS(TUserPackage, TComponent)
 public:
  /// An owner that is an engine becomes the first engine the package serves. Call CreateFunctions (or
  /// create packages with CreatePackage) once constructed.
  explicit TUserPackage(TComponent* AOwner);
  ~TUserPackage() override;

  TUserFunctionList& GetFunctions() noexcept { return FFunctions; }
  const TUserFunctionList& GetFunctions() const noexcept { return FFunctions; }
  /// The position of the first function named exactly Name, or -1.
  int32_t IndexOf(const std::string& Name) const;

  /// Serves Reasoner: every function of the package is registered with it.
  void AddReasoner(IFunctionEngine* Reasoner);
  /// Stops serving Reasoner: every function is unregistered from it (and Engine cleared when it was it).
  void RemoveReasoner(IFunctionEngine* Reasoner);
  const std::vector<IFunctionEngine*>& GetReasoners() const noexcept { return FReasoners; }

  IFunctionEngine* GetEngine() const noexcept { return FEngine; }
  /// Swaps the engine served as "the" engine of the package.
  void SetEngine(IFunctionEngine* Engine);

  std::function<void(TObject* Sender)> OnCreateFunctions;
  /// Creates the package's functions; the base only raises OnCreateFunctions.
  virtual void CreateFunctions();
  /// Recreates the functions (the write-only Reset property).
  void SetReset(bool Value);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TUserFunctionList;
  TUserFunctionList FFunctions{this};
  std::vector<IFunctionEngine*> FReasoners;
  // Each reasoner as a component (or nullptr), found while it is alive, to recognise its destruction.
  std::vector<TComponent*> FReasonerComponents;
  IFunctionEngine* FEngine = nullptr;
};

/// Constructs a package and lets it create its functions.
template <class T>
T* CreatePackage(TComponent* Owner) {
  T* Package = new T(Owner);
  try {
    Package->CreateFunctions();
  } catch (...) {
    delete Package;
    throw;
  }
  return Package;
}

}  // namespace rulecraft
