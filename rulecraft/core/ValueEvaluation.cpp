// Evaluating a value: a variable's bound value, a call's result, a binding record's value, or a fuzzy set
// built from a singleton vector's points.
#include "rulecraft/core/Binding.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/IEFuzzy.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ResolveContext.h"
#include "rulecraft/core/SingletonsVector.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueSupport.h"
#include "rulecraft/fuzzyset/FuzzySet.h"

namespace rulecraft {

void TIEValue::Resolve(TResolveContext* Context, IIEValue& Result) {
  switch (FDType) {
    case dtVariable:
    case dtMultiVariable: {
      if (!Context) throw EIEException(SNoContext, {GetIETypeName(FDType)});
      TBinding* Binding = Context->FindVariable(*this);
      if (!Binding || !Binding->GetValue()) throw EIEException(SCorruptedVariable, {FData.Symbol->Text()});
      Result = Binding->GetValue();
      return;
    }
    case dtFunCall:
      if (FData.Reference) {
        // Keep the call alive while it runs: its result may replace this value's payload.
        TRef<TFunCallBase> Call(static_cast<TFunCallBase*>(FData.Reference));
        Call->Execute(Context, Result);
        return;
      }
      break;
    case dtObject:
      if (const TBindingInfo* Record = AsBindingRecord(FData.Object)) {
        if (!Context) throw EIEException(SNoContext, {GetIETypeName(FDType)});
        Context->ResolveBindingRecord(*Record, Result);
        return;
      }
      break;
    case dtSingletons:
      if (FData.Reference) {
        ISingletonsVector Points(static_cast<TSingletonsVector*>(FData.Reference));
        IFuzzySet Set = NewEngineFuzzySet(nullptr, nullptr);
        IIEValue Fuzzy = MakeRef<TIEValue>(Set);
        if (auto* Variable = dynamic_cast<TIFuzzyVariable*>(Points->GetParser())) Set->SetVariable(Variable);
        Set->BeginUpdate();
        try {
          for (int32_t I = 0; I < Points->GetCount(); ++I) {
            IIEValue X, Y;
            Points->GetXValues(I)->Resolve(Context, X);
            Points->GetYValues(I)->Resolve(Context, Y);
            Set->AddPoint(X->GetAsNumeric(), Y->GetAsNumeric());
          }
        } catch (...) {
          Set->EndUpdate();
          throw;
        }
        Set->EndUpdate();
        Result = Fuzzy;
        return;
      }
      break;
    default:
      break;
  }
  Result = IIEValue(this);
}

}  // namespace rulecraft
