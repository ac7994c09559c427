// The real program: reads the command line, finds and checks the game's
// files, then runs the game from their folder, recorded or replayed when
// asked, or over the network.
#include <stdio.h>

#include <string>

#include "engine/sound/sound.h"
#include "game/command_line.h"
#include "game/data_folder.h"
#include "game/desktop.h"
#include "game/game.h"
#include "game/net_keys.h"
#include "game/net_play.h"
#include "game/record_note.h"
#include "game/start_check.h"
#include "platform/os.h"
#include "platform/record/record.h"
#include "platform/sdl/sdl_backend.h"

namespace {

// What is said of the sounds: each that can't be used (the game plays
// without it), and a missing device. Worked out before the game, from where
// the player started it, and said by the game once its window is open, so
// that a game that can't start says only why.
std::string sound_warnings;

void find_sound_problems(const DataFolder &folder) {
  for (const char *name : DATA_SOUNDS) {
    const std::string problem = start_check_sound(folder.path, name);
    if (problem.empty()) continue;
    sound_warnings += "quillfire: warning: " + std::string(name) + " in " +
                      folder.path + ": " + problem + "; playing without it\n";
  }
}

void tell_of_sounds(int32_t device_open) {
  fputs(sound_warnings.c_str(), stderr);
  if (!device_open) {
    fputs("quillfire: no sound device could be opened; playing silent\n",
          stderr);
  }
}

// The sound table opens the device on its first use only. Marking that use
// as done keeps it from trying (again): every sound then loads as none and
// the game plays silent.
void keep_sound_off(void) { sound_first_call = 0; }

int run_game(void) { return WinMain(plat_instance(), nullptr, nullptr, 0); }

// How long a joiner or watcher waits for the host to answer.
const uint32_t JOIN_TIMEOUT_MS = 10000;

// Each player's --record: the match's confirmed frames, as they are known.
int record_into(const std::string &record_file) {
  if (record_file.empty()) return 1;
  RecordSink file;
  if (!record_file_sink(record_file.c_str(), &file) || !record_add_sink(file)) {
    fprintf(stderr, "quillfire: %s\n", record_error());
    return 0;
  }
  return 1;
}

// Watching: the host's stream, replayed as it comes. The replay is not
// paced: the stream itself arrives at the host's pace, and a watcher that
// comes late catches up as fast as it can.
int run_watcher(const std::string &where, const std::string &record_file) {
  RecordSource source;
  std::string error;
  // What this machine is shown is the host's stream: kept as it comes, it
  // is a recording that replays alone.
  if (!record_file.empty()) {
    RecordSink file;
    if (!record_file_sink(record_file.c_str(), &file)) {
      fprintf(stderr, "quillfire: %s\n", record_error());
      return EXIT_STATUS_FAILURE;
    }
    record_copy_replay(file);
  }
  if (!net_play_connect(where.c_str(), 0, JOIN_TIMEOUT_MS, &source, &error)) {
    fprintf(stderr, "quillfire: %s\n", error.c_str());
    return NET_PLAY_LOST_STATUS;
  }
  if (!record_replay(source, 0)) {
    // The player may have left while the header was awaited.
    int status;
    std::string line;
    if (record_replay_stopped(&status, &line)) {
      status = net_play_client_stopped(status, line);
    } else {
      fprintf(stderr, "quillfire: %s: %s\n", where.c_str(), record_error());
      status = NET_PLAY_LOST_STATUS;
    }
    net_play_end();
    return status;
  }
  run_game();
  record_finish();
  int status;
  std::string line;
  if (record_replay_stopped(&status, &line)) {
    status = net_play_client_stopped(status, line);
  } else {
    // The host's game ended (its player quit): ours ended with it, as it
    // should, once the screen had said so.
    fprintf(stderr, "quillfire: the host ended the game\n");
    status = EXIT_STATUS_OK;
  }
  net_play_end();
  if (status == 0 && record_incomplete()) status = RECORD_INCOMPLETE_STATUS;
  return status;
}

// Either player's match, once connected: its exit status, or
// RECORD_INCOMPLETE_STATUS when it ended well but its --record could not
// all be written.
int play_match(int side, int input_delay) {
  int status = net_play_match(side, (uint32_t)input_delay, 0);
  record_finish();
  net_play_end();
  if (status == 0 && record_incomplete()) status = RECORD_INCOMPLETE_STATUS;
  return status;
}

// Joining as player 2: this machine runs the game too, with its own keys.
int run_joiner(const std::string &where, const std::string &record_file,
               int input_delay) {
  std::string error;
  if (!record_into(record_file)) return EXIT_STATUS_FAILURE;
  if (!net_play_connect(where.c_str(), 1, JOIN_TIMEOUT_MS, nullptr, &error)) {
    fprintf(stderr, "quillfire: %s\n", error.c_str());
    record_finish();
    return NET_PLAY_LOST_STATUS;
  }
  return play_match(NET_JOINER, input_delay);
}

// Hosting: player 1's game, its confirmed frames streamed to every watcher
// (and also written to a file when asked).
int run_host(const std::string &where, const std::string &record_file,
             int input_delay) {
  std::string error;
  if (!record_into(record_file)) return EXIT_STATUS_FAILURE;
  if (!net_play_host(where.c_str(), &error)) {
    fprintf(stderr, "quillfire: %s\n", error.c_str());
    record_finish();
    return EXIT_STATUS_FAILURE;
  }
  return play_match(NET_HOST, input_delay);
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
  char here[OS_PATH_SIZE];
  if (path.empty() || path[0] == '/' || !os_working_folder(here, sizeof here)) {
    return path;
  }
  return std::string(here) + "/" + path;
}

}  // namespace

int main(int argc, char **argv) {
  plat_use(sdl_backend());
  LaunchOptions options;
  std::string error;
  if (!command_line_parse(argc, argv, &options, &error)) {
    fputs(command_line_refusal(error).c_str(), stderr);
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
  OsError entering;
  if (!os_enter_folder(folder.path.c_str(), &entering)) {
    fprintf(stderr, "quillfire: can't enter %s: %s\n", folder.path.c_str(),
            entering.text);
    return EXIT_STATUS_FAILURE;
  }

  // Sound changes nothing the game shows, so a recording stays in step with
  // or without it: --nosound keeps the device closed whatever is played.
  // What is said of the sounds is said only when this machine plays a game
  // of its own.
  const bool client = !options.join.empty() || !options.watch.empty();
  const bool replay = mode == SESSION_REPLAY || mode == SESSION_TIMEDEMO;
  if (options.no_sound) {
    keep_sound_off();
  } else if (!replay && options.watch.empty()) {
    find_sound_problems(folder);
    sounds_ready_hook = tell_of_sounds;
  }
  std::string warning;
  if (!desktop_start(options, &warning)) {
    fprintf(stderr, "quillfire: warning: %s\n", warning.c_str());
  }
  record_on_note(record_note_draw);
  int status;
  if (!options.host.empty()) {
    status = run_host(options.host, demo_file, options.input_delay);
  } else if (!options.join.empty()) {
    status = run_joiner(options.join, demo_file, options.input_delay);
  } else if (client) {
    status = run_watcher(options.watch, demo_file);
  } else {
    status = record_session(mode, demo_file.c_str(), run_game, "quillfire");
  }
  // Still open only when the game stopped before its own shutdown.
  plat_audio_close();
  if (!desktop_end(&warning)) {
    fprintf(stderr, "quillfire: warning: %s\n", warning.c_str());
  }
  return status;
}
