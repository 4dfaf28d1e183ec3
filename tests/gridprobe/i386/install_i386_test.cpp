// install_i386_test.cpp: the lib32 files of a fresh install are i386 objects
// that build working contestant programs with gcc -m32, g++ -m32, fpc -Pi386.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "process.h"

namespace gridprobe_test {
namespace {

const fs::path kBuild = GRIDPROBE_BUILD_DIR;
const fs::path kExamples = GRIDPROBE_EXAMPLES;
const std::string kFpcI386 = GRIDPROBE_FPC_I386;

// True when bytes start an ELF relocatable or executable for 32-bit i386.
bool is_i386_elf(const std::string& bytes) {
  if (bytes.size() < 20 || bytes.compare(0, 4,
                                         "\x7f"
                                         "ELF") != 0)
    return false;
  const bool class32 = bytes[4] == 1;
  const bool little = bytes[5] == 1;
  const int machine = static_cast<unsigned char>(bytes[18]) |
                      static_cast<unsigned char>(bytes[19]) << 8;
  return class32 && little && machine == 3;  // EM_386
}

// Every object member of an ar archive, by name.
std::vector<std::pair<std::string, std::string>> archive_members(
    const std::string& ar) {
  std::vector<std::pair<std::string, std::string>> members;
  if (ar.compare(0, 8, "!<arch>\n") != 0) return members;
  size_t at = 8;
  while (at + 60 <= ar.size()) {
    std::string name = ar.substr(at, 16);
    name.erase(name.find_last_not_of(' ') + 1);
    size_t size = std::stoul(ar.substr(at + 48, 10));
    // "/" and "/SYM64/" hold the symbol index, "//" the long names.
    if (name != "/" && name != "//" && name != "/SYM64/")
      members.emplace_back(name, ar.substr(at + 60, size));
    at += 60 + size + (size % 2);
  }
  return members;
}

void expect_i386_archive(const fs::path& path) {
  auto members = archive_members(read_file(path));
  ASSERT_FALSE(members.empty()) << path;
  for (const auto& m : members)
    EXPECT_TRUE(is_i386_elf(m.second)) << path << " member " << m.first;
}

// The symbols a text defines, less the compiler's hidden helpers for
// position-independent i386 code, which every such object carries.
std::set<std::string> own_symbols(const std::string& text) {
  std::istringstream in(text);
  std::set<std::string> all;
  for (std::string w; in >> w;)
    if (w.rfind("__x86.get_pc_thunk.", 0) != 0) all.insert(w);
  return all;
}

class InstallI386 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new scratch_dir;
    std::string log;
    installed_ = run_shell("cmake --install '" + kBuild.string() +
                               "' --prefix '" + prefix().string() + "'",
                           dir_->path(), &log);
    if (!installed_) std::cerr << log;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static fs::path prefix() { return dir_->path() / "prefix"; }

  // Builds examples/gridprobe/SOURCE with COMMAND in a fresh directory and
  // runs it on the example case, through RUNNER when given (the split form's
  // manager); returns the directory's rods.out.
  static std::string emulator_name() { return GRIDPROBE_EMULATOR; }
  static std::string build_and_solve(const char* source,
                                     const std::string& command,
                                     const std::vector<std::string>& runner,
                                     std::string* failure) {
    scratch_dir work;
    fs::copy_file(kExamples / source, work.path() / source);
    std::string log;
    if (!run_shell(command, work.path(), &log)) {
      *failure = command + "\n" + log;
      return "";
    }
    const fs::path exe = work.path() / "solve";
    if (!is_i386_elf(read_file(exe))) {
      *failure = "not an i386 program: " + command;
      return "";
    }
    fs::copy_file(kExamples / "rods.in", work.path() / "rods.in");
    std::vector<std::string> argv = runner;
    if (!argv.empty() && argv.back() == "--") {
      // A sandboxed run sees only its program; under an emulator that is
      // the emulator, so the i386 program comes in through --chdir, from a
      // directory apart from the case.
      fs::create_directory(work.path() / "prog");
      fs::rename(exe, work.path() / "prog" / "solve");
      argv.insert(argv.end() - 1, {"--chdir", (work.path() / "prog").string()});
      if (!emulator_name().empty()) {
        // The emulator reserves the whole 4 GiB guest address space at once.
        argv.insert(argv.end() - 1, {"--mem", "8192"});
        argv.push_back(emulator_name());
      }
      argv.push_back((work.path() / "prog" / "solve").string());
      run_result run = run_program(argv, work.path());
      if (!run.exited || run.exit_code != 0) {
        *failure = "run failed: " + run.out + run.err;
        return "";
      }
      return read_file(work.path() / "rods.out");
    }
    const std::string emulator = GRIDPROBE_EMULATOR;
    if (!emulator.empty()) argv.push_back(emulator);
    argv.push_back(exe.string());
    run_result run = run_program(argv, work.path());
    if (!run.exited || run.exit_code != 0) {
      *failure = "run failed: " + run.out + run.err;
      return "";
    }
    return read_file(work.path() / "rods.out");
  }

  struct build_row {
    const char* source;
    std::string command;
  };
  static std::vector<build_row> builds(const std::string& lib) {
    const std::string p = "'" + prefix().string() + "'";
    return {
        {"solve.c", "gcc -m32 -O2 -o solve solve.c -I" + p + "/include " + p +
                        "/" + lib + "/libcgridprobe.a"},
        {"solve.cpp", "g++ -m32 -O2 -o solve solve.cpp -I" + p + "/include " +
                          p + "/" + lib + "/libcgridprobe.a"},
        {"solve.pas",
         kFpcI386 + " -O2 -Fu" + p + "/" + lib + " -FU. -o./solve solve.pas"},
    };
  }

  static scratch_dir* dir_;
  static bool installed_;
};
scratch_dir* InstallI386::dir_ = nullptr;
bool InstallI386::installed_ = false;

// The example case's answer, after the query count on the first line.
std::string answer(const std::string& rods_out) {
  size_t eol = rods_out.find('\n');
  return eol == std::string::npos ? "" : rods_out.substr(eol);
}

TEST_F(InstallI386, LinkedFormIsI386AndExportsOnlyTheThreeCalls) {
  ASSERT_TRUE(installed_);
  for (const char* file : {"lib32/libcgridprobe.a", "lib32/pgridprobe.pas",
                           "lib32/pgridprobe.ppu", "lib32/pgridprobe.o"})
    EXPECT_TRUE(fs::is_regular_file(prefix() / file)) << file;
  expect_i386_archive(prefix() / "lib32/libcgridprobe.a");
  EXPECT_TRUE(is_i386_elf(read_file(prefix() / "lib32/pgridprobe.o")));
  EXPECT_EQ(read_file(prefix() / "lib32/pgridprobe.pas"),
            read_file(GRIDPROBE_UNIT_SOURCE));
  std::string defined;
  ASSERT_TRUE(run_shell("nm -g --defined-only --format=just-symbols '" +
                            (prefix() / "lib32/libcgridprobe.a").string() + "'",
                        prefix(), &defined))
      << defined;
  EXPECT_EQ(own_symbols(defined),
            (std::set<std::string>{"gridsize", "rect", "report"}));
}

TEST_F(InstallI386, LinkedFormBuildsWorkingPrograms) {
  ASSERT_TRUE(installed_);
  const std::string shipped_unit = read_file(prefix() / "lib32/pgridprobe.ppu");
  for (const build_row& b : builds("lib32")) {
    SCOPED_TRACE(b.source);
    std::string failure;
    std::string out = build_and_solve(b.source, b.command, {}, &failure);
    EXPECT_EQ(failure, "");
    EXPECT_NE(out.rfind("0\n", 0), 0u) << out;
    EXPECT_EQ(answer(out), "\n6 2 6 9\n3 4 11 4\n");
  }
  // The shipped compiled unit was used as it is, not rebuilt in place.
  EXPECT_EQ(read_file(prefix() / "lib32/pgridprobe.ppu"), shipped_unit);
}

#if GRIDPROBE_HAVE_SPLIT
TEST_F(InstallI386, SplitStubIsI386) {
  ASSERT_TRUE(installed_);
  for (const char* file :
       {"lib32/split/libcgridprobe.a", "lib32/split/pgridprobe.pas",
        "lib32/split/pgridprobe.ppu", "lib32/split/pgridprobe.o"})
    EXPECT_TRUE(fs::is_regular_file(prefix() / file)) << file;
  expect_i386_archive(prefix() / "lib32/split/libcgridprobe.a");
  EXPECT_TRUE(is_i386_elf(read_file(prefix() / "lib32/split/pgridprobe.o")));
}

#ifdef GRIDPROBE_MANAGER
// i386 programs on the split stub, run by the (host) manager.
TEST_F(InstallI386, SplitFormBuildsProgramsTheManagerRuns) {
  ASSERT_TRUE(installed_);
  for (const build_row& b : builds("lib32/split")) {
    SCOPED_TRACE(b.source);
    std::string failure;
    std::string out = build_and_solve(
        b.source, b.command, {GRIDPROBE_MANAGER, "run", "--"}, &failure);
    EXPECT_EQ(failure, "");
    EXPECT_NE(out.rfind("0\n", 0), 0u) << out;
    EXPECT_EQ(answer(out), "\n6 2 6 9\n3 4 11 4\n");
  }
}
#endif
#endif

}  // namespace
}  // namespace gridprobe_test
