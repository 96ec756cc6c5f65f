#include "mail/send_report.h"

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "form/app.h"
#include "form/screens.h"
#include "form/texts.h"
#include "platform/spreadsheet.h"

namespace corvane {

namespace {

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
        app.os.desktop.MessageBox(f.Entry(Text::kOpenMailClient), "", kMbYesNo + kMbIconQuestion);
    if (answer == kIdYes && !app.os.shell.StartProgram(kMailClientPath, kWindowNormalFocus)) {
      throw std::runtime_error(std::string("cannot start ") + kMailClientPath);
    }
    app.os.files.Delete(file_path);
  } catch (const std::exception&) {
    TidyUp(sheet, file_name);
    ShowManualSendStage(app);
    return;
  }
  UnloadAndEnd(app);
}

}  // namespace corvane
