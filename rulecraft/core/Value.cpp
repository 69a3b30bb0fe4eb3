#include "rulecraft/core/Value.h"

#include <cmath>
#include <cstring>
#include <new>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/SingletonsVector.h"
#include "rulecraft/core/ValueSupport.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/fuzzyset/FuzzySet.h"

namespace rulecraft {

namespace {

constexpr bool IsReferenceKind(TIEType Kind) noexcept {
  return Kind == dtFunCall || Kind == dtFact || Kind == dtList || Kind == dtSingletons || Kind == dtFuzzy;
}

constexpr bool IsTextKind(TIEType Kind) noexcept { return IEStringTypes.Contains(Kind); }

/// A float truncated toward zero and wrapped to 32 bits; NaN and infinity have no integer value.
bool FloatToInt32(double Value, int32_t& Result) noexcept {
  if (!std::isfinite(Value)) return false;
  // fmod is exact, so this is the truncation taken modulo 2^32 for every finite double.
  const double Wrapped = std::fmod(std::trunc(Value), 4294967296.0);
  Result = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(Wrapped)));
  return true;
}

int32_t FoldBits(uint64_t Bits) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(Bits ^ (Bits >> 32)));
}

int32_t HashFloat(double Value) noexcept {
  // Truncation when it fits in 32 bits; otherwise a fold of the bits. 0.0 and -0.0 are equal, so both hash 0.
  if (std::isfinite(Value)) {
    const double T = std::trunc(Value);
    if (T >= -2147483648.0 && T <= 2147483647.0) return static_cast<int32_t>(T);
  }
  uint64_t Bits = 0;
  std::memcpy(&Bits, &Value, sizeof Bits);
  return FoldBits(Bits);
}

int32_t HashPointer(const void* Pointer) noexcept { return FoldBits(reinterpret_cast<uintptr_t>(Pointer)); }

}  // namespace

// ---- construction ----------------------------------------------------------------------------------------

TIEValue::TIEValue(std::string_view Text, TIEType Kind) : TIEValue() {
  if (!IsTextKind(Kind)) throw EIEException(std::string(SInvalidValueType));
  FData.Symbol = TSymbol::InternRaw(Text);
  FDType = Kind;
}

TIEValue::TIEValue(TBuiltText Text, TIEType Kind) : TIEValue() {
  if (!IsTextKind(Kind)) throw EIEException(std::string(SInvalidValueType));
  HoldSymbol(TSymbol::MakeLoose(std::move(Text.Text)));
  FDType = Kind;
}

TIEValue::TIEValue(const ISymbol& Symbol, TIEType Kind) : TIEValue() {
  if (!IsTextKind(Kind)) throw EIEException(std::string(SInvalidValueType));
  const TSymbol* Record = Symbol ? Symbol.get() : TSymbol::Empty();
  Record->_AddRef();
  HoldSymbol(Record);
  FDType = Kind;
}

TIEValue::TIEValue() noexcept { FData.Pointer = nullptr; }

TIEValue::TIEValue(double Value) noexcept : FDType(dtFloat) { FData.Float = Value; }

TIEValue::TIEValue(int32_t Value, TIEType Kind) : TIEValue() {
  if (!IEIntegerTypes.Contains(Kind)) throw EIEException(std::string(SInvalidValueType));
  FDType = Kind;
  FData.Integer = Value;
}

TIEValue::TIEValue(const IValueVector& List) noexcept : TIEValue() {
  FDType = dtList;
  FData.Reference = List.get();
  if (List) List->_AddRef();
}

TIEValue::TIEValue(const IFuzzySet& FuzzySet) noexcept : TIEValue() {
  FDType = dtFuzzy;
  FData.Reference = FuzzySet.get();
  if (FuzzySet) FuzzySet->_AddRef();
}

TIEValue::TIEValue(const TRef<TFactBase>& Fact) noexcept : TIEValue() {
  FDType = dtFact;
  FData.Reference = Fact.get();
  if (Fact) Fact->_AddRef();
}

TIEValue::TIEValue(const TRef<TFunCallBase>& FunCall) noexcept : TIEValue() {
  FDType = dtFunCall;
  FData.Reference = FunCall.get();
  if (FunCall) FunCall->_AddRef();
}

TIEValue::TIEValue(const ISingletonsVector& Singletons) noexcept : TIEValue() {
  FDType = dtSingletons;
  FData.Reference = Singletons.get();
  if (Singletons) Singletons->_AddRef();
}

TIEValue::TIEValue(TObject* Object, bool OwnsObject) : TIEValue() {
  if (OwnsObject) {
    SetAsOwnedObject(Object);  // no handler exists yet, so no change event is raised
  } else {
    FDType = dtObject;
    FData.Object = Object;
  }
}

TIEValue::TIEValue(void* ExternalAddress) noexcept : TIEValue() {
  FDType = dtExternalAddress;
  FData.Pointer = ExternalAddress;
}

TIEValue::TIEValue(TClass Class) noexcept : TIEValue() {
  FDType = dtClass;
  FData.Class = Class;
}

TIEValue::TIEValue(const IIEValue& Source) : TIEValue() { Assign(Source); }

TIEValue::~TIEValue() {
  if (!FExtras) {
    // The common case: no handler to silence, no owned object; only a counted payload to let go.
    if (IsTextKind(FDType))
      FData.Symbol->_Release();
    else if (IsReferenceKind(FDType) && FData.Reference)
      FData.Reference->_Release();
    return;
  }
  FExtras->OnChange = nullptr;
  Reset();
  if (FExtras && FExtras->Nexus) delete FExtras->Nexus;
}

TIEValue::TExtras& TIEValue::Extras() {
  if (!FExtras) FExtras = std::make_unique<TExtras>();
  return *FExtras;
}

// ---- change protocol -------------------------------------------------------------------------------------

void TIEValue::Changing(TIEType NewKind) {
  (void)NewKind;
  if (FDType == dtObject && FExtras && FExtras->Owned) {
    TObject* Object = FData.Object;
    TIEValueNexus* Nexus = FExtras->Nexus;
    FExtras->Owned = false;
    FExtras->Nexus = nullptr;
    delete Nexus;
    auto* Component = dynamic_cast<TComponent*>(Object);
    if (!(Component && Component->IsDestroying())) delete Object;
    FData.Pointer = nullptr;
    FDType = dtNone;
  } else if (IsReferenceKind(FDType)) {
    ICloneable* Reference = FData.Reference;
    FData.Pointer = nullptr;
    FDType = dtNone;
    if (Reference) Reference->_Release();
  } else if (IsTextKind(FDType)) {
    const TSymbol* Symbol = FData.Symbol;
    FData.Pointer = nullptr;
    FDType = dtNone;
    FLooseText = false;
    Symbol->_Release();
  }
}

void TIEValue::InternText() const {
  const TSymbol* Loose = FData.Symbol;
  const TSymbol* Interned = TSymbol::InternRecord(Loose);
  // The same kind and text in another record: no change event. (The value object is never one of the
  // shared constants, whose texts are interned.)
  auto* Self = const_cast<TIEValue*>(this);
  Self->FData.Symbol = Interned;
  Self->FLooseText = false;
  Loose->_Release();
}

void TIEValue::Changed() {
  if (FExtras && FExtras->OnChange) FExtras->OnChange(IIEValue(this));
}

const TIEValueChangeEvent* TIEValue::GetOnChange() const noexcept {
  return FExtras && FExtras->OnChange ? &FExtras->OnChange : nullptr;
}

void TIEValue::SetOnChange(TIEValueChangeEvent Handler) {
  if (!Handler && !FExtras) return;
  Extras().OnChange = std::move(Handler);
}

void TIEValue::Reset() {
  Changing(dtNone);
  FData.Pointer = nullptr;
  FDType = dtNone;
}

// ---- setters ---------------------------------------------------------------------------------------------

void TIEValue::SetText(TIEType Kind, const std::string& Value) {
  TakeSymbol(Kind, TSymbol::InternRaw(Value));
}

void TIEValue::TakeSymbol(TIEType Kind, const TSymbol* Symbol) {
  try {
    Changing(Kind);
  } catch (...) {
    Symbol->_Release();
    throw;
  }
  FDType = Kind;
  HoldSymbol(Symbol);
  Changed();
}

void TIEValue::SetInteger(TIEType Kind, int32_t Value) {
  if (!FExtras && !IsTextKind(FDType) && !IsReferenceKind(FDType)) {
    // Nothing to release and no one to tell.
    FDType = Kind;
    FData.Integer = Value;
    return;
  }
  Changing(Kind);
  FDType = Kind;
  FData.Integer = Value;
  Changed();
}

void TIEValue::SetReference(TIEType Kind, ICloneable* Reference) {
  if (Reference) Reference->_AddRef();  // before Changing: Reference may be the payload being released
  Changing(Kind);
  FDType = Kind;
  FData.Reference = Reference;
  Changed();
}

void TIEValue::SetAsList(const IValueVector& Value) { SetReference(dtList, Value.get()); }

void TIEValue::SetAsFuzzy(const IFuzzySet& Value) { SetReference(dtFuzzy, Value.get()); }

void TIEValue::SetAsSingletons(const ISingletonsVector& Value) { SetReference(dtSingletons, Value.get()); }

void TIEValue::SetAsFloat(double Value) {
  if (!FExtras && !IsTextKind(FDType) && !IsReferenceKind(FDType)) {
    FDType = dtFloat;
    FData.Float = Value;
    return;
  }
  Changing(dtFloat);
  FDType = dtFloat;
  FData.Float = Value;
  Changed();
}

void TIEValue::SetAsObject(TObject* Value) {
  Changing(dtObject);
  FDType = dtObject;
  FData.Object = Value;
  Changed();
}

void TIEValue::SetAsClass(TClass Value) {
  Changing(dtClass);
  FDType = dtClass;
  FData.Class = Value;
  Changed();
}

void TIEValue::SetAsExternalAddress(void* Value) {
  Changing(dtExternalAddress);
  FDType = dtExternalAddress;
  FData.Pointer = Value;
  Changed();
}

// ---- getters ---------------------------------------------------------------------------------------------

void TIEValue::RaiseNotA(const char* Word) const {
  throw EIEException(SNotCorrectType, {Word, GetToString(), GetIETypeName(FDType)});
}

std::string TIEValue::GetAsString() const {
  if (IsTextKind(FDType)) return FData.Symbol->Text();
  switch (FDType) {
    case dtInteger:
      return std::to_string(FData.Integer);
    case dtFloat:
      return FloatToFixed(FData.Float, 4);
    case dtFuzzy:
      return FData.Reference ? static_cast<TIFuzzySet*>(FData.Reference)->GetToString() : std::string();
    default:
      RaiseNotA("string");
  }
}

int32_t TIEValue::GetAsInteger() const {
  switch (FDType) {
    case dtAtom:
    case dtString: {
      int32_t I = 0;
      if (TryStrToInt(FData.Symbol->Text(), I)) return I;
      double F = 0;
      if (TryStrToFloat(FData.Symbol->Text(), F) && FloatToInt32(F, I)) return I;
      break;
    }
    case dtInteger:
    case dtFactId:
    case dtDescriptor:
      return FData.Integer;
    case dtExternalAddress:
      return static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(FData.Pointer)));
    case dtFloat: {
      int32_t I = 0;
      if (FloatToInt32(FData.Float, I)) return I;
      break;
    }
    case dtFuzzy: {
      int32_t I = 0;
      if (FData.Reference &&
          FloatToInt32(std::nearbyint(static_cast<TIFuzzySet*>(FData.Reference)->CrispValue()), I))
        return I;
      break;
    }
    default:
      break;
  }
  RaiseNotA("integer");
}

double TIEValue::GetAsNumeric() const {
  switch (FDType) {
    case dtAtom:
    case dtString: {
      if (this == FCNil.get()) return 0.0;
      double F = 0;
      if (TryStrToFloat(FData.Symbol->Text(), F)) return F;
      break;
    }
    case dtInteger:
    case dtFactId:
    case dtDescriptor:
      return FData.Integer;
    case dtFloat:
      return FData.Float;
    case dtFuzzy:
      if (FData.Reference) return static_cast<TIFuzzySet*>(FData.Reference)->CrispValue();
      break;
    default:
      break;
  }
  RaiseNotA("numeric");
}

int32_t TIEValue::GetAsFactId() const {
  if (FDType == dtInteger || FDType == dtFactId) return FData.Integer;
  if (FDType == dtFloat) {
    int32_t I = 0;
    if (FloatToInt32(FData.Float, I)) return I;
  }
  RaiseNotA("fact id");
}

int32_t TIEValue::GetAsDescriptor() const {
  if (FDType != dtDescriptor) RaiseNotA("descriptor");
  return FData.Integer;
}

void* TIEValue::GetAsExternalAddress() const {
  if (FDType != dtExternalAddress && FDType != dtObject) RaiseNotA("External Address");
  return FData.Pointer;
}

TObject* TIEValue::GetAsObject() const {
  if (FDType != dtObject) RaiseNotA("object");
  return FData.Object;
}

TClass TIEValue::GetAsClass() const {
  if (FDType != dtClass) RaiseNotA("class");
  return FData.Class;
}

TRef<TFactBase> TIEValue::GetAsFactBase() const {
  if (FDType != dtFact) RaiseNotA("fact");
  return TRef<TFactBase>(static_cast<TFactBase*>(FData.Reference));
}

TRef<TFunCallBase> TIEValue::GetAsFunCallBase() const {
  if (FDType != dtFunCall) RaiseNotA("function call");
  return TRef<TFunCallBase>(static_cast<TFunCallBase*>(FData.Reference));
}

IValueVector TIEValue::GetAsList() const {
  if (FDType != dtList) RaiseNotA("list");
  return IValueVector(static_cast<TValueVector*>(FData.Reference));
}

IFuzzySet TIEValue::GetAsFuzzy() const {
  if (FDType != dtFuzzy) RaiseNotA("fuzzy value");
  return IFuzzySet(static_cast<TIFuzzySet*>(FData.Reference));
}

ISingletonsVector TIEValue::GetAsSingletons() const {
  if (FDType != dtSingletons) RaiseNotA("singletons");
  return ISingletonsVector(static_cast<TSingletonsVector*>(FData.Reference));
}

// ---- text and hash ---------------------------------------------------------------------------------------

namespace {
thread_local bool ReadBackActive = false;

// True for a character the reader takes as the end of a word when it follows the word's first character:
// a blank, a delimiter, or the backslash, which escapes the character after it.
bool EndsWord(unsigned char C) noexcept { return C <= ' ' || C == '\\' || IsWordTerminator(C); }

}  // namespace

std::string ReadBackWord(const std::string& Text) {
  size_t Escapes = 0;
  for (size_t I = 1; I < Text.size(); ++I) Escapes += EndsWord(static_cast<unsigned char>(Text[I]));
  if (Escapes == 0) return Text;
  std::string Out;
  Out.reserve(Text.size() + Escapes);
  Out += Text[0];
  for (size_t I = 1; I < Text.size(); ++I) {
    if (EndsWord(static_cast<unsigned char>(Text[I]))) Out += '\\';
    Out += Text[I];
  }
  return Out;
}

std::string WordText(const std::string& Word) { return ReadBackActive ? ReadBackWord(Word) : Word; }

TReadBackText::TReadBackText(bool Active) noexcept : FSaved(ReadBackActive) { ReadBackActive = Active; }
TReadBackText::~TReadBackText() { ReadBackActive = FSaved; }
bool TReadBackText::IsActive() noexcept { return ReadBackActive; }

std::string TIEValue::GetToString() const {
  const std::string& FText = Text();
  switch (FDType) {
    case dtNone:
      return std::string();
    case dtAtom:
      if (TReadBackText::IsActive()) {
        if (FText.empty()) return "nil";
        return ReadBackWord(FText);
      }
      return FText;
    case dtSlot:
    case dtMultiSlot:
      return FText;
    case dtString: {
      std::string Out;
      Out.reserve(FText.size() + 2);
      Out += '"';
      for (char C : FText) {
        if (C == '\\' || C == '"') Out += '\\';
        Out += C;
      }
      Out += '"';
      return Out;
    }
    case dtInteger:
      return std::to_string(FData.Integer);
    case dtVariable:
      return "?" + FText;
    case dtMultiVariable:
      return "$?" + FText;
    case dtFactId:
      return "<Fact-" + std::to_string(FData.Integer) + ">";
    case dtFloat:
      return TReadBackText::IsActive() ? FloatToReadBackText(FData.Float) : FloatToFixed(FData.Float, 4);
    case dtFunCall:
      return FData.Reference ? static_cast<TFunCallBase*>(FData.Reference)->GetToString() : std::string();
    case dtFact:
      return FData.Reference ? static_cast<TFactBase*>(FData.Reference)->GetToString() : std::string();
    case dtList:
      return FData.Reference ? static_cast<TValueVector*>(FData.Reference)->GetToString() : std::string();
    case dtSingletons:
      return FData.Reference ? static_cast<TSingletonsVector*>(FData.Reference)->GetToString()
                             : std::string();
    case dtFuzzy:
      return FData.Reference ? static_cast<TIFuzzySet*>(FData.Reference)->GetToString() : std::string();
    case dtObject:
      if (!FData.Object) return std::string();
      if (const TBindingInfo* Record = AsBindingRecord(FData.Object))
        return "<" + Record->ClassName() + ": " + Record->ToString() + ">";
      return "<Object: " + FData.Object->ClassName() + ">";
    case dtClass:
      return FData.Class ? std::string(FData.Class->Name) : std::string();
    case dtExternalAddress:
      return "<External-Address: " + std::to_string(reinterpret_cast<uintptr_t>(FData.Pointer)) + ">";
    default:
      return "<UNKNOWN>";  // dtDescriptor, and any ordinal outside the enumeration
  }
}

int32_t TIEValue::GetHashCode() const {
  switch (FDType) {
    case dtInteger:
    case dtFactId:
    case dtDescriptor:
      return FData.Integer;
    case dtExternalAddress:
      return GetAsInteger();
    case dtFloat:
      return HashFloat(FData.Float);
    case dtFuzzy:
      return CalculateHash(GetAsString());
    case dtFunCall:
      return FData.Reference ? static_cast<TFunCallBase*>(FData.Reference)->GetHashCode() : 0;
    case dtFact:
      return FData.Reference ? static_cast<TFactBase*>(FData.Reference)->GetHashCode() : 0;
    case dtList:
      return FData.Reference ? static_cast<TValueVector*>(FData.Reference)->GetHashCode() : 0;
    case dtSingletons:
      return FData.Reference ? static_cast<TSingletonsVector*>(FData.Reference)->GetHashCode() : 0;
    case dtObject:
      return HashPointer(FData.Object);
    case dtClass:
      return HashPointer(FData.Class);
    case dtNone:
      return 0;
    default:
      return IsTextKind(FDType) ? CalculateHash(FData.Symbol->Text()) : 0;
  }
}

uint64_t TIEValue::MatchHashSlow() const {
  switch (FDType) {
    case dtList: {
      // Elements in order: (a b) and (b a) hash apart.
      uint64_t H = 0x4C697374ull;
      if (const auto* List = static_cast<const TValueVector*>(FData.Reference)) {
        for (int32_t I = 0; I < List->GetValueCount(); ++I) {
          const IIEValue& Element = List->Get(I);
          H = CombineHash(H, Element ? Element->GetMatchHash() : 0);
        }
      }
      return MixHash(H);
    }
    case dtFact:
      return FData.Reference ? static_cast<const TFactBase*>(FData.Reference)->GetMatchHash() : 0;
    default:
      if (IsTextKind(FDType)) {
        // A loose text is interned when first hashed: hashed values are the ones the engine's tables keep
        // and compare. Without room for the record, the loose text's own hash is the same.
        if (FLooseText) try {
            InternText();
          } catch (const std::bad_alloc&) {
          }
        return FData.Symbol->Hash();
      }
      // The published hash is exact for numbers (an integer and an equal float hash alike) and identities;
      // mixing spreads it over 64 bits.
      return MixHash(static_cast<uint32_t>(GetHashCode()));
  }
}

// ---- equality --------------------------------------------------------------------------------------------

bool TIEValue::Equals(const ICloneable* Other) const {
  const auto* Value = dynamic_cast<const TIEValue*>(Other);
  return Value && Equals(Value);
}

bool TIEValue::Equals(const TIEValue* Other) const {
  if (Other == this) return true;
  if (!Other) return false;
  if (FDType == Other->FDType || FDType == dtFuzzy) {
    switch (FDType) {
      case dtNone:
        return true;
      case dtInteger:
      case dtFactId:
      case dtDescriptor:
        return FData.Integer == Other->GetAsInteger();
      case dtFloat:
        return FData.Float == Other->FData.Float;
      case dtList:
        // Both hold multifields: compared without a type test.
        return FData.Reference == Other->FData.Reference ||
               (FData.Reference && static_cast<const TValueVector*>(FData.Reference)
                                       ->Equals(static_cast<const TValueVector*>(Other->FData.Reference)));
      case dtFunCall:
      case dtFact:
      case dtSingletons:
        return FData.Reference == Other->FData.Reference ||
               (FData.Reference && FData.Reference->Equals(Other->FData.Reference));
      case dtFuzzy:
        // The set compares itself with the other set, or with a value of another kind (a crisp number, a
        // term).
        if (!FData.Reference) return Other->FDType == dtFuzzy && !Other->FData.Reference;
        return FData.Reference->Equals(Other->FDType == dtFuzzy
                                           ? static_cast<const ICloneable*>(Other->FData.Reference)
                                           : static_cast<const ICloneable*>(Other));
      case dtObject:
      case dtExternalAddress:
        return FData.Pointer == Other->FData.Pointer;
      case dtClass:
        return false;
      default:
        return IsTextKind(FDType) && SameText(*Other);
    }
  }
  if (Other->FDType == dtFuzzy) return Other->Equals(this);
  return false;
}

bool TIEValue::EqualsStar(const TIEValue* Other) const {
  if (!Other) return false;
  if (FDType == dtFunCall && Other->FDType != dtFunCall) return false;
  if (FDType != dtFuzzy && Other->FDType == dtFuzzy) return Other->EqualsStar(this);
  if (IsTextKind(FDType))
    return IsTextKind(Other->FDType) ? SameText(*Other) : FData.Symbol->Text() == Other->GetAsString();
  switch (FDType) {
    case dtInteger:
    case dtFactId:
    case dtDescriptor:
      return FData.Integer == Other->GetAsInteger();
    case dtFloat:
      return FData.Float == Other->GetAsNumeric();
    default:
      return Equals(Other);
  }
}

// ---- copying ---------------------------------------------------------------------------------------------

void TIEValue::CopyFrom(const TIEValue& Source, bool CloneList) {
  Reset();
  if (Source.IsOwningObject()) {
    TakeClonedObject(Source);
  } else if (Source.FDType == dtList && CloneList) {
    FDType = dtList;
    IValueVector Copy =
        Source.FData.Reference ? static_cast<TValueVector*>(Source.FData.Reference)->Clone() : IValueVector();
    FData.Reference = Copy.Detach();
  } else {
    FDType = Source.FDType;
    FData = Source.FData;
    FLooseText = Source.FLooseText;
    if (IsReferenceKind(FDType) && FData.Reference) FData.Reference->_AddRef();
    if (IsTextKind(FDType)) FData.Symbol->_AddRef();
  }
}

void TIEValue::Assign(const TPersistent* Source) {
  const auto* Value = dynamic_cast<const TIEValue*>(Source);
  if (!Value) {
    TPersistent::Assign(Source);
    return;
  }
  if (Value == this) return;
  CopyFrom(*Value, false);
  FTag = Value->FTag;
  Changed();
}

void TIEValue::Assign(const ICloneableRef& Source) {
  const auto* Value = dynamic_cast<const TIEValue*>(Source.get());
  if (!Value) throw EConvertError("Interface not supported");
  if (Value == this) return;
  IIEValue Keep(const_cast<TIEValue*>(Value));
  const TIEType Kind = Value->FDType;
  if (Kind == dtObject && Value->IsOwningObject()) {
    Reset();
    FTag = Value->FTag;
    TakeClonedObject(*Value);
  } else if (Kind == dtClass) {
    // A class reference is not carried over by this form of copy: the kind alone is.
    Reset();
    FDType = dtClass;
    FData.Class = nullptr;
    FTag = Value->FTag;
  } else {
    CopyFrom(*Value, true);
    FTag = Value->FTag;
  }
  Changed();
}

void TIEValue::Assign(const IIEValue& Source) { Assign(ICloneableRef(Source)); }

ICloneableRef TIEValue::CloneInterface() const { return Clone(); }

IIEValue TIEValue::Clone() const {
  // Assign(const TPersistent*) without the type test: the source is known to be a value.
  IIEValue Copy = MakeRef<TIEValue>();
  Copy->CopyFrom(*this, false);
  Copy->FTag = FTag;
  Copy->Changed();
  return Copy;
}

void TIEValue::AssignTo(const IIEValue& Dest) const {
  if (!Dest || Dest.get() == this) return;
  switch (FDType) {
    case dtNone:
      Dest->Reset();
      break;
    case dtAtom:
    case dtString:
    case dtVariable:
    case dtMultiVariable:
    case dtSlot:
    case dtMultiSlot:
      FData.Symbol->_AddRef();
      Dest->TakeSymbol(FDType, FData.Symbol);
      break;
    case dtInteger:
    case dtFactId:
    case dtDescriptor:
      Dest->SetInteger(FDType, FData.Integer);
      break;
    case dtFloat:
      Dest->SetAsFloat(FData.Float);
      break;
    case dtList:
      Dest->SetAsList(FData.Reference ? static_cast<TValueVector*>(FData.Reference)->Clone()
                                      : IValueVector());
      break;
    case dtFunCall:
    case dtFact:
    case dtSingletons:
    case dtFuzzy:
      Dest->SetReference(FDType, FData.Reference);
      break;
    case dtObject:
      if (IsOwningObject())
        Dest->TakeClonedObject(*this);
      else
        Dest->SetAsObject(FData.Object);
      break;
    case dtExternalAddress:
      Dest->SetAsExternalAddress(FData.Pointer);
      break;
    default:
      break;  // dtClass: nothing is written
  }
}

// ---- shared constants ------------------------------------------------------------------------------------

namespace {
IIEValue MakeAtom(const char* Text) { return MakeRef<TIEValue>(std::string_view(Text), dtAtom); }
}  // namespace

const IIEValue FCTrue = MakeAtom("TRUE");
const IIEValue FCFalse = MakeAtom("FALSE");
const IIEValue FCNil = MakeAtom("");
const IIEValue FCEmptyString = MakeAtom("");
const IIEValue FCNilList = MakeRef<TIEValue>(MakeRef<TValueVector>());
const IIEValue FCCatch = MakeAtom("catch");
const IIEValue FCFinally = MakeAtom("finally");
const IIEValue FCExcept = MakeAtom("except");
const IIEValue FCElse = MakeAtom("else");
const IIEValue FCDo = MakeAtom("do");
const IIEValue FCEOF = MakeAtom("EOF");
const IIEValue FCThen = MakeAtom("then");
const IIEValue FCPI = MakeRef<TIEValue>(3.141592653589793);
const IIEValue FCZero = MakeRef<TIEValue>(0.0);

namespace {
// The shared constants are held by every engine, whatever its thread: their counts are never touched.
[[maybe_unused]] const bool ConstantsImmortal = [] {
  for (const IIEValue* Value : {&FCTrue, &FCFalse, &FCNil, &FCEmptyString, &FCNilList, &FCCatch, &FCFinally,
                                &FCExcept, &FCElse, &FCDo, &FCEOF, &FCThen, &FCPI, &FCZero})
    (*Value)->MakeImmortal();
  FCNilList->GetAsList()->MakeImmortal();
  return true;
}();
}  // namespace

bool IsValueConstant(const TIEValue* Value) noexcept {
  if (!Value) return false;
  for (const IIEValue* C : {&FCTrue, &FCFalse, &FCNil, &FCEmptyString, &FCNilList, &FCCatch, &FCFinally,
                            &FCExcept, &FCElse, &FCDo, &FCEOF, &FCThen, &FCPI, &FCZero})
    if (C->get() == Value) return true;
  return false;
}

bool IsValueConstant(const IIEValue& Value) noexcept { return IsValueConstant(Value.get()); }

}  // namespace rulecraft

// Values are created in great numbers: keep them at one 8-byte union, kind, tag and one pointer.
static_assert(sizeof(void*) != 8 || sizeof(rulecraft::TIEValue) <= 40, "TIEValue grew");
