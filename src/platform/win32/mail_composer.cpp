// MAPISendMailW where the system's MAPI32 has it, else MAPISendMail with ANSI texts; both
// take one record shape. A mailto: link goes to ShellExecuteW once AssocQueryStringW finds
// a program for the scheme.
#include "platform/win32/mail_composer.h"

#include <windows.h>
// After windows.h: ShellExecuteW and AssocQueryStringW need its types.
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdint>
#include <string>

#include "platform/win32/ansi.h"
#include "platform/win32/mapi_records.h"
#include "platform/win32/shell.h"

namespace corvane {

namespace {

// The attachment goes where the mail program puts it; -1 is "anywhere".
constexpr ULONG kAnyPosition = static_cast<ULONG>(-1);
constexpr FLAGS kShowReadyToSend = MAPI_DIALOG | MAPI_LOGON_UI;

// One recipient and one attachment; the records point into the converted texts, which
// live until the call returns.
template <typename Message, typename Recipient, typename File, typename SendFunction,
          typename Convert>
ULONG Send(SendFunction send, Convert convert, const std::string& address,
           const std::string& subject, const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  auto name = convert(address);
  auto smtp_address = convert("SMTP:" + address);
  auto subject_text = convert(subject);
  auto path_text = convert(path);
  auto file_name = convert(slash == std::string::npos ? path : path.substr(slash + 1));
  Recipient recipient{0, MAPI_TO, name.data(), smtp_address.data(), 0, nullptr};
  File file{0, 0, kAnyPosition, path_text.data(), file_name.data(), nullptr};
  Message message{};
  message.lpszSubject = subject_text.data();
  message.nRecipCount = 1;
  message.lpRecips = &recipient;
  message.nFileCount = 1;
  message.lpFiles = &file;
  return send(0, 0, &message, kShowReadyToSend, 0);
}

// An exported function of the module, as the type it has; null when it is not there.
template <typename Function>
Function Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
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
  if (auto wide = Entry<MapiSendMailW>(mapi, "MAPISendMailW")) {
    result =
        Send<MapiMessageW, MapiRecipDescW, MapiFileDescW>(wide, Utf8ToWide, address, subject, path);
  } else if (auto ansi = Entry<LPMAPISENDMAIL>(mapi, "MAPISendMail")) {
    result =
        Send<MapiMessage, MapiRecipDesc, MapiFileDesc>(ansi, Utf8ToAnsi, address, subject, path);
  }
  return result == SUCCESS_SUCCESS;
}

bool MapiComposer::OpenMailLink(const std::string& link, const std::string&) {
  // The scheme's program as Windows 8 and later choose it (the user's choice first); older
  // systems ignore the flag and read HKEY_CLASSES_ROOT\mailto. Without a program,
  // ShellExecute would ask the user to pick one from the store, or fail.
  constexpr ASSOCF kIsProtocol = static_cast<ASSOCF>(0x00001000);  // ASSOCF_IS_PROTOCOL
  DWORD size = 0;
  const HRESULT found =
      ::AssocQueryStringW(kIsProtocol, ASSOCSTR_COMMAND, L"mailto", L"open", nullptr, &size);
  if ((found != S_OK && found != S_FALSE) || size <= 1) return false;
  const HINSTANCE started =
      ::ShellExecuteW(nullptr, L"open", Utf8ToWide(link).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  // Above 32 is success; the program runs on its own.
  return reinterpret_cast<intptr_t>(started) > 32;
}

}  // namespace corvane
