// Runs a command (standard output optionally to a file) and prints its wall
// time and CPU time (user + system) in seconds and its peak memory in KiB.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  int first = 1;
  const char* out_path = nullptr;
  if (argc > 2 && std::strcmp(argv[1], "-o") == 0) {
    out_path = argv[2];
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: %s [-o FILE] COMMAND ARG...\n", argv[0]);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (out_path != nullptr) {
      int fd = open(out_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
      close(fd);
    }
    execvp(argv[first], argv + first);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return 1;
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  double cpu =
      static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) /
          1e6;
  std::printf("%.4f %.4f %ld\n", seconds, cpu, usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
