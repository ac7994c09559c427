// The game's list of files against the other readers of it: CMake, which
// makes and installs the files by the names it reads from the list, and the
// start-up check, which needs the cuts of every picture.
#include <gtest/gtest.h>
#include <string.h>

#include <sstream>
#include <string>
#include <vector>

#include "game/data_files.h"

namespace {

// CMake reads the names with a pattern over the header's text; a line it
// misses would go unmade or uninstalled, one it reads twice or out of order
// would disagree with the scene's order.
TEST(DataFiles, BuildMakesAndInstallsTheListedFilesPicturesFirst) {
  std::vector<std::string> cmake_names;
  std::istringstream in(QF_LISTED_NAMES);
  for (std::string name; in >> name;) cmake_names.push_back(name);

  std::vector<std::string> listed(std::begin(DATA_PICTURES),
                                  std::end(DATA_PICTURES));
  listed.insert(listed.end(), std::begin(DATA_SOUNDS), std::end(DATA_SOUNDS));
  EXPECT_EQ(cmake_names, listed);
}

// A picture without a cut would pass the start-up check at any size, and
// the scene would cut from whatever it was given.
TEST(DataFiles, EveryPictureHasItsCutsAndEveryCutItsPicture) {
  for (const char *picture : DATA_PICTURES) {
    int cuts = 0;
    for (const DataCut &cut : DATA_CUTS)
      cuts += strcmp(cut.picture, picture) == 0;
    EXPECT_GT(cuts, 0) << picture;
  }
  for (const DataCut &cut : DATA_CUTS) {
    int pictures = 0;
    for (const char *picture : DATA_PICTURES)
      pictures += strcmp(cut.picture, picture) == 0;
    EXPECT_EQ(pictures, 1) << cut.picture;
  }
}

}  // namespace
