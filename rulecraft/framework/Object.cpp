#include "rulecraft/framework/Object.h"

#include <map>
#include <mutex>

#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Exception.h"

namespace rulecraft {

std::string AssignErrorText(const TObject* Source, const TObject* Dest) {
  const std::string SourceName = Source ? Source->ClassName() : std::string("nil");
  const std::string DestName = Dest ? Dest->ClassName() : std::string("nil");
  return "Cannot assign a " + SourceName + " to a " + DestName;
}

void TPersistent::Assign(const TPersistent* Source) {
  if (Source)
    Source->AssignTo(this);
  else
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) const {
  if (Dest)
    Dest->AssignError(this);
  else
    throw EConvertError(AssignErrorText(this, nullptr));
}

void TPersistent::AssignError(const TPersistent* Source) const {
  throw EConvertError(AssignErrorText(Source, this));
}

namespace {
struct TClassRegistry {
  std::mutex Lock;
  std::map<std::string, TClass> Classes;  // keyed by upper-case name
};

TClassRegistry& Registry() {
  static TClassRegistry R;
  return R;
}
}  // namespace

void RegisterClass(TClass Class) {
  if (!Class) return;
  TClassRegistry& R = Registry();
  std::lock_guard<std::mutex> Guard(R.Lock);
  R.Classes[UpperCase(Class->Name)] = Class;
}

void UnRegisterClass(TClass Class) {
  if (!Class) return;
  TClassRegistry& R = Registry();
  std::lock_guard<std::mutex> Guard(R.Lock);
  auto It = R.Classes.find(UpperCase(Class->Name));
  if (It != R.Classes.end() && It->second == Class) R.Classes.erase(It);
}

TClass GetClass(const std::string& Name) {
  TClassRegistry& R = Registry();
  std::lock_guard<std::mutex> Guard(R.Lock);
  auto It = R.Classes.find(UpperCase(Name));
  return It == R.Classes.end() ? nullptr : It->second;
}

TClass FindClass(const std::string& Name) {
  TClass Class = GetClass(Name);
  if (!Class) throw EClassNotFound("Class " + Name + " not found");
  return Class;
}

}  // namespace rulecraft
