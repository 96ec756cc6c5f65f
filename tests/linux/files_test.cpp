#include "platform/linux/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "linux/temp_folder.h"
#include "platform/linux/system_info.h"

namespace corvane::test {
namespace {

TEST(LinuxFiles, WriteReplacesWholeAndLeavesNoTemporaryFile) {
  TempFolder dir;
  LinuxFiles files;
  const std::string path = dir / "idioma.txt";
  files.WriteAll(path, "1\r\n");
  files.WriteAll(path, "3\r\n");
  EXPECT_EQ(files.ReadAll(path), "3\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(LinuxFiles, FoldersCountAsExistingButCannotBeReadWrittenOrDeleted) {
  TempFolder dir;
  LinuxFiles files;
  std::filesystem::create_directory(dir / "hd.txt");
  EXPECT_TRUE(files.Exists(dir / "hd.txt"));
  EXPECT_FALSE(files.Exists(dir / "none"));
  EXPECT_FALSE(files.Exists(""));
  EXPECT_THROW(files.WriteAll(dir / "hd.txt", "0\r\n"), FileError);
  EXPECT_THROW(files.Delete(dir / "hd.txt"), FileError);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "hd.txt"));
}

TEST(LinuxFiles, FailuresNameThePathAndTheReason) {
  TempFolder dir;
  LinuxFiles files;
  const std::string missing = dir / "idioma.txt";
  try {
    files.Delete(missing);
    FAIL() << "deleting a missing file succeeded";
  } catch (const FileError& e) {
    EXPECT_EQ(e.path(), missing);
    EXPECT_EQ(std::string(e.what()), missing + ": No such file or directory");
  }
  EXPECT_THROW(files.ReadAll(missing), FileError);
  EXPECT_THROW(files.WriteAll(dir / "no-folder/x.txt", "x"), FileError);
  EXPECT_THROW(files.Copy(missing, dir / "copy"), FileError);
  EXPECT_FALSE(files.Exists(dir / "copy"));
}

TEST(LinuxFiles, CopyReplacesTheTarget) {
  TempFolder dir;
  LinuxFiles files;
  files.WriteAll(dir / "a", std::string("bytes\0\xff", 7));
  files.WriteAll(dir / "b", "old");
  files.Copy(dir / "a", dir / "b");
  EXPECT_EQ(files.ReadAll(dir / "b"), std::string("bytes\0\xff", 7));
}

TEST(LinuxSystemInfo, ProgramFolderIsTheExecutablesFolder) {
  LinuxSystemInfo info;
  const std::string folder = info.ProgramFolder();
  EXPECT_TRUE(std::filesystem::exists(folder + "/corvane_tests")) << folder;
  EXPECT_EQ(info.PathSeparator(), '/');
}

}  // namespace
}  // namespace corvane::test
