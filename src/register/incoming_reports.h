// The reports an input of the register names, decoded as decode does: one at a time, or on a
// thread of their own while the register writes the ones before.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

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
  std::string warning;          // what decode would warn of
  uint64_t message_number = 0;  // a mail's number in its mailbox (on a server, its UID)
};

Incoming DecodeIncoming(const std::string& path, const MailAttachment* mail,
                        const std::optional<std::string>& content, const std::string& reason);

// Reads and decodes the reports of one input on a thread of its own and hands them over on
// this one, so that the mailbox's parsing and the register's writing overlap. The reports
// wait in a queue of at most kQueued; the register is locked for writing only once the
// input has ended or the queue is full, so that a report typed at a terminal, or a slow
// input, keeps no other writer waiting.
class InputReader {
 public:
  InputReader(const ReportInputs& input, std::istream& in, MailboxReader& mailboxes,
              VerbOutput& output);
  // The report files that `produce` hands to the function it is given; the input was read to
  // its end when `produce` returns true.
  explicit InputReader(std::function<bool(const FoundReportFile&)> produce);
  ~InputReader();
  InputReader(const InputReader&) = delete;
  InputReader& operator=(const InputReader&) = delete;

  // Until the input has ended or the queue is full.
  void WaitReadAhead();

  // Hands every report to `handle`, in order; whether the input could be read to its end.
  // An exception of `handle` stops the reading and is raised. Once only: what was handed
  // over is not kept for a second time (`name` is the register's, for that refusal).
  bool Drain(const std::string& name, const std::function<void(Incoming&)>& handle);

 private:
  static constexpr size_t kQueued = 4096;

  void ReadAll(const std::function<bool(const FoundReportFile&)>& produce);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Incoming> queue_;
  bool done_ = false;
  bool stop_ = false;
  bool read_ = false;
  bool drained_ = false;
  std::exception_ptr failure_;
  std::thread reader_;  // last: it starts once the rest is ready
};

}  // namespace corvane
