// The form in an FLTK 1.3 window on X11, built as libcorvane-window.so. It draws the
// model, forwards clicks of visible controls and keys as the clicks they stand for, and
// redraws after each handler and before each message box. It cannot hide the form in the
// middle of a handler's work, the minimise button goes only where the window manager
// honours Motif hints, and FLTK 1.3 has no bridge to screen readers.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "faces/fltk/corvane_icon.xpm"
#include "faces/fltk/window_module.h"
#include "form/app.h"
#include "form/focus.h"
#include "form/geometry.h"
#include "form/layout.h"
#include "platform/desktop.h"

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

// The key FLTK reports, as the form's keyboard rules name it; none for other keys and for
// keys held with Ctrl, Alt or Meta.
std::optional<Key> FormKey() {
  if (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) return std::nullopt;
  const bool shift = (Fl::event_state() & FL_SHIFT) != 0;
  switch (Fl::event_key()) {
    case FL_Tab:
    case 0xfe20:  // ISO_Left_Tab: Shift+Tab on most keyboard maps
      return shift || Fl::event_key() != FL_Tab ? Key::kBackTab : Key::kTab;
    case FL_Up:
      return Key::kUp;
    case FL_Down:
      return Key::kDown;
    case ' ':
      return Key::kSpace;
    case FL_Enter:
    case FL_KP_Enter:
      return Key::kEnter;
    case FL_Escape:
      return Key::kEscape;
    default:
      return std::nullopt;
  }
}

// Ctrl+C, and Ctrl+Insert as on Windows.
bool IsCopyKey() {
  const int state = Fl::event_state() & (FL_CTRL | FL_ALT | FL_META | FL_SHIFT);
  return state == FL_CTRL && (Fl::event_key() == 'c' || Fl::event_key() == FL_Insert);
}

// Puts `text` on the clipboard and in the primary selection, as text editors do.
void Copy(const std::string& text) {
  Fl::copy(text.c_str(), static_cast<int>(text.size()), 0);
  Fl::copy(text.c_str(), static_cast<int>(text.size()), 1);
}

// Offers a menu with the one command `label`, in a font of `size` pixels, at the pointer;
// true when it was chosen.
bool CopyMenuChosen(const std::string& label, int size) {
  const Fl_Menu_Item items[] = {{label.c_str(), 0, nullptr, nullptr, 0, FL_NORMAL_LABEL,
                                 FL_HELVETICA, static_cast<Fl_Fontsize>(size), FL_BLACK},
                                {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0}};
  return items[0].popup(Fl::event_x(), Fl::event_y()) == &items[0];
}

// FLTK reads its options once, from its preference files, and writes the user's file
// (~/.fltk/fltk.org/fltk.prefs) back when it is missing. They are read here, before any
// widget asks, with the home folder pointing where no folder can be made, so that the
// program leaves no file of the toolkit's behind; the defaults are what the form expects.
void ReadToolkitOptionsWritingNothing() {
  const char* names[] = {"HOME", "XDG_CONFIG_HOME"};
  std::optional<std::string> saved[2];
  for (int i = 0; i < 2; ++i) {
    if (const char* value = std::getenv(names[i])) saved[i] = value;
    setenv(names[i], "/dev/null", 1);
  }
  Fl::option(Fl::OPTION_ARROW_FOCUS);
  for (int i = 0; i < 2; ++i) {
    if (saved[i]) {
      setenv(names[i], saved[i]->c_str(), 1);
    } else {
      unsetenv(names[i]);
    }
  }
}

void RaiseOnMainThread(void*) {
  if (g_form_window && g_form_window->shown()) g_form_window->show();
}

// A button's face: a transparent label over its shape that takes the button's clicks and,
// like a button, the focus. A press counts when it is released over the label, as a click
// does on Windows.
class ClickLabel : public Fl_Box {
 public:
  ClickLabel() : Fl_Box(FL_NO_BOX, 0, 0, 0, 0, nullptr) {}
  int handle(int event) override {
    if (event == FL_PUSH) {
      Fl::focus(this);
      return 1;
    }
    if (event == FL_RELEASE) {
      if (Fl::event_inside(this)) do_callback();
      return 1;
    }
    if (event == FL_FOCUS || event == FL_UNFOCUS) {
      redraw();
      return 1;
    }
    return Fl_Box::handle(event);
  }
  void draw() override {
    Fl_Box::draw();
    // Inside the shape's rounded ends, in the colour that stands out from its fill.
    const int inset = h() / 4;
    if (Fl::focus() == this) draw_focus(FL_NO_BOX, x() + inset, y() + 2, w() - 2 * inset, h() - 4);
  }
};

// The message label: a right click offers to copy its text.
class MessageLabel : public Fl_Box {
 public:
  MessageLabel() : Fl_Box(FL_FLAT_BOX, 0, 0, 0, 0, nullptr) {}
  std::function<void()> on_menu;
  int handle(int event) override {
    if (event == FL_PUSH && Fl::event_button() == FL_RIGHT_MOUSE && on_menu) {
      on_menu();
      return 1;
    }
    return Fl_Box::handle(event);
  }
};

// A message box's button: Enter presses it, as Space does, when it has the focus, so that
// Enter answers with the button whose focus mark shows.
class BoxButton : public Fl_Button {
 public:
  BoxButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) {}
  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      do_callback();
      return 1;
    }
    return Fl_Button::handle(event);
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

class FltkFace;
FltkFace* g_face = nullptr;  // the face whose form takes the keys

class FltkFace : public Face {
 public:
  explicit FltkFace(const WindowHooks* hooks) : hooks_(hooks) {
    float h = 96, v = 96;
    Fl::screen_dpi(h, v);
    ppi_ = DesktopPixelsPerInch(std::getenv("GDK_SCALE"), std::getenv("QT_SCALE_FACTOR"),
                                XGetDefault(fl_display, "Xft", "dpi"), v);
    icon_ = std::make_unique<Fl_RGB_Image>(&icon_pixmap_, FL_WHITE);
    Fl_Window::default_icon(icon_.get());
  }
  ~FltkFace() override {
    if (g_form_window == window_.get()) g_form_window = nullptr;
    if (g_face == this) g_face = nullptr;
  }

  int MessageBox(const std::string& text, const std::string& title, int style) override;
  int Run(App& app) override;
  // A key on the form: moves the focus, and unless `repeated` presses what it presses, as a
  // click would.
  void Type(Key key, bool repeated);
  // Puts the message's text on the clipboard, as the screen shows it (its line breaks).
  void CopyMessage();

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
  // Message boxes are laid out in pixels at 96 DPI and scaled as the form is.
  int Scaled(int pixels) const { return static_cast<int>(std::lround(pixels * ppi_ / 96.0)); }
  const Control* ControlOf(const Fl_Widget* widget) const;
  Fl_Widget* WidgetOf(const Control* control) const;
  void PlaceFocus();

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
  std::string focus_stage_;  // the stage the focus was placed for
};

// Keys on the form go to its keyboard rules before any widget sees them, so that FLTK's own
// navigation never moves the focus another way; message boxes keep FLTK's.
// A key pressed again without being let go is the keyboard's repeat (FLTK asks X for
// detectable repeat, so no release comes between): it moves the focus but presses nothing,
// as a held mouse button clicks once.
int g_held_key = 0;
// The text of the message box that shows, which Ctrl+C copies as in the system's boxes.
const std::string* g_box_text = nullptr;

int DispatchEvent(int event, Fl_Window* window) {
  if (event == FL_KEYUP || event == FL_FOCUS || event == FL_UNFOCUS) g_held_key = 0;
  if (event == FL_KEYBOARD && g_face && window && window == g_form_window && !Fl::modal() &&
      IsCopyKey()) {
    g_face->CopyMessage();
    return 1;
  }
  if (event == FL_KEYBOARD && Fl::modal() && g_box_text && IsCopyKey()) {
    Copy(*g_box_text);
    return 1;
  }
  if (event == FL_KEYBOARD && g_face && window && window == g_form_window && !Fl::modal()) {
    if (const std::optional<Key> key = FormKey()) {
      const bool repeated = Fl::event_key() == g_held_key;
      g_held_key = Fl::event_key();
      g_face->Type(*key, repeated);
      return 1;
    }
  }
  return Fl::handle_(event, window);
}

const Control* FltkFace::ControlOf(const Fl_Widget* widget) const {
  for (const Binding& b : bindings_) {
    if (widget && b.widget == widget) return b.control;
  }
  return nullptr;
}

Fl_Widget* FltkFace::WidgetOf(const Control* control) const {
  for (const Binding& b : bindings_) {
    if (control && b.control == control) return b.widget;
  }
  return nullptr;
}

void FltkFace::Type(Key key, bool repeated) {
  const Control* focus = ControlOf(Fl::focus());
  const KeyAction action = hooks_->key(app_->form, focus, key);
  if (action.focus != focus) {
    if (Fl_Widget* widget = WidgetOf(action.focus)) Fl::focus(widget);
    window_->redraw();
  }
  // The widget's own callback: exactly what a click on it does.
  if (Fl_Widget* pressed = WidgetOf(action.press); pressed && !repeated) pressed->do_callback();
}

void FltkFace::CopyMessage() {
  const Control& message = app_->form.LBLMSG;
  if (message.visible && !message.caption.empty()) Copy(LabelText(message.caption));
}

void FltkFace::PlaceFocus() {
  const FMain& f = app_->form;
  const Control* focus = hooks_->focus_after(f, ControlOf(Fl::focus()), focus_stage_);
  focus_stage_ = f.LBLSTAGE.caption;
  if (Fl_Widget* widget = WidgetOf(focus)) Fl::focus(widget);
}

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
  MessageLabel* message = Bind(f.LBLMSG, new MessageLabel());
  // Laid out by Sync to fit inside the box.
  message->align(FL_ALIGN_TOP | FL_ALIGN_INSIDE);
  message->on_menu = [this] {
    const std::string label = hooks_->copy_command(app_->form.LBLIDIOMA.caption);
    if (CopyMenuChosen(label, Scaled(kMessageFontSize))) CopyMessage();
  };
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
  cancel->callback(
      [](Fl_Widget*, void* self) {
        auto* face = static_cast<FltkFace*>(self);
        face->Act(face->hooks_->click(*face->app_, Click::kCancel));
      },
      this);
  window_->end();
  g_form_window = window_.get();
  g_face = this;
  Fl::event_dispatch(DispatchEvent);
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
    int font_pixels = FontPixels(c);
    if (&c == &f.LBLMSG) {
      const Fl_Font font = w->labelfont();
      const FittedMessage fitted = FitMessage(
          c.caption, r.w - 2, r.h, c.font.size, ppi_,
          [font](const std::string& s, int pixels) {
            fl_font(font, pixels);
            return static_cast<int>(fl_width(s.c_str(), static_cast<int>(s.size())) + 0.5);
          },
          [font](int pixels) {
            fl_font(font, pixels);
            return fl_height();
          });
      text = fitted.text;
      font_pixels = fitted.pixels;
    } else if (w->align() & FL_ALIGN_WRAP) {
      fl_font(w->labelfont(), font_pixels);
      text = BreakLongWords(text, r.w - 2, [](const std::string& s) {
        return static_cast<int>(fl_width(s.c_str(), static_cast<int>(s.size())) + 0.5);
      });
    }
    if (!w->label() || text != w->label()) w->copy_label(text.c_str());
    w->labelsize(font_pixels);
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
        // A label over a shape takes the shape's fill, against which its focus mark shows.
        for (const Binding& under : bindings_) {
          const Control& s = *under.control;
          if (c.transparent && s.kind == ControlKind::kShape && s.left <= c.left &&
              s.top <= c.top && s.left + s.width >= c.left + c.width &&
              s.top + s.height >= c.top + c.height) {
            w->color(ToFl(s.fill_color));
          }
        }
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
  PlaceFocus();
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
  bool yes_no_box = (style & 0xF) == kMbYesNo;
  const bool yes_no = yes_no_box;
  const std::string caption = title.empty() ? kProgramTitle : title;
  // Yes and No speak the wizard's language once it has one (the module reads the form's
  // texts as data: it reaches no code of the core but the hooks).
  const std::vector<std::string> no_texts;
  const std::vector<std::string>& texts = app_ ? app_->form.LBLABELS.items : no_texts;
  const std::string yes = texts.size() > 0 && !texts[0].empty() ? texts[0] : "Yes";
  const std::string no = texts.size() > 1 && !texts[1].empty() ? texts[1] : "No";
  const int font_size = Scaled(kMessageFontSize);
  fl_font(FL_HELVETICA, font_size);
  const std::string body = BreakLongWords(LabelText(text), Scaled(480), [](const std::string& s) {
    return static_cast<int>(fl_width(s.c_str(), static_cast<int>(s.size())) + 0.5);
  });
  int text_w = Scaled(360), text_h = 0;
  fl_measure(body.c_str(), text_w, text_h, 0);
  text_w = std::max(text_w, Scaled(120));
  text_h = std::max(text_h, Scaled(40));
  const int margin = Scaled(12), icon = Scaled(40), button_w = Scaled(80), button_h = Scaled(26);
  const int w = margin + icon + margin + text_w + margin;
  const int h = margin + text_h + margin + button_h + margin;

  Fl_Double_Window box(w, h);
  box.copy_label(caption.c_str());
  Fl_Box glyph(FL_THIN_UP_BOX, margin, margin, icon, icon, nullptr);
  glyph.labeltype(kPlainLabel);
  glyph.labelfont(FL_TIMES_BOLD);
  glyph.labelsize(Scaled(30));
  const bool error = (style & kMbIconError) != 0;
  glyph.label(yes_no ? "?" : (error ? "!" : "i"));
  glyph.labelcolor(error ? FL_RED : FL_BLUE);
  glyph.color(FL_WHITE);
  Fl_Box message(FL_NO_BOX, 2 * margin + icon, margin, text_w, text_h, nullptr);
  message.labeltype(kPlainLabel);
  message.labelfont(FL_HELVETICA);
  message.labelsize(font_size);
  message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  message.copy_label(body.c_str());

  struct Choice {
    int id;
    int* answer;
  };
  // Escape answers No in a Yes/No box and OK in an OK box.
  int answer = yes_no ? kIdNo : kIdOk;
  Choice choices[2] = {{0, &answer}, {0, &answer}};
  const int buttons_y = h - margin - button_h;
  std::vector<std::unique_ptr<BoxButton>> buttons;
  auto add_button = [&](const std::string& label, int id, int x) {
    auto b = std::make_unique<BoxButton>(x, buttons_y, button_w, button_h);
    b->labeltype(kPlainLabel);
    b->labelsize(font_size);
    b->copy_label(label.c_str());
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
    add_button(yes, kIdYes, w / 2 - button_w - margin / 2);
    add_button(no, kIdNo, w / 2 + margin / 2);
  } else {
    add_button("OK", kIdOk, (w - button_w) / 2);
  }
  box.end();
  // Escape, and the close button of an OK box, close the box with its Escape answer; a
  // Yes/No box has no close answer of its own, as on Windows.
  box.callback(
      [](Fl_Widget* w, void* data) {
        const bool escape = Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape;
        if (!escape && *static_cast<bool*>(data)) return;
        w->hide();
      },
      &yes_no_box);
  box.set_modal();
  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_work_area(sx, sy, sw, sh, 0);
  if (window_ && window_->shown()) {
    box.position(window_->x() + (window_->w() - w) / 2, window_->y() + (window_->h() - h) / 2);
  } else {
    box.position(sx + (sw - w) / 2, sy + (sh - h) / 2);
  }
  box.show();
  // The focus starts on the first button, Yes or OK; Tab moves it to the other.
  Fl::focus(buttons.front().get());
  const std::string box_text = LabelText(text);
  g_box_text = &box_text;
  while (box.shown()) Fl::wait();
  g_box_text = nullptr;
  return answer;
}

}  // namespace

}  // namespace corvane

extern "C" __attribute__((visibility("default"))) corvane::Face* corvane_open_window_face_v3(
    const corvane::WindowHooks* hooks) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  fl_open_display(display);
  corvane::ReadToolkitOptionsWritingNothing();
  // Arial, as the form was designed; fontconfig substitutes its metric twin when needed.
  Fl::set_font(FL_HELVETICA, " Arial");
  Fl::set_font(FL_HELVETICA_BOLD, "BArial");
  Fl::set_labeltype(corvane::kPlainLabel, corvane::DrawPlainLabel, corvane::MeasurePlainLabel);
  // Enables Fl::awake from the single-instance listener thread.
  Fl::lock();
  return new corvane::FltkFace(hooks);
}

extern "C" __attribute__((visibility("default"))) void corvane_raise_window_v3() {
  Fl::awake(corvane::RaiseOnMainThread, nullptr);
}
