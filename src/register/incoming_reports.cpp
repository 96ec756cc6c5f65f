#include "register/incoming_reports.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
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
  r.values = entry.values;
  // Read from the name as the register keeps it, as it is read back.
  r.report_date = ReportDateOfName(r.source.name);
  return r;
}

bool DecodeOverlapped(const ReportInputs& input, std::istream& in, MailboxReader& mailboxes,
                      VerbOutput& output, const std::function<void(Incoming&)>& handle) {
  return DecodeOverlapped(
      [&](const FoundReportFile& found) {
        return ForEachReportFile(input, in, mailboxes, output, found);
      },
      handle);
}

bool DecodeOverlapped(const std::function<bool(const FoundReportFile&)>& produce,
                      const std::function<void(Incoming&)>& handle) {
  constexpr size_t kQueued = 512;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Incoming> queue;
  bool done = false;
  bool stop = false;
  bool read = false;
  std::exception_ptr reader_failure;
  std::thread reader([&] {
    try {
      read = produce([&](const std::string& path, const MailAttachment* mail,
                         const std::optional<std::string>& content, const std::string& reason) {
        Incoming r = DecodeIncoming(path, mail, content, reason);
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stop || queue.size() < kQueued; });
        if (stop) return;
        queue.push_back(std::move(r));
        if (queue.size() == 1) changed.notify_all();
      });
    } catch (...) {
      reader_failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    changed.notify_all();
  });
  std::exception_ptr failure;
  std::deque<Incoming> batch;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return done || !queue.empty(); });
      if (queue.empty()) break;
      batch.swap(queue);
      changed.notify_all();
    }
    try {
      for (Incoming& r : batch) handle(r);
      batch.clear();
    } catch (...) {
      failure = std::current_exception();
      std::lock_guard<std::mutex> lock(mutex);
      stop = true;
      queue.clear();
      changed.notify_all();
      break;
    }
  }
  reader.join();
  if (failure) std::rethrow_exception(failure);
  if (reader_failure) std::rethrow_exception(reader_failure);
  return read;
}

}  // namespace corvane
