// The mailbox module: reads mbox files and Maildir folders with GMime 3, one message at a
// time. The parser keeps the mbox open and refers to each part's content in the file
// instead of copying it, and a wanted part is decoded through a filter into at most the
// caller's limit, so memory follows the largest message's headers, not the mailbox.
#include <dirent.h>
#include <fcntl.h>
#include <gmime/gmime.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/mailbox_module.h"

namespace corvane {

namespace {

struct Walk {
  size_t limit;
  MailboxWantedFn wanted;
  MailboxFoundFn found;
  void* context;
  std::string message_path;
  std::string message_id;
  std::string from;
  std::string date;
  GMimeParser* parser = nullptr;
  uint64_t message_number = 0;  // of the message being read; the count once all are read
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

void Visit(GMimeObject* object, const Walk& walk) {
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
    if (!name || !walk.wanted(walk.context, name)) return;
    std::string content;
    uint64_t size = 0;
    ReadContent(part, walk.limit, &content, &size);
    const MailboxModuleAttachment attachment{walk.message_path.c_str(),
                                             walk.message_id.c_str(),
                                             walk.from.c_str(),
                                             walk.date.c_str(),
                                             name,
                                             content.data(),
                                             content.size(),
                                             size,
                                             walk.message_number};
    walk.found(walk.context, &attachment);
  }
}

void VisitMessage(GMimeMessage* message, Walk& walk) {
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

// Parses one message of `stream` (referenced, not copied) and hands over its attachments.
// One parser serves every message: making one costs more than parsing a short message.
void ParseMessage(GMimeStream* stream, Walk& walk) {
  ++walk.message_number;
  if (!walk.parser) {
    walk.parser = g_mime_parser_new();
    g_mime_parser_set_format(walk.parser, GMIME_FORMAT_MESSAGE);
    g_mime_parser_set_persist_stream(walk.parser, TRUE);
  }
  g_mime_parser_init_with_stream(walk.parser, stream);
  if (GMimeMessage* message = g_mime_parser_construct_message(walk.parser, nullptr)) {
    VisitMessage(message, walk);
    g_object_unref(message);
  }
}

// Cuts the mbox at its "From " lines that follow an empty line (or start the file) and
// parses each message on its own, so that a message that does not parse costs only itself.
// Scans with pread: the parser moves the descriptor's own offset.
bool ReadMbox(int fd, Walk& walk, std::string* error) {
  GMimeStream* file = g_mime_stream_fs_new(fd);
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
      if (message_start >= 0) {
        GMimeStream* message = g_mime_stream_substream(file, message_start, line_start);
        ParseMessage(message, walk);
        g_object_unref(message);
      }
      message_start = next_line;
    }
    previous_empty = prefix.empty() || prefix == "\r";
    prefix.clear();
    line_start = next_line;
  };
  ssize_t n = 0;
  while (ok && (n = ::pread(fd, chunk.data(), chunk.size(), offset)) > 0) {
    for (ssize_t i = 0; i < n && ok; ++i) {
      if (chunk[i] == '\n') {
        end_line(offset + i + 1);
      } else if (prefix.size() < 5) {
        prefix += chunk[i];
      }
    }
    offset += n;
  }
  if (ok && n < 0) {
    *error = walk.message_path + ": " + std::strerror(errno);
    g_object_unref(file);
    return false;
  }
  if (ok && line_start < offset) end_line(offset);  // a last line without its line break
  if (ok && message_start >= 0 && message_start < offset) {
    GMimeStream* message = g_mime_stream_substream(file, message_start, offset);
    ParseMessage(message, walk);
    g_object_unref(message);
  }
  if (!ok) {
    *error = walk.message_path + ": not an mbox file (it does not start with a \"From \" line)";
  }
  g_object_unref(file);
  return ok;
}

int OpenRegular(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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

// A Maildir's messages, new/ and cur/ together, in the order of their file names (which
// start with the delivery time).
bool ReadMaildir(const std::string& folder, Walk& walk, std::string* error) {
  std::vector<std::pair<std::string, std::string>> files;  // name, path
  bool any_folder = false;
  for (const char* sub : {"new", "cur"}) {
    const std::string dir_path = folder + "/" + sub;
    DIR* dir = ::opendir(dir_path.c_str());
    if (!dir) continue;
    any_folder = true;
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      files.emplace_back(entry->d_name, dir_path + "/" + entry->d_name);
    }
    ::closedir(dir);
  }
  if (!any_folder) {
    *error = folder + ": a folder, but not a Maildir (it has neither new/ nor cur/)";
    return false;
  }
  std::sort(files.begin(), files.end());
  for (const auto& [name, path] : files) {
    std::string ignored;
    const int fd = OpenRegular(path, &ignored);
    if (fd < 0) continue;  // a message moved away meanwhile, or not a message file
    walk.message_path = path;
    GMimeStream* stream = g_mime_stream_fs_new(fd);
    ParseMessage(stream, walk);
    g_object_unref(stream);
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

extern "C" __attribute__((visibility("default"))) int corvane_read_mailbox_v2(
    const char* path, size_t limit, corvane::MailboxWantedFn wanted, corvane::MailboxFoundFn found,
    void* context, uint64_t* messages, char* error, size_t error_size) {
  static const bool initialised = [] {
    g_mime_init();
    return true;
  }();
  (void)initialised;
  corvane::Walk walk{limit, wanted, found, context, "", "", "", "", nullptr};
  std::string reason;
  const bool read = corvane::ReadMailbox(path, walk, &reason);
  if (walk.parser) g_object_unref(walk.parser);
  *messages = walk.message_number;
  if (read) return 1;
  if (error_size > 0) {
    std::strncpy(error, reason.c_str(), error_size - 1);
    error[error_size - 1] = '\0';
  }
  return 0;
}
