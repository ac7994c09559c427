// Opening a data file without trusting what the name stands for.
#ifndef QUILLFIRE_REGULAR_FILE_H
#define QUILLFIRE_REGULAR_FILE_H

#include <stdio.h>

// Called by the BMP and WAV readers in place of fopen(name, "rb"). Opens
// `path` for reading only when it is a regular file, never waiting: a FIFO
// with no writer (or a device) in place of a picture or a sound would
// otherwise hold the game at its loading screen for ever. Null when the
// file can't be opened or is not a regular file.
FILE *regular_file_open(const char *path);

#endif
