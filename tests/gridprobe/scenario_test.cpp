// scenario_test.cpp: one table of call scenarios, run through both forms.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "process.h"

namespace gridprobe_test {
namespace {

const char kStaleLog[] = "stale rods.log\n";
const char kStaleOut[] = "stale rods.out\n";
const char kWorked[] = "10 2 3 2 7 5 9 8 9\n";  // the documented example case

enum class ending {
  library,   // the library ended the process with status 0
  returned,  // the script ran out and the program ended itself (status 3)
  abnormal,  // a signal or a runtime's own error status
};

// Precondition: a name the library must create is taken by a directory
// (log, out), or a name is a link to a device (full: rods.out to /dev/full;
// log_full: rods.log to /dev/full; zero_in: rods.in to /dev/zero).
enum class blocked { none, log, out, full, log_full, zero_in };

struct outcome {
  std::string log;
  std::string out;
  std::string stdout_text;
  std::string returns;  // what the calls returned, one value a line
  ending end = ending::library;
  std::string stderr_text;  // checked unless the end is abnormal
};

struct scenario {
  std::string name;
  std::optional<std::string> rods_in;  // nullopt: no rods.in at all
  std::string script;                  // call_driver's command lines
  outcome want;
  std::optional<outcome> pascal;  // where the Pascal form may differ
  blocked block = blocked::none;
};

std::string error_out(const std::string& message) {
  return "0\n" + message + "\n";
}

// An init failure: nothing logged, rods.log as it was, the message twice.
outcome init_failure(const std::string& message) {
  return {kStaleLog, error_out(message), message + "\n",
          "",        ending::library,    ""};
}

std::string rect_line(int count, int r1, int r2, int c1, int c2,
                      const std::string& tail) {
  return std::to_string(count) + " : rect (" + std::to_string(r1) + "," +
         std::to_string(r2) + "," + std::to_string(c1) + "," +
         std::to_string(c2) + ") = " + tail + "\n";
}

// `calls` queries of rect(1,1,1,1) on the worked example, each answered 0.
void add_misses(int calls, std::string* script, std::string* log,
                std::string* returns) {
  for (int i = 1; i <= calls; ++i) {
    *script += "r 1 1 1 1\n";
    *log += rect_line(i, 1, 1, 1, 1, "0");
    *returns += "0\n";
  }
}

const char kBadCall[] = "Invalid library function call.";

std::vector<scenario> scenarios() {
  std::vector<scenario> rows;
  rows.push_back(
      {"worked example",
       kWorked,
       "g\nr 1 10 1 10\nr 3 4 1 10\nr 5 5 9 9\np 2 3 2 7 5 9 8 9\n",
       {"gridsize() = 10\n1 : rect (1,10,1,10) = 1\n2 : rect (3,4,1,10) = 0\n"
        "3 : rect (5,5,9,9) = 1\nreport (2,3,2,7,5,9,8,9)\n",
        "3\n2 3 2 7\n5 9 8 9\n", "", "10\n1\n0\n1\n", ending::library, ""},
       std::nullopt});

  // Loading rods.in: indices 0 to 5, each raised by rect as the first call.
  struct load_row {
    const char* name;
    std::optional<std::string> rods_in;
    std::string message;
    std::optional<std::string> pascal_message;  // Pascal's reading differs
  };
  const std::string bad_n = "N is out of range. (should be 5~10000)";
  const std::string bad_coord = "One of the coordinates is out of range.";
  const std::string bad_rod1 = "ROD1 is not valid.";
  const std::string bad_rod2 = "ROD2 is not valid.";
  const std::string unreadable = "Invalid input file.";
  const load_row loads[] = {
      {"no rods.in", std::nullopt, "Cannot open the input file.", {}},
      // Both forms scan numbers alike: a missing one is unreadable in both.
      {"empty rods.in", "", unreadable, {}},
      {"only blanks", " \t\r\n\v\f", unreadable, {}},
      {"only N", "10\n", unreadable, {}},
      {"eight numbers only", "10 2 3 2 7 5 9 8\n", unreadable, {}},
      {"a sign and no digits", "10 2 3 2 7 5 9 8 -\n", unreadable, {}},
      {"sign then blank", "10 2 3 2 + 7 5 9 8 9\n", unreadable, {}},
      // NUL is no blank in C's isspace, in either form.
      {"NUL before N",
       std::string("\0"
                   "10 2 3 2 7 5 9 8 9\n",
                   20),
       unreadable,
       {}},
      {"NUL between numbers",
       std::string("10 2 3 2\0"
                   "7 5 9 8 9\n",
                   19),
       unreadable,
       {}},
      // A number ends where a non-digit begins, as with "%d".
      {"numbers glued by a sign", "10 2 3 2 7 5+9 8-9\n", bad_coord, {}},
      {"word for N", "ten 2 3 2 7 5 9 8 9\n", unreadable, {}},
      {"word for a coordinate", "10 2 3 2 x 5 9 8 9\n", unreadable, {}},
      {"bad N and nothing after", "4", bad_n, {}},
      {"N 4", "4 2 3 2 4 1 1 3 1\n", bad_n, {}},
      {"N 10001", "10001 2 3 2 7 5 9 8 9\n", bad_n, {}},
      {"N negative", "-10 2 3 2 7 5 9 8 9\n", bad_n, {}},
      {"coordinate 0", "10 2 0 2 7 5 9 8 9\n", bad_coord, {}},
      {"coordinate negative", "10 2 3 2 7 -5 9 8 9\n", bad_coord, {}},
      {"coordinate N+1", "10 2 3 2 7 5 9 8 11\n", bad_coord, {}},
      {"range before shape", "10 2 7 2 3 5 9 8 11\n", bad_coord, {}},
      {"rod 1 one cell", "10 2 3 2 3 5 9 8 9\n", bad_rod1, {}},
      {"rod 1 reversed", "10 2 7 2 3 5 9 8 9\n", bad_rod1, {}},
      {"rod 1 in a column", "10 2 3 4 3 5 9 8 9\n", bad_rod1, {}},
      {"rod 1 before rod 2", "10 2 7 2 3 8 9 5 9\n", bad_rod1, {}},
      {"rod 2 one cell", "10 2 3 2 7 5 9 5 9\n", bad_rod2, {}},
      {"rod 2 reversed", "10 2 3 2 7 8 9 5 9\n", bad_rod2, {}},
      {"rod 2 in a row", "10 2 3 2 7 5 1 5 9\n", bad_rod2, {}},
      // Too wide for 32 bits: once these wrapped round into range.
      {"N wraps to 5", "4294967301 2 3 2 4 1 1 3 1\n", bad_n, {}},
      {"coordinate wraps to 3", "10 2 4294967299 2 7 5 9 8 9\n", bad_coord, {}},
      {"coordinate wraps to 2 below",
       "10 -4294967294 3 2 7 5 9 8 9\n",
       bad_coord,
       {}},
      // Wider than 64 bits: still a number, and far out of range.
      {"N past 64 bits", "99999999999999999999 2 3 2 7 5 9 8 9\n", bad_n, {}},
      {"N past 64 bits below",
       "-99999999999999999999 2 3 2 7 5 9 8 9\n",
       bad_n,
       {}},
      {"N one past 64 bits",
       "9223372036854775808 2 3 2 7 5 9 8 9\n",
       bad_n,
       {}},
      {"coordinate past 64 bits",
       "10 2 3 2 7 5 9 8 18446744073709551625\n",
       bad_coord,
       {}},
      {"coordinate of 21 digits",
       "10 2 3 2 7 5 9 800000000000000000000 9\n",
       bad_coord,
       {}},
      {"coordinate past 64 bits below",
       "10 2 3 2 7 -18446744073709551617 9 8 9\n",
       bad_coord,
       {}},
      {"coordinate of 300 nines",
       "10 2 3 2 7 5 9 8 " + std::string(300, '9') + "\n",
       bad_coord,
       {}},
      // Longer than a Pascal string: once cut short and misread.
      {"N of 300 zeros then 10",
       std::string(300, '0') + "10 2 3 2 7 5 9 8 9\n",
       "",
       {}},
      {"coordinate of 300 zeros then 9",
       "10 2 3 2 7 5 9 8 " + std::string(300, '0') + "9\n",
       "",
       {}},
      {"N of 300 zeros then 20 nines, negative",
       "-" + std::string(300, '0') + "99999999999999999999 2 3 2 7 5 9 8 9\n",
       bad_n,
       {}},
      {"junk glued to the ninth", "10 2 3 2 7 5 9 8 9junk\n", "", {}},
  };
  for (const load_row& l : loads) {
    scenario row;
    row.name = l.name;
    row.rods_in = l.rods_in;
    if (l.message.empty()) {  // accepted by the C form
      row.script = "r 1 10 1 10\np 2 3 2 7 5 9 8 9\n";
      row.want = {"1 : rect (1,10,1,10) = 1\nreport (2,3,2,7,5,9,8,9)\n",
                  "1\n2 3 2 7\n5 9 8 9\n",
                  "",
                  "1\n",
                  ending::library,
                  ""};
    } else {
      row.script = "r 1 10 1 10\n";
      row.want = init_failure(l.message);
    }
    if (l.pascal_message) row.pascal = init_failure(*l.pascal_message);
    rows.push_back(row);
  }

  {
    scenario row{"rods.in endless NUL bytes", std::nullopt, "r 1 10 1 10\n",
                 init_failure(unreadable), std::nullopt};
    row.block = blocked::zero_in;
    rows.push_back(row);
  }
  rows.push_back({"gridsize first and init fails", "10 0 3 2 7 5 9 8 9\n",
                  "g\n", init_failure(bad_coord), std::nullopt});
  rows.push_back({"report first and init fails", std::nullopt,
                  "p 1 2 3 4 5 6 7 8\n",
                  init_failure("Cannot open the input file."), std::nullopt});
  {
    scenario row{"rods.log cannot be created", kWorked, "g\n",
                 init_failure("Cannot create the log file."), std::nullopt};
    row.want.log = "<directory>";
    row.block = blocked::log;
    rows.push_back(row);
  }

  // Accepted test cases: edges of N, blanks of every kind, crossing rods.
  rows.push_back(
      {"N 5 and the extreme corners",
       "5 5 4 5 5 1 1 2 1",
       "g\nr 1 5 1 5\nr 5 5 3 3\nr 5 5 4 4\nr 2 2 1 1\nr 3 5 1 2\n"
       "p 5 4 5 5 1 1 2 1\n",
       {"gridsize() = 5\n1 : rect (1,5,1,5) = 1\n"
        "2 : rect (5,5,3,3) = 0\n3 : rect (5,5,4,4) = 1\n"
        "4 : rect (2,2,1,1) = 1\n5 : rect (3,5,1,2) = 0\n"
        "report (5,4,5,5,1,1,2,1)\n",
        "5\n5 4 5 5\n1 1 2 1\n", "", "5\n1\n0\n1\n1\n0\n", ending::library, ""},
       std::nullopt});
  rows.push_back({"N 10000 whole grid",
                  "10000 10000 9999 10000 10000 1 10000 2 10000\n",
                  "r 1 10000 1 10000\nr 3 9999 1 10000\nr 10000 10000 1 9998\n"
                  "p 10000 9999 10000 10000 1 10000 2 10000\n",
                  {"1 : rect (1,10000,1,10000) = 1\n"
                   "2 : rect (3,9999,1,10000) = 0\n"
                   "3 : rect (10000,10000,1,9998) = 0\n"
                   "report (10000,9999,10000,10000,1,10000,2,10000)\n",
                   "3\n10000 9999 10000 10000\n1 10000 2 10000\n", "",
                   "1\n0\n0\n", ending::library, ""},
                  std::nullopt});
  rows.push_back({"blanks, line breaks, signs, zeros, text after the ninth",
                  "\t0010\r\n +2 3\n\n2\v7\f5 9 8 009 trailing words 1 2 3",
                  "g\nr 5 5 9 9\np 2 3 2 7 5 9 8 9\n",
                  {"gridsize() = 10\n1 : rect (5,5,9,9) = 1\n"
                   "report (2,3,2,7,5,9,8,9)\n",
                   "1\n2 3 2 7\n5 9 8 9\n", "", "10\n1\n", ending::library, ""},
                  std::nullopt});
  rows.push_back(
      {"crossing rods, single cells at ends and beyond",
       "10 5 2 5 8 1 5 9 5\n",
       "r 5 5 5 5\nr 5 5 8 8\nr 5 5 9 9\nr 10 10 5 5\nr 9 9 5 5\nr 1 1 4 4\n"
       "r 6 10 6 10\nr 1 4 1 4\np 5 2 5 8 1 5 9 5\n",
       {"1 : rect (5,5,5,5) = 1\n2 : rect (5,5,8,8) = 1\n"
        "3 : rect (5,5,9,9) = 0\n4 : rect (10,10,5,5) = 0\n"
        "5 : rect (9,9,5,5) = 1\n6 : rect (1,1,4,4) = 0\n"
        "7 : rect (6,10,6,10) = 0\n8 : rect (1,4,1,4) = 0\n"
        "report (5,2,5,8,1,5,9,5)\n",
        "8\n5 2 5 8\n1 5 9 5\n", "", "1\n1\n0\n0\n1\n0\n0\n0\n",
        ending::library, ""},
       std::nullopt});
  rows.push_back(
      {"rods sharing an end cell, only rod 2 met",
       "6 3 3 3 4 3 4 6 4\n",
       "r 6 6 4 4\nr 4 6 1 3\nr 4 4 4 6\np 3 3 3 4 3 4 6 4\n",
       {"1 : rect (6,6,4,4) = 1\n2 : rect (4,6,1,3) = 0\n"
        "3 : rect (4,4,4,6) = 1\nreport (3,3,3,4,3,4,6,4)\n",
        "3\n3 3 3 4\n3 4 6 4\n", "", "1\n0\n1\n", ending::library, ""},
       std::nullopt});

  // Refused rect calls: index 7, and the log line shows the values received.
  const int bad_args[][4] = {
      {3, 2, 1, 1},   {1, 1, 5, 4},
      {0, 1, 1, 1},   {1, 1, 1, 0},
      {-1, 2, 3, 4},  {1, 11, 1, 1},
      {1, 1, 11, 11}, {-2147483647 - 1, 2147483647, 1, 1}};
  for (const auto& a : bad_args) {
    std::string shown = std::to_string(a[0]) + " " + std::to_string(a[1]) +
                        " " + std::to_string(a[2]) + " " + std::to_string(a[3]);
    rows.push_back({"bad rect " + shown,
                    kWorked,
                    "g\nr 1 10 1 10\nr " + shown + "\n",
                    {"gridsize() = 10\n1 : rect (1,10,1,10) = 1\n" +
                         rect_line(2, a[0], a[1], a[2], a[3], kBadCall),
                     error_out(kBadCall), std::string(kBadCall) + "\n",
                     "10\n1\n", ending::library, ""},
                    std::nullopt});
  }

  // The limit: the 400th call answered, the 401st refused, bad beats limit.
  {
    scenario row{"400 calls then report", kWorked, "", {}, std::nullopt};
    add_misses(400, &row.script, &row.want.log, &row.want.returns);
    row.script += "p 1 2 3 4 5 6 7 8\n";
    row.want.log += "report (1,2,3,4,5,6,7,8)\n";
    row.want.out = "400\n1 2 3 4\n5 6 7 8\n";
    rows.push_back(row);
  }
  {
    scenario row{"401st call refused", kWorked, "", {}, std::nullopt};
    add_misses(400, &row.script, &row.want.log, &row.want.returns);
    row.script += "g\nr 1 10 1 10\n";
    row.want.returns += "10\n";
    row.want.log += "gridsize() = 10\n" +
                    rect_line(401, 1, 10, 1, 10, "Too many rect() calls.");
    row.want.out = error_out("Too many rect() calls.");
    row.want.stdout_text = "Too many rect() calls.\n";
    rows.push_back(row);
  }
  {
    scenario row{"bad 401st call is 7", kWorked, "", {}, std::nullopt};
    add_misses(400, &row.script, &row.want.log, &row.want.returns);
    row.script += "r 1 10 10 1\n";
    row.want.log += rect_line(401, 1, 10, 10, 1, kBadCall);
    row.want.out = error_out(kBadCall);
    row.want.stdout_text = std::string(kBadCall) + "\n";
    rows.push_back(row);
  }

  // report: index 9, values unchanged, gridsize not counted.
  rows.push_back({"report before any rect",
                  kWorked,
                  "g\np 2 3 2 7 5 9 8 9\n",
                  {"gridsize() = 10\nreport (2,3,2,7,5,9,8,9)\n",
                   error_out("No rect() call."), "No rect() call.\n", "10\n",
                   ending::library, ""},
                  std::nullopt});
  rows.push_back({"gridsize calls do not count",
                  kWorked,
                  "g\nr 1 1 1 1\ng\ng\nr 2 2 3 3\ng\np 2 3 2 7 5 9 8 9\n",
                  {"gridsize() = 10\n1 : rect (1,1,1,1) = 0\ngridsize() = 10\n"
                   "gridsize() = 10\n2 : rect (2,2,3,3) = 1\ngridsize() = 10\n"
                   "report (2,3,2,7,5,9,8,9)\n",
                   "2\n2 3 2 7\n5 9 8 9\n", "", "10\n0\n10\n10\n1\n10\n",
                   ending::library, ""},
                  std::nullopt});
  rows.push_back({"report values written unchanged",
                  kWorked,
                  "r 1 1 1 1\np -1 15 0 -2147483648 2147483647 10 11 -7\n",
                  {"1 : rect (1,1,1,1) = 0\n"
                   "report (-1,15,0,-2147483648,2147483647,10,11,-7)\n",
                   "1\n-1 15 0 -2147483648\n2147483647 10 11 -7\n", "", "0\n",
                   ending::library, ""},
                  std::nullopt});

  // rods.in is read once; a program that ends on its own leaves no verdict.
  rows.push_back(
      {"rods.in read only once",
       kWorked,
       "g\nd\nr 2 2 3 3\ng\np 2 3 2 7 5 9 8 9\n",
       {"gridsize() = 10\n1 : rect (2,2,3,3) = 1\ngridsize() = 10\n"
        "report (2,3,2,7,5,9,8,9)\n",
        "1\n2 3 2 7\n5 9 8 9\n", "", "10\n1\n10\n", ending::library, ""},
       std::nullopt});
  // The program's own unchecked I/O failure, pending across the calls: once
  // the Pascal form read it as rods.in missing, or stopped on its log write.
  rows.push_back(
      {"own I/O error pending from the first call",
       kWorked,
       "e\ng\nr 5 5 9 9\ni\np 2 3 2 7 5 9 8 9\n",
       {"gridsize() = 10\n1 : rect (5,5,9,9) = 1\nreport (2,3,2,7,5,9,8,9)\n",
        "1\n2 3 2 7\n5 9 8 9\n", "", "10\n1\n1\n", ending::library, ""},
       std::nullopt});
  rows.push_back({"own I/O error pending at report",
                  kWorked,
                  "r 1 1 1 1\ne\np 1 2 3 4 5 6 7 8\n",
                  {"1 : rect (1,1,1,1) = 0\nreport (1,2,3,4,5,6,7,8)\n",
                   "1\n1 2 3 4\n5 6 7 8\n", "", "0\n", ending::library, ""},
                  std::nullopt});
  rows.push_back(
      {"own I/O error pending at a refused call",
       kWorked,
       "r 1 1 1 1\ne\nr 0 1 1 1\n",
       {"1 : rect (1,1,1,1) = 0\n" + rect_line(2, 0, 1, 1, 1, kBadCall),
        error_out(kBadCall), std::string(kBadCall) + "\n", "0\n",
        ending::library, ""},
       std::nullopt});
  // A Pascal program's own CR LF default once reached rods.log and rods.out.
  rows.push_back(
      {"own CR LF line-break default, verdict",
       kWorked,
       "l\ng\nr 5 5 9 9\np 2 3 2 7 5 9 8 9\n",
       {"gridsize() = 10\n1 : rect (5,5,9,9) = 1\nreport (2,3,2,7,5,9,8,9)\n",
        "1\n2 3 2 7\n5 9 8 9\n", "", "10\n1\n", ending::library, ""},
       std::nullopt});
  rows.push_back(
      {"own CR LF line-break default, error",
       kWorked,
       "l\nr 1 1 1 1\nr 0 1 1 1\n",
       {"1 : rect (1,1,1,1) = 0\n" + rect_line(2, 0, 1, 1, 1, kBadCall),
        error_out(kBadCall), std::string(kBadCall) + "\n", "0\n",
        ending::library, ""},
       std::nullopt});
  const std::string two_calls_log =
      "gridsize() = 10\n1 : rect (1,10,1,10) = 1\n";
  rows.push_back(
      {"program ends without report",
       kWorked,
       "g\nr 1 10 1 10\n",
       {two_calls_log, kStaleOut, "", "10\n1\n", ending::returned, ""},
       std::nullopt});
  rows.push_back(
      {"segfault after some calls keeps the log",
       kWorked,
       "g\nr 1 10 1 10\ns\n",
       {two_calls_log, kStaleOut, "", "10\n1\n", ending::abnormal, ""},
       std::nullopt});
  rows.push_back(
      {"SIGKILL after some calls keeps the log",
       kWorked,
       "g\nr 1 10 1 10\nk\n",
       {two_calls_log, kStaleOut, "", "10\n1\n", ending::abnormal, ""},
       std::nullopt});

  // rods.out cannot be created: C still says what it can and ends with 0;
  // Pascal's I/O checking stops the program with a run-time error.
  const std::string no_out =
      "gridprobe: cannot create rods.out: Is a directory\n";
  {
    scenario row{
        "error and rods.out cannot be created",
        std::nullopt,
        "g\n",
        {kStaleLog, "<directory>", "Cannot open the input file.\n", "",
         ending::library, no_out},
        outcome{kStaleLog, "<directory>", "", "", ending::abnormal, ""}};
    row.block = blocked::out;
    rows.push_back(row);
  }
  {
    const std::string log =
        "1 : rect (1,1,1,1) = 0\nreport (1,2,3,4,5,6,7,8)\n";
    scenario row{"report and rods.out cannot be created",
                 kWorked,
                 "r 1 1 1 1\np 1 2 3 4 5 6 7 8\n",
                 {log, "<directory>", "", "0\n", ending::library, no_out},
                 outcome{log, "<directory>", "", "0\n", ending::abnormal, ""}};
    row.block = blocked::out;
    rows.push_back(row);
  }
  // rods.out on a full disk: C says so on stderr and still ends with 0;
  // Pascal's I/O checking stops the program with a run-time error.
  if (fs::exists("/dev/full")) {
    const std::string cut_short =
        "gridprobe: cannot write rods.out: No space left on device\n";
    const std::string log =
        "1 : rect (1,1,1,1) = 0\nreport (1,2,3,4,5,6,7,8)\n";
    scenario error_row{"error and rods.out on a full disk",
                       std::nullopt,
                       "g\n",
                       {kStaleLog, "", "Cannot open the input file.\n", "",
                        ending::library, cut_short},
                       outcome{kStaleLog, "", "", "", ending::abnormal, ""}};
    error_row.block = blocked::full;
    rows.push_back(error_row);
    scenario report_row{"report and rods.out on a full disk",
                        kWorked,
                        "r 1 1 1 1\np 1 2 3 4 5 6 7 8\n",
                        {log, "", "", "0\n", ending::library, cut_short},
                        outcome{log, "", "", "0\n", ending::abnormal, ""}};
    report_row.block = blocked::full;
    rows.push_back(report_row);
  }
  // rods.log on a full disk: C says so once on stderr and goes on to the
  // verdict; Pascal's I/O checking stops the program with a run-time error.
  if (fs::exists("/dev/full")) {
    const std::string log_lost =
        "gridprobe: cannot write rods.log: No space left on device\n";
    scenario verdict_row{"rods.log on a full disk, verdict",
                         kWorked,
                         "g\nr 1 1 1 1\nr 5 5 9 9\np 1 2 3 4 5 6 7 8\n",
                         {"", "2\n1 2 3 4\n5 6 7 8\n", "", "10\n0\n1\n",
                          ending::library, log_lost},
                         outcome{"", kStaleOut, "", "", ending::abnormal, ""}};
    verdict_row.block = blocked::log_full;
    rows.push_back(verdict_row);
    scenario refused_row{"rods.log on a full disk, refused call",
                         kWorked,
                         "r 0 1 1 1\n",
                         {"", error_out(kBadCall), std::string(kBadCall) + "\n",
                          "", ending::library, log_lost},
                         outcome{"", kStaleOut, "", "", ending::abnormal, ""}};
    refused_row.block = blocked::log_full;
    rows.push_back(refused_row);
  }

  // Standard descriptors closed by the program before its first call ('c'),
  // or later: the files of the library must not take their numbers. 'u'
  // makes C's stdout unbuffered and 'w' prints a line of the program's own.
  const std::string verdict_log =
      "gridsize() = 10\n1 : rect (5,5,9,9) = 1\nreport (2,3,2,7,5,9,8,9)\n";
  const std::vector<std::vector<int>> closed_sets = {{0}, {1}, {2}, {0, 1, 2}};
  for (const std::vector<int>& closed : closed_sets) {
    std::string which, close;
    for (int fd : closed) {
      which += " " + std::to_string(fd);
      close += "c " + std::to_string(fd) + "\n";
    }
    scenario verdict{"closed" + which + ", verdict",
                     kWorked,
                     close + "u\ng\nw\nr 5 5 9 9\nw\np 2 3 2 7 5 9 8 9\n",
                     {verdict_log, "1\n2 3 2 7\n5 9 8 9\n", "", "10\n1\n",
                      ending::library, ""},
                     std::nullopt};
    if (closed.size() == 1 && closed[0] != 1)
      verdict.want.stdout_text = "own line\nown line\n";
    rows.push_back(verdict);
    scenario refused{"closed" + which + ", refused call",
                     kWorked,
                     close + "u\ng\nr 0 1 1 1\n",
                     {"gridsize() = 10\n" + rect_line(1, 0, 1, 1, 1, kBadCall),
                      error_out(kBadCall), "", "10\n", ending::library, ""},
                     std::nullopt};
    if (closed.size() == 1 && closed[0] != 1)
      refused.want.stdout_text = std::string(kBadCall) + "\n";
    rows.push_back(refused);
    scenario load{"closed" + which + ", bad rods.in", "10 2 3 2 7 5 9 8 0\n",
                  close + "u\nr 1 10 1 10\n", init_failure(bad_coord),
                  std::nullopt};
    if (closed.size() != 1 || closed[0] == 1) load.want.stdout_text = "";
    rows.push_back(load);
  }
  rows.push_back({"stdout closed by the program, refused call",
                  kWorked,
                  "u\ng\nc 1\nr 0 1 1 1\n",
                  {"gridsize() = 10\n" + rect_line(1, 0, 1, 1, 1, kBadCall),
                   error_out(kBadCall), "", "10\n", ending::library, ""},
                  std::nullopt});
  rows.push_back(
      {"stdout closed by the program, no rect call",
       kWorked,
       "u\ng\nc 1\np 1 2 3 4 5 6 7 8\n",
       {"gridsize() = 10\nreport (1,2,3,4,5,6,7,8)\n",
        error_out("No rect() call."), "", "10\n", ending::library, ""},
       std::nullopt});
  return rows;
}

struct form {
  const char* name;
  const char* driver;
};
const form kForms[] = {{"cgridprobe", GRIDPROBE_C_DRIVER},
                       {"pgridprobe", GRIDPROBE_PAS_DRIVER}};

void expect_outcome(const scenario& row, const form& f, const outcome& want) {
  scratch_dir dir;
  fs::path work = dir.path() / "work";
  fs::create_directory(work);
  write_file(dir.path() / "script", row.script);
  if (row.rods_in) write_file(work / "rods.in", *row.rods_in);
  if (row.block == blocked::zero_in)
    fs::create_symlink("/dev/zero", work / "rods.in");
  if (row.block == blocked::log)
    fs::create_directory(work / "rods.log");
  else if (row.block == blocked::log_full)
    fs::create_symlink("/dev/full", work / "rods.log");
  else
    write_file(work / "rods.log", kStaleLog);
  if (row.block == blocked::out)
    fs::create_directory(work / "rods.out");
  else if (row.block == blocked::full)
    fs::create_symlink("/dev/full", work / "rods.out");
  else
    write_file(work / "rods.out", kStaleOut);

  run_result got = run_target({f.driver, (dir.path() / "script").string(),
                               (dir.path() / "returns").string()},
                              work);
  if (row.block == blocked::log_full)  // reading /dev/full never ends
    EXPECT_TRUE(fs::is_symlink(work / "rods.log"));
  else
    EXPECT_EQ(read_file(work / "rods.log"), want.log);
  if (row.block == blocked::full)  // reading /dev/full never ends
    EXPECT_TRUE(fs::is_symlink(work / "rods.out"));
  else
    EXPECT_EQ(read_file(work / "rods.out"), want.out);
  EXPECT_EQ(read_file(dir.path() / "returns"), want.returns);
  switch (want.end) {
    case ending::library:
      EXPECT_TRUE(got.exited && got.exit_code == 0)
          << "exit " << got.exit_code << " signal " << got.signal;
      break;
    case ending::returned:
      EXPECT_TRUE(got.exited && got.exit_code == 3)
          << "exit " << got.exit_code << " signal " << got.signal;
      break;
    case ending::abnormal:
      EXPECT_TRUE(got.signal != 0 ||
                  (got.exited && got.exit_code != 0 && got.exit_code != 3))
          << "exit " << got.exit_code;
      break;
  }
  // An abnormal end carries the runtime's own report; nothing else may.
  if (want.end != ending::abnormal) {
    EXPECT_EQ(got.out, want.stdout_text);
    EXPECT_EQ(got.err, want.stderr_text);
  }
}

TEST(Scenarios, BothFormsMatchTheTable) {
  for (const scenario& row : scenarios()) {
    for (const form& f : kForms) {
      SCOPED_TRACE(row.name + " / " + f.name);
      bool pascal = f.driver == std::string(GRIDPROBE_PAS_DRIVER);
      expect_outcome(row, f, pascal && row.pascal ? *row.pascal : row.want);
    }
  }
}

}  // namespace
}  // namespace gridprobe_test
