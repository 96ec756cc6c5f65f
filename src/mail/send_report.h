// Sending the machine-information file to the support address by e-mail.
#pragma once

namespace corvane {

struct App;

// The automation object that takes the mail, and the caption its window gets back.
inline constexpr const char* kSpreadsheetProgId = "excel.application";
inline constexpr const char* kSpreadsheetCaption = "Microsoft Excel";
// The desktop mail client, started by this fixed path.
inline constexpr const char* kMailClientPath = "C:\\Program Files\\Outlook Express\\MSIMN.EXE";

// Hands the file to the mail service and ends the program. When that fails, hands it to the
// user's mail program and ends the program keeping the file; when that fails too, puts up the
// manual-send screen (stage "7").
void SendReportByMail(App& app);

}  // namespace corvane
