// The form in an FLTK 1.3 window on X11, built as libcorvane-window.so. It draws the
// model, forwards clicks of visible controls and redraws after each handler and before
// each message box. It cannot hide the form in the middle of a handler's work, and the
// minimise button goes only where the window manager honours Motif hints.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "form/app.h"
#include "form/geometry.h"
#include "form/layout.h"
#include "platform/desktop.h"
#include "platform/fltk/corvane_icon.xpm"
#include "platform/linux/window_module.h"

namespace corvane {

namespace {

// Labels drawn without FLTK's '@' symbols, so that an address or a path shows as written.
constexpr Fl_Labeltype kPlainLabel = FL_FREE_LABELTYPE;
constexpr int kMessageFontSize = 14;

void DrawPlainLabel(const Fl_Label* label, int x, int y, int w, int h, Fl_Align align) {
  fl_font(label->font, label->size);
  fl_color(static_cast<Fl_Color>(label->color));
  fl_draw(label->value, x, y, w, h, align, label->image, 0);
}

void MeasurePlainLabel(const Fl_Label* label, int& w, int& h) {
  fl_font(label->font, label->size);
  fl_measure(label->value, w, h, 0);
}

Fl_Color ToFl(uint32_t bgr) {
  const Rgb c = FromBgr(bgr);
  return fl_rgb_color(c.r, c.g, c.b);
}

// The window the single-instance listener asks to raise; touched on the main thread only.
Fl_Window* g_form_window = nullptr;

void RaiseOnMainThread(void*) {
  if (g_form_window && g_form_window->shown()) g_form_window->show();
}

// A button's face: a transparent label over its shape that takes the button's clicks.
// A press counts when it is released over the label, as a click does on Windows.
class ClickLabel : public Fl_Box {
 public:
  ClickLabel() : Fl_Box(FL_NO_BOX, 0, 0, 0, 0, nullptr) {}
  int handle(int event) override {
    if (event == FL_PUSH) return 1;
    if (event == FL_RELEASE) {
      if (Fl::event_inside(this)) do_callback();
      return 1;
    }
    return Fl_Box::handle(event);
  }
};

// Asks the window manager for a title bar with a close button only.
void RemoveMinimiseAndMaximise(Fl_Window* window) {
  struct {
    unsigned long flags, functions, decorations;
    long input_mode;
    unsigned long status;
  } hints = {1 | 2, 4 | 32, 2 | 8 | 16, 0, 0};  // move and close; border, title and menu
  const Atom atom = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(fl_display, fl_xid(window), atom, atom, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&hints), 5);
}

class FltkFace : public Face {
 public:
  explicit FltkFace(const WindowHooks* hooks) : hooks_(hooks) {
    float h = 96, v = 96;
    Fl::screen_dpi(h, v);
    ppi_ = PixelsPerInch(v);
    icon_ = std::make_unique<Fl_RGB_Image>(&icon_pixmap_, FL_WHITE);
    Fl_Window::default_icon(icon_.get());
  }
  ~FltkFace() override {
    if (g_form_window == window_.get()) g_form_window = nullptr;
  }

  int MessageBox(const std::string& text, const std::string& title, int style) override;
  int Run(App& app) override;

 private:
  struct Binding {
    Control* control;
    Fl_Widget* widget;
  };

  template <typename W>
  W* Bind(Control& control, W* widget) {
    bindings_.push_back({&control, widget});
    widget->labeltype(kPlainLabel);
    return widget;
  }
  void Build();
  void Act(Outcome outcome);
  void Sync();
  void ShowCentred();
  PixelRect Rect(const Control& c) const {
    return TwipsRectToPixels(c.left, c.top, c.width, c.height, ppi_);
  }
  int FontPixels(const Control& c) const { return PointsToPixels(c.font.size, ppi_); }

  const WindowHooks* hooks_;
  App* app_ = nullptr;
  double ppi_ = 96;
  bool running_ = false;
  bool placed_ = false;
  Outcome last_ = Outcome::kRunning;
  Fl_Pixmap icon_pixmap_{kCorvaneIcon};
  std::unique_ptr<Fl_RGB_Image> icon_;
  std::unique_ptr<Fl_Double_Window> window_;
  std::vector<Binding> bindings_;
  std::string caption_;
};

void FltkFace::Build() {
  FMain& f = app_->form;
  window_ = std::make_unique<Fl_Double_Window>(TwipsToPixels(f.client_width, ppi_),
                                               TwipsToPixels(f.client_height, ppi_));
  window_->xclass("corvane");
  window_->size_range(window_->w(), window_->h(), window_->w(), window_->h());
  window_->callback(
      [](Fl_Widget*, void* self) {
        // A form does not close on Escape; only the window's close button closes it.
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
        auto* face = static_cast<FltkFace*>(self);
        face->Act(face->hooks_->close(*face->app_));
      },
      this);

  // Shapes and labels lie under the frames, option buttons and Cancel, as on Windows;
  // each label lies over its shape.
  for (Control* shape : {&f.SHOK, &f.SHNO, &f.SHYES})
    Bind(*shape, new Fl_Box(FL_ROUNDED_BOX, 0, 0, 0, 0, nullptr));
  Fl_Box* message = Bind(f.LBLMSG, new Fl_Box(FL_FLAT_BOX, 0, 0, 0, 0, nullptr));
  // Not clipped: a long home path may take a line more than a Windows root path, and the
  // form has room below the message.
  message->align(FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  const std::pair<Control*, Click> faces[] = {
      {&f.LBLOK, Click::kOk}, {&f.LBLNO, Click::kNo}, {&f.LBLYES, Click::kYes}};
  for (const auto& [control, click] : faces) {
    ClickLabel* label = Bind(*control, new ClickLabel());
    label->align(FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
    // The click travels in the widget's user data; the face is found through the window.
    label->user_data(reinterpret_cast<void*>(static_cast<intptr_t>(click)));
    label->callback([](Fl_Widget* w, void* data) {
      auto* face = static_cast<FltkFace*>(w->window()->user_data());
      const auto which = static_cast<Click>(reinterpret_cast<intptr_t>(data));
      face->Act(face->hooks_->click(*face->app_, which));
    });
  }
  for (Control* frame : {&f.Frame2, &f.Frame1}) {
    Bind(*frame, new Fl_Box(FL_ENGRAVED_BOX, 0, 0, 0, 0, nullptr));
  }
  for (Control* option : {&f.OBESP, &f.OBENG, &f.OBPOR}) {
    auto* button = Bind(*option, new Fl_Round_Button(0, 0, 0, 0));
    button->type(FL_RADIO_BUTTON);
    button->box(FL_FLAT_BOX);
    button->callback(
        [](Fl_Widget* w, void* self) {
          auto* face = static_cast<FltkFace*>(self);
          for (const Binding& b : face->bindings_) {
            if (b.widget == w) face->Act(face->hooks_->select(*face->app_, *b.control));
          }
        },
        this);
  }
  auto* cancel = Bind(f.CBCancel, new Fl_Button(0, 0, 0, 0));
  cancel->align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  cancel->clear_visible_focus();
  cancel->callback(
      [](Fl_Widget*, void* self) {
        auto* face = static_cast<FltkFace*>(self);
        face->Act(face->hooks_->click(*face->app_, Click::kCancel));
      },
      this);
  window_->end();
  g_form_window = window_.get();
}

void FltkFace::Sync() {
  FMain& f = app_->form;
  if (caption_ != f.caption) {
    caption_ = f.caption;
    window_->copy_label(caption_.c_str());
  }
  window_->color(ToFl(f.back_color));
  for (const Binding& b : bindings_) {
    const Control& c = *b.control;
    Fl_Widget* w = b.widget;
    const PixelRect r = Rect(c);
    w->resize(r.x, r.y, r.w, r.h);
    w->labelfont(c.font.bold ? FL_HELVETICA_BOLD : FL_HELVETICA);
    std::string text = LabelText(c.caption);
    if (w->align() & FL_ALIGN_WRAP) {
      fl_font(w->labelfont(), FontPixels(c));
      text = BreakLongWords(text, r.w - 2, [](const std::string& s) {
        return static_cast<int>(fl_width(s.c_str(), static_cast<int>(s.size())) + 0.5);
      });
    }
    if (!w->label() || text != w->label()) w->copy_label(text.c_str());
    w->labelsize(FontPixels(c));
    w->labelcolor(ToFl(c.fore_color));
    switch (c.kind) {
      case ControlKind::kShape:
        w->color(ToFl(c.fill_color));
        break;
      case ControlKind::kOptionButton:
        w->color(ToFl(c.back_color));
        static_cast<Fl_Button*>(w)->value(c.selected ? 1 : 0);
        break;
      default:
        if (!c.transparent) w->color(ToFl(c.back_color));
        break;
    }
    if (c.visible) {
      w->show();
    } else {
      w->hide();
    }
  }
  if (f.loaded && f.visible) {
    if (!window_->shown()) ShowCentred();
  } else if (window_->shown()) {
    window_->hide();
  }
  window_->redraw();
  Fl::flush();
}

void FltkFace::ShowCentred() {
  if (!placed_) {
    int x = 0, y = 0, w = 0, h = 0;
    Fl::screen_work_area(x, y, w, h, 0);
    window_->position(x + (w - window_->w()) / 2, y + (h - window_->h()) / 2);
    placed_ = true;
  }
  window_->show();
  RemoveMinimiseAndMaximise(window_.get());
}

void FltkFace::Act(Outcome outcome) {
  last_ = outcome;
  if (outcome == Outcome::kEnded || outcome == Outcome::kFailed) running_ = false;
  Sync();
}

int FltkFace::Run(App& app) {
  app_ = &app;
  Build();
  running_ = true;
  Act(hooks_->start(app));
  // Waits without a shown window too: a raise request or the window's return wakes it.
  while (running_) Fl::wait(1e20);
  window_->hide();
  Fl::flush();
  return last_ == Outcome::kFailed ? 1 : 0;
}

int FltkFace::MessageBox(const std::string& text, const std::string& title, int style) {
  if (app_ && window_) Sync();
  const bool yes_no = (style & 0xF) == kMbYesNo;
  const std::string caption = title.empty() ? kProgramTitle : title;
  fl_font(FL_HELVETICA, kMessageFontSize);
  const std::string body = BreakLongWords(LabelText(text), 480, [](const std::string& s) {
    return static_cast<int>(fl_width(s.c_str(), static_cast<int>(s.size())) + 0.5);
  });
  int text_w = 360, text_h = 0;
  fl_measure(body.c_str(), text_w, text_h, 0);
  text_w = std::max(text_w, 120);
  text_h = std::max(text_h, 40);
  const int margin = 12, icon = 40, button_w = 80, button_h = 26;
  const int w = margin + icon + margin + text_w + margin;
  const int h = margin + text_h + margin + button_h + margin;

  Fl_Double_Window box(w, h);
  box.copy_label(caption.c_str());
  Fl_Box glyph(FL_THIN_UP_BOX, margin, margin, icon, icon, nullptr);
  glyph.labeltype(kPlainLabel);
  glyph.labelfont(FL_TIMES_BOLD);
  glyph.labelsize(30);
  const bool error = (style & kMbIconError) != 0;
  glyph.label(yes_no ? "?" : (error ? "!" : "i"));
  glyph.labelcolor(error ? FL_RED : FL_BLUE);
  glyph.color(FL_WHITE);
  Fl_Box message(FL_NO_BOX, 2 * margin + icon, margin, text_w, text_h, nullptr);
  message.labeltype(kPlainLabel);
  message.labelfont(FL_HELVETICA);
  message.labelsize(kMessageFontSize);
  message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  message.copy_label(body.c_str());

  int answer = 0;
  struct Choice {
    int id;
    int* answer;
  };
  Choice choices[2] = {{0, &answer}, {0, &answer}};
  const int buttons_y = h - margin - button_h;
  std::vector<std::unique_ptr<Fl_Button>> buttons;
  auto add_button = [&](const char* label, int id, int x, bool is_default) {
    std::unique_ptr<Fl_Button> b;
    if (is_default) {
      b = std::make_unique<Fl_Return_Button>(x, buttons_y, button_w, button_h);
    } else {
      b = std::make_unique<Fl_Button>(x, buttons_y, button_w, button_h);
    }
    b->copy_label(label);
    Choice& choice = choices[buttons.size()];
    choice.id = id;
    b->callback(
        [](Fl_Widget* w, void* data) {
          const Choice* c = static_cast<Choice*>(data);
          *c->answer = c->id;
          w->window()->hide();
        },
        &choice);
    buttons.push_back(std::move(b));
  };
  if (yes_no) {
    add_button("Yes", kIdYes, w / 2 - button_w - margin / 2, true);
    add_button("No", kIdNo, w / 2 + margin / 2, false);
  } else {
    add_button("OK", kIdOk, (w - button_w) / 2, true);
  }
  box.end();
  // Closing an OK box, or Escape on it, answers OK; a Yes/No box needs one of its buttons.
  box.callback(
      [](Fl_Widget* w, void* data) {
        int* result = static_cast<int*>(data);
        if (*result == -1) return;
        *result = kIdOk;
        w->hide();
      },
      &answer);
  if (yes_no) answer = -1;
  box.set_modal();
  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_work_area(sx, sy, sw, sh, 0);
  if (window_ && window_->shown()) {
    box.position(window_->x() + (window_->w() - w) / 2, window_->y() + (window_->h() - h) / 2);
  } else {
    box.position(sx + (sw - w) / 2, sy + (sh - h) / 2);
  }
  box.show();
  while (box.shown()) Fl::wait();
  if (yes_no) return answer == kIdYes ? kIdYes : kIdNo;
  return kIdOk;
}

}  // namespace

}  // namespace corvane

extern "C" __attribute__((visibility("default"))) corvane::Face* corvane_open_window_face_v1(
    const corvane::WindowHooks* hooks) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  fl_open_display(display);
  // Arial, as the form was designed; fontconfig substitutes its metric twin when needed.
  Fl::set_font(FL_HELVETICA, " Arial");
  Fl::set_font(FL_HELVETICA_BOLD, "BArial");
  Fl::set_labeltype(corvane::kPlainLabel, corvane::DrawPlainLabel, corvane::MeasurePlainLabel);
  // Enables Fl::awake from the single-instance listener thread.
  Fl::lock();
  return new corvane::FltkFace(hooks);
}

extern "C" __attribute__((visibility("default"))) void corvane_raise_window_v1() {
  Fl::awake(corvane::RaiseOnMainThread, nullptr);
}
