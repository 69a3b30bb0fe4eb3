#pragma once
// TIEContext: a scope of variable bindings in a chain of scopes. The engine's root context holds the global
// variables; every rule firing and every call of a function written in the rule language pushes a child
// for its local variables. A context also carries a pending return value and the partial match (Token) and
// fact that rule-side expressions read their variables from.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/ResolveContext.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/functions/TokenBase.h"

namespace rulecraft {

class IFunctionEngine;
class TIEContext;

enum TTableNotification : uint8_t { tnAdded, tnDeleted, tnCleared };

/// The binding table of one context: names to bindings, owned. A small flat table: contexts are created for
/// every firing and call, and hold a handful of variables.
class TBindings {
 public:
  explicit TBindings(TIEContext* Owner) noexcept : FOwner(Owner) {}
  TBindings(const TBindings&) = delete;
  TBindings& operator=(const TBindings&) = delete;
  ~TBindings();

  /// Stores Binding under its name, replacing (and freeing) a binding of that name; returns it.
  TBinding* Add(std::unique_ptr<TBinding> Binding);
  TBinding* Put(const std::string& Name, std::unique_ptr<TBinding> Binding);
  /// The binding of that name, or nullptr.
  TBinding* Get(const std::string& Name) const noexcept;
  TBinding* GetItem(const std::string& Name) const noexcept { return Get(Name); }
  TBinding* GetItemByIndex(int32_t Index) const;
  int32_t Count() const noexcept { return static_cast<int32_t>(FItems.size()); }
  /// Removes and frees the binding of that name (nothing when absent).
  void Remove(const std::string& Name);
  /// Stores Binding under Name; nullptr removes the entry.
  void SetItem(const std::string& Name, std::unique_ptr<TBinding> Binding);
  /// Frees every binding and reports tnCleared once.
  void Clear();

 private:
  struct TEntry {
    std::string Name;
    std::unique_ptr<TBinding> Binding;
  };

  std::vector<TEntry>::iterator Find(const std::string& Name) noexcept;
  void Notify(TBinding* Binding, TTableNotification Action);

  TIEContext* FOwner;
  std::vector<TEntry> FItems;
};

class TIEContext final : public TResolveContext {
  RC_CLASS(TIEContext, TResolveContext)
 public:
  /// A context whose parent is Parent (nullptr for a root context) working for Engine.
  TIEContext(TIEContext* Parent, IFunctionEngine* Engine);
  ~TIEContext() override;

  /// A new child of this context with the same engine; it starts with this context's Token and Fact, so a
  /// function called from a pattern test still sees the rule's pattern variables.
  std::unique_ptr<TIEContext> Push();
  /// Hands a pending return on to the parent and returns the parent (this context when it has none). The
  /// caller still owns and frees this context.
  TIEContext* Pop();

  TBinding* FindBinding(const std::string& Name) const override;
  /// The binding of Name in the root context of the chain, or nullptr.
  TBinding* FindGlobalBinding(const std::string& Name) const;
  /// The value of the nearest binding of Name; raises "Unknown variable name: %s" when none binds it.
  IIEValue GetVariable(const std::string& Name) const;
  /// Replaces the value of this context's own binding of Name, or adds one (AddBinding).
  void SetVariable(const std::string& Name, const IIEValue& Value);
  /// Replaces the value of the nearest binding of Name wherever it is, or creates a local one here.
  TBinding* AddBinding(const std::string& Name, const IIEValue& Value);
  /// A pattern binding in this context, replacing a binding of that name wherever it is.
  TBinding* AddBinding(const std::string& Name, int32_t FactIndex, const std::string& SlotIndex,
                       int32_t SubIndex);
  /// A local binding in this context, shadowing any outer one of that name.
  TBinding* AddLocalBinding(const std::string& Name, const IIEValue& Value);
  /// Replaces or creates the binding of Name in the root context.
  TBinding* AddGlobalBinding(const std::string& Name, const IIEValue& Value);

  bool GetReturn() const noexcept { return FReturn; }
  const IIEValue& GetReturnValue() const noexcept { return FReturnValue; }
  void SetReturnValue(const IIEValue& Value);
  void ClearReturnValue() noexcept;
  /// Empties this context's binding table (and so its return state).
  void Clear();
  /// Told of every change of the binding table.
  void Notify(TBinding* Binding, TTableNotification Action);
  /// Copies the return flag and a clone of the return value of another context; bindings are not copied.
  void Assign(const TPersistent* Source) override;

  /// The elements of List resolved in this context, nested multifields spliced in recursively.
  IValueVector ExpandList(const IValueVector& List);
  /// The elements of List with nested multifields spliced in recursively, unresolved.
  IValueVector FlattenList(const IValueVector& List);
  /// Resolves the slot values of Fact in place (variables and calls evaluated, multifields expanded, fuzzy
  /// slot values turned into fuzzy values) and returns the same fact.
  IFact Resolve(const IFact& Fact);

  void ResolveBindingRecord(const TBindingInfo& Record, IIEValue& Result) override;
  TIEContext* AsEvaluationContext() noexcept override { return this; }

  IFunctionEngine* GetEngine() const noexcept { return FEngine; }
  TIEContext* GetParent() const noexcept { return FParent; }
  const TBindings& GetBindings() const noexcept { return FBindings; }
  const IFact& GetFact() const noexcept { return FFact; }
  void SetFact(const IFact& Value) { FFact = Value; }
  const ITokenBase& GetToken() const noexcept { return FToken; }
  void SetToken(const ITokenBase& Value) { FToken = Value; }

 private:
  TIEContext* Root() noexcept;
  const TIEContext* Root() const noexcept;
  void Expand(const IValueVector& List, TValueVector& Into, bool ResolveElements, int Depth);

  bool FReturn = false;
  IIEValue FReturnValue;
  IFunctionEngine* FEngine;
  TBindings FBindings;
  TIEContext* FParent;
  IFact FFact;
  ITokenBase FToken;
};

}  // namespace rulecraft
