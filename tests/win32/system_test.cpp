// System information, files, the shell and the SMART device on Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <ctime>
#include <string>

#include "disk/drive_identity.h"
#include "platform/smart_records.h"
#include "platform/win32/ansi.h"
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
  EXPECT_EQ(files.ReadAll(path, FileKind::kLanguage), "Jos\xC3\xA9\r\n");
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
  EXPECT_EQ(files.ReadAll(b, FileKind::kDriver), "one");
  files.Delete(a);
  EXPECT_FALSE(files.Exists(a));
  EXPECT_THROW(files.Delete(a), FileError);
  EXPECT_THROW(files.ReadAll(a, FileKind::kDriver), FileError);
  EXPECT_THROW(files.Copy(a, b), FileError);
  EXPECT_EQ(files.ReadAll(b, FileKind::kDriver), "one") << "a failed copy leaves the target alone";
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

// A profile whose name the ANSI code page lacks (C:\Users\łukasz): the per-user folder is
// made, written and found at its real path, not at the code page's nearest spelling.
TEST_F(Win32FilesTest, PerUserFolderOutsideTheAnsiCodePage) {
  const wchar_t* kShellFolders =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  const std::wstring profile = Utf8ToWide(folder) + L"\\\u0142ukasz";
  const std::wstring local = profile + L"\\Local";
  ::CreateDirectoryW(profile.c_str(), nullptr);
  ::CreateDirectoryW(local.c_str(), nullptr);
  HKEY shell = nullptr;
  ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, kShellFolders, &shell), ERROR_SUCCESS);
  wchar_t before[MAX_PATH] = {};
  DWORD before_type = 0;
  DWORD before_size = sizeof before;
  const bool had_value =
      ::RegQueryValueExW(shell, L"Local AppData", nullptr, &before_type,
                         reinterpret_cast<BYTE*>(before), &before_size) == ERROR_SUCCESS;
  ::RegSetValueExW(shell, L"Local AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(local.c_str()),
                   static_cast<DWORD>((local.size() + 1) * sizeof(wchar_t)));
  Win32SystemInfo info;
  const std::string state = info.UserStateFolder();
  if (had_value) {
    ::RegSetValueExW(shell, L"Local AppData", 0, before_type, reinterpret_cast<BYTE*>(before),
                     before_size);
  } else {
    ::RegDeleteValueW(shell, L"Local AppData");
  }
  ::RegCloseKey(shell);

  EXPECT_EQ(state, WideToUtf8(local) + "\\Corvane");
  files.MakeFolders(state);
  files.WriteAll(state + "\\idioma.txt", "2\r\n");
  const std::wstring written = local + L"\\Corvane\\idioma.txt";
  EXPECT_NE(::GetFileAttributesW(written.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(files.Exists(state + "\\idioma.txt"));
  EXPECT_EQ(files.ReadAll(state + "\\idioma.txt", FileKind::kLanguage), "2\r\n");
  EXPECT_TRUE(files.CanCreateIn(state));
  files.Delete(state + "\\idioma.txt");
  EXPECT_EQ(::GetFileAttributesW(written.c_str()), INVALID_FILE_ATTRIBUTES);
  for (const std::wstring& f : {local + L"\\Corvane", local, profile}) {
    ::RemoveDirectoryW(f.c_str());
  }
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

TEST_F(Win32FilesTest, OnlyRegularFilesOfTheirKindsSizeAreRead) {
  const std::string big = folder + "\\big.txt";
  files.WriteAll(big, std::string(SizeLimit(FileKind::kLanguage) + 1, '1'));
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {{folder, "is a folder"}, {"NUL", "not a regular file"}, {big, "too large"}};
  for (const auto& c : cases) {
    try {
      files.ReadAll(c.path, FileKind::kLanguage);
      ADD_FAILURE() << c.path << " was read";
    } catch (const FileError& e) {
      EXPECT_EQ(e.reason().rfind(c.reason, 0), 0u) << c.path << ": " << e.reason();
    }
  }
  EXPECT_EQ(files.ReadAll(big, FileKind::kRecord).size(), 4097u);
}

// What a killed write left is removed by the next write in that folder.
TEST_F(Win32FilesTest, TemporariesOfKilledWritesAreRemovedByTheNextWrite) {
  const std::string stale = folder + "\\~corvane-2147483647-7.tmp";  // never a process id
  files.WriteAll(stale, "partial");
  files.WriteAll(folder + "\\other.txt", "x");
  files.WriteAll(folder + "\\report.kik", "record\r\n");
  EXPECT_FALSE(files.Exists(stale));
  EXPECT_TRUE(files.Exists(folder + "\\other.txt"));
  WIN32_FIND_DATAA found{};
  const HANDLE search = ::FindFirstFileA((folder + "\\~corvane-*").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
  if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
}

// Each byte of a drive's serial is one ANSI character, so the file holds the byte itself.
TEST_F(Win32FilesTest, SerialBytesComeBackAsTheSameBytesInTheFile) {
  Win32SystemInfo info;
  const std::string bytes = "A\xE9\xC9\xA0z";
  const std::string path = folder + "\\serial.txt";
  files.WriteAll(path, info.SingleByteText(bytes));
  EXPECT_EQ(RawBytes(path), bytes);
}

TEST(Win32SystemInfo, UpperCaseIsTheSystemsForEveryScript) {
  Win32SystemInfo info;
  EXPECT_EQ(info.UpperCase("pc-7"), "PC-7");
  EXPECT_EQ(info.UpperCase("\xD0\xB6\xD1\x91\xD0\xBB\xD1\x82\xD1\x8B\xD0\xB9"),
            "\xD0\x96\xD0\x81\xD0\x9B\xD0\xA2\xD0\xAB\xD0\x99");              // жёлтый
  EXPECT_EQ(info.UpperCase("\xCE\xB3\xCF\x81"), "\xCE\x93\xCE\xA1");          // γρ
  EXPECT_EQ(info.UpperCase("jos\xC3\xA9 \xC3\xBF"), "JOS\xC3\x89 \xC5\xB8");  // josé ÿ
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
