// A file is replaced by writing a temporary file beside it and moving it over the old one,
// so that a failure never leaves it half-written. Delete removes files only, as Kill does.
#include "platform/win32/files.h"

#include <windows.h>
// After windows.h: SHCreateDirectoryExA needs its types.
#include <shlobj.h>

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

std::string ReadBytes(const std::string& path) {
  const HANDLE h = ::CreateFileA(Utf8ToAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail(path, ::GetLastError());
  std::string content;
  char buffer[4096];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h, buffer, sizeof buffer, &n, nullptr)) {
      const DWORD err = ::GetLastError();
      ::CloseHandle(h);
      Fail(path, err);
    }
    if (n == 0) break;
    content.append(buffer, n);
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

std::string Win32Files::ReadAll(const std::string& path) { return AnsiToUtf8(ReadBytes(path)); }

void Win32Files::WriteAll(const std::string& path, const std::string& content) {
  ReplaceWithBytes(path, Utf8ToAnsi(content));
}

void Win32Files::Delete(const std::string& path) {
  if (!::DeleteFileA(Utf8ToAnsi(path).c_str())) Fail(path, ::GetLastError());
}

void Win32Files::Copy(const std::string& from, const std::string& to) {
  ReplaceWithBytes(to, ReadBytes(from));
}

// Access checks lie here (the root of C: takes folders but no files from a standard user,
// and a folder's read-only flag means nothing): a file is created and removed instead.
bool Win32Files::CanCreateIn(const std::string& folder) {
  char probe[MAX_PATH + 1] = {};
  if (folder.empty() || !::GetTempFileNameA(Utf8ToAnsi(folder).c_str(), "cvn", 0, probe)) {
    return false;
  }
  ::DeleteFileA(probe);
  return true;
}

void Win32Files::MakeFolders(const std::string& folder) {
  const int result = ::SHCreateDirectoryExA(nullptr, Utf8ToAnsi(folder).c_str(), nullptr);
  if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS && result != ERROR_FILE_EXISTS) {
    Fail(folder, static_cast<DWORD>(result));
  }
}

}  // namespace corvane
