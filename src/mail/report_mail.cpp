#include "mail/report_mail.h"

#include <vector>

#include "form/texts.h"
#include "report/record_decode.h"
#include "report/report_text.h"

namespace corvane {

namespace {

bool IsUnreserved(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

void PercentEncode(unsigned char c, std::string* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  *out += '%';
  *out += kHex[c >> 4];
  *out += kHex[c & 0x0F];
}

// `keep` names what stays as it is beside the unreserved characters.
std::string Encoded(const std::string& text, const char* keep = "") {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\n') {
      out += "%0D%0A";
    } else if (IsUnreserved(c) || (c != '\0' && std::string(keep).find(c) != std::string::npos)) {
      out += c;
    } else {
      PercentEncode(static_cast<unsigned char>(c), &out);
    }
  }
  return out;
}

}  // namespace

std::string MailtoLink(const std::string& address, const std::string& subject,
                       const std::string& body) {
  return "mailto:" + Encoded(address, "@") + "?subject=" + Encoded(subject) +
         "&body=" + Encoded(body);
}

std::optional<std::string> ReportMailLink(const std::string& code, const std::string& file_name,
                                          const std::string& file_bytes) {
  std::vector<std::string> values;
  const DecodedRecord record = DecodeMachineRecord(file_bytes);
  if (record.ok()) {
    const MachineValues& v = record.values;
    values = {v.disk_identifier, v.volume_serial, v.computer_name, v.product_id, v.user_name};
  }
  const std::string block = ReportTextBlock(file_name, file_bytes);
  for (const std::vector<std::string>& shown : {values, std::vector<std::string>{}}) {
    const std::string link =
        MailtoLink(kSupportAddress, file_name, ReportMailWords(code, shown) + "\n" + block);
    if (link.size() <= kLongestMailLink) return link;
  }
  return std::nullopt;
}

}  // namespace corvane
