#include "mail/send_report.h"

#include <exception>
#include <memory>
#include <string>

#include "form/app.h"
#include "form/screens.h"
#include "form/texts.h"
#include "platform/spreadsheet.h"

namespace corvane {

namespace {

// Closes the workbook and lets the spreadsheet program go, after a send or a failure: each
// step is tried on its own, and a failing one is skipped.
void TidyUp(std::unique_ptr<SpreadsheetApplication>& sheet, const std::string& file_name) {
  if (!sheet) return;
  try {
    sheet->CloseWorkbook(file_name, false);
  } catch (const std::exception&) {
  }
  try {
    sheet->SetCaption(kSpreadsheetCaption);
  } catch (const std::exception&) {
  }
  try {
    sheet->Quit();
  } catch (const std::exception&) {
  }
  sheet.reset();
}

// The client of the fixed path where it is installed, else the system's default one. The
// fixed path names a file only where "\" separates folders; elsewhere it would be looked up
// in the working folder.
void StartMailClient(App& app) {
  if (app.os.system.PathSeparator() == '\\' && app.os.files.Exists(kMailClientPath)) {
    app.os.shell.StartProgram(kMailClientPath, kWindowNormalFocus);
  } else {
    app.os.shell.StartMailClient();
  }
}

// The user's own mail program, when the mail service could not take the mail: true once it
// holds the message with the file attached. The file stays, for the mail program reads it
// when the user sends, which may be never.
bool HandToMailProgram(App& app, const std::string& file_path, const std::string& file_name) {
  try {
    if (!app.os.composer.Compose(kSupportAddress, file_name, file_path)) return false;
  } catch (const std::exception&) {
    return false;
  }
  app.os.desktop.MessageBox(MailProgramHasItText(app.form.LBLIDIOMA.caption, file_path), "", kMbOk);
  return true;
}

}  // namespace

void SendReportByMail(App& app) {
  FMain& f = app.form;
  const std::string file_path = f.LBLFILENAME.caption;
  const std::string file_name = f.LBLFILENAMEONLY.caption;
  HideForm(app);

  std::unique_ptr<SpreadsheetApplication> sheet;
  try {
    app.os.spreadsheet.SetMailLanguage(f.LBLIDIOMA.caption);
    sheet = app.os.spreadsheet.Create(kSpreadsheetProgId);
    sheet->SetScreenUpdating(false);
    sheet->OpenWorkbook(file_path);
    // The workbook is named after the file, so the attachment and the subject carry its name.
    sheet->SendMail(file_name, kSupportAddress, file_name);
  } catch (const std::exception&) {
    TidyUp(sheet, file_name);
    // The mail program is already open with the message: no question about starting it.
    if (HandToMailProgram(app, file_path, file_name)) UnloadAndEnd(app);
    ShowManualSendStage(app);
    return;
  }
  // The mail has gone. Nothing after this may tell the user to send the file by hand: a
  // step that fails is skipped, and the run ends as after any successful send.
  TidyUp(sheet, file_name);
  const int answer =
      app.os.desktop.MessageBox(f.Entry(Text::kOpenMailClient), "", kMbYesNo + kMbIconQuestion);
  if (answer == kIdYes) StartMailClient(app);
  try {
    app.os.files.Delete(file_path);
  } catch (const FileError&) {
  }
  UnloadAndEnd(app);
}

}  // namespace corvane
