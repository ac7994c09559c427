// The reasons a file is refused. What each picture must hold is listed with
// the files, in data_files.h.
#include "game/start_check.h"

#include <stdint.h>
#include <string.h>

#include "engine/display/bmp.h"
#include "engine/sound/wav.h"
#include "game/data_files.h"
#include "platform/os.h"

namespace {

const int32_t CELL_MODE = 0;
const int32_t GAME_BITS_PER_PIXEL = 8;
const uint32_t PALETTE_COLOURS = 256;

// What stops a file from being read at all, or "".
std::string file_problem(const std::string &path) {
  OsPathInfo info;
  OsError error;
  if (!os_path_info(path.c_str(), &info, &error)) {
    return error.missing ? "missing" : error.text;
  }
  if (info.folder) return "a folder, not a file";
  if (!info.regular) return "not a regular file";
  if (!os_path_readable(path.c_str(), &error)) {
    return std::string("can't be read: ") + error.text;
  }
  if (info.size == 0) return "empty";
  return "";
}

// The smallest picture holding every cut of `name`, in pixels. Cell (c, r)
// of a w x h cut spans pixels c(w+1)+1 .. c(w+1)+w across, and so down.
void smallest_size(const char *name, int64_t *width, int64_t *height) {
  *width = *height = 0;
  for (const DataCut &cut : DATA_CUTS) {
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
  // The ball's colour table becomes the palette of the whole game, all of
  // its 256 entries (the other pictures, the text and the fades index into
  // it); a shorter table leaves the rest black. The other pictures' tables
  // are never shown, so their length doesn't matter.
  const uint32_t colours = info.biClrUsed ? info.biClrUsed : PALETTE_COLOURS;
  if (strcmp(name, DATA_BALL_PICTURE) == 0 && colours < PALETTE_COLOURS) {
    return "its colour table holds " + std::to_string(colours) +
           (colours == 1 ? " colour" : " colours") +
           ", where the game's palette, taken from it, needs " +
           std::to_string(PALETTE_COLOURS);
  }
  for (const DataCut &cut : DATA_CUTS) {
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
