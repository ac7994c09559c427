// The real program: reads the command line, finds and checks the game's
// files, then runs the game from their folder, recorded or replayed when
// asked, or over the network.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "engine/sound/sound.h"
#include "game/command_line.h"
#include "game/data_folder.h"
#include "game/game.h"
#include "game/net_play.h"
#include "game/start_check.h"
#include "platform/record/record.h"

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

int run_game(void) { return WinMain(plat_instance(), nullptr, nullptr, 0); }

// After a replay stopped in the middle of the game: what WinMain does as it
// ends.
void end_game(void) {
  game_shutdown();
  plat_shutdown();
}

// How long a joiner waits for the host to answer.
const uint32_t JOIN_TIMEOUT_MS = 10000;

// Joining or watching: the host's stream, replayed as it comes. The replay
// is not paced: the stream itself arrives at the host's pace, and a client
// that comes late catches up as fast as it can.
int run_client(const std::string &where, int join) {
  RecordSource source;
  std::string error;
  if (!net_play_connect(where.c_str(), join, JOIN_TIMEOUT_MS, &source,
                        &error)) {
    fprintf(stderr, "quillfire: %s\n", error.c_str());
    return NET_PLAY_LOST_STATUS;
  }
  // The replay stops (RecordStop) from inside any platform call, the first
  // read of the stream's header included: all of it is caught here.
  bool game_started = false;
  int status;
  try {
    if (!record_replay(source, 0)) {
      fprintf(stderr, "quillfire: %s: %s\n", where.c_str(), record_error());
      net_play_end();
      return NET_PLAY_LOST_STATUS;
    }
    game_started = true;
    run_game();
    record_finish();
    // The host's game ended (its player quit): ours ended with it, and the
    // match is over for us too.
    fprintf(stderr, "quillfire: the host ended the game\n");
    status = NET_PLAY_LOST_STATUS;
  } catch (const RecordStop &stop) {
    record_finish();
    if (game_started) end_game();
    status = net_play_client_stopped(stop);
  }
  net_play_end();
  return status;
}

// Hosting: the game as usual, its recording streamed to every client (and
// also written to a file when asked).
int run_host(const std::string &where, const std::string &record_file) {
  std::string error;
  if (!record_file.empty()) {
    RecordSink file;
    if (!record_file_sink(record_file.c_str(), &file) ||
        !record_add_sink(file)) {
      fprintf(stderr, "quillfire: %s\n", record_error());
      return EXIT_STATUS_FAILURE;
    }
  }
  if (!net_play_host(where.c_str(), &error)) {
    fprintf(stderr, "quillfire: %s\n", error.c_str());
    record_finish();
    return EXIT_STATUS_FAILURE;
  }
  record_start();
  const int status = run_game();
  record_finish();
  net_play_end();
  return status;
}

RecordSessionMode session_mode(int demo) {
  switch (demo) {
    case DEMO_RECORD:
      return SESSION_RECORD;
    case DEMO_REPLAY:
      return SESSION_REPLAY;
    case DEMO_TIMEDEMO:
      return SESSION_TIMEDEMO;
    default:
      return SESSION_PLAY;
  }
}

// The recording is named from where the player stands, not from the data
// folder the game goes to.
std::string from_here(const std::string &path) {
  char here[4096];
  if (path.empty() || path[0] == '/' || !getcwd(here, sizeof here)) {
    return path;
  }
  return std::string(here) + "/" + path;
}

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
  // Addresses are options like the others: a bad one ends here, before any
  // window.
  const std::string &address = !options.host.empty()   ? options.host
                               : !options.join.empty() ? options.join
                                                       : options.watch;
  if (!address.empty() &&
      !net_play_check_address(address.c_str(), !options.host.empty(), &error)) {
    fprintf(stderr, "quillfire: %s\nTry 'quillfire --help'.\n", error.c_str());
    return EXIT_STATUS_USAGE;
  }
  const std::string demo_file = from_here(options.demo_file);
  const RecordSessionMode mode = session_mode(options.demo);

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

  // Recorded, replayed or over the network, whether there is sound is the
  // platform's answer to the game (the recording layer's, with --nosound),
  // never a choice made here: the game always asks, so that a recording
  // stays in step on a machine with or without a sound device.
  const bool client = !options.join.empty() || !options.watch.empty();
  const bool plain_play =
      mode == SESSION_PLAY && options.host.empty() && !client;
  if (mode == SESSION_REPLAY || mode == SESSION_TIMEDEMO || client) {
    if (options.no_sound) record_mute(1);
  } else if (options.no_sound) {
    if (plain_play) keep_sound_off();
    record_mute(1);
  } else {
    warn_of_sounds(folder);
    // Opened here, before the game, so that its absence can be told; the
    // game's own opening then finds it open.
    if (!plat_audio_open()) {
      fprintf(stderr,
              "quillfire: no sound device could be opened; playing silent\n");
      if (plain_play) keep_sound_off();
    }
  }
  plat_window_options(options.window, options.integer_scale);
  int status;
  if (!options.host.empty()) {
    status = run_host(options.host, demo_file);
  } else if (client) {
    const bool join = !options.join.empty();
    status = run_client(join ? options.join : options.watch, join);
  } else {
    status = record_session(mode, demo_file.c_str(), run_game, end_game,
                            "quillfire");
  }
  // Still open only when the game stopped before its own shutdown.
  plat_audio_close();
  return status;
}
