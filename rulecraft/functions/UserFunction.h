#pragma once
// Functions: TIEUserFunction is the base of every function the rule language can call (the built-in ones,
// functions written in the rule language, and host functions). A function serves any number of engines
// ("reasoners"): it is registered in each one's function table under its name. Held through IUserFunction.
//
// TIEInnerFunction stands inside another object and forwards calls to it; TCustomUserFunction (and its
// published twin TUserFunction) is the component a host drops in to add a function with an OnCall handler.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rulecraft/core/Value.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/Ref.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

class IFunctionEngine;
class TIEContext;

/// A number handed from one arithmetic call to the call that consumes it, without making a value: an
/// integer (held exactly in Value) or a float.
struct TNumber {
  double Value = 0.0;
  bool IsFloat = false;
  /// The value the call would answer: a float, or the integer.
  IIEValue ToValue() const;
};

/// What a built-in arithmetic or numeric comparison function computes, for the calls that evaluate a tree of
/// such functions in one pass (TNumberPlan); akNone for every other function.
enum TArithmeticKind : uint8_t {
  akNone,
  akSum,
  akDifference,
  akProduct,
  akMaximum,
  akMinimum,
  // the comparisons, answering TRUE or FALSE
  akEqual,
  akNotEqual,
  akLess,
  akLessOrEqual,
  akGreater,
  akGreaterOrEqual,
};

class TIEUserFunction : public TInterfacedObject {
  RC_CLASS(TIEUserFunction, TInterfacedObject)
 public:
  TIEUserFunction() = default;
  TIEUserFunction(std::string Name, int32_t MinArguments, int32_t MaxArguments,
                  std::string Comment = std::string(), std::string ArgumentString = std::string());
  ~TIEUserFunction() override;

  /// Registers this function with Reasoner (AddUserFunction) and remembers it.
  void AddReasoner(IFunctionEngine* Reasoner);
  /// Unregisters from every engine.
  void ClearReasoners();
  void DeleteReasoner(int32_t Index);
  void DeleteReasoner(IFunctionEngine* Reasoner);
  int32_t IndexOfReasoner(IFunctionEngine* Reasoner) const noexcept;
  IFunctionEngine* GetReasoner(int32_t Index) const;
  /// Drops Reasoner from the list without telling it: for an engine that is being destroyed, which can no
  /// longer be called.
  void ForgetReasoner(IFunctionEngine* Reasoner) noexcept;
  int32_t GetReasonerCount() const noexcept { return static_cast<int32_t>(FReasoners.size()); }

  int32_t GetMaxArgumentCount() const noexcept { return FMaxArgumentCount; }
  /// Lowers the minimum to N when it was larger.
  virtual void SetMaxArgumentCount(int32_t N);
  int32_t GetMinArgumentCount() const noexcept { return FMinArgumentCount; }
  /// Raises the maximum to N when it was smaller.
  virtual void SetMinArgumentCount(int32_t N);
  const std::string& GetArgumentString() const noexcept { return FArgumentString; }
  virtual void SetArgumentString(const std::string& Value) { FArgumentString = Value; }
  const std::string& GetComment() const noexcept { return FComment; }
  void SetComment(const std::string& Value) { FComment = Value; }
  const TIEName& GetFunctionName() const noexcept { return FFunctionName; }
  /// Re-registers the function under the new name with every engine it serves.
  virtual void SetFunctionName(const TIEName& Value);
  /// The function's text as Reasoner's printer writes it.
  std::string GetToString(IFunctionEngine* Reasoner) const;

  /// Checks the argument count ("Too few arguments for %s", "Too many arguments for %s"), clears Result and
  /// evaluates the call.
  virtual void Call(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result);
  /// For a function whose result is always a number (HasNumberForm): checks the argument count as Call does
  /// and evaluates the call into Result without making a value. False, doing nothing, for any other function.
  bool CallNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result);
  bool HasNumberForm() const noexcept { return FNumberForm; }
  /// What the function computes when it is one of the built-in arithmetic or numeric comparison functions
  /// a call may evaluate in one pass with the calls below it; akNone otherwise. Set by the function's
  /// class only (Assign does not copy it).
  TArithmeticKind GetArithmeticKind() const noexcept { return FArithmeticKind; }

  /// Copies the counts and the comment, and the name through SetFunctionName.
  void Assign(const TPersistent* Source) override;

 protected:
  /// The function's own work: resolve the arguments it needs from FunCall in Context and set Result (nil on
  /// entry). The base leaves Result nil.
  virtual void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result);
  /// The number form of Evaluate, for the functions that declare one with SetNumberForm; the base does
  /// nothing.
  virtual void EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result);
  void SetNumberForm() noexcept { FNumberForm = true; }
  void SetArithmeticKind(TArithmeticKind Kind) noexcept { FArithmeticKind = Kind; }

 private:
  int32_t FMinArgumentCount = 0;
  int32_t FMaxArgumentCount = 2147483647;
  std::string FComment;
  std::vector<IFunctionEngine*> FReasoners;
  TIEName FFunctionName;
  std::string FArgumentString;
  bool FNumberForm = false;
  TArithmeticKind FArithmeticKind = akNone;
};

using IUserFunction = TRef<TIEUserFunction>;

/// The handler of a host function: (Sender, FunCall, Context, var Result).
using TCallEvent =
    std::function<void(TObject* Sender, TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result)>;

class TCustomUserFunction;

/// A function standing inside another object (its outer object) and forwarding calls to it.
class TIEInnerFunction final : public TIEUserFunction {
  RC_CLASS(TIEInnerFunction, TIEUserFunction)
 public:
  explicit TIEInnerFunction(TObject* Outer = nullptr);
  ~TIEInnerFunction() override;

  TObject* GetOuter() const noexcept { return FOuter; }
  /// A component outer object is watched: when it goes, the function forgets it.
  void SetOuter(TObject* Outer);
  const TCallEvent& GetOnCall() const noexcept { return FOnCall; }
  void SetOnCall(TCallEvent Handler) { FOnCall = std::move(Handler); }

 protected:
  /// Forwards to the outer TCustomUserFunction, or to OnCall for any other outer object; raises
  /// "Function is unimplemented or unassigned: %s" when the outer object is gone.
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;

 private:
  class TNexus;
  TObject* FOuter = nullptr;
  std::unique_ptr<TNexus> FNexus;
  TCallEvent FOnCall;
};

/// A host function as a component: name, help, argument counts, the engine it registers with, and OnCall.
class TCustomUserFunction : public TComponent {
  RC_CLASS(TCustomUserFunction, TComponent)
 public:
  explicit TCustomUserFunction(TComponent* AOwner);
  ~TCustomUserFunction() override;

  const TIEName& GetFunctionName() const noexcept { return FFunction->GetFunctionName(); }
  void SetFunctionName(const TIEName& Value);
  const std::string& GetComment() const noexcept { return FFunction->GetComment(); }
  void SetComment(const std::string& Value) { FFunction->SetComment(Value); }
  const std::string& GetArgumentString() const noexcept { return FFunction->GetArgumentString(); }
  void SetArgumentString(const std::string& Value) { FFunction->SetArgumentString(Value); }
  int32_t GetMinArgumentCount() const noexcept { return FFunction->GetMinArgumentCount(); }
  /// Changing a count rewrites the argument text.
  void SetMinArgumentCount(int32_t Value);
  int32_t GetMaxArgumentCount() const noexcept { return FFunction->GetMaxArgumentCount(); }
  void SetMaxArgumentCount(int32_t Value);
  IFunctionEngine* GetEngine() const noexcept { return FEngine; }
  /// Unregisters from the old engine and registers with the new one (when the function has a name); the
  /// engine's destruction sets it back to nullptr.
  void SetEngine(IFunctionEngine* Engine);
  const TCallEvent& GetOnCall() const noexcept { return FOnCall; }
  void SetOnCall(TCallEvent Handler) { FOnCall = std::move(Handler); }
  /// The function object registered with engines.
  const IUserFunction& GetFunction() const noexcept { return FFunctionHandle; }

  /// The result starts as FCNil; OnCall, when assigned, may replace it.
  virtual void Call(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TIEInnerFunction* FFunction;
  IUserFunction FFunctionHandle;
  IFunctionEngine* FEngine = nullptr;
  TComponent* FEngineComponent = nullptr;  // the engine as a component, kept to recognise its destruction
  TCallEvent FOnCall;
};

/// TCustomUserFunction with its properties published.
class TUserFunction final : public TCustomUserFunction {
  RC_CLASS(TUserFunction, TCustomUserFunction)
 public:
  using TCustomUserFunction::TCustomUserFunction;
};

}  // namespace rulecraft
