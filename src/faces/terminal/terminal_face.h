// The face used without a display: prints what the form shows and reads one command
// per line. Scripts drive it, so its output and commands are fixed.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/face.h"

namespace corvane {

struct App;
struct Control;

class TerminalFace : public Face {
 public:
  TerminalFace(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
  int MessageBox(const std::string& text, const std::string& title, int style) override;
  int Run(App& app) override;

 private:
  void Render(App& app);
  bool ReadLine(std::string& line);
  // The language code the hints speak: the form's, once a run has one.
  std::string Language() const;
  std::istream& in_;
  std::ostream& out_;
  App* app_ = nullptr;
};

// Trimmed and lower-cased, including the accented capitals of the three languages.
std::string NormaliseCommand(const std::string& line);

}  // namespace corvane
