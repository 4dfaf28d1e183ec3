// windows_zip_test.cpp: cpack -G ZIP on each mingw-w64 build gives
// judgekit-VERSION-win64.zip / -win32.zip holding exactly the two programs
// for that machine, a README for Windows users and the man pages as plain
// text with Windows line ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <sstream>
#include <string>

#include "install_support.h"

namespace installtest {
namespace {

const std::string kVersion = JK_VERSION;

struct zip_row {
  std::string build;  // the mingw-w64 build tree; empty when not named
  const char* suffix;  // of the zip's name
  uint16_t machine;    // PE machine of its programs
};

const zip_row kZips[] = {
    {JK_WINDOWS64_BUILD, "win64", 0x8664},
    {JK_WINDOWS32_BUILD, "win32", 0x014c},
};

// Every line ends with CR LF: no bare LF, no stray CR.
bool crlf_only(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
      return false;
  }
  return !text.empty();
}

// The machine field of a PE image; 0 when it is none.
uint16_t pe_machine(const std::string& image) {
  if (image.size() < 0x40 || image.compare(0, 2, "MZ") != 0) return 0;
  const auto byte = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(image[i]));
  };
  const uint32_t pe = byte(0x3c) | byte(0x3d) << 8 | byte(0x3e) << 16 |
                      byte(0x3f) << 24;
  if (image.size() < pe + 6 || image.compare(pe, 4, std::string("PE\0\0", 4)))
    return 0;
  return static_cast<uint16_t>(byte(pe + 4) | byte(pe + 5) << 8);
}

TEST(WindowsZip, HoldsTheProgramsAReadmeAndThePlainTextPages) {
  size_t checked = 0;
  for (const zip_row& z : kZips) {
    const std::string& build = z.build;
    if (build.empty()) continue;
    SCOPED_TRACE(z.suffix);
    ++checked;
    testkit::scratch_dir work("judgekit-zip");
    testkit::run_result made = judge_shell(
        std::string(JK_CPACK) + " -G ZIP -B " + quoted(work.path() / "out") +
            " --config " + quoted(fs::path(build) / "CPackConfig.cmake"),
        work.path());
    ASSERT_TRUE(succeeded(made)) << describe(made);
    const std::string top = "judgekit-" + kVersion + "-" + z.suffix;
    const fs::path zip = work.path() / "out" / (top + ".zip");
    ASSERT_TRUE(testkit::file_exists(zip)) << made.out;

    testkit::run_result listed =
        judge_shell(std::string(JK_CMAKE) + " -E tar tf " + quoted(zip),
                    work.path());
    ASSERT_TRUE(succeeded(listed)) << describe(listed);
    std::set<std::string> entries;
    std::istringstream in(listed.out);
    for (std::string line; std::getline(in, line);)
      if (!line.empty() && line.back() != '/') entries.insert(line);
    const std::set<std::string> expected = {
        top + "/editor.exe", top + "/datamask.exe", top + "/README.txt",
        top + "/judgekit-editor.txt", top + "/datamask.txt"};
    EXPECT_EQ(entries, expected);

    const fs::path x = work.path() / "x";
    fs::create_directory(x);
    testkit::run_result unpacked = judge_shell(
        std::string(JK_CMAKE) + " -E tar xf " + quoted(zip), x);
    ASSERT_TRUE(succeeded(unpacked)) << describe(unpacked);
    const fs::path dir = x / top;
    for (const char* exe : {"editor.exe", "datamask.exe"})
      EXPECT_EQ(pe_machine(testkit::read_file(dir / exe)), z.machine) << exe;

    const std::string readme = testkit::read_file(dir / "README.txt");
    EXPECT_TRUE(crlf_only(readme));
    for (const std::string& says :
         {"judgekit " + kVersion + " for Windows (" + z.suffix + ")",
          std::string("editor.in in the CURRENT directory"),
          std::string("Exit status"), std::string("datamask.exe plain.txt")})
      EXPECT_NE(readme.find(says), std::string::npos) << says;

    struct page {
      const char* file;
      const char* heading;
    };
    for (const page& pg : {page{"judgekit-editor.txt", "JUDGEKIT-EDITOR(1)"},
                           page{"datamask.txt", "DATAMASK(1)"}}) {
      SCOPED_TRACE(pg.file);
      const std::string text = testkit::read_file(dir / pg.file);
      EXPECT_EQ(text.rfind(pg.heading, 0), 0u) << text.substr(0, 80);
      EXPECT_NE(text.find("judgekit " + kVersion), std::string::npos);
      EXPECT_NE(text.find("EXIT STATUS"), std::string::npos);
      EXPECT_TRUE(crlf_only(text));
      // Plain text: no overstrike for bold or underline, no escape codes.
      EXPECT_EQ(text.find('\b'), std::string::npos);
      EXPECT_EQ(text.find('\x1b'), std::string::npos);
    }
  }
  ASSERT_GT(checked, 0u) << "no Windows build named";
}

}  // namespace
}  // namespace installtest
