#include "register/incoming_reports.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "report/decode_command.h"

namespace corvane {

Incoming DecodeIncoming(const std::string& path, const MailAttachment* mail,
                        const std::optional<std::string>& content, const std::string& reason) {
  Incoming r;
  r.path = path;
  if (mail) {
    r.source = {mail->file_name,
                mail->message_id,
                mail->from,
                mail->date,
                true,
                mail->part != MailPart::kAttachment};
    r.message_number = mail->message_number;
  } else if (path == "-") {
    r.source.name = path;
  } else {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    r.source.name = ec ? path : absolute.lexically_normal().string();
  }
  const DecodedEntry entry = DecodeEntry(path, mail, content, reason);
  r.error = entry.error;
  if (!r.error.empty()) return r;
  r.warning = AmbiguousLengthsWarning(entry);
  r.values = entry.values;
  // Read from the name as the register keeps it, as it is read back.
  r.report_date = ReportDateOfName(r.source.name);
  return r;
}

InputReader::InputReader(const ReportInputs& input, std::istream& in, MailboxReader& mailboxes,
                         VerbOutput& output)
    : InputReader([input, in = &in, mailboxes = &mailboxes,
                   output = &output](const FoundReportFile& found) {
        return ForEachReportFile(input, *in, *mailboxes, *output, found);
      }) {}

InputReader::InputReader(std::function<bool(const FoundReportFile&)> produce)
    : reader_([this, produce = std::move(produce)] { ReadAll(produce); }) {}

InputReader::~InputReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }
  reader_.join();
}

void InputReader::WaitReadAhead() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return done_ || queue_.size() >= kQueued; });
}

bool InputReader::Drain(const std::string& name, const std::function<void(Incoming&)>& handle) {
  if (drained_) {
    throw RegisterError(name + ": the register asked for the input to be added again, and it " +
                        "cannot be read twice; add it again");
  }
  drained_ = true;
  std::deque<Incoming> batch;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return done_ || !queue_.empty(); });
      if (queue_.empty()) break;
      batch.swap(queue_);
      changed_.notify_all();
    }
    try {
      for (Incoming& r : batch) handle(r);
      batch.clear();
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
      queue_.clear();
      changed_.notify_all();
      throw;
    }
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return done_; });
  if (failure_) std::rethrow_exception(failure_);
  return read_;
}

void InputReader::ReadAll(const std::function<bool(const FoundReportFile&)>& produce) {
  bool read = false;
  std::exception_ptr failure;
  try {
    read = produce([&](const std::string& path, const MailAttachment* mail,
                       const std::optional<std::string>& content, const std::string& reason) {
      Incoming r = DecodeIncoming(path, mail, content, reason);
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || queue_.size() < kQueued; });
      if (stop_) return;
      queue_.push_back(std::move(r));
      changed_.notify_all();
    });
  } catch (...) {
    failure = std::current_exception();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  read_ = read;
  failure_ = failure;
  done_ = true;
  changed_.notify_all();
}

}  // namespace corvane
