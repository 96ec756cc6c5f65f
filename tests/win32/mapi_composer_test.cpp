// The mail composer through the system's MAPI32 under Wine, with a mail program of the
// test's own registered as the default one: Wine's own drops attachments.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "form/texts.h"
#include "platform/win32/ansi.h"
#include "platform/win32/mail_composer.h"

namespace corvane::test {
namespace {

constexpr const char* kClients = "Software\\Clients\\Mail";
constexpr const char* kTestClient = "Corvane Test Mail";

std::optional<std::string> DefaultClient(HKEY root) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, kClients, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  char data[512] = {};
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  const LONG status =
      ::RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return std::string(data);
}

void SetDefaultClient(HKEY root, const std::optional<std::string>& name) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyA(root, kClients, &key), ERROR_SUCCESS);
  if (name) {
    ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name->c_str()),
                     static_cast<DWORD>(name->size() + 1));
  } else {
    ::RegDeleteValueA(key, nullptr);
  }
  ::RegCloseKey(key);
}

std::string ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return WideToUtf8(folder.substr(0, folder.find_last_of(L'\\')));
}

std::string ReadLog(const std::string& path) {
  std::ifstream in(Utf8ToWide(path).c_str(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The machine's own choice of mail program is put back afterwards: the tests share a prefix.
class MapiComposerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_choice = DefaultClient(HKEY_LOCAL_MACHINE);
    user_choice = DefaultClient(HKEY_CURRENT_USER);
    SetDefaultClient(HKEY_CURRENT_USER, std::nullopt);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::string folder = WideToUtf8(temp);
    log = folder + "corvane-mapi.log";
    ::DeleteFileW(Utf8ToWide(log).c_str());
    // A name the ANSI code page may lack: the Unicode entry carries it whole.
    file_name = "Lumbrook20260131JOSÉ-PC.kik";
    file = folder + file_name;
    std::ofstream(Utf8ToWide(file).c_str(), std::ios::binary) << "record\r\n";
    ::SetEnvironmentVariableA("CORVANE_TEST_MAPI_LOG", Utf8ToAnsi(log).c_str());
  }

  void TearDown() override {
    SetDefaultClient(HKEY_LOCAL_MACHINE, machine_choice);
    SetDefaultClient(HKEY_CURRENT_USER, user_choice);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kClients) + "\\" + kTestClient).c_str());
    ::DeleteFileW(Utf8ToWide(file).c_str());
    ::DeleteFileW(Utf8ToWide(log).c_str());
    ::SetEnvironmentVariableA("CORVANE_TEST_MAPI_LOG", nullptr);
    ::SetEnvironmentVariableA("CORVANE_TEST_MAPI_ANSWER", nullptr);
  }

  void RegisterTestClient() {
    SetDefaultClient(HKEY_LOCAL_MACHINE, std::string(kTestClient));
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyA(HKEY_LOCAL_MACHINE,
                              (std::string(kClients) + "\\" + kTestClient).c_str(), &key),
              ERROR_SUCCESS);
    const std::string dll = Utf8ToAnsi(ProgramFolder() + "\\corvane_test_mapi.dll");
    ::RegSetValueExA(key, "DLLPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()),
                     static_cast<DWORD>(dll.size() + 1));
    ::RegCloseKey(key);
  }

  std::optional<std::string> machine_choice;
  std::optional<std::string> user_choice;
  std::string log;
  std::string file_name;
  std::string file;
};

// MAPI32 reads the default mail program once, when it is loaded, so the cases run in this
// order in one test: without one (nothing is loaded), then with the test's own.
TEST_F(MapiComposerTest, TheDefaultMailProgramGetsTheMessageReadyToSend) {
  MapiComposer composer;
  SetDefaultClient(HKEY_LOCAL_MACHINE, std::nullopt);
  EXPECT_FALSE(composer.Compose(kSupportAddress, file_name, file)) << "no mail program";
  EXPECT_EQ(ReadLog(log), "") << "nothing was handed over";

  RegisterTestClient();
  const std::string expected = std::string("entry=W\nflags=9\nsubject=") + file_name +
                               "\nrecipient=1|" + kSupportAddress + "|SMTP:" + kSupportAddress +
                               "\nfile=" + file + "|" + file_name + "|readable\n";
  const struct {
    const char* answer;
    bool handed_over;
  } cases[] = {{"0", true}, {"1", false}, {"2", false}, {"26", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    ::SetEnvironmentVariableA("CORVANE_TEST_MAPI_ANSWER", c.answer);
    ::DeleteFileW(Utf8ToWide(log).c_str());
    EXPECT_EQ(composer.Compose(kSupportAddress, file_name, file), c.handed_over);
    EXPECT_EQ(ReadLog(log), expected);
  }
}

}  // namespace
}  // namespace corvane::test
