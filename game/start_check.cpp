// What each picture must hold, and the reasons a file is refused.
#include "game/start_check.h"

#include <errno.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/display/bmp.h"
#include "engine/sound/wav.h"
#include "game/data_folder.h"

namespace {

// One rectangle the scene cuts from a picture, in cell mode: its size and
// its cell. These are the cuts load_assets makes; a picture must hold them
// all.
struct Cut {
  const char *picture;
  int32_t width, height, cx, cy;
};

const Cut SCENE_CUTS[] = {
    {"BALL3D8BIG.BMP", 11, 11, 0, 0}, {"PADDLES3D8.BMP", 66, 8, 0, 0},
    {"PADDLES3D8.BMP", 65, 8, 1, 0},  {"BACK8.BMP", 639, 479, 0, 0},
    {"TITLE8.BMP", 619, 459, 0, 0},
};
const int32_t CELL_MODE = 0;
const int32_t GAME_BITS_PER_PIXEL = 8;

const char *const PICTURES[] = {"BALL3D8BIG.BMP", "PADDLES3D8.BMP", "BACK8.BMP",
                                "TITLE8.BMP"};

// What stops a file from being read at all, or "".
std::string file_problem(const std::string &path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    return errno == ENOENT ? "missing" : strerror(errno);
  }
  if (S_ISDIR(info.st_mode)) return "a folder, not a file";
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  if (access(path.c_str(), R_OK) != 0) {
    return std::string("can't be read: ") + strerror(errno);
  }
  if (info.st_size == 0) return "empty";
  return "";
}

// The smallest picture holding every cut of `name`, in pixels. Cell (c, r)
// of a w x h cut spans pixels c(w+1)+1 .. c(w+1)+w across, and so down.
void smallest_size(const char *name, int64_t *width, int64_t *height) {
  *width = *height = 0;
  for (const Cut &cut : SCENE_CUTS) {
    if (strcmp(cut.picture, name) != 0) continue;
    const int64_t right = (int64_t)cut.cx * (cut.width + 1) + 1 + cut.width;
    const int64_t bottom = (int64_t)cut.cy * (cut.height + 1) + 1 + cut.height;
    if (right > *width) *width = right;
    if (bottom > *height) *height = bottom;
  }
}

std::string loaded_picture_problem(const BitmapFile &bitmap, const char *name) {
  const BITMAPINFOHEADER &info = bitmap.info_header;
  if (info.biBitCount != GAME_BITS_PER_PIXEL) {
    // Not the file's own depth: the loader keeps 24-bit pixels as 16-bit.
    return "not an 8-bit (256-colour) picture";
  }
  for (const Cut &cut : SCENE_CUTS) {
    if (strcmp(cut.picture, name) != 0) continue;
    if (bmp_cell(&bitmap, cut.width, cut.height, cut.cx, cut.cy, CELL_MODE)) {
      continue;
    }
    int64_t width = 0, height = 0;
    smallest_size(name, &width, &height);
    return "too small (" + std::to_string(info.biWidth) + " x " +
           std::to_string(info.biHeight) + " pixels, where the game needs " +
           std::to_string(width) + " x " + std::to_string(height) + ")";
  }
  return "";
}

}  // namespace

std::string start_check_picture(const std::string &folder, const char *name) {
  const std::string path = folder + "/" + name;
  std::string problem = file_problem(path);
  if (!problem.empty()) return problem;
  BitmapFile bitmap = {};
  if (!bmp_load(&bitmap, path.c_str())) {
    return "damaged, cut short or not an uncompressed BMP picture";
  }
  problem = loaded_picture_problem(bitmap, name);
  bmp_unload(&bitmap);
  return problem;
}

std::string start_check_sound(const std::string &folder, const char *name) {
  const std::string path = folder + "/" + name;
  const std::string problem = file_problem(path);
  if (!problem.empty()) return problem;
  WavData wav = {};
  if (!wav_read(path.c_str(), &wav)) {
    return "damaged or not a PCM WAVE sound";
  }
  wav_free(&wav);
  return "";
}

int start_check_pictures(const std::string &folder, std::string *name,
                         std::string *reason) {
  for (const char *picture : DATA_PICTURES) {
    const std::string problem = start_check_picture(folder, picture);
    if (problem.empty()) continue;
    *name = picture;
    *reason = problem;
    return 0;
  }
  return 1;
}
