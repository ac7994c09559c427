#include <stdio.h>
#include <string.h>

#include "game/game.h"
#include "platform/record/record.h"

namespace {

int run_game(void) { return WinMain(plat_instance(), nullptr, nullptr, 0); }

}  // namespace

int main(int argc, char **argv) {
  RecordSessionMode mode = SESSION_PLAY;
  const char *path = nullptr;
  if (argc == 3 && strcmp(argv[1], "--record") == 0) mode = SESSION_RECORD;
  if (argc == 3 && strcmp(argv[1], "--replay") == 0) mode = SESSION_REPLAY;
  if (argc == 3 && strcmp(argv[1], "--timedemo") == 0) mode = SESSION_TIMEDEMO;
  if (mode != SESSION_PLAY) {
    path = argv[2];
  } else if (argc != 1) {
    fprintf(stderr, "usage: quillfire [--record|--replay|--timedemo FILE]\n");
    return 2;
  }
  return record_session(mode, path, run_game, "quillfire");
}
