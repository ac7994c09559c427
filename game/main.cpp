// The real program: reads the command line, then runs the game, recorded or
// replayed when asked, or over the network.
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "engine/sound/sound.h"
#include "game/command_line.h"
#include "game/game.h"
#include "game/net_play.h"
#include "platform/record/record.h"

namespace {

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
    return EXIT_STATUS_FAILURE;
  }
  if (!record_replay(source, 0)) {
    fprintf(stderr, "quillfire: %s: %s\n", where.c_str(), record_error());
    return EXIT_STATUS_FAILURE;
  }
  int status;
  try {
    run_game();
    record_finish();
    // The host's game ended (its player quit): ours ended with it, and the
    // match is over for us too.
    fprintf(stderr, "quillfire: the host ended the game\n");
    status = NET_PLAY_LOST_STATUS;
  } catch (const RecordStop &stop) {
    record_finish();
    end_game();
    if (!stop.line.empty()) fprintf(stderr, "%s\n", stop.line.c_str());
    status = stop.status;
  }
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
    // The game can only take the whole screen so far.
    fprintf(stderr,
            "quillfire: --window is not available yet: the game plays full "
            "screen only\n");
    return EXIT_STATUS_USAGE;
  }
  // The recording is named from where the player stands, not from the data
  // folder the game goes to.
  std::string demo_file = options.demo_file;
  if (!demo_file.empty() && demo_file[0] != '/') {
    char here[4096];
    if (getcwd(here, sizeof here))
      demo_file = std::string(here) + "/" + demo_file;
  }
  if (!options.data_dir.empty() && chdir(options.data_dir.c_str()) != 0) {
    fprintf(stderr, "quillfire: can't use data folder '%s'\n",
            options.data_dir.c_str());
    return EXIT_STATUS_FAILURE;
  }
  const RecordSessionMode mode = session_mode(options.demo);
  const bool networked =
      !options.host.empty() || !options.join.empty() || !options.watch.empty();
  if (options.no_sound && mode == SESSION_PLAY && !networked) {
    // The sound table opens the device on its first use only; marking that
    // use as done keeps the device closed, and every sound loads as none.
    sound_first_call = 0;
  } else if (options.no_sound) {
    // Recorded or replayed, silence is the platform's: the game asks for the
    // device as always, so that recordings made and replayed with or
    // without sound stay in step.
    record_mute(1);
  }
  if (!options.host.empty()) return run_host(options.host, demo_file);
  if (!options.join.empty()) return run_client(options.join, 1);
  if (!options.watch.empty()) return run_client(options.watch, 0);
  return record_session(mode, demo_file.c_str(), run_game, end_game,
                        "quillfire");
}
