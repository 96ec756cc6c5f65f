// A file is replaced by writing a temporary file beside it and moving it over the old one,
// so that a failure never leaves it half-written. Delete removes files only, as Kill does.
// Paths go through the "W" functions: a name the ANSI code page lacks is still found.
#include "platform/win32/files.h"

#include <windows.h>
// After windows.h: SHCreateDirectoryExW needs its types.
#include <shlobj.h>

#include <cwchar>
#include <iterator>
#include <string>

#include "platform/win32/ansi.h"

namespace corvane {

namespace {

[[noreturn]] void Fail(const std::string& path, DWORD code) {
  throw FileError(path, Win32ErrorText(code), static_cast<int>(code));
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".\\";
  return path.substr(0, slash + 1);
}

std::string ReadBytes(const std::string& path, FileKind kind) {
  const std::wstring wide = Utf8ToWide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw FileError(path, "is a folder");
  }
  const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
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
constexpr wchar_t kTemporaryPrefix[] = L"~corvane-";

void RemoveStaleTemporaries(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((folder + kTemporaryPrefix + L"*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const wchar_t* digits = found.cFileName + std::size(kTemporaryPrefix) - 1;
    wchar_t* end = nullptr;
    const unsigned long pid = std::wcstoul(digits, &end, 10);
    if (end == digits || *end != '-' || pid == ::GetCurrentProcessId()) continue;
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process) {
      ::CloseHandle(process);
    } else if (::GetLastError() == ERROR_INVALID_PARAMETER) {  // no such process
      ::DeleteFileW((folder + found.cFileName).c_str());
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

HANDLE CreateTemporary(const std::wstring& folder, std::wstring* name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = folder + kTemporaryPrefix + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(::GetTickCount() ^ (++counter * 2654435761u)) + L".tmp";
    const HANDLE h = ::CreateFileW(name->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  return INVALID_HANDLE_VALUE;
}

void ReplaceWithBytes(const std::string& path, const std::string& bytes) {
  const std::wstring target = Utf8ToWide(path);
  const std::wstring folder = FolderOf(target);
  RemoveStaleTemporaries(folder);
  std::wstring tmp;
  const HANDLE h = CreateTemporary(folder, &tmp);
  if (h == INVALID_HANDLE_VALUE) Fail(path, ::GetLastError());
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD n = 0;
    if (!::WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n,
                     nullptr)) {
      const DWORD err = ::GetLastError();
      ::CloseHandle(h);
      ::DeleteFileW(tmp.c_str());
      Fail(path, err);
    }
    done += n;
  }
  const bool flushed = ::FlushFileBuffers(h);
  const DWORD flush_err = ::GetLastError();
  ::CloseHandle(h);
  if (!flushed) {
    ::DeleteFileW(tmp.c_str());
    Fail(path, flush_err);
  }
  if (!::MoveFileExW(tmp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = ::GetLastError();
    ::DeleteFileW(tmp.c_str());
    Fail(path, err);
  }
}

}  // namespace

bool Win32Files::Exists(const std::string& path) {
  return !path.empty() && ::GetFileAttributesW(Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Win32Files::ReadAll(const std::string& path, FileKind kind) {
  return AnsiToUtf8(ReadBytes(path, kind));
}

void Win32Files::WriteAll(const std::string& path, const std::string& content) {
  ReplaceWithBytes(path, Utf8ToAnsi(content));
}

void Win32Files::Delete(const std::string& path) {
  if (!::DeleteFileW(Utf8ToWide(path).c_str())) Fail(path, ::GetLastError());
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
  wchar_t probe[MAX_PATH + 1] = {};
  if (folder.empty() || !::GetTempFileNameW(Utf8ToWide(folder).c_str(), L"cvn", 0, probe)) {
    return false;
  }
  ::DeleteFileW(probe);
  return true;
}

void Win32Files::MakeFolders(const std::string& folder) {
  const int result = ::SHCreateDirectoryExW(nullptr, Utf8ToWide(folder).c_str(), nullptr);
  if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS && result != ERROR_FILE_EXISTS) {
    Fail(folder, static_cast<DWORD>(result));
  }
}

}  // namespace corvane
