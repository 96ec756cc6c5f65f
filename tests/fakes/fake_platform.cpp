#include "fakes/fake_platform.h"

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

std::string FakeFiles::ReadAll(const std::string& path) {
  Check("ReadAll", path);
  const auto it = files.find(path);
  if (it == files.end()) throw FileError(path, "No such file or directory");
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
