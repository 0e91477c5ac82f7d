#include "galleria/app_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "scratch_folder.h"

namespace fs = std::filesystem;
using namespace galleria;

TEST(AppFolder, IsTheExecutablesFolderWithTrailingSeparator) {
  const fs::path& folder = ApplicationFolder();
  EXPECT_TRUE(folder.string().ends_with("/"));
  EXPECT_TRUE(fs::equivalent(folder, fs::read_symlink("/proc/self/exe").parent_path()));
  EXPECT_EQ(ShippedFile(shipped::kBaseFlash), folder / "Res/BaseFlash.swf");
}

TEST(AppFolder, WorkingFoldersFollowGalleriaHome) {
  ScratchFolder home;
  setenv("GALLERIA_HOME", home.path().c_str(), 1);
  EXPECT_EQ(WorkFolder(), home.path() / "");
  EXPECT_EQ(TempFolder(), home.path() / "Temp" / "");
  EXPECT_TRUE(fs::is_directory(home.path() / "Temp"));
  EXPECT_EQ(TempImgFolder(), home.path() / "TempImg" / "");
  EXPECT_EQ(FolderMemoryFile(), home.path() / "TempData.dat");
  unsetenv("GALLERIA_HOME");
  EXPECT_EQ(WorkFolder(), ApplicationFolder()) << "a writable application folder holds them itself";
}
