#include "form/language_file.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "common/text.h"
#include "form/app.h"

namespace corvane {

namespace {

std::string PlainDecimal(double value) {
  char buffer[64];
  if (std::fabs(value) < 1e15 && value == std::floor(value)) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
  }
  std::string text = buffer;
  return text == "-0" ? "0" : text;
}

}  // namespace

std::string GetProgramFolder(App& app) {
  std::string folder = app.os.system.ProgramFolder();
  if (folder.size() == 3 && folder[1] == ':' && folder[2] == '\\') return folder.substr(0, 2);
  if (folder == "/") return "";
  return folder;
}

std::string ProgramFile(App& app, const std::string& name) {
  return GetProgramFolder(app) + app.os.system.PathSeparator() + name;
}

namespace {

// An installed copy's folder is never used, even by a user who may write there (root).
bool OwnFilesBesideProgram(App& app) {
  return app.os.system.ProgramFolderTakesOwnFiles() &&
         app.os.files.CanCreateIn(app.os.system.ProgramFolder());
}

std::string UserStateFile(App& app, const std::string& name) {
  return app.os.system.UserStateFolder() + app.os.system.PathSeparator() + name;
}

}  // namespace

std::string NewOwnFile(App& app, const std::string& name) {
  if (OwnFilesBesideProgram(app)) return ProgramFile(app, name);
  const bool installed = !app.os.system.ProgramFolderTakesOwnFiles();
  const std::string folder = app.os.system.UserStateFolder();
  try {
    app.os.files.MakeFolders(folder);
  } catch (const FileError& e) {
    // The folder that cannot be had is the cause, not a file beside the program.
    if (installed) throw FileError(folder, std::string("cannot be made (") + e.what() + ")");
  }
  if (app.os.files.CanCreateIn(folder)) return UserStateFile(app, name);
  if (installed) throw FileError(folder, "files cannot be created in it");
  // A copy of the user's own: beside it after all; when that fails too, its failure is the
  // one reported.
  return ProgramFile(app, name);
}

std::string FindOwnFile(App& app, const std::string& name) {
  if (!app.os.system.ProgramFolderTakesOwnFiles()) return UserStateFile(app, name);
  std::string chosen = ProgramFile(app, name);
  std::string other = UserStateFile(app, name);
  if (!OwnFilesBesideProgram(app)) std::swap(chosen, other);
  if (app.os.files.Exists(chosen) || !app.os.files.Exists(other)) return chosen;
  return other;
}

std::optional<double> ParseNumber(const std::string& text) {
  const std::string t = Trim(text, kBlanks);
  if (t.empty()) return std::nullopt;
  size_t i = 0;
  if (t[i] == '+' || t[i] == '-') ++i;
  size_t digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    size_t exp_digits = 0;
    while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) ++j, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
    i = j;
  }
  if (i != t.size()) return std::nullopt;
  const double value = std::strtod(t.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<std::string> FirstFreeFormatItem(const std::string& content) {
  size_t i = std::min(content.find_first_not_of(kBlanks), content.size());
  std::string item;
  if (i < content.size() && content[i] == '"') {
    const size_t close = content.find('"', i + 1);
    item = content.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
    return item;  // a quoted item is text, never a number
  }
  const size_t end = content.find_first_of(",\r\n", i);
  item = Trim(content.substr(i, end == std::string::npos ? std::string::npos : end - i), kBlanks);
  if (item.empty()) return std::nullopt;
  if (const std::optional<double> number = ParseNumber(item)) return PlainDecimal(*number);
  return item;
}

}  // namespace corvane
