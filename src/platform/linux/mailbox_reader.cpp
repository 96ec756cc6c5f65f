// Mailboxes on Linux: read by the mailbox module, which is loaded on first use.
#include "platform/linux/mailbox_reader.h"

#include <dlfcn.h>

#include "platform/linux/mailbox_module.h"
#include "platform/linux/module_loader.h"
#include "platform/linux/system_info.h"
#include "platform/mailbox.h"

namespace corvane {

namespace {

struct Callbacks {
  const std::function<bool(const std::string&)>* wanted;
  const std::function<void(const MailAttachment&)>* found;
};

int Wanted(void* context, const char* file_name) {
  return (*static_cast<Callbacks*>(context)->wanted)(file_name) ? 1 : 0;
}

void Found(void* context, const MailboxModuleAttachment* a) {
  MailAttachment attachment;
  attachment.message_path = a->message_path;
  attachment.message_id = a->message_id;
  attachment.from = a->from;
  attachment.date = a->date;
  attachment.file_name = a->file_name;
  attachment.content.assign(a->content, a->content_size);
  attachment.size = a->size;
  attachment.message_number = a->message_number;
  if (a->error) attachment.error = a->error;
  if (a->note) attachment.note = a->note;
  if (a->part == kModulePlainText) attachment.part = MailPart::kText;
  if (a->part == kModuleHtmlText) attachment.part = MailPart::kHtml;
  (*static_cast<Callbacks*>(context)->found)(attachment);
}

struct MailboxModule {
  ReadMailboxFn read_mailbox = nullptr;
  ReadMessageFn read_message = nullptr;
};

// Loaded on first use and kept; nullptr with the reason when it cannot be.
const MailboxModule* LoadMailboxModule(std::string* error) {
  static MailboxModule module;
  static std::string failure;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    std::string module_path;
    void* handle = OpenModule(ExecutableFolder(), kMailboxModuleName, &module_path, &failure);
    if (handle) {
      module.read_mailbox = reinterpret_cast<ReadMailboxFn>(::dlsym(handle, kReadMailboxSymbol));
      module.read_message = reinterpret_cast<ReadMessageFn>(::dlsym(handle, kReadMessageSymbol));
      if (!module.read_mailbox || !module.read_message) {
        ::dlclose(handle);
        failure = module_path + ": not a mailbox module of this version";
      }
    }
  }
  if (module.read_mailbox && module.read_message) return &module;
  *error = "mailboxes cannot be read: " + failure;
  return nullptr;
}

class LinuxMailboxReader : public MailboxReader {
 public:
  bool ForEachAttachment(const std::string& path,
                         const std::function<bool(const std::string&)>& wanted, size_t limit,
                         const std::function<void(const MailAttachment&)>& found,
                         std::string* error) override {
    if (!read_ && !Load(error)) return false;
    Callbacks callbacks{&wanted, &found};
    char reason[512] = "";
    messages_ = 0;
    if (read_(path.c_str(), limit, &Wanted, &Found, &callbacks, &messages_, reason,
              sizeof reason)) {
      return true;
    }
    *error = reason;
    return false;
  }

  uint64_t MessagesRead() const override { return messages_; }

 private:
  bool Load(std::string* error) {
    const MailboxModule* module = LoadMailboxModule(error);
    if (module) read_ = module->read_mailbox;
    return read_ != nullptr;
  }

  ReadMailboxFn read_ = nullptr;
  uint64_t messages_ = 0;
};

}  // namespace

bool ReadMailMessage(int fd, const std::string& path, uint64_t number,
                     const std::function<bool(const std::string&)>& wanted, size_t limit,
                     const std::function<void(const MailAttachment&)>& found, std::string* error) {
  const MailboxModule* module = LoadMailboxModule(error);
  if (!module) return false;
  Callbacks callbacks{&wanted, &found};
  char reason[512] = "";
  if (module->read_message(fd, path.c_str(), number, limit, &Wanted, &Found, &callbacks, reason,
                           sizeof reason)) {
    return true;
  }
  *error = reason;
  return false;
}

std::unique_ptr<MailboxReader> CreateMailboxReader() {
  return std::make_unique<LinuxMailboxReader>();
}

}  // namespace corvane
