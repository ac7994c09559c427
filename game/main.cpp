// The real program: reads the command line, then runs the game.
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "engine/sound/sound.h"
#include "game/command_line.h"
#include "game/game.h"

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
    // The game can only take the whole screen so far.
    fprintf(stderr,
            "quillfire: --window is not available yet: the game plays full "
            "screen only\n");
    return EXIT_STATUS_USAGE;
  }
  if (!options.data_dir.empty() && chdir(options.data_dir.c_str()) != 0) {
    fprintf(stderr, "quillfire: can't use data folder '%s'\n",
            options.data_dir.c_str());
    return EXIT_STATUS_FAILURE;
  }
  // The sound table opens the device on its first use only; marking that use
  // as done keeps the device closed, and every sound then loads as none.
  if (options.no_sound) sound_first_call = 0;
  return WinMain(plat_instance(), nullptr, nullptr, 0);
}
