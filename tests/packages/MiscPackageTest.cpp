// The miscellaneous package on a real engine: its table, configured functions copied with their type, the
// date and time boundaries and formats a host sets through the engine, dialogs without a host, and the
// bindings a context sees.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../TestValues.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/packages/MiscPackage.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class MiscPackageTest : public ::testing::Test {
 protected:
  std::string Eval(const std::string& Text) { return Engine.ParseNExecuteFunCall(Text)->GetAsString(); }
  std::string Printed(const std::string& Text) {
    Output.clear();
    Eval(Text);
    return Output;
  }
  void SetUp() override {
    Engine.OnPrintOut = [this](TObject*, const std::string&, const std::string& Text) { Output += Text; };
  }
  TInferenceEngine Engine;
  std::string Output;
};

}  // namespace

TEST_F(MiscPackageTest, TableOrderAndConfiguredCopies) {
  auto* Package = static_cast<TMiscPackage*>(GetClass("TMiscPackage")->Create(nullptr));
  Package->CreateFunctions();
  std::vector<std::string> Names;
  for (int32_t I = 0; I < Package->GetFunctions().Count(); ++I)
    Names.push_back(Package->GetFunctions().Get(I)->GetFunctionName());
  delete Package;
  ASSERT_EQ(Names.size(), 59u);
  EXPECT_EQ(Names.front(), "decode-year");
  EXPECT_EQ(Names[7], "encode-date");
  EXPECT_EQ(Names[19], "guard");
  EXPECT_EQ(Names[43], "facts");
  EXPECT_EQ(Names.back(), "is-deftemplate");

  // A configured function copied into one of another type takes the source's type, name and texts.
  const auto Hour = MakeRef<TDecodeDateTimeFunction>(ddtHour);
  const auto Copy = MakeRef<TDecodeDateTimeFunction>();
  EXPECT_EQ(Copy->GetFunctionName(), "decode-year");
  Copy->Assign(Hour.get());
  EXPECT_EQ(Copy->GetFunctionType(), ddtHour);
  EXPECT_EQ(Copy->GetFunctionName(), "decode-hour");
  EXPECT_EQ(Copy->GetArgumentString(), " <system-time-numeric-expression>");
  const auto Format = MakeRef<TDateTimeStringFunction>(dtsDateTimeStrFormat);
  EXPECT_EQ(Format->GetMinArgumentCount(), 2);
  Format->SetFunctionType(dtsStrDate);
  EXPECT_EQ(Format->GetFunctionName(), "str-date");
  EXPECT_EQ(Format->GetMaxArgumentCount(), 1);
  EXPECT_EQ(Format->GetMinArgumentCount(), 1);
}

TEST_F(MiscPackageTest, DateBoundaries) {
  EXPECT_EQ(Eval("(encode-date 1)"), "-693593.0000");
  EXPECT_EQ(Eval("(encode-date 9999 12 31)"), "2958465.0000");
  EXPECT_EQ(Eval("(decode-year (encode-date 1))"), "1");
  EXPECT_EQ(Eval("(decode-day (+ (encode-date 9999 12 31) 0.99999))"), "31");
  EXPECT_EQ(Eval("(decode-month (encode-date 2000 2 29))"), "2");
  for (const char* Call : {"(encode-date 0)", "(encode-date 10000)", "(encode-date 2001 2 29)",
                           "(encode-date 2000 13)", "(encode-date 2000 4 31)", "(encode-date 2000 1 0)"})
    ExpectError([&] { Eval(Call); }, "Invalid argument to date encode");
  for (const char* Call : {"(encode-time 24)", "(encode-time -1)", "(encode-time 1 60)",
                           "(encode-time 1 1 60)", "(encode-time 1 1 1 1000)"})
    ExpectError([&] { Eval(Call); }, "Invalid argument to time encode");
  ExpectError([&] { Eval("(decode-year 2958466)"); }, "Invalid date value: 2958466.0000");
  ExpectError([&] { Eval("(date-str -693594)"); }, "Invalid date value: -693594.0000");
  // The last millisecond of a day stays in that day.
  EXPECT_EQ(Eval("(datetime-str (+ 36526 0.9999999999))"), "2000-01-01 23:59:59");
  EXPECT_EQ(Eval("(decode-millisecond (+ 36526 0.9999999999))"), "999");
}

TEST_F(MiscPackageTest, TheHostSetsTheFormatsAndReadingFollowsWriting) {
  EXPECT_EQ(Engine.GetDateFormat(), "yyyy-mm-dd");
  EXPECT_EQ(Engine.GetTimeFormat(), "hh:nn:ss");
  Engine.SetDateFormat("dd.mm.yyyy");
  Engine.SetTimeFormat("h:nn \"o'clock\"");
  EXPECT_EQ(Eval("(datetime-str (+ (encode-date 2024 3 5) (encode-time 7 5)))"), "05.03.2024 7:05 o'clock");
  EXPECT_EQ(
      Eval("(= (str-datetime \"05.03.2024 7:05 o'clock\") (+ (encode-date 2024 3 5) (encode-time 7 5)))"),
      "TRUE");
  EXPECT_EQ(Eval("(= (str-date \" 5.3.2024 \") (encode-date 2024 3 5))"), "TRUE");  // blanks, single digits
  ExpectError([&] { Eval("(str-date \"2024-03-05\")"); }, "'2024-03-05' is not a valid date");
  ExpectError([&] { Eval("(str-time \"25:00 o'clock\")"); }, "'25:00 o'clock' is not a valid time");
  ExpectError([&] { Eval("(str-time \"7:05\")"); }, "'7:05' is not a valid time");
  ExpectError([&] { Eval("(str-datetime \"05.03.2024\")"); }, "'05.03.2024' is not a valid date and time");
  Engine.SetDateFormat("yy/m/d");
  EXPECT_EQ(Eval("(date-str (encode-date 2009 10 4))"), "09/10/4");
  EXPECT_EQ(Eval("(= (str-date \"09/10/4\") (encode-date 2009 10 4))"), "TRUE");
  EXPECT_EQ(Eval("(datetime-str-format 36526.5 \"yyyy zzz\")"), "2000 000");
}

TEST_F(MiscPackageTest, DialogsNeedAHostAndBindingsAreListed) {
  for (const char* Call : {"(show-message \"hi\")", "(input-box)", "(input-query \"a\" \"b\" \"c\")",
                           "(message-dlg \"m\" mtError \"[mbOK]\")"}) {
    const std::string Name = std::string(Call).substr(1, std::string(Call).find(' ') - 1);
    ExpectError([&] { Eval(Call); },
                "No dialog handler assigned for " + (Name == "input-box)" ? "input-box" : Name));
  }
  Engine.OnDialog = [](TObject*, const TDialogRequest& Request, std::string& Answer) {
    Answer = Request.Kind == dkMessageDlg ? "mrYESTOALL" : "typed";
    return Request.Caption != "cancel";
  };
  EXPECT_EQ(Eval("(message-dlg \"m\" mtcustom \"[Yes,YesToAll]\" 3)"), "mrYesToAll");
  EXPECT_EQ(Eval("(input-box cancel p \"fallback\")"), "fallback");
  EXPECT_EQ(Eval("(input-query c)"), "typed");
  ExpectError([&] { Eval("(message-dlg \"m\" mtOdd \"[mbOK]\")"); }, "Invalid dialog type: mtOdd");
  ExpectError([&] { Eval("(message-dlg \"m\" mtError \"[mbOK,mbMaybe]\")"); },
              "Invalid item for set: mbMaybe");

  Engine.Parse("(deffunction show (?b ?a) (bind ?c 1) (list-bindings) (is-binding a))");
  EXPECT_EQ(Printed("(show 1 2)"), "a\r\nb\r\nc\r\nfor a total of 3 bindings.\r\n");
  EXPECT_EQ(Eval("(show 1 2)"), "TRUE");
  EXPECT_EQ(Eval("(is-binding a)"), "FALSE");
  EXPECT_EQ(Printed("(rules wdialog)"), "For a total of 0 rules.\r\n");
}

TEST_F(MiscPackageTest, NoPackageTakesAnotherOnesName) {
  // Every function of every installed package is in the engine's table under a name of its own.
  int32_t Total = 0;
  for (int I = 0; I < Engine.ComponentCount(); ++I)
    if (const auto* Package = dynamic_cast<const TUserPackage*>(Engine.GetComponent(I)))
      for (int32_t F = 0; F < Package->GetFunctions().Count(); ++F) {
        const IUserFunction& Function = Package->GetFunctions().Get(F);
        EXPECT_EQ(Engine.GetUserFunction(Function->GetFunctionName()).get(), Function.get())
            << Function->GetFunctionName();
        ++Total;
      }
  EXPECT_EQ(Engine.GetUserFunctionTable().Count(), Total);
  EXPECT_GT(Total, 59 + 12 + 11);
}
