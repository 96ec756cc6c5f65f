#include "common/verb_output.h"

#include <ostream>
#include <utility>

namespace corvane {

namespace {

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    default:
      return "information";
  }
}

}  // namespace

std::string NestedJson(const nlohmann::ordered_json& value, int depth) {
  const std::string text = value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  const std::string indent(2 * depth, ' ');
  std::string out;
  out.reserve(text.size());
  // Strings never hold a raw line break in JSON text, so every one starts a new line.
  for (char c : text) {
    out += c;
    if (c == '\n') out += indent;
  }
  return out;
}

VerbOutput::VerbOutput(std::string verb, bool json, Invocation invocation, std::ostream& out,
                       std::ostream& err)
    : verb_(std::move(verb)),
      json_(json),
      invocation_(std::move(invocation)),
      out_(out),
      err_(err) {}

void VerbOutput::Open() {
  if (opened_) return;
  opened_ = true;
  out_ << "{\n  \"json_format_version\": " << NestedJson(kJsonFormatVersion, 1)
       << ",\n  \"corvane_version\": " << NestedJson(invocation_.version, 1)
       << ",\n  \"argv\": " << NestedJson(invocation_.argv, 1);
}

void VerbOutput::Key(const std::string& key) {
  Open();
  out_ << ",\n  " << nlohmann::ordered_json(key).dump() << ": ";
}

void VerbOutput::Add(const std::string& key, const nlohmann::ordered_json& value) {
  Key(key);
  out_ << NestedJson(value, 1);
}

void VerbOutput::BeginList(const std::string& key) {
  Key(key);
  out_ << "[";
  in_list_ = true;
  list_empty_ = true;
}

void VerbOutput::AddToList(const nlohmann::ordered_json& element) {
  out_ << (list_empty_ ? "\n    " : ",\n    ") << NestedJson(element, 2);
  list_empty_ = false;
}

void VerbOutput::EndList() {
  out_ << (list_empty_ ? "]" : "\n  ]");
  in_list_ = false;
}

void VerbOutput::Say(Severity severity, const std::string& text) {
  if (json_) {
    SayInJson(severity, text);
  } else {
    err_ << "corvane " << verb_ << ": " << text << "\n";
  }
}

void VerbOutput::SayInJson(Severity severity, const std::string& text) {
  if (json_) messages_.push_back({{"text", text}, {"severity", SeverityName(severity)}});
}

int VerbOutput::Finish(int status) {
  if (!json_) return status;
  if (in_list_) EndList();
  Add("messages", messages_);
  out_ << "\n}\n";
  return status;
}

}  // namespace corvane
