// The settings file: its place, its `key = value` text and its atomic
// write.
#include "game/settings.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "game/command_line.h"

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

// Makes `folder` and the folders above it; 1 when it is there afterwards.
int make_folders(const std::string &folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 1 : 0;
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 &&
      !make_folders(folder.substr(0, slash))) {
    return 0;
  }
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

int write_all(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return 0;
    done += (size_t)wrote;
  }
  return 1;
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
  // Not blocking: a FIFO put in the file's place must not hold up the game.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return 1;
    *warning = path + ": " + strerror(errno);
    return 0;
  }
  struct stat info;
  std::string text;
  std::string problem;
  if (fstat(fd, &info) != 0) {
    problem = strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    problem = "not a regular file";
  } else if ((size_t)info.st_size > MAX_FILE_BYTES) {
    problem = "too long to be a settings file";
  } else {
    char buffer[4096];
    for (;;) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        problem = strerror(errno);
        break;
      }
      if (got == 0) break;
      text.append(buffer, (size_t)got);
      if (text.size() > MAX_FILE_BYTES) {
        problem = "too long to be a settings file";
        break;
      }
    }
  }
  close(fd);
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
  if (slash != std::string::npos && slash > 0 && !make_folders(folder)) {
    *warning = "can't make the folder " + folder + ": " + strerror(errno);
    return 0;
  }
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) {
    *warning = "can't write " + path + ": " + strerror(errno);
    return 0;
  }
  const int written = write_all(fd, settings_format(settings)) &&
                      fchmod(fd, 0600) == 0 && fsync(fd) == 0;
  const int saved_errno = errno;
  const int closed = close(fd) == 0;
  if (!written || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
    *warning =
        "can't write " + path + ": " + strerror(written ? errno : saved_errno);
    unlink(temporary.c_str());
    return 0;
  }
  return 1;
}
