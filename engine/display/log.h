// The debug log: lines the library writes while it works (a BOB's creation),
// sent to log_stream when one is open and dropped when it is null. Both are
// defined in text.cpp, whose fixed-size message buffer they share.
#ifndef QUILLFIRE_LOG_H
#define QUILLFIRE_LOG_H

#include <stdint.h>
#include <stdio.h>

extern FILE *log_stream;

// Writes the formatted message, cut to 79 characters; 0 when there is no
// stream or format.
int32_t log_write(const char *format, ...);

#endif
