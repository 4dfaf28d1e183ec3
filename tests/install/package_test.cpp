// package_test.cpp: the Debian package that cpack makes from the build tree
// holds the install tree under /usr, says the right things about itself, and
// works when unpacked into a scratch root.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
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
constexpr bool kSplit = JK_SPLIT != 0;

// One package per test process: cpack, then the unpacked root.
class DebPackage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = std::make_unique<testkit::scratch_dir>("judgekit-deb");
    const fs::path out = scratch_->path() / "out";
    testkit::run_result made = judge_shell(
        std::string(JK_CPACK) + " -G DEB -B " + quoted(out) + " --config " +
            quoted(kBuild / "CPackConfig.cmake"),
        kBuild);
    log_ = describe(made);
    if (!succeeded(made)) return;
    for (const auto& entry : fs::directory_iterator(out))
      if (entry.path().extension() == ".deb") deb_ = entry.path();
    if (deb_.empty()) return;
    root_ = scratch_->path() / "root";
    testkit::run_result unpacked = judge_shell(
        "dpkg-deb -x " + quoted(deb_) + " " + quoted(root_), scratch_->path());
    log_ += describe(unpacked);
    made_ = succeeded(unpacked);
  }
  static void TearDownTestSuite() { scratch_.reset(); }
  void SetUp() override { ASSERT_TRUE(made_) << log_; }

  static std::unique_ptr<testkit::scratch_dir> scratch_;
  static fs::path deb_, root_;
  static bool made_;
  static std::string log_;
};
std::unique_ptr<testkit::scratch_dir> DebPackage::scratch_;
fs::path DebPackage::deb_, DebPackage::root_;
bool DebPackage::made_ = false;
std::string DebPackage::log_;

// The control fields, "Name: value", continuation lines dropped.
std::map<std::string, std::string> control_fields(const std::string& info) {
  std::map<std::string, std::string> fields;
  std::istringstream in(info);
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 2 || line[0] != ' ' || line[1] == ' ') continue;
    const size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    fields[line.substr(1, colon - 1)] = line.substr(colon + 2);
  }
  return fields;
}

TEST_F(DebPackage, ControlFieldsDescribeTheKit) {
  testkit::run_result info =
      judge_shell("dpkg-deb --info " + quoted(deb_), scratch_->path());
  ASSERT_TRUE(succeeded(info)) << describe(info);
  std::map<std::string, std::string> f = control_fields(info.out);
  testkit::run_result arch =
      judge_shell("dpkg --print-architecture", scratch_->path());
  ASSERT_TRUE(succeeded(arch)) << describe(arch);
  std::string machine = arch.out.substr(0, arch.out.find('\n'));

  struct row {
    const char* field;
    std::string value;
  };
  const row rows[] = {
      {"Package", "judgekit"},       {"Version", kVersion},
      {"Section", "devel"},          {"Priority", "optional"},
      {"Architecture", machine},     {"Recommends", "fp-compiler"},
  };
  for (const row& r : rows) EXPECT_EQ(f[r.field], r.value) << r.field;
  EXPECT_NE(f["Maintainer"].find('@'), std::string::npos) << f["Maintainer"];
  EXPECT_FALSE(f["Description"].empty());
  EXPECT_NE(info.out.find("/usr/libexec/judgekit/editor"), std::string::npos)
      << "the long description says where the editor lives";
  // The programs need the C library alone; fpc is only recommended.
  const std::string depends = f["Depends"];
  EXPECT_EQ(depends.rfind("libc6 (>= ", 0), 0u) << depends;
  EXPECT_EQ(depends.find(','), std::string::npos) << depends;
  EXPECT_EQ(f.count("Pre-Depends"), 0u);
}

// The package holds exactly what `cmake --install` puts in a tree.
TEST_F(DebPackage, ContentsAreTheInstallTreeUnderUsr) {
  testkit::run_result contents =
      judge_shell("dpkg-deb --contents " + quoted(deb_), scratch_->path());
  ASSERT_TRUE(succeeded(contents)) << describe(contents);
  std::set<std::string> packaged;
  std::istringstream in(contents.out);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == 'd') continue;  // directories
    const size_t at = line.find(" ./");
    ASSERT_NE(at, std::string::npos) << line;
    std::string path = line.substr(at + 3);
    const size_t arrow = path.find(" -> ");
    if (arrow != std::string::npos) path.resize(arrow);
    ASSERT_EQ(path.rfind("usr/", 0), 0u) << path;
    EXPECT_NE(line.find(" root/root "), std::string::npos) << line;
    packaged.insert(path.substr(4));
  }
  testkit::scratch_dir tree("judgekit-tree");
  testkit::run_result installed = judge_shell(
      std::string(JK_CMAKE) + " --install " + quoted(kBuild) + " --prefix " +
          quoted(tree.path()),
      tree.path());
  ASSERT_TRUE(succeeded(installed)) << describe(installed);
  std::set<std::string> expected;
  for (const auto& e : fs::recursive_directory_iterator(tree.path()))
    if (!e.is_directory())
      // Lexically: fs::relative would resolve the links to their targets.
      expected.insert(e.path().lexically_relative(tree.path()).string());
  EXPECT_EQ(packaged, expected);
  for (const char* must : {"libexec/judgekit/editor", "bin/datamask",
                           "lib/pkgconfig/cgridprobe.pc",
                           "share/man/man1/judgekit-editor.1.gz",
                           "share/doc/judgekit/copyright",
                           "share/doc/judgekit/changelog.gz"})
    EXPECT_EQ(packaged.count(must), 1u) << must;
  // Debian's alternatives own editor and editor(1).
  for (const char* never : {"bin/editor", "share/man/man1/editor.1.gz",
                            "share/man/man1/editor.1"})
    EXPECT_EQ(packaged.count(never), 0u) << never;
}

// The pkg-config files of the package name /usr, the package's own version.
TEST_F(DebPackage, PkgConfigFilesNameUsr) {
  std::vector<std::string> modules = {"cgridprobe"};
  if (kSplit) modules.push_back("cgridprobe-split");
  for (const std::string& m : modules) {
    SCOPED_TRACE(m);
    const std::string pc =
        testkit::read_file(root_ / "usr/lib/pkgconfig" / (m + ".pc"));
    EXPECT_EQ(pc.rfind("prefix=/usr\n", 0), 0u) << pc;
    EXPECT_NE(pc.find("\nVersion: " + kVersion + "\n"), std::string::npos)
        << pc;
  }
}

// Unpacked into a scratch root, the programs and the library work.
TEST_F(DebPackage, UnpackedProgramsRun) {
  const fs::path usr = root_ / "usr";
  testkit::scratch_dir work("judgekit-deb-run");
  fs::copy_file(kExamples / "editor/editor.in", work.path() / "editor.in");
  testkit::run_result edited =
      judge_shell(quoted(usr / "libexec/judgekit/editor"), work.path());
  EXPECT_TRUE(succeeded(edited)) << describe(edited);
  EXPECT_EQ(testkit::read_file(work.path() / "editor.out"),
            testkit::read_file(kExamples / "editor/editor.out"));

  fs::copy_file(kExamples / "datamask/sample.in", work.path() / "sample.in");
  testkit::run_result masked = judge_shell(
      quoted(usr / "bin/datamask") + " sample.in sample.out", work.path());
  EXPECT_TRUE(succeeded(masked)) << describe(masked);
  EXPECT_EQ(testkit::read_file(work.path() / "sample.out"),
            testkit::read_file(kExamples / "datamask/sample.out"));
  testkit::run_result usage = judge_shell(quoted(usr / "bin/datamask"),
                                          work.path());
  EXPECT_TRUE(usage.exited && usage.exit_code == 1) << describe(usage);

  // A contestant program built against the unpacked library, located by its
  // own pkg-config file under the scratch root.
  const std::vector<std::string> pc_env = {
      "PKG_CONFIG_SYSROOT_DIR=" + root_.string(),
      "PKG_CONFIG_LIBDIR=" + (usr / "lib/pkgconfig").string()};
  struct row {
    const char* module;
    bool split;
  };
  const row rows[] = {{"cgridprobe", false}, {"cgridprobe-split", true}};
  for (const row& r : rows) {
    if (r.split && !kSplit) continue;
    SCOPED_TRACE(r.module);
    testkit::scratch_dir build("judgekit-deb-solve");
    fs::copy_file(kExamples / "gridprobe/solve.c", build.path() / "solve.c");
    testkit::run_result built = judge_shell(
        std::string("gcc -O2 -o solve solve.c $(pkg-config --cflags --libs ") +
            r.module + ")",
        build.path(), pc_env);
    ASSERT_TRUE(succeeded(built)) << describe(built);
    fs::copy_file(kExamples / "gridprobe/rods.in", build.path() / "rods.in");
    const std::string solve = quoted(build.path() / "solve");
    testkit::run_result ran =
        r.split ? judge_shell(quoted(usr / "bin/gridprobe-manager") +
                                  " run -- " + solve,
                              build.path())
                : judge_shell(solve, build.path());
    EXPECT_TRUE(succeeded(ran)) << describe(ran);
    const std::string verdict = testkit::read_file(build.path() / "rods.out");
    const size_t eol = verdict.find('\n');
    ASSERT_NE(eol, std::string::npos) << verdict;
    EXPECT_EQ(verdict.substr(eol + 1), kExampleAnswer);
  }

  testkit::run_result page = judge_shell(
      "man -M " + quoted(usr / "share/man") + " -P cat judgekit-editor",
      work.path(), {"MANWIDTH=200"});
  ASSERT_TRUE(succeeded(page)) << describe(page);
  EXPECT_NE(page.out.find("judgekit " + kVersion), std::string::npos);
}

// lintian, Debian's own package checker, finds no error. The warnings left
// are the ones listed here, each a choice:
// pkg-config-unavailable-for-cross-compilation: the .pc files stay in
// lib/pkgconfig beside lib/libcgridprobe.a, the documented layout of every
// install tree; non-multi-arch-lib-dir (builds with the i386 grader only):
// lib32/ is where gcc -m32 looks by itself. A new tag fails the test.
TEST_F(DebPackage, LintianFindsNoErrorAndOnlyTheKnownWarnings) {
  const std::set<std::string> known_warnings = {
      "pkg-config-unavailable-for-cross-compilation", "non-multi-arch-lib-dir"};
  // Infos shown too: an override that matches nothing is one.
  testkit::run_result r = judge_shell(
      "lintian --fail-on error --display-info --tag-display-limit 0 " +
          quoted(deb_),
      scratch_->path());
  EXPECT_TRUE(succeeded(r)) << describe(r);
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    // "X: judgekit: tag [path]"; other lines are notes.
    const std::string head = ": judgekit: ";
    if (line.size() <= 1 + head.size() || line.compare(1, head.size(), head))
      continue;
    const std::string rest = line.substr(1 + head.size());
    const std::string tag = rest.substr(0, rest.find(' '));
    SCOPED_TRACE(line);
    EXPECT_NE(line[0], 'E');
    if (line[0] == 'W') {
      EXPECT_EQ(known_warnings.count(tag), 1u);
    }
    // The one override matches the one statically linked program.
    EXPECT_NE(tag, "unused-override");
    EXPECT_NE(tag, "mismatched-override");
    EXPECT_NE(tag, "statically-linked-binary");
  }
}

// Installed with dpkg, the package works as a judge expects it to: fpc
// finds the unit with no option, the split form's manager is on PATH, and
// `man judgekit-editor` shows our page while editor and editor(1) stay the
// system's. This changes the machine, so it runs only as root where asked
// (CI=true or JUDGEKIT_INSTALL_DEB=1: a throw-away machine), never over a
// judgekit the machine already has, and removes the package at its end.
TEST_F(DebPackage, InstalledWithDpkgServesAJudge) {
  const char* ci = std::getenv("CI");
  const char* asked = std::getenv("JUDGEKIT_INSTALL_DEB");
  if (!((ci && std::string(ci) == "true") ||
        (asked && std::string(asked) == "1")))
    GTEST_SKIP() << "installs into the system: set CI=true or "
                    "JUDGEKIT_INSTALL_DEB=1 on a throw-away machine";
  if (geteuid() != 0) GTEST_SKIP() << "dpkg -i needs root";
  testkit::scratch_dir work("judgekit-dpkg");
  const fs::path dir = work.path();
  if (succeeded(judge_shell("dpkg-query -W judgekit", dir)))
    GTEST_SKIP() << "judgekit is installed already; left as it is";

  // What the system's editor is before: the command and its page.
  const std::string which_editor =
      "readlink -f \"$(command -v editor)\"; man -w editor";
  const std::string editor_before = judge_shell(which_editor, dir).out;

  testkit::run_result inst = judge_shell("dpkg -i " + quoted(deb_), dir);
  ASSERT_TRUE(succeeded(inst)) << describe(inst);
  struct remover {
    fs::path dir;
    ~remover() {
      testkit::run_result r = judge_shell("dpkg --purge judgekit", dir);
      EXPECT_TRUE(succeeded(r)) << describe(r);
    }
  } remove_at_end{dir};

  EXPECT_EQ(judge_shell(which_editor, dir).out, editor_before);
  testkit::run_result page = judge_shell("man -P cat judgekit-editor", dir,
                                         {"MANWIDTH=200"});
  ASSERT_TRUE(succeeded(page)) << describe(page);
  EXPECT_EQ(page.out.find("JUDGEKIT-EDITOR(1)"), 0u) << page.out.substr(0, 200);
  EXPECT_NE(page.out.find("judgekit " + kVersion), std::string::npos);

  struct row {
    const char* name;
    const char* source;
    std::string build;  // with the system's tools and no path of ours
    bool split;
  };
  std::vector<row> rows = {
      {"pascal, no -Fu", "solve.pas", "fpc -O2 -osolve solve.pas", false},
      {"c, pkg-config", "solve.c",
       "gcc -O2 -o solve solve.c $(pkg-config --cflags --libs cgridprobe)",
       false},
  };
  if (kSplit) {
    rows.push_back({"pascal split", "solve.pas",
                    "fpc -O2 -Fu/usr/lib/judgekit/split -osolve solve.pas",
                    true});
    rows.push_back({"c split, pkg-config", "solve.c",
                    "gcc -O2 -o solve solve.c $(pkg-config --cflags --libs "
                    "cgridprobe-split)",
                    true});
  }
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    testkit::scratch_dir build("judgekit-dpkg-solve");
    fs::copy_file(kExamples / "gridprobe" / r.source, build.path() / r.source);
    testkit::run_result built = judge_shell(r.build, build.path());
    ASSERT_TRUE(succeeded(built)) << describe(built);
    // The unit came from fpc's own tree, not from a source beside it.
    EXPECT_FALSE(testkit::file_exists(build.path() / "pgridprobe.ppu"));
    fs::copy_file(kExamples / "gridprobe/rods.in", build.path() / "rods.in");
    testkit::run_result ran = judge_shell(
        r.split ? "gridprobe-manager run -- ./solve" : "./solve", build.path());
    EXPECT_TRUE(succeeded(ran)) << describe(ran);
    const std::string verdict = testkit::read_file(build.path() / "rods.out");
    const size_t eol = verdict.find('\n');
    ASSERT_NE(eol, std::string::npos) << verdict;
    EXPECT_EQ(verdict.substr(eol + 1), kExampleAnswer);
    if (kSplit) {
      testkit::run_result checked =
          judge_shell("gridprobe-manager check rods.in rods.out", build.path());
      EXPECT_TRUE(succeeded(checked)) << describe(checked);
    }
  }
}

}  // namespace
}  // namespace installtest
