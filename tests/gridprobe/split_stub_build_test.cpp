// split_stub_build_test.cpp: the stub built the ways judges build
// contestant programs: the one header alone (CMS, DOMjudge), C++, Pascal in
// every compiler mode; each program then solves the example under the
// manager. And the library exports the three calls and nothing else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "split_process.h"

namespace gridprobe_test {
namespace {

const fs::path kExamples = GRIDPROBE_EXAMPLES;

struct build_row {
  const char* name;
  const char* source;  // from the examples
  std::string command;
};

// Runs the built program under the manager on the example case; the
// checker must call its answer right.
void expect_solves(const fs::path& program) {
  scratch_dir dir;
  fs::copy_file(kExamples / "rods.in", dir.path() / "rods.in");
  run_result run = run_limited(
      {GRIDPROBE_MANAGER, "run", "--", program.string()}, dir.path(), 60);
  EXPECT_TRUE(run.exited && run.exit_code == 0) << run.err;
  run_result check = run_program(
      {GRIDPROBE_MANAGER, "check", "rods.in", "rods.out"}, dir.path());
  EXPECT_EQ(check.out, "1\n")
      << check.err << read_file(dir.path() / "rods.out");
}

TEST(StubBuilds, AsJudgesCompileThem) {
  const std::string flags = " " GRIDPROBE_LINK_FLAGS;
  const build_row rows[] = {
      {"CMS C alone", "solve.c",
       "gcc -DEVAL -std=gnu11 -O2 -pipe -static -s -o prog solve.c -lm"},
      {"DOMjudge C", "solve.c",
       "gcc -x c -Wall -O2 -static -pipe -DONLINE_JUDGE -DDOMJUDGE -o prog "
       "solve.c -lm"},
      {"C++ with the header", "solve.cpp", "g++ -O2 -o prog solve.cpp"},
      {"CMS Pascal", "solve.pas", "fpc -dEVAL -O2 -XSs -oprog solve.pas"},
  };
  for (const build_row& row : rows) {
    SCOPED_TRACE(row.name);
    scratch_dir dir;
    fs::copy_file(kExamples / row.source, dir.path() / row.source);
    // Judges ship the header-only stub as gridprobe.h, the unit as source.
    fs::copy_file(GRIDPROBE_STUB_HEADER, dir.path() / "gridprobe.h");
    fs::copy_file(GRIDPROBE_SPLIT_UNIT, dir.path() / "pgridprobe.pas");
    std::string log;
    ASSERT_TRUE(run_shell(row.command, dir.path(), &log)) << log;
    expect_solves(dir.path() / "prog");
  }
  {
    SCOPED_TRACE("C against the installed-style library");
    scratch_dir dir;
    std::string log;
    ASSERT_TRUE(run_shell("gcc -O2 -I" GRIDPROBE_API_DIR " -o prog " +
                              (kExamples / "solve.c").string() + " " +
                              GRIDPROBE_SPLIT_LIB + flags,
                          dir.path(), &log))
        << log;
    expect_solves(dir.path() / "prog");
  }
}

TEST(StubBuilds, PascalUnitInEveryMode) {
  for (const char* mode : {"fpc", "objfpc", "delphi", "tp", "macpas"}) {
    SCOPED_TRACE(mode);
    scratch_dir dir;
    fs::copy_file(GRIDPROBE_SPLIT_UNIT, dir.path() / "pgridprobe.pas");
    write_file(dir.path() / "widths.pas",
               "program widths;\nuses pgridprobe;\nbegin\n"
               "  if (SizeOf(rect(1, 1, 1, 1)) <> 2) or (SizeOf(gridsize) <> 4)"
               " then\n    Halt(1);\n  report(gridsize, 0, 0, 0, 0, 0, 0, 0);\n"
               "end.\n");
    std::string log;
    ASSERT_TRUE(run_shell(std::string("fpc -M") + mode + " widths.pas",
                          dir.path(), &log))
        << log;
    // Run under the manager: the widths hold, and the calls reach it.
    scratch_dir work;
    write_file(work.path() / "rods.in", "10 2 3 2 7 5 9 8 9\n");
    run_result run = run_limited(
        {GRIDPROBE_MANAGER, "run", "--", (dir.path() / "widths").string()},
        work.path(), 60);
    EXPECT_EQ(read_file(work.path() / "rods.log"),
              "gridsize() = 10\nreport (10,0,0,0,0,0,0,0)\n");
    EXPECT_EQ(read_file(work.path() / "rods.out"), "0\nNo rect() call.\n");
    EXPECT_EQ(run.out, "No rect() call.\n");
  }
}

TEST(StubBuilds, LibraryExportsOnlyTheThreeCalls) {
  std::string defined, undefined;
  ASSERT_TRUE(run_shell(std::string(GRIDPROBE_NM) +
                            " -g --defined-only --format=just-symbols " +
                            GRIDPROBE_SPLIT_LIB,
                        ".", &defined));
  EXPECT_EQ(defined, "gridsize\nrect\nreport\n");
  ASSERT_TRUE(
      run_shell(std::string(GRIDPROBE_NM) + " -u " + GRIDPROBE_SPLIT_LIB, ".",
                &undefined));
  for (const char* cxx : {"_Z", "__cxa", "__gxx", "_Unwind"})
    EXPECT_EQ(undefined.find(cxx), std::string::npos) << undefined;
}

}  // namespace
}  // namespace gridprobe_test
