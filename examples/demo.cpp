// A small host program: builds a few values and multifields and shows their text forms, equality and
// formatting, the way a host sees the value layer.
#include <iostream>

#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"

using namespace rulecraft;

int main() {
  IValueVector Order = MakeRef<TValueVector>();
  Order->Add(MakeRef<TIEValue>("widget", dtAtom));
  Order->Add(MakeRef<TIEValue>(17, dtInteger));
  Order->Add(MakeRef<TIEValue>(2.5));
  Order->Add(MakeRef<TIEValue>("rush \"now\"", dtString));
  IIEValue List = MakeRef<TIEValue>(Order);
  std::cout << "multifield:   (" << List->GetToString() << ")\n";
  std::cout << "hash:         " << List->GetHashCode() << "\n";

  IIEValue Five = MakeRef<TIEValue>(5, dtInteger);
  IIEValue FiveSeven = MakeRef<TIEValue>(5.7);
  std::cout << "eq 5 5.7:     " << (Five->Equals(FiveSeven) ? "TRUE" : "FALSE") << "\n";
  std::cout << "eq* 5 5.7:    " << (Five->EqualsStar(FiveSeven) ? "TRUE" : "FALSE") << "\n";

  IValueVector Args = MakeRef<TValueVector>();
  Args->Add(MakeRef<TIEValue>("widget", dtAtom));
  Args->Add(MakeRef<TIEValue>(17, dtInteger));
  Args->Add(MakeRef<TIEValue>(42.125));
  std::cout << "format:       " << CLIPSFormat("%-8s|%5d|%8.2f|", Args) << "\n";
  try {
    MakeRef<TIEValue>("abc", dtAtom)->GetAsInteger();
  } catch (const std::exception& E) {
    std::cout << "error:        " << E.what() << "\n";
  }
  return 0;
}
