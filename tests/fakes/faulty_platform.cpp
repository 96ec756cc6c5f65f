#include "fakes/faulty_platform.h"

namespace corvane::test {

long FaultyRegistry::OpenKey(RegKey root, const std::string& path, RegKey* out) {
  if (counter_.Fails("Registry.OpenKey " + path)) return kErrorAccessDenied;
  return inner_.OpenKey(root, path, out);
}

long FaultyRegistry::CreateKey(RegKey root, const std::string& path, RegKey* out) {
  if (counter_.Fails("Registry.CreateKey " + path)) return kErrorAccessDenied;
  return inner_.CreateKey(root, path, out);
}

long FaultyRegistry::QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                                uint32_t* size) {
  if (counter_.Fails("Registry.QueryValue " + name)) return kErrorAccessDenied;
  return inner_.QueryValue(key, name, type, data, size);
}

long FaultyRegistry::SetValue(RegKey key, const std::string& name, uint32_t type,
                              const uint8_t* data, uint32_t size) {
  if (counter_.Fails("Registry.SetValue " + name)) return kErrorAccessDenied;
  return inner_.SetValue(key, name, type, data, size);
}

long FaultyRegistry::DeleteValue(RegKey key, const std::string& name) {
  if (counter_.Fails("Registry.DeleteValue " + name)) return kErrorAccessDenied;
  return inner_.DeleteValue(key, name);
}

long FaultyRegistry::CloseKey(RegKey key) {
  // A failed close still lets the handle go, as Windows does.
  const long result = inner_.CloseKey(key);
  return counter_.Fails("Registry.CloseKey") ? kErrorInvalidHandle : result;
}

Handle FaultySmartDevice::Open(const std::string& name, uint32_t access, uint32_t share,
                               uint32_t disposition) {
  if (counter_.Fails("SmartDevice.Open " + name)) return kInvalidHandle;
  return inner_.Open(name, access, share, disposition);
}

bool FaultySmartDevice::Control(Handle h, uint32_t code, ByteView in, MutableByteView out) {
  if (counter_.Fails("SmartDevice.Control " + std::to_string(code))) return false;
  return inner_.Control(h, code, in, out);
}

std::optional<uint32_t> FaultySmartDevice::PlatformId() {
  if (counter_.Fails("SmartDevice.PlatformId")) return std::nullopt;
  return inner_.PlatformId();
}

std::string FaultySystemInfo::ProgramFolder() {
  return counter_.Fails("SystemInfo.ProgramFolder") ? "" : inner_.ProgramFolder();
}

std::string FaultySystemInfo::SystemFolder() {
  return counter_.Fails("SystemInfo.SystemFolder") ? "" : inner_.SystemFolder();
}

std::string FaultySystemInfo::ComputerName() {
  return counter_.Fails("SystemInfo.ComputerName") ? "" : inner_.ComputerName();
}

std::string FaultySystemInfo::UserName() {
  return counter_.Fails("SystemInfo.UserName") ? "" : inner_.UserName();
}

std::optional<uint32_t> FaultySystemInfo::VolumeSerial(const std::string& root) {
  if (counter_.Fails("SystemInfo.VolumeSerial " + root)) return std::nullopt;
  return inner_.VolumeSerial(root);
}

std::string FaultySystemInfo::SystemDriveRoot() {
  return counter_.Fails("SystemInfo.SystemDriveRoot") ? "" : inner_.SystemDriveRoot();
}

// A folder whose filesystem cannot be told is not refused.
bool FaultySystemInfo::IsNetworkFolder(const std::string& folder) {
  return !counter_.Fails("SystemInfo.IsNetworkFolder") && inner_.IsNetworkFolder(folder);
}

// Unknown counts as an installed copy: the per-user folder.
bool FaultySystemInfo::ProgramFolderTakesOwnFiles() {
  return !counter_.Fails("SystemInfo.ProgramFolderTakesOwnFiles") &&
         inner_.ProgramFolderTakesOwnFiles();
}

std::string FaultySystemInfo::UserStateFolder() {
  return counter_.Fails("SystemInfo.UserStateFolder") ? "" : inner_.UserStateFolder();
}

std::string FaultySystemInfo::DesktopFolder() {
  return counter_.Fails("SystemInfo.DesktopFolder") ? "" : inner_.DesktopFolder();
}

void FaultyFiles::Check(const std::string& op, const std::string& path) {
  if (counter_.Fails("Files." + op + " " + path)) throw FileError(path, "Input/output error");
}

bool FaultyFiles::Exists(const std::string& path) {
  // A failed look-up finds nothing, as Dir$ does.
  if (counter_.Fails("Files.Exists " + path)) return false;
  return inner_.Exists(path);
}

std::string FaultyFiles::ReadAll(const std::string& path, FileKind kind) {
  Check("ReadAll", path);
  return inner_.ReadAll(path, kind);
}

void FaultyFiles::WriteAll(const std::string& path, const std::string& content) {
  Check("WriteAll", path);
  inner_.WriteAll(path, content);
}

void FaultyFiles::Delete(const std::string& path) {
  Check("Delete", path);
  inner_.Delete(path);
}

void FaultyFiles::Copy(const std::string& from, const std::string& to) {
  Check("Copy", from);
  inner_.Copy(from, to);
}

bool FaultyFiles::CanCreateIn(const std::string& folder) {
  return !counter_.Fails("Files.CanCreateIn " + folder) && inner_.CanCreateIn(folder);
}

void FaultyFiles::MakeFolders(const std::string& folder) {
  Check("MakeFolders", folder);
  inner_.MakeFolders(folder);
}

bool FaultyShell::StartProgram(const std::string& path, int window_style) {
  if (counter_.Fails("Shell.StartProgram " + path)) return false;
  return inner_.StartProgram(path, window_style);
}

bool FaultyShell::StartMailClient() {
  return !counter_.Fails("Shell.StartMailClient") && inner_.StartMailClient();
}

bool FaultyShell::RequestRestart() {
  if (counter_.Fails("Shell.RequestRestart")) return false;
  return inner_.RequestRestart();
}

namespace {

class FaultyApplication : public SpreadsheetApplication {
 public:
  FaultyApplication(std::unique_ptr<SpreadsheetApplication> inner, FaultCounter& counter)
      : inner_(std::move(inner)), counter_(counter) {}
  void SetScreenUpdating(bool on) override {
    Check("SetScreenUpdating");
    inner_->SetScreenUpdating(on);
  }
  void OpenWorkbook(const std::string& path) override {
    Check("OpenWorkbook");
    inner_->OpenWorkbook(path);
  }
  void SendMail(const std::string& workbook, const std::string& recipients,
                const std::string& subject) override {
    Check("SendMail");
    inner_->SendMail(workbook, recipients, subject);
  }
  void CloseWorkbook(const std::string& workbook, bool save_changes) override {
    Check("CloseWorkbook");
    inner_->CloseWorkbook(workbook, save_changes);
  }
  void SetCaption(const std::string& caption) override {
    Check("SetCaption");
    inner_->SetCaption(caption);
  }
  void Quit() override {
    Check("Quit");
    inner_->Quit();
  }

 private:
  void Check(const std::string& member) {
    if (counter_.Fails("Spreadsheet." + member)) throw AutomationError(member + " failed");
  }
  std::unique_ptr<SpreadsheetApplication> inner_;
  FaultCounter& counter_;
};

}  // namespace

std::unique_ptr<SpreadsheetApplication> FaultySpreadsheet::Create(const std::string& prog_id) {
  if (counter_.Fails("Spreadsheet.Create")) throw AutomationError("Create failed");
  return std::make_unique<FaultyApplication>(inner_.Create(prog_id), counter_);
}

int FaultyDesktop::MessageBox(const std::string& text, const std::string& title, int style) {
  attempted.push_back({text, title, style});
  if (counter_.Fails("Desktop.MessageBox")) return 0;
  return inner_.MessageBox(text, title, style);
}

bool FaultyDesktop::AnotherInstanceRunning() {
  return !counter_.Fails("Desktop.AnotherInstanceRunning") && inner_.AnotherInstanceRunning();
}

std::string FaultyDesktop::ProgramTitle() {
  return counter_.Fails("Desktop.ProgramTitle") ? "" : inner_.ProgramTitle();
}

void FaultyDesktop::SetProgramTitle(const std::string& title) {
  if (!counter_.Fails("Desktop.SetProgramTitle")) inner_.SetProgramTitle(title);
}

std::optional<WindowRef> FaultyDesktop::FindRunningCopy(const std::string& title) {
  if (counter_.Fails("Desktop.FindRunningCopy")) return std::nullopt;
  return inner_.FindRunningCopy(title);
}

void FaultyDesktop::RestoreAndRaise(WindowRef window) {
  if (!counter_.Fails("Desktop.RestoreAndRaise")) inner_.RestoreAndRaise(window);
}

bool FaultyComposer::Compose(const std::string& address, const std::string& subject,
                             const std::string& path) {
  return !counter_.Fails("Composer.Compose " + path) && inner_.Compose(address, subject, path);
}

bool FaultyComposer::OpenMailLink(const std::string& link, const std::string& path) {
  return !counter_.Fails("Composer.OpenMailLink " + path) && inner_.OpenMailLink(link, path);
}

}  // namespace corvane::test
