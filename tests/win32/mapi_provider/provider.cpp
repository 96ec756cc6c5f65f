// A Simple MAPI mail program for the tests, registered as the default one under
// HKLM\Software\Clients\Mail. It writes what it was handed to the file named by
// CORVANE_TEST_MAPI_LOG, one "key=value" line each, in UTF-8, and answers with the number in
// CORVANE_TEST_MAPI_ANSWER (0, SUCCESS_SUCCESS, when unset).
#include <string>

#include "platform/win32/mapi_records.h"

namespace {

using corvane::MapiFileDescW;
using corvane::MapiMessageW;
using corvane::MapiRecipDescW;

std::string Utf8(const wchar_t* text) {
  if (!text) return "(null)";
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const char* text) {
  if (!text) return L"";
  const int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
  return out;
}

bool Readable(const wchar_t* path) {
  HANDLE h = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char byte;
  DWORD got = 0;
  const bool read = ::ReadFile(h, &byte, 1, &got, nullptr) && got == 1;
  ::CloseHandle(h);
  return read;
}

// The process's environment as it is now (the C runtime's copy is the one at its start).
std::string Env(const char* name) {
  char value[1024] = {};
  const DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : "";
}

ULONG Answer(const std::string& log) {
  const std::string path = Env("CORVANE_TEST_MAPI_LOG");
  if (!path.empty()) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(h, log.data(), static_cast<DWORD>(log.size()), &written, nullptr);
      ::CloseHandle(h);
    }
  }
  const std::string answer = Env("CORVANE_TEST_MAPI_ANSWER");
  return answer.empty() ? SUCCESS_SUCCESS : static_cast<ULONG>(std::stoul(answer));
}

ULONG Record(const char* entry, const MapiMessageW* m, FLAGS flags) {
  std::string log = std::string("entry=") + entry + "\nflags=" + std::to_string(flags) + "\n";
  log += "subject=" + Utf8(m->lpszSubject) + "\n";
  for (ULONG i = 0; i < m->nRecipCount; ++i) {
    const MapiRecipDescW& r = m->lpRecips[i];
    log += "recipient=" + std::to_string(r.ulRecipClass) + "|" + Utf8(r.lpszName) + "|" +
           Utf8(r.lpszAddress) + "\n";
  }
  for (ULONG i = 0; i < m->nFileCount; ++i) {
    const MapiFileDescW& f = m->lpFiles[i];
    log += "file=" + Utf8(f.lpszPathName) + "|" + Utf8(f.lpszFileName) + "|" +
           (Readable(f.lpszPathName) ? "readable" : "unreadable") + "\n";
  }
  return Answer(log);
}

}  // namespace

extern "C" __declspec(dllexport) ULONG WINAPI
    MAPISendMailW(LHANDLE, ULONG_PTR, MapiMessageW* message, FLAGS flags, ULONG) {
  return Record("W", message, flags);
}

// The ANSI entry, as older mail programs have only it: its texts are widened and recorded
// the same way.
extern "C" __declspec(dllexport) ULONG WINAPI
    MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage message, FLAGS flags, ULONG) {
  std::wstring subject = Wide(message->lpszSubject);
  std::wstring names[8], addresses[8], paths[8], files[8];
  MapiRecipDescW recips[8] = {};
  MapiFileDescW attached[8] = {};
  MapiMessageW m{};
  m.lpszSubject = subject.data();
  m.nRecipCount = message->nRecipCount < 8 ? message->nRecipCount : 8;
  m.lpRecips = recips;
  for (ULONG i = 0; i < m.nRecipCount; ++i) {
    names[i] = Wide(message->lpRecips[i].lpszName);
    addresses[i] = Wide(message->lpRecips[i].lpszAddress);
    recips[i] = {0,      message->lpRecips[i].ulRecipClass, names[i].data(), addresses[i].data(), 0,
                 nullptr};
  }
  m.nFileCount = message->nFileCount < 8 ? message->nFileCount : 8;
  m.lpFiles = attached;
  for (ULONG i = 0; i < m.nFileCount; ++i) {
    paths[i] = Wide(message->lpFiles[i].lpszPathName);
    files[i] = Wide(message->lpFiles[i].lpszFileName);
    attached[i] = {0, 0, message->lpFiles[i].nPosition, paths[i].data(), files[i].data(), nullptr};
  }
  return Record("A", &m, flags);
}
