// A stand-in for the program Windows opens mailto: links with: it keeps its command line,
// in UTF-8, in the file that CORVANE_TEST_LINK_LOG names, and opens nothing.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
  wchar_t log[MAX_PATH];
  if (!::GetEnvironmentVariableW(L"CORVANE_TEST_LINK_LOG", log, MAX_PATH)) return 2;
  const wchar_t* line = ::GetCommandLineW();
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? size - 1 : 0, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), size, nullptr, nullptr);
  FILE* out = _wfopen(log, L"ab");
  if (!out) return 3;
  std::fprintf(out, "%s\n", utf8.c_str());
  std::fclose(out);
  return 0;
}
