// The command line in UTF-8, and the prompt's console for a windowed program: attached
// when a standard stream has nowhere to go. A stream redirected to a file or a pipe, or handed over
// by Wine from a Unix shell, is left as it is. A console is written with WriteConsoleW and read
// with ReadConsoleW: bytes written to it would be read in its OEM code page.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h: CommandLineToArgvW needs its types.
#include <shellapi.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/console/converting_stream.h"
#include "platform/standard_streams.h"
#include "platform/win32/ansi.h"

namespace corvane {

namespace {

bool Usable(DWORD which) {
  const HANDLE h = ::GetStdHandle(which);
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN;
}

// The console behind a C stream, or null when the stream goes elsewhere.
HANDLE ConsoleOf(std::FILE* stream) {
  const intptr_t native = ::_get_osfhandle(::_fileno(stream));
  const HANDLE h = reinterpret_cast<HANDLE>(native);
  DWORD mode = 0;
  if (native == -1 || h == nullptr || !::GetConsoleMode(h, &mode)) return nullptr;
  return h;
}

ConvertingStreamBuffer* ConsoleWriter(HANDLE console) {
  return new ConvertingStreamBuffer(
      [console](const std::string& utf8) {
        const std::wstring wide = Utf8ToWide(utf8);
        size_t done = 0;
        while (done < wide.size()) {
          DWORD n = 0;
          if (!::WriteConsoleW(console, wide.data() + done, static_cast<DWORD>(wide.size() - done),
                               &n, nullptr) ||
              n == 0) {
            return false;
          }
          done += n;
        }
        return true;
      },
      [](std::string*) { return false; });
}

ConvertingStreamBuffer* ConsoleReader(HANDLE console) {
  return new ConvertingStreamBuffer(
      [](const std::string&) { return false; },
      [console](std::string* utf8) {
        std::wstring wide(1024, L'\0');
        DWORD n = 0;
        if (!::ReadConsoleW(console, wide.data(), 1023, &n, nullptr) || n == 0) {
          return false;
        }
        // A pair of surrogates is not cut in two.
        if (wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF) {
          DWORD more = 0;
          ::ReadConsoleW(console, wide.data() + n, 1, &more, nullptr);
          n += more;
        }
        wide.resize(n);
        std::string text = WideToUtf8(wide);
        const size_t cr = text.find("\r\n");
        if (cr != std::string::npos) text.erase(cr, 1);
        *utf8 = text;
        return true;
      });
}

// Once per run; the buffers live as long as the streams, to the runtime's last flush.
void UseConsoleText() {
  static bool done = false;
  if (done) return;
  done = true;
  if (const HANDLE out = ConsoleOf(stdout)) std::cout.rdbuf(ConsoleWriter(out));
  if (const HANDLE err = ConsoleOf(stderr)) std::cerr.rdbuf(ConsoleWriter(err));
  if (const HANDLE in = ConsoleOf(stdin)) std::cin.rdbuf(ConsoleReader(in));
}

}  // namespace

void AttachParentConsole() {
  const bool in = Usable(STD_INPUT_HANDLE);
  const bool out = Usable(STD_OUTPUT_HANDLE);
  const bool err = Usable(STD_ERROR_HANDLE);
  if (!(in && out && err) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
    if (!in) std::freopen("CONIN$", "r", stdin);
    if (!out) std::freopen("CONOUT$", "w", stdout);
    if (!err) std::freopen("CONOUT$", "w", stderr);
  }
  UseConsoleText();
}

// The one place the command line turns into the program's UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(WideToUtf8(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

// The C runtime opens the standard streams in text mode, which reads CR LF as LF and writes
// LF as CR LF.
void UseBinaryStandardInput() { _setmode(_fileno(stdin), _O_BINARY); }
void UseBinaryStandardOutput() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace corvane
