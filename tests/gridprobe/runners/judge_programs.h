// judge_programs.h: contestant programs for the judge tests, compiled as
// each judge compiles them, and the test case they are written against.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "test_support.h"

namespace judges {

namespace fs = std::filesystem;

// The case every program below is written against: N = 10, rod 1 in row 2
// over columns 3..7, rod 2 in column 9 over rows 5..8.
inline const char* const kCase = "10 2 3 2 7 5 9 8 9\n";

// C program bodies (inside main) by name. RIGHT/WRONG are the two answers.
inline const std::map<std::string, std::string>& c_bodies() {
  static const std::map<std::string, std::string> bodies = {
      // One call, then the true rods.
      {"right", "rect(1, 10, 1, 10); RIGHT;"},
      // Rod 1 one cell too long.
      {"wrong", "rect(1, 10, 1, 10); WRONG;"},
      // Wrong, and its exit handlers would crash if they ever ran.
      {"wrong_then_crash", "atexit(boom); rect(1, 10, 1, 10); WRONG;"},
      // Right, but its exit handlers crash once the manager lets it go.
      {"right_then_crash", "atexit(boom); rect(1, 10, 1, 10); RIGHT;"},
      // Crashes between two calls, never reports.
      {"crash_before_report", "rect(1, 10, 1, 10); boom();"},
      // Returns from main without reporting.
      {"exit_before_report", "rect(1, 10, 1, 10); return 0;"},
      // Six calls, then right.
      {"six_calls", "for (int i = 0; i < 6; ++i) { rect(1, 1, 1, 1); } RIGHT;"},
      // 401 calls: the last one is refused.
      {"too_many",
       "for (int i = 0; i < 401; ++i) { rect(1, 1, 1, 1); } RIGHT;"},
      // A rectangle outside the grid.
      {"bad_call", "rect(0, 1, 1, 1); RIGHT;"},
      // Never ends.
      {"hang", "rect(1, 10, 1, 10); for (;;) {}"},
  };
  return bodies;
}

inline std::string c_source(const std::string& name) {
  return "#include <stdio.h>\n#include <stdlib.h>\n#include \"gridprobe.h\"\n"
         "#define RIGHT report(2, 3, 2, 7, 5, 9, 8, 9)\n"
         "#define WRONG report(2, 3, 2, 8, 5, 9, 8, 9)\n"
         "static void boom(void) { abort(); }\n"
         "int main(void) {\n  printf(\"noise on stdout\\n\");\n  " +
         c_bodies().at(name) + "\n  (void)boom;\n  return 0;\n}\n";
}

inline std::string pascal_source(bool right) {
  return std::string("program sol;\nuses pgridprobe;\nbegin\n") +
         "  writeln('noise on stdout');\n  rect(1, 10, 1, 10);\n" +
         (right ? "  report(2, 3, 2, 7, 5, 9, 8, 9);\n"
                : "  report(2, 3, 2, 8, 5, 9, 8, 9);\n") +
         "end.\n";
}

// How a judge compiles a submission: the files it has at hand and its
// command line, run in a directory of its own.
enum class judge { cms, domjudge, kattis };

// Compiles program NAME ("pas-right"/"pas-wrong" for Pascal) as JUDGE does
// into dir; returns the executable, or "" with the log in *log.
inline fs::path compile(judge j, const std::string& name, const fs::path& dir,
                        const std::string& header, const std::string& unit,
                        std::string* log) {
  bool pascal = name.rfind("pas-", 0) == 0;
  fs::create_directories(dir);
  std::string cmd;
  if (pascal) {
    testkit::write_file(dir / "sol.pas", pascal_source(name == "pas-right"));
    testkit::write_file(dir / "pgridprobe.pas", testkit::read_file(unit));
    if (j == judge::cms)
      cmd = "fpc -dEVAL -O2 -XSs -oprog sol.pas";
    else if (j == judge::domjudge)
      cmd = "fpc -viwn -O2 -Sg -XS -oprog sol.pas";
    else
      cmd = "fpc -o\"prog\" -O2 -XS -Xt \"sol.pas\"";
  } else {
    testkit::write_file(dir / "sol.c", c_source(name));
    testkit::write_file(dir / "gridprobe.h", testkit::read_file(header));
    if (j == judge::cms)
      cmd = "gcc -DEVAL -std=gnu11 -O2 -pipe -static -s -o prog sol.c -lm";
    else if (j == judge::domjudge)  // the team submits the header too
      cmd = "gcc -x c -Wall -O2 -static -pipe -o prog sol.c gridprobe.h -lm";
    else  // the package's include/c files sit beside the source
      cmd = "gcc -g -O2 -std=gnu17 -static -o prog sol.c -lm";
  }
  if (!testkit::run_shell(cmd, dir, log)) return {};
  return dir / "prog";
}

// Installs the build tree into prefix (all of it, as a judge would get it);
// false with the log in *log on failure.
inline bool install_tree(const fs::path& prefix, std::string* log) {
  return testkit::run_shell("cmake --install '" +
                                std::string(GRIDPROBE_BUILD_DIR) +
                                "' --prefix '" + prefix.string() + "'",
                            prefix.parent_path(), log);
}

// A shell script as a program speaking the wire itself.
inline fs::path script(const fs::path& dir, const std::string& name,
                       const std::string& body) {
  fs::create_directories(dir);
  fs::path path = dir / name;
  testkit::write_file(path, "#!/bin/sh\n" + body);
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec);
  return path;
}

}  // namespace judges
