// The settings file: what is read from it, what a bad one gives, and that
// writing it never leaves it half done.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "game/settings.h"

namespace fs = std::filesystem;

namespace {

bool same(const Settings &a, const Settings &b) {
  return a.fullscreen == b.fullscreen && a.window_x == b.window_x &&
         a.window_y == b.window_y && a.window_width == b.window_width &&
         a.window_height == b.window_height &&
         a.integer_scale == b.integer_scale && a.mute == b.mute;
}

std::string describe(const Settings &s) {
  std::ostringstream out;
  out << "fullscreen " << s.fullscreen << " window " << s.window_width << "x"
      << s.window_height << "+" << s.window_x << "+" << s.window_y
      << " integer " << s.integer_scale << " mute " << s.mute;
  return out.str();
}

const Settings DEFAULTS = {1, 0, 0, 0, 0, 0, 0};

TEST(Settings, PathFollowsTheXdgRules) {
  const struct {
    const char *xdg, *home, *path;
  } rows[] = {
      {"/cfg", "/home/ann", "/cfg/quillfire/quillfire.conf"},
      {nullptr, "/home/ann", "/home/ann/.config/quillfire/quillfire.conf"},
      {"", "/home/ann", "/home/ann/.config/quillfire/quillfire.conf"},
      // A relative XDG_CONFIG_HOME is to be ignored.
      {"cfg", "/home/ann", "/home/ann/.config/quillfire/quillfire.conf"},
      {nullptr, nullptr, ""},
      {nullptr, "", ""},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(settings_path(row.xdg, row.home), row.path)
        << (row.xdg ? row.xdg : "(unset)") << " "
        << (row.home ? row.home : "(unset)");
  }
}

TEST(Settings, ReadsWhatItUnderstandsAndRefusesTheRest) {
  const struct {
    std::string text;
    int ok;
    Settings want;  // the defaults whenever the text is refused
  } rows[] = {
      {"", 1, DEFAULTS},
      {"# only a comment\n\n   \n", 1, DEFAULTS},
      {"fullscreen = no\nwindow_x = 40\nwindow_y = -12\nwindow_width = 1000\n"
       "window_height = 700\nscale = integer\nmute = yes\n",
       1,
       {0, 40, -12, 1000, 700, 1, 1}},
      // Spaces, tabs, a Windows line end, no end of line, a later version's
      // key.
      {"  fullscreen\t=\tno \r\nvolume = 7\nmute=yes",
       1,
       {0, 0, 0, 0, 0, 0, 1}},
      {"fullscreen = yes\nfullscreen = no\n", 1, {0, 0, 0, 0, 0, 0, 0}},
      {"fullscreen\n", 0, DEFAULTS},
      {"= yes\n", 0, DEFAULTS},
      {"fullscreen = maybe\n", 0, DEFAULTS},
      {"mute = 1\n", 0, DEFAULTS},
      {"scale = huge\n", 0, DEFAULTS},
      {"window_width = 12abc\n", 0, DEFAULTS},
      {"window_width = \n", 0, DEFAULTS},
      {"window_width = -640\nwindow_height = 480\n", 0, DEFAULTS},
      {"window_x = 99999999999999999999\n", 0, DEFAULTS},
      {"window_width = 640\n", 0, DEFAULTS},  // no height to go with it
      // Good lines before a bad one are not kept either.
      {"fullscreen = no\nmute = yes\n\x01\x02\n", 0, DEFAULTS},
      {std::string("fullscreen = n\0o\n", 17), 0, DEFAULTS},
  };
  for (const auto &row : rows) {
    Settings got = {9, 9, 9, 9, 9, 9, 9};
    std::string error;
    EXPECT_EQ(settings_parse(row.text, &got, &error), row.ok) << row.text;
    EXPECT_TRUE(same(got, row.want)) << row.text << "\ngot " << describe(got)
                                     << "\nwant " << describe(row.want);
    EXPECT_EQ(error.empty(), row.ok == 1) << row.text << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
  // The line at fault is named.
  Settings got;
  std::string error;
  settings_parse("mute = no\n\nscale = wide\n", &got, &error);
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
}

TEST(Settings, WhatIsWrittenIsReadBackTheSame) {
  const Settings rows[] = {
      DEFAULTS,
      {0, 300, 200, 1280, 960, 0, 0},
      {1, -1920, 0, 640, 480, 1, 1},
  };
  for (const Settings &row : rows) {
    Settings got;
    std::string error;
    EXPECT_EQ(settings_parse(settings_format(row), &got, &error), 1) << error;
    EXPECT_TRUE(same(got, row))
        << describe(row) << " came back as " << describe(got);
  }
}

class SettingsFiles : public ::testing::Test {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/qf_settings_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    path = root + "/config/quillfire/quillfire.conf";
  }
  void TearDown() override { fs::remove_all(root); }
  void write(const std::string &text) {
    fs::create_directories(root + "/config/quillfire");
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string read() {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // The files in the settings folder, to see that nothing is left over.
  int files_in_folder() {
    int count = 0;
    for (const auto &entry :
         fs::directory_iterator(root + "/config/quillfire")) {
      (void)entry;
      count++;
    }
    return count;
  }
  std::string root, path;
};

TEST_F(SettingsFiles, BadFilesGiveTheDefaultsAndOneLine) {
  const Settings kept = {0, 10, 20, 640, 480, 1, 1};
  struct Case {
    const char *what;
    void (*make)(SettingsFiles *t);
    int ok;
    Settings want;
  };
  const Case cases[] = {
      {"missing", [](SettingsFiles *) {}, 1, DEFAULTS},
      {"good",
       [](SettingsFiles *t) {
         t->write(
             "fullscreen = no\nwindow_x = 10\nwindow_y = 20\n"
             "window_width = 640\nwindow_height = 480\nscale = integer\n"
             "mute = yes\n");
       },
       1, kept},
      {"damaged",
       [](SettingsFiles *t) {
         t->write("fullscreen = no\n\xff\xfe garbage\n");
       },
       0, DEFAULTS},
      {"cut short in the middle of a line",
       [](SettingsFiles *t) { t->write("fullscreen = no\nwindow_wid"); }, 0,
       DEFAULTS},
      {"a folder in its place",
       [](SettingsFiles *t) { fs::create_directories(t->path); }, 0, DEFAULTS},
      {"a FIFO in its place",
       [](SettingsFiles *t) {
         fs::create_directories(t->root + "/config/quillfire");
         ASSERT_EQ(mkfifo(t->path.c_str(), 0600), 0);
       },
       0, DEFAULTS},
      {"far too long",
       [](SettingsFiles *t) { t->write(std::string(1 << 20, '#')); }, 0,
       DEFAULTS},
      {"its folder a plain file",
       [](SettingsFiles *t) { std::ofstream(t->root + "/config") << "x"; }, 0,
       DEFAULTS},
  };
  for (const Case &c : cases) {
    fs::remove_all(root);
    fs::create_directories(root);
    c.make(this);
    Settings got = {9, 9, 9, 9, 9, 9, 9};
    std::string warning;
    const time_t before = time(nullptr);
    EXPECT_EQ(settings_load(path, &got, &warning), c.ok) << c.what;
    EXPECT_LE(time(nullptr) - before, 1) << c.what << ": the read waited";
    EXPECT_TRUE(same(got, c.want)) << c.what << ": " << describe(got);
    if (c.ok) {
      EXPECT_EQ(warning, "") << c.what;
    } else {
      EXPECT_NE(warning.find(path), std::string::npos)
          << c.what << ": " << warning;
      EXPECT_EQ(warning.find('\n'), std::string::npos) << warning;
    }
  }
}

TEST_F(SettingsFiles, SavingMakesTheFoldersAndLeavesOnlyTheFile) {
  const Settings saved = {0, 5, 6, 1280, 960, 0, 1};
  std::string warning;
  ASSERT_EQ(settings_save(path, saved, &warning), 1) << warning;
  EXPECT_EQ(files_in_folder(), 1);
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  Settings got;
  EXPECT_EQ(settings_load(path, &got, &warning), 1) << warning;
  EXPECT_TRUE(same(got, saved)) << describe(got);
  // Saved again over a damaged one.
  write("garbage");
  ASSERT_EQ(settings_save(path, DEFAULTS, &warning), 1) << warning;
  EXPECT_EQ(settings_load(path, &got, &warning), 1) << warning;
  EXPECT_TRUE(same(got, DEFAULTS)) << describe(got);
  EXPECT_EQ(files_in_folder(), 1);
}

TEST_F(SettingsFiles, AFailedSaveSaysSoAndLeavesNothingBehind) {
  // The settings folder's place taken by a plain file.
  std::ofstream(root + "/config") << "x";
  std::string warning;
  EXPECT_EQ(settings_save(path, DEFAULTS, &warning), 0);
  EXPECT_NE(warning.find(root + "/config"), std::string::npos) << warning;
  EXPECT_EQ(warning.find('\n'), std::string::npos) << warning;
  fs::remove(root + "/config");

  // A folder in the file's place: the rename fails; the temporary file goes.
  fs::create_directories(path);
  warning.clear();
  EXPECT_EQ(settings_save(path, DEFAULTS, &warning), 0);
  EXPECT_NE(warning.find(path), std::string::npos) << warning;
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(files_in_folder(), 1);
}

// A game killed at any moment leaves the old file or the new one, whole:
// a child saves two settings turn about and is killed after a random while;
// each time the file reads back as one of them.
TEST_F(SettingsFiles, AKilledSaveNeverLeavesAHalfWrittenFile) {
  const Settings one = {0, 11, 22, 1280, 960, 1, 0};
  const Settings two = {1, 0, 0, 0, 0, 0, 1};
  std::string warning;
  ASSERT_EQ(settings_save(path, one, &warning), 1) << warning;
  srand(20261207);
  for (int round = 0; round < 40; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) {
        std::string ignored;
        settings_save(path, i % 2 ? one : two, &ignored);
      }
    }
    usleep(200 + rand() % 3000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    Settings got;
    ASSERT_EQ(settings_load(path, &got, &warning), 1)
        << "round " << round << ": " << warning;
    EXPECT_TRUE(same(got, one) || same(got, two))
        << "round " << round << ": " << describe(got);
  }
}

}  // namespace
