// The operating system's files, folders and environment, for the program's
// start and end (main, the data folder search, the start-up checks, the
// settings file) and the library's file readers: the only way game/ and
// engine/ reach them.
//
// Plain functions, not part of a backend's table of calls: every desktop
// backend runs on the same POSIX system (platform/posix/), so each program
// links them once, whichever backend it picks; a system without these calls
// (a browser) supplies its own file of them. Results follow the library's
// convention: 1 for success, 0 for failure, with the system's reason in an
// OsError when the caller passes one (null when it needs none).
#ifndef QUILLFIRE_OS_H
#define QUILLFIRE_OS_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

// Enough for any path the game passes around.
#define OS_PATH_SIZE 4096

// Why a call failed, for the one line the caller's caller prints: the
// system's own words ("No such file or directory", "Permission denied"), or
// the call's ("not a regular file"). `missing` is 1 when the reason is that
// nothing is at the path, which some callers take as no fault.
typedef struct OsError {
  int missing;
  char text[128];
} OsError;

// What a path names, symbolic links followed.
typedef struct OsPathInfo {
  int folder;    // 1 for a directory
  int regular;   // 1 for a regular file (not a FIFO, device or socket)
  int64_t size;  // bytes
} OsPathInfo;

// Called by the data folder search, once before the game: the running
// program's own file, symbolic links to it followed (/proc/self/exe), so
// that the folders beside it are found however it was started. 0 when the
// system can't tell or it doesn't fit `size` bytes.
int os_program_path(char *path, size_t size);

// The working directory, for main to name files given on the command line
// from where the player stands, and for the data folder search. 0 when it
// can't be known (removed, or too long for `size`).
int os_working_folder(char *path, size_t size);

// Called by main, once, after the data folder is chosen: the game reads its
// files by plain name from the working directory, which becomes `path`.
int os_enter_folder(const char *path, OsError *error);

// The environment variable `name`, or null when it is unset. The text stays
// valid until the environment changes; main reads what it needs at start-up.
const char *os_environment(const char *name);

// Called by the data folder search and the start-up checks before the game
// opens anything: what `path` is. 0, with `missing` set when nothing is
// there, when it can't be looked at.
int os_path_info(const char *path, OsPathInfo *info, OsError *error);

// Whether this process may read `path` (its permissions, as they stand).
int os_path_readable(const char *path, OsError *error);

// `path` as the system resolves it: absolute, without "..", "." or symbolic
// links, for messages that name a folder. 0 when it doesn't exist.
int os_real_path(const char *path, char *resolved, size_t size);

// Called as the settings are saved: makes the folder `path` and every folder
// above it that is missing, readable by this user only. 1 when it is a
// folder afterwards (made or already there).
int os_make_folders(const char *path, OsError *error);

// Called by the BMP and WAV readers and the settings file in place of
// fopen(path, "rb"). Opens `path` for reading only when it is a regular
// file, never waiting: a FIFO with no writer (or a device) in place of a
// picture, a sound or the settings would otherwise hold the game for ever.
// Null when the file can't be opened ("missing" when it isn't there) or is
// not a regular file; the caller closes it with fclose.
FILE *os_open_regular(const char *path, OsError *error);

// Called as the settings are saved: writes `size` bytes to `path`, readable
// by this user only, through a temporary file in the same folder renamed
// over the old one, so that a reader or a kill at any moment finds either
// the old file whole or the new one. On a failure the old file is untouched
// and the temporary file gone.
int os_write_whole(const char *path, const void *data, size_t size,
                   OsError *error);

#ifdef __cplusplus
}
#endif

#endif
