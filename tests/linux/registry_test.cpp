#include "platform/linux/registry.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/dispatch.h"
#include "fakes/fake_platform.h"
#include "linux/temp_folder.h"
#include "platform/registry_helpers.h"
#include "registry_contract.h"

namespace corvane::test {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Spit(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

LinuxRegistryOptions OptionsIn(const TempFolder& dir) {
  return {dir / "config", {dir / "machine-id", dir / "dbus-machine-id"}};
}

struct LinuxBackend {
  Registry& reg() { return registry; }
  TempFolder dir;
  LinuxRegistry registry{OptionsIn(dir)};
};

INSTANTIATE_TYPED_TEST_SUITE_P(Linux, RegistryContract, LinuxBackend);

class LinuxRegistryTest : public ::testing::Test {
 protected:
  std::optional<std::string> Read(const std::string& key, const std::string& name) {
    return ReadRegistryString(reg, kHkeyLocalMachine, key, name);
  }
  std::optional<std::string> RunValue() { return Read(kRunKey, kRunValueName); }
  long SetRunValue(const std::string& text) {
    RegKey key = 0;
    reg.CreateKey(kHkeyLocalMachine, kRunKey, &key);
    return reg.SetValue(key, kRunValueName, kRegSz, reinterpret_cast<const uint8_t*>(text.c_str()),
                        static_cast<uint32_t>(text.size() + 1));
  }
  TempFolder dir;
  LinuxRegistry reg{OptionsIn(dir)};
  const std::string entry_file = dir / "config/autostart/Corvane.desktop";
};

TEST_F(LinuxRegistryTest, RunValueIsAPrivateAutostartEntryWithAQuotedExecLine) {
  const std::string command = "/opt/my apps/$HOME/\"x\"/`id`/it's \\ caf\xC3\xA9/corvane";
  ASSERT_EQ(SetRunValue(command), kErrorSuccess);
  EXPECT_EQ(Slurp(entry_file),
            "[Desktop Entry]\nType=Application\nName=Corvane\n"
            "Comment=Resumes Corvane after the restart\n"
            "Exec=\"/opt/my apps/\\\\$HOME/\\\\\"x\\\\\"/\\\\`id\\\\`/it's \\\\\\\\ caf\xC3\xA9/"
            "corvane\"\n"
            "X-GNOME-Autostart-enabled=true\n"
            "X-Corvane-Run-Value=/opt/my apps/$HOME/\"x\"/`id`/it's \\\\ caf\xC3\xA9/corvane\n");
  struct stat st {};
  ASSERT_EQ(::stat(entry_file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "config/autostart"), {}), 1);
  EXPECT_EQ(RunValue(), std::optional<std::string>(command));
  // Without its data line the entry names the same program.
  std::string entry = Slurp(entry_file);
  Spit(entry_file, entry.substr(0, entry.find("X-Corvane-Run-Value")));
  EXPECT_EQ(RunValue(), std::optional<std::string>(command));
}

TEST_F(LinuxRegistryTest, AnEntryWithoutTheDataLineGivesTheProgramOfItsExecLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"[Desktop Entry]\nExec=/opt/corvane/corvane --text %u\n", "/opt/corvane/corvane"},
      {"[Desktop Entry]\nExec = \"/opt/my apps/\\\\$x/\\\\\\\\y\" -a\n", "/opt/my apps/$x/\\y"},
      {"[Desktop Entry]\nExec=/opt/100%%/corvane\n", "/opt/100%/corvane"},
      {"[Desktop Entry]\nX-Corvane-Run-Value=\\s/opt/x\n", " /opt/x"},
      {"[Desktop Action go]\nExec=/elsewhere\n[Desktop Entry]\nExec=/opt/c\n", "/opt/c"},
      {"[Desktop Entry]\nType=Application\n", ""},
      {"[Desktop Entry]\nExec=/opt/c\nX-Corvane-Run-Value=C:\\\\Tools\\\\Corvane.exe\n",
       "C:\\Tools\\Corvane.exe"},
  };
  for (const auto& [entry, program] : cases) {
    Spit(entry_file, entry);
    EXPECT_EQ(RunValue(), std::optional<std::string>(program)) << entry;
  }
  DeleteRegistryValue(reg, kHkeyLocalMachine, kRunKey, kRunValueName);
  EXPECT_FALSE(std::filesystem::exists(entry_file));
  EXPECT_EQ(RunValue(), std::nullopt);
}

TEST_F(LinuxRegistryTest, EveryOtherKeyAndValueIsAbsentAndRefusesWrites) {
  Spit(dir / "machine-id", "0123456789abcdef0123456789abcdef\n");
  RegKey key = 0;
  EXPECT_EQ(reg.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Corvane Test", &key), kErrorAccessDenied);
  EXPECT_EQ(reg.OpenKey(kHkeyCurrentUser, kRunKey, &key), kErrorFileNotFound);
  ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, "software\\microsoft\\WINDOWS\\currentversion", &key),
            kErrorSuccess);
  const uint8_t word[4] = {1, 0, 0, 0};
  EXPECT_EQ(reg.SetValue(key, kProductIdValueName, kRegSz, word, 4), kErrorAccessDenied);
  EXPECT_EQ(reg.DeleteValue(key, kProductIdValueName), kErrorAccessDenied);
  EXPECT_EQ(reg.SetValue(key, "Other", kRegSz, word, 4), kErrorAccessDenied);
  EXPECT_EQ(reg.DeleteValue(key, "Other"), kErrorFileNotFound);
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
  ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, kRunKey, &key), kErrorSuccess);
  EXPECT_EQ(reg.SetValue(key, kRunValueName, kRegDword, word, 4), kErrorAccessDenied);
  EXPECT_EQ(reg.SetValue(key, "Other", kRegSz, word, 4), kErrorAccessDenied);
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(reg.CloseKey(12345), kErrorInvalidHandle);

  EXPECT_EQ(Read(kCurrentVersionKey, kProductIdValueName),
            std::optional<std::string>("7aeda0dd42534bbe896603a40df08c62"));
  EXPECT_EQ(Read(kRunKey, "Other"), std::nullopt);
  EXPECT_EQ(RunValue(), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(dir / "config"));
}

// The machine id's application-specific id, never the id itself; a file that holds no
// machine id gives none.
TEST_F(LinuxRegistryTest, ProductIdIsDerivedFromTheMachineIdThenTheDbusOne) {
  EXPECT_EQ(Read(kCurrentVersionKey, kProductIdValueName), std::nullopt);
  Spit(dir / "dbus-machine-id", "feedc0defeedc0defeedc0defeedc0de\n");
  EXPECT_EQ(Read(kCurrentVersionKey, kProductIdValueName),
            std::optional<std::string>("d93e307281424d119b13605c2a8815c5"));
  Spit(dir / "machine-id", "0123456789abcdef0123456789abcdef\n");
  EXPECT_EQ(Read(kCurrentVersionKey, kProductIdValueName),
            std::optional<std::string>("7aeda0dd42534bbe896603a40df08c62"));
  for (const char* not_an_id :
       {"uninitialized\n", "0123abcd\n", "00000000000000000000000000000000\n"}) {
    Spit(dir / "machine-id", not_an_id);
    EXPECT_EQ(Read(kCurrentVersionKey, kProductIdValueName), std::nullopt) << not_an_id;
  }
  // A machine id that names a device is passed over, not read without end.
  std::filesystem::remove(dir / "machine-id");
  std::filesystem::create_symlink("/dev/zero", dir / "machine-id");
  EXPECT_EQ(Read(kCurrentVersionKey, kProductIdValueName),
            std::optional<std::string>("d93e307281424d119b13605c2a8815c5"));
}

TEST_F(LinuxRegistryTest, UnusableConfigFolderFailsQuietly) {
  Spit(dir / "config", "a file where the folder should be");
  EXPECT_EQ(SetRunValue("/opt/corvane"), kErrorAccessDenied);
  EXPECT_EQ(RunValue(), std::nullopt);
}

// A write that fails for a full or read-only disk says so, as the Win32 registry would,
// rather than claiming the rights were missing. Needs root for the small mounts.
TEST_F(LinuxRegistryTest, WriteFailuresKeepTheirCause) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small filesystem needs root";
  const std::string config = dir / "config";
  std::filesystem::create_directories(config);
  const std::pair<const char*, long> cases[] = {{"size=4k", kErrorDiskFull},
                                                {"ro,size=4k", kErrorWriteProtect}};
  for (const auto& [options, status] : cases) {
    if (::mount("tmpfs", config.c_str(), "tmpfs", 0, options) != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    if (status == kErrorDiskFull) {  // fill it, leaving no room for the entry
      std::filesystem::create_directories(config + "/autostart");
      std::ofstream(config + "/autostart/filler", std::ios::binary) << std::string(1 << 16, 'x');
    }
    EXPECT_EQ(SetRunValue("/opt/corvane"), status) << options;
    EXPECT_EQ(RunValue(), std::nullopt) << options;
    ::umount(config.c_str());
  }
}

// OK at stage "8" on the Linux registry: a program folder that an Exec line cannot name
// exactly would give an entry that nothing starts, so the user restarts by hand.
TEST(LinuxRestart, ProgramFolderThatAnEntryCannotNameWillNotResume) {
  const std::pair<const char*, bool> cases[] = {
      {"/opt/100%", false}, {"/opt/caf\xE9", false}, {"/opt/a\nb", false},
      {"/opt/a\tb", false}, {"/opt/\x7F", false},    {"/opt/my \"apps\" $x `y`", true}};
  for (const auto& [folder, nameable] : cases) {
    TempFolder dir;
    LinuxRegistry registry(OptionsIn(dir));
    FakePlatform fakes;
    fakes.system.program_folder = folder;
    Platform on_linux{registry,    fakes.smart,       fakes.system, fakes.files,
                      fakes.shell, fakes.spreadsheet, fakes.desktop};
    App app(on_linux);
    StartProgram(app);
    app.form.LBLIDIOMA.caption = "3";
    app.form.LBLSTAGE.caption = "8";
    const Outcome outcome = DispatchClick(app, Click::kOk);
    EXPECT_EQ(fakes.shell.restart_requests, nameable ? 1 : 0) << folder;
    EXPECT_EQ(std::filesystem::exists(dir / "config/autostart/Corvane.desktop"), nameable);
    if (nameable) continue;
    EXPECT_EQ(outcome, Outcome::kEnded);
    ASSERT_EQ(fakes.desktop.boxes.size(), 1u);
    EXPECT_EQ(fakes.desktop.boxes[0].text.substr(0, 40),
              "The Computer Could Not Reboot by Itself.");
  }
}

}  // namespace
}  // namespace corvane::test
