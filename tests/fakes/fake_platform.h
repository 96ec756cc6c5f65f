// In-memory fakes of every platform interface, bundled for one run of the program.
// Each records its calls and can fail any of them on request.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_registry.h"
#include "fakes/fake_spreadsheet.h"
#include "fakes/scripted_smart_device.h"
#include "form/app.h"
#include "platform/platform.h"

namespace corvane::test {

// Windows-style paths: "\" separates, names compare as given.
class FakeFiles : public Files {
 public:
  bool Exists(const std::string& path) override;
  std::string ReadAll(const std::string& path, FileKind kind) override;
  void WriteAll(const std::string& path, const std::string& content) override;
  void Delete(const std::string& path) override;
  void Copy(const std::string& from, const std::string& to) override;
  bool CanCreateIn(const std::string& folder) override;
  void MakeFolders(const std::string& folder) override;

  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  std::set<std::string> read_only_folders;  // no trailing "\\"; writes, deletes fail in them
  std::set<std::string> fail;               // operation names that fail ("WriteAll", ...)
  std::vector<std::string> calls;

 private:
  void Check(const std::string& op, const std::string& path);
};

class FakeSystemInfo : public SystemInfo {
 public:
  std::string ProgramFolder() override { return program_folder; }
  char PathSeparator() override { return path_separator; }
  std::string ProgramFileName() override { return "Corvane.exe"; }
  std::string SystemFolder() override { return system_folder; }
  std::string ComputerName() override { return computer_name; }
  std::string UserName() override { return user_name; }
  std::optional<uint32_t> VolumeSerial(const std::string& root) override {
    volume_roots.push_back(root);
    return volume_serial;
  }
  std::string SystemDriveRoot() override { return "C:\\"; }
  bool ProgramFolderTakesOwnFiles() override { return program_folder_is_own; }
  std::string UserStateFolder() override { return user_state_folder; }
  std::string DesktopFolder() override { return desktop_folder; }
  LocalDate Today() override { return today; }
  // The fake machine's case table covers ASCII and the Latin-1 letters.
  std::string UpperCase(const std::string& text) override;
  // The fake machine's code page is Latin-1.
  std::string SingleByteText(const std::string& bytes) override;
  bool IsNetworkFolder(const std::string& folder) override { return HoldsDoubledBackslash(folder); }

  char path_separator = '\\';
  std::string program_folder = "C:\\Tools";
  std::string system_folder = "C:\\WINDOWS\\SYSTEM";
  std::string computer_name = "pc-7";
  std::string user_name = "ana";
  std::optional<uint32_t> volume_serial = 0x9C3A1F22u;
  bool program_folder_is_own = true;
  std::string user_state_folder = "C:\\Users\\ana\\AppData\\Local\\Corvane";
  std::string desktop_folder = "C:\\Users\\ana\\Desktop";
  LocalDate today{2026, 1, 31};
  std::vector<std::string> volume_roots;
};

// The files of the fake machine, as its defaults place them: program folder C:\Tools,
// computer pc-7, 31 January 2026.
inline constexpr const char* kLanguageFile = "C:\\Tools\\idioma.txt";
inline constexpr const char* kMarker = "C:\\Tools\\hd.txt";
inline constexpr const char* kDriverSource = "C:\\Tools\\smartvsd.vxd";
inline constexpr const char* kDriverTarget = "C:\\WINDOWS\\SYSTEM\\iosubsys\\smartvsd.vxd";
inline constexpr const char* kReportFile = "C:\\Lumbrook20260131PC-7.kik";

struct MessageBoxCall {
  std::string text;
  std::string title;
  int style = 0;
};

class FakeDesktop : public Desktop {
 public:
  int MessageBox(const std::string& text, const std::string& title, int style) override;
  bool AnotherInstanceRunning() override { return another_running; }
  std::string ProgramTitle() override { return title; }
  void SetProgramTitle(const std::string& t) override { title = t; }
  std::optional<WindowRef> FindRunningCopy(const std::string& t) override {
    searched_titles.push_back(t);
    return running_copy;
  }
  void RestoreAndRaise(WindowRef w) override { raised.push_back(w); }

  bool another_running = false;
  std::string title = "Corvane";
  std::optional<WindowRef> running_copy;
  std::deque<int> answers;       // answers for Yes/No boxes, front first; kIdNo when empty
  std::function<void()> on_box;  // runs while a box is up
  std::vector<MessageBoxCall> boxes;
  std::vector<std::string> searched_titles;
  std::vector<WindowRef> raised;
};

class FakeShell : public Shell {
 public:
  bool StartProgram(const std::string& path, int style) override {
    started.push_back({path, style});
    return start_succeeds;
  }
  bool StartMailClient() override {
    ++mail_client_starts;
    return mail_client_succeeds;
  }
  bool RequestRestart() override {
    ++restart_requests;
    return restart_succeeds;
  }
  bool start_succeeds = true;
  bool mail_client_succeeds = true;
  int mail_client_starts = 0;
  bool restart_succeeds = true;
  std::vector<std::pair<std::string, int>> started;
  int restart_requests = 0;
};

struct ComposeCall {
  std::string address;
  std::string subject;
  std::string path;
};

struct MailLinkCall {
  std::string link;
  std::string path;
};

// The user's mail program: it refuses the message unless `accepts` is set, and the link
// unless `opens_links` is.
class FakeComposer : public MailComposer {
 public:
  bool Compose(const std::string& address, const std::string& subject,
               const std::string& path) override {
    calls.push_back({address, subject, path});
    return accepts;
  }
  bool OpenMailLink(const std::string& link, const std::string& path) override {
    links.push_back({link, path});
    return opens_links;
  }
  bool accepts = false;
  bool opens_links = false;
  std::vector<ComposeCall> calls;
  std::vector<MailLinkCall> links;
};

struct FakePlatform {
  FakeRegistry registry;
  ScriptedSmartDevice smart;  // no drive until a test scripts one
  FakeSystemInfo system;
  FakeFiles files;
  FakeShell shell;
  FakeSpreadsheet spreadsheet;  // absent until `installed` is set
  FakeDesktop desktop;
  FakeComposer composer;  // refuses until `accepts` or `opens_links` is set
  Platform platform{registry, smart, system, files, shell, spreadsheet, desktop, composer};
};

// A fake platform and one run of the program on it.
struct FakeRun : FakePlatform {
  App app{platform};
};

}  // namespace corvane::test
