// Files and folders on POSIX: looked at, opened without waiting, written
// whole through a renamed temporary file.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/os.h"
#include "platform/posix/os_error.h"

namespace {

// Folders made for the settings, and the file itself, are the user's own.
const mode_t PRIVATE_FOLDER_MODE = 0700;
const mode_t PRIVATE_FILE_MODE = 0600;

int fail(OsError *error) {
  os_error_from_errno(error, errno);
  return 0;
}

int write_all(int fd, const char *data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t wrote = write(fd, data + done, size - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return 0;
    done += (size_t)wrote;
  }
  return 1;
}

}  // namespace

int os_path_info(const char *path, OsPathInfo *info, OsError *error) {
  struct stat status;
  if (stat(path, &status) != 0) return fail(error);
  info->folder = S_ISDIR(status.st_mode);
  info->regular = S_ISREG(status.st_mode);
  info->size = (int64_t)status.st_size;
  return 1;
}

int os_path_readable(const char *path, OsError *error) {
  return access(path, R_OK) == 0 ? 1 : fail(error);
}

int os_real_path(const char *path, char *resolved, size_t size) {
  char whole[PATH_MAX];
  if (!realpath(path, whole) || strlen(whole) >= size) return 0;
  memcpy(resolved, whole, strlen(whole) + 1);
  return 1;
}

int os_make_folders(const char *path, OsError *error) {
  struct stat status;
  if (stat(path, &status) == 0) {
    if (S_ISDIR(status.st_mode)) return 1;
    os_error_from_errno(error, ENOTDIR);
    return 0;
  }
  const std::string folder = path;
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 &&
      !os_make_folders(folder.substr(0, slash).c_str(), error)) {
    return 0;
  }
  if (mkdir(path, PRIVATE_FOLDER_MODE) == 0 || errno == EEXIST) return 1;
  return fail(error);
}

FILE *os_open_regular(const char *path, OsError *error) {
  // O_NONBLOCK makes the open itself return at once on a FIFO; it changes
  // nothing for the regular files that are kept.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    fail(error);
    return nullptr;
  }
  struct stat status;
  if (fstat(fd, &status) != 0) {
    fail(error);
    close(fd);
    return nullptr;
  }
  if (!S_ISREG(status.st_mode)) {
    os_error_say(error, "not a regular file");
    close(fd);
    return nullptr;
  }
  FILE *file = fdopen(fd, "rb");
  if (!file) {
    fail(error);
    close(fd);
  }
  return file;
}

int os_write_whole(const char *path, const void *data, size_t size,
                   OsError *error) {
  std::string temporary = std::string(path) + ".XXXXXX";
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) return fail(error);
  const int written = write_all(fd, (const char *)data, size) &&
                      fchmod(fd, PRIVATE_FILE_MODE) == 0 && fsync(fd) == 0;
  const int saved_errno = errno;
  const int closed = close(fd) == 0;
  if (!written || !closed || rename(temporary.c_str(), path) != 0) {
    os_error_from_errno(error, written ? errno : saved_errno);
    unlink(temporary.c_str());
    return 0;
  }
  return 1;
}
