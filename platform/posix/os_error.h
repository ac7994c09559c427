// How the POSIX calls below platform/os.h fill an OsError.
#ifndef QUILLFIRE_OS_ERROR_H
#define QUILLFIRE_OS_ERROR_H

#include "platform/os.h"

// Called right after a failed system call: its errno in the system's words.
void os_error_from_errno(OsError *error, int number);

// A reason of the call's own, such as "not a regular file".
void os_error_say(OsError *error, const char *text);

#endif
