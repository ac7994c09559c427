// The reasons handed back by the POSIX side of platform/os.h.
#include "platform/posix/os_error.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

void os_error_from_errno(OsError *error, int number) {
  if (!error) return;
  error->missing = number == ENOENT;
  snprintf(error->text, sizeof error->text, "%s", strerror(number));
}

void os_error_say(OsError *error, const char *text) {
  if (!error) return;
  error->missing = 0;
  snprintf(error->text, sizeof error->text, "%s", text);
}
