// The settings file: its place, its `key = value` text and its atomic
// write.
#include "game/settings.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "game/command_line.h"
#include "platform/os.h"

namespace {

// Far more than the file ever holds; a longer one is not ours.
const size_t MAX_FILE_BYTES = 16384;
// Window places and sizes beyond any screen are not ours either.
const long MAX_COORDINATE = 65535;

std::string trimmed(const std::string &text) {
  const char *space = " \t\r";
  const size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

int parse_yes_no(const std::string &value, int *out) {
  if (value == "yes") return (*out = 1), 1;
  if (value == "no") return (*out = 0), 1;
  return 0;
}

int parse_number(const std::string &value, long low, long high, int32_t *out) {
  if (value.empty()) return 0;
  char *end = nullptr;
  errno = 0;
  const long number = strtol(value.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || number < low || number > high) return 0;
  *out = (int32_t)number;
  return 1;
}

// Stores one known key's value; 1 when the value is good or the key unknown.
int apply_value(const std::string &key, const std::string &value, Settings *s) {
  if (key == "fullscreen") return parse_yes_no(value, &s->fullscreen);
  if (key == "mute") return parse_yes_no(value, &s->mute);
  if (key == "scale") return scale_mode_parse(value.c_str(), &s->integer_scale);
  if (key == "window_x") {
    return parse_number(value, -MAX_COORDINATE, MAX_COORDINATE, &s->window_x);
  }
  if (key == "window_y") {
    return parse_number(value, -MAX_COORDINATE, MAX_COORDINATE, &s->window_y);
  }
  if (key == "window_width") {
    return parse_number(value, 0, MAX_COORDINATE, &s->window_width);
  }
  if (key == "window_height") {
    return parse_number(value, 0, MAX_COORDINATE, &s->window_height);
  }
  return 1;
}

// The text of the regular file `file`, read to its end; "" in `problem`
// when it is whole and no longer than a settings file can be.
std::string read_text(FILE *file, std::string *problem) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const size_t got = fread(buffer, 1, sizeof buffer, file);
    text.append(buffer, got);
    if (text.size() > MAX_FILE_BYTES) {
      *problem = "too long to be a settings file";
      break;
    }
    if (got == sizeof buffer) continue;
    if (ferror(file)) *problem = strerror(errno);
    break;
  }
  return text;
}

}  // namespace

Settings settings_defaults(void) { return Settings{1, 0, 0, 0, 0, 0, 0}; }

std::string settings_path(const char *xdg_config_home, const char *home) {
  std::string base;
  if (xdg_config_home && xdg_config_home[0] == '/') {
    base = xdg_config_home;
  } else if (home && home[0] == '/') {
    base = std::string(home) + "/.config";
  } else {
    return "";
  }
  return base + "/quillfire/quillfire.conf";
}

int settings_parse(const std::string &text, Settings *settings,
                   std::string *error) {
  Settings read = settings_defaults();
  *settings = read;
  size_t start = 0;
  for (int line_number = 1; start < text.size(); ++line_number) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = trimmed(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    const std::string key =
        equals == std::string::npos ? "" : trimmed(line.substr(0, equals));
    if (line.find('\0') != std::string::npos || key.empty() ||
        !apply_value(key, trimmed(line.substr(equals + 1)), &read)) {
      *error = "line " + std::to_string(line_number) + " is not understood";
      return 0;
    }
  }
  if ((read.window_width == 0) != (read.window_height == 0)) {
    *error = "the window's width and height don't go together";
    return 0;
  }
  *settings = read;
  return 1;
}

std::string settings_format(const Settings &s) {
  std::string text = "# Quillfire's settings, written as the game ends.\n";
  text += std::string("fullscreen = ") + (s.fullscreen ? "yes" : "no") + "\n";
  if (s.window_width > 0 && s.window_height > 0) {
    text += "window_x = " + std::to_string(s.window_x) + "\n";
    text += "window_y = " + std::to_string(s.window_y) + "\n";
    text += "window_width = " + std::to_string(s.window_width) + "\n";
    text += "window_height = " + std::to_string(s.window_height) + "\n";
  }
  text += std::string("scale = ") + scale_mode_name(s.integer_scale) + "\n";
  text += std::string("mute = ") + (s.mute ? "yes" : "no") + "\n";
  return text;
}

int settings_load(const std::string &path, Settings *settings,
                  std::string *warning) {
  *settings = settings_defaults();
  // Not waiting: a FIFO put in the file's place must not hold up the game.
  OsError error;
  FILE *file = os_open_regular(path.c_str(), &error);
  if (!file) {
    if (error.missing) return 1;
    *warning = path + ": " + error.text;
    return 0;
  }
  std::string problem;
  const std::string text = read_text(file, &problem);
  fclose(file);
  if (problem.empty() && !settings_parse(text, settings, &problem)) {
    problem = "damaged (" + problem + ")";
  }
  if (problem.empty()) return 1;
  *warning = path + ": " + problem;
  return 0;
}

int settings_save(const std::string &path, const Settings &settings,
                  std::string *warning) {
  const size_t slash = path.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : path.substr(0, slash);
  OsError error;
  if (slash != std::string::npos && slash > 0 &&
      !os_make_folders(folder.c_str(), &error)) {
    *warning = "can't make the folder " + folder + ": " + error.text;
    return 0;
  }
  const std::string text = settings_format(settings);
  if (!os_write_whole(path.c_str(), text.data(), text.size(), &error)) {
    *warning = "can't write " + path + ": " + error.text;
    return 0;
  }
  return 1;
}
