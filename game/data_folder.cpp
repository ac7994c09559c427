// The search for the folder of pictures and sounds.
#include "game/data_folder.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

const char *const DATA_PICTURES[DATA_PICTURE_COUNT] = {
    "BALL3D8BIG.BMP", "PADDLES3D8.BMP", "BACK8.BMP", "TITLE8.BMP"};
const char *const DATA_SOUNDS[DATA_SOUND_COUNT] = {"BOING.WAV", "BUZZER.WAV",
                                                   "SPIKE.WAV", "FIRE.WAV"};

// The installed data folder from the installed program's folder; the build
// works it out from the install layout.
#ifndef QF_DATA_FROM_BIN
#define QF_DATA_FROM_BIN "../share/quillfire"
#endif

namespace {

int is_folder(const std::string &path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int holds_game_files(const std::string &folder) {
  if (!is_folder(folder)) return 0;
  for (const char *name : DATA_PICTURES) {
    if (access((folder + "/" + name).c_str(), F_OK) == 0) return 1;
  }
  for (const char *name : DATA_SOUNDS) {
    if (access((folder + "/" + name).c_str(), F_OK) == 0) return 1;
  }
  return 0;
}

// The folder as messages should show it: without "bin/../", when it exists.
std::string tidy(const std::string &path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) return resolved;
  return path;
}

// A folder the player named: used as given, so it must be there.
int take_named(const std::string &path, const char *origin, DataFolder *found,
               std::string *error) {
  struct stat info;
  const char *reason = nullptr;
  if (stat(path.c_str(), &info) != 0) {
    reason = strerror(errno);
  } else if (!S_ISDIR(info.st_mode)) {
    reason = "not a folder";
  }
  if (reason) {
    *error = "data folder " + path + " (" + origin + "): " + reason;
    return 0;
  }
  *found = DataFolder{tidy(path), origin};
  return 1;
}

}  // namespace

void data_folder_search_here(DataSearch *search) {
  const char *env = getenv("QUILLFIRE_DATA");
  search->env_dir = env ? env : "";
  search->exe_dir.clear();
  char exe[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length > 0) {
    exe[length] = '\0';
    char *slash = strrchr(exe, '/');
    if (slash) search->exe_dir.assign(exe, slash == exe ? 1 : slash - exe);
  }
  char work[PATH_MAX];
  search->work_dir = getcwd(work, sizeof work) ? work : ".";
}

int data_folder_find(const DataSearch &search, DataFolder *found,
                     std::string *error) {
  if (!search.option_dir.empty()) {
    return take_named(search.option_dir, "given with --data", found, error);
  }
  if (!search.env_dir.empty()) {
    return take_named(search.env_dir, "from QUILLFIRE_DATA", found, error);
  }
  if (!search.exe_dir.empty()) {
    const std::string installed = search.exe_dir + "/" + QF_DATA_FROM_BIN;
    if (holds_game_files(installed)) {
      *found = DataFolder{tidy(installed), "installed beside the program"};
      return 1;
    }
    const std::string built = search.exe_dir + "/run";
    if (holds_game_files(built)) {
      *found = DataFolder{tidy(built), "the build's run folder"};
      return 1;
    }
  }
  *found = DataFolder{search.work_dir, "the working directory"};
  return 1;
}
