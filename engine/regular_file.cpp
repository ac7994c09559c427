#include "engine/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE *regular_file_open(const char *path) {
  // O_NONBLOCK makes the open itself return at once on a FIFO; it changes
  // nothing for the regular files that are kept.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  FILE *file = fdopen(fd, "rb");
  if (!file) close(fd);
  return file;
}
