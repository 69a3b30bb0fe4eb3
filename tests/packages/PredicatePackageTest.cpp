// The predicate package: its functions and help, the type predicates on evaluated arguments, parity through
// the integer reading, get-type, and the help texts the type predicates build from their kind sets.
#include "rulecraft/packages/PredicatePackage.h"

#include <gtest/gtest.h>

#include "PackageTest.h"
#include "rulecraft/packages/MathPackage.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class PredicatePackageTest : public PackageTest {
 protected:
  void SetUp() override {
    Package = Install<TPredicatePackage>();
    Install<TMathPackage>();
  }
  bool Truth(const std::string& Name, const IIEValue& Argument) {
    const IIEValue R = Run(Name, {Argument});
    // Always one of the shared values, never a copy.
    EXPECT_TRUE(R.get() == FCTrue.get() || R.get() == FCFalse.get()) << Name << " " << R->GetToString();
    return R.get() == FCTrue.get();
  }
  TPredicatePackage* Package = nullptr;
};

TEST_F(PredicatePackageTest, FunctionsAreCallableByNameWithTheirHelp) {
  std::vector<TTableRow> Rows = {
      {"evenp", 1, 1, " <numeric-expression>"},
      {"oddp", 1, 1, " <numeric-expression>"},
      {"get-type", 1, 1, " <expression> "},
  };
  for (const char* Name : {"lexemep", "numberp", "floatp", "fuzzyp", "integerp", "stringp", "symbolp",
                           "multifieldp", "external-addressp", "objectp"})
    Rows.push_back({Name, 1, 1, " <expression>"});
  ExpectTable(*Package, Engine, Rows);
  auto Comment = [&](const char* Name) { return Engine.GetUserFunction(Name)->GetComment(); };
  EXPECT_EQ(Help(Engine, "evenp"),
            ";; evenp function\r\n     syntax: (evenp <numeric-expression>)\r\n"
            "     Returns TRUE if the argument is an even integer, FALSE otherwise");
  EXPECT_EQ(
      Comment("lexemep"),
      "Returns TRUE if the argument is of the following type(s): Atom, String.  If the argument is any other "
      "type, FALSE is returned");
  EXPECT_EQ(
      Comment("numberp"),
      "Returns TRUE if the argument is of the following type(s): Integer, Float.  If the argument is any "
      "other type, FALSE is returned");
  EXPECT_EQ(
      Comment("external-addressp"),
      "Returns TRUE if the argument is of the following type(s): ExternalAddress.  If the argument is any "
      "other type, FALSE is returned");
}

TEST_F(PredicatePackageTest, TypePredicatesTestTheEvaluatedKind) {
  EXPECT_TRUE(Truth("numberp", Int(3)));
  EXPECT_TRUE(Truth("numberp", Flt(3.0)));
  EXPECT_FALSE(Truth("numberp", Str("3")));
  EXPECT_TRUE(Truth("lexemep", Atom("abc")));
  EXPECT_TRUE(Truth("lexemep", Str("abc")));
  EXPECT_FALSE(Truth("lexemep", Int(1)));
  EXPECT_FALSE(Truth("symbolp", Str("abc")));
  EXPECT_TRUE(Truth("symbolp", Atom("abc")));
  EXPECT_TRUE(Truth("stringp", Str("")));
  EXPECT_TRUE(Truth("floatp", Flt(1)));
  EXPECT_FALSE(Truth("floatp", Int(1)));
  EXPECT_TRUE(Truth("integerp", Int(1)));
  EXPECT_FALSE(Truth("integerp", MakeRef<TIEValue>(1, dtFactId)));
  EXPECT_TRUE(Truth("multifieldp", List({})));
  EXPECT_FALSE(Truth("multifieldp", Atom("a")));
  int Anything = 0;
  EXPECT_TRUE(Truth("external-addressp", MakeRef<TIEValue>(static_cast<void*>(&Anything))));
  EXPECT_FALSE(Truth("objectp", MakeRef<TIEValue>(static_cast<void*>(&Anything))));
  TObject Object;
  EXPECT_TRUE(Truth("objectp", MakeRef<TIEValue>(&Object, false)));
  EXPECT_TRUE(Truth("fuzzyp", MakeRef<TIEValue>(MakeRef<TIFuzzySet>(nullptr, std::string()))));
  EXPECT_FALSE(Truth("fuzzyp", Flt(0.5)));

  // Variables and calls are evaluated first: the kind tested is the value's.
  Bind("x", Str("text"));
  EXPECT_TRUE(Truth("stringp", Var("x")));
  EXPECT_FALSE(Truth("symbolp", Var("x")));
  EXPECT_TRUE(Truth("floatp", Nested("/", {Int(4), Int(2)})));
  EXPECT_TRUE(Truth("integerp", Nested("div", {Int(4), Int(2)})));
  ExpectError([&] { Run("stringp", {Var("unbound")}); }, "Corrupted Binding, variable not found: unbound");
}

TEST_F(PredicatePackageTest, ParityReadsTheIntegerReading) {
  EXPECT_TRUE(Truth("oddp", Int(-3)));
  EXPECT_FALSE(Truth("evenp", Int(-3)));
  EXPECT_TRUE(Truth("evenp", Int(0)));
  EXPECT_FALSE(Truth("oddp", Int(0)));
  EXPECT_TRUE(Truth("evenp", Int(-2147483647 - 1)));
  EXPECT_TRUE(Truth("oddp", Int(2147483647)));
  // A float is truncated: 4.7 reads as 4, -3.9 as -3.
  EXPECT_TRUE(Truth("evenp", Flt(4.7)));
  EXPECT_TRUE(Truth("oddp", Flt(-3.9)));
  // Text holding a number reads as that number; other text is refused by the integer reading.
  EXPECT_TRUE(Truth("evenp", Str("12")));
  ExpectError([&] { Run("evenp", {Atom("abc")}); }, "Not a integer type.  Value (abc) is a dtAtom type");
  ExpectError([&] { Run("oddp", {List({Int(1)})}); }, "Not a integer type.  Value (1 ) is a dtList type");
  EXPECT_FALSE(Truth("evenp", Nested("+", {Int(3), Int(4)})));
}

TEST_F(PredicatePackageTest, GetTypeNamesTheKind) {
  auto TypeOf = [&](const IIEValue& V) {
    const IIEValue R = Run("get-type", {V});
    EXPECT_EQ(R->GetDType(), dtAtom);
    return R->GetAsString();
  };
  EXPECT_EQ(TypeOf(List({Atom("a"), Atom("b")})), "dtList");
  EXPECT_EQ(TypeOf(Int(1)), "dtInteger");
  EXPECT_EQ(TypeOf(Flt(1)), "dtFloat");
  EXPECT_EQ(TypeOf(Str("s")), "dtString");
  EXPECT_EQ(TypeOf(Atom("s")), "dtAtom");
  EXPECT_EQ(TypeOf(MakeRef<TIEValue>(7, dtFactId)), "dtFactId");
  EXPECT_EQ(TypeOf(Nested("PI")), "dtFloat");
  Bind("v", Int(5));
  EXPECT_EQ(TypeOf(Var("v")), "dtInteger");
  // A nested call that leaves no result reads as nil, the empty symbol.
  Lambda("nothing", 0, 0)->AddReasoner(&Engine);
  EXPECT_EQ(TypeOf(Nested("nothing")), "dtAtom");
}

TEST(VerifyTypePFunction, HelpTextFollowsNameAndKinds) {
  TVerifyTypePFunction None("nonep", TIETypes());
  EXPECT_EQ(
      None.GetComment(),
      "Returns TRUE if the argument is of the following type(s): NONE.  If the argument is any other type, "
      "FALSE is returned");
  EXPECT_EQ(None.GetArgumentString(), " <expression>");
  EXPECT_EQ(None.GetMinArgumentCount(), 1);
  EXPECT_EQ(None.GetMaxArgumentCount(), 1);

  // The text is rebuilt from the set when the function receives a name.
  None.SetComment("changed");
  None.SetArgumentString("changed");
  None.SetFunctionName("renamed");
  EXPECT_EQ(None.GetFunctionName(), "renamed");
  EXPECT_EQ(None.GetArgumentString(), " <expression>");
  EXPECT_NE(None.GetComment().find("type(s): NONE."), std::string::npos);
  None.SetKinds({dtSlot, dtAtom});
  EXPECT_NE(None.GetComment().find("type(s): Atom, Slot."), std::string::npos);

  // Assign carries the set, and the text describes the copied set.
  TVerifyTypePFunction Copy;
  EXPECT_TRUE(Copy.GetKinds().Empty());
  TVerifyTypePFunction Source("lexemep", {dtAtom, dtString});
  Copy.Assign(&Source);
  EXPECT_EQ(Copy.GetKinds(), (TIETypes{dtAtom, dtString}));
  EXPECT_EQ(Copy.GetFunctionName(), "lexemep");
  EXPECT_EQ(Copy.GetComment(), Source.GetComment());
  TEvenPFunction Other;
  Copy.Assign(&Other);  // another function class: only the inherited fields
  EXPECT_EQ(Copy.GetFunctionName(), "evenp");
  EXPECT_EQ(Copy.GetKinds(), (TIETypes{dtAtom, dtString}));
}

}  // namespace
