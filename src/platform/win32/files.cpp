// A file is replaced by writing a temporary file beside it and moving it over the old one,
// so that a failure never leaves it half-written. Delete removes files only, as Kill does.
#include "platform/win32/files.h"

#include <windows.h>

#include <string>

#include "platform/win32/ansi.h"

namespace corvane {

namespace {

[[noreturn]] void Fail(const std::string& path, DWORD code) {
  throw FileError(path, Win32ErrorText(code));
}

std::string FolderOf(const std::string& ansi_path) {
  const size_t slash = ansi_path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  return ansi_path.substr(0, slash + 1);
}

std::string ReadBytes(const std::string& path, FileKind kind) {
  const std::string ansi = Utf8ToAnsi(path);
  const DWORD attributes = ::GetFileAttributesA(ansi.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw FileError(path, "is a folder");
  }
  const HANDLE h = ::CreateFileA(ansi.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail(path, ::GetLastError());
  // A pipe or a device (NUL, CON, COM1) is never read: it could block or never end.
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    throw FileError(path, "not a regular file");
  }
  const size_t limit = SizeLimit(kind);
  const std::string too_large = "too large (more than " + std::to_string(limit) + " bytes)";
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(h, &size) && static_cast<unsigned long long>(size.QuadPart) > limit) {
    ::CloseHandle(h);
    throw FileError(path, too_large);
  }
  std::string content;
  char buffer[4096];
  for (;;) {
    DWORD n = 0;
    const size_t room = limit + 1 - content.size();
    if (!::ReadFile(h, buffer, static_cast<DWORD>(room < sizeof buffer ? room : sizeof buffer), &n,
                    nullptr)) {
      const DWORD err = ::GetLastError();
      ::CloseHandle(h);
      Fail(path, err);
    }
    if (n == 0) break;
    content.append(buffer, n);
    if (content.size() > limit) {
      ::CloseHandle(h);
      throw FileError(path, too_large);
    }
  }
  ::CloseHandle(h);
  return content;
}

void ReplaceWithBytes(const std::string& path, const std::string& bytes) {
  const std::string target = Utf8ToAnsi(path);
  char tmp[MAX_PATH + 1] = {};
  if (!::GetTempFileNameA(FolderOf(target).c_str(), "cvn", 0, tmp)) Fail(path, ::GetLastError());
  const HANDLE h =
      ::CreateFileA(tmp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    ::DeleteFileA(tmp);
    Fail(path, err);
  }
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD n = 0;
    if (!::WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n,
                     nullptr)) {
      const DWORD err = ::GetLastError();
      ::CloseHandle(h);
      ::DeleteFileA(tmp);
      Fail(path, err);
    }
    done += n;
  }
  const bool flushed = ::FlushFileBuffers(h);
  const DWORD flush_err = ::GetLastError();
  ::CloseHandle(h);
  if (!flushed) {
    ::DeleteFileA(tmp);
    Fail(path, flush_err);
  }
  if (!::MoveFileExA(tmp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = ::GetLastError();
    ::DeleteFileA(tmp);
    Fail(path, err);
  }
}

}  // namespace

bool Win32Files::Exists(const std::string& path) {
  return !path.empty() && ::GetFileAttributesA(Utf8ToAnsi(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Win32Files::ReadAll(const std::string& path, FileKind kind) {
  return AnsiToUtf8(ReadBytes(path, kind));
}

void Win32Files::WriteAll(const std::string& path, const std::string& content) {
  ReplaceWithBytes(path, Utf8ToAnsi(content));
}

void Win32Files::Delete(const std::string& path) {
  if (!::DeleteFileA(Utf8ToAnsi(path).c_str())) Fail(path, ::GetLastError());
}

void Win32Files::Copy(const std::string& from, const std::string& to) {
  ReplaceWithBytes(to, ReadBytes(from, FileKind::kDriver));
}

std::string ReadFileBytes(const std::string& path, FileKind kind) { return ReadBytes(path, kind); }

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  ReplaceWithBytes(path, bytes);
}

}  // namespace corvane
