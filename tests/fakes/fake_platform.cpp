#include "fakes/fake_platform.h"

#include "common/text.h"

namespace corvane::test {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t sep = path.rfind('\\');
  return sep == std::string::npos ? "" : path.substr(0, sep);
}

}  // namespace

void FakeFiles::Check(const std::string& op, const std::string& path) {
  calls.push_back(op + " " + path);
  if (fail.count(op)) throw FileError(path, "Input/output error");
}

bool FakeFiles::Exists(const std::string& path) {
  calls.push_back("Exists " + path);
  return files.count(path) || folders.count(path);
}

std::string FakeFiles::ReadAll(const std::string& path, FileKind kind) {
  Check("ReadAll", path);
  if (folders.count(path)) throw FileError(path, "is a folder");
  const auto it = files.find(path);
  if (it == files.end()) throw FileError(path, "No such file or directory");
  if (it->second.size() > SizeLimit(kind)) throw FileError(path, "too large");
  return it->second;
}

void FakeFiles::WriteAll(const std::string& path, const std::string& content) {
  Check("WriteAll", path);
  if (read_only_folders.count(FolderOf(path))) throw FileError(path, "Permission denied");
  if (folders.count(path)) throw FileError(path, "Is a directory");
  files[path] = content;
}

void FakeFiles::Delete(const std::string& path) {
  Check("Delete", path);
  if (read_only_folders.count(FolderOf(path))) throw FileError(path, "Permission denied");
  if (!files.erase(path)) throw FileError(path, "No such file or directory");
}

void FakeFiles::Copy(const std::string& from, const std::string& to) {
  Check("Copy", from + " -> " + to);
  const auto it = files.find(from);
  if (it == files.end()) throw FileError(from, "No such file or directory");
  if (read_only_folders.count(FolderOf(to))) throw FileError(to, "Permission denied");
  files[to] = it->second;
}

bool FakeFiles::CanCreateIn(const std::string& folder) {
  calls.push_back("CanCreateIn " + folder);
  const std::string name = !folder.empty() && folder.back() == '\\' ? FolderOf(folder) : folder;
  return !read_only_folders.count(name);
}

void FakeFiles::MakeFolders(const std::string& folder) {
  Check("MakeFolders", folder);
  folders.insert(folder);
}

std::string FakeSystemInfo::UpperCase(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    } else if (c == 0xC3 && i + 1 < out.size()) {
      // à..þ (U+00E0..U+00FE, but ÷) are 0x20 above their capitals.
      const unsigned char d = static_cast<unsigned char>(out[++i]);
      if (d >= 0xA0 && d <= 0xBE && d != 0xB7) out[i] = static_cast<char>(d - 0x20);
    }
  }
  return out;
}

std::string FakeSystemInfo::SingleByteText(const std::string& bytes) { return Latin1ToUtf8(bytes); }

int FakeDesktop::MessageBox(const std::string& text, const std::string& t, int style) {
  boxes.push_back({text, t, style});
  if (on_box) on_box();
  if ((style & 0xF) != kMbYesNo) return kIdOk;
  if (answers.empty()) return kIdNo;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

}  // namespace corvane::test
