// The built rulecraft program, run with its standard streams on files as a script would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct TRun {
  std::string Out, Err;
  int Status = -1;
};

std::string ReadAll(std::FILE* File) {
  std::rewind(File);
  std::string Text;
  char Buffer[4096];
  for (size_t Count; (Count = std::fread(Buffer, 1, sizeof Buffer, File)) > 0;) Text.append(Buffer, Count);
  return Text;
}

TRun RunProgram(const std::vector<std::string>& Args, const std::string& Input = "") {
  std::FILE* In = std::tmpfile();
  std::FILE* Out = std::tmpfile();
  std::FILE* Err = std::tmpfile();
  TRun Result;
  if (!In || !Out || !Err) return Result;
  std::fwrite(Input.data(), 1, Input.size(), In);
  std::fflush(In);
  std::rewind(In);
  std::fflush(nullptr);
  const pid_t Child = fork();
  if (Child == 0) {
    dup2(fileno(In), STDIN_FILENO);
    dup2(fileno(Out), STDOUT_FILENO);
    dup2(fileno(Err), STDERR_FILENO);
    std::vector<char*> Argv{const_cast<char*>(RULECRAFT_PROGRAM)};
    for (const std::string& Arg : Args) Argv.push_back(const_cast<char*>(Arg.c_str()));
    Argv.push_back(nullptr);
    alarm(60);  // a hanging program is killed and fails the test
    execv(Argv[0], Argv.data());
    _exit(127);
  }
  int Status = 0;
  if (Child > 0 && waitpid(Child, &Status, 0) == Child) {
    Result.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
  }
  Result.Out = ReadAll(Out);
  Result.Err = ReadAll(Err);
  std::fclose(In);
  std::fclose(Out);
  std::fclose(Err);
  return Result;
}

}  // namespace

TEST(Program, StatusesWithoutRunningRules) {
  TRun R = RunProgram({"--watch", "facts", "--bogus"});
  EXPECT_EQ(R.Status, 2);
  EXPECT_EQ(R.Out, "");
  EXPECT_TRUE(R.Err.starts_with("rulecraft: unknown option '--bogus'\n")) << R.Err;
  R = RunProgram({"no/such/file.clp", "-i"}, "(exit 5)\n");
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Out, "");
  EXPECT_EQ(R.Err, "Cannot open file no/such/file.clp: No such file or directory\n");
  // A piped loop shows no prompt; blanks and comments alone are not evaluated.
  R = RunProgram({}, "\n ; (exit 5\n\n");
  EXPECT_EQ(R.Status, 0);
  EXPECT_EQ(R.Out, "");
  EXPECT_EQ(R.Err, "");
}

TEST(Program, LoadsAndEvaluatesInOrder) {
  TRun R = RunProgram({"-e", "1", "-", "-e", "abc"}, "2.5\n");
  EXPECT_EQ(R.Status, 0);
  EXPECT_EQ(R.Out, "2.5000\n1\nabc\n");  // the file first, then the texts; no CR left
  EXPECT_EQ(R.Err, "");
  R = RunProgram({"-", "-e", "2"}, "1\n\"x\"\n");
  EXPECT_EQ(R.Status, 1);
  EXPECT_TRUE(R.Err.starts_with("Parsing Error")) << R.Err;
  EXPECT_EQ(R.Err.find('\r'), std::string::npos);
  EXPECT_EQ(R.Out.find('2'), std::string::npos);  // nothing runs after the error
  R = RunProgram({"-e", "1", "-e", "(exit)", "-e", "2"});
  EXPECT_EQ(R.Status, 0);
  EXPECT_EQ(R.Out, "1\n");
}

TEST(Program, LoopKeepsGoingAfterErrors) {
  TRun R = RunProgram({}, "1\n\"x\"\nabc\n");
  EXPECT_EQ(R.Status, 0);
  EXPECT_EQ(R.Out, "1\nabc\n");
  EXPECT_TRUE(R.Err.starts_with("Parsing Error")) << R.Err;
  // An input spread over lines is one evaluation; exit ends the loop.
  R = RunProgram({"-i", "-e", "1"}, "2 (exit ; \")\n )\n3\n");
  EXPECT_EQ(R.Status, 0);
  EXPECT_EQ(R.Out, "1\n2\n");
}
