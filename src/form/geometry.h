// How the window faces turn the form's design (twips, points, 0x00BBGGRR, CR breaks)
// into pixels and label text. Header-only so that the tests need no window toolkit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace corvane {

// 15 twips to a pixel at 96 DPI. Reported DPIs are rounded to quarter steps, and never
// scale the form below its designed size, since screens often report odd values.
inline double PixelsPerInch(double reported_dpi) {
  const double steps = std::round(reported_dpi / 96.0 * 4.0) / 4.0;
  return 96.0 * std::max(1.0, steps);
}

// The scale an X11 desktop asks for, in this order: GDK_SCALE or QT_SCALE_FACTOR (a factor),
// the Xft.dpi resource, the server's DPI. Desktops scaled to 2x report 96 DPI from the
// server and say the scale through the first two. Values that are not positive numbers
// are passed over. Null pointers stand for unset values.
inline double DesktopPixelsPerInch(const char* gdk_scale, const char* qt_scale_factor,
                                   const char* xft_dpi, double server_dpi) {
  auto positive = [](const char* text) {
    if (!text || !*text) return 0.0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return end && *end == '\0' && std::isfinite(value) && value > 0 ? value : 0.0;
  };
  for (const char* factor : {gdk_scale, qt_scale_factor}) {
    if (const double f = positive(factor); f > 0) return PixelsPerInch(96.0 * f);
  }
  if (const double dpi = positive(xft_dpi); dpi > 0) return PixelsPerInch(dpi);
  return PixelsPerInch(server_dpi);
}

inline int TwipsToPixels(int twips, double pixels_per_inch) {
  return static_cast<int>(std::lround(twips * pixels_per_inch / 1440.0));
}

inline int PointsToPixels(int points, double pixels_per_inch) {
  return static_cast<int>(std::lround(points * pixels_per_inch / 72.0));
}

struct PixelRect {
  int x, y, w, h;
};

// Both edges are rounded, so that controls that touch in twips touch in pixels.
inline PixelRect TwipsRectToPixels(int left, int top, int width, int height, double ppi) {
  const int x = TwipsToPixels(left, ppi);
  const int y = TwipsToPixels(top, ppi);
  return {x, y, TwipsToPixels(left + width, ppi) - x, TwipsToPixels(top + height, ppi) - y};
}

struct Rgb {
  uint8_t r, g, b;
};

inline Rgb FromBgr(uint32_t colour) {
  return {static_cast<uint8_t>(colour & 0xFF), static_cast<uint8_t>((colour >> 8) & 0xFF),
          static_cast<uint8_t>((colour >> 16) & 0xFF)};
}

// A caption as FLTK lays it out: a CR, alone or before LF, breaks the line.
inline std::string LabelText(const std::string& caption) {
  std::string text;
  text.reserve(caption.size());
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '\r') {
      text += '\n';
      if (i + 1 < caption.size() && caption[i + 1] == '\n') ++i;
    } else {
      text += caption[i];
    }
  }
  return text;
}

// FLTK wraps at blanks only. A word wider than the label (a long path) is broken where it
// stops fitting, between UTF-8 characters, so that all of it shows. `measure` gives a
// text's width in pixels.
template <typename Measure>
std::string BreakLongWords(const std::string& text, int width, Measure measure) {
  std::string out;
  std::string word;
  auto flush = [&] {
    if (measure(word) > width) {
      std::string line;
      for (size_t i = 0; i < word.size();) {
        const unsigned char lead = static_cast<unsigned char>(word[i]);
        const size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string next = word.substr(i, n);
        if (!line.empty() && measure(line + next) > width) {
          out += line + '\n';
          line.clear();
        }
        line += next;
        i += n;
      }
      word = line;
    }
    out += word;
    word.clear();
  };
  for (char c : text) {
    if (c == ' ' || c == '\n') {
      flush();
      out += c;
    } else {
      word += c;
    }
  }
  flush();
  return out;
}

// The smallest size a message steps down to.
constexpr int kSmallestMessagePoints = 8;

// Lines that fit `width`: a CR or LF breaks the line, blanks wrap it, and a word wider than
// the box (a path) breaks after its last separator ('\\' or '/') that fits, else between
// UTF-8 characters. `measure` gives a text's width in pixels.
template <typename Measure>
std::vector<std::string> WrapLines(const std::string& text, int width, Measure measure) {
  std::vector<std::string> lines;
  auto char_length = [](unsigned char lead) -> size_t {
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  };
  // Splits a word into pieces that fit, each ending at a separator where one fits.
  auto pieces = [&](const std::string& word) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < word.size()) {
      size_t fit = start, separator = std::string::npos;
      for (size_t i = start; i < word.size();) {
        const size_t next = i + char_length(static_cast<unsigned char>(word[i]));
        if (fit > start && measure(word.substr(start, next - start)) > width) break;
        if (word[i] == '\\' || word[i] == '/') separator = next;
        fit = next;
        i = next;
      }
      const size_t end = fit < word.size() && separator != std::string::npos ? separator : fit;
      out.push_back(word.substr(start, end - start));
      start = end;
    }
    return out;
  };
  size_t paragraph_start = 0;
  const std::string plain = LabelText(text);
  while (paragraph_start <= plain.size()) {
    size_t paragraph_end = plain.find('\n', paragraph_start);
    if (paragraph_end == std::string::npos) paragraph_end = plain.size();
    const std::string paragraph = plain.substr(paragraph_start, paragraph_end - paragraph_start);
    std::string line;
    size_t at = 0;
    bool any = false;
    while (at <= paragraph.size()) {
      size_t blank = paragraph.find(' ', at);
      if (blank == std::string::npos) blank = paragraph.size();
      const std::string word = paragraph.substr(at, blank - at);
      const std::string joined = line.empty() && !any ? word : line + " " + word;
      if (measure(joined) <= width) {
        line = joined;
      } else {
        if (any || !line.empty()) lines.push_back(line);
        std::vector<std::string> parts = pieces(word);
        if (parts.empty()) parts.push_back("");
        for (size_t i = 0; i + 1 < parts.size(); ++i) lines.push_back(parts[i]);
        line = parts.back();
      }
      any = true;
      at = blank + 1;
    }
    lines.push_back(line);
    paragraph_start = paragraph_end + 1;
  }
  return lines;
}

struct FittedMessage {
  std::string text;  // lines joined with LF
  int points;        // the font size they fit at
  int pixels;        // that size in pixels
};

// A message laid out inside its label's box: at the designed size when it fits, else a
// point smaller each time, down to kSmallestMessagePoints, so that no line runs under the
// buttons below the box or past its sides. `measure(text, pixels)` gives a text's width
// and `line_height(pixels)` a line's height at a font of that many pixels.
template <typename Measure, typename LineHeight>
FittedMessage FitMessage(const std::string& caption, int width, int height, int points,
                         double pixels_per_inch, Measure measure, LineHeight line_height) {
  FittedMessage fitted;
  for (int size = points;; --size) {
    const int pixels = PointsToPixels(size, pixels_per_inch);
    const std::vector<std::string> lines =
        WrapLines(caption, width, [&](const std::string& s) { return measure(s, pixels); });
    fitted = {"", size, pixels};
    for (size_t i = 0; i < lines.size(); ++i) fitted.text += (i ? "\n" : "") + lines[i];
    const int lines_height = static_cast<int>(lines.size()) * line_height(pixels);
    if (lines_height <= height || size <= std::min(points, kSmallestMessagePoints)) break;
  }
  return fitted;
}

}  // namespace corvane
