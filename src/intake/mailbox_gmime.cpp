// The mailbox module: reads mbox files and Maildir folders with GMime 3, one message at a
// time. GMime builds a message's whole part tree at once, so each message's structure is
// first checked against the bounds by a scan that keeps only its open boundaries. A short
// message, which that scan reads whole into its 64 kB buffer, is parsed from a copy of it;
// for a longer one the parser keeps the file open and refers to each part's content there
// instead of copying it. A wanted part is decoded through a filter into at most the
// caller's limit, so memory follows the largest message's headers, not the mailbox.
// Messages are parsed and looked through by a worker per core (up to four) at once (GMime's
// parse, and letting its objects go, are most of the time), in batches, each message wholly
// by one worker; what they find reaches the caller on its own thread, in mailbox order. A
// worker is a thread that sends the short messages to a process of its own, forked as the
// reading starts, which holds no descriptor but its socket. A program that runs other
// threads meanwhile forks none: the calling thread then reads every message itself.
#include <dirent.h>
#include <fcntl.h>
#include <gmime/gmime.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/linux/mailbox_module.h"
#include "report/report_text.h"

namespace corvane {

namespace {

// What the caller asked for: the wanted attachments' limit and its two callbacks.
struct Caller {
  size_t limit;
  MailboxWantedFn wanted;
  MailboxFoundFn found;
  void* context;
};

// One thing handed to the caller, held until it is: an attachment or text part, a message
// that is not read (`error`), or a note about what is no message.
struct Delivery {
  std::string path, message_id, from, date, file_name, content, error, note;
  uint64_t size = 0, number = 0;
  int part = kModuleAttachment;
  bool has_error = false, has_note = false;

  void Hand(const Caller& caller) const {
    const MailboxModuleAttachment entry{path.c_str(),
                                        message_id.c_str(),
                                        from.c_str(),
                                        date.c_str(),
                                        file_name.c_str(),
                                        content.data(),
                                        content.size(),
                                        size,
                                        number,
                                        has_error ? error.c_str() : nullptr,
                                        has_note ? note.c_str() : nullptr,
                                        part};
    caller.found(caller.context, &entry);
  }
};
using Deliveries = std::vector<Delivery>;

// A worker's own parser and scan buffer, made once: not per message.
struct Worker {
  GMimeParser* parser = nullptr;
  std::vector<char> scan_buffer;
  ~Worker() {
    if (parser) g_object_unref(parser);
  }
};

// Keeps `d` in `found`; true once what is kept passes a megabyte and is to be handed on
// before the message (or batch) ends.
bool Keep(Delivery d, Deliveries* found, size_t* held) {
  *held += d.content.size() + d.from.size() + d.message_id.size() + d.date.size();
  found->push_back(std::move(d));
  if (*held <= (1 << 20)) return false;
  *held = 0;
  return true;
}

// One message's walk through its parts.
struct MessageWalk {
  const Caller& caller;
  const std::string& message_path;
  uint64_t message_number;
  std::string message_id;
  std::string from;
  std::string date;
  Deliveries* out;
  // Called when what `out` holds passes a megabyte, to hand it on before the message ends.
  std::function<void()> hand_on;
  size_t* held;
};

std::string Trimmed(const char* text) {
  if (!text) return "";
  std::string s = text;
  const size_t begin = s.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  return s.substr(begin, s.find_last_not_of(" \t\r\n") - begin + 1);
}

// The part's content with its transfer encoding undone: the first `limit` bytes kept, the
// rest only counted.
void ReadContent(GMimePart* part, size_t limit, std::string* content, uint64_t* size) {
  GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
  if (!wrapper) return;
  GMimeStream* raw = g_mime_data_wrapper_get_stream(wrapper);
  if (!raw) return;
  g_mime_stream_reset(raw);
  GMimeStream* stream = g_mime_stream_filter_new(raw);
  const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(wrapper);
  if (encoding == GMIME_CONTENT_ENCODING_BASE64 ||
      encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
      encoding == GMIME_CONTENT_ENCODING_UUENCODE) {
    GMimeFilter* decoder = g_mime_filter_basic_new(encoding, FALSE);
    g_mime_stream_filter_add(GMIME_STREAM_FILTER(stream), decoder);
    g_object_unref(decoder);
  }
  char buffer[16384];
  ssize_t n;
  while ((n = g_mime_stream_read(stream, buffer, sizeof buffer)) > 0) {
    const size_t room = limit > content->size() ? limit - content->size() : 0;
    content->append(buffer, std::min(room, static_cast<size_t>(n)));
    *size += static_cast<uint64_t>(n);
  }
  g_object_unref(stream);
}

void Visit(GMimeObject* object, const MessageWalk& walk) {
  if (GMIME_IS_MULTIPART(object)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    const int count = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < count; ++i) Visit(g_mime_multipart_get_part(multipart, i), walk);
  } else if (GMIME_IS_MESSAGE_PART(object)) {
    // A forwarded message: its attachments count as the outer message's.
    GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
    if (inner && g_mime_message_get_mime_part(inner)) {
      Visit(g_mime_message_get_mime_part(inner), walk);
    }
  } else if (GMIME_IS_PART(object)) {
    GMimePart* part = GMIME_PART(object);
    const char* name = g_mime_part_get_filename(part);
    int kind = kModuleAttachment;
    if (!name || !walk.caller.wanted(walk.caller.context, name)) {
      // A message's text may carry a report where its mail program could attach none.
      GMimeContentType* type = g_mime_object_get_content_type(object);
      if (g_mime_content_type_is_type(type, "text", "plain")) {
        kind = kModulePlainText;
      } else if (g_mime_content_type_is_type(type, "text", "html")) {
        kind = kModuleHtmlText;
      } else {
        return;
      }
    }
    std::string content;
    uint64_t size = 0;
    ReadContent(part, walk.caller.limit, &content, &size);
    if (kind != kModuleAttachment && content.find(kReportTextBegin) == std::string::npos) return;
    Delivery d;
    d.path = walk.message_path;
    d.message_id = walk.message_id;
    d.from = walk.from;
    d.date = walk.date;
    if (kind == kModuleAttachment) d.file_name = name;
    d.content = std::move(content);
    d.size = size;
    d.number = walk.message_number;
    d.part = kind;
    if (Keep(std::move(d), walk.out, walk.held)) walk.hand_on();
  }
}

void VisitMessage(GMimeMessage* message, MessageWalk& walk) {
  walk.message_id = Trimmed(g_mime_message_get_message_id(message));
  walk.from.clear();
  if (InternetAddressList* from = g_mime_message_get_from(message)) {
    char* text = internet_address_list_to_string(from, nullptr, FALSE);
    walk.from = Trimmed(text);
    g_free(text);
  }
  walk.date = Trimmed(g_mime_object_get_header(GMIME_OBJECT(message), "Date"));
  if (GMimeObject* body = g_mime_message_get_mime_part(message)) Visit(body, walk);
}

// The MIME structure of one message, followed line by line as GMime's parser reads it:
// entities, their headers, and the boundaries of the multiparts still open. Stops at the
// first bound passed.
class StructureCheck {
 public:
  // A header is read up to this size, folded or on one line. Lines are kept up to it: a
  // longer one is neither a header worth reading nor a boundary, as no boundary declared in
  // a header read is that long.
  static constexpr size_t kMaxHeader = 32768;
  static constexpr size_t kKeptLine = kMaxHeader;

  // `line` is the line's first bytes, without its '\n'; `length` the whole line's.
  void Line(std::string_view line, uint64_t length) {
    if (!error_.empty()) return;
    // Most content lines are no boundary, and are passed over without a copy.
    if (!in_headers_ && (line.size() < 3 || line[0] != '-' || line[1] != '-')) return;
    const std::string_view bare = WithoutTrailingBlanks(line);
    if (in_headers_) {
      if (!bare.empty() && (line[0] == ' ' || line[0] == '\t') && !header_.empty()) {
        Append(line, length);
        return;
      }
      EndHeader();
      if (bare.empty()) {
        EndHeaders();
        return;
      }
      if (line.find(':') != std::string_view::npos && !IsBoundary(bare)) {
        ForgetHeader();
        Append(line, length);
        return;
      }
      EndHeaders();  // a line that is no header starts the content, as the parser takes it
      if (!error_.empty()) return;
    }
    if (IsBoundary(bare)) Boundary(bare);
  }

  // Called at the end of the message.
  void End() {
    if (in_headers_ && error_.empty()) {
      EndHeader();
      EndHeaders();
    }
  }

  const std::string& error() const { return error_; }
  // The outer message's own headers, for naming a message that is not read.
  const std::string& message_id() const { return message_id_; }
  const std::string& from() const { return from_; }
  const std::string& date() const { return date_; }

 private:
  struct Open {
    std::string boundary;  // "--" and the boundary; empty for a forwarded message
    bool digest = false;   // its parts are messages unless they say otherwise
  };

  static std::string_view WithoutTrailingBlanks(std::string_view line) {
    size_t end = line.size();
    while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\r')) {
      --end;
    }
    return line.substr(0, end);
  }

  void Append(std::string_view line, uint64_t length) {
    header_size_ += length;
    if (header_size_ > kMaxHeader) {
      if (header_.empty()) header_.assign(line.substr(0, 64));  // its name still counts
      return;
    }
    header_ += line;
  }

  static bool NameIs(const std::string& header, const char* name) {
    const size_t n = std::strlen(name);
    return header.size() > n && header[n] == ':' &&
           g_ascii_strncasecmp(header.c_str(), name, n) == 0;
  }

  void EndHeader() {
    if (header_.empty()) return;
    const bool content_type = NameIs(header_, "Content-Type");
    if (content_type && header_size_ > kMaxHeader && !have_content_type_) {
      error_ = "a Content-Type header of " + std::to_string(header_size_) +
               " bytes is longer than " + std::to_string(kMaxHeader) + " bytes";
    } else if (content_type && !have_content_type_) {
      content_type_ = header_.substr(std::strlen("Content-Type:"));
      have_content_type_ = true;
    } else if (entities_ == 0) {
      for (auto [name, value] : {std::pair<const char*, std::string*>{"Message-ID", &message_id_},
                                 {"From", &from_},
                                 {"Date", &date_}}) {
        if (NameIs(header_, name) && value->empty()) *value = header_.substr(std::strlen(name) + 1);
      }
    }
    ForgetHeader();
  }

  void ForgetHeader() {
    header_.clear();
    header_size_ = 0;
  }

  void EndHeaders() {
    in_headers_ = false;
    if (!error_.empty()) return;
    if (++entities_ > kMaxMimePartsPerMessage) {
      error_ = "it has more than " + std::to_string(kMaxMimePartsPerMessage) +
               " MIME parts, the most a message may have";
      return;
    }
    bool multipart = false;
    bool message = false;
    bool digest = false;
    std::string boundary;
    // Most parts are leaves: a type that does not spell "multipart" or "message" anywhere
    // can be neither, and needs no parse.
    if (have_content_type_ &&
        (Mentions(content_type_, "multipart") || Mentions(content_type_, "message"))) {
      for (char& c : content_type_) {
        if (c == '\r' || c == '\n') c = ' ';
      }
      GMimeContentType* type = g_mime_content_type_parse(nullptr, content_type_.c_str());
      multipart = g_mime_content_type_is_type(type, "multipart", "*");
      message = IsMessageType(type);
      digest = g_mime_content_type_is_type(type, "multipart", "digest");
      if (const char* b = g_mime_content_type_get_parameter(type, "boundary")) boundary = b;
      g_object_unref(type);
    } else if (!have_content_type_) {
      message = !open_.empty() && open_.back().digest;
    }
    have_content_type_ = false;
    content_type_.clear();
    if (multipart && !boundary.empty()) {
      if (Nest()) open_.push_back({"--" + boundary, digest});
    } else if (message) {
      // A forwarded message: its own headers follow at once.
      if (Nest()) open_.push_back({"", false});
      in_headers_ = true;
    }
  }

  // Whether `word` (lower case) occurs in `text` in any case.
  static bool Mentions(const std::string& text, std::string_view word) {
    for (size_t at = 0; at + word.size() <= text.size(); ++at) {
      if (g_ascii_tolower(text[at]) == word[0] &&
          g_ascii_strncasecmp(text.data() + at, word.data(), word.size()) == 0) {
        return true;
      }
    }
    return false;
  }

  static bool IsMessageType(GMimeContentType* type) {
    for (const char* subtype : {"rfc822", "news", "global", "rfc2822"}) {
      if (g_mime_content_type_is_type(type, "message", subtype)) return true;
    }
    return false;
  }

  bool Nest() {
    if (open_.size() < static_cast<size_t>(kMaxMimeNestingPerMessage)) return true;
    error_ = "its parts are nested more than " + std::to_string(kMaxMimeNestingPerMessage) +
             " levels deep, the most a message may have";
    return false;
  }

  // "--boundary--", the end of that multipart.
  static bool IsClose(std::string_view bare, const std::string& boundary) {
    return bare.size() == boundary.size() + 2 && bare.substr(0, boundary.size()) == boundary &&
           bare.substr(boundary.size()) == "--";
  }

  bool IsBoundary(std::string_view bare) const {
    if (bare.size() < 3 || bare[0] != '-' || bare[1] != '-') return false;
    for (const Open& open : open_) {
      if (!open.boundary.empty() && (bare == open.boundary || IsClose(bare, open.boundary))) {
        return true;
      }
    }
    return false;
  }

  // The innermost open multipart whose boundary it is ends the parts inside it.
  void Boundary(std::string_view bare) {
    for (size_t i = open_.size(); i-- > 0;) {
      const std::string& b = open_[i].boundary;
      if (b.empty()) continue;
      if (IsClose(bare, b)) {
        open_.resize(i);
        in_headers_ = false;
        return;
      }
      if (bare == b) {
        open_.resize(i + 1);
        in_headers_ = true;
        ForgetHeader();
        return;
      }
    }
  }

  std::vector<Open> open_;
  bool in_headers_ = true;
  std::string header_;
  uint64_t header_size_ = 0;  // as the message has it, without line breaks
  std::string content_type_;
  bool have_content_type_ = false;
  int entities_ = 0;
  std::string error_;
  std::string message_id_;
  std::string from_;
  std::string date_;
};

// Cuts bytes into lines for a structure check, a line going on from one piece to the next.
class LineCutter {
 public:
  explicit LineCutter(StructureCheck* check) : check_(check) {}

  void Feed(const char* data, size_t n) {
    for (const char *at = data, *stop = data + n; at < stop;) {
      const char* newline = static_cast<const char*>(std::memchr(at, '\n', stop - at));
      const char* piece_end = newline ? newline : stop;
      const size_t piece = static_cast<size_t>(piece_end - at);
      if (newline && length_ == 0) {
        // The whole line is in this piece: looked at where it lies.
        const size_t kept = std::min(piece, StructureCheck::kKeptLine);
        check_->Line(std::string_view(at, kept), piece);
        at = newline + 1;
        continue;
      }
      const size_t room = StructureCheck::kKeptLine - line_.size();
      line_.append(at, std::min(room, piece));
      length_ += piece;
      if (!newline) break;
      check_->Line(line_, length_);
      line_.clear();
      length_ = 0;
      at = newline + 1;
    }
  }

  void End() {
    if (length_ > 0) check_->Line(line_, length_);
    check_->End();
  }

 private:
  StructureCheck* check_;
  std::string line_;     // a line that began in an earlier piece
  uint64_t length_ = 0;  // the whole line's, of which `line_` keeps the first kKeptLine bytes
};

// The most of a message that the structure scan reads in one go: a message no longer is
// parsed from that copy.
constexpr size_t kWholeMessage = 1 << 16;

// Feeds the bytes of `fd` from `begin` to `end` (-1: to the end of the file) to `check`,
// line by line, read through `chunk`; false with the reason when the file cannot be read.
// `*whole` is the message's size when one read brought all of it, which `chunk` then
// holds, else 0.
bool CheckStructure(int fd, int64_t begin, int64_t end, std::vector<char>& chunk,
                    StructureCheck* check, size_t* whole, std::string* error) {
  if (chunk.empty()) chunk.resize(kWholeMessage);
  *whole = 0;
  LineCutter cutter(check);
  int64_t offset = begin;
  int64_t first_read = 0;
  while (end < 0 || offset < end) {
    size_t want = chunk.size();
    if (end >= 0) want = static_cast<size_t>(std::min<int64_t>(want, end - offset));
    const ssize_t n = ::pread(fd, chunk.data(), want, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = std::strerror(errno);
      return false;
    }
    if (n == 0) break;
    if (offset == begin) first_read = n;
    cutter.Feed(chunk.data(), static_cast<size_t>(n));
    if (!check->error().empty()) return true;
    offset += n;
  }
  cutter.End();
  const int64_t size = offset - begin;
  if (size > 0 && size <= static_cast<int64_t>(chunk.size()) && (end < 0 || offset == end)) {
    // Read in one go when the first read brought it all; a later one would have overwritten it.
    *whole = first_read == size ? static_cast<size_t>(size) : 0;
  }
  return true;
}

struct StreamUnref {
  void operator()(GMimeStream* stream) const { g_object_unref(stream); }
};
using StreamRef = std::unique_ptr<GMimeStream, StreamUnref>;

// A message to read, `begin` to `end` of `file` (-1: to the end of the file), or a note.
struct Job {
  StreamRef file;
  int fd = -1;
  int64_t begin = 0;
  int64_t end = -1;
  std::string path;
  uint64_t number = 0;
  std::string note;  // set for a note: nothing to read
};

// Consecutive messages, read by one worker in a row: handing over each message on its own
// would cost more in waking threads than its parse.
struct Batch {
  uint64_t sequence = 0;
  std::vector<Job> jobs;
  int64_t bytes = 0;
};

// A message that is not read, named by the headers the structure scan kept.
Delivery Unread(const std::string& reason, const StructureCheck& check, const std::string& path,
                uint64_t number) {
  Delivery d;
  d.from = Trimmed(check.from().c_str());
  if (InternetAddressList* list = internet_address_list_parse(nullptr, d.from.c_str())) {
    char* text = internet_address_list_to_string(list, nullptr, FALSE);
    if (text && *text) d.from = Trimmed(text);
    g_free(text);
    g_object_unref(list);
  }
  d.message_id = Trimmed(check.message_id().c_str());
  if (char* decoded = g_mime_utils_decode_message_id(d.message_id.c_str())) {
    d.message_id = decoded;
    g_free(decoded);
  }
  d.date = Trimmed(check.date().c_str());
  d.path = path;
  d.number = number;
  d.error = reason;
  d.has_error = true;
  return d;
}

GMimeParser* ParserOf(Worker& worker) {
  if (!worker.parser) {
    worker.parser = g_mime_parser_new();
    g_mime_parser_set_format(worker.parser, GMIME_FORMAT_MESSAGE);
    g_mime_parser_set_persist_stream(worker.parser, TRUE);
  }
  return worker.parser;
}

// Parses a message from `stream` and looks through its parts.
void ParseAndVisit(GMimeStream* stream, Worker& worker, MessageWalk& walk) {
  GMimeParser* parser = ParserOf(worker);
  g_mime_parser_init_with_stream(parser, stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  g_object_unref(stream);
  if (!message) return;
  const std::unique_ptr<GMimeMessage, decltype(&g_object_unref)> owner(message, g_object_unref);
  VisitMessage(message, walk);
}

// A message held whole in memory: its structure checked, then parsed from a copy.
void ReadWholeMessage(std::string_view bytes, Worker& worker, MessageWalk& walk) {
  StructureCheck check;
  LineCutter cutter(&check);
  cutter.Feed(bytes.data(), bytes.size());
  if (check.error().empty()) cutter.End();
  if (!check.error().empty()) {
    walk.out->push_back(Unread(check.error(), check, walk.message_path, walk.message_number));
    return;
  }
  ParseAndVisit(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()), worker, walk);
}

// Integers and texts over a socket, buffered both ways. Texts are a length and bytes.
class Wire {
 public:
  explicit Wire(int fd) : fd_(fd) {}

  void Number(uint64_t value) { out_.append(reinterpret_cast<const char*>(&value), sizeof value); }
  void Text(std::string_view text) {
    Number(text.size());
    out_.append(text.data(), text.size());
  }
  size_t pending() const { return out_.size(); }

  bool Flush() {
    for (size_t at = 0; at < out_.size();) {
      const ssize_t n = ::send(fd_, out_.data() + at, out_.size() - at, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      at += static_cast<size_t>(n);
    }
    out_.clear();
    return true;
  }

  bool Number(uint64_t* value) {
    if (!Fill(sizeof *value)) return false;
    std::memcpy(value, in_.data() + in_at_, sizeof *value);
    in_at_ += sizeof *value;
    return true;
  }
  bool Text(std::string* text, size_t most) {
    uint64_t size = 0;
    if (!Number(&size) || size > most || !Fill(static_cast<size_t>(size))) return false;
    text->assign(in_.data() + in_at_, static_cast<size_t>(size));
    in_at_ += static_cast<size_t>(size);
    return true;
  }

 private:
  bool Fill(size_t need) {
    if (in_.size() - in_at_ >= need) return true;
    in_.erase(0, in_at_);
    in_at_ = 0;
    char buffer[1 << 16];
    while (in_.size() < need) {
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      in_.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }

  int fd_;
  std::string out_;
  std::string in_;
  size_t in_at_ = 0;
};

// What is sent after each thing found, after each message, and in place of the rest when
// the process cannot go on.
enum : uint64_t { kWireFound = 1, kWireMessageEnd = 2, kWireFailed = 3, kWireBatchEnd = 4 };
constexpr size_t kWireMostText = size_t{1} << 26;

void PutDelivery(const Delivery& d, Wire& wire) {
  wire.Number(kWireFound);
  for (uint64_t n : {d.number, d.size, static_cast<uint64_t>(d.part),
                     static_cast<uint64_t>(d.has_error), static_cast<uint64_t>(d.has_note)}) {
    wire.Number(n);
  }
  for (const std::string* t :
       {&d.path, &d.message_id, &d.from, &d.date, &d.file_name, &d.content, &d.error, &d.note}) {
    wire.Text(*t);
  }
}

bool TakeDelivery(Wire& wire, Delivery* d) {
  uint64_t part = 0, has_error = 0, has_note = 0;
  if (!wire.Number(&d->number) || !wire.Number(&d->size) || !wire.Number(&part) ||
      !wire.Number(&has_error) || !wire.Number(&has_note)) {
    return false;
  }
  d->part = static_cast<int>(part);
  d->has_error = has_error != 0;
  d->has_note = has_note != 0;
  for (std::string* t : {&d->path, &d->message_id, &d->from, &d->date, &d->file_name, &d->content,
                         &d->error, &d->note}) {
    if (!wire.Text(t, kWireMostText)) return false;
  }
  return true;
}

// Closes every descriptor from 3 on but `keep`.
void CloseAllBut(int keep) {
  const auto close_from = [](unsigned first, unsigned last) {
    if (first > last) return;
    if (::syscall(SYS_close_range, first, last, 0) == 0) return;
    for (unsigned fd = first; fd <= std::min(last, 65535u); ++fd) ::close(static_cast<int>(fd));
  };
  if (keep < 3) {
    close_from(3, ~0u);
    return;
  }
  close_from(3, static_cast<unsigned>(keep) - 1);
  close_from(static_cast<unsigned>(keep) + 1, ~0u);
}

// The process's side: reads each batch of whole messages, then sends back what each holds.
[[noreturn]] void ServeParent(int fd, const Caller& caller) {
  Wire wire(fd);
  Worker worker;
  struct Message {
    uint64_t number = 0;
    std::string path;
    std::string bytes;
  };
  std::vector<Message> batch;
  try {
    for (;;) {
      uint64_t kind = 0;
      if (!wire.Number(&kind)) ::_exit(0);  // the mailbox is read
      if (kind == kWireFound) {
        Message m;
        if (!wire.Number(&m.number) || !wire.Text(&m.path, kWireMostText) ||
            !wire.Text(&m.bytes, kWholeMessage)) {
          ::_exit(1);
        }
        batch.push_back(std::move(m));
        continue;
      }
      for (const Message& m : batch) {
        Deliveries found;
        size_t held = 0;
        const auto send = [&] {
          for (const Delivery& d : found) PutDelivery(d, wire);
          found.clear();
          if (wire.pending() > kWholeMessage && !wire.Flush()) ::_exit(1);
        };
        MessageWalk walk{caller, m.path, m.number, "", "", "", &found, send, &held};
        ReadWholeMessage(m.bytes, worker, walk);
        send();
        wire.Number(kWireMessageEnd);
      }
      batch.clear();
      wire.Number(kWireBatchEnd);
      if (!wire.Flush()) ::_exit(1);
    }
  } catch (const std::bad_alloc&) {
    wire.Number(kWireFailed);
    wire.Text("out of memory while reading the mailbox");
    wire.Flush();
    ::_exit(1);
  }
}

// A process that parses whole messages for one worker. GObject takes process-wide locks for
// every object made and let go, which threads of one process would wait on all the time;
// processes share none.
class ReaderProcess {
 public:
  ReaderProcess(pid_t pid, int fd) : pid_(pid), wire_(fd), fd_(fd) {}
  ReaderProcess(const ReaderProcess&) = delete;
  ReaderProcess& operator=(const ReaderProcess&) = delete;

  // Forks one; null when that cannot be done. Only while the calling thread is the
  // program's only one: a fork copies no other thread, but would copy the locks they hold.
  static std::unique_ptr<ReaderProcess> Start(const Caller& caller) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return nullptr;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
      ::close(fds[0]);
      ::close(fds[1]);
      return nullptr;
    }
    if (pid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(1);
      CloseAllBut(fds[1]);
      ServeParent(fds[1], caller);
    }
    ::close(fds[1]);
    return std::make_unique<ReaderProcess>(pid, fds[0]);
  }

  // What the process still has to do is of no use any more.
  ~ReaderProcess() {
    ::close(fd_);
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }

  Wire& wire() { return wire_; }

 private:
  pid_t pid_;
  Wire wire_;
  int fd_;
};

bool OnlyThread() {
  DIR* tasks = ::opendir("/proc/self/task");
  if (!tasks) return false;
  int count = 0;
  while (const dirent* entry = ::readdir(tasks)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(tasks);
  return count == 1;
}

// Hands out a mailbox's messages to the workers, and what they find to the caller in
// mailbox order. Without workers each message is read at once on the calling thread.
class MessagePool {
 public:
  // Thrown on a module thread once the reading stops early.
  struct Stopped {};

  // A batch is handed out at this many messages or bytes, whichever comes first.
  static constexpr size_t kBatchMessages = 32;
  static constexpr int64_t kBatchBytes = 1 << 20;

  // Each worker is a thread with a process of its own; where no process can be made, the
  // calling thread reads every message itself.
  MessagePool(const Caller& caller, unsigned workers) : caller_(caller) {
    if (workers == 0 || !OnlyThread()) return;
    for (unsigned i = 0; i < workers; ++i) {
      if (std::unique_ptr<ReaderProcess> process = ReaderProcess::Start(caller)) {
        processes_.push_back(std::move(process));
      }
    }
    try {
      for (auto& process : processes_) {
        threads_.emplace_back([this, p = process.get()] { Work(*p); });
      }
    } catch (const std::system_error&) {
      // No thread to be had: the ones made go on alone.
    }
    if (threads_.empty()) processes_.clear();
  }

  ~MessagePool() {
    Stop();
    for (std::thread& t : threads_) t.join();
  }

  bool queued() const { return !threads_.empty(); }

  // The number of the last message whose findings were all handed over.
  uint64_t handed() const { return handed_; }

  // The next messages, from the reading side. Waits while the window of batches read ahead
  // is full.
  void Submit(Batch batch) {
    if (!queued()) {
      batch.sequence = delivered_;
      Read(batch, inline_worker_);
      ++delivered_;
      return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    Wait(lock, [&] { return submitted_ - delivered_ < kWindow; });
    batch.sequence = submitted_++;
    Result& result = results_[batch.sequence];
    for (const Job& job : batch.jobs) result.last_number = std::max(result.last_number, job.number);
    batches_.push_back(std::move(batch));
    if (idle_ > 0) work_.notify_one();
  }

  // Nothing more will be submitted.
  void Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    ready_.notify_one();
  }

  // On the caller's thread: hands over what the workers find, in order, until all that was
  // submitted is handed. False with the reason when a worker could not go on.
  bool Serve(std::string* why) {
    try {
      Deliveries taken;
      for (;;) {
        {
          std::unique_lock<std::mutex> lock(mutex_);
          // What was just handed over makes room for more.
          if (waiting_ > 0) room_.notify_all();
          ++serving_;
          ready_.wait(lock, [&] {
            if (!failure_.empty() || (finished_ && delivered_ == submitted_)) return true;
            const auto result = results_.find(delivered_);
            return result != results_.end() &&
                   (!result->second.ready.empty() || result->second.complete);
          });
          --serving_;
          if (!failure_.empty()) {
            *why = failure_;
            return false;
          }
          if (finished_ && delivered_ == submitted_) return true;
          // All that is ready, up to the first batch still being read.
          for (auto result = results_.find(delivered_); result != results_.end();
               result = results_.find(delivered_)) {
            for (Delivery& d : result->second.ready) taken.push_back(std::move(d));
            result->second.ready.clear();
            if (!result->second.complete) break;
            handed_ = std::max(handed_, result->second.last_number);
            results_.erase(result);
            ++delivered_;
          }
        }
        for (const Delivery& d : taken) d.Hand(caller_);
        taken.clear();
      }
    } catch (...) {
      Stop();
      throw;
    }
  }

  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    batches_.clear();
    work_.notify_all();
    room_.notify_all();
  }

 private:
  static constexpr uint64_t kWindow = 8;  // batches read ahead of the caller

  struct Result {
    Deliveries ready;
    bool complete = false;
    uint64_t last_number = 0;  // of its last message
  };

  // From the worker reading batch `sequence`: what it found. Waits while the caller has yet
  // to take what the batch found before, so that at most about a megabyte of it is held.
  void Deliver(uint64_t sequence, Deliveries* found, bool complete) {
    if (!queued()) {
      for (const Delivery& d : *found) d.Hand(caller_);
      found->clear();
      return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    Result& result = results_[sequence];
    Wait(lock, [&] { return result.ready.empty(); });
    result.ready = std::move(*found);
    found->clear();
    result.complete = complete;
    if (serving_ > 0 && sequence == delivered_) ready_.notify_one();
  }

  // Waits until every batch before `sequence` is handed over: a message whose content stays
  // in the mailbox file is read only then, as all read through the file's one offset.
  void AwaitTurn(uint64_t sequence) {
    if (!queued()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    Wait(lock, [&] { return delivered_ == sequence; });
  }

  // Waits on `room_` until `done`; throws Stopped once the reading stops early.
  template <typename Done>
  void Wait(std::unique_lock<std::mutex>& lock, Done done) {
    ++waiting_;
    room_.wait(lock, [&] { return stopped_ || done(); });
    --waiting_;
    if (stopped_) throw Stopped{};
  }

  void Read(Batch& batch, Worker& worker);
  void Read(const Job& job, uint64_t sequence, Worker& worker, Deliveries* found, size_t* held);
  void ReadThrough(ReaderProcess& process, Batch& batch, Worker& worker);
  void Fail(const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure_.empty()) failure_ = why;
    ready_.notify_one();
  }

  void Work(ReaderProcess& process) {
    Worker worker;
    for (;;) {
      Batch batch;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ++idle_;
        work_.wait(lock, [&] { return stopped_ || !batches_.empty(); });
        --idle_;
        if (stopped_) return;
        batch = std::move(batches_.front());
        batches_.pop_front();
      }
      try {
        ReadThrough(process, batch, worker);
      } catch (const std::bad_alloc&) {
        Fail("out of memory while reading the mailbox");
      } catch (const Stopped&) {
      }
    }
  }

  const Caller& caller_;
  Worker inline_worker_;
  std::vector<std::unique_ptr<ReaderProcess>> processes_;  // ended after the threads
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable work_;   // workers, for a batch
  std::condition_variable ready_;  // the caller's thread, for what was found
  std::condition_variable room_;   // the reading side and workers, for the caller to go on
  std::deque<Batch> batches_;
  std::map<uint64_t, Result> results_;
  uint64_t submitted_ = 0, delivered_ = 0, handed_ = 0;
  int idle_ = 0, serving_ = 0, waiting_ = 0;
  bool finished_ = false, stopped_ = false;
  std::string failure_;
};

// The reading side's state: the messages cut from the mailbox and not yet handed out.
struct Walk {
  MessagePool* pool;
  std::string message_path;
  uint64_t message_number = 0;  // of the message being read; the count once all are read
  Batch batch;

  void Add(Job job, int64_t bytes) {
    batch.jobs.push_back(std::move(job));
    batch.bytes += bytes;
    if (!pool->queued() || batch.jobs.size() >= MessagePool::kBatchMessages ||
        batch.bytes >= MessagePool::kBatchBytes) {
      Flush();
    }
  }

  void Flush() {
    if (batch.jobs.empty()) return;
    pool->Submit(std::move(batch));
    batch = Batch();
  }
};

void MessagePool::Read(Batch& batch, Worker& worker) {
  Deliveries found;
  size_t held = 0;
  for (const Job& job : batch.jobs) Read(job, batch.sequence, worker, &found, &held);
  batch.jobs.clear();  // the files let go of before the caller hears the batch is over
  Deliver(batch.sequence, &found, true);
}

// Reads the message of a job and keeps what it finds, once its structure is within the
// bounds. A message that the structure scan read whole is parsed from that copy; a longer
// one from the file, its content referenced, not copied, so that memory stays bounded.
// One parser serves all a worker's messages: making one costs more than parsing a short
// message.
void MessagePool::Read(const Job& job, uint64_t sequence, Worker& worker, Deliveries* found,
                       size_t* held) {
  if (!job.note.empty()) {
    Delivery d;
    d.path = job.path;
    d.note = job.note;
    d.has_note = true;
    found->push_back(std::move(d));
    return;
  }
  StructureCheck check;
  std::string unreadable;
  size_t whole = 0;
  if (!CheckStructure(job.fd, job.begin, job.end, worker.scan_buffer, &check, &whole,
                      &unreadable)) {
    found->push_back(Unread(unreadable, check, job.path, job.number));
    return;
  }
  if (!check.error().empty()) {
    found->push_back(Unread(check.error(), check, job.path, job.number));
    return;
  }
  GMimeStream* stream = nullptr;
  if (whole > 0) {
    stream = g_mime_stream_mem_new_with_buffer(worker.scan_buffer.data(), whole);
  } else if (job.end >= 0) {
    AwaitTurn(sequence);
    stream = g_mime_stream_substream(job.file.get(), job.begin, job.end);
  } else {
    stream = GMIME_STREAM(g_object_ref(job.file.get()));
  }
  MessageWalk walk{caller_, job.path, job.number, "",
                   "",      "",       found,      [&] { Deliver(sequence, found, false); },
                   held};
  ParseAndVisit(stream, worker, walk);
}

// A batch read with the worker's process: each message the structure scan would read in
// one go is sent to it whole; the others (and the notes) are read here, in their order.
void MessagePool::ReadThrough(ReaderProcess& process, Batch& batch, Worker& worker) {
  Wire& wire = process.wire();
  std::vector<bool> sent(batch.jobs.size(), false);
  std::vector<char> bytes(kWholeMessage + 1);
  for (size_t i = 0; i < batch.jobs.size(); ++i) {
    const Job& job = batch.jobs[i];
    if (!job.note.empty()) continue;
    const int64_t size = job.end >= 0 ? job.end - job.begin : -1;
    if (size > static_cast<int64_t>(kWholeMessage)) continue;
    const size_t want = size >= 0 ? static_cast<size_t>(size) : bytes.size();
    ssize_t n = 0;
    while ((n = ::pread(job.fd, bytes.data(), want, job.begin)) < 0 && errno == EINTR) {
    }
    if (n <= 0 || (size >= 0 && n != size) || static_cast<size_t>(n) > kWholeMessage) continue;
    wire.Number(kWireFound);
    wire.Number(job.number);
    wire.Text(job.path);
    wire.Text(std::string_view(bytes.data(), static_cast<size_t>(n)));
    sent[i] = true;
  }
  wire.Number(kWireBatchEnd);
  const std::string gone = "the process that parses its messages ended unexpectedly";
  if (!wire.Flush()) return Fail(gone);
  Deliveries found;
  size_t held = 0;
  for (size_t i = 0; i < batch.jobs.size(); ++i) {
    if (!sent[i]) {
      Read(batch.jobs[i], batch.sequence, worker, &found, &held);
      continue;
    }
    for (;;) {
      uint64_t kind = 0;
      if (!wire.Number(&kind)) return Fail(gone);
      if (kind == kWireMessageEnd) break;
      if (kind == kWireFailed) {
        std::string why;
        return Fail(wire.Text(&why, kWireMostText) ? why : gone);
      }
      Delivery d;
      if (kind != kWireFound || !TakeDelivery(wire, &d)) return Fail(gone);
      if (Keep(std::move(d), &found, &held)) Deliver(batch.sequence, &found, false);
    }
  }
  uint64_t kind = 0;
  if (!wire.Number(&kind) || kind != kWireBatchEnd) return Fail(gone);
  batch.jobs.clear();  // the files let go of before the caller hears the batch is over
  Deliver(batch.sequence, &found, true);
}

// A message of `file` from `begin` to `end` (-1: to the end of the file), to be read.
void SubmitMessage(GMimeStream* file, int fd, int64_t begin, int64_t end, Walk& walk) {
  Job job;
  job.file.reset(GMIME_STREAM(g_object_ref(file)));
  job.fd = fd;
  job.begin = begin;
  job.end = end;
  job.path = walk.message_path;
  job.number = ++walk.message_number;
  struct stat st {};
  const int64_t bytes = end >= 0 ? end - begin : ::fstat(fd, &st) == 0 ? st.st_size : 0;
  walk.Add(std::move(job), bytes);
}

// Cuts the mbox at its "From " lines that follow an empty line (or start the file) and
// parses each message on its own, so that a message that does not parse costs only itself.
// Scans with pread: the parser moves the descriptor's own offset.
bool ReadMbox(int fd, Walk& walk, std::string* error) {
  // Let go (the file closed once no message refers to it) however the reading ends.
  const std::unique_ptr<GMimeStream, decltype(&g_object_unref)> owner(g_mime_stream_fs_new(fd),
                                                                      g_object_unref);
  GMimeStream* file = owner.get();
  std::vector<char> chunk(1 << 16);
  int64_t offset = 0;
  int64_t line_start = 0;
  int64_t message_start = -1;
  std::string prefix;  // the line's first five bytes
  bool previous_empty = true;
  bool ok = true;
  const auto end_line = [&](int64_t next_line) {
    const bool separator = previous_empty && prefix == "From ";
    if (line_start == 0 && !separator) {
      ok = false;
    } else if (separator) {
      if (message_start >= 0) SubmitMessage(file, fd, message_start, line_start, walk);
      message_start = next_line;
    }
    previous_empty = prefix.empty() || prefix == "\r";
    prefix.clear();
    line_start = next_line;
  };
  ssize_t n = 0;
  while (ok && (n = ::pread(fd, chunk.data(), chunk.size(), offset)) > 0) {
    for (const char *at = chunk.data(), *stop = chunk.data() + n; at < stop && ok;) {
      const char* newline = static_cast<const char*>(std::memchr(at, '\n', stop - at));
      const char* piece_end = newline ? newline : stop;
      if (prefix.size() < 5) {
        prefix.append(at, std::min<size_t>(5 - prefix.size(), piece_end - at));
      }
      if (!newline) break;
      end_line(offset + (newline - chunk.data()) + 1);
      at = newline + 1;
    }
    offset += n;
  }
  if (ok && n < 0) {
    *error = walk.message_path + ": " + std::strerror(errno);
    return false;
  }
  if (ok && line_start < offset) end_line(offset);  // a last line without its line break
  if (ok && message_start >= 0 && message_start < offset) {
    SubmitMessage(file, fd, message_start, offset, walk);
  }
  if (!ok) {
    *error = walk.message_path + ": not an mbox file (it does not start with a \"From \" line)";
  }
  return ok;
}

int OpenRegular(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    *error = path + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = path + ": not a regular file";
    ::close(fd);
    return -1;
  }
  // Reads must block again: the parser takes a short read for the end.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

const char* KindOf(mode_t mode) {
  if (S_ISLNK(mode)) return "a link, which is not followed";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

void Note(const std::string& text, Walk& walk) {
  Job job;
  job.path = walk.message_path;
  job.note = text;
  walk.Add(std::move(job), 0);
}

// A message file of a Maildir folder, or -1. Its type is looked at before it is opened, so
// that a device or a FIFO planted there is never opened, and again once it is open.
int OpenMessageFile(int dir, const std::string& name, const std::string& path, Walk& walk) {
  struct stat before {};
  if (::fstatat(dir, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0) return -1;  // moved away
  if (S_ISDIR(before.st_mode)) return -1;
  walk.message_path = path;
  if (!S_ISREG(before.st_mode)) {
    Note(path + ": skipped: " + KindOf(before.st_mode), walk);
    return -1;
  }
  const int fd =
      ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat after {};
  if (fd < 0 || ::fstat(fd, &after) != 0 || !S_ISREG(after.st_mode) ||
      after.st_ino != before.st_ino || after.st_dev != before.st_dev) {
    if (fd >= 0) {
      ::close(fd);
      Note(path + ": skipped: it was replaced while it was read", walk);
    }
    return -1;
  }
  // Reads must block again: the parser takes a short read for the end.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// A Maildir's messages, new/ and cur/ together, in the order of their file names (which
// start with the delivery time).
bool ReadMaildir(const std::string& folder, Walk& walk, std::string* error) {
  struct Entry {
    std::string name;
    int dir;
    std::string path;
    bool operator<(const Entry& other) const { return name < other.name; }
  };
  std::vector<Entry> files;
  struct Dirs : std::vector<int> {
    ~Dirs() {
      for (int dir : *this) ::close(dir);
    }
  } dirs;
  for (const char* sub : {"new", "cur"}) {
    const std::string dir_path = folder + "/" + sub;
    const int dir = ::open(dir_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) continue;
    dirs.push_back(dir);
    const int listing = ::dup(dir);
    DIR* d = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!d) {
      if (listing >= 0) ::close(listing);
      continue;
    }
    while (const dirent* entry = ::readdir(d)) {
      if (entry->d_name[0] == '.') continue;
      files.push_back({entry->d_name, dir, dir_path + "/" + entry->d_name});
    }
    ::closedir(d);
  }
  if (dirs.empty()) {
    *error = folder + ": a folder, but not a Maildir (it has neither new/ nor cur/)";
    return false;
  }
  std::stable_sort(files.begin(), files.end());
  for (const Entry& file : files) {
    const int fd = OpenMessageFile(file.dir, file.name, file.path, walk);
    if (fd < 0) continue;
    const std::unique_ptr<GMimeStream, decltype(&g_object_unref)> stream(g_mime_stream_fs_new(fd),
                                                                         g_object_unref);
    SubmitMessage(stream.get(), fd, 0, -1, walk);
  }
  return true;
}

bool ReadMailbox(const std::string& path, Walk& walk, std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) return ReadMaildir(path, walk, error);
  const int fd = OpenRegular(path, error);
  if (fd < 0) return false;
  walk.message_path = path;
  return ReadMbox(fd, walk, error);
}

}  // namespace

}  // namespace corvane

namespace corvane {
namespace {

void SetError(const std::string& reason, char* error, size_t error_size) {
  if (error_size == 0) return;
  std::strncpy(error, reason.c_str(), error_size - 1);
  error[error_size - 1] = '\0';
}

void InitialiseOnce() {
  static const bool initialised = [] {
    g_mime_init();
    return true;
  }();
  (void)initialised;
}

}  // namespace
}  // namespace corvane

extern "C" __attribute__((visibility("default"))) int corvane_read_mailbox_v4(
    const char* path, size_t limit, corvane::MailboxWantedFn wanted, corvane::MailboxFoundFn found,
    void* context, uint64_t* messages, char* error, size_t error_size) {
  corvane::InitialiseOnce();
  const corvane::Caller caller{limit, wanted, found, context};
  // The cut of the mailbox and the caller's work are light; the workers take the rest.
  const unsigned cores = std::thread::hardware_concurrency();
  corvane::MessagePool pool(caller, cores > 1 ? std::min(cores, 4u) : 0);
  corvane::Walk walk{&pool, "", 0, {}};
  const std::string out_of_memory = std::string(path) + ": out of memory while reading the mailbox";
  std::string reason;
  bool read = false;
  const auto read_mailbox = [&] {
    try {
      read = corvane::ReadMailbox(path, walk, &reason);
      walk.Flush();
    } catch (const std::bad_alloc&) {
      read = false;
      reason = out_of_memory;
    } catch (const corvane::MessagePool::Stopped&) {
      read = false;  // the caller's side stopped, and says why
    }
  };
  try {
    if (!pool.queued()) {
      read_mailbox();
    } else {
      std::thread reader([&] {
        read_mailbox();
        pool.Finish();
      });
      std::string failure;
      bool served = false;
      try {
        served = pool.Serve(&failure);
      } catch (...) {
        reader.join();
        throw;
      }
      if (!served) pool.Stop();
      reader.join();
      if (!served) {
        read = false;
        reason = std::string(path) + ": " + failure;
        walk.message_number = pool.handed();  // the rest were not read
      }
    }
  } catch (const std::bad_alloc&) {
    read = false;
    reason = out_of_memory;
  }
  *messages = walk.message_number;
  if (read) return 1;
  corvane::SetError(reason, error, error_size);
  return 0;
}

// One message in a file of its own, as the IMAP intake fetches it: read as a Maildir's
// message is, named `path` and numbered `number` in what is handed over.
extern "C" __attribute__((visibility("default"))) int corvane_read_message_v1(
    int fd, const char* path, uint64_t number, size_t limit, corvane::MailboxWantedFn wanted,
    corvane::MailboxFoundFn found, void* context, char* error, size_t error_size) {
  corvane::InitialiseOnce();
  const corvane::Caller caller{limit, wanted, found, context};
  corvane::MessagePool pool(caller, 0);
  corvane::Walk walk{&pool, path, number - 1, {}};
  try {
    GMimeStream* stream = g_mime_stream_fs_new(fd);
    g_mime_stream_fs_set_owner(GMIME_STREAM_FS(stream), FALSE);
    corvane::SubmitMessage(stream, fd, 0, -1, walk);
    g_object_unref(stream);
  } catch (const std::bad_alloc&) {
    corvane::SetError("out of memory while reading the message", error, error_size);
    return 0;
  }
  return 1;
}
