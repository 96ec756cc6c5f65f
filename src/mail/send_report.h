// Sending the machine-information file to the support address by e-mail.
#pragma once

namespace corvane {

struct App;

// Hands the file to the mail service and ends the program, or puts up the
// manual-send screen (stage "7") when that fails.
void SendReportByMail(App& app);

}  // namespace corvane
