// The search for the folder of pictures and sounds.
#include "game/data_folder.h"

#include <string.h>

#include "platform/os.h"

// The installed data folder from the installed program's folder; the build
// works it out from the install layout.
#ifndef QF_DATA_FROM_BIN
#define QF_DATA_FROM_BIN "../share/quillfire"
#endif

namespace {

int is_folder(const std::string &path) {
  OsPathInfo info;
  return os_path_info(path.c_str(), &info, nullptr) && info.folder;
}

int exists(const std::string &path) {
  OsPathInfo info;
  return os_path_info(path.c_str(), &info, nullptr);
}

int holds_game_files(const std::string &folder) {
  if (!is_folder(folder)) return 0;
  for (const char *name : DATA_PICTURES) {
    if (exists(folder + "/" + name)) return 1;
  }
  for (const char *name : DATA_SOUNDS) {
    if (exists(folder + "/" + name)) return 1;
  }
  return 0;
}

// The folder as messages should show it: without "bin/../", when it exists.
std::string tidy(const std::string &path) {
  char resolved[OS_PATH_SIZE];
  if (os_real_path(path.c_str(), resolved, sizeof resolved)) return resolved;
  return path;
}

// A folder the player named: used as given, so it must be there.
int take_named(const std::string &path, const char *origin, DataFolder *found,
               std::string *error) {
  OsPathInfo info;
  OsError system_error;
  const char *reason = nullptr;
  if (!os_path_info(path.c_str(), &info, &system_error)) {
    reason = system_error.text;
  } else if (!info.folder) {
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
  const char *env = os_environment("QUILLFIRE_DATA");
  search->env_dir = env ? env : "";
  search->exe_dir.clear();
  char exe[OS_PATH_SIZE];
  if (os_program_path(exe, sizeof exe)) {
    char *slash = strrchr(exe, '/');
    if (slash) search->exe_dir.assign(exe, slash == exe ? 1 : slash - exe);
  }
  char work[OS_PATH_SIZE];
  search->work_dir = os_working_folder(work, sizeof work) ? work : ".";
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
