#pragma once
// TIEValue: the tagged value every part of the engine handles, held through the counted handle IIEValue.
//
// A value is one kind (TIEType) and one 8-byte payload: a 32-bit integer, a double, or one pointer (the
// interned symbol of a text kind, an object, class, external address, or a counted reference to a
// multifield, fact, function call, singleton vector or fuzzy set). The rarely used parts (change handler,
// ownership of an object) live in a side record allocated only when used.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rulecraft/collections/Cloneable.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/core/Symbol.h"
#include "rulecraft/framework/BlockCache.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/Ref.h"

namespace rulecraft {

class TIEValue;
class TValueVector;
class TSingletonsVector;
class TIFuzzySet;
class TResolveContext;
class TFact;
class TFunctionCall;

using IIEValue = TRef<TIEValue>;
using IValueVector = TRef<TValueVector>;
using ISingletonsVector = TRef<TSingletonsVector>;
using IFuzzySet = TRef<TIFuzzySet>;
using IFact = TRef<TFact>;
using IFunCall = TRef<TFunctionCall>;

/// What a value needs of the fact it holds (dtFact); facts implement it.
class TFactBase : public ICloneable {
  RC_CLASS(TFactBase, ICloneable)
 public:
  virtual std::string GetToString() const = 0;
  virtual int32_t GetHashCode() const = 0;
  /// The hash TIEValue::GetMatchHash uses for the fact; consistent with Equals.
  virtual uint64_t GetMatchHash() const { return MixHash(static_cast<uint32_t>(GetHashCode())); }
};

/// What a value needs of the function call it holds (dtFunCall); function calls implement it.
class TFunCallBase : public ICloneable {
  RC_CLASS(TFunCallBase, ICloneable)
 public:
  virtual std::string GetToString() const = 0;
  virtual int32_t GetHashCode() const = 0;
  /// Evaluates the call against Context and stores its result in Result.
  virtual void Execute(TResolveContext* Context, IIEValue& Result) = 0;
};

using TIEValueChangeEvent = std::function<void(const IIEValue& Sender)>;

/// A text a function has just built (a concatenation, a substring, a case mapping): a value made from it
/// holds the text in a loose record (see TSymbol), without interning it, until its symbol is needed.
struct TBuiltText {
  std::string Text;
};

class TIEValue final : public ICloneable {
  RC_CLASS(TIEValue, ICloneable)
  RC_CACHED_BLOCKS
 public:
  // Construction never raises a change event.
  TIEValue() noexcept;
  /// A text kind: dtAtom, dtString, dtVariable, dtMultiVariable, dtSlot or dtMultiSlot.
  TIEValue(std::string_view Text, TIEType Kind);
  TIEValue(const std::string& Text, TIEType Kind) : TIEValue(std::string_view(Text), Kind) {}
  TIEValue(const char* Text, TIEType Kind) : TIEValue(std::string_view(Text), Kind) {}
  /// A text kind holding a built text in a loose record.
  TIEValue(TBuiltText Text, TIEType Kind);
  /// A text kind holding Symbol.
  TIEValue(const ISymbol& Symbol, TIEType Kind);
  /// An integer kind: dtInteger, dtFactId or dtDescriptor.
  TIEValue(int32_t Value, TIEType Kind);
  explicit TIEValue(double Value) noexcept;
  explicit TIEValue(const IValueVector& List) noexcept;
  explicit TIEValue(const IFuzzySet& FuzzySet) noexcept;
  explicit TIEValue(const TRef<TFactBase>& Fact) noexcept;
  explicit TIEValue(const TRef<TFunCallBase>& FunCall) noexcept;
  explicit TIEValue(const ISingletonsVector& Singletons) noexcept;
  /// dtObject; with OwnsObject the value frees the object (see SetAsOwnedObject).
  TIEValue(TObject* Object, bool OwnsObject);
  explicit TIEValue(void* ExternalAddress) noexcept;
  explicit TIEValue(TClass Class) noexcept;
  /// A copy of Source (the interface form of Assign).
  explicit TIEValue(const IIEValue& Source);
  ~TIEValue() override;

  // ICloneable
  using ICloneable::Assign;
  /// Object form: copies kind and payload, sharing a held list, fact, call, fuzzy set or singleton vector;
  /// an owned object is cloned. Then copies Tag and raises the change event.
  void Assign(const TPersistent* Source) override;
  /// Interface form: as the object form, but a held list is cloned.
  void Assign(const ICloneableRef& Source) override;
  void Assign(const IIEValue& Source);
  ICloneableRef CloneInterface() const override;
  bool Equals(const ICloneable* Other) const override;
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  /// A new value after the object form of Assign from this one.
  IIEValue Clone() const;
  /// Writes this value into Dest through Dest's setters (Tag is not copied).
  void AssignTo(const IIEValue& Dest) const;
  using ICloneable::AssignTo;

  TIEType GetDType() const noexcept { return FDType; }

  // Getters. A kind that does not fit raises "Not a %s type.  Value (%s) is a %s type".
  std::string GetAsString() const;
  std::string GetAsAtom() const { return GetAsString(); }
  std::string GetAsVariable() const { return GetAsString(); }
  std::string GetAsMultiVariable() const { return GetAsString(); }
  std::string GetAsSlot() const { return GetAsString(); }
  std::string GetAsMultiSlot() const { return GetAsString(); }
  int32_t GetAsInteger() const;
  double GetAsNumeric() const;
  double GetAsFloat() const { return GetAsNumeric(); }
  int32_t GetAsFactId() const;
  int32_t GetAsDescriptor() const;
  void* GetAsExternalAddress() const;
  TObject* GetAsObject() const;
  TObject* GetAsOwnedObject() const { return GetAsObject(); }
  TClass GetAsClass() const;
  IValueVector GetAsList() const;
  /// The multifield of a dtList value without taking a reference (defined with the multifield class);
  /// nullptr for the other kinds.
  const TValueVector* GetListObject() const noexcept;
  IFuzzySet GetAsFuzzy() const;
  ISingletonsVector GetAsSingletons() const;
  /// The fact held by a dtFact value (defined with the fact class).
  IFact GetAsFact() const;
  /// The call held by a dtFunCall value (defined with the function-call class).
  IFunCall GetAsFunCall() const;
  TRef<TFactBase> GetAsFactBase() const;
  TRef<TFunCallBase> GetAsFunCallBase() const;

  /// The text of a text kind, without conversion; the empty text for the other kinds.
  const std::string& Text() const noexcept {
    return IEStringTypes.Contains(FDType) ? FData.Symbol->Text() : TSymbol::Empty()->Text();
  }
  /// The interned record of a text kind's text; nullptr for the other kinds. A value holding a loose text
  /// interns it here and holds the interned record from then on (the value's kind and text stay as they
  /// are; a reference to its former Text() is then no longer valid). Two values of one text kind holding
  /// interned texts are equal exactly when they hold the same record.
  const TSymbol* GetSymbol() const {
    if (!IEStringTypes.Contains(FDType)) return nullptr;
    if (FLooseText) InternText();
    return FData.Symbol;
  }
  /// The record a text kind's text lives in, loose or interned, as it is; nullptr for the other kinds. A
  /// holder of the record keeps the text alive.
  const TSymbol* GetTextRecord() const noexcept {
    return IEStringTypes.Contains(FDType) ? FData.Symbol : nullptr;
  }
  /// True when this value is of a text kind and its text is the text of Symbol, an interned record: one
  /// pointer compare, and a text compare only for a loose text.
  bool HoldsSymbol(const TSymbol* Symbol) const noexcept {
    return IEStringTypes.Contains(FDType) &&
           (FData.Symbol == Symbol || (FLooseText && FData.Symbol->Text() == Symbol->Text()));
  }

  /// The payload of an integer kind (dtInteger, dtFactId, dtDescriptor) and of a dtFloat value, read
  /// without a kind test: for callers that tested the kind.
  int32_t IntegerPayload() const noexcept { return FData.Integer; }
  double FloatPayload() const noexcept { return FData.Float; }
  /// The call a dtFunCall value holds, without a new reference; nullptr for the other kinds.
  TFunCallBase* PeekFunCall() const noexcept {
    return FDType == dtFunCall ? static_cast<TFunCallBase*>(FData.Reference) : nullptr;
  }

  // Setters: release the previous payload, store kind and payload, raise the change event.
  void SetAsAtom(const std::string& Value) { SetText(dtAtom, Value); }
  void SetAsString(const std::string& Value) { SetText(dtString, Value); }
  void SetAsVariable(const std::string& Value) { SetText(dtVariable, Value); }
  void SetAsMultiVariable(const std::string& Value) { SetText(dtMultiVariable, Value); }
  void SetAsSlot(const std::string& Value) { SetText(dtSlot, Value); }
  void SetAsMultiSlot(const std::string& Value) { SetText(dtMultiSlot, Value); }
  void SetAsInteger(int32_t Value) { SetInteger(dtInteger, Value); }
  void SetAsFactId(int32_t Value) { SetInteger(dtFactId, Value); }
  void SetAsDescriptor(int32_t Value) { SetInteger(dtDescriptor, Value); }
  void SetAsFloat(double Value);
  void SetAsObject(TObject* Value);
  /// The value owns Value from now on: it frees it when the value changes or goes. When Value is a component,
  /// the value also hears of the component's destruction elsewhere and then resets itself.
  void SetAsOwnedObject(TObject* Value);
  void SetAsClass(TClass Value);
  void SetAsExternalAddress(void* Value);
  void SetAsList(const IValueVector& Value);
  void SetAsFact(const TRef<TFactBase>& Value) { SetReference(dtFact, Value.get()); }
  void SetAsFunCall(const TRef<TFunCallBase>& Value) { SetReference(dtFunCall, Value.get()); }
  void SetAsFuzzy(const IFuzzySet& Value);
  void SetAsSingletons(const ISingletonsVector& Value);

  /// Equality of kind and value (eq).
  bool Equals(const IIEValue& Other) const { return Equals(Other.get()); }
  bool Equals(const TIEValue* Other) const;
  /// Equals without a call for the kinds the matching path compares most (one text kind, integers,
  /// floats); every other pair goes through Equals.
  bool SameAs(const TIEValue& Other) const {
    if (FDType == Other.FDType) {
      if (IEStringTypes.Contains(FDType)) return SameText(Other);
      if (FDType == dtInteger) return FData.Integer == Other.FData.Integer;
      if (FDType == dtFloat) return FData.Float == Other.FData.Float;
    }
    return Equals(&Other);
  }
  /// Equality of value alone, converting Other to this value's kind (eq*).
  bool EqualsStar(const IIEValue& Other) const { return EqualsStar(Other.get()); }
  bool EqualsStar(const TIEValue* Other) const;
  int32_t GetHashCode() const;
  /// A 64-bit hash for the engine's own tables, consistent with Equals: texts by their symbol's hash (every
  /// byte counts), lists by their elements in order, facts by their cached hash. Not part of any printed
  /// or published result.
  uint64_t GetMatchHash() const {
    // Integers and interned texts, the keys of nearly every join, without a call.
    if (FDType == dtInteger) return MixHash(static_cast<uint32_t>(FData.Integer));
    if ((FDType == dtAtom || FDType == dtString) && !FLooseText) return FData.Symbol->Hash();
    return MatchHashSlow();
  }
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }

  bool IsOwningObject() const noexcept;
  /// Empties the value (kind dtNone) without raising the change event; frees an owned object.
  void Reset();
  /// The value this one stands for: a variable's bound value, a call's result, a binding record's value,
  /// a fuzzy set built from singletons, or this value itself.
  void Resolve(TResolveContext* Context, IIEValue& Result);

  const TIEValueChangeEvent* GetOnChange() const noexcept;
  void SetOnChange(TIEValueChangeEvent Handler);

  /// Told by the nexus when an owned component is going away.
  void Notification(TComponent* AComponent, TOperation Operation);

 private:
  struct TExtras;

  /// GetMatchHash for the kinds it does not settle inline.
  uint64_t MatchHashSlow() const;
  void Changing(TIEType NewKind);
  void Changed();
  void SetText(TIEType Kind, const std::string& Value);
  /// Stores Symbol, whose reference the value takes over.
  void TakeSymbol(TIEType Kind, const TSymbol* Symbol);
  void SetInteger(TIEType Kind, int32_t Value);
  void SetReference(TIEType Kind, ICloneable* Reference);
  void CopyFrom(const TIEValue& Source, bool CloneList);
  void TakeClonedObject(const TIEValue& Source);
  [[noreturn]] void RaiseNotA(const char* Word) const;
  TExtras& Extras();
  /// Two values of text kinds hold the same text: the same record, or equal texts when one is loose.
  bool SameText(const TIEValue& Other) const noexcept {
    return FData.Symbol == Other.FData.Symbol ||
           ((FLooseText || Other.FLooseText) && FData.Symbol->Text() == Other.FData.Symbol->Text());
  }
  /// Stores Symbol as the payload (the caller hands its reference over) and notes whether it is loose.
  void HoldSymbol(const TSymbol* Symbol) noexcept {
    FData.Symbol = Symbol;
    FLooseText = !Symbol->IsInterned();
  }
  /// Swaps a loose text for its interned record (GetSymbol).
  void InternText() const;

  union TPayload {
    int32_t Integer;
    double Float;
    void* Pointer;
    TObject* Object;
    TClass Class;
    ICloneable* Reference;
    const TSymbol* Symbol;  // one counted reference, for the text kinds
  };

  TPayload FData;
  int32_t FTag = 0;
  TIEType FDType = dtNone;
  /// A text kind whose record is loose (in the padding after the kind).
  bool FLooseText = false;
  std::unique_ptr<TExtras> FExtras;
};

/// The fourteen shared constant values; never modify them.
extern const IIEValue FCTrue;
extern const IIEValue FCFalse;
extern const IIEValue FCNil;
extern const IIEValue FCEmptyString;
extern const IIEValue FCNilList;
extern const IIEValue FCCatch;
extern const IIEValue FCFinally;
extern const IIEValue FCExcept;
extern const IIEValue FCElse;
extern const IIEValue FCDo;
extern const IIEValue FCEOF;
extern const IIEValue FCThen;
extern const IIEValue FCPI;
extern const IIEValue FCZero;

/// While one lives on this thread, text forms (GetToString of values and of the lists, facts and calls
/// holding them) are written to be read back: a float with four decimals when that reads back as the same
/// number and in the shortest form that does otherwise, the nil atom as "nil", and a symbol with a backslash
/// before every character after its first that would end the word. Display text (output,
/// echo, watch lines) is written without one and keeps the four-decimal form.
class TReadBackText {
 public:
  /// Active false writes display text for the guard's lifetime (for hashes, which must not depend on it).
  explicit TReadBackText(bool Active = true) noexcept;
  TReadBackText(const TReadBackText&) = delete;
  TReadBackText& operator=(const TReadBackText&) = delete;
  ~TReadBackText();
  // Out of line: the per-thread flag is read and written only where it is defined.
  static bool IsActive() noexcept;

 private:
  bool FSaved;
};

/// The text of a word (a symbol, a template or slot name) as the reader reads it back as the same word: every
/// character after the first that would end the word (a blank, a delimiter) or escape the next one (a
/// backslash) gets a backslash before it. The first character stays as it is: the reader keeps a backslash
/// there as an ordinary character.
std::string ReadBackWord(const std::string& Text);
/// ReadBackWord(Word) while a TReadBackText is active on this thread, otherwise Word itself.
std::string WordText(const std::string& Word);

/// True when Value is one of the fourteen shared constant objects (identity, not equality).
bool IsValueConstant(const IIEValue& Value) noexcept;
bool IsValueConstant(const TIEValue* Value) noexcept;

/// The rule language's one reading of "false": Value is the atom FALSE (kind and text, whichever object holds
/// it). Every other value, also nil, 0 and the string "FALSE", counts as true. Conditions (if, while, and,
/// not) and tests in patterns both read results this way.
inline bool IsFalseAtom(const IIEValue& Value) noexcept {
  return Value && Value->GetDType() == dtAtom && Value->HoldsSymbol(FCFalse->GetTextRecord());
}
/// The reading of "true" that `or` uses: Value is the atom TRUE; every other value counts as not true. So 0
/// or nil is neither false nor true.
inline bool IsTrueAtom(const IIEValue& Value) noexcept {
  return Value && Value->GetDType() == dtAtom && Value->HoldsSymbol(FCTrue->GetTextRecord());
}

}  // namespace rulecraft
