// The real program: reads the command line, finds and checks the game's
// files, then runs the game from their folder.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "engine/sound/sound.h"
#include "game/command_line.h"
#include "game/data_folder.h"
#include "game/game.h"
#include "game/start_check.h"

namespace {

// Tells of each sound that can't be used; the game plays without it.
void warn_of_sounds(const DataFolder &folder) {
  for (const char *name : DATA_SOUNDS) {
    const std::string problem = start_check_sound(folder.path, name);
    if (problem.empty()) continue;
    fprintf(stderr, "quillfire: warning: %s in %s: %s; playing without it\n",
            name, folder.path.c_str(), problem.c_str());
  }
}

// The sound table opens the device on its first use only. Marking that use
// as done keeps it from trying (again): every sound then loads as none and
// the game plays silent.
void keep_sound_off(void) { sound_first_call = 0; }

}  // namespace

int main(int argc, char **argv) {
  LaunchOptions options;
  std::string error;
  if (!command_line_parse(argc, argv, &options, &error)) {
    fprintf(stderr, "quillfire: %s\n%s", error.c_str(),
            command_line_usage().c_str());
    return EXIT_STATUS_USAGE;
  }
  if (options.show_help) {
    fputs(command_line_usage().c_str(), stdout);
    return EXIT_STATUS_OK;
  }
  if (options.show_version) {
    printf("quillfire %s\n", QUILLFIRE_VERSION);
    return EXIT_STATUS_OK;
  }
  if (options.window) {
    fprintf(stderr,
            "quillfire: --window is not available yet: the game plays full "
            "screen only\n");
    return EXIT_STATUS_USAGE;
  }

  DataSearch search;
  search.option_dir = options.data_dir;
  data_folder_search_here(&search);
  DataFolder folder;
  if (!data_folder_find(search, &folder, &error)) {
    fprintf(stderr, "quillfire: %s\n", error.c_str());
    return EXIT_STATUS_FAILURE;
  }
  std::string picture, problem;
  if (!start_check_pictures(folder.path, &picture, &problem)) {
    fprintf(stderr, "quillfire: %s in %s (%s): %s\n", picture.c_str(),
            folder.path.c_str(), folder.origin.c_str(), problem.c_str());
    return EXIT_STATUS_FAILURE;
  }
  // The game reads its files by plain name.
  if (chdir(folder.path.c_str()) != 0) {
    fprintf(stderr, "quillfire: can't enter %s: %s\n", folder.path.c_str(),
            strerror(errno));
    return EXIT_STATUS_FAILURE;
  }

  if (options.no_sound) {
    keep_sound_off();
  } else {
    warn_of_sounds(folder);
    // Opened here, before the game, so that its absence can be told; the
    // game's own opening then finds it open.
    if (!plat_audio_open()) {
      fprintf(stderr,
              "quillfire: no sound device could be opened; playing silent\n");
      keep_sound_off();
    }
  }
  const int status = WinMain(plat_instance(), nullptr, nullptr, 0);
  // Still open only when the game stopped before its own shutdown.
  plat_audio_close();
  return status;
}
