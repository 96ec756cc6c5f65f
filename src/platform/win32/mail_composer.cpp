// The Unicode records of Simple MAPI are declared here: the toolchain's mapi.h has only the
// ANSI ones. Both have the same fields in the same order.
#include "platform/win32/mail_composer.h"

#include <windows.h>
// windows.h first: mapi.h uses its types.
#include <mapi.h>

#include <string>

#include "platform/win32/ansi.h"
#include "platform/win32/shell.h"

namespace corvane {

namespace {

struct MapiRecipDescW {
  ULONG ulReserved;
  ULONG ulRecipClass;
  PWSTR lpszName;
  PWSTR lpszAddress;
  ULONG ulEIDSize;
  LPVOID lpEntryID;
};

struct MapiFileDescW {
  ULONG ulReserved;
  ULONG flFlags;
  ULONG nPosition;
  PWSTR lpszPathName;
  PWSTR lpszFileName;
  LPVOID lpFileType;
};

struct MapiMessageW {
  ULONG ulReserved;
  PWSTR lpszSubject;
  PWSTR lpszNoteText;
  PWSTR lpszMessageType;
  PWSTR lpszDateReceived;
  PWSTR lpszConversationID;
  FLAGS flFlags;
  MapiRecipDescW* lpOriginator;
  ULONG nRecipCount;
  MapiRecipDescW* lpRecips;
  ULONG nFileCount;
  MapiFileDescW* lpFiles;
};

using SendMailW = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessageW*, FLAGS, ULONG);

// The attachment goes where the mail program puts it; -1 is "anywhere".
constexpr ULONG kAnyPosition = static_cast<ULONG>(-1);
constexpr FLAGS kShowReadyToSend = MAPI_DIALOG | MAPI_LOGON_UI;

// The records point into these strings, which must outlive the call.
template <typename Text>
struct MessageTexts {
  Text name;
  Text address;
  Text subject;
  Text path;
  Text file_name;
};

template <typename Text, typename Convert>
MessageTexts<Text> Texts(const std::string& address, const std::string& subject,
                         const std::string& path, Convert convert) {
  const size_t slash = path.find_last_of("\\/");
  return {convert(address), convert("SMTP:" + address), convert(subject), convert(path),
          convert(slash == std::string::npos ? path : path.substr(slash + 1))};
}

ULONG SendWide(SendMailW send, const std::string& address, const std::string& subject,
               const std::string& path) {
  auto t = Texts<std::wstring>(address, subject, path, Utf8ToWide);
  MapiRecipDescW recipient{0, MAPI_TO, t.name.data(), t.address.data(), 0, nullptr};
  MapiFileDescW file{0, 0, kAnyPosition, t.path.data(), t.file_name.data(), nullptr};
  MapiMessageW message{};
  message.lpszSubject = t.subject.data();
  message.nRecipCount = 1;
  message.lpRecips = &recipient;
  message.nFileCount = 1;
  message.lpFiles = &file;
  return send(0, 0, &message, kShowReadyToSend, 0);
}

ULONG SendAnsi(LPMAPISENDMAIL send, const std::string& address, const std::string& subject,
               const std::string& path) {
  auto t = Texts<std::string>(address, subject, path, Utf8ToAnsi);
  MapiRecipDesc recipient{0, MAPI_TO, t.name.data(), t.address.data(), 0, nullptr};
  MapiFileDesc file{0, 0, kAnyPosition, t.path.data(), t.file_name.data(), nullptr};
  MapiMessage message{};
  message.lpszSubject = t.subject.data();
  message.nRecipCount = 1;
  message.lpRecips = &recipient;
  message.nFileCount = 1;
  message.lpFiles = &file;
  return send(0, 0, &message, kShowReadyToSend, 0);
}

}  // namespace

bool MapiComposer::Compose(const std::string& address, const std::string& subject,
                           const std::string& path) {
  if (DefaultMailClientName().empty()) return false;
  // From the system folder only: a MAPI32.DLL beside the program or in the working folder
  // is not loaded.
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::wstring library = std::wstring(system, length) + L"\\mapi32.dll";
  // It stays loaded: a mail program may keep working in it after the call returns.
  HMODULE mapi = ::LoadLibraryW(library.c_str());
  if (!mapi) return false;
  ULONG result = MAPI_E_NOT_SUPPORTED;
  if (auto wide = reinterpret_cast<SendMailW>(::GetProcAddress(mapi, "MAPISendMailW"))) {
    result = SendWide(wide, address, subject, path);
  } else if (auto ansi = reinterpret_cast<LPMAPISENDMAIL>(::GetProcAddress(mapi, "MAPISendMail"))) {
    result = SendAnsi(ansi, address, subject, path);
  }
  return result == SUCCESS_SUCCESS;
}

}  // namespace corvane
