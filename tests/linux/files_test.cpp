#include "platform/linux/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "disk/drive_identity.h"
#include "linux/temp_folder.h"
#include "platform/linux/registry.h"
#include "platform/linux/system_info.h"
#include "platform/registry_helpers.h"
#include "report/record_decode.h"

namespace corvane::test {
namespace {

TEST(LinuxFiles, WriteReplacesWholeAndLeavesNoTemporaryFile) {
  TempFolder dir;
  LinuxFiles files;
  const std::string path = dir / "idioma.txt";
  files.WriteAll(path, "1\r\n");
  files.WriteAll(path, "3\r\n");
  EXPECT_EQ(files.ReadAll(path, FileKind::kLanguage), "3\r\n");
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
  // The refused write left no temporary beside the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
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
  EXPECT_THROW(files.ReadAll(missing, FileKind::kLanguage), FileError);
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
  EXPECT_EQ(files.ReadAll(dir / "b", FileKind::kDriver), std::string("bytes\0\xff", 7));
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Root writing through a link that another user planted would overwrite what it points to.
TEST(LinuxFiles, ALinkAtTheTargetIsReplacedNotFollowed) {
  TempFolder dir;
  std::ofstream(dir / "victim") << "keep";
  std::filesystem::create_symlink(dir / "victim", dir / "capture");
  WriteFileBytes(dir / "capture", "new");
  EXPECT_EQ(Slurp(dir / "victim"), "keep");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "capture"));
  EXPECT_EQ(Slurp(dir / "capture"), "new");
}

// What stands for something else than a file is never replaced by one: as root, a write
// onto /dev/null would leave a plain file there for everyone.
TEST(LinuxFiles, AWriteOntoAFifoADeviceOrAFolderIsRefusedAndLeavesItAsItWas) {
  TempFolder dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder");
  std::vector<std::string> targets = {"fifo", "folder"};
  if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
    targets.push_back("null");
  for (const std::string& name : targets) {
    struct stat before {};
    ASSERT_EQ(::lstat((dir / name).c_str(), &before), 0);
    try {
      WriteFileBytes(dir / name, "capture");
      ADD_FAILURE() << name << " was written";
    } catch (const FileError& e) {
      EXPECT_EQ(e.path(), dir / name);
      EXPECT_EQ(e.reason(), name == "folder" ? "is a folder; nothing is written"
                                             : "not a regular file; it is not replaced")
          << name;
    }
    struct stat after {};
    ASSERT_EQ(::lstat((dir / name).c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << name;
    EXPECT_EQ(after.st_mode, before.st_mode) << name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}),
            static_cast<long>(targets.size()))
      << "a temporary was left";
}

// A pipe without a writer, a device, a folder or a file far larger than its kind are
// refused at once, with the reason, and never read whole.
TEST(LinuxFiles, OnlyRegularFilesOfTheirKindsSizeAreRead) {
  TempFolder dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder");
  {
    std::ofstream big(dir / "big");
    big << std::string(SizeLimit(FileKind::kLanguage) + 1, '1');
  }
  std::ofstream(dir / "sparse").close();
  ASSERT_EQ(::truncate((dir / "sparse").c_str(), 500 << 20), 0);
  const struct {
    std::string path;
    FileKind kind;
    std::string reason;
  } cases[] = {
      {dir / "fifo", FileKind::kLanguage, "not a regular file"},
      {"/dev/zero", FileKind::kCapture, "not a regular file"},
      {dir / "folder", FileKind::kRecord, "is a folder"},
      {dir / "big", FileKind::kLanguage, "too large (more than 4096 bytes)"},
      {dir / "sparse", FileKind::kDriver, "too large"},
  };
  for (const auto& c : cases) {
    try {
      ReadFileBytes(c.path, c.kind);
      ADD_FAILURE() << c.path << " was read";
    } catch (const FileError& e) {
      EXPECT_EQ(e.path(), c.path);
      EXPECT_EQ(e.reason().rfind(c.reason, 0), 0u) << c.path << ": " << e.reason();
    }
  }
  EXPECT_EQ(ReadFileBytes(dir / "big", FileKind::kRecord).size(), 4097u);
}

TEST(LinuxFiles, NewFilesFollowTheUmaskAndReplacedOnesKeepTheirMode) {
  TempFolder dir;
  const mode_t old_mask = ::umask(027);
  LinuxFiles files;
  files.WriteAll(dir / "new.kik", "1\r\n");
  std::ofstream(dir / "old.kik") << "x";
  ::chmod((dir / "old.kik").c_str(), 0604);
  files.WriteAll(dir / "old.kik", "2\r\n");
  ::umask(old_mask);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "new.kik").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ASSERT_EQ(::stat((dir / "old.kik").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(Slurp(dir / "old.kik"), "2\r\n");
}

// What a killed write left is removed by the next write in that folder; a temporary of a
// copy still running is not.
TEST(LinuxFiles, TemporariesOfKilledWritesAreRemovedByTheNextWrite) {
  TempFolder dir;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string stale = ".corvane-" + std::to_string(child) + "-Ab12Cd";
  const std::string running = ".corvane-1-Ab12Cd";
  std::ofstream(dir / stale) << "partial";
  std::ofstream(dir / running) << "partial";
  std::ofstream(dir / "other") << "x";
  LinuxFiles().WriteAll(dir / "report.kik", "record\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / stale));
  EXPECT_TRUE(std::filesystem::exists(dir / running));
  EXPECT_TRUE(std::filesystem::exists(dir / "other"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

// Root with a user's home (sudo -E): what the program makes there is the user's, so that
// the user's own copy can go on with it.
TEST(LinuxFiles, AsRootWhatIsMadeInAUsersHomeBelongsToTheUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  constexpr uid_t kUser = 65534;
  constexpr gid_t kGroup = 65534;
  TempFolder dir;
  const std::string home = dir / "home";
  std::filesystem::create_directory(home);
  ASSERT_EQ(::chown(home.c_str(), kUser, kGroup), 0);

  LinuxFiles files;
  files.WriteAll(home + "/Lumbrook20260131PC-7.kik", "record\r\n");
  files.WriteAll(home + "/Lumbrook20260131PC-7.kik", "again\r\n");
  LinuxRegistryOptions options;
  options.config_folder = home + "/.config";
  LinuxRegistry registry(options);
  WriteRegistryString(registry, kHkeyLocalMachine, kRunKey, kRunValueName, "/opt/corvane");

  size_t entries = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
    struct stat st {};
    ASSERT_EQ(::lstat(entry.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kUser) << entry.path();
    EXPECT_EQ(st.st_gid, kGroup) << entry.path();
    ++entries;
  }
  EXPECT_EQ(entries, 4u);  // the report, two folders and the autostart entry
  ASSERT_TRUE(std::filesystem::exists(home + "/.config/autostart/Corvane.desktop"));
}

// A folder that its user may write but not search takes no file: asked as that user (root
// passes every permission check), it is not a place to create one, and a write fails.
TEST(LinuxFiles, AFolderWithoutSearchPermissionIsNotWritable) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become nobody";
  constexpr uid_t kNobody = 65534;
  TempFolder dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string searchable = dir / "searchable", unsearchable = dir / "unsearchable";
  for (const std::string& folder : {searchable, unsearchable}) {
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
  }
  ASSERT_EQ(::chmod(unsearchable.c_str(), 0600), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(10);
    LinuxFiles files;
    if (!files.CanCreateIn(searchable)) ::_exit(11);
    if (files.CanCreateIn(unsearchable)) ::_exit(12);
    try {
      files.WriteAll(unsearchable + "/report.kik", "record\r\n");
      ::_exit(13);
    } catch (const FileError&) {
    }
    ::_exit(0);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "10: cannot become nobody, 11: the searchable folder refused, 12: the unsearchable "
         "folder taken, 13: a file written there";
  EXPECT_FALSE(std::filesystem::exists(unsearchable + "/report.kik"));
}

TEST(LinuxSystemInfo, ProgramFolderIsTheExecutablesFolder) {
  LinuxSystemInfo info;
  const std::string folder = info.ProgramFolder();
  EXPECT_TRUE(std::filesystem::exists(folder + "/corvane_tests")) << folder;
  EXPECT_EQ(info.PathSeparator(), '/');
}

// The system's conversion, not a table of the Latin letters: every script has its capitals.
TEST(LinuxSystemInfo, UpperCaseIsTheSystemsForEveryScript) {
  LinuxSystemInfo info;
  const std::pair<std::string, std::string> cases[] = {
      {"pc-7", "PC-7"},
      {"жёлтый-ноутбук", "ЖЁЛТЫЙ-НОУТБУК"},
      {"γραφείο-δύο", "ΓΡΑΦΕΊΟ-ΔΎΟ"},
      {"josé-ñandú ÿ ø łódź", "JOSÉ-ÑANDÚ Ÿ Ø ŁÓDŹ"},
      {"ı i", "I I"},
      {"straße", "STRAßE"},
      {"a\xFF\xC3z", "A\xFF\xC3Z"},  // bytes that are not UTF-8 stay
  };
  for (const auto& [text, upper] : cases) EXPECT_EQ(info.UpperCase(text), upper) << text;
}

// A serial's bytes of 0x80 and above are Latin-1 characters, one each, so the record's
// length field counts them and the record decodes back to the identifier gathered.
TEST(LinuxSystemInfo, HighBytesOfADriveSerialGoThroughTheRecordAndBack) {
  LinuxSystemInfo info;
  EXPECT_EQ(info.SingleByteText("\xA0\xE9z\x80"), "\u00A0\u00E9z\u0080");
  DriveIdentity drive;
  drive.DriveType = kDriveTypeAta;
  drive.SerialNumber = std::string(
      "  \xA0w\xE9"
      "d-\xFF\x80\0 ",
      11);
  MachineValues values;
  values.disk_identifier = DiskIdentifier(drive, info);
  EXPECT_EQ(values.disk_identifier, "\u00A0W\u00C9D-\u0178\u0080");
  values.volume_serial = "5";
  const std::string record = MachineRecord(values);
  EXPECT_EQ(record.substr(0, 15), "007001000000000");
  const DecodedRecord decoded = DecodeMachineRecord(record + "\r\n");
  ASSERT_TRUE(decoded.ok()) << decoded.error;
  EXPECT_EQ(decoded.values.disk_identifier, values.disk_identifier);
}

}  // namespace
}  // namespace corvane::test
