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

struct Layout {
  const char *option, *env, *exe;  // relative to the tree; "" for none
  const char *expected;            // relative to the tree, or work dir "."
  const char *origin;
};

TEST_F(DataFolderTree, FirstFolderInTheOrderWins) {
  const Layout cases[] = {
      {"mine", "build/run", "prefix/bin", "mine", "given with --data"},
      {"", "mine", "prefix/bin", "mine", "from QUILLFIRE_DATA"},
      {"", "", "prefix/bin", "prefix/share/quillfire",
       "installed beside the program"},
      {"", "", "build", "build/run", "the build's run folder"},
      // An installed folder without any of the files is passed over.
      {"", "", "bare/bin", ".", "the working directory"},
      {"", "", "", ".", "the working directory"},
  };
  for (const Layout &c : cases) {
    SCOPED_TRACE(std::string(c.option) + "|" + c.env + "|" + c.exe);
    DataSearch search;
    auto in_tree = [&](const char *p) {
      return p[0] ? root + "/" + p : std::string();
    };
    search.option_dir = in_tree(c.option);
    search.env_dir = in_tree(c.env);
    search.exe_dir = in_tree(c.exe);
    search.work_dir = root + "/work";
    DataFolder found;
    std::string error;
    ASSERT_EQ(data_folder_find(search, &found, &error), 1) << error;
    const std::string expected =
        c.expected[0] == '.' ? root + "/work" : root + "/" + c.expected;
    EXPECT_EQ(found.path, expected);
    EXPECT_EQ(found.origin, c.origin);
  }
}

TEST_F(DataFolderTree, NamedFolderThatIsNotThereIsRefused) {
  const struct {
    const char *option, *env, *error_tail;
  } cases[] = {
      {"nowhere", "",
       "/nowhere (given with --data): No such file or directory"},
      {"a_file", "", "/a_file (given with --data): not a folder"},
      {"", "nowhere",
       "/nowhere (from QUILLFIRE_DATA): No such file or directory"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.error_tail);
    DataSearch search;
    search.option_dir = c.option[0] ? root + "/" + c.option : "";
    search.env_dir = c.env[0] ? root + "/" + c.env : "";
    search.exe_dir = root + "/prefix/bin";
    search.work_dir = root;
    DataFolder found;
    std::string error;
    EXPECT_EQ(data_folder_find(search, &found, &error), 0);
    EXPECT_EQ(error, "data folder " + root + c.error_tail);
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
