#include "report/provision.h"

#include "app/app.h"
#include "app/language_file.h"
#include "app/texts.h"
#include "app/wizard.h"
#include "platform/registry_helpers.h"

namespace corvane {

namespace {

constexpr int kMissingDriverFontSize = 12;

}  // namespace

void ProvisionSmartDriver(App& app, const std::string& program_folder,
                          const std::string& system_folder) {
  const char sep = app.os.system.PathSeparator();
  const FMain& f = app.form;
  const std::string source = program_folder + sep + kDriverFileName;
  if (!app.os.files.Exists(source)) {
    ShowStage(
        app, "6", Buttons::kOk, kMissingDriverFontSize,
        f.Entry(12) + kCr + f.Entry(13) + kCr + kCr + program_folder + sep + kCr + f.Entry(18));
    return;
  }
  try {
    app.os.files.Copy(source, system_folder + sep + kDriverFolderName + sep + kDriverFileName);
    // Only a copied driver leaves the marker, so a failed copy is tried again next run.
    app.os.files.WriteAll(program_folder + sep + kMarkerFileName, "0\r\n");
  } catch (const FileError&) {
    ShowStage(app, "7", Buttons::kOk, kStageFontSize,
              f.Entry(14) + kCr + f.Entry(15) + kCr + f.Entry(16));
    return;
  }
  ShowStage(app, "8", Buttons::kOk, kStageFontSize, f.Entry(17) + kCr + kCr + f.Entry(19));
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
