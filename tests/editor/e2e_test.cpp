// e2e_test.cpp: the real editor program run in a scratch directory.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "model.h"
#include "script_gen.h"

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

class ScratchDir : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (fs::temp_directory_path() / "editor-e2e-XXXXXX").string();
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs the editor in dir; returns its exit status.
  int run(const std::string& args = "", const std::string& limits = "") {
    std::string command = limits + "cd '" + dir.string() +
                          "' && exec '" EDITOR_BINARY "' " + args +
                          " 2>stderr.txt </dev/null";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string replay(const std::string& script) {
    write_file(dir / "editor.in", script);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(read_file(dir / "stderr.txt"), "");
    return read_file(dir / "editor.out");
  }

  fs::path dir;
};

struct replay_case {
  const char* name;
  std::string script;
  std::string want;
};

const replay_case kReplays[] = {
    {"count 0 writes nothing", "0\nI 3\nabc\nG 3\n", ""},
    {"an empty script", "", ""},
    {"a count that is no number", "x\nG 1\n", ""},
    {"text wrapped over lines", "3\nI 11\nhello\n world\nM 0\nG 11\n",
     "hello world\n"},
    {"spaces and tabs are text, the space after the number too",
     "2\nI 5 a\tb\nc\nG 9\n", " a\tbc\n"},
    {"crlf script", "3\r\nI 6\r\nabc\r\ndef\r\nG 6\r\nG 2\r\n", "abcdef\nab\n"},
    {"a lone cr is text", "2\nI 3\na\rb\nG 3\n", "a\rb\n"},
    {"byte 26 ends the script", "4\nI 2\nab\nG 2\n\x1aG 1\nG 1\n", "ab\n"},
    {"bytes 128 to 255 are text", "2\nI 2\n\xff\x80\nG 2\n", "\xff\x80\n"},
    {"a lower-case word does nothing", "3\nI 3\nabc\ng 2\nG 3\n", "abc\n"},
    {"lower-case insert: its text is read as commands",
     "4\ni 3\nGxy\nM 1\nG 2\n", "\n"},
    {"unknown words count towards the total", "3\nX 5\n? 1\nI 2\nab\nG 2\n",
     ""},
    {"P and N without numbers", "5\nI 5\nabcde\nN\nN\nP\nG 3\n", "bcd\n"},
    {"P and N with numbers, which are ignored",
     "5\nI 5\nabcde\nN 7\nN -3\nP 100\nG 3\n", "bcd\n"},
    {"N followed by a command on its line", "3\nI 3\nabc\nN G 2\n", "bc\n"},
    {"a count smaller than the script", "2\nI 2\nab\nG 2\nG 1\n", "ab\n"},
    {"a count larger than the script: no rerun at the end", "5\nI 2\nab\nG 2\n",
     "ab\n"},
    {"Get 0 and Get negative write empty lines", "3\nI 2\nab\nG 0\nG -5\n",
     "\n\n"},
    {"two equal Gets write the same line twice", "3\nI 2\nab\nG 1\nG 1\n",
     "a\na\n"},
    {"Get past the end prints what exists", "3\nI 3\nabc\nM 1\nG 10\n", "bc\n"},
    {"Move outside the text", "5\nI 3\nabc\nM -4\nG 1\nM 99\nG 1\n", "a\n\n"},
    {"Prev at 0 and Next at the end do nothing",
     "7\nI 2\nab\nP\nG 1\nM 2\nN\nP\nG 1\n", "a\nb\n"},
    {"Delete of 0, negative, and more than remain",
     "7\nI 4\nabcd\nD 0\nD -2\nM 1\nD 100\nM 0\nG 9\n", "a\n"},
    {"Insert of 0 or negative reads no text", "4\nI 0\nG 1\nI -3\nG 1\n",
     "\n\n"},
    {"a command missing its number does nothing", "4\nI 2\nab\nD\nM 1\nG 1\n",
     "b\n"},
    {"a lone sign is no number", "3\nI 2\nab\nM -\nG 2\n", "ab\n"},
    {"a long word counts by its first byte",
     "2\nI 3\nabc\nG" + std::string(70000, 'x') + " 2\n", "ab\n"},
    {"a number past 32 bits keeps its low bits",
     "3\nI 3\nabc\nM 4294967297\nG 1\n", "b\n"},
    {"the largest count", "2147483647\nI 1\nz\nG 1\n", "z\n"},
    {"words of any case after the first letter",
     "3\nInsert 2\nxy\nMove 1\nGet 1\n", "y\n"},
};

TEST_F(ScratchDir, ReplaysScripts) {
  for (const replay_case& c : kReplays) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(replay(c.script), c.want);
  }
}

TEST_F(ScratchDir, CommandLineIsIgnored) {
  write_file(dir / "editor.in", "2\nI 2\nok\nG 2\n");
  EXPECT_EQ(run("editor.in other words"), 0);
  EXPECT_EQ(read_file(dir / "editor.out"), "ok\n");
}

TEST_F(ScratchDir, LargeScriptsMatchTheModel) {
  std::mt19937 rng(5);
  for (int i = 0; i < 6; ++i) {
    script_shape shape{i % 2 == 1, 30000, 60000};
    std::string script = random_script(rng, shape);
    EXPECT_EQ(replay(script), model_run(script, INT32_MAX).out)
        << "script " << i;
  }
}

// Each Insert at the pinned cursor adds a block: far more than the 8612-entry
// table holds, with no text lost.
TEST_F(ScratchDir, PinnedTypingOutgrowsTheBlockTable) {
  const int typed = 20000;
  std::string script = std::to_string(typed + 4) + "\nI 4088\n";
  for (int i = 0; i < 4088; ++i) script += char('a' + i % 26);
  script += "\nM 4087\n";
  for (int i = 0; i < typed; ++i)
    script += "I 1\n" + std::string(1, char('A' + i % 26)) + "\n";
  script += "M 4080\nG 30\n";
  std::string want = model_run(script, INT32_MAX).out;
  EXPECT_EQ(want.size(), 31u);
  EXPECT_EQ(replay(script), want);
}

struct failure_case {
  const char* name;
  void (*arrange)(const fs::path& dir);
  const char* message;
  bool output_kept;
};

const failure_case kFailures[] = {
    {"missing editor.in leaves editor.out untouched", [](const fs::path&) {},
     "editor: editor.in: No such file or directory\n", true},
    {"editor.in is a directory",
     [](const fs::path& d) { fs::create_directory(d / "editor.in"); },
     "editor: editor.in: Is a directory\n", false},
    {"editor.out cannot be created",
     [](const fs::path& d) {
       write_file(d / "editor.in", "1\nG 0\n");
       fs::remove(d / "editor.out");
       fs::create_directory(d / "editor.out");
     },
     "editor: editor.out: Is a directory\n", false},
    {"editor.out cannot be written",
     [](const fs::path& d) {
       write_file(d / "editor.in", "2\nI 3\nabc\nG 3\n");
       fs::remove(d / "editor.out");
       fs::create_symlink("/dev/full", d / "editor.out");
     },
     "editor: editor.out: No space left on device\n", false},
};

TEST_F(ScratchDir, FailuresAreReported) {
  for (const failure_case& c : kFailures) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir);
    fs::create_directory(dir);
    write_file(dir / "editor.out", "kept");
    c.arrange(dir);
    if (std::string(c.name).find("written") != std::string::npos &&
        !fs::exists("/dev/full"))
      continue;
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read_file(dir / "stderr.txt"), c.message);
    if (c.output_kept) {
      EXPECT_EQ(read_file(dir / "editor.out"), "kept");
    }
  }
}

// A tiny script may ask for 2^31-1 characters (a cut-short Insert fills
// them with byte 255): running out of memory is a clear error, not a crash,
// and what was printed before stays.
TEST_F(ScratchDir, OutOfMemoryIsReported) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an address-space limit defeats the sanitizer's shadow";
#else
  write_file(dir / "editor.in", "3\nG 0\nI 2147483647\nG 1\n");
  EXPECT_EQ(run("", "ulimit -v 262144 && "), 1);
  EXPECT_EQ(read_file(dir / "stderr.txt"), "editor: out of memory\n");
  EXPECT_EQ(read_file(dir / "editor.out"), "\n");
#endif
}

}  // namespace
