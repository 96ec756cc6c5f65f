// A face: how a person drives the form (a window, or the terminal).
#pragma once

#include <string>

namespace corvane {

struct App;

class Face {
 public:
  virtual ~Face() = default;
  // A modal message box; an empty title means the program's title. Returns kIdOk, kIdYes
  // or kIdNo.
  virtual int MessageBox(const std::string& text, const std::string& title, int style) = 0;
  // Starts the program and takes clicks until it ends; returns the process exit status.
  virtual int Run(App& app) = 0;
};

}  // namespace corvane
