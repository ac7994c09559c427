// The loaders read files by name; a fuzz input is handed to them as an
// anonymous in-memory file reached through /proc, so no run writes to disk
// and parallel runs never share a file.
#ifndef QUILLFIRE_FUZZ_MEMORY_FILE_H
#define QUILLFIRE_FUZZ_MEMORY_FILE_H

#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

struct MemoryFile {
  int fd;
  char path[40];
};

// Opens the in-memory file once; every input replaces its whole content.
inline const char *memory_file_hold(MemoryFile *file, const uint8_t *data,
                                    size_t size) {
  if (file->fd <= 0) {
    file->fd = memfd_create("fuzz-input", 0);
    if (file->fd < 0) abort();
    snprintf(file->path, sizeof file->path, "/proc/self/fd/%d", file->fd);
  }
  if (ftruncate(file->fd, 0) != 0) abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(file->fd, data + done, size - done, (off_t)done);
    if (n <= 0) abort();
    done += (size_t)n;
  }
  return file->path;
}

#endif
