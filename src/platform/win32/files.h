// Files on Windows through the "W" functions. Text written is converted from UTF-8 to the
// ANSI code page and text read back the other way; a copy is byte for byte.
#pragma once

#include "platform/files.h"

namespace corvane {

class Win32Files : public Files {
 public:
  bool Exists(const std::string& path) override;
  std::string ReadAll(const std::string& path, FileKind kind) override;
  void WriteAll(const std::string& path, const std::string& content) override;
  void Delete(const std::string& path) override;
  void Copy(const std::string& from, const std::string& to) override;
  bool CanCreateIn(const std::string& folder) override;
  void MakeFolders(const std::string& folder) override;
};

}  // namespace corvane
