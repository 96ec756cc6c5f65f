// Twips become pixels at the screen's DPI. Labels are drawn last, transparent, so that the
// button captions sit on their coloured shapes. Each BUTTON window paints the whole form
// clipped to its place, so the form looks as one drawing, and adds the focus mark. The
// form's keys go to its keyboard rules, not to the dialog manager, so that they act as in
// the Linux window. The message is laid out to fit its label's box, as in the Linux window,
// and Ctrl+C or the context menu copies it.
#include "faces/win32/window_face.h"

#include <algorithm>
#include <optional>
#include <string>

#include "app/dispatch.h"
#include "form/app.h"
#include "form/geometry.h"
#include "form/texts.h"
#include "platform/win32/ansi.h"

namespace corvane {

namespace {

// No min/max boxes; the BUTTON windows paint their own places.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

COLORREF Colour(uint32_t bgr) { return static_cast<COLORREF>(bgr & 0xFFFFFF); }

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* face = reinterpret_cast<Win32WindowFace*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!face) return ::DefWindowProcA(window, message, wparam, lparam);
  return face->Handle(window, message, wparam, lparam);
}

HFONT MakeFont(const Font& font, int pixels) {
  return ::CreateFontA(-pixels, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH, Utf8ToAnsi(font.name).c_str());
}

// The message as it fits its box at this DPI. Every button window paints the whole form, so
// the last layout is kept and reused while caption, font, size and DPI stay the same.
FittedMessage FitMessageOnDc(HDC dc, const Control& c, int width, int height, int dpi) {
  struct Layout {
    std::string caption, font;
    int points = 0, bold = 0, width = 0, height = 0, dpi = 0;
    FittedMessage fitted;
  };
  static Layout last;
  if (last.caption == c.caption && last.font == c.font.name && last.points == c.font.size &&
      last.bold == c.font.bold && last.width == width && last.height == height && last.dpi == dpi) {
    return last.fitted;
  }
  HFONT font = nullptr;
  int font_pixels = 0;
  const HGDIOBJ old = ::GetCurrentObject(dc, OBJ_FONT);
  auto select = [&](int pixels) {
    if (font && font_pixels == pixels) return;
    const HFONT next = MakeFont(c.font, pixels);
    ::SelectObject(dc, next);
    if (font) ::DeleteObject(font);
    font = next;
    font_pixels = pixels;
  };
  const FittedMessage fitted = FitMessage(
      c.caption, width, height, c.font.size, dpi,
      [&](const std::string& text, int pixels) {
        select(pixels);
        const std::string ansi = Utf8ToAnsi(text);
        SIZE size{};
        ::GetTextExtentPoint32A(dc, ansi.c_str(), static_cast<int>(ansi.size()), &size);
        return static_cast<int>(size.cx);
      },
      [&](int pixels) {
        select(pixels);
        TEXTMETRICA metrics{};
        ::GetTextMetricsA(dc, &metrics);
        return static_cast<int>(metrics.tmHeight);
      });
  ::SelectObject(dc, old);
  if (font) ::DeleteObject(font);
  last = {c.caption, c.font.name, c.font.size, c.font.bold, width, height, dpi, fitted};
  return fitted;
}

// Puts the form's message on the clipboard, with its line breaks, in the ANSI code page as
// every text of the form goes to Windows (the system offers it as Unicode too).
void CopyMessage(HWND owner, const Control& message) {
  if (!message.visible || message.caption.empty()) return;
  std::string text;
  for (size_t i = 0; i < message.caption.size(); ++i) {
    text += message.caption[i];
    if (message.caption[i] == '\r' &&
        (i + 1 == message.caption.size() || message.caption[i + 1] != '\n')) {
      text += '\n';
    }
  }
  text = Utf8ToAnsi(text);
  const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!memory) return;
  if (char* bytes = static_cast<char*>(::GlobalLock(memory))) {
    std::copy(text.begin(), text.end(), bytes);
    bytes[text.size()] = '\0';
    ::GlobalUnlock(memory);
  }
  if (!::OpenClipboard(owner)) {
    ::GlobalFree(memory);
    return;
  }
  ::EmptyClipboard();
  if (!::SetClipboardData(CF_TEXT, memory)) ::GlobalFree(memory);
  ::CloseClipboard();
}

// Ctrl+C, and Ctrl+Insert, the two copy keys of Windows.
bool IsCopyKey(WPARAM virtual_key) {
  return ::GetKeyState(VK_CONTROL) < 0 && ::GetKeyState(VK_MENU) >= 0 &&
         ::GetKeyState(VK_SHIFT) >= 0 && (virtual_key == 'C' || virtual_key == VK_INSERT);
}

// LBLMSG breaks its lines at CR; Windows breaks them at CR LF.
std::string WithLineBreaks(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    out += caption[i];
    if (caption[i] == '\r' && (i + 1 == caption.size() || caption[i + 1] != '\n')) out += '\n';
  }
  return out;
}

std::optional<Key> FormKey(WPARAM virtual_key) {
  if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return std::nullopt;
  switch (virtual_key) {
    case VK_TAB:
      return ::GetKeyState(VK_SHIFT) < 0 ? Key::kBackTab : Key::kTab;
    case VK_UP:
      return Key::kUp;
    case VK_DOWN:
      return Key::kDown;
    case VK_SPACE:
      return Key::kSpace;
    case VK_RETURN:
      return Key::kEnter;
    case VK_ESCAPE:
      return Key::kEscape;
    default:
      return std::nullopt;
  }
}

}  // namespace

int Win32WindowFace::Pixels(int twips, bool horizontal) const {
  return TwipsToPixels(twips, horizontal ? dpi_x_ : dpi_y_);
}

int Win32WindowFace::MessageBox(const std::string& text, const std::string& title, int style) {
  HWND owner = window_ && ::IsWindowVisible(window_) ? window_ : nullptr;
  return OwnedMessageBox(owner, text, title, style);
}

void Win32WindowFace::Paint(HDC dc) {
  const FMain& f = app_->form;
  RECT client{};
  ::GetClientRect(window_, &client);
  const HBRUSH back = ::CreateSolidBrush(Colour(f.back_color));
  ::FillRect(dc, &client, back);
  ::DeleteObject(back);
  if (!f.loaded) return;
  ::SetBkMode(dc, TRANSPARENT);

  auto rect_of = [&](const Control& c) {
    return RECT{Pixels(c.left, true), Pixels(c.top, false), Pixels(c.left + c.width, true),
                Pixels(c.top + c.height, false)};
  };
  // Captions are never mnemonics: an "&" in a path shows as itself.
  auto draw_text = [&](const Control& c, RECT r, UINT format) {
    std::string caption = c.caption;
    int pixels = PointsToPixels(c.font.size, dpi_y_);
    if (&c == &f.LBLMSG) {
      const FittedMessage fitted =
          FitMessageOnDc(dc, c, r.right - r.left, r.bottom - r.top, dpi_y_);
      caption.clear();
      for (char ch : fitted.text) caption += ch == '\n' ? '\r' : ch;
      pixels = fitted.pixels;
      format &= ~static_cast<UINT>(DT_WORDBREAK);
    }
    const HFONT font = MakeFont(c.font, pixels);
    const HGDIOBJ old = ::SelectObject(dc, font);
    ::SetTextColor(dc, Colour(c.fore_color));
    const std::string text = Utf8ToAnsi(WithLineBreaks(caption));
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_NOPREFIX);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
  };
  std::vector<const Control*> controls;
  for (Control* c : app_->form.Controls()) controls.push_back(c);
  const ControlKind order[] = {ControlKind::kFrame, ControlKind::kShape,
                               ControlKind::kCommandButton, ControlKind::kOptionButton,
                               ControlKind::kLabel};
  for (ControlKind kind : order) {
    for (const Control* c : controls) {
      if (c->kind != kind || !c->visible) continue;
      RECT r = rect_of(*c);
      switch (kind) {
        case ControlKind::kFrame: {
          const HBRUSH brush = ::CreateSolidBrush(Colour(c->back_color));
          ::FillRect(dc, &r, brush);
          ::DeleteObject(brush);
          ::DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
          break;
        }
        case ControlKind::kShape: {
          const HBRUSH brush = ::CreateSolidBrush(Colour(c->fill_color));
          const HPEN pen = ::CreatePen(PS_SOLID, 1, Colour(c->fill_color));
          const HGDIOBJ old_brush = ::SelectObject(dc, brush);
          const HGDIOBJ old_pen = ::SelectObject(dc, pen);
          const int corner = c->rounded ? (r.bottom - r.top) / 2 : 0;
          ::RoundRect(dc, r.left, r.top, r.right, r.bottom, corner, corner);
          ::SelectObject(dc, old_brush);
          ::SelectObject(dc, old_pen);
          ::DeleteObject(brush);
          ::DeleteObject(pen);
          break;
        }
        case ControlKind::kCommandButton:
          ::DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH);
          draw_text(*c, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
          break;
        case ControlKind::kOptionButton: {
          const HBRUSH brush = ::CreateSolidBrush(Colour(c->back_color));
          ::FillRect(dc, &r, brush);
          ::DeleteObject(brush);
          const int box = Pixels(180, false);
          RECT mark{r.left + 2, (r.top + r.bottom - box) / 2, r.left + 2 + box,
                    (r.top + r.bottom + box) / 2};
          ::DrawFrameControl(dc, &mark, DFC_BUTTON,
                             DFCS_BUTTONRADIO | (c->selected ? DFCS_CHECKED : 0));
          RECT text = r;
          text.left = mark.right + 4;
          draw_text(*c, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
          break;
        }
        case ControlKind::kLabel: {
          if (!c->transparent) {
            const HBRUSH brush = ::CreateSolidBrush(Colour(c->back_color));
            ::FillRect(dc, &r, brush);
            ::DeleteObject(brush);
          }
          draw_text(*c, r, (c->centred ? DT_CENTER : DT_LEFT) | DT_WORDBREAK);
          break;
        }
        default:
          break;
      }
    }
  }
}

void Win32WindowFace::MakeChildren() {
  FMain& f = app_->form;
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  int id = 1;
  for (Control* c : {&f.OBESP, &f.OBENG, &f.OBPOR, &f.LBLOK, &f.LBLNO, &f.LBLYES, &f.CBCancel}) {
    const HWND child = ::CreateWindowExA(
        0, "BUTTON", Utf8ToAnsi(c->caption).c_str(), WS_CHILD | WS_TABSTOP | BS_OWNERDRAW, 0, 0, 0,
        0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
    children_.push_back({c, child});
  }
  PlaceChildren();
}

// Each button window covers its control at the current DPI.
void Win32WindowFace::PlaceChildren() {
  for (const Child& child : children_) {
    const Control& c = *child.control;
    ::MoveWindow(child.window, Pixels(c.left, true), Pixels(c.top, false),
                 Pixels(c.left + c.width, true) - Pixels(c.left, true),
                 Pixels(c.top + c.height, false) - Pixels(c.top, false), FALSE);
  }
}

const Control* Win32WindowFace::ControlOf(HWND window) const {
  for (const Child& child : children_) {
    if (window && child.window == window) return child.control;
  }
  return nullptr;
}

HWND Win32WindowFace::WindowOf(const Control* control) const {
  for (const Child& child : children_) {
    if (control && child.control == control) return child.window;
  }
  return nullptr;
}

void Win32WindowFace::DrawChild(const DRAWITEMSTRUCT* item) {
  const Control* c = ControlOf(item->hwndItem);
  if (!c) return;
  // The form's drawing, moved so that this window's place is at its origin.
  RECT place{};
  ::GetWindowRect(item->hwndItem, &place);
  ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
  POINT old_origin{};
  ::SetViewportOrgEx(item->hDC, -place.left, -place.top, &old_origin);
  Paint(item->hDC);
  ::SetViewportOrgEx(item->hDC, old_origin.x, old_origin.y, nullptr);
  if ((item->itemState & ODS_FOCUS) && !(item->itemState & ODS_NOFOCUSRECT)) {
    RECT mark = item->rcItem;
    // A button's face: inside its shape's rounded ends.
    const int inset = c->kind == ControlKind::kLabel ? (mark.bottom - mark.top) / 4 : 1;
    ::InflateRect(&mark, -inset, -2);
    ::SetTextColor(item->hDC, RGB(0, 0, 0));
    ::SetBkColor(item->hDC, RGB(255, 255, 255));
    ::DrawFocusRect(item->hDC, &mark);
  }
}

bool Win32WindowFace::Type(WPARAM virtual_key, LPARAM lparam) {
  const HWND window = window_;
  if (IsCopyKey(virtual_key)) {
    CopyMessage(window, app_->form.LBLMSG);
    return true;
  }
  const std::optional<Key> key = FormKey(virtual_key);
  if (!key) return false;
  // Keys show the focus marks, as the dialog manager shows them once a key is used.
  ::SendMessageA(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  const Control* focus = ControlOf(::GetFocus());
  const KeyAction action = OnKey(app_->form, focus, *key);
  if (action.focus != focus) {
    if (const HWND child = WindowOf(action.focus)) ::SetFocus(child);
  }
  // A held key presses once, as a held mouse button clicks once.
  const bool repeated = (lparam & (LPARAM{1} << 30)) != 0;
  if (action.press && !repeated) Press(action.press);
  return true;
}

void Win32WindowFace::Press(const Control* control) {
  FMain& f = app_->form;
  Outcome outcome = Outcome::kIgnored;
  if (control == &f.LBLOK) {
    outcome = DispatchClick(*app_, Click::kOk);
  } else if (control == &f.LBLYES) {
    outcome = DispatchClick(*app_, Click::kYes);
  } else if (control == &f.LBLNO) {
    outcome = DispatchClick(*app_, Click::kNo);
  } else if (control == &f.CBCancel) {
    outcome = DispatchClick(*app_, Click::kCancel);
  } else {
    for (Control* option : {&f.OBESP, &f.OBENG, &f.OBPOR}) {
      if (control == option) outcome = SelectOption(*app_, *option);
    }
  }
  Follow(outcome);
}

void Win32WindowFace::PlaceFocus() {
  const FMain& f = app_->form;
  const Control* focus = FocusAfterHandler(f, ControlOf(::GetFocus()), focus_stage_);
  focus_stage_ = f.LBLSTAGE.caption;
  if (const HWND child = WindowOf(focus)) ::SetFocus(child);
}

void Win32WindowFace::Follow(Outcome outcome) {
  const HWND window = window_;
  if (outcome == Outcome::kEnded || outcome == Outcome::kFailed || !app_->form.loaded) {
    failed_ = failed_ || outcome == Outcome::kFailed;
    if (!ended_) {
      ended_ = true;
      ::ShowWindow(window, SW_HIDE);
      ::PostQuitMessage(failed_ ? 1 : 0);
    }
    return;
  }
  ::SetWindowTextA(window, Utf8ToAnsi(app_->form.caption).c_str());
  // A control takes clicks and the focus exactly while the keyboard rules list it.
  const std::vector<const Control*> order = FocusOrder(app_->form);
  for (const Child& child : children_) {
    const HWND button = child.window;
    ::SetWindowTextA(button, Utf8ToAnsi(child.control->caption).c_str());
    const bool takes = std::find(order.begin(), order.end(), child.control) != order.end();
    ::ShowWindow(button, takes ? SW_SHOWNA : SW_HIDE);
  }
  ::ShowWindow(window, app_->form.visible ? SW_SHOW : SW_HIDE);
  PlaceFocus();
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT Win32WindowFace::Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = ::BeginPaint(window, &ps);
      if (app_) Paint(dc);
      ::EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_DRAWITEM:
      if (app_) DrawChild(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_COMMAND:
      // A click on a BUTTON window; a double click is a second click, as on the form.
      if (app_ && !ended_ && lparam &&
          (HIWORD(wparam) == BN_CLICKED || HIWORD(wparam) == BN_DOUBLECLICKED)) {
        Press(ControlOf(reinterpret_cast<HWND>(lparam)));
      }
      return 0;
    case WM_CLOSE:
      if (app_ && !ended_) Follow(CloseWindow(*app_));
      return 0;
    case WM_CONTEXTMENU: {
      // Over the message (or from the keyboard's menu key): a menu that copies it.
      if (!app_ || ended_ || !app_->form.LBLMSG.visible || app_->form.LBLMSG.caption.empty()) {
        return 0;
      }
      POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      const Control& m = app_->form.LBLMSG;
      RECT box{Pixels(m.left, true), Pixels(m.top, false), Pixels(m.left + m.width, true),
               Pixels(m.top + m.height, false)};
      if (at.x == -1 && at.y == -1) {
        at = {box.left, box.top};
        ::ClientToScreen(window, &at);
      } else {
        POINT inside = at;
        ::ScreenToClient(window, &inside);
        if (!::PtInRect(&box, inside)) return 0;
      }
      const HMENU menu = ::CreatePopupMenu();
      const std::string label = Utf8ToAnsi(CopyCommandText(app_->form.LBLIDIOMA.caption));
      ::AppendMenuA(menu, MF_STRING, 1, label.c_str());
      const int chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                          at.x, at.y, 0, window, nullptr);
      ::DestroyMenu(menu);
      if (chosen == 1) CopyMessage(window, m);
      return 0;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another scale, or the scale changed: twips, fonts and the
      // frame follow the new DPI, as they follow the DPI at start.
      dpi_x_ = LOWORD(wparam);
      dpi_y_ = HIWORD(wparam);
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      PlaceChildren();
      ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      return 0;
    }
    default:
      return ::DefWindowProcA(window, message, wparam, lparam);
  }
}

int Win32WindowFace::Run(App& app) {
  app_ = &app;
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSA form_class{};
  form_class.lpfnWndProc = FormProc;
  form_class.hInstance = instance;
  form_class.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  form_class.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(1));
  form_class.lpszClassName = kFormWindowClass;
  ::RegisterClassA(&form_class);

  const HDC screen = ::GetDC(nullptr);
  dpi_x_ = ::GetDeviceCaps(screen, LOGPIXELSX);
  dpi_y_ = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);

  const FMain& f = app.form;
  RECT frame{0, 0, Pixels(f.client_width, true), Pixels(f.client_height, false)};
  ::AdjustWindowRect(&frame, kFormStyle, FALSE);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  window_ = ::CreateWindowExA(0, kFormWindowClass, Utf8ToAnsi(f.caption).c_str(), kFormStyle, left,
                              top, width, height, static_cast<HWND>(desktop_.ApplicationWindow()),
                              nullptr, instance, this);
  if (!window_) return 1;
  MakeChildren();

  Follow(StartProgram(app));
  MSG message;
  while (!ended_ && ::GetMessageA(&message, nullptr, 0, 0) > 0) {
    const HWND form = window_;
    if (message.message == WM_KEYDOWN && (message.hwnd == form || ::IsChild(form, message.hwnd)) &&
        Type(message.wParam, message.lParam)) {
      continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  ::DestroyWindow(window_);
  window_ = nullptr;
  return failed_ ? 1 : 0;
}

}  // namespace corvane
