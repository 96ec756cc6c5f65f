// System information, files, the shell and the SMART device on Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <ctime>
#include <string>

#include "disk/drive_identity.h"
#include "disk/smart_records.h"
#include "platform/win32/files.h"
#include "platform/win32/shell.h"
#include "platform/win32/smart_device.h"
#include "platform/win32/system_info.h"

namespace corvane::test {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Env(const char* name) {
  char buffer[256] = {};
  const DWORD n = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return std::string(buffer, n < sizeof buffer ? n : 0);
}

TEST(Win32SystemInfo, ReadsTheMachine) {
  Win32SystemInfo info;
  EXPECT_EQ(Lower(info.SystemFolder()), "c:\\windows\\system32");
  EXPECT_EQ(info.ComputerName(), Env("COMPUTERNAME"));
  EXPECT_FALSE(info.ComputerName().empty());
  EXPECT_EQ(Lower(info.UserName()), Lower(Env("USERNAME")));
  EXPECT_TRUE(info.VolumeSerial("C:\\").has_value());
  EXPECT_FALSE(info.VolumeSerial("C:\\no such folder\\").has_value());
  EXPECT_EQ(info.SystemDriveRoot(), "C:\\");
  EXPECT_EQ(info.ProgramFileName(), "Corvane.exe");
}

TEST(Win32SystemInfo, ProgramFolderHoldsThisProgram) {
  Win32SystemInfo info;
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string folder = info.ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_EQ(std::string(path).substr(0, folder.size() + 1), folder + "\\");
}

TEST(Win32SystemInfo, FolderOfProgramFile) {
  const struct {
    const char* path;
    const char* folder;
  } cases[] = {
      {"C:\\Corvane.exe", "C:\\"},
      {"C:\\Tools\\Corvane.exe", "C:\\Tools"},
      {"D:\\a\\b\\c.exe", "D:\\a\\b"},
      {"\\\\server\\share\\Corvane.exe", "\\\\server\\share"},
      {"Corvane.exe", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderOfProgramFile(c.path), c.folder) << c.path;
}

TEST(Win32SystemInfo, TodayIsTheLocalDate) {
  Win32SystemInfo info;
  const std::time_t now = std::time(nullptr);
  std::tm before = *std::localtime(&now);
  const LocalDate today = info.Today();
  const std::time_t later = std::time(nullptr);
  std::tm after = *std::localtime(&later);
  const bool matches_before = today.year == before.tm_year + 1900 &&
                              today.month == before.tm_mon + 1 && today.day == before.tm_mday;
  const bool matches_after = today.year == after.tm_year + 1900 &&
                             today.month == after.tm_mon + 1 && today.day == after.tm_mday;
  EXPECT_TRUE(matches_before || matches_after);
}

class Win32FilesTest : public ::testing::Test {
 protected:
  Win32FilesTest() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    // One folder per test and process: tests may run side by side in one Wine prefix.
    folder = std::string(temp) + "corvane-files-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
             std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
  }
  ~Win32FilesTest() override {
    for (const char* name : {"\\a.txt", "\\b.txt"}) ::DeleteFileA((folder + name).c_str());
    ::RemoveDirectoryA(folder.c_str());
  }
  std::string RawBytes(const std::string& path) {
    const HANDLE h =
        ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[64] = {};
    DWORD n = 0;
    ::ReadFile(h, buffer, sizeof buffer, &n, nullptr);
    ::CloseHandle(h);
    return std::string(buffer, n);
  }
  std::string folder;
  Win32Files files;
};

TEST_F(Win32FilesTest, TextGoesOutInTheAnsiCodePageAndComesBackAsUtf8) {
  const std::string path = folder + "\\a.txt";
  files.WriteAll(path, "3\r\n");
  EXPECT_EQ(RawBytes(path), "3\r\n");
  files.WriteAll(path, "Jos\xC3\xA9\r\n");
  char expected[8] = {};
  ::WideCharToMultiByte(CP_ACP, 0, L"Jos\u00e9\r\n", -1, expected, sizeof expected, nullptr,
                        nullptr);
  EXPECT_EQ(RawBytes(path), expected);
  EXPECT_EQ(files.ReadAll(path), "Jos\xC3\xA9\r\n");
}

TEST_F(Win32FilesTest, ExistsCopyAndDelete) {
  const std::string a = folder + "\\a.txt";
  const std::string b = folder + "\\b.txt";
  EXPECT_TRUE(files.Exists(folder));
  EXPECT_FALSE(files.Exists(a));
  EXPECT_FALSE(files.Exists(""));
  files.WriteAll(a, "one");
  files.WriteAll(b, "old and longer");
  files.Copy(a, b);
  EXPECT_EQ(files.ReadAll(b), "one");
  files.Delete(a);
  EXPECT_FALSE(files.Exists(a));
  EXPECT_THROW(files.Delete(a), FileError);
  EXPECT_THROW(files.ReadAll(a), FileError);
  EXPECT_THROW(files.Copy(a, b), FileError);
  EXPECT_EQ(files.ReadAll(b), "one") << "a failed copy leaves the target alone";
  try {
    files.WriteAll(folder + "\\missing folder\\c.txt", "x");
    ADD_FAILURE() << "writing into a missing folder must fail";
  } catch (const FileError& e) {
    EXPECT_EQ(e.path(), folder + "\\missing folder\\c.txt");
    EXPECT_FALSE(e.reason().empty());
  }
}

// The folders an installed copy falls back on, and the probe that decides it.
TEST_F(Win32FilesTest, PerUserFoldersAndTheCreateProbe) {
  Win32SystemInfo info;
  const std::string state = info.UserStateFolder();
  ASSERT_GT(state.size(), 8u);
  EXPECT_EQ(state.substr(state.size() - 8), "\\Corvane");
  EXPECT_TRUE(files.CanCreateIn(info.DesktopFolder()));
  EXPECT_TRUE(files.CanCreateIn(folder));
  EXPECT_FALSE(files.CanCreateIn(folder + "\\missing"));
  files.MakeFolders(folder + "\\x\\y");
  files.MakeFolders(folder + "\\x\\y");  // already there
  EXPECT_TRUE(files.CanCreateIn(folder + "\\x\\y"));
  ::RemoveDirectoryA((folder + "\\x\\y").c_str());
  ::RemoveDirectoryA((folder + "\\x").c_str());
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA((folder + "\\*.tmp").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "the probe leaves nothing behind";
  if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
}

// The default mail client is the one the user's Software\Clients\Mail names.
TEST(Win32Shell, StartsTheRegisteredMailClient) {
  Win32Shell shell;
  const char* kClients = "Software\\Clients\\Mail";
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyA(HKEY_CURRENT_USER, kClients, &key), ERROR_SUCCESS);
  const char name[] = "Corvane Test Client";
  ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
  ::RegCloseKey(key);
  const std::string command_key =
      std::string("Software\\Clients\\Mail\\") + name + "\\shell\\open\\command";
  EXPECT_FALSE(shell.StartMailClient()) << "a named client without a command";
  ASSERT_EQ(::RegCreateKeyA(HKEY_LOCAL_MACHINE, command_key.c_str(), &key), ERROR_SUCCESS);
  const char command[] = "\"%SystemRoot%\\system32\\hostname.exe\" /?";
  ::RegSetValueExA(key, nullptr, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(command),
                   sizeof command);
  ::RegCloseKey(key);
  EXPECT_TRUE(shell.StartMailClient());
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, command_key.c_str());
  // The default value goes again: no client chosen.
  ::RegOpenKeyA(HKEY_CURRENT_USER, kClients, &key);
  ::RegDeleteValueA(key, nullptr);
  ::RegCloseKey(key);
}

TEST(Win32Shell, StartsAProgramWithoutWaitingAndRefusesAMissingOne) {
  Win32Shell shell;
  EXPECT_FALSE(shell.StartProgram("C:\\Program Files\\Outlook Express\\MSIMN.EXE", 1));
  char system[MAX_PATH] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_TRUE(shell.StartProgram(std::string(system) + "\\hostname.exe", 1));
}

TEST(Win32SmartDevice, WineIsTheNtFamilyWithoutSmart) {
  Win32SmartDevice smart;
  EXPECT_EQ(smart.PlatformId(), std::optional<uint32_t>(kVerPlatformWin32Nt));

  const Handle h =
      smart.Open("\\\\.\\PhysicalDrive0", kGenericReadWrite, kFileShareReadWrite, kOpenExisting);
  if (h != kInvalidHandle) {
    Bytes version(kGetVersionInParamsSize, 0);
    EXPECT_FALSE(smart.Control(h, kSmartGetVersion, ByteView(), version));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    smart.Close(h);
  }
  EXPECT_EQ(smart.Open("\\\\.\\SMARTVSD", 0, 0, kCreateNew), kInvalidHandle);
  EXPECT_EQ(GetDriveIdentity(smart, 0).DriveType, 0);
}

}  // namespace
}  // namespace corvane::test
