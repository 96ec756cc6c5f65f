#include "platform/linux/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

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

RegistryStoreOptions OptionsIn(const TempFolder& dir) {
  RegistryStoreOptions o;
  o.config_folder = dir / "config";
  o.machine_id_files = {dir / "machine-id", dir / "dbus-machine-id"};
  return o;
}

struct LinuxBackend {
  Registry& reg() { return store; }
  TempFolder dir;
  LinuxRegistry store{OptionsIn(dir)};
};

INSTANTIATE_TYPED_TEST_SUITE_P(LinuxStore, RegistryContract, LinuxBackend);

class LinuxRegistryTest : public ::testing::Test {
 protected:
  std::optional<std::string> Read(LinuxRegistry& r, const std::string& key,
                                  const std::string& name) {
    return ReadRegistryString(r, kHkeyLocalMachine, key, name);
  }
  TempFolder dir;
  LinuxRegistry reg{OptionsIn(dir)};
};

TEST_F(LinuxRegistryTest, AnyBytesRoundTripThroughTheFile) {
  std::mt19937 rng(7);
  LinuxRegistry::Store store;
  for (int i = 0; i < 50; ++i) {
    // Lower-case paths keep the file's order when parsing folds them.
    const std::string path = "hkey_local_machine\\k" + std::to_string(i);
    std::string name;
    std::string data;
    for (int j = 0; j < i; ++j) {
      name += static_cast<char>(rng() & 0xFF);
      data += static_cast<char>(rng() & 0xFF);
    }
    store.keys[path] = path;
    store.values[path][std::to_string(i)] = {name, LinuxRegistry::Value{uint32_t(rng()), data}};
  }
  const std::string text = LinuxRegistry::Serialise(store);
  EXPECT_EQ(text.find('\0'), std::string::npos);
  const LinuxRegistry::Store back = LinuxRegistry::Parse(text);
  EXPECT_EQ(LinuxRegistry::Serialise(back), text);
}

TEST_F(LinuxRegistryTest, StoreFileIsPrivateAndSurvivesANewProcess) {
  const std::string name = "we=ird\nname\0x";
  WriteRegistryString(reg, kHkeyLocalMachine, "SOFTWARE\\Café", name, "dat\na=b");
  struct stat st {};
  ASSERT_EQ(::stat(reg.StoreFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  LinuxRegistry again(OptionsIn(dir));
  EXPECT_EQ(Read(again, "software\\CAFé", name), std::optional<std::string>("dat\na=b"));
}

TEST_F(LinuxRegistryTest, CorruptFileIsMovedAsideAndTheStoreStartsEmpty) {
  WriteRegistryString(reg, kHkeyLocalMachine, "SOFTWARE\\A", "v", "1");
  Spit(reg.StoreFile(), "corvane-registry 1\nvalue :x %ZZ\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Read(reg, "SOFTWARE\\A", "v"), std::nullopt);
  const std::string warning = testing::internal::GetCapturedStderr();
  EXPECT_NE(warning.find("could not be read"), std::string::npos);
  bool moved = false;
  for (const auto& e : std::filesystem::directory_iterator(dir / "config/corvane")) {
    moved |= e.path().filename().string().rfind("registry.corrupt-", 0) == 0;
  }
  EXPECT_TRUE(moved);
  WriteRegistryString(reg, kHkeyLocalMachine, "SOFTWARE\\A", "v", "2");
  EXPECT_EQ(Read(reg, "SOFTWARE\\A", "v"), std::optional<std::string>("2"));
}

TEST_F(LinuxRegistryTest, BadFilesOfEveryShapeAreRejectedByTheParser) {
  for (const char* bad :
       {"", "other header\n", "corvane-registry 1\nkey\n", "corvane-registry 1\nkey abc\n",
        "corvane-registry 1\nkey :a%4\n", "corvane-registry 1\nvalue :k :n 99999999999 :d\n",
        "corvane-registry 1\nvalue :k :n x :d\n", "corvane-registry 1\nvalue :k :n 1\n"}) {
    EXPECT_THROW(LinuxRegistry::Parse(bad), std::runtime_error) << bad;
  }
}

TEST_F(LinuxRegistryTest, RewriteIsAtomicNoTemporaryFilesRemain) {
  for (int i = 0; i < 20; ++i) {
    WriteRegistryString(reg, kHkeyLocalMachine, "SOFTWARE\\A", "v" + std::to_string(i), "x");
  }
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir / "config/corvane")) {
    EXPECT_EQ(e.path().filename().string().find(".corvane-"), std::string::npos);
    ++entries;
  }
  EXPECT_EQ(entries, 2);  // the store and its lock file
  EXPECT_NO_THROW(LinuxRegistry::Parse(Slurp(reg.StoreFile())));
}

TEST_F(LinuxRegistryTest, ConcurrentWritersLoseNoValue) {
  constexpr int kChildren = 4;
  constexpr int kWrites = 25;
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      LinuxRegistry mine(OptionsIn(dir));
      for (int i = 0; i < kWrites; ++i) {
        WriteRegistryString(mine, kHkeyLocalMachine, "SOFTWARE\\Race",
                            std::to_string(c) + "-" + std::to_string(i), "x");
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int c = 0; c < kChildren; ++c) {
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_EQ(Read(reg, "SOFTWARE\\Race", std::to_string(c) + "-" + std::to_string(i)),
                std::optional<std::string>("x"));
    }
  }
}

TEST_F(LinuxRegistryTest, RunValueIsAnAutostartEntryWithAQuotedExecLine) {
  const std::string command = "/opt/my apps/$HOME/\"x\"/100%/Corvane";
  WriteRegistryString(reg, kHkeyLocalMachine, kRunKey, kRunValueName, command);
  const std::string entry = Slurp(reg.AutostartFile());
  EXPECT_NE(entry.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(entry.find("Type=Application\n"), std::string::npos);
  EXPECT_NE(entry.find("Exec=\"/opt/my apps/\\\\$HOME/\\\\\"x\\\\\"/100%%/Corvane\"\n"),
            std::string::npos)
      << entry;
  EXPECT_EQ(Read(reg, kRunKey, kRunValueName), std::optional<std::string>(command));
  // Other values of the Run key stay in the store.
  WriteRegistryString(reg, kHkeyLocalMachine, kRunKey, "Other", "y");
  EXPECT_EQ(Read(reg, kRunKey, "Other"), std::optional<std::string>("y"));
  DeleteRegistryValue(reg, kHkeyLocalMachine, kRunKey, kRunValueName);
  EXPECT_FALSE(std::filesystem::exists(reg.AutostartFile()));
  EXPECT_EQ(Read(reg, kRunKey, kRunValueName), std::nullopt);
}

// The machine id's application-specific id, never the id itself; a file that holds no
// machine id counts as missing.
TEST_F(LinuxRegistryTest, ProductIdIsDerivedFromTheMachineIdThenTheDbusOne) {
  EXPECT_EQ(Read(reg, kCurrentVersionKey, kProductIdValueName), std::nullopt);
  Spit(dir / "dbus-machine-id", "feedc0defeedc0defeedc0defeedc0de\n");
  EXPECT_EQ(Read(reg, kCurrentVersionKey, kProductIdValueName),
            std::optional<std::string>("d93e307281424d119b13605c2a8815c5"));
  Spit(dir / "machine-id", "0123456789abcdef0123456789abcdef\n");
  EXPECT_EQ(Read(reg, kCurrentVersionKey, kProductIdValueName),
            std::optional<std::string>("7aeda0dd42534bbe896603a40df08c62"));
  for (const char* not_an_id :
       {"uninitialized\n", "0123abcd\n", "\n", "00000000000000000000000000000000\n"}) {
    Spit(dir / "machine-id", not_an_id);
    Spit(dir / "dbus-machine-id", not_an_id);
    EXPECT_EQ(Read(reg, kCurrentVersionKey, kProductIdValueName), std::nullopt) << not_an_id;
  }
}

TEST_F(LinuxRegistryTest, UnusableConfigFolderFailsQuietly) {
  Spit(dir / "config", "a file where the folder should be");
  WriteRegistryString(reg, kHkeyLocalMachine, "SOFTWARE\\A", "v", "1");
  EXPECT_EQ(Read(reg, "SOFTWARE\\A", "v"), std::nullopt);
}

}  // namespace
}  // namespace corvane::test
