// Wraps a fake platform so that its k-th call fails, counting calls over every interface
// (and over several runs of the program on the same platform). A failing call fails the
// way its interface reports failure: an error code, an empty answer, false, or a throw.
// Calls that cannot fail (Close, PathSeparator, Today, ...) are passed on uncounted.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace corvane::test {

class FaultCounter {
 public:
  explicit FaultCounter(int fail_at) : fail_at_(fail_at) {}
  // Counts the call; true when it is the one to fail.
  bool Fails(const std::string& call) {
    calls.push_back(call);
    return static_cast<int>(calls.size()) == fail_at_;
  }
  // The call that failed, or "" when none has yet.
  std::string failed() const {
    return fail_at_ > 0 && static_cast<size_t>(fail_at_) <= calls.size() ? calls[fail_at_ - 1] : "";
  }
  std::vector<std::string> calls;

 private:
  int fail_at_;
};

class FaultyRegistry : public Registry {
 public:
  FaultyRegistry(Registry& inner, FaultCounter& counter) : inner_(inner), counter_(counter) {}
  long OpenKey(RegKey root, const std::string& path, RegKey* out) override;
  long CreateKey(RegKey root, const std::string& path, RegKey* out) override;
  long QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override;
  long SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                uint32_t size) override;
  long DeleteValue(RegKey key, const std::string& name) override;
  long CloseKey(RegKey key) override;

 private:
  Registry& inner_;
  FaultCounter& counter_;
};

class FaultySmartDevice : public SmartDevice {
 public:
  FaultySmartDevice(SmartDevice& inner, FaultCounter& counter) : inner_(inner), counter_(counter) {}
  Handle Open(const std::string& name, uint32_t access, uint32_t share,
              uint32_t disposition) override;
  bool Control(Handle h, uint32_t code, ByteView in, MutableByteView out) override;
  void Close(Handle h) override { inner_.Close(h); }
  std::optional<uint32_t> PlatformId() override;

 private:
  SmartDevice& inner_;
  FaultCounter& counter_;
};

class FaultySystemInfo : public SystemInfo {
 public:
  FaultySystemInfo(SystemInfo& inner, FaultCounter& counter) : inner_(inner), counter_(counter) {}
  std::string ProgramFolder() override;
  char PathSeparator() override { return inner_.PathSeparator(); }
  std::string ProgramFileName() override { return inner_.ProgramFileName(); }
  std::string SystemFolder() override;
  std::string ComputerName() override;
  std::string UserName() override;
  std::optional<uint32_t> VolumeSerial(const std::string& root) override;
  std::string SystemDriveRoot() override;
  bool ProgramFolderTakesOwnFiles() override;
  std::string UserStateFolder() override;
  std::string DesktopFolder() override;
  LocalDate Today() override { return inner_.Today(); }
  std::string UpperCase(const std::string& text) override { return inner_.UpperCase(text); }
  std::string SingleByteText(const std::string& bytes) override {
    return inner_.SingleByteText(bytes);
  }
  bool IsNetworkFolder(const std::string& folder) override;

 private:
  SystemInfo& inner_;
  FaultCounter& counter_;
};

class FaultyFiles : public Files {
 public:
  FaultyFiles(Files& inner, FaultCounter& counter) : inner_(inner), counter_(counter) {}
  bool Exists(const std::string& path) override;
  std::string ReadAll(const std::string& path, FileKind kind) override;
  void WriteAll(const std::string& path, const std::string& content) override;
  void Delete(const std::string& path) override;
  void Copy(const std::string& from, const std::string& to) override;
  bool CanCreateIn(const std::string& folder) override;
  void MakeFolders(const std::string& folder) override;

 private:
  void Check(const std::string& op, const std::string& path);
  Files& inner_;
  FaultCounter& counter_;
};

class FaultyShell : public Shell {
 public:
  FaultyShell(Shell& inner, FaultCounter& counter) : inner_(inner), counter_(counter) {}
  bool StartProgram(const std::string& path, int window_style) override;
  bool StartMailClient() override;
  bool RequestRestart() override;

 private:
  Shell& inner_;
  FaultCounter& counter_;
};

class FaultySpreadsheet : public SpreadsheetAutomation {
 public:
  FaultySpreadsheet(SpreadsheetAutomation& inner, FaultCounter& counter)
      : inner_(inner), counter_(counter) {}
  std::unique_ptr<SpreadsheetApplication> Create(const std::string& prog_id) override;

 private:
  SpreadsheetAutomation& inner_;
  FaultCounter& counter_;
};

class FaultyDesktop : public Desktop {
 public:
  FaultyDesktop(Desktop& inner, FaultCounter& counter) : inner_(inner), counter_(counter) {}
  // A box that fails to show answers 0, as MessageBoxA does; it is still listed here.
  int MessageBox(const std::string& text, const std::string& title, int style) override;
  bool AnotherInstanceRunning() override;
  std::string ProgramTitle() override;
  void SetProgramTitle(const std::string& title) override;
  std::optional<WindowRef> FindRunningCopy(const std::string& title) override;
  void RestoreAndRaise(WindowRef window) override;

  std::vector<MessageBoxCall> attempted;  // every box asked for, shown or not

 private:
  Desktop& inner_;
  FaultCounter& counter_;
};

// A failing hand-over is a refusal.
class FaultyComposer : public MailComposer {
 public:
  FaultyComposer(MailComposer& inner, FaultCounter& counter) : inner_(inner), counter_(counter) {}
  bool Compose(const std::string& address, const std::string& subject,
               const std::string& path) override;
  bool OpenMailLink(const std::string& link, const std::string& path) override;

 private:
  MailComposer& inner_;
  FaultCounter& counter_;
};

// The fakes of `inner`, each behind its faulty wrapper, failing call `fail_at` (1 is the
// first; 0 fails none).
struct FaultyPlatform {
  FaultyPlatform(FakePlatform& inner, int fail_at)
      : counter(fail_at),
        registry(inner.registry, counter),
        smart(inner.smart, counter),
        system(inner.system, counter),
        files(inner.files, counter),
        shell(inner.shell, counter),
        spreadsheet(inner.spreadsheet, counter),
        desktop(inner.desktop, counter),
        composer(inner.composer, counter) {}
  FaultCounter counter;
  FaultyRegistry registry;
  FaultySmartDevice smart;
  FaultySystemInfo system;
  FaultyFiles files;
  FaultyShell shell;
  FaultySpreadsheet spreadsheet;
  FaultyDesktop desktop;
  FaultyComposer composer;
  Platform platform{registry, smart, system, files, shell, spreadsheet, desktop, composer};
};

}  // namespace corvane::test
