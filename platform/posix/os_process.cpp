// The program's own place, its working directory and its environment, on
// POSIX (Linux's /proc for the program's path).
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/os.h"
#include "platform/posix/os_error.h"

int os_program_path(char *path, size_t size) {
  if (size < 2) return 0;
  // readlink cuts a path that doesn't fit short without saying so: a path
  // that fills the buffer may have been cut.
  const ssize_t length = readlink("/proc/self/exe", path, size - 1);
  if (length <= 0 || (size_t)length >= size - 1) return 0;
  path[length] = '\0';
  return 1;
}

int os_working_folder(char *path, size_t size) {
  return getcwd(path, size) != nullptr;
}

int os_enter_folder(const char *path, OsError *error) {
  if (chdir(path) == 0) return 1;
  os_error_from_errno(error, errno);
  return 0;
}

const char *os_environment(const char *name) { return getenv(name); }
