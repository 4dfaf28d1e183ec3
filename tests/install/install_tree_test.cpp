// install_tree_test.cpp: the kit as a judge meets it, from a fresh install
// tree alone: the layout, pkg-config, the CMake package, the Pascal units,
// the programs on the examples and the man pages.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "install_support.h"

namespace installtest {
namespace {

const fs::path kBuild = JK_BUILD_DIR;
const fs::path kSource = JK_SOURCE_DIR;
const fs::path kExamples = kSource / "examples";
const std::string kVersion = JK_VERSION;
const std::string kLinkFlags = JK_LINK_FLAGS;
constexpr bool kSplit = JK_SPLIT != 0;
// Where fpc looks for installed units by itself, relative to the prefix.
const std::string kFpcUnitDir = JK_FPC_UNIT_DIR;
const std::string kLinkedUnit = kFpcUnitDir;
const std::string kLinkedUnitSource = "lib/judgekit/pascal";
const std::string kSplitDir = "lib/judgekit/split";

// One install per test process, removed at its end.
class InstallTree : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = std::make_unique<testkit::scratch_dir>("judgekit-install");
    prefix_ = root_->path() / "prefix";
    // cmake's own path: the judge may have any cmake; this one matches ours.
    testkit::run_result r =
        judge_shell(std::string(JK_CMAKE) + " --install " + quoted(kBuild) +
                        " --prefix " + quoted(prefix_),
                    root_->path());
    install_log_ = describe(r);
    installed_ = succeeded(r);
  }
  static void TearDownTestSuite() { root_.reset(); }
  void SetUp() override { ASSERT_TRUE(installed_) << install_log_; }

  static fs::path prefix() { return prefix_; }
  static std::string p(const std::string& rel = "") {
    return quoted(rel.empty() ? prefix_ : prefix_ / rel);
  }

  static std::unique_ptr<testkit::scratch_dir> root_;
  static fs::path prefix_;
  static bool installed_;
  static std::string install_log_;
};
std::unique_ptr<testkit::scratch_dir> InstallTree::root_;
fs::path InstallTree::prefix_;
bool InstallTree::installed_ = false;
std::string InstallTree::install_log_;

std::set<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::set<std::string> all;
  for (std::string w; in >> w;) all.insert(w);
  return all;
}

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

TEST_F(InstallTree, LayoutKeepsEveryFileWhereJudgesLookForIt) {
  const struct {
    std::string path;
    bool executable;
    bool split_only;
  } rows[] = {
      {"libexec/judgekit/editor", true, false},
      {"bin/datamask", true, false},
      {"include/gridprobe.h", false, false},
      {"lib/libcgridprobe.a", false, false},
      {"lib/judgekit/pascal/pgridprobe.pas", false, false},
      {kFpcUnitDir + "/pgridprobe.ppu", false, false},
      {kFpcUnitDir + "/pgridprobe.o", false, false},
      {"lib/pkgconfig/cgridprobe.pc", false, false},
      {"lib/cmake/cgridprobe/cgridprobeConfig.cmake", false, false},
      {"lib/cmake/cgridprobe/cgridprobeConfigVersion.cmake", false, false},
      {"share/man/man1/judgekit-editor.1.gz", false, false},
      {"share/man/man1/datamask.1.gz", false, false},
      {"share/man/man3/gridprobe.3.gz", false, false},
      {"share/doc/judgekit/README.md", false, false},
      {"share/doc/judgekit/copyright", false, false},
      {"share/doc/judgekit/changelog.gz", false, false},
      {"share/lintian/overrides/judgekit", false, false},
      {"lib/judgekit/gridprobe-manager", true, true},
      {"lib/judgekit/split/libcgridprobe.a", false, true},
      {"lib/judgekit/split/pgridprobe.pas", false, true},
      {"lib/judgekit/split/pgridprobe.ppu", false, true},
      {"lib/judgekit/split/pgridprobe.o", false, true},
      {"lib/pkgconfig/cgridprobe-split.pc", false, true},
      {"share/man/man1/gridprobe-manager.1.gz", false, true},
      {"share/doc/judgekit/judging.md", false, false},
      {"share/doc/judgekit/platforms.md", false, false},
      // The judges' files: the problem package and the CMS task folder.
      {"share/judgekit/gridprobe/tworods/problem.yaml", false, true},
      {"share/judgekit/gridprobe/tworods/README.md", false, true},
      {"share/judgekit/gridprobe/tworods/input_validators/gridprobe/build",
       true, true},
      {"share/judgekit/gridprobe/tworods/input_validators/gridprobe/manager/"
       "session.c",
       false, true},
      {"share/judgekit/gridprobe/tworods/output_validators/gridprobe/"
       "load_rods.h",
       false, true},
      {"share/judgekit/gridprobe/tworods/include/cpp/gridprobe.h", false, true},
      {"share/judgekit/gridprobe/tworods/include/pascal/pgridprobe.pp", false,
       true},
      {"share/judgekit/gridprobe/cms/tworods/task.yaml", false, true},
      {"share/judgekit/gridprobe/cms/tworods/input/input0.txt", false, true},
      {"share/judgekit/gridprobe/cms/tworods/output/output0.txt", false, true},
  };
  for (const auto& r : rows) {
    if (r.split_only && !kSplit) continue;
    SCOPED_TRACE(r.path);
    const fs::path file = prefix() / r.path;
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
    const bool exec = (fs::status(file).permissions() &
                       fs::perms::owner_exec) != fs::perms::none;
    EXPECT_EQ(exec, r.executable);
  }
  // bin/editor would shadow the system's own editor command.
  EXPECT_FALSE(testkit::file_exists(prefix() / "bin/editor"));
  // The guide shipped is the one in the tree.
  EXPECT_EQ(testkit::read_file(prefix() / "share/doc/judgekit/README.md"),
            testkit::read_file(kSource / "README.md"));
}

// One gridprobe-manager program; bin/, the CMS folder and the man page
// aliases are relative links, so the tree works wherever it is moved.
TEST_F(InstallTree, LinksPointAtTheOneFileTheyStandFor) {
  struct row {
    const char* link;
    const char* target;
    bool split_only;
  };
  const row rows[] = {
      {"bin/gridprobe-manager", "lib/judgekit/gridprobe-manager", true},
      {"share/judgekit/gridprobe/cms/manager",
       "lib/judgekit/gridprobe-manager", true},
      {"share/judgekit/gridprobe/cms/tworods/check/manager",
       "lib/judgekit/gridprobe-manager", true},
      {"share/judgekit/gridprobe/testlib/gridprobe-interactor",
       "lib/judgekit/gridprobe-manager", true},
      {"share/judgekit/gridprobe/testlib/gridprobe-checker",
       "lib/judgekit/gridprobe-manager", true},
      {"share/man/man3/gridsize.3.gz", "share/man/man3/gridprobe.3.gz", false},
      {"share/man/man3/rect.3.gz", "share/man/man3/gridprobe.3.gz", false},
      {"share/man/man3/report.3.gz", "share/man/man3/gridprobe.3.gz", false},
  };
  for (const row& r : rows) {
    if (r.split_only && !kSplit) continue;
    SCOPED_TRACE(r.link);
    const fs::path link = prefix() / r.link;
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::read_symlink(link).is_relative()) << fs::read_symlink(link);
    EXPECT_EQ(fs::canonical(link), fs::canonical(prefix() / r.target));
  }
}

// Directly under lib/ only the linked library and the directories every
// tool knows (pkgconfig, cmake, fpc's tree); all else of ours in judgekit/.
TEST_F(InstallTree, NothingOfOursUnderAGenericNameInLib) {
  const std::string fpc_root =
      kFpcUnitDir.substr(4, kFpcUnitDir.find('/', 4) - 4);  // after "lib/"
  std::set<std::string> expected = {"libcgridprobe.a", "pkgconfig", "cmake",
                                    "judgekit", fpc_root};
  std::set<std::string> found;
  for (const auto& e : fs::directory_iterator(prefix() / "lib"))
    found.insert(e.path().filename().string());
  EXPECT_EQ(found, expected);
  EXPECT_EQ(kFpcUnitDir.substr(kFpcUnitDir.size() - 11), "/pgridprobe");
}

// share/ is for every architecture alike: no program, object, archive or
// compiled unit in it (links to lib/ are fine).
TEST_F(InstallTree, NoArchitectureDependentFileUnderShare) {
  size_t files = 0;
  for (const auto& e : fs::recursive_directory_iterator(prefix() / "share")) {
    if (e.is_symlink() || !e.is_regular_file()) continue;
    ++files;
    const std::string head = testkit::read_file(e.path()).substr(0, 8);
    SCOPED_TRACE(e.path().string());
    EXPECT_NE(head.rfind("\x7f" "ELF", 0), 0u);
    EXPECT_NE(head.rfind("!<arch>", 0), 0u);
    EXPECT_NE(head.rfind("PPU", 0), 0u);
    EXPECT_NE(head.rfind("MZ", 0), 0u);
  }
  EXPECT_GT(files, 0u);
}

// Compressed as Debian wants it: gzip with no name and no time stamp inside
// (two builds give the same bytes); the changelog names this version; the
// copyright file is in the machine-readable format.
TEST_F(InstallTree, DocumentsFollowDebiansConventions) {
  std::vector<std::string> gz = {"share/man/man1/judgekit-editor.1.gz",
                                 "share/man/man1/datamask.1.gz",
                                 "share/man/man3/gridprobe.3.gz",
                                 "share/doc/judgekit/changelog.gz"};
  if (kSplit) gz.push_back("share/man/man1/gridprobe-manager.1.gz");
  for (const std::string& file : gz) {
    SCOPED_TRACE(file);
    const std::string bytes = testkit::read_file(prefix() / file);
    ASSERT_GE(bytes.size(), 18u);
    EXPECT_EQ(bytes.substr(0, 3), std::string("\x1f\x8b\x08", 3));
    EXPECT_EQ(bytes[3] & 0x08, 0) << "a file name inside";
    EXPECT_EQ(bytes.substr(4, 4), std::string(4, '\0')) << "a time stamp";
    EXPECT_EQ(static_cast<unsigned char>(bytes[8]), 2u) << "not gzip -9";
    testkit::run_result t = judge_shell("gzip -t " + p(file), prefix());
    EXPECT_TRUE(succeeded(t)) << describe(t);
  }
  testkit::run_result log =
      judge_shell("gzip -dc " + p("share/doc/judgekit/changelog.gz"), prefix());
  ASSERT_TRUE(succeeded(log)) << describe(log);
  EXPECT_EQ(log.out.rfind("judgekit (" + kVersion + ") ", 0), 0u) << log.out;
  EXPECT_NE(log.out.find("\n -- "), std::string::npos) << log.out;

  const std::string copyright =
      testkit::read_file(prefix() / "share/doc/judgekit/copyright");
  EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/"
                            "packaging-manuals/copyright-format/1.0/\n",
                            0),
            0u)
      << copyright;
  for (const char* field : {"\nUpstream-Name: judgekit\n", "\nFiles: *\n",
                            "\nCopyright: ", "\nLicense: "})
    EXPECT_NE(copyright.find(field), std::string::npos) << field;
}

// A contestant's own gridprobe_initialized, count or N must not clash, and a
// plain C link must not need the C++ runtime.
TEST_F(InstallTree, LibrariesExportOnlyTheThreeCalls) {
  std::vector<std::string> libs = {"lib/libcgridprobe.a"};
  if (kSplit) libs.push_back(kSplitDir + "/libcgridprobe.a");
  for (const std::string& lib : libs) {
    SCOPED_TRACE(lib);
    testkit::run_result defined = judge_shell(
        std::string(JK_NM) + " -g --defined-only --format=just-symbols " +
            p(lib),
        prefix());
    ASSERT_TRUE(succeeded(defined)) << describe(defined);
    EXPECT_EQ(words(defined.out),
              (std::set<std::string>{"gridsize", "rect", "report"}));
    testkit::run_result undefined = judge_shell(
        std::string(JK_NM) + " -u --format=just-symbols " + p(lib), prefix());
    ASSERT_TRUE(succeeded(undefined)) << describe(undefined);
    for (const std::string& name : words(undefined.out)) {
      EXPECT_NE(name.rfind("_Z", 0), 0u) << name;
      EXPECT_EQ(name.find("__cxa"), std::string::npos) << name;
      EXPECT_EQ(name.find("__gxx"), std::string::npos) << name;
      EXPECT_EQ(name.find("_Unwind"), std::string::npos) << name;
    }
  }
}

TEST_F(InstallTree, PkgConfigFilesNameThisTreeAndThisVersion) {
  const std::string env = "PKG_CONFIG_PATH=" + (prefix() / "lib/pkgconfig").string();
  struct row {
    const char* module;
    std::string cflags;
    std::string libs;
    bool split_only;
  };
  const std::string pre = prefix().string();
  const row rows[] = {
      {"cgridprobe", "-I" + pre + "/include",
       "-L" + pre + "/lib -lcgridprobe", false},
      {"cgridprobe-split", "-I" + pre + "/include",
       pre + "/" + kSplitDir + "/libcgridprobe.a", true},
  };
  for (const row& r : rows) {
    if (r.split_only && !kSplit) continue;
    SCOPED_TRACE(r.module);
    testkit::run_result v = judge_shell(
        std::string("pkg-config --modversion ") + r.module, prefix(), {env});
    ASSERT_TRUE(succeeded(v)) << describe(v);
    EXPECT_EQ(trimmed(v.out), kVersion);
    testkit::run_result c = judge_shell(
        std::string("pkg-config --cflags ") + r.module, prefix(), {env});
    EXPECT_EQ(trimmed(c.out), r.cflags);
    testkit::run_result l = judge_shell(
        std::string("pkg-config --libs ") + r.module, prefix(), {env});
    EXPECT_EQ(trimmed(l.out), r.libs);
  }
}

// A solver, built one way, run one way, on the example case.
struct solver_row {
  const char* name;
  const char* language;  // the linked and split runs of one language agree
  const char* source;    // from examples/gridprobe
  std::string build;     // shell command in a directory holding the source
  bool split;            // built against the stub, run under the manager
  bool unit_source;      // the unit's source is copied beside the program
};

class Solvers : public InstallTree {
 protected:
  std::vector<solver_row> rows() const {
    const std::string pc = "$(PKG_CONFIG_PATH=" +
                           (prefix() / "lib/pkgconfig").string() +
                           " pkg-config --cflags --libs ";
    const std::string flags = kLinkFlags.empty() ? "" : " " + kLinkFlags;
    std::vector<solver_row> all = {
        {"c pkg-config", "c", "solve.c",
         "gcc -O2 -o solve solve.c " + pc + "cgridprobe)" + flags, false,
         false},
        {"c++ pkg-config", "c++", "solve.cpp",
         "g++ -O2 -o solve solve.cpp " + pc + "cgridprobe)" + flags, false,
         false},
        {"c by paths", "c", "solve.c",
         "gcc -O2 -o solve solve.c -I" + p("include") + " " +
             p("lib/libcgridprobe.a") + flags,
         false, false},
        {"c++ by paths", "c++", "solve.cpp",
         "g++ -O2 -o solve solve.cpp -I" + p("include") + " " +
             p("lib/libcgridprobe.a") + flags,
         false, false},
        {"pascal -Fu", "pascal", "solve.pas",
         "fpc -O2 -Fu" + p(kLinkedUnit) + " -osolve solve.pas", false, false},
        {"pascal unit source", "pascal", "solve.pas",
         "fpc -O2 -osolve solve.pas", false, true},
    };
    if (kSplit) {
      std::vector<solver_row> split = {
          {"c split pkg-config", "c", "solve.c",
           "gcc -O2 -o solve solve.c " + pc + "cgridprobe-split)" + flags,
           true, false},
          {"c++ split pkg-config", "c++", "solve.cpp",
           "g++ -O2 -o solve solve.cpp " + pc + "cgridprobe-split)" + flags,
           true, false},
          {"pascal split -Fu", "pascal", "solve.pas",
           "fpc -O2 -Fu" + p(kSplitDir) + " -osolve solve.pas", true,
           false},
          {"pascal split unit source", "pascal", "solve.pas",
           "fpc -O2 -osolve solve.pas", true, true},
      };
      all.insert(all.end(), split.begin(), split.end());
    }
    return all;
  }
};

struct run_files {
  std::string out, log, rods_out;
};

TEST_F(Solvers, EveryWayOfBuildingJudgesTheExampleCase) {
  std::map<std::string, run_files> linked;  // by language
  std::vector<std::pair<std::string, run_files>> split_runs;
  for (const solver_row& row : rows()) {
    SCOPED_TRACE(row.name);
    testkit::scratch_dir work("judgekit-solver");
    fs::copy_file(kExamples / "gridprobe" / row.source,
                  work.path() / row.source);
    if (row.unit_source)
      fs::copy_file(prefix() / (row.split ? kSplitDir : kLinkedUnitSource) /
                        "pgridprobe.pas",
                    work.path() / "pgridprobe.pas");
    testkit::run_result built = judge_shell(row.build, work.path());
    ASSERT_TRUE(succeeded(built)) << row.build << "\n" << describe(built);

    fs::create_directory(work.path() / "case");
    fs::copy_file(kExamples / "gridprobe/rods.in",
                  work.path() / "case/rods.in");
    const std::string solve = quoted(work.path() / "solve");
    testkit::run_result ran =
        row.split ? judge_shell(p("bin/gridprobe-manager") + " run -- " + solve,
                                work.path() / "case")
                  : judge_shell(solve, work.path() / "case");
    EXPECT_TRUE(succeeded(ran)) << describe(ran);

    run_files files{ran.out, testkit::read_file(work.path() / "case/rods.log"),
                    testkit::read_file(work.path() / "case/rods.out")};
    std::istringstream verdict(files.rods_out);
    int calls = 0;
    verdict >> calls;
    std::string answer((std::istreambuf_iterator<char>(verdict)),
                       std::istreambuf_iterator<char>());
    EXPECT_GT(calls, 0);
    EXPECT_LE(calls, 400);
    EXPECT_EQ(answer, std::string("\n") + kExampleAnswer);
    EXPECT_EQ(files.out, "");  // no error line
    // The transcript ends with the report and holds one line per rect call.
    EXPECT_NE(files.log.find("report (6,2,6,9,3,4,11,4)\n"), std::string::npos);
    size_t rect_lines = 0;
    for (size_t at = files.log.find(" : rect ("); at != std::string::npos;
         at = files.log.find(" : rect (", at + 1))
      ++rect_lines;
    EXPECT_EQ(rect_lines, static_cast<size_t>(calls));

    // The installed checker accepts the verdict.
    testkit::run_result checked = judge_shell(
        p("bin/gridprobe-manager") + " check rods.in rods.out",
        work.path() / "case");
    if (kSplit) {
      EXPECT_TRUE(succeeded(checked)) << describe(checked);
      EXPECT_EQ(std::stod(checked.out.empty() ? "-1" : checked.out), 1.0)
          << describe(checked);
    }

    if (row.split)
      split_runs.emplace_back(row.language, files);
    else
      linked.emplace(row.language, files);
  }
  // The split form leaves the very bytes the linked form leaves.
  for (const auto& [language, files] : split_runs) {
    SCOPED_TRACE(language);
    ASSERT_EQ(linked.count(language), 1u);
    EXPECT_EQ(files.log, linked[language].log);
    EXPECT_EQ(files.rods_out, linked[language].rods_out);
    EXPECT_EQ(files.out, linked[language].out);
  }
}

// The compiled units shipped are used as they are, never rebuilt in place.
TEST_F(Solvers, ShippedPascalUnitsAreNotRebuilt) {
  std::vector<std::string> units = {kLinkedUnit + "/pgridprobe.ppu",
                                    kLinkedUnit + "/pgridprobe.o"};
  if (kSplit) {
    units.push_back(kSplitDir + "/pgridprobe.ppu");
    units.push_back(kSplitDir + "/pgridprobe.o");
  }
  std::map<std::string, fs::file_time_type> before;
  for (const std::string& u : units)
    before[u] = fs::last_write_time(prefix() / u);
  for (const std::string& dir : {kLinkedUnit, kSplitDir}) {
    if (dir == kSplitDir && !kSplit) continue;
    testkit::scratch_dir work("judgekit-unit");
    fs::copy_file(kExamples / "gridprobe/solve.pas", work.path() / "solve.pas");
    testkit::run_result built =
        judge_shell("fpc -O2 -Fu" + p(dir) + " -osolve solve.pas", work.path());
    ASSERT_TRUE(succeeded(built)) << describe(built);
    // fpc says which units it compiled; pgridprobe must not be one of them.
    EXPECT_EQ(built.out.find("Compiling " + (prefix() / dir).string()),
              std::string::npos)
        << built.out;
  }
  for (const std::string& u : units)
    EXPECT_EQ(fs::last_write_time(prefix() / u), before[u]) << u;
}

// The unit's own types fix the widths, whatever mode compiles it or its user.
TEST_F(InstallTree, ShippedUnitSourceCompilesInEveryMode) {
  std::vector<std::string> dirs = {kLinkedUnitSource};
  if (kSplit) dirs.push_back(kSplitDir);
  const char* const modes[] = {"fpc", "objfpc", "delphi", "tp", "macpas"};
  for (const std::string& dir : dirs) {
    for (const char* mode : modes) {
      SCOPED_TRACE(dir + " " + mode);
      testkit::scratch_dir work("judgekit-mode");
      fs::copy_file(prefix() / dir / "pgridprobe.pas",
                    work.path() / "pgridprobe.pas");
      // SizeOf looks at the call's type only; nothing is called at run time.
      testkit::write_file(
          work.path() / "widths.pas",
          "program widths;\nuses pgridprobe;\nbegin\n"
          "  if (SizeOf(rect(1, 1, 1, 1)) <> 2) or (SizeOf(gridsize) <> 4)"
          " then\n    Halt(1);\nend.\n");
      testkit::run_result built = judge_shell(
          std::string("fpc -M") + mode + " widths.pas", work.path());
      ASSERT_TRUE(succeeded(built)) << describe(built);
      testkit::run_result ran = judge_shell("./widths", work.path());
      EXPECT_TRUE(succeeded(ran)) << describe(ran);
    }
  }
}

// A contest's own CMake project, as the guide shows it.
TEST_F(InstallTree, CMakeProjectFindsThePackageAndBuildsASolver) {
  testkit::scratch_dir work("judgekit-cmake");
  const fs::path src = work.path() / "src";
  fs::create_directory(src);
  fs::copy_file(kExamples / "gridprobe/solve.cpp", src / "solve.cpp");
  std::string lists =
      "cmake_minimum_required(VERSION 3.18)\n"
      "project(contest LANGUAGES C CXX)\n"
      "find_package(cgridprobe " + kVersion + " CONFIG REQUIRED)\n"
      "add_executable(solve solve.cpp)\n"
      "target_link_libraries(solve PRIVATE judgekit::cgridprobe)\n";
  if (kSplit)
    lists +=
        "find_package(cgridprobe CONFIG REQUIRED COMPONENTS split)\n"
        "add_executable(solve_split solve.cpp)\n"
        "target_link_libraries(solve_split PRIVATE "
        "judgekit::cgridprobe_split)\n";
  testkit::write_file(src / "CMakeLists.txt", lists);
  const std::string configure =
      std::string(JK_CMAKE) + " -S src -B build -DCMAKE_BUILD_TYPE=Release"
      " -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_PREFIX_PATH=" + p() +
      (kLinkFlags.empty() ? "" : " '-DCMAKE_EXE_LINKER_FLAGS=" + kLinkFlags + "'");
  testkit::run_result conf = judge_shell(configure, work.path());
  ASSERT_TRUE(succeeded(conf)) << describe(conf);
  EXPECT_NE(testkit::read_file(work.path() / "build/CMakeCache.txt")
                .find("cgridprobe_DIR:PATH=" +
                      (prefix() / "lib/cmake/cgridprobe").string() + "\n"),
            std::string::npos);
  testkit::run_result built =
      judge_shell(std::string(JK_CMAKE) + " --build build", work.path());
  ASSERT_TRUE(succeeded(built)) << describe(built);

  std::vector<std::pair<std::string, bool>> programs = {{"solve", false}};
  if (kSplit) programs.push_back({"solve_split", true});
  for (const auto& [program, split] : programs) {
    SCOPED_TRACE(program);
    const fs::path dir = work.path() / ("case-" + program);
    fs::create_directory(dir);
    fs::copy_file(kExamples / "gridprobe/rods.in", dir / "rods.in");
    const std::string exe = quoted(work.path() / "build" / program);
    testkit::run_result ran =
        split ? judge_shell(p("bin/gridprobe-manager") + " run -- " + exe, dir)
              : judge_shell(exe, dir);
    EXPECT_TRUE(succeeded(ran)) << describe(ran);
    const std::string verdict = testkit::read_file(dir / "rods.out");
    const size_t eol = verdict.find('\n');
    ASSERT_NE(eol, std::string::npos) << verdict;
    EXPECT_EQ(verdict.substr(eol + 1), kExampleAnswer);
  }
}

// The version file takes what the same major version promises, and the
// package refuses what it does not hold.
TEST_F(InstallTree, CMakePackageAnswersVersionAndComponentRequests) {
  const int major = JK_VERSION_MAJOR;
  struct row {
    std::string request;
    bool found;
  };
  const std::vector<row> rows = {
      {kVersion, true},
      {kVersion + " EXACT", true},
      {std::to_string(major), true},
      {std::to_string(major + 1), false},
      {std::to_string(major) + ".999", false},
      {major > 0 ? std::to_string(major - 1) + ".9" : "0.0.1 EXACT", false},
      {"COMPONENTS split", kSplit},
      {"COMPONENTS pascal", false},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.request);
    testkit::scratch_dir work("judgekit-probe");
    testkit::write_file(
        work.path() / "CMakeLists.txt",
        "cmake_minimum_required(VERSION 3.18)\nproject(probe NONE)\n"
        "find_package(cgridprobe " + r.request + " CONFIG)\n"
        "if(NOT cgridprobe_FOUND)\n  message(FATAL_ERROR \"not found\")\n"
        "endif()\n"
        "if(NOT TARGET judgekit::cgridprobe)\n"
        "  message(FATAL_ERROR \"no target\")\nendif()\n");
    testkit::run_result conf = judge_shell(
        std::string(JK_CMAKE) + " -S . -B build"
        " -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_PREFIX_PATH=" + p(),
        work.path());
    EXPECT_EQ(succeeded(conf), r.found) << describe(conf);
  }
}

// The installed programs on the shipped examples give the expected files.
TEST_F(InstallTree, ProgramsReproduceTheExamples) {
  struct row {
    const char* name;
    std::vector<std::pair<std::string, std::string>> inputs;  // from, to
    std::string command;
    std::string output;    // file the program writes
    std::string expected;  // examples/ file it must equal
  };
  const row rows[] = {
      {"editor",
       {{"editor/editor.in", "editor.in"}},
       p("libexec/judgekit/editor"),
       "editor.out",
       "editor/editor.out"},
      {"datamask",
       {{"datamask/sample.in", "sample.in"}},
       p("bin/datamask") + " sample.in sample.out",
       "sample.out",
       "datamask/sample.out"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    testkit::scratch_dir work("judgekit-example");
    for (const auto& [from, to] : r.inputs)
      fs::copy_file(kExamples / from, work.path() / to);
    testkit::run_result ran = judge_shell(r.command, work.path());
    EXPECT_TRUE(succeeded(ran)) << describe(ran);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "");
    const std::string expected = testkit::read_file(kExamples / r.expected);
    ASSERT_NE(expected, "<missing>");
    EXPECT_EQ(testkit::read_file(work.path() / r.output), expected);
  }
}

struct page {
  const char* file;      // under share/man
  const char* topic;     // what `man -M` is asked for
  const char* heading;   // the page's title as rendered
  const char* mentions;  // something only our page says
  bool split_only;
};

const page kPages[] = {
    {"man1/judgekit-editor.1.gz", "judgekit-editor", "JUDGEKIT-EDITOR(1)",
     "libexec/judgekit/editor", false},
    {"man1/datamask.1.gz", "datamask", "DATAMASK(1)",
     "Exception EInOutError in module datamask", false},
    {"man3/gridprobe.3.gz", "gridprobe", "GRIDPROBE(3)",
     "N is out of range. (should be 5~10000)", false},
    {"man3/rect.3.gz", "rect", "GRIDPROBE(3)", "Too many rect() calls.", false},
    {"man1/gridprobe-manager.1.gz", "gridprobe-manager",
     "GRIDPROBE-MANAGER(1)", "rods.log.partial", true},
};

TEST_F(InstallTree, ManPagesRenderWithoutAWarning) {
  for (const page& pg : kPages) {
    if (pg.split_only && !kSplit) continue;
    SCOPED_TRACE(pg.file);
    // From share/man, so that a page that includes another one finds it.
    testkit::run_result r = judge_shell(
        std::string("gzip -dc ") + pg.file + " | groff -ww -z -man",
        prefix() / "share/man");
    EXPECT_TRUE(succeeded(r)) << describe(r);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(InstallTree, ManShowsOurPagesWithTheVersion) {
  for (const page& pg : kPages) {
    if (pg.split_only && !kSplit) continue;
    SCOPED_TRACE(pg.topic);
    testkit::run_result r = judge_shell(
        "man -M " + p("share/man") + " -P cat " + pg.topic, prefix(),
        {"MANWIDTH=200"});
    ASSERT_TRUE(succeeded(r)) << describe(r);
    EXPECT_EQ(r.out.find(pg.heading), 0u) << r.out.substr(0, 200);
    EXPECT_NE(r.out.find("judgekit " + kVersion), std::string::npos);
    EXPECT_NE(r.out.find(pg.mentions), std::string::npos);
  }
  // The system's editor(1) is not ours to shadow: the tree has no such page.
  testkit::run_result editor = judge_shell(
      "man -M " + p("share/man") + " -w editor", prefix());
  EXPECT_FALSE(succeeded(editor)) << describe(editor);
}

}  // namespace
}  // namespace installtest
