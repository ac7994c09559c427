// Plays the real game headless with a fixed script of keys and writes two of
// its screens as PNG files: title.png and court.png.
#include <stdio.h>

#include <filesystem>
#include <string>

#include "screenshot/capture.h"
#include "screenshot/png_write.h"

namespace {

int32_t save(const Shot &shot, const std::string &path) {
  if (!png_write_indexed(path.c_str(), shot.pixels.data(), shot.width,
                         shot.height, shot.palette)) {
    fprintf(stderr, "qf_screenshot: cannot write %s\n", path.c_str());
    return 0;
  }
  printf("%s\n", path.c_str());
  if (shot_is_plain(shot)) {
    fprintf(stderr,
            "qf_screenshot: %s is one plain colour: nothing was drawn\n",
            path.c_str());
  }
  return 1;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 2) {
    fprintf(stderr, "usage: %s [OUTPUT_DIRECTORY]\n", argv[0]);
    return 2;
  }
  // The game runs in its own folder; the output is named before going there.
  std::error_code error;
  const std::filesystem::path out =
      std::filesystem::absolute(argc == 2 ? argv[1] : QF_DOCS_DIR, error);
  std::filesystem::create_directories(out, error);
  if (error) {
    fprintf(stderr, "qf_screenshot: cannot make %s\n", out.c_str());
    return 1;
  }

  const Capture capture = capture_run(QF_RUN_DIR);
  if (!capture.ended) {
    fprintf(stderr, "qf_screenshot: the game did not end by its script\n");
    return 1;
  }
  if (!capture.title_taken || !capture.court_taken) {
    fprintf(stderr, "qf_screenshot: the game showed no %s screen\n",
            capture.title_taken ? "court" : "title");
    return 1;
  }
  const int32_t saved = save(capture.title, (out / "title.png").string()) &
                        save(capture.court, (out / "court.png").string());
  return saved ? 0 : 1;
}
