// The operating system's files, folders and environment as the game and its
// library see them, on a scratch tree: what each kind of path is taken for,
// files opened without waiting, folders made, the working directory moved,
// and the reasons given when a call fails.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os.h"

namespace fs = std::filesystem;

namespace {

class OsTree : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qf_os_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    fs::create_directories(root + "/folder/inner");
    std::ofstream(root + "/seven") << "1234567";
    std::ofstream(root + "/empty");
    ASSERT_EQ(mkfifo((root + "/fifo").c_str(), 0600), 0);
    fs::create_symlink(root + "/seven", root + "/link");
  }
  void TearDown() override { fs::remove_all(root); }
  std::string root;
};

TEST_F(OsTree, EachKindOfPathIsToldApartAndOpenedOnlyWhenARegularFile) {
  const struct {
    const char *name;
    int info_ok, folder, regular;
    int64_t size;
    int missing;
    const char *reason;       // os_path_info's, when it fails
    const char *open_reason;  // os_open_regular's, "" when it opens
  } cases[] = {
      {"folder", 1, 1, 0, -1, 0, "", "not a regular file"},
      {"seven", 1, 0, 1, 7, 0, "", ""},
      {"empty", 1, 0, 1, 0, 0, "", ""},
      {"link", 1, 0, 1, 7, 0, "", ""},  // followed to what it names
      // A FIFO with no writer: neither opened nor waited on.
      {"fifo", 1, 0, 0, -1, 0, "", "not a regular file"},
      {"nowhere", 0, 0, 0, -1, 1, "No such file or directory",
       "No such file or directory"},
      // Through a file as if it were a folder: not there, but not missing.
      {"seven/x", 0, 0, 0, -1, 0, "Not a directory", "Not a directory"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = root + "/" + c.name;
    OsPathInfo info = {9, 9, 9};
    OsError error = {9, "unset"};
    ASSERT_EQ(os_path_info(path.c_str(), &info, &error), c.info_ok);
    if (c.info_ok) {
      EXPECT_EQ(info.folder, c.folder);
      EXPECT_EQ(info.regular, c.regular);
      if (c.size >= 0) {
        EXPECT_EQ(info.size, c.size);
      }
    } else {
      EXPECT_EQ(error.missing, c.missing);
      EXPECT_STREQ(error.text, c.reason);
    }
    error = OsError{9, "unset"};
    const time_t before = time(nullptr);
    FILE *file = os_open_regular(path.c_str(), &error);
    EXPECT_LE(time(nullptr) - before, 1) << "the open waited";
    if (c.open_reason[0] == '\0') {
      ASSERT_NE(file, nullptr);
      char bytes[16] = {0};
      EXPECT_EQ(fread(bytes, 1, sizeof bytes, file), (size_t)info.size);
      fclose(file);
    } else {
      EXPECT_EQ(file, nullptr);
      EXPECT_EQ(error.missing, c.missing);
      EXPECT_STREQ(error.text, c.open_reason);
    }
  }
  OsError error;
  EXPECT_EQ(os_path_readable((root + "/seven").c_str(), &error), 1);
  EXPECT_EQ(os_path_readable((root + "/nowhere").c_str(), &error), 0);
  EXPECT_EQ(error.missing, 1);
  // No one asked why: a null error is no fault.
  EXPECT_EQ(os_open_regular((root + "/nowhere").c_str(), nullptr), nullptr);
  OsPathInfo info;
  EXPECT_EQ(os_path_info((root + "/nowhere").c_str(), &info, nullptr), 0);
}

TEST_F(OsTree, FoldersAreMadeWithTheOnesAboveThemForTheUserOnly) {
  const std::string deep = root + "/a/b/c";
  OsError error;
  ASSERT_EQ(os_make_folders(deep.c_str(), &error), 1) << error.text;
  for (const std::string &made : {root + "/a", root + "/a/b", deep}) {
    struct stat status;
    ASSERT_EQ(stat(made.c_str(), &status), 0) << made;
    EXPECT_TRUE(S_ISDIR(status.st_mode)) << made;
    EXPECT_EQ(status.st_mode & 0777, 0700u) << made;
  }
  EXPECT_EQ(os_make_folders(deep.c_str(), &error), 1) << "already there";
  EXPECT_EQ(os_make_folders((root + "/folder").c_str(), &error), 1);
  // A file where a folder should be, itself or above it.
  for (const char *blocked : {"/seven", "/seven/under"}) {
    SCOPED_TRACE(blocked);
    error = OsError{9, "unset"};
    EXPECT_EQ(os_make_folders((root + blocked).c_str(), &error), 0);
    EXPECT_STREQ(error.text, "Not a directory");
    EXPECT_EQ(error.missing, 0);
  }
  EXPECT_TRUE(fs::is_regular_file(root + "/seven"));
}

// Where main stands and moves: the working directory follows a good
// folder, and a missing one leaves it where it was with the reason.
TEST_F(OsTree, TheWorkingFolderMovesOnlyToAFolderThatIsThere) {
  char before[OS_PATH_SIZE];
  ASSERT_EQ(os_working_folder(before, sizeof before), 1);
  OsError error;
  ASSERT_EQ(os_enter_folder((root + "/folder/inner").c_str(), &error), 1);
  char here[OS_PATH_SIZE];
  ASSERT_EQ(os_working_folder(here, sizeof here), 1);
  EXPECT_EQ(fs::path(here), fs::canonical(root + "/folder/inner"));
  EXPECT_EQ(os_working_folder(here, 4), 0) << "too long for the buffer";

  EXPECT_EQ(os_enter_folder((root + "/nowhere").c_str(), &error), 0);
  EXPECT_EQ(error.missing, 1);
  EXPECT_EQ(os_enter_folder((root + "/seven").c_str(), &error), 0);
  EXPECT_STREQ(error.text, "Not a directory");
  ASSERT_EQ(os_working_folder(here, sizeof here), 1);
  EXPECT_EQ(fs::path(here), fs::canonical(root + "/folder/inner"));
  ASSERT_EQ(os_enter_folder(before, &error), 1);
}

TEST_F(OsTree, RealPathsDropDotsAndLinksAndNeverOverflow) {
  char resolved[OS_PATH_SIZE];
  const std::string roundabout = root + "/folder/inner/../../link";
  ASSERT_EQ(os_real_path(roundabout.c_str(), resolved, sizeof resolved), 1);
  EXPECT_EQ(std::string(resolved), fs::canonical(root + "/seven").string());
  EXPECT_EQ(
      os_real_path((root + "/nowhere").c_str(), resolved, sizeof resolved), 0);
  char small[8] = "kept";
  EXPECT_EQ(os_real_path(root.c_str(), small, sizeof small), 0);
  EXPECT_STREQ(small, "kept");
}

TEST(Os, TheProgramsPathAndTheEnvironment) {
  char path[OS_PATH_SIZE];
  ASSERT_EQ(os_program_path(path, sizeof path), 1);
  EXPECT_EQ(fs::path(path).filename(), "test_os");
  EXPECT_TRUE(fs::is_regular_file(path));
  EXPECT_EQ(os_program_path(path, 4), 0) << "too long for the buffer";

  setenv("QF_OS_PROBE", "/some/where", 1);
  ASSERT_NE(os_environment("QF_OS_PROBE"), nullptr);
  EXPECT_STREQ(os_environment("QF_OS_PROBE"), "/some/where");
  unsetenv("QF_OS_PROBE");
  EXPECT_EQ(os_environment("QF_OS_PROBE"), nullptr);
}

}  // namespace
