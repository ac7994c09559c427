// Where the game's pictures and sounds are: found once, before the game
// starts, which then reads them by plain name from that folder.
#ifndef QUILLFIRE_DATA_FOLDER_H
#define QUILLFIRE_DATA_FOLDER_H

#include <string>

#include "game/data_files.h"  // the files looked for: DATA_PICTURES, DATA_SOUNDS

// What the search starts from. Empty means "not given" or "not known".
struct DataSearch {
  std::string option_dir;  // --data DIR
  std::string env_dir;     // the QUILLFIRE_DATA environment variable
  std::string exe_dir;     // the folder of the running executable
  std::string work_dir;    // the working directory
};

struct DataFolder {
  std::string path;    // the folder chosen
  std::string origin;  // how it was found, for messages
};

// Called by main once, after the command line and before the folder is
// chosen. Fills `search` from this process: QUILLFIRE_DATA, the executable's
// folder (from /proc/self/exe, so symbolic links to it are followed) and the
// working directory; option_dir is left as it was.
void data_folder_search_here(DataSearch *search);

// Called by main right after data_folder_search_here; main then makes the
// folder the working directory, or exits with the error. Tests call it with
// made-up searches. Chooses the folder, in this order: option_dir; env_dir;
// exe_dir's ../share/quillfire (an installed or unpacked prefix; the build
// may set another layout); exe_dir's run/ (the build tree); work_dir. A folder
// that was named (option or variable) must exist, or the search fails with one
// line in `error`. A folder found beside the executable is taken only when it
// holds at least one of those files; the working directory is the last resort,
// whatever it holds. Returns 1 with `found` filled, or 0.
int data_folder_find(const DataSearch &search, DataFolder *found,
                     std::string *error);

#endif
