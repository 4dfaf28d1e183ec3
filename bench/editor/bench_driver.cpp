// bench_driver.cpp: times the editor and the baselines side by side on each
// workload, checks that their outputs agree and prints times, ratios, memory.
//
// Usage: editor_bench_driver [--runs N] [--timeout S] DIR WORKLOAD... --
// NAME=PATH... DIR holds WORKLOAD.in and WORKLOAD.in.meta (from
// editor_bench_gen). Each program runs in DIR/run-NAME with editor.in linked to
// the workload.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "string_editor.h"

namespace {

using editor_bench::string_editor;

struct program {
  std::string name, path;
};

struct run_result {
  bool ok = false;
  std::string failure;  // why the run did not end with status 0
  double wall = 0, cpu = 0;
  long max_rss_kb = 0;
};

struct outcome {
  bool ran = false, ok = true;
  std::string failure;
  std::vector<double> walls;
  double best_wall = 1e300, best_cpu = 1e300;
  long max_rss_kb = 0;
  std::string verdict;  // how its editor.out compares with the reference
  bool mismatch = false;
};

double seconds_since(const timespec& t0) {
  timespec t1;
  clock_gettime(CLOCK_MONOTONIC, &t1);
  return static_cast<double>(t1.tv_sec - t0.tv_sec) +
         static_cast<double>(t1.tv_nsec - t0.tv_nsec) * 1e-9;
}

// One run of path in dir: wall time, CPU time and peak RSS from wait4.
run_result run_once(const std::string& path, const std::string& dir,
                    unsigned timeout) {
  run_result r;
  timespec t0;
  clock_gettime(CLOCK_MONOTONIC, &t0);
  pid_t pid = fork();
  if (pid < 0) {
    r.failure = std::string("fork: ") + std::strerror(errno);
    return r;
  }
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    alarm(timeout);  // survives exec: a hung run ends by SIGALRM
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage;
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  r.wall = seconds_since(t0);
  r.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) *
              1e-6;
  r.max_rss_kb = usage.ru_maxrss;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    r.ok = true;
  } else if (WIFSIGNALED(status)) {
    int sig = WTERMSIG(status);
    r.failure = sig == SIGALRM
                    ? "timed out after " + std::to_string(timeout) + " s"
                    : std::string("killed by signal ") + std::to_string(sig) +
                          " (" + strsignal(sig) + ")";
  } else {
    r.failure = "exit status " + std::to_string(WEXITSTATUS(status));
  }
  return r;
}

struct file_diff {
  bool same = true;
  bool readable = true;
  unsigned long long at = 0,
                     line = 0;  // first differing byte, its 0-based line
  unsigned long long size_a = 0, size_b = 0;
};

unsigned long long file_size(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0
             ? static_cast<unsigned long long>(st.st_size)
             : 0;
}

// Streams both files; the first byte where they differ and its line.
file_diff compare_files(const std::string& a, const std::string& b) {
  file_diff d;
  d.size_a = file_size(a);
  d.size_b = file_size(b);
  FILE* fa = std::fopen(a.c_str(), "rb");
  FILE* fb = std::fopen(b.c_str(), "rb");
  if (!fa || !fb) {
    d.same = false;
    d.readable = false;
    if (fa) std::fclose(fa);
    if (fb) std::fclose(fb);
    return d;
  }
  std::vector<char> ba(1 << 20), bb(1 << 20);
  for (;;) {
    size_t na = std::fread(ba.data(), 1, ba.size(), fa);
    size_t nb = std::fread(bb.data(), 1, bb.size(), fb);
    size_t n = std::min(na, nb);
    if (std::memcmp(ba.data(), bb.data(), n) != 0 || na != nb) {
      size_t i = 0;
      while (i < n && ba[i] == bb[i]) ++i;
      d.same = false;
      d.at += i;
      d.line += static_cast<unsigned long long>(
          std::count(ba.begin(), ba.begin() + static_cast<long>(i), '\n'));
      break;
    }
    if (na == 0) break;
    d.at += n;
    d.line += static_cast<unsigned long long>(
        std::count(ba.begin(), ba.begin() + static_cast<long>(n), '\n'));
  }
  std::fclose(fa);
  std::fclose(fb);
  return d;
}

bool write_file(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

long long read_meta(const std::string& path, const char* key) {
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return -1;
  char name[64];
  long long value = -1, v;
  while (std::fscanf(f, "%63s %lld", name, &v) == 2)
    if (std::strcmp(name, key) == 0) value = v;
  std::fclose(f);
  return value;
}

// Printable form of a few bytes for a report line.
std::string shown(const std::string& s, size_t from, size_t max) {
  std::string r;
  for (size_t i = from; i < s.size() && i < from + max; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 32 && c < 127 && c != '\\') {
      r.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      r += hex;
    }
  }
  if (from + max < s.size()) r += "...";
  return r;
}

std::string line_of(const std::string& s, size_t line) {
  size_t at = 0;
  for (size_t i = 0; i < line && at != std::string::npos; ++i) {
    at = s.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  if (at == std::string::npos || at >= s.size()) return "(no such line)";
  size_t end = s.find('\n', at);
  if (end == std::string::npos) return shown(s, at, 100) + " (no newline)";
  return shown(s.substr(at, end - at), 0, 100);
}

// The whole file, or false.
bool read_whole(const std::string& path, std::string& out) {
  out.clear();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    out.append(chunk, got);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// Each command that acts, as the editor's reader saw it, written back in a
// form that reads the same: Insert text in full, followed by a space so that
// a CR at its end stays a CR.
struct recorder {
  std::vector<std::string> commands;
  void Move(int32_t p) { numbered("M ", p); }
  void Next() { commands.push_back("N\n"); }
  void Prev() { commands.push_back("P\n"); }
  void Get(int32_t n) { numbered("G ", n); }
  void Delete(int32_t n) { numbered("D ", n); }
  void Insert(int32_t n) {
    std::string c = "I " + std::to_string(n) + "\n";
    if (n > 0) {
      size_t at = c.size();
      c.resize(at + static_cast<size_t>(n));
      read_text(&c[at], n);
      c += " \n";
    }
    commands.push_back(c);
  }
  void numbered(const char* word, int32_t n) {
    commands.push_back(word + std::to_string(n) + "\n");
  }
};

struct model_state {
  std::string out;
  size_t len = 0, pos = 0;
};

// Replays a script on the string model through the editor's own reader.
model_state run_model(const std::string& script) {
  model_state m;
  std::string held = script + '\0';
  FILE* in = fmemopen(&held[0], script.size(), "r");
  char* buffer = nullptr;
  size_t size = 0;
  FO = open_memstream(&buffer, &size);
  if (in == nullptr || FO == nullptr) {
    std::fprintf(stderr, "model: %s\n", std::strerror(errno));
    std::exit(1);
  }
  script_start(in);
  string_editor model;
  run_script(model);
  std::fclose(FO);
  FO = nullptr;
  std::fclose(in);
  script_start(nullptr);
  m.out.assign(buffer, size);
  std::free(buffer);
  m.len = model.size();
  m.pos = model.position();
  return m;
}

// Finds the first command after which the editor's text or cursor differs
// from the model: runs prefixes of the script, each ending with Gets of the
// rest of the text and of the whole text, and bisects.
void diagnose(const std::string& script_path, const program& ed,
              const std::string& dir, unsigned timeout) {
  recorder rec;
  if (int error = script_open(script_path.c_str())) {
    std::printf("  cannot read %s: %s\n", script_path.c_str(),
                std::strerror(error));
    return;
  }
  run_script(rec);
  std::fclose(F);
  script_start(nullptr);
  std::string work = dir + "/diagnose";
  mkdir(work.c_str(), 0777);

  auto commands_upto = [&](size_t c) {
    std::string s;
    for (size_t k = 0; k < c; ++k) s += rec.commands[k];
    return s;
  };
  auto model_after = [&](size_t c) {
    return run_model(std::to_string(c) + "\n" + commands_upto(c));
  };
  auto make_prefix = [&](size_t c) {
    model_state m = model_after(c);
    return std::to_string(c + 3) + "\n" + commands_upto(c) + "Get " +
           std::to_string(m.len - m.pos) + "\nMove 0\nGet " +
           std::to_string(m.len) + "\n";
  };
  std::string editor_out, model_out, failure;
  // True when the editor's output on prefix c equals the model's.
  auto agrees = [&](size_t c) {
    std::string prefix = make_prefix(c);
    if (!write_file(work + "/editor.in", prefix)) {
      failure = "cannot write " + work + "/editor.in";
      return false;
    }
    std::remove((work + "/editor.out").c_str());
    run_result r = run_once(ed.path, work, timeout);
    failure = r.ok ? "" : r.failure;
    if (!read_whole(work + "/editor.out", editor_out)) editor_out.clear();
    model_out = run_model(prefix).out;
    return r.ok && editor_out == model_out;
  };

  size_t lo = 0, hi = rec.commands.size();
  if (!agrees(hi)) {
    if (agrees(lo)) {
      while (hi - lo > 1) {
        size_t mid = lo + (hi - lo) / 2;
        if (agrees(mid))
          lo = mid;
        else
          hi = mid;
      }
    } else {
      hi = 0;
    }
  } else {
    std::printf(
        "  the difference does not show when a prefix of the script is "
        "replayed\n");
    return;
  }
  if (hi == 0) {
    std::printf(
        "  the editor already differs on a script of no commands (count 3: "
        "Get, Move 0, Get)\n");
  } else {
    model_state before = model_after(hi - 1);
    model_state after = model_after(hi);
    std::printf("  FIRST DIFFERING COMMAND: #%zu of those that act: \"%s\"\n",
                hi, shown(rec.commands[hi - 1], 0, 60).c_str());
    std::printf(
        "  model before it: text length %zu, cursor %zu; after it: length %zu, "
        "cursor %zu\n",
        before.len, before.pos, after.len, after.pos);
    std::printf(
        "  (commands 1..%zu followed by Get rest, Move 0, Get all agree with "
        "the model; 1..%zu do not)\n",
        hi - 1, hi);
  }
  agrees(hi);
  if (!failure.empty())
    std::printf("  editor run on that prefix: %s\n", failure.c_str());
  size_t line = 0;
  size_t n = std::min(editor_out.size(), model_out.size());
  size_t i = 0;
  while (i < n && editor_out[i] == model_out[i]) {
    if (editor_out[i] == '\n') ++line;
    ++i;
  }
  std::printf("  first differing output line %zu of that prefix run:\n",
              line + 1);
  std::printf("    editor \"%s\"\n", line_of(editor_out, line).c_str());
  std::printf("    model  \"%s\"\n", line_of(model_out, line).c_str());
  std::printf("  prefix script kept in %s/editor.in\n", work.c_str());
  write_file(work + "/editor.in", make_prefix(hi));
}

struct goal {
  const char* workload;
  const char* baseline;  // "fastest" for the fastest of the three
  double limit;
};
const goal kGoals[] = {
    {"W1", "fastest", 0.9}, {"W2", "fastest", 0.9}, {"W3", "fastest", 0.9},
    {"W4", "fastest", 0.9}, {"W5", "fastest", 1.0}, {"W6", "gap", 0.75},
    {"H1", "fastest", 0.9}, {"H2", "fastest", 0.9}, {"H3", "fastest", 0.9},
    {"H4", "fastest", 0.9},
};

// Runs left out: the one string moves the whole 16 MB text for every edit
// near its start, hours of work that measure nothing new.
struct skip {
  const char* workload;
  const char* program;
};
const skip kSkips[] = {{"H2", "string"}, {"H3", "string"}};

bool skipped(const std::string& workload, const std::string& program) {
  for (const skip& k : kSkips)
    if (workload == k.workload && program == k.program) return true;
  return false;
}
const double kMemoryGoal = 1.5;
const char* const kBaselines[] = {"string", "rope", "gap"};

int usage(const char* self) {
  std::fprintf(
      stderr,
      "usage: %s [--runs N] [--timeout S] DIR WORKLOAD... -- NAME=PATH...\n",
      self);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  unsigned timeout = 600;
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-' && argv[i][2];
       i += 2) {
    if (std::strcmp(argv[i], "--runs") == 0)
      runs = std::max(1, std::atoi(argv[i + 1]));
    else if (std::strcmp(argv[i], "--timeout") == 0)
      timeout = static_cast<unsigned>(std::max(1, std::atoi(argv[i + 1])));
    else
      return usage(argv[0]);
  }
  if (i >= argc) return usage(argv[0]);
  std::string dir = argv[i++];
  std::vector<std::string> workloads;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
    workloads.push_back(argv[i]);
  std::vector<program> programs;
  for (++i; i < argc; ++i) {
    const char* eq = std::strchr(argv[i], '=');
    if (!eq) return usage(argv[0]);
    // Runs start in their own directory, so a relative path must be resolved.
    char* full = realpath(eq + 1, nullptr);
    if (!full) {
      std::fprintf(stderr, "%s: %s\n", eq + 1, std::strerror(errno));
      return 1;
    }
    programs.push_back(
        {std::string(static_cast<const char*>(argv[i]), eq), full});
    std::free(full);
  }
  if (workloads.empty() || programs.empty()) return usage(argv[0]);
  auto find = [&](const std::string& name) -> int {
    for (size_t p = 0; p < programs.size(); ++p)
      if (programs[p].name == name) return static_cast<int>(p);
    return -1;
  };
  int reference = find("string");
  if (reference < 0)
    reference = programs[0].name == "floor" && programs.size() > 1 ? 1 : 0;

  bool trouble = false;
  std::vector<std::vector<outcome>> results(
      workloads.size(), std::vector<outcome>(programs.size()));
  std::vector<double> script_mb(workloads.size()), text_mb(workloads.size());
  std::vector<std::string> to_diagnose;
  for (size_t w = 0; w < workloads.size(); ++w) {
    std::string script = dir + "/" + workloads[w] + ".in";
    if (script[0] != '/') {
      char cwd[4096];
      if (getcwd(cwd, sizeof cwd)) script = std::string(cwd) + "/" + script;
    }
    script_mb[w] = static_cast<double>(file_size(script)) / 1048576.0;
    long long final_text = read_meta(script + ".meta", "final_text");
    text_mb[w] =
        final_text < 0 ? -1 : static_cast<double>(final_text) / 1048576.0;
    std::printf("== %s: script %.2f MB, %lld commands, final text %.2f MB ==\n",
                workloads[w].c_str(), script_mb[w],
                read_meta(script + ".meta", "commands"), text_mb[w]);
    std::fflush(stdout);
    std::vector<std::string> run_dirs;
    for (const program& p : programs) {
      std::string d = dir + "/run-" + p.name;
      mkdir(d.c_str(), 0777);
      std::remove((d + "/editor.in").c_str());
      std::remove((d + "/editor.out").c_str());
      if (symlink(script.c_str(), (d + "/editor.in").c_str()) != 0) {
        std::fprintf(stderr, "cannot link %s/editor.in: %s\n", d.c_str(),
                     std::strerror(errno));
        return 1;
      }
      run_dirs.push_back(d);
    }
    std::vector<outcome>& res = results[w];
    // Without the string, the gap buffer's output is the one compared.
    int ref = reference;
    if (skipped(workloads[w], programs[static_cast<size_t>(ref)].name)) {
      int gap = find("gap");
      ref = gap >= 0 ? gap : find("editor");
    }
    for (size_t p = 0; p < programs.size(); ++p) {
      if (skipped(workloads[w], programs[p].name)) {
        res[p].ok = false;
        res[p].failure = "skipped";
      }
    }
    for (int round = 0; round < runs; ++round) {
      // Rotate the order so that no program always runs first or last.
      for (size_t k = 0; k < programs.size(); ++k) {
        size_t p = (k + static_cast<size_t>(round)) % programs.size();
        outcome& o = res[p];
        if (!o.ok) continue;
        run_result r = run_once(programs[p].path, run_dirs[p], timeout);
        o.ran = true;
        if (!r.ok) {
          o.ok = false;
          o.failure = r.failure;
          continue;
        }
        o.walls.push_back(r.wall);
        o.best_wall = std::min(o.best_wall, r.wall);
        o.best_cpu = std::min(o.best_cpu, r.cpu);
        o.max_rss_kb = std::max(o.max_rss_kb, r.max_rss_kb);
      }
    }
    std::string ref_out = run_dirs[static_cast<size_t>(ref)] + "/editor.out";
    for (size_t p = 0; p < programs.size(); ++p) {
      outcome& o = res[p];
      if (o.failure == "skipped") {
        o.verdict = "skipped";
        continue;
      }
      if (!o.ok) {
        o.verdict = "FAILED: " + o.failure;
        trouble = true;
        // A crash is located like a wrong output; a slow run is not.
        if (programs[p].name == "editor" &&
            o.failure.rfind("timed out", 0) != 0)
          to_diagnose.push_back(workloads[w]);
        continue;
      }
      if (static_cast<int>(p) == ref) {
        o.verdict = "reference";
        continue;
      }
      std::string out = run_dirs[p] + "/editor.out";
      if (programs[p].name == "floor" || programs[p].name == "parse") {
        bool same = file_size(out) == file_size(ref_out);
        o.verdict = same ? "same size" : "SIZE DIFFERS";
        o.mismatch = !same;
        trouble |= !same;
        continue;
      }
      file_diff d = compare_files(out, ref_out);
      if (d.same) {
        o.verdict = "identical";
      } else {
        char text[200];
        if (!d.readable)
          std::snprintf(text, sizeof text, "MISMATCH: editor.out missing");
        else
          std::snprintf(
              text, sizeof text,
              "MISMATCH at byte %llu, output line %llu (sizes %llu vs %llu)",
              d.at, d.line + 1, d.size_a, d.size_b);
        o.verdict = text;
        o.mismatch = true;
        trouble = true;
        if (programs[p].name == "editor") to_diagnose.push_back(workloads[w]);
      }
    }
    std::printf("  %-8s %9s %9s %10s  %s\n", "program", "best s", "cpu s",
                "peak MB", "editor.out");
    for (size_t p = 0; p < programs.size(); ++p) {
      const outcome& o = res[p];
      if (o.walls.empty()) {
        std::printf("  %-8s %9s %9s %10s  %s\n", programs[p].name.c_str(), "-",
                    "-", "-", o.verdict.c_str());
      } else {
        std::printf("  %-8s %9.3f %9.3f %10.1f  %s\n", programs[p].name.c_str(),
                    o.best_wall, o.best_cpu,
                    static_cast<double>(o.max_rss_kb) / 1024.0,
                    o.verdict.c_str());
      }
      if (o.mismatch || (!o.ok && o.verdict != "skipped")) {
        std::printf("  *** %s on %s: %s ***\n", programs[p].name.c_str(),
                    workloads[w].c_str(), o.verdict.c_str());
      }
    }
    std::fflush(stdout);
  }

  int editor = find("editor");
  if (editor >= 0) {
    std::printf(
        "\n== goals: the editor's best wall time over the baseline's, same run "
        "==\n");
    std::printf("%-4s %-16s %8s %8s  %-16s %6s  %-22s %s\n", "", "goal",
                "ratio", "cpu", "vs fastest", "met", "peak/(text+script)",
                "met");
    for (size_t w = 0; w < workloads.size(); ++w) {
      const outcome& e = results[w][static_cast<size_t>(editor)];
      const goal* g = nullptr;
      for (const goal& candidate : kGoals)
        if (workloads[w] == candidate.workload) g = &candidate;
      int fastest = -1;
      for (const char* name : kBaselines) {
        int b = find(name);
        if (b < 0 || results[w][static_cast<size_t>(b)].walls.empty()) continue;
        if (fastest < 0 ||
            results[w][static_cast<size_t>(b)].best_wall <
                results[w][static_cast<size_t>(fastest)].best_wall)
          fastest = b;
      }
      if (e.walls.empty()) {
        std::printf("%-4s editor did not run: %s\n", workloads[w].c_str(),
                    e.verdict.c_str());
        continue;
      }
      std::string goal_text = "-", ratio_text = "-", cpu_text = "-", met = "-";
      if (g) {
        int b = std::strcmp(g->baseline, "fastest") == 0 ? fastest
                                                         : find(g->baseline);
        char buf[64];
        std::snprintf(buf, sizeof buf, "<= %.2fx %s", g->limit, g->baseline);
        goal_text = buf;
        if (b >= 0 && !results[w][static_cast<size_t>(b)].walls.empty()) {
          const outcome& base = results[w][static_cast<size_t>(b)];
          double ratio = e.best_wall / base.best_wall;
          std::snprintf(buf, sizeof buf, "%.2fx", ratio);
          ratio_text = buf;
          std::snprintf(buf, sizeof buf, "%.2fx", e.best_cpu / base.best_cpu);
          cpu_text = buf;
          met = ratio <= g->limit ? "yes" : "NO";
        }
      }
      std::string fastest_text = "-";
      if (fastest >= 0) {
        char buf[64];
        std::snprintf(
            buf, sizeof buf, "%.2fx %s",
            e.best_wall / results[w][static_cast<size_t>(fastest)].best_wall,
            programs[static_cast<size_t>(fastest)].name.c_str());
        fastest_text = buf;
      }
      std::string memory_text = "-", memory_met = "-";
      if (text_mb[w] >= 0) {
        double base_mb = text_mb[w] + script_mb[w];
        double ratio = static_cast<double>(e.max_rss_kb) / 1024.0 / base_mb;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2fx (%.1f / %.1f MB)", ratio,
                      static_cast<double>(e.max_rss_kb) / 1024.0, base_mb);
        memory_text = buf;
        memory_met = ratio <= kMemoryGoal ? "yes" : "NO";
      }
      std::printf("%-4s %-16s %8s %8s  %-16s %6s  %-22s %s\n",
                  workloads[w].c_str(), goal_text.c_str(), ratio_text.c_str(),
                  cpu_text.c_str(), fastest_text.c_str(), met.c_str(),
                  memory_text.c_str(), memory_met.c_str());
    }
    for (const std::string& w : to_diagnose) {
      std::printf("\n== %s: locating the editor's first wrong command ==\n",
                  w.c_str());
      std::fflush(stdout);
      std::string script = dir + "/" + w + ".in";
      diagnose(script, programs[static_cast<size_t>(editor)], dir, timeout);
    }
  }
  if (trouble) {
    std::printf(
        "\n*** SOME PROGRAM FAILED OR DISAGREED: see the lines marked *** "
        "above ***\n");
    return 1;
  }
  return 0;
}
