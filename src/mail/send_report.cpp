#include "mail/send_report.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "form/app.h"
#include "form/screens.h"
#include "form/texts.h"
#include "mail/report_mail.h"
#include "platform/files.h"
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

// The user's own mail program through a mail interface that answers for the attachment:
// true once it holds the message with the file attached. The file stays, for the mail
// program reads it when the user sends, which may be never.
bool HandToMailProgram(App& app, const std::string& file_path, const std::string& file_name) {
  try {
    if (!app.os.composer.Compose(kSupportAddress, file_name, file_path)) return false;
  } catch (const std::exception&) {
    return false;
  }
  app.os.desktop.MessageBox(MailProgramHasItText(app.form.LBLIDIOMA.caption, file_path), "", kMbOk);
  return true;
}

// The user's mail program through a mailto: link, which carries no attachment: the report
// goes in the message's text. What the program makes of the link is not known, so the box
// claims no attachment, and the file stays.
bool HandOverMailLink(App& app, const std::string& file_path, const std::string& file_name) {
  const std::string& code = app.form.LBLIDIOMA.caption;
  try {
    const std::optional<std::string> link =
        ReportMailLink(code, file_name, app.os.files.ReadAll(file_path, FileKind::kRecord));
    if (!link || !app.os.composer.OpenMailLink(*link, file_path)) return false;
  } catch (const std::exception&) {
    return false;
  }
  app.os.desktop.MessageBox(ReportInMailText(code, file_path), "", kMbOk);
  return true;
}

// The text of a mail that carries the file, for a stand-in of the spreadsheet program whose
// mail has one (the spreadsheet program's has none).
std::string MailText(App& app, const std::string& file_name) {
  std::string computer;
  try {
    computer = app.os.system.ComputerName();
  } catch (const std::exception&) {
  }
  return MailBodyText(app.form.LBLIDIOMA.caption, file_name, computer);
}

}  // namespace

void SendReportByMail(App& app) {
  FMain& f = app.form;
  const std::string file_path = f.LBLFILENAME.caption;
  const std::string file_name = f.LBLFILENAMEONLY.caption;
  HideForm(app);

  std::unique_ptr<SpreadsheetApplication> sheet;
  try {
    app.os.spreadsheet.SetMailText(MailText(app, file_name));
    sheet = app.os.spreadsheet.Create(kSpreadsheetProgId);
    sheet->SetScreenUpdating(false);
    sheet->OpenWorkbook(file_path);
    // The workbook is named after the file, so the attachment and the subject carry its name.
    sheet->SendMail(file_name, kSupportAddress, file_name);
  } catch (const std::exception&) {
    TidyUp(sheet, file_name);
    // The mail program is already open with the message: no question about starting it.
    if (HandToMailProgram(app, file_path, file_name) ||
        HandOverMailLink(app, file_path, file_name)) {
      UnloadAndEnd(app);
    }
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
