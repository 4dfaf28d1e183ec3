// install_test.cpp: the installed tree alone builds contestant programs.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "process.h"

namespace gridprobe_test {
namespace {

const fs::path kBuild = GRIDPROBE_BUILD_DIR;
const fs::path kExamples = GRIDPROBE_EXAMPLES;
const std::string kLinkFlags = GRIDPROBE_LINK_FLAGS;

std::set<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::set<std::string> all;
  for (std::string w; in >> w;) all.insert(w);
  return all;
}

// A contestant's own gridprobe_initialized, count or N must not clash.
TEST(Library, ExportsOnlyTheThreeCalls) {
  scratch_dir dir;
  const std::string lib = (kBuild / "gridprobe" / "libcgridprobe.a").string();
  std::string defined, undefined;
  ASSERT_TRUE(run_shell(std::string(GRIDPROBE_NM) +
                            " -g --defined-only --format=just-symbols " + lib,
                        dir.path(), &defined))
      << defined;
  EXPECT_EQ(words(defined),
            (std::set<std::string>{"gridsize", "rect", "report"}));
  ASSERT_TRUE(
      run_shell(std::string(GRIDPROBE_NM) + " -u --format=just-symbols " + lib,
                dir.path(), &undefined))
      << undefined;
  // Nothing from the C++ runtime: a plain C link must succeed.
  for (const std::string& name : words(undefined)) {
    EXPECT_NE(name.rfind("_Z", 0), 0u) << name;
    EXPECT_EQ(name.find("__cxa"), std::string::npos) << name;
    EXPECT_EQ(name.find("__gxx"), std::string::npos) << name;
    EXPECT_EQ(name.find("_Unwind"), std::string::npos) << name;
  }
}

// The command lines the README shows, against a fresh install.
TEST(Install, ContestantProgramsBuildFromTheInstallTree) {
  scratch_dir dir;
  const fs::path prefix = dir.path() / "prefix";
  std::string log;
  ASSERT_TRUE(run_shell("cmake --install '" + kBuild.string() + "' --prefix '" +
                            prefix.string() + "'",
                        dir.path(), &log))
      << log;
  for (const char* file :
       {"lib/libcgridprobe.a", "include/gridprobe.h", "lib/pgridprobe.pas",
        "lib/pgridprobe.ppu", "lib/pgridprobe.o"})
    EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;

  struct build_row {
    const char* source;
    std::string command;  // run in a directory holding only the source
  };
  const std::string p = "'" + prefix.string() + "'";
  const build_row builds[] = {
      {"solve.c", "gcc -O2 -o solve solve.c -I" + p + "/include " + p +
                      "/lib/libcgridprobe.a " + kLinkFlags},
      {"solve.cpp", "g++ -O2 -o solve solve.cpp -I" + p + "/include " + p +
                        "/lib/libcgridprobe.a " + kLinkFlags},
      {"solve.pas", "fpc -O2 -Fu" + p + "/lib -osolve solve.pas"},
  };
  const std::string shipped_unit = read_file(prefix / "lib/pgridprobe.ppu");
  for (const build_row& b : builds) {
    SCOPED_TRACE(b.source);
    scratch_dir work;
    fs::copy_file(kExamples / b.source, work.path() / b.source);
    ASSERT_TRUE(run_shell(b.command, work.path(), &log)) << b.command << "\n"
                                                         << log;
    fs::copy_file(kExamples / "rods.in", work.path() / "rods.in");
    run_result run =
        run_program({(work.path() / "solve").string()}, work.path());
    EXPECT_TRUE(run.exited && run.exit_code == 0) << run.out;
    std::istringstream out(read_file(work.path() / "rods.out"));
    int queries = 0;
    out >> queries;
    std::string answer((std::istreambuf_iterator<char>(out)),
                       std::istreambuf_iterator<char>());
    EXPECT_GT(queries, 0);
    EXPECT_EQ(answer, "\n6 2 6 9\n3 4 11 4\n");
  }
  // The shipped compiled unit was used as it is, not rebuilt in place.
  EXPECT_EQ(read_file(prefix / "lib/pgridprobe.ppu"), shipped_unit);
}

// The unit's own types fix the widths, whatever mode compiles it or its user.
TEST(PascalUnit, RectStaysSixteenBitsInEveryMode) {
  const char* const modes[] = {"fpc", "objfpc", "delphi", "tp", "macpas"};
  for (const char* mode : modes) {
    SCOPED_TRACE(mode);
    scratch_dir work;
    fs::copy_file(GRIDPROBE_UNIT_SOURCE, work.path() / "pgridprobe.pas");
    // SizeOf looks at the call's type only; nothing is called at run time.
    write_file(work.path() / "widths.pas",
               "program widths;\nuses pgridprobe;\nbegin\n"
               "  if (SizeOf(rect(1, 1, 1, 1)) <> 2) or (SizeOf(gridsize) <> 4)"
               " then\n    Halt(1);\nend.\n");
    std::string log;
    ASSERT_TRUE(run_shell(std::string("fpc -M") + mode + " widths.pas",
                          work.path(), &log))
        << log;
    run_result run =
        run_program({(work.path() / "widths").string()}, work.path());
    EXPECT_TRUE(run.exited && run.exit_code == 0) << run.out;
  }
}

}  // namespace
}  // namespace gridprobe_test
