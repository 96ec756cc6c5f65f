// The reports an input of the register names, decoded as decode does: one at a time, or on a
// thread of their own while the register writes the ones before.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "common/verb_output.h"
#include "platform/mailbox.h"
#include "register/register_store.h"
#include "report/report_inputs.h"

namespace corvane {

// A report as the inputs give it.
struct Incoming {
  std::string path;
  ReportSource source;
  MachineValues values;
  std::string report_date;      // yyyymmdd, or empty when the name gives no calendar date
  std::string error;            // why it could not be decoded
  uint64_t message_number = 0;  // a mail's number in its mailbox (on a server, its UID)
};

Incoming DecodeIncoming(const std::string& path, const MailAttachment* mail,
                        const std::optional<std::string>& content, const std::string& reason);

// Reads and decodes the reports of `input` on a thread of its own and hands them to `handle`
// on this one, so that the mailbox's parsing and the register's writing overlap. Returns
// whether the input could be read to its end; an exception of `handle` stops the handing over
// and is raised again once the reader has finished.
bool DecodeOverlapped(const ReportInputs& input, std::istream& in, MailboxReader& mailboxes,
                      VerbOutput& output, const std::function<void(Incoming&)>& handle);
// The same for the report files that `produce` hands to the function it is given; returns
// what `produce` returns.
bool DecodeOverlapped(const std::function<bool(const FoundReportFile&)>& produce,
                      const std::function<void(Incoming&)>& handle);

}  // namespace corvane
