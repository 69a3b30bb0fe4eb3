// The buffered text stream: put-back, lines and blanks over every source and across buffer refills, one
// position shared by reading and writing, files and their errors.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../TestStreams.h"
#include "../TestValues.h"
#include "rulecraft/collections/TextStream.h"

using namespace rulecraft;
using rulecraft::testing::ExpectError;
using rulecraft::testing::TTrickleBuf;

namespace {

std::string ReadAll(TGTextStream& S) {
  std::string Out;
  for (int C = S.GetChar(); C != TGTextStream::EndOfStream; C = S.GetChar()) Out += static_cast<char>(C);
  return Out;
}

std::vector<std::string> Lines(TGTextStream& S) {
  std::vector<std::string> Out;
  std::string Line;
  while (S.ReadLine(Line)) Out.push_back(Line);
  return Out;
}

std::string FileText(const std::string& Name) {
  std::ifstream In(Name, std::ios::binary);
  std::stringstream Out;
  Out << In.rdbuf();
  return Out.str();
}

TEST(TextStreamTest, PutBackSeveralLevelsAnyCharacters) {
  TGTextStream S(std::string("x\xff"));
  EXPECT_EQ(S.GetChar(), 'x');
  S.PutBack('x');  // the character just read
  EXPECT_EQ(S.GetPosition(), 0);
  S.PutBack('2');  // before the start, and not what stood there
  S.PutBack('1');
  EXPECT_EQ(S.PeekChar(), '1');
  EXPECT_EQ(ReadAll(S), "12x\xff");  // bytes above 127 are not negative, so never EndOfStream
  EXPECT_TRUE(S.IsEof());
  EXPECT_EQ(S.GetChar(), TGTextStream::EndOfStream);
  // Put back at the end of the input: readable again, lines included.
  S.PutBack('\n');
  S.PutBack('q');
  EXPECT_FALSE(S.IsEof());
  EXPECT_EQ(Lines(S), (std::vector<std::string>{"q"}));
  // Moving forgets what was put back.
  S.PutBack('!');
  S.SetPosition(1);
  EXPECT_EQ(ReadAll(S), "\xff");
}

TEST(TextStreamTest, LinesEndAtCRAtLFAndAtCRLF) {
  TGTextStream S(std::string("one\rtwo\nthree\r\n\r\nfive\n\rseven"));
  EXPECT_EQ(Lines(S), (std::vector<std::string>{"one", "two", "three", "", "five", "", "seven"}));
  EXPECT_EQ(S.GetLine(), "");
  TGTextStream Trailing(std::string("a\r\n"));
  EXPECT_EQ(Lines(Trailing), (std::vector<std::string>{"a"}));  // a final line end starts no empty line
  // A CR LF pair split by put-back still ends one line.
  TGTextStream Split(std::string("\nb"));
  Split.PutBack('\r');
  Split.PutBack('a');
  EXPECT_EQ(Lines(Split), (std::vector<std::string>{"a", "b"}));
}

TEST(TextStreamTest, SkipBlanksStopsAfterOneLineEnd) {
  TGTextStream S(std::string(" \t\r\n  \n\x01x \r\r y"));
  std::string Skipped;
  EXPECT_TRUE(S.SkipBlanks(&Skipped));
  EXPECT_EQ(Skipped, " \t\r\n");
  EXPECT_TRUE(S.SkipBlanks(&Skipped));
  EXPECT_FALSE(S.SkipBlanks(&Skipped));  // a control character is a blank, 'x' is not
  EXPECT_EQ(Skipped, " \t\r\n  \n\x01");
  EXPECT_EQ(S.GetChar(), 'x');
  EXPECT_TRUE(S.SkipBlanks());  // " \r": a CR alone ends the line
  EXPECT_TRUE(S.SkipBlanks());  // "\r"
  EXPECT_FALSE(S.SkipBlanks());
  EXPECT_EQ(ReadAll(S), "y");
  EXPECT_FALSE(S.SkipBlanks());
}

TEST(TextStreamTest, TrickleSourceCrossesBufferBoundaries) {
  TTrickleBuf Buf("ab\r\ncd\r");
  std::istream In(&Buf);
  TGTextStream S(In);
  EXPECT_EQ(S.GetChar(), 'a');
  EXPECT_EQ(S.GetChar(), 'b');
  S.PutBack('b');  // at the start of a refilled buffer
  S.PutBack('a');
  EXPECT_EQ(S.GetLine(), "ab");  // the LF comes in a later refill than its CR
  EXPECT_EQ(S.GetChar(), 'c');
  EXPECT_FALSE(S.SkipBlanks());
  EXPECT_EQ(S.GetLine(), "d");
  EXPECT_TRUE(S.IsEof());
}

TEST(TextStreamTest, LargeInputReadsAcrossRefills) {
  // Lines of many lengths, more than two read buffers in all, ending in each of the three line ends.
  std::string Text;
  std::vector<std::string> Expected;
  const char* Ends[] = {"\r\n", "\n", "\r"};
  for (int I = 0; Text.size() < 200000; ++I) {
    Expected.push_back(std::string(static_cast<size_t>(I % 997), static_cast<char>('a' + I % 26)));
    Text += Expected.back() + Ends[I % 3];
  }
  std::istringstream In(Text);
  TGTextStream S(In);
  EXPECT_EQ(S.GetSize(), static_cast<int64_t>(Text.size()));
  EXPECT_EQ(Lines(S), Expected);

  std::istringstream In2(Text);
  TGTextStream Bulk(In2);
  std::string Back(Text.size() + 10, '\0');
  Bulk.PutBack(static_cast<char>(Bulk.GetChar()));
  EXPECT_EQ(Bulk.Read(Back.data(), Back.size()), Text.size());
  EXPECT_EQ(Back.substr(0, Text.size()), Text);
}

TEST(TextStreamTest, WhatEachSourceAllows) {
  TGTextStream Text(std::string("hello"));
  EXPECT_FALSE(Text.CanWrite());
  ExpectError<EStreamError>([&] { Text.Write("x"); }, "Text stream is not open for writing");
  ExpectError<EStreamError>([&] { Text.SetPosition(6); }, "Text stream cannot move to position 6");
  ExpectError<EStreamError>([&] { Text.SetPosition(-1); }, "Text stream cannot move to position -1");
  Text.SetPosition(5);
  EXPECT_TRUE(Text.IsEof());

  std::istringstream In("x");
  TGTextStream ReadOnly(In);
  ExpectError<EStreamError>([&] { ReadOnly.NewLine(); }, "Text stream is not open for writing");

  std::ostringstream Out;
  {
    TGTextStream S(Out);
    EXPECT_TRUE(S.IsEof());
    ExpectError<EStreamError>([&] { S.GetChar(); }, "Text stream is not open for reading");
    S.WriteLine("(a)");
    S.WriteIndent(2);
    S.Write("b");
    S.WriteChar('c');
    S.NewLine();
    EXPECT_EQ(S.GetPosition(), 17);
  }
  EXPECT_EQ(Out.str(), "(a)\r\n        bc\r\n");
}

TEST(TextStreamTest, ReadingAndWritingShareOnePosition) {
  std::stringstream Both("0123456789");
  TGTextStream S(Both);
  EXPECT_EQ(S.GetChar(), '0');
  EXPECT_EQ(S.GetChar(), '1');
  EXPECT_EQ(S.GetChar(), '2');
  S.PutBack('2');
  S.Write("ab");  // where reading stopped, not where the read buffer ends
  EXPECT_EQ(S.GetPosition(), 4);
  EXPECT_EQ(S.GetChar(), '4');  // reading goes on after the written text
  EXPECT_EQ(S.GetPosition(), 5);
  S.SetPosition(0);
  EXPECT_EQ(S.GetLine(), "01ab456789");
  S.Write("!");
  S.Flush();
  EXPECT_EQ(S.GetSize(), 11);
  EXPECT_EQ(Both.str(), "01ab456789!");
}

TEST(TextStreamTest, FilesAndTheirErrors) {
  const auto Dir =
      std::filesystem::temp_directory_path() / ("rulecraft_textstream_" + std::to_string(::getpid()));
  std::filesystem::create_directories(Dir);
  const std::string Name = (Dir / "data.clp").string();
  {
    TGTextStream Out(Name, fmCreate);
    Out.WriteLine("(deffacts f)");
    Out.Write("; last");
    EXPECT_EQ(Out.GetSize(), 20);
  }
  EXPECT_EQ(FileText(Name), "(deffacts f)\r\n; last");
  {
    TGTextStream In(Name, fmOpenRead);
    EXPECT_EQ(Lines(In), (std::vector<std::string>{"(deffacts f)", "; last"}));
    ExpectError<EStreamError>([&] { In.Write("x"); }, "Text stream is not open for writing");
  }
  {
    // Appending: open for reading and writing, move to the end.
    TGTextStream Both(Name, fmOpenReadWrite);
    EXPECT_EQ(Both.GetLine(), "(deffacts f)");
    Both.SetPosition(Both.GetSize());
    Both.NewLine();
    Both.Write("(more)");
    Both.SetPosition(14);
    EXPECT_EQ(Lines(Both), (std::vector<std::string>{"; last", "(more)"}));
  }
  EXPECT_EQ(FileText(Name), "(deffacts f)\r\n; last\r\n(more)");
  {
    TGTextStream Again(Name, fmCreate);  // replaces the file
    EXPECT_TRUE(Again.IsEof());
  }
  EXPECT_EQ(FileText(Name), "");

  auto ExpectOpenError = [](const std::string& File, TFileMode Mode, const std::string& Message) {
    try {
      TGTextStream S(File, Mode);
      ADD_FAILURE() << "expected error: " << Message;
    } catch (const EFOpenError& E) {
      EXPECT_EQ(E.Message(), Message);
    }
  };
  const std::string Missing = (Dir / "missing.clp").string();
  const std::string Folder = Dir.string();
  ExpectOpenError(Missing, fmOpenRead, "Cannot open file \"" + Missing + "\". No such file or directory");
  ExpectOpenError(Missing, fmOpenReadWrite,
                  "Cannot open file \"" + Missing + "\". No such file or directory");
  EXPECT_FALSE(std::filesystem::exists(Missing));  // opening never creates
  ExpectOpenError(Missing + "/x", fmCreate,
                  "Cannot create file \"" + Missing + "/x\". No such file or directory");
  ExpectOpenError(Folder, fmOpenRead, "Cannot open file \"" + Folder + "\". Is a directory");
  ExpectOpenError(Folder, fmCreate, "Cannot create file \"" + Folder + "\". Is a directory");
  ExpectOpenError("", fmOpenRead, "Cannot open file \"\". No such file or directory");
  std::filesystem::remove_all(Dir);
}

}  // namespace
