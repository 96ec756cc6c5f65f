// A file is replaced by writing a temporary file beside it and moving it over the old one,
// so that a failure never leaves it half-written. Delete removes files only, as Kill does.
#include "platform/win32/files.h"

#include <windows.h>
// After windows.h: SHCreateDirectoryExA needs its types.
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "platform/win32/ansi.h"

namespace corvane {

namespace {

[[noreturn]] void Fail(const std::string& path, DWORD code) {
  throw FileError(path, Win32ErrorText(code), static_cast<int>(code));
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

// Temporaries are named "~corvane-<process id>-<n>.tmp", so that a later write can tell
// the ones whose writer is gone (killed while it wrote) and remove them.
constexpr char kTemporaryPrefix[] = "~corvane-";

void RemoveStaleTemporaries(const std::string& folder) {
  WIN32_FIND_DATAA found{};
  const HANDLE search = ::FindFirstFileA((folder + kTemporaryPrefix + "*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const char* digits = found.cFileName + sizeof kTemporaryPrefix - 1;
    char* end = nullptr;
    const unsigned long pid = std::strtoul(digits, &end, 10);
    if (end == digits || *end != '-' || pid == ::GetCurrentProcessId()) continue;
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process) {
      ::CloseHandle(process);
    } else if (::GetLastError() == ERROR_INVALID_PARAMETER) {  // no such process
      ::DeleteFileA((folder + found.cFileName).c_str());
    }
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

HANDLE CreateTemporary(const std::string& folder, std::string* name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = folder + kTemporaryPrefix + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(::GetTickCount() ^ (++counter * 2654435761u)) + ".tmp";
    const HANDLE h = ::CreateFileA(name->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  return INVALID_HANDLE_VALUE;
}

void ReplaceWithBytes(const std::string& path, const std::string& bytes) {
  const std::string target = Utf8ToAnsi(path);
  const std::string folder = FolderOf(target);
  RemoveStaleTemporaries(folder);
  std::string tmp;
  const HANDLE h = CreateTemporary(folder, &tmp);
  if (h == INVALID_HANDLE_VALUE) Fail(path, ::GetLastError());
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD n = 0;
    if (!::WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n,
                     nullptr)) {
      const DWORD err = ::GetLastError();
      ::CloseHandle(h);
      ::DeleteFileA(tmp.c_str());
      Fail(path, err);
    }
    done += n;
  }
  const bool flushed = ::FlushFileBuffers(h);
  const DWORD flush_err = ::GetLastError();
  ::CloseHandle(h);
  if (!flushed) {
    ::DeleteFileA(tmp.c_str());
    Fail(path, flush_err);
  }
  if (!::MoveFileExA(tmp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = ::GetLastError();
    ::DeleteFileA(tmp.c_str());
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
