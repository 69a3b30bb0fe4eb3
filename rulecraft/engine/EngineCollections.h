#pragma once
// The engine's named collections: rules, fact templates, defined types, functions, global and engine
// variables, and fact sets. Each keeps its constructs under their names exactly as written (lookups are exact
// and case-sensitive) and in the order they were added, applies the engine's DuplicateConstructs policy when
// a name is taken by another object, and raises the engine's add, remove and clear events through it.
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "rulecraft/core/ValueHashTable.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/functions/UserFunction.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

class TInferenceEngine;
class TRule;
class TFactSet;

/// Items under exact names, in order of addition; each name once.
template <class T>
class TNamedTable {
 public:
  int32_t Count() const noexcept { return static_cast<int32_t>(FItems.size()); }
  bool Empty() const noexcept { return FItems.empty(); }
  /// The stored item, or nullptr.
  const T* Find(const std::string& Name) const {
    auto It = FIndex.find(Name);
    return It == FIndex.end() ? nullptr : &It->second->second;
  }
  bool ContainsKey(const std::string& Name) const { return FIndex.count(Name) != 0; }
  /// Stores Item under Name, replacing what was there (in place, keeping its order).
  void Put(const std::string& Name, T Item) {
    auto It = FIndex.find(Name);
    if (It != FIndex.end()) {
      It->second->second = std::move(Item);
      return;
    }
    FItems.emplace_back(Name, std::move(Item));
    try {
      FIndex.emplace(Name, std::prev(FItems.end()));
    } catch (...) {
      FItems.pop_back();  // an item the index cannot find must not stay in the list
      throw;
    }
  }
  /// Takes the entry out; false when the name is absent.
  bool Remove(const std::string& Name, T* Removed = nullptr) {
    auto It = FIndex.find(Name);
    if (It == FIndex.end()) return false;
    if (Removed) *Removed = std::move(It->second->second);
    FItems.erase(It->second);
    FIndex.erase(It);
    return true;
  }
  /// Empties the table; the items are handed back in order of addition.
  std::vector<T> Clear() {
    std::vector<T> Old;
    Old.reserve(FItems.size());
    for (auto& Entry : FItems) Old.push_back(std::move(Entry.second));
    FItems.clear();
    FIndex.clear();
    return Old;
  }
  /// Calls Body with every item in order of addition, allocating nothing (Body must not change the table).
  template <class F>
  void ForEach(F Body) const {
    for (const auto& Entry : FItems) Body(Entry.second);
  }
  /// Every item in order of addition.
  std::vector<T> Items() const {
    std::vector<T> Result;
    Result.reserve(FItems.size());
    for (const auto& Entry : FItems) Result.push_back(Entry.second);
    return Result;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> Result;
    Result.reserve(FItems.size());
    for (const auto& Entry : FItems) Result.push_back(Entry.first);
    return Result;
  }

 private:
  using TList = std::list<std::pair<std::string, T>>;
  TList FItems;
  std::unordered_map<std::string, typename TList::iterator> FIndex;
};

/// The rules of an engine, each compiled into its network while stored.
class TRules : public TPersistent {
  RC_CLASS(TRules, TPersistent)

 public:
  explicit TRules(TInferenceEngine* Engine) : FEngine(Engine) {}
  /// Stores Rule under its name: the duplicate policy applies to another rule of that name (dcOverwrite
  /// removes it first); the rule is compiled, the compilation trace printed when watched, OnAddRule raised.
  void Put(TRule* Rule);
  void Add(TRule* Rule) { Put(Rule); }
  TRule* Get(const std::string& Name) const;
  bool ContainsKey(const std::string& Name) const { return FTable.ContainsKey(Name); }
  /// Takes the rule out and has the engine remove it (event, network, release when the engine owns it).
  /// While the engine's UpdatingHT is set (a rename) only OnRemoveRule is raised: the rule stays compiled.
  bool Remove(const std::string& Name);
  /// Removes the entry only when it holds Rule.
  bool Remove(const std::string& Name, const TRule* Rule);
  /// Releases every rule the engine owns, resets the rule identifiers and raises OnClearRules.
  void Clear();
  int32_t Count() const noexcept { return FTable.Count(); }
  std::vector<TRule*> Items() const { return FTable.Items(); }
  /// Stores the rule under NewName (OnAddRule), then takes the entry under OldName out (OnRemoveRule); the
  /// rule stays compiled and is not released.
  void Rename(const std::string& OldName, const std::string& NewName);
  /// Whether GetToString sorts the rules by their text (true, the initial state).
  bool GetSortedOutput() const noexcept { return FSortedOutput; }
  void SetSortedOutput(bool Value) noexcept { FSortedOutput = Value; }
  /// Every rule's text: sorted, each followed by a blank line; unsorted, in table order, each preceded by a
  /// line break.
  std::string GetToString() const;

 private:
  TInferenceEngine* FEngine;
  TNamedTable<TRule*> FTable;
  bool FSortedOutput = true;
};

/// The fact templates of an engine.
class TFactTemplates : public TPersistent {
  RC_CLASS(TFactTemplates, TPersistent)

 public:
  explicit TFactTemplates(TInferenceEngine* Engine) : FEngine(Engine) {}
  /// Stores Template under its name; a template without slots first gets the multislot "__Data". Another
  /// template of that name: dcOverwrite replaces it (Replace), dcIgnore keeps it, dcError raises.
  void Put(const IFactTemplate& Template);
  void Add(const IFactTemplate& Template) { Put(Template); }
  IFactTemplate Get(const std::string& Name) const;
  bool ContainsKey(const std::string& Name) const { return FTable.ContainsKey(Name); }
  /// OnRemoveFactTemplate for Old and its entry out, New stored (OnNewFactTemplate), then the engine's
  /// ReplaceTemplate carries what used Old over to New; returns New.
  IFactTemplate Replace(const IFactTemplate& Old, const IFactTemplate& New);
  /// OnRemoveFactTemplate, then every fact, pending fact, fact-set entry and rule using the template goes,
  /// then the entry. Returns the removed template (nil when absent).
  IFactTemplate Remove(const std::string& Name);
  /// Everything depending on templates goes (pending facts, network, facts, rules), then the table;
  /// OnClearFactTemplates.
  void Clear();
  /// Moves the template stored under OldName to NewName (the template takes its new name itself), raising
  /// OnRemoveFactTemplate and OnNewFactTemplate.
  void Rename(const std::string& OldName, const std::string& NewName);
  int32_t Count() const noexcept { return FTable.Count(); }
  std::vector<IFactTemplate> Items() const { return FTable.Items(); }
  /// Every template's text followed by a line break: first those without a parent in table order, then the
  /// others each after its parent ("Fact templates inheritance structure corrupted" on a cycle).
  std::string GetToString() const;

 private:
  TInferenceEngine* FEngine;
  TNamedTable<IFactTemplate> FTable;
};

/// The defined types of an engine.
class TIEDefinedTypes : public TPersistent {
  RC_CLASS(TIEDefinedTypes, TPersistent)

 public:
  explicit TIEDefinedTypes(TInferenceEngine* Engine) : FEngine(Engine) {}
  void Put(const IIEDefinedType& Type);
  void Add(const IIEDefinedType& Type) { Put(Type); }
  IIEDefinedType Get(const std::string& Name) const;
  bool ContainsKey(const std::string& Name) const { return FTable.ContainsKey(Name); }
  /// OnRemoveDefinedType for Old and its entry out, New stored (OnAddDefinedType), then the engine's
  /// ReplaceDefinedType moves the templates using Old over to New; returns New.
  IIEDefinedType Replace(const IIEDefinedType& Old, const IIEDefinedType& New);
  /// OnRemoveDefinedType, then every template using the type goes, then the entry.
  IIEDefinedType Remove(const std::string& Name);
  /// The engine's templates go first (with everything depending on them), then the types.
  void Clear();
  int32_t Count() const noexcept { return FTable.Count(); }
  std::vector<IIEDefinedType> Items() const { return FTable.Items(); }
  /// Every type's text followed by a line break, ancestors first ("Defined types inheritance structure
  /// corrupted" on a cycle).
  std::string GetToString() const;

 private:
  TInferenceEngine* FEngine;
  TNamedTable<IIEDefinedType> FTable;
};

/// Every function an engine knows, built-in and written in the rule language.
class TUserFunctions : public TPersistent {
  RC_CLASS(TUserFunctions, TPersistent)

 public:
  explicit TUserFunctions(TInferenceEngine* Engine) : FEngine(Engine) {}
  /// Name must be the function's own name ("Function names do not match: %s and %s"); the duplicate policy
  /// applies to another function of that name; the engine joins the function's engines; OnAddUserFunction.
  void Put(const std::string& Name, const IUserFunction& Function);
  void Add(const IUserFunction& Function);
  IUserFunction Get(const std::string& Name) const;
  bool ContainsKey(const std::string& Name) const { return FTable.ContainsKey(Name); }
  /// Removes the entry, takes the engine from the function's engines, raises OnRemoveUserFunction.
  bool Remove(const std::string& Name);
  /// Takes the engine from every function's engines and empties the table.
  void Clear();
  int32_t Count() const noexcept { return FTable.Count(); }
  /// How many stored functions are written in the rule language.
  int32_t GetInterpretedCount() const noexcept { return FInterpreted; }
  std::vector<IUserFunction> Items() const { return FTable.Items(); }
  /// Calls Body with every function in order of addition, allocating nothing.
  template <class F>
  void ForEach(F Body) const {
    FTable.ForEach(Body);
  }
  /// The names, separated by blanks, in order of addition.
  std::string GetNamesToString() const;
  /// The text of every function written in the rule language, each preceded by a line break.
  std::string GetToString() const;

 private:
  TInferenceEngine* FEngine;
  TNamedTable<IUserFunction> FTable;
  int32_t FInterpreted = 0;
};

/// Named values of an engine.
class TEngineVariables : public TValueHashTable {
  RC_CLASS(TEngineVariables, TValueHashTable)
 public:
  explicit TEngineVariables(TInferenceEngine* Engine) : FEngine(Engine) {}
  TInferenceEngine* GetEngine() const noexcept { return FEngine; }

 protected:
  TInferenceEngine* FEngine;
};

/// The initial values of an engine's global variables; storing one binds the global at once.
class TGlobalVariables : public TEngineVariables {
  RC_CLASS(TGlobalVariables, TEngineVariables)
 public:
  using TEngineVariables::TEngineVariables;
  /// Stores the initial value and binds the global in the engine's context (ResetGlobalVariable).
  IIEValue Put(const std::string& Name, IIEValue Value);
  /// Empties the table and every binding of the engine's context.
  void Clear();
};

/// The fact sets of an engine.
class TFactSets : public TPersistent {
  RC_CLASS(TFactSets, TPersistent)

 public:
  explicit TFactSets(TInferenceEngine* Engine) : FEngine(Engine) {}
  /// A set of the same name: the same object keeps its index; another one is detached from the engine
  /// first. The set's engine becomes this engine.
  int32_t Add(TFactSet* FactSet);
  /// Takes the set out (its engine becomes none); false when it is not listed.
  bool Remove(TFactSet* FactSet);
  int32_t IndexOf(const std::string& Name) const;
  int32_t IndexOf(const TFactSet* FactSet) const;
  TFactSet* Get(int32_t Index) const;
  int32_t Count() const noexcept { return static_cast<int32_t>(FItems.size()); }
  /// Detaches every set (the sets stay alive with their owners).
  void Clear();
  const std::vector<TFactSet*>& Items() const noexcept { return FItems; }
  /// Every set's deffacts text followed by a line break.
  std::string GetToString() const;

 private:
  TInferenceEngine* FEngine;
  std::vector<TFactSet*> FItems;
};

}  // namespace rulecraft
