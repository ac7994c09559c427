// The web program: the game in a page, on the browser backend. The page
// preloads the game's files into /data and, for a replay, puts the
// recording in the program's file system and names it on the command line
// (--replay FILE or --timedemo FILE); what the replay found is told back to
// the page (Module.qfWeb.result) and shown there.
#include <stdio.h>
#include <string.h>

#include <string>

#include "game/game.h"
#include "game/start_check.h"
#include "platform/os.h"
#include "platform/record/record.h"
#include "platform/web/web_backend.h"

namespace {

// Where the page's preloaded files are.
const char *const DATA_FOLDER = "/data";

int run_game(void) { return WinMain(plat_instance(), nullptr, nullptr, 0); }

}  // namespace

int main(int argc, char **argv) {
  plat_use(web_backend());
  RecordSessionMode mode = SESSION_PLAY;
  const char *path = "";
  if (argc == 3 && strcmp(argv[1], "--replay") == 0) {
    mode = SESSION_REPLAY;
    path = argv[2];
  } else if (argc == 3 && strcmp(argv[1], "--timedemo") == 0) {
    mode = SESSION_TIMEDEMO;
    path = argv[2];
  }
  std::string picture, problem;
  if (!start_check_pictures(DATA_FOLDER, &picture, &problem)) {
    web_fail((picture + ": " + problem).c_str());
    return 1;
  }
  OsError entering;
  if (!os_enter_folder(DATA_FOLDER, &entering)) {
    web_fail(entering.text);
    return 1;
  }
  const int status = record_session(mode, path, run_game, "quillfire");
  if (mode != SESSION_PLAY) {
    web_report(mode == SESSION_REPLAY ? "replay" : "timedemo", status,
               (double)record_frames(), record_replay_complete(),
               record_seconds());
  } else {
    web_report("play", status, 0, 0, 0);
  }
  return status;
}
