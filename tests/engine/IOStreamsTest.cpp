// Terminal output and input routing, named streams, capture and batch input.
#include <gtest/gtest.h>

#include <sstream>

#include "EngineFixture.h"

using namespace rulecraft;
using namespace rulecraft::testing;

TEST_F(TEngineTest, TerminalNamesReachTheHostAndOtherNamesTheirStreams) {
  std::vector<std::string> Names;
  Engine->OnPrintOut = [&](TObject*, const std::string& OutID, const std::string& Text) {
    Names.push_back(OutID + ":" + Text);
  };
  Engine->PrintOut("t", "a");
  Engine->PrintOut("", "b");
  Engine->PrintOut("other", "c");  // no such stream: the host hears it with its name
  EXPECT_EQ(Names, (Lines{"t:a", ":b", "other:c"}));
  std::stringstream Sink;
  Engine->GetIOStreams().Put("out", std::make_unique<TGTextStream>(static_cast<std::ostream&>(Sink)));
  Engine->PrintOut("out", "to the stream");
  Engine->GetIOStreams().Get("out")->Flush();
  EXPECT_EQ(Sink.str(), "to the stream");
  Engine->GetIOStreams().Remove("out");  // the stream goes before the text it writes into
  Engine->OnPrintOut = nullptr;
  ExpectError([&] { Engine->PrintOut("nowhere", "x"); }, "Function is unimplemented or unassigned: printout");
  Engine->PrintOut("t", "dropped");  // the terminal without a handler drops its text
  ExpectError([&] { Engine->GetIOStreams().Remove("nowhere"); }, "Invalid stream name: nowhere");
}

TEST_F(TEngineTest, StreamsUnderOneNameFollowTheDuplicatePolicy) {
  TIOStreams& Streams = Engine->GetIOStreams();
  Streams.Put("in", std::make_unique<TGTextStream>(std::string("first\n")));
  Engine->SetDuplicateConstructs(dcIgnore);
  Streams.Put("in", std::make_unique<TGTextStream>(std::string("second\n")));
  EXPECT_EQ(Engine->ReadLine("in"), "first");
  EXPECT_EQ(Engine->ReadLine("in"), "");  // at its end
  Engine->SetDuplicateConstructs(dcError);
  ExpectError([&] { Streams.Put("in", std::make_unique<TGTextStream>(std::string("x"))); },
              "Duplicate streams defined with same name: \"in\"");
  Engine->SetDuplicateConstructs(dcOverwrite);
  Streams.Put("in", std::make_unique<TGTextStream>(std::string("third\n")));
  EXPECT_EQ(Engine->ReadLine("in"), "third");
  Engine->Clear();
  EXPECT_EQ(Streams.Count(), 0);
}

TEST_F(TEngineTest, TerminalInputComesFromTheBatchThenTheHost) {
  ExpectError([&] { Engine->ReadLine("t"); },
              "The readline event has not been implemented or unassigned.\r\nWarning: Implementation of this "
              "function requires a blocking mechanism, \r\nsuch as ShowModal, or the use of threads");
  Engine->OnReadLine = [](TObject*, const std::string& InID, std::string& Text) {
    Text = "typed for " + InID;
  };
  EXPECT_EQ(Engine->ReadLine("t"), "typed for t");
  EXPECT_EQ(Engine->ReadLine("unknown"), "typed for unknown");
  // A batch: each expression runs; a read from the terminal takes the next line, echoed.
  Define("ask",
         [this](const std::vector<IIEValue>&) { return MakeRef<TIEValue>(Engine->ReadLine("t"), dtString); });
  TGTextStream Input(std::string("(log one)\n(log\n  (ask))\nthe answer\n(log two)\n"));
  Engine->Batch(Input);
  EXPECT_EQ(Log, (Lines{"one", "\"the answer\"", "two"}));
  EXPECT_NE(Output.find("the answer\r\n"), std::string::npos);
  EXPECT_EQ(Engine->ReadLine("t"), "typed for t");  // the batch is over
}

TEST_F(TEngineTest, CaptureDivertsTerminalOutputUntilStopped) {
  std::stringstream Sink;
  Engine->StartCapture(std::make_unique<TGTextStream>(static_cast<std::ostream&>(Sink)));
  Engine->PrintOut("t", "captured");
  EXPECT_TRUE(Output.empty());
  Engine->StopCapture();
  EXPECT_EQ(Sink.str(), "captured");
  Engine->PrintOut("t", "seen");
  EXPECT_EQ(Output, "seen");
}

TEST_F(TEngineTest, TokensComeFromStreamsTheBatchOrTheHost) {
  ExpectError(
      [&] { Engine->ReadToken("t"); },
      "The read event has not been implemented or unassigned.\r\nWarning: Implementation of this function "
      "requires a blocking mechanism, \r\nsuch as ShowModal, or the use of threads");
  Engine->OnReadToken = [](TObject*, const std::string&, std::string& Text) { Text = "42 and more"; };
  EXPECT_EQ(Engine->ReadToken("t")->GetAsInteger(), 42);
  // A named stream gives the first token of each line; the rest of the line is dropped; then end of file.
  Engine->GetIOStreams().Put("in", std::make_unique<TGTextStream>(std::string("\"two words\" x\n3.5\n")));
  EXPECT_EQ(Engine->ReadToken("in")->GetToString(), "\"two words\"");
  EXPECT_EQ(Engine->ReadToken("in")->GetDType(), dtFloat);
  EXPECT_TRUE(Engine->ReadToken("in")->Equals(FCEOF));
}
