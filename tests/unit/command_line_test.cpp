#include "text/command_line.h"

#include <gtest/gtest.h>

#include <set>

namespace qb {
namespace {

TEST(CommandLineTest, MaskPasswordHidesEveryFormOfThePasswordOption) {
  const struct {
    const char* line;
    const char* logged;
  } cases[] = {
      {"setup.exe /S /PW=secret", "setup.exe /S /PW=********"},
      {"setup.exe /pw=secret /S", "setup.exe /PW=******** /S"},
      {"setup.exe /Pw=secret", "setup.exe /PW=********"},
      {"\"C:\\My Setup\\setup.exe\" \"/PW=two words\" /S",
       "\"C:\\My Setup\\setup.exe\" /PW=******** /S"},
      {"setup.exe /PW=\"two words\" /S", "setup.exe /PW=******** /S"},
      {"setup.exe \"/PW\"=secret", "setup.exe /PW=********"},
      {"setup.exe\t/PW=a\t/PW=b", "setup.exe\t/PW=********\t/PW=********"},
      {"setup.exe \"/PW=unterminated quote and more", "setup.exe /PW=********"},
      {"setup.exe /PW=", "setup.exe /PW=********"},
      // Not the password option: kept as it is.
      {"setup.exe /S /LOG=C:\\pw\\log.txt /P=C:\\PW=x",
       "setup.exe /S /LOG=C:\\pw\\log.txt /P=C:\\PW=x"},
      {"setup.exe /PWX=1 x/PW=2", "setup.exe /PWX=1 x/PW=2"},
      {"\"C:\\a /PW=b\\setup.exe\" /S", "\"C:\\a /PW=b\\setup.exe\" /S"},
      {"setup.exe", "setup.exe"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskPassword(c.line), c.logged) << c.line;
}

TEST(CommandLineTest, SplitCommandNeverTakesAShorterPartWhileTheProgramIsThere) {
  const std::set<std::string> files = {
      "C:\\Trap Dir\\App\\app.exe",
      "C:\\Trap.exe",
      "C:\\Trap",
      "C:\\Program Files\\A\\a.exe",
      "C:\\Program",
      "C:\\x.exe",
      "C:\\x.exe data",
      "C:\\Docs\\read me.txt",
  };
  const auto isFile = [&files](const std::string& p) { return files.count(p) > 0; };
  const struct {
    const char* command;
    const char* file;
    const char* parameters;
  } cases[] = {
      {"C:\\Trap Dir\\App\\app.exe", "C:\\Trap Dir\\App\\app.exe", ""},
      {"C:\\Trap Dir\\App\\app.exe /first run", "C:\\Trap Dir\\App\\app.exe", "/first run"},
      {"  C:\\Program Files\\A\\a.exe   -x  ", "C:\\Program Files\\A\\a.exe", "-x"},
      {"\"C:\\Program Files\\A\\a.exe\" -x \"y z\"", "C:\\Program Files\\A\\a.exe", "-x \"y z\""},
      {"\"C:\\Missing Dir\\m.exe\"", "C:\\Missing Dir\\m.exe", ""},
      {"\"C:\\Open Quote\\m.exe", "C:\\Open Quote\\m.exe", ""},
      // The longest part that names a file wins.
      {"C:\\x.exe data file", "C:\\x.exe data", "file"},
      {"C:\\Docs\\read me.txt", "C:\\Docs\\read me.txt", ""},
      // The program is missing: a planted prefix is still never taken.
      {"C:\\Trap Dir\\App\\gone.exe", "C:\\Trap Dir\\App\\gone.exe", ""},
      {"C:\\Trap Dir\\App\\gone.exe /x", "C:\\Trap Dir\\App\\gone.exe /x", ""},
      {"C:\\Program Files\\A\\gone.exe", "C:\\Program Files\\A\\gone.exe", ""},
      // A program the system finds by its name alone.
      {"notepad.exe C:\\Docs\\read me.txt", "notepad.exe", "C:\\Docs\\read me.txt"},
      {"http://example.org/x", "http://example.org/x", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    std::string file = "old", parameters = "old";
    SplitCommand(c.command, isFile, file, parameters);
    EXPECT_EQ(file, c.file) << c.command;
    EXPECT_EQ(parameters, c.parameters) << c.command;
  }
}

TEST(CommandLineTest, QuotedPath) {
  const struct {
    const char* path;
    const char* quoted;
  } cases[] = {
      {"C:\\App\\app.exe", "C:\\App\\app.exe"},
      {"C:\\Trap Dir\\app.exe", "\"C:\\Trap Dir\\app.exe\""},
      {"C:\\Tab\tDir\\a.exe", "\"C:\\Tab\tDir\\a.exe\""},
      {"\"C:\\Trap Dir\\app.exe\"", "\"C:\\Trap Dir\\app.exe\""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(QuotedPath(c.path), c.quoted) << c.path;
}

}  // namespace
}  // namespace qb
