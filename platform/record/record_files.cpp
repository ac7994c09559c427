// Recordings as files: the sink and source the game's options open.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/record/record_state.h"

namespace {

struct FileSink {
  int fd;
  std::string path;
};

// Plain write(2): every call hands the kernel whole records, so a game
// killed between two calls leaves a file of whole records.
int file_write(void *user, const uint8_t *bytes, size_t count) {
  const FileSink *file = (const FileSink *)user;
  while (count > 0) {
    const ssize_t done = write(file->fd, bytes, count);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      record_set_error("cannot write " + file->path + ": " +
                       strerror(done < 0 ? errno : ENOSPC));
      return 0;
    }
    bytes += done;
    count -= (size_t)done;
  }
  return 1;
}

void file_sink_close(void *user) {
  FileSink *file = (FileSink *)user;
  close(file->fd);
  delete file;
}

long file_read(void *user, uint8_t *buffer, size_t count) {
  const int fd = (int)(intptr_t)user;
  for (;;) {
    const ssize_t got = read(fd, buffer, count);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return RECORD_SOURCE_ERROR;
    return (long)got;  // 0 is the file's end
  }
}

void file_close(void *user) { close((int)(intptr_t)user); }

}  // namespace

int record_file_sink(const char *path, RecordSink *sink) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    record_set_error(std::string("cannot write ") + path + ": " +
                     strerror(errno));
    return 0;
  }
  *sink = RecordSink{file_write, file_sink_close, new FileSink{fd, path}};
  return 1;
}

int record_file_source(const char *path, RecordSource *source) {
  // Opened without waiting: a FIFO with no writer would otherwise hold the
  // game before its window, saying nothing. Only files are replayed.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    record_set_error(std::string("cannot read it: ") + strerror(errno));
    return 0;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    record_set_error(
        "not a regular file (a recording is replayed from a file)");
    return 0;
  }
  *source = RecordSource{file_read, file_close, (void *)(intptr_t)fd};
  return 1;
}
