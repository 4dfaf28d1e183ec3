// POSIX implementations of the scrambler's OS calls.
#include "platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "errors.h"

namespace {

// A file must never take the number of a closed standard stream, or the
// failure report would land in it.
int above_standard(int fd) {
  if (fd < 0 || fd > kStdError) return fd;
  int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, kStdError + 1);
  // A descriptor limit of 3 or less refuses any number above 2 with EINVAL;
  // the cause is still the limit.
  int err = moved < 0 && errno == EINVAL ? EMFILE : errno;
  ::close(fd);
  errno = err;
  return moved;
}

int posix_open_read(const char* path) {
  int fd;
  do fd = ::open(path, O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  return above_standard(fd);
}

int open_retrying(const char* path, int flags) {
  int fd;
  do fd = ::open(path, flags | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  return fd;
}

// A file this call created is removed again when its descriptor cannot be
// kept: a failed creation leaves no new file behind.
int posix_open_write(const char* path) {
  int fd = open_retrying(path, O_WRONLY);
  if (fd >= 0 || errno != ENOENT) return above_standard(fd);
  fd = open_retrying(path, O_WRONLY | O_CREAT | O_EXCL);
  // Made meanwhile, or a dangling symbolic link: create as before.
  if (fd < 0 && errno == EEXIST)
    return above_standard(open_retrying(path, O_WRONLY | O_CREAT));
  if (fd < 0) return fd;
  int moved = above_standard(fd);
  if (moved < 0) {
    int err = errno;
    ::unlink(path);
    errno = err;
  }
  return moved;
}

int posix_truncate(int fd) { return ::ftruncate(fd, 0); }

ssize_t posix_read(int fd, void* buf, size_t n) {
  ssize_t got;
  do got = ::read(fd, buf, n);
  while (got < 0 && errno == EINTR);
  return got;
}

ssize_t posix_write(int fd, const void* buf, size_t n) {
  ssize_t put;
  do put = ::write(fd, buf, n);
  while (put < 0 && errno == EINTR);
  return put;
}

// A close interrupted by a signal has still released the descriptor on Linux.
int posix_close(int fd) {
  int rc = ::close(fd);
  return rc < 0 && errno == EINTR ? 0 : rc;
}

int posix_identify(int fd, file_info* info) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return -1;
  info->device = static_cast<uint64_t>(st.st_dev);
  info->inode = static_cast<uint64_t>(st.st_ino);
  if (S_ISREG(st.st_mode))
    info->kind = file_kind::regular;
  else if (S_ISDIR(st.st_mode))
    info->kind = file_kind::directory;
  else if (S_ISCHR(st.st_mode))
    info->kind = file_kind::character;
  else
    info->kind = file_kind::other;
  return 0;
}

bool posix_is_directory(const char* path) {
  struct stat st;
  return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string posix_module_path() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return "datamask";
  return std::string(buf, static_cast<size_t>(n));
}

void posix_exit(int code) { ::_exit(code); }

// Bytes are characters here: no multi-byte set to step through.
const char* posix_next_char(const char* p) { return *p != 0 ? p + 1 : p; }

}  // namespace

os_calls os = {posix_open_read, posix_open_write,   posix_truncate,
               posix_read,      posix_write,        posix_close,
               posix_identify,  posix_is_directory, posix_module_path,
               posix_exit,      posix_next_char,    nullptr};

// The layer's codes 2 to 5 and 101 stand for their POSIX counterparts; any
// other number is shown as it is.
pending_error errno_error(int err) {
  switch (err) {
    case ENOENT:
      return {kFileNotFound, false};
    case ENOTDIR:
    case ENAMETOOLONG:
      return {kInvalidFilename, false};
    case EMFILE:
    case ENFILE:
      return {kTooManyOpenFiles, false};
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return {kAccessDenied, false};
    case ENOSPC:
      return {kDiskFull, false};
    default:
      return {static_cast<int32_t>(err), true};
  }
}

// A file-size limit then shows as a failed write (EFBIG), not a signal.
void platform_start() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}
