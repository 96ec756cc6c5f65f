#include "mail/send_report.h"

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/app.h"
#include "app/texts.h"
#include "platform/spreadsheet.h"

namespace corvane {

namespace {

constexpr size_t kMailClientQuestion = 22;
constexpr size_t kPleaseSendFile = 8;
constexpr size_t kToSupportAddress = 9;

// The spreadsheet program may still be running with the workbook open: each step is tried
// on its own, and a failing one is skipped.
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

void ShowManualSendScreen(App& app) {
  FMain& f = app.form;
  f.LBLSTAGE.caption = "7";
  f.LBLMSG.visible = true;
  f.ShowOkOrYesNo(true);
  f.Frame1.visible = false;
  f.ClearAndHideOptions();
  f.LBLMSG.caption = f.Entry(kPleaseSendFile) + kCr + kCr + f.LBLFILENAME.caption + kCr + kCr +
                     f.Entry(kToSupportAddress);
  f.LBLFILENAME.caption.clear();
  ShowForm(app);
}

}  // namespace

void SendReportByMail(App& app) {
  FMain& f = app.form;
  const std::string file_path = f.LBLFILENAME.caption;
  const std::string file_name = f.LBLFILENAMEONLY.caption;
  HideForm(app);

  std::unique_ptr<SpreadsheetApplication> sheet;
  try {
    sheet = app.os.spreadsheet.Create(kSpreadsheetProgId);
    sheet->SetScreenUpdating(false);
    sheet->OpenWorkbook(file_path);
    // The workbook is named after the file, so the attachment and the subject carry its name.
    sheet->SendMail(file_name, kSupportAddress, file_name);
    sheet->CloseWorkbook(file_name, false);
    sheet->SetCaption(kSpreadsheetCaption);
    sheet->Quit();
    sheet.reset();

    const int answer =
        app.os.desktop.MessageBox(f.Entry(kMailClientQuestion), "", kMbYesNo + kMbIconQuestion);
    if (answer == kIdYes && !app.os.shell.StartProgram(kMailClientPath, kWindowNormalFocus)) {
      throw std::runtime_error(std::string("cannot start ") + kMailClientPath);
    }
    app.os.files.Delete(file_path);
  } catch (const std::exception&) {
    TidyUp(sheet, file_name);
    ShowManualSendScreen(app);
    return;
  }
  UnloadAndEnd(app);
}

}  // namespace corvane
