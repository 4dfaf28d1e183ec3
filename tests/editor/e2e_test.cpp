// e2e_test.cpp: the real editor program run in a scratch directory.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "model.h"
#include "script_gen.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testkit::read_file;
using testkit::run_result;
using testkit::write_file;

// The editor under test: this build's, or the Windows editor.exe run through
// an emulator, both named by the environment.
std::string program() {
  const char* p = std::getenv("JUDGEKIT_EDITOR_PROGRAM");
  return p != nullptr ? p : EDITOR_BINARY;
}

std::string emulator() {
  const char* e = std::getenv("JUDGEKIT_EMULATOR");
  return e != nullptr ? e : "";
}

bool windows() {
  const std::string p = program();
  return p.size() > 4 && p.compare(p.size() - 4, 4, ".exe") == 0;
}

class ScratchDir : public testing::Test {
 protected:
  // Runs the editor in dir with these arguments and resource limits.
  run_result run(const std::vector<std::string>& args = {},
                 const std::vector<std::pair<int, rlim_t>>& limits = {}) {
    testkit::run_options options;
    options.dir = dir.path();
    options.limits = limits;
    std::vector<std::string> argv{program()};
    if (!emulator().empty()) argv.insert(argv.begin(), emulator());
    argv.insert(argv.end(), args.begin(), args.end());
    return testkit::run_program(argv, options);
  }
  // editor.out as the Linux build writes it. The Windows build writes each
  // line end as CR LF (text mode) and must differ in nothing else.
  std::string output() {
    std::string out = read_file(dir / "editor.out");
    if (!windows()) return out;
    std::string lf;
    for (size_t i = 0; i < out.size(); ++i) {
      if (out[i] == '\n') {
        EXPECT_TRUE(i > 0 && out[i - 1] == '\r') << "LF without CR at " << i;
        if (!lf.empty() && lf.back() == '\r') lf.pop_back();
      }
      lf += out[i];
    }
    return lf;
  }
  std::string replay(const std::string& script) {
    write_file(dir / "editor.in", script);
    run_result r = run();
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    return output();
  }

  testkit::scratch_dir dir{"editor-e2e"};
};

struct replay_case {
  const char* name;
  std::string script;
  std::string want;
  const char* windows_want = nullptr;  // where the Windows build differs
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
     "3\nI 3\nabc\nM 4294967297\nG 1\n", "b\n",
     // Windows: long has 32 bits, so the number saturates at 2147483647.
     "\n"},
    {"the largest count", "2147483647\nI 1\nz\nG 1\n", "z\n"},
    {"words of any case after the first letter",
     "3\nInsert 2\nxy\nMove 1\nGet 1\n", "y\n"},
};

TEST_F(ScratchDir, ReplaysScripts) {
  for (const replay_case& c : kReplays) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(replay(c.script),
              windows() && c.windows_want ? c.windows_want : c.want);
  }
}

TEST_F(ScratchDir, CommandLineIsIgnored) {
  write_file(dir / "editor.in", "2\nI 2\nok\nG 2\n");
  EXPECT_EQ(run({"editor.in", "other", "words"}).exit_code, 0);
  EXPECT_EQ(output(), "ok\n");
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

// Each failure is one stderr line and exit 1; editor.in is never changed,
// and editor.out is left as it was whenever the failure is found before
// output could begin.
struct failure_case {
  const char* name;
  void (*arrange)(const fs::path& dir);
  const char* message;
  bool output_kept;
  // Where the Windows build says it otherwise (the C runtime's own texts;
  // under Wine a Unix device gives Wine's error).
  const char* windows_message = nullptr;
};

const char kScript[] = "2\nI 3\nabc\nG 3\n";

const failure_case kFailures[] = {
    {"missing editor.in", [](const fs::path&) {},
     "editor: editor.in: No such file or directory\n", true},
    {"editor.in is a directory",
     [](const fs::path& d) { fs::create_directory(d / "editor.in"); },
     "editor: editor.in: Is a directory\n", true,
     "editor: editor.in: Permission denied\n"},
    {"editor.in is a dangling link",
     [](const fs::path& d) { fs::create_symlink("nowhere", d / "editor.in"); },
     "editor: editor.in: No such file or directory\n", true},
    {"editor.out is a symbolic link to editor.in",
     [](const fs::path& d) {
       write_file(d / "editor.in", kScript);
       fs::remove(d / "editor.out");
       fs::create_symlink("editor.in", d / "editor.out");
     },
     "editor: editor.out: same file as editor.in\n", false},
    {"editor.out is a hard link to editor.in",
     [](const fs::path& d) {
       write_file(d / "editor.in", kScript);
       fs::remove(d / "editor.out");
       fs::create_hard_link(d / "editor.in", d / "editor.out");
     },
     "editor: editor.out: same file as editor.in\n", false},
    {"editor.in is a link to editor.out",
     [](const fs::path& d) {
       write_file(d / "editor.out", kScript);
       fs::create_symlink(d / "editor.out", d / "editor.in");
     },
     "editor: editor.out: same file as editor.in\n", false},
    {"editor.out cannot be created",
     [](const fs::path& d) {
       write_file(d / "editor.in", "1\nG 0\n");
       fs::remove(d / "editor.out");
       fs::create_directory(d / "editor.out");
     },
     "editor: editor.out: Is a directory\n", false,
     "editor: editor.out: Permission denied\n"},
    {"editor.out cannot be written",
     [](const fs::path& d) {
       write_file(d / "editor.in", kScript);
       fs::remove(d / "editor.out");
       fs::create_symlink("/dev/full", d / "editor.out");
     },
     // The whole Get is written in one call: Windows names the full disk too.
     "editor: editor.out: No space left on device\n", false, nullptr},
};

TEST_F(ScratchDir, FailuresAreReported) {
  for (const failure_case& c : kFailures) {
    SCOPED_TRACE(c.name);
    dir.clear();
    write_file(dir / "editor.out", "kept");
    c.arrange(dir.path());
    if (fs::is_symlink(dir / "editor.out") &&
        fs::read_symlink(dir / "editor.out") == "/dev/full" &&
        !fs::exists("/dev/full"))
      continue;
    std::string script_before = read_file(dir / "editor.in");
    run_result r = run();
    EXPECT_TRUE(r.exited) << "signal " << r.signal;
    EXPECT_EQ(r.exit_code, 1);
    std::string message = c.message;
    if (windows()) {
      // Standard error is a text-mode stream there too: the line ends CR LF.
      if (c.windows_message != nullptr) message = c.windows_message;
      message.insert(message.size() - 1, "\r");
    }
    EXPECT_EQ(r.err, message);
    EXPECT_EQ(read_file(dir / "editor.in"), script_before);
    if (c.output_kept) {
      EXPECT_EQ(read_file(dir / "editor.out"), "kept");
    }
  }
}

// A device is no file to protect: /dev/null as both script and output is an
// empty replay, not a refusal.
TEST_F(ScratchDir, DeviceAsBothFilesIsNoConflict) {
  fs::create_symlink("/dev/null", dir / "editor.in");
  fs::create_symlink("/dev/null", dir / "editor.out");
  run_result r = run();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
}

// A file-size limit below the output is a failed write like a full disk: a
// report and exit 1, never death by signal. A limit the output fits in
// changes nothing. (The limit binds stderr too: it must leave room for the
// report.)
TEST_F(ScratchDir, FileSizeLimitIsAWriteFailure) {
  struct limit_case {
    rlim_t limit;
    int32_t printed;
    const char* err;
  };
  const limit_case cases[] = {
      {1000, 5000, "editor: editor.out: File too large\n"},
      {1000, 999, ""},  // 999 characters and the newline fit exactly
      {1000, 1000, "editor: editor.out: File too large\n"},
      // Past the output buffer: the failure comes while commands still run.
      {100, 300000, "editor: editor.out: File too large\n"},
  };
  for (const limit_case& c : cases) {
    SCOPED_TRACE(std::to_string(c.limit) + " " + std::to_string(c.printed));
    dir.clear();
    std::string script = "2\nI " + std::to_string(c.printed) + "\n" +
                         std::string(size_t(c.printed), 'x') + "\nG " +
                         std::to_string(c.printed) + "\n";
    write_file(dir / "editor.in", script);
    run_result r = run({}, {{RLIMIT_FSIZE, c.limit}});
    EXPECT_TRUE(r.exited) << "signal " << r.signal;
    EXPECT_EQ(r.exit_code, *c.err == '\0' ? 0 : 1);
    EXPECT_EQ(r.err, c.err);
    std::string out = read_file(dir / "editor.out");
    EXPECT_LE(out.size(), size_t(c.limit));
    if (*c.err == '\0') {
      EXPECT_EQ(out, std::string(size_t(c.printed), 'x') + "\n");
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
  run_result r = run({}, {{RLIMIT_AS, rlim_t(256) << 20}});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "editor: out of memory\n");
  EXPECT_EQ(read_file(dir / "editor.out"), "\n");
#endif
}

}  // namespace
