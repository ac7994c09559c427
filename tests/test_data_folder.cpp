// Which folder the game takes its files from, for each way a player or a
// packager can lay them out.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "game/data_folder.h"

namespace fs = std::filesystem;

namespace {

// A scratch tree: an installed prefix whose share/quillfire holds a sound,
// a build folder whose run/ holds a picture, an empty prefix, a folder
// named by the player and a plain file.
class DataFolderTree : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qf_data_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    fs::create_directories(root + "/prefix/bin");
    fs::create_directories(root + "/prefix/share/quillfire");
    std::ofstream(root + "/prefix/share/quillfire/FIRE.WAV") << "x";
    fs::create_directories(root + "/build/run");
    std::ofstream(root + "/build/run/TITLE8.BMP") << "x";
    fs::create_directories(root + "/bare/bin");
    fs::create_directories(root + "/bare/share/quillfire");  // nothing in it
    fs::create_directories(root + "/mine");
    std::ofstream(root + "/a_file") << "x";
  }
  void TearDown() override { fs::remove_all(root); }
  std::string root;
};

// Each row's folders are relative to the tree ("" for none); what is found
// is "folder (origin)", or the error; ROOT stands for the tree.
TEST_F(DataFolderTree, FirstFolderInTheOrderWinsAndANamedOneMustBeThere) {
  const struct {
    const char *option, *env, *exe;
    std::string found;
  } cases[] = {
      {"mine", "build/run", "prefix/bin", "ROOT/mine (given with --data)"},
      {"", "mine", "prefix/bin", "ROOT/mine (from QUILLFIRE_DATA)"},
      {"", "", "prefix/bin",
       "ROOT/prefix/share/quillfire (installed beside the program)"},
      {"", "", "build", "ROOT/build/run (the build's run folder)"},
      // An installed folder without any of the files is passed over.
      {"", "", "bare/bin", "ROOT/work (the working directory)"},
      {"", "", "", "ROOT/work (the working directory)"},
      {"nowhere", "", "prefix/bin",
       "data folder ROOT/nowhere (given with --data): No such file or "
       "directory"},
      {"a_file", "", "prefix/bin",
       "data folder ROOT/a_file (given with --data): not a folder"},
      {"", "nowhere", "prefix/bin",
       "data folder ROOT/nowhere (from QUILLFIRE_DATA): No such file or "
       "directory"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.option) + "|" + c.env + "|" + c.exe);
    auto in_tree = [&](const char *p) {
      return p[0] ? root + "/" + p : std::string();
    };
    DataSearch search;
    search.option_dir = in_tree(c.option);
    search.env_dir = in_tree(c.env);
    search.exe_dir = in_tree(c.exe);
    search.work_dir = root + "/work";
    DataFolder found;
    std::string error;
    const int ok = data_folder_find(search, &found, &error);
    std::string expected = c.found;
    expected.replace(expected.find("ROOT"), 4, root);
    EXPECT_EQ(ok ? found.path + " (" + found.origin + ")" : error, expected);
  }
}

TEST(DataFolderHere, ReadsTheVariableTheExecutableAndTheWorkingDirectory) {
  setenv("QUILLFIRE_DATA", "/some/where", 1);
  DataSearch search;
  search.option_dir = "kept";
  data_folder_search_here(&search);
  unsetenv("QUILLFIRE_DATA");
  EXPECT_EQ(search.option_dir, "kept");
  EXPECT_EQ(search.env_dir, "/some/where");
  EXPECT_EQ(search.exe_dir, fs::canonical("/proc/self/exe").parent_path());
  EXPECT_EQ(search.work_dir, fs::current_path());
}

}  // namespace
