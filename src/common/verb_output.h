// What a verb prints: text for people, or with --json one object for scripts. The object
// always opens with the format's version, the program's version and the command line,
// then the verb's own keys (snake_case), then `messages`, the diagnostics that text mode
// puts on stderr.
#pragma once

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace corvane {

// Raised when a key changes meaning or leaves the object.
inline constexpr int kJsonFormatVersion = 1;

struct Invocation {
  std::string version;            // the program's version
  std::vector<std::string> argv;  // the command line as given
};

enum class Severity { kError, kWarning, kInformation };

class VerbOutput {
 public:
  VerbOutput(std::string verb, bool json, Invocation invocation, std::ostream& out,
             std::ostream& err);

  bool json() const { return json_; }
  // Where text mode writes.
  std::ostream& text() { return out_; }
  // JSON mode: one key of the object, written at once.
  void Add(const std::string& key, const nlohmann::ordered_json& value);
  // JSON mode: a list written element by element, so that a long run holds none of it.
  void BeginList(const std::string& key);
  void AddToList(const nlohmann::ordered_json& element);
  void EndList();
  // A diagnostic: "corvane VERB: text" on stderr, or an entry of `messages`.
  void Say(Severity severity, const std::string& text);
  // Only in the JSON object: text mode tells the same through its output or exit status.
  void SayInJson(Severity severity, const std::string& text);
  // Closes the JSON object; returns `status`.
  int Finish(int status);

 private:
  void Open();
  void Key(const std::string& key);

  std::string verb_;
  bool json_;
  Invocation invocation_;
  std::ostream& out_;
  std::ostream& err_;
  bool opened_ = false;
  bool in_list_ = false;
  bool list_empty_ = true;
  nlohmann::ordered_json messages_ = nlohmann::ordered_json::array();
};

// The JSON text of `value` for a key one level down: indented by two, invalid UTF-8
// replaced rather than thrown on.
std::string NestedJson(const nlohmann::ordered_json& value, int depth);

}  // namespace corvane
