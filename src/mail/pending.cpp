// Stand-in until the mail dispatch lands: the form stays as it is.
#include "mail/send_report.h"

namespace corvane {

void SendReportByMail(App&) {}

}  // namespace corvane
