// Multifields, singleton vectors, value tables and binding records.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/SingletonsVector.h"
#include "rulecraft/core/ValueHashTable.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Exception.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TPrinter final : public ISingletonsParser {
 public:
  ISingletonsVector ParseSingletons(const std::string&) override { return MakeRef<TSingletonsVector>(this); }
  std::string PrettyPrint(const TSingletonsVector& Vector) override {
    return "<" + std::to_string(Vector.GetCount()) + " points>";
  }
};
}  // namespace

TEST(ValueVector, ListOperationsUseZeroBasedPositionsAndIdentity) {
  IValueVector V = MakeRef<TValueVector>();
  IIEValue One = Int(1);
  EXPECT_EQ(V->Add(One), 0);
  EXPECT_EQ(V->Add(Int(2)), 1);
  EXPECT_EQ(V->Add(One), 2);  // the same object twice
  EXPECT_EQ(V->Add(IIEValue()), 3);
  EXPECT_EQ(V->GetToString(), "1 2 1  ");
  EXPECT_EQ(V->IndexOf(One), 0);
  EXPECT_EQ(V->IndexOf(Int(1)), -1);  // equal but not the same object
  V->Insert(0, Atom("a"));
  EXPECT_EQ(V->First()->GetAsString(), "a");
  EXPECT_FALSE(V->Last());
  EXPECT_EQ(V->Remove(One), 1);
  EXPECT_EQ(V->GetValueCount(), 4);
  V->Delete(3);
  V->Put(0, Atom("b"));
  EXPECT_EQ(V->GetToString(), "b 2 1 ");
  EXPECT_THROW(V->Get(3), EListError);
  EXPECT_THROW(V->Get(-1), EListError);
  EXPECT_THROW(V->Insert(5, One), EListError);
  EXPECT_THROW(V->Delete(3), EListError);
  V->Append(V);  // appending itself doubles it
  EXPECT_EQ(V->GetValueCount(), 6);
  V->Clear();
  EXPECT_EQ(V->GetToString(), "");
  EXPECT_THROW(V->First(), EListError);
}

TEST(ValueVector, EqualityCloneAndAssign) {
  IValueVector A = MakeRef<TValueVector>(std::vector<IIEValue>{Int(1), IIEValue(), Atom("x")});
  IValueVector B = MakeRef<TValueVector>(std::vector<IIEValue>{Int(1), IIEValue(), Atom("x")});
  EXPECT_TRUE(A->Equals(B));
  B->Put(1, Int(0));
  EXPECT_FALSE(A->Equals(B));
  EXPECT_FALSE(B->Equals(A));
  IValueVector C = A->Clone();
  EXPECT_TRUE(C->Equals(A));
  EXPECT_NE(C->Get(0).get(), A->Get(0).get());
  EXPECT_FALSE(C->Get(1));
  IValueVector D = MakeRef<TValueVector>(std::vector<IIEValue>{Int(9)});
  D->Assign(A);
  EXPECT_TRUE(D->Equals(A));
  EXPECT_NE(D->Get(2).get(), A->Get(2).get());
  IValueVector Shared = MakeRef<TValueVector>();
  Shared->Append(A);
  EXPECT_EQ(Shared->Get(0).get(), A->Get(0).get());
  try {
    D->Assign(static_cast<const TPersistent*>(A.get()));
    FAIL();
  } catch (const EIEException& E) {
    EXPECT_EQ(E.Message(), "Cannot assign a TValueVector to a TValueVector");
  }
  EXPECT_FALSE(A->Equals(static_cast<const ICloneable*>(Int(1).get())));
}

TEST(SingletonsVector, PairsPrintCompareAndCopy) {
  ISingletonsVector V = MakeRef<TSingletonsVector>();
  EXPECT_EQ(V->GetToString(), "");
  V->Add(Int(1), Int(0));
  V->Add(Int(2), Int(1));
  EXPECT_EQ(V->GetToString(), "(1 0) (2 1) ");
  ISingletonsVector W = MakeRef<TSingletonsVector>();
  W->Add(Int(1), Int(0));
  W->Add(Int(2), Int(1));
  EXPECT_TRUE(V->Equals(W.get()));
  W->SetYValues(0, MakeRef<TIEValue>(0.0));
  EXPECT_FALSE(V->Equals(W.get()));  // the integer 0 and the float 0.0 differ
  EXPECT_EQ(V->IndexOfX(V->GetXValues(1)), 1);
  EXPECT_EQ(V->IndexOfX(Int(2)), -1);
  EXPECT_EQ(V->GetHashCode(), 1 + 2 + 0 + 1);

  TPrinter Printer;
  ISingletonsVector Source = MakeRef<TSingletonsVector>(&Printer);
  Source->Add(Int(5), Int(1));
  Source->SetTag(4);
  ISingletonsVector Copy = MakeRef<TSingletonsVector>();
  Copy->Assign(Source);
  EXPECT_EQ(Copy->GetParser(), &Printer);
  EXPECT_EQ(Copy->GetTag(), 4);
  EXPECT_EQ(Copy->GetToString(), "<1 points>");
  Source->GetXValues(0)->SetAsInteger(99);
  EXPECT_EQ(Copy->GetXValues(0)->GetAsInteger(), 5);  // the values were cloned
  EXPECT_EQ(Source->Clone()->GetParser(), &Printer);

  Copy->Insert(0, Int(0), Int(0));
  Copy->Append(Source);
  EXPECT_EQ(Copy->GetCount(), 3);
  EXPECT_EQ(Copy->GetXValues(2).get(), Source->GetXValues(0).get());
  Copy->Delete(0);
  EXPECT_EQ(Copy->GetCount(), 2);
  EXPECT_THROW(Copy->Delete(5), EListError);
  EXPECT_THROW(Copy->Assign(ICloneableRef(MakeRef<TValueVector>())), EConvertError);
}

TEST(ValueHashTable, StoresPrintsAndCopies) {
  TValueHashTable Table;
  EXPECT_EQ(Table.GetToString(), "");
  EXPECT_FALSE(Table.Put("a", Int(1)));
  EXPECT_EQ(Table.GetToString(), "a = 1\r\n");
  EXPECT_EQ(Table.Put("a", Int(2))->GetAsInteger(), 1);
  Table.SetItem("b", Atom("x"));
  Table.Put("c", Int(3));
  IIEValue Found;
  EXPECT_TRUE(Table.ContainsKey("b", Found));
  EXPECT_EQ(Found->GetAsString(), "x");
  EXPECT_FALSE(Table.ContainsKey("B", Found));
  EXPECT_FALSE(Table.Get("zz"));
  EXPECT_EQ(Table.Remove("b")->GetAsString(), "x");
  EXPECT_FALSE(Table.Remove("b"));
  EXPECT_EQ(Table.GetToString(), "a = 2\r\nc = 3\r\n");
  EXPECT_EQ(Table.GetKeyByIndex(1), "c");
  EXPECT_EQ(Table.GetItemByIndex(1)->GetAsInteger(), 3);
  EXPECT_THROW(Table.GetKeyByIndex(2), EListError);

  TValueHashTable Copy;
  Copy.Put("old", Int(0));
  Copy.Assign(&Table);
  EXPECT_EQ(Copy.GetToString(), Table.GetToString());
  EXPECT_NE(Copy.Get("a").get(), Table.Get("a").get());
  Table.Clear();
  EXPECT_EQ(Table.Count(), 0);
  EXPECT_EQ(Copy.Count(), 2);
}

TEST(Bindings, RecordsCompareAndPrint) {
  TBindingInfo Record(0, "color", NoSubIndex);
  EXPECT_EQ(Record.ToString(), "FactIdx=0 SlotIdx=color");
  TBindingInfo Element(1, "items", 2);
  EXPECT_EQ(Element.ToString(), "FactIdx=1 SlotIdx=items SubIdx=2");
  EXPECT_FALSE(Record.Equals(&Element));
  TBindingInfo Copy;
  Copy.Assign(&Element);
  EXPECT_TRUE(Copy.Equals(&Element));

  TBinding Pattern("x", 1, "items", 2);
  EXPECT_TRUE(Element.Equals(&Pattern));   // a binding is a record at the same position
  EXPECT_FALSE(Pattern.Equals(&Element));  // but a record is not a binding
  EXPECT_EQ(Pattern.ToString(), "name=x FactIdx=1 SlotIdx=items SubIdx=2");
  TBinding Local("y", Int(4));
  EXPECT_EQ(Local.ToString(), "name=y value=4 FactIdx=-2 SlotIdx=__LOCAL");
  TBinding Other("y", Int(4));
  EXPECT_TRUE(Local.Equals(&Other));
  Other.SetValue(Int(5));
  EXPECT_FALSE(Local.Equals(&Other));
  TBinding NoValue("x", 1, "items", 2);
  EXPECT_TRUE(Pattern.Equals(&NoValue));
  NoValue.SetValue(Int(1));
  EXPECT_FALSE(Pattern.Equals(&NoValue));
  TBinding Assigned;
  Assigned.Assign(&Local);
  EXPECT_EQ(Assigned.GetValue().get(), Local.GetValue().get());
  EXPECT_EQ(Assigned.GetName(), "y");
  EXPECT_EQ(Assigned.GetFactIndex(), LocalBindingIndex);
}
