// The multifield functions: 0-based positions and inclusive ranges at every boundary, the order of inserted
// values, copies that leave their arguments alone, the kinds compared, and the errors.
#include <gtest/gtest.h>

#include "StdPkgTest.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class Multifields : public TStdPkgTest {
 protected:
  void SetUp() override {
    TStdPkgTest::SetUp();
    Engine->GetContext()->AddLocalBinding("abc", List({Atom("a"), Atom("b"), Atom("c")}));
  }

  /// The text of the list a call answers.
  std::string ListText(const std::string& Call) {
    const IIEValue Result = Eval(Call);
    EXPECT_EQ(Result->GetDType(), dtList) << Call;
    return Result->GetToString();
  }

  void ExpectEngineError(const std::string& Call, const std::string& Message) {
    try {
      Eval(Call);
      ADD_FAILURE() << Call << ": expected error: " << Message;
    } catch (const EIEException& E) {
      EXPECT_EQ(E.Message(), Message) << Call;
    } catch (const std::exception& E) {
      ADD_FAILURE() << Call << ": not an engine error: " << E.what();
    }
  }

  std::string Abc() { return Engine->GetContext()->FindBinding("abc")->GetValue()->GetToString(); }
};

TEST_F(Multifields, CreateNestsListsAndCopiesItsValues) {
  EXPECT_EQ(ListText("(create$)"), "");
  EXPECT_EQ(ListText("(create$ a \"b\" 1 2.5)"), "a \"b\" 1 2.5000 ");
  EXPECT_EQ(Show("(length$ (create$ a (create$ b c)))"), "2");
  EXPECT_EQ(Show("(length$ (create$ ?abc ?abc))"), "2");
  // The new list holds copies of the values, not the values themselves.
  const IIEValue Made = Eval("(create$ ?abc)");
  EXPECT_NE(Made->GetAsList()->Get(0).get(), Engine->GetContext()->FindBinding("abc")->GetValue().get());
  EXPECT_EQ(Made->GetToString(), "a b c  ");

  // Lists nest at most 1000 levels deep.
  IIEValue Deep = List({Atom("x")});
  for (int I = 1; I < 999; ++I) Deep = List({Deep});
  Engine->GetContext()->AddLocalBinding("deep", Deep);  // 999 levels
  EXPECT_EQ(Show("(length$ (create$ ?deep))"), "1");
  ExpectEngineError("(create$ (create$ ?deep))", "Multifield nested deeper than 1000 levels");
  ExpectEngineError("(insert$ (create$) 0 (create$ ?deep))", "Multifield nested deeper than 1000 levels");
  // A list that holds itself is too deep rather than endless.
  IIEValue Loop = List({Atom("a")});
  Loop->GetAsList()->Add(Loop);
  Engine->GetContext()->AddLocalBinding("loop", Loop);
  ExpectEngineError("(create$ ?loop)", "Multifield nested deeper than 1000 levels");
  Loop->GetAsList()->Delete(1);  // frees the cycle
}

TEST_F(Multifields, DeleteSubseqAndReplaceTakeInclusiveRanges) {
  EXPECT_EQ(ListText("(delete$ (create$ a b c d) 1 2)"), "a d ");
  EXPECT_EQ(ListText("(delete$ (create$ a b c d) 0 0)"), "b c d ");
  EXPECT_EQ(ListText("(delete$ (create$ a b c d) 3 3)"), "a b c ");
  EXPECT_EQ(ListText("(delete$ (create$ a b) 5 9)"), "a b ");
  EXPECT_EQ(ListText("(delete$ (create$ a b) -3 -1)"), "a b ");
  EXPECT_EQ(ListText("(delete$ (create$ a b c) -1 1)"), "c ");
  EXPECT_EQ(ListText("(delete$ ?abc 0 9)"), "");

  EXPECT_EQ(ListText("(subseq$ (create$ a b c d) 1 2)"), "b c ");
  EXPECT_EQ(ListText("(subseq$ ?abc 0 2)"), "a b c ");
  EXPECT_EQ(ListText("(subseq$ ?abc 2 2)"), "c ");
  ExpectEngineError("(subseq$ ?abc 1 3)", "List index out of bounds (3)");
  ExpectEngineError("(subseq$ ?abc -1 0)", "List index out of bounds (-1)");
  ExpectEngineError("(subseq$ (create$) 0 0)", "List index out of bounds (0)");

  // Replacement values go in at begin one by one, so they end up last first.
  EXPECT_EQ(ListText("(replace$ (create$ a b c) 1 1 x y)"), "a y x c ");
  EXPECT_EQ(ListText("(replace$ ?abc 0 2 x)"), "x ");
  EXPECT_EQ(ListText("(replace$ ?abc 1 9 x)"), "a x ");
  EXPECT_EQ(ListText("(replace$ ?abc 3 5 x)"), "a b c x ");  // begin at the end appends
  EXPECT_EQ(ListText("(replace$ ?abc 0 1)"), "c ");          // no values: a deletion
  ExpectEngineError("(replace$ ?abc 4 5 x)", "List index out of bounds (4)");
  ExpectEngineError("(replace$ ?abc -1 0 x)", "List index out of bounds (-1)");

  // Begin above end is refused before the list argument is evaluated.
  for (const char* Function : {"delete$", "subseq$", "replace$"}) {
    SCOPED_TRACE(Function);
    ExpectEngineError(std::string("(") + Function + " (log list) 1 0)",
                      "Invalid multifield begin and end parameters: 1, 0");
  }
  EXPECT_TRUE(Log.empty());
  ExpectEngineError("(delete$ a 0 0)", "Not a list type.  Value (a) is a dtAtom type");
  ExpectEngineError("(subseq$ ?abc x 1)", "Not a integer type.  Value (x) is a dtAtom type");
  EXPECT_EQ(Abc(), "a b c ");
}

TEST_F(Multifields, InsertRestFirstNthAndLengthAtTheirBoundaries) {
  EXPECT_EQ(ListText("(insert$ (create$ a b) 1 x y)"), "a y x b ");
  EXPECT_EQ(ListText("(insert$ ?abc 0 z)"), "z a b c ");
  EXPECT_EQ(ListText("(insert$ ?abc 3 z)"), "a b c z ");
  EXPECT_EQ(ListText("(insert$ ?abc 1 (create$ x y))"), "a x y  b c ");  // one nested element
  EXPECT_EQ(ListText("(insert$ ?abc 7)"), "a b c ");                     // nothing to insert
  ExpectEngineError("(insert$ ?abc 4 z)", "List index out of bounds (4)");
  ExpectEngineError("(insert$ ?abc -1 z)", "List index out of bounds (-1)");

  EXPECT_EQ(ListText("(rest$ ?abc)"), "b c ");
  EXPECT_EQ(ListText("(rest$ (create$ a))"), "");
  ExpectEngineError("(rest$ (create$))", "List index out of bounds (0)");
  EXPECT_EQ(Show("(first$ ?abc)"), "a");
  EXPECT_EQ(Eval("(first$ (create$))"), FCNil);
  EXPECT_EQ(Show("(first$ (create$ (create$ x) y))"), "x ");

  EXPECT_EQ(Show("(nth$ 0 (create$ a b))"), "a");
  EXPECT_EQ(Show("(nth$ 2 ?abc)"), "c");
  EXPECT_EQ(Show("(nth$ \"1\" ?abc)"), "b");
  ExpectEngineError("(nth$ 3 ?abc)", "List index out of bounds (3)");
  ExpectEngineError("(nth$ -1 ?abc)", "List index out of bounds (-1)");
  ExpectEngineError("(nth$ 0 (create$))", "List index out of bounds (0)");
  ExpectEngineError("(nth$ ?abc 0)", "Not a integer type.  Value (a b c ) is a dtList type");

  EXPECT_EQ(Show("(length$ (create$))"), "0");
  EXPECT_EQ(Show("(length$ ?abc)"), "3");
  ExpectEngineError("(length$ \"abc\")", "Not a list type.  Value (\"abc\") is a dtString type");
  // None of them changed the variable's list.
  EXPECT_EQ(Abc(), "a b c ");
}

TEST_F(Multifields, ExplodeAndImplodeSplitAndJoinAtBlanks) {
  const IIEValue Parts = Eval("(explode$ \"  a  12  b \")");
  ASSERT_EQ(Parts->GetAsList()->GetValueCount(), 3);
  for (const IIEValue& Part : *Parts->GetAsList()) EXPECT_EQ(Part->GetDType(), dtAtom);  // 12 too
  EXPECT_EQ(Parts->GetToString(), "a 12 b ");
  // Only the blank separates; control characters are trimmed at the ends; quotes stay in the piece.
  const IIEValue Tabbed = Eval("(explode$ \"\t\r\nx\ty \\\"q\\\"\r\n\")");
  ASSERT_EQ(Tabbed->GetAsList()->GetValueCount(), 2);
  EXPECT_EQ(Tabbed->GetAsList()->Get(0)->GetAsString(), "x\ty");
  EXPECT_EQ(Tabbed->GetAsList()->Get(1)->GetAsString(), "\"q\"");
  EXPECT_EQ(ListText("(explode$ \"   \")"), "");
  EXPECT_EQ(ListText("(explode$ \"\")"), "");
  EXPECT_EQ(ListText("(explode$ 42)"), "42 ");

  const IIEValue Joined = Eval("(implode$ (create$ a \"b c\" 3))");
  EXPECT_EQ(Joined->GetDType(), dtString);
  EXPECT_EQ(Joined->GetAsString(), "a b c 3");
  EXPECT_EQ(Eval("(implode$ (create$ 2.5 x))")->GetAsString(), "2.5000 x");
  EXPECT_EQ(Eval("(implode$ (create$))")->GetAsString(), "");
  EXPECT_EQ(Eval("(implode$ (explode$ \" one  two \"))")->GetAsString(), "one two");
  ExpectEngineError("(implode$ (create$ a (create$ b)))", "Not a string type.  Value (b ) is a dtList type");
  ExpectEngineError("(implode$ abc)", "Not a list type.  Value (abc) is a dtAtom type");
}

TEST_F(Multifields, MemberAndSubsetpCompareKindAndValue) {
  EXPECT_EQ(Show("(member$ 5 (create$ a 5.0 5))"), "2");  // the float 5.0 is another kind
  EXPECT_EQ(Show("(member$ b (create$ a b b))"), "1");
  EXPECT_EQ(Show("(member$ a ?abc)"), "0");
  EXPECT_EQ(Eval("(member$ z (create$ a b))"), FCFalse);
  EXPECT_EQ(Eval("(member$ \"a\" ?abc)"), FCFalse);  // a string is not the atom
  EXPECT_EQ(Eval("(member$ a (create$))"), FCFalse);
  EXPECT_EQ(Show("(member$ (create$ b c) (create$ a (create$ b c)))"), "1");
  ExpectEngineError("(member$ a b)", "Not a list type.  Value (b) is a dtAtom type");

  EXPECT_EQ(Eval("(subsetp (create$ b c) (create$ a b c))"), FCTrue);
  EXPECT_EQ(Eval("(subsetp (create$ c b) (create$ a b c))"), FCFalse);  // in order only
  EXPECT_EQ(Eval("(subsetp (create$ a c) (create$ a b c))"), FCFalse);  // contiguous only
  EXPECT_EQ(Eval("(subsetp (create$ a b) (create$ a a b))"), FCTrue);   // a failed start is left behind
  EXPECT_EQ(Eval("(subsetp (create$ c d) (create$ a b c))"), FCFalse);  // a run past the end
  EXPECT_EQ(Eval("(subsetp ?abc ?abc)"), FCTrue);
  EXPECT_EQ(Eval("(subsetp (create$ a b c d) ?abc)"), FCFalse);
  EXPECT_EQ(Eval("(subsetp b ?abc)"), FCTrue);  // a single value stands for a list of it
  EXPECT_EQ(Eval("(subsetp 1 (create$ 1.0))"), FCFalse);
  EXPECT_EQ(Eval("(subsetp (create$) ?abc)"), FCTrue);
  EXPECT_EQ(Eval("(subsetp (create$) (create$))"), FCTrue);
  EXPECT_EQ(Eval("(subsetp a (create$))"), FCFalse);
  ExpectEngineError("(subsetp a b)", "Not a list type.  Value (b) is a dtAtom type");
}

}  // namespace
