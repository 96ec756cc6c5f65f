#include "faces/terminal/terminal_face.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <vector>

#include "app/dispatch.h"
#include "common/text.h"
#include "form/app.h"
#include "form/layout.h"
#include "form/texts.h"
#include "platform/desktop.h"

namespace corvane {

namespace {

void PrintLines(std::ostream& out, const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == kCr) {
      out << line << '\n';
      line.clear();
    } else if (c != '\n') {
      line += c;
    }
  }
  out << line << '\n';
}

bool IsYesWord(const std::string& w) {
  return w == "yes" || w == "y" || w == "si" || w == "sí" || w == "sim";
}

bool IsNoWord(const std::string& w) { return w == "no" || w == "n" || w == "não" || w == "nao"; }

}  // namespace

std::string NormaliseCommand(const std::string& line) {
  return LowerCaseLatin(Trim(line, kWhiteSpace));
}

bool TerminalFace::ReadLine(std::string& line) {
  return static_cast<bool>(std::getline(in_, line));
}

int TerminalFace::MessageBox(const std::string& text, const std::string& title, int style) {
  out_ << "-- " << (title.empty() ? kProgramTitle : title) << " --\n";
  PrintLines(out_, text);
  const bool yes_no = (style & 0xF) == kMbYesNo;
  out_ << (yes_no ? "[Yes] [No]" : "[OK]") << "\n> " << std::flush;
  std::string line;
  if (!yes_no) {
    ReadLine(line);  // any line, or the end of input, is OK
    return kIdOk;
  }
  while (ReadLine(line)) {
    const std::string answer = NormaliseCommand(line);
    if (IsYesWord(answer)) return kIdYes;
    if (IsNoWord(answer)) return kIdNo;
    out_ << AnswerYesOrNoHint(Language()) << "\n> " << std::flush;
  }
  return kIdNo;
}

void TerminalFace::Render(App& app) {
  FMain& f = app.form;
  if (!f.loaded || !f.visible) return;
  out_ << f.caption << '\n';
  std::vector<Control*> options = {&f.OBESP, &f.OBPOR, &f.OBENG};
  std::stable_sort(options.begin(), options.end(),
                   [](const Control* a, const Control* b) { return a->top < b->top; });
  for (const Control* o : options) {
    if (o->visible) out_ << (o->selected ? "(x) " : "( ) ") << o->caption << '\n';
  }
  if (f.LBLMSG.visible && !f.LBLMSG.caption.empty()) PrintLines(out_, f.LBLMSG.caption);
  std::string buttons;
  for (const Control* b : {&f.LBLYES, &f.LBLNO, &f.LBLOK, &f.CBCancel}) {
    if (!b->visible) continue;
    if (!buttons.empty()) buttons += ' ';
    buttons += "[" + b->caption + "]";
  }
  if (!buttons.empty()) out_ << buttons << '\n';
  out_ << "> " << std::flush;
}

std::string TerminalFace::Language() const { return app_ ? app_->form.LBLIDIOMA.caption : ""; }

int TerminalFace::Run(App& app) {
  app_ = &app;
  Outcome outcome = StartProgram(app);
  FMain& f = app.form;
  std::string line;
  while (outcome == Outcome::kRunning || outcome == Outcome::kIgnored) {
    if (outcome == Outcome::kRunning) Render(app);
    if (!ReadLine(line)) {
      outcome = CloseWindow(app);
      break;
    }
    const bool shown = f.loaded && f.visible;
    const std::string cmd = NormaliseCommand(line);
    Outcome next = Outcome::kIgnored;
    bool known = true;
    if (cmd == "es" || cmd == "español" || cmd == "espanol") {
      next = SelectOption(app, f.OBESP);
    } else if (cmd == "pt" || cmd == "português" || cmd == "portugues") {
      next = SelectOption(app, f.OBPOR);
    } else if (cmd == "en" || cmd == "english") {
      next = SelectOption(app, f.OBENG);
    } else if (cmd == "ok") {
      next = DispatchClick(app, Click::kOk);
    } else if (cmd == "yes" || cmd == NormaliseCommand(f.LBLYES.caption)) {
      next = DispatchClick(app, Click::kYes);
    } else if (cmd == "no" || cmd == NormaliseCommand(f.LBLNO.caption)) {
      next = DispatchClick(app, Click::kNo);
    } else if (cmd == "cancel") {
      next = DispatchClick(app, Click::kCancel);
    } else if (cmd == "close") {
      next = CloseWindow(app);
    } else {
      known = false;
    }
    // While the form is hidden nothing is printed, hints included.
    if (next == Outcome::kIgnored && shown) {
      const std::string language = Language();
      out_ << (known ? HiddenControlHint(language) : UnknownCommandHint(language)) << "\n> "
           << std::flush;
    }
    outcome = next;
  }
  return outcome == Outcome::kFailed ? 1 : 0;
}

}  // namespace corvane
