#include "report/gather.h"

#include "disk/drive_identity.h"
#include "form/app.h"
#include "form/language_file.h"
#include "form/screens.h"
#include "report/machine_record.h"
#include "report/provision.h"
#include "report/report_name.h"

namespace corvane {

void GatherMachineIdentity(App& app) {
  Platform& os = app.os;
  FMain& f = app.form;
  const std::string program_folder = GetProgramFolder(app);
  f.LBLTWP.caption = program_folder;
  const std::string system_folder = os.system.SystemFolder();
  MachineValues values = ReadSystemValues(os);

  const DriveIdentity drive = GetDriveIdentity(os.smart, 0);
  if (drive.DriveType == kDriveTypeAta || drive.DriveType == kDriveTypeAtapi) {
    values.disk_identifier = DiskIdentifier(drive, os.system);
  } else {
    const std::string marker = FindOwnFile(app, kMarkerFileName);
    if (!os.files.Exists(marker)) {
      ProvisionSmartDriver(app, program_folder, system_folder);
      return;
    }
    // The driver was put in place once already: report without a disk rather than loop.
    os.files.Delete(marker);
    values.disk_identifier = kNotAvailableIdentifier;
  }
  const std::string record = MachineRecord(values);

  const std::string language_file = FindOwnFile(app, kLanguageFileName);
  if (os.files.Exists(language_file)) os.files.Delete(language_file);

  // A standard user on Windows may not create files in C:\; the desktop takes them. When
  // neither can, the root's failure is the one reported.
  std::string root = os.system.SystemDriveRoot();
  if (!os.files.CanCreateIn(root)) {
    const std::string desktop = os.system.DesktopFolder();
    if (os.files.CanCreateIn(desktop)) root = desktop;
  }
  if (root.empty() || root.back() != os.system.PathSeparator()) root += os.system.PathSeparator();
  const std::string name = ReportFileName(os.system.Today(), values.computer_name);
  const std::string path = root + name;
  // Replaced in one step: a failed write keeps the earlier file and shows no stage "2".
  os.files.WriteAll(path, record + "\r\n");

  f.LBLFILENAME.caption = path;
  f.LBLFILENAMEONLY.caption = name;
  ShowMailQuestionStage(app);
}

}  // namespace corvane
