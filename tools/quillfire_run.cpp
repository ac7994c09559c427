// quillfire-run: plays the real game headless, from a key script or a
// recording, and writes its frames, its sound and a log of every frame.
// The same input gives the same files, byte for byte.
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "run/runner.h"

namespace {

const char USAGE[] =
    "usage: quillfire-run [--script FILE] [--replay FILE | --timedemo FILE]\n"
    "                     [--out DIR] [--assets DIR]\n"
    "  --script FILE    keys, built-in players, shots and the end, by time\n"
    "                   (with a recording: only its shots are taken)\n"
    "  --replay FILE    feeds the game a recording made with --record\n"
    "  --timedemo FILE  the same, reporting frames per second at the end\n"
    "  --out DIR        where frames.log, mix.wav and the shots go (.)\n"
    "  --assets DIR     where the game's pictures and sounds are\n"
    "  -h, --help       show this help and exit\n";

int usage() {
  fputs(USAGE, stderr);
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  RunRequest request;
  request.assets_dir = QF_RUN_DIR;
  request.out_dir = ".";
  std::string script_path;
  for (int i = 1; i < argc; i++) {
    const std::string option = argv[i];
    // Help asked for is an answer, not a mistake.
    if (option == "--help" || option == "-h") {
      fputs(USAGE, stdout);
      return 0;
    }
    if (i + 1 == argc) return usage();
    const char *value = argv[++i];
    if (option == "--script") {
      script_path = value;
    } else if (option == "--replay" || option == "--timedemo") {
      if (!request.replay.empty()) return usage();
      request.replay = value;
      request.timedemo = option == "--timedemo";
    } else if (option == "--out") {
      request.out_dir = value;
    } else if (option == "--assets") {
      request.assets_dir = value;
    } else {
      return usage();
    }
  }
  if (script_path.empty() && request.replay.empty()) return usage();

  if (!script_path.empty()) {
    std::ifstream file(script_path);
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    if (!file || !script_parse(text.str(), &request.script, &error)) {
      fprintf(stderr, "quillfire-run: %s: %s\n", script_path.c_str(),
              file ? error.c_str() : "cannot read it");
      return 2;
    }
  }
  // The game runs in its assets' folder: every path is made whole first.
  std::error_code fs_error;
  namespace fs = std::filesystem;
  fs::create_directories(request.out_dir, fs_error);
  request.out_dir = fs::absolute(request.out_dir, fs_error).string();
  if (!request.replay.empty()) {
    request.replay = fs::absolute(request.replay, fs_error).string();
  }
  request.assets_dir = fs::absolute(request.assets_dir, fs_error).string();
  if (fs_error) {
    fprintf(stderr, "quillfire-run: %s\n", fs_error.message().c_str());
    return 1;
  }
  return runner_run(request);
}
