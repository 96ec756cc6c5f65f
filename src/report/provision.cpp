#include "report/provision.h"

#include "form/app.h"
#include "form/language_file.h"
#include "form/screens.h"
#include "form/texts.h"
#include "platform/registry_helpers.h"

namespace corvane {

void ProvisionSmartDriver(App& app, const std::string& program_folder,
                          const std::string& system_folder) {
  const char sep = app.os.system.PathSeparator();
  const std::string source = program_folder + sep + kDriverFileName;
  if (!app.os.files.Exists(source)) {
    ShowDriverMissingStage(app, program_folder);
    return;
  }
  try {
    app.os.files.Copy(source, system_folder + sep + kDriverFolderName + sep + kDriverFileName);
    // Only a copied driver leaves the marker, so a failed copy is tried again next run.
    app.os.files.WriteAll(NewOwnFile(app, kMarkerFileName), "0\r\n");
  } catch (const FileError&) {
    ShowDriverCopyFailedStage(app);
    return;
  }
  ShowRebootStage(app);
}

void RebootWithAutoStart(App& app) {
  const std::string program_folder = GetProgramFolder(app);
  HideForm(app);
  const std::string run_value =
      program_folder + app.os.system.PathSeparator() + app.os.system.ProgramFileName();
  WriteRegistryString(app.os.registry, kHkeyLocalMachine, kRunKey, kRunValueName, run_value);
  // Without the Run value nothing would start the program after the restart: the user is
  // asked to restart and start it by hand instead, as when the restart is refused.
  const bool will_resume =
      ReadRegistryString(app.os.registry, kHkeyLocalMachine, kRunKey, kRunValueName) ==
      std::optional<std::string>(run_value);
  if (will_resume && app.os.shell.RequestRestart()) return;  // the system ends the program
  // Hidden and waiting for a restart that never comes would leave the user stranded.
  app.os.desktop.MessageBox(RestartRefusedText(app.form.LBLIDIOMA.caption), "", kMbOk);
  UnloadAndEnd(app);
}

}  // namespace corvane
