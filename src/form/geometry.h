// How the window faces turn the form's design (twips, points, 0x00BBGGRR, CR breaks)
// into pixels and label text. Header-only so that the tests need no window toolkit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace corvane {

// 15 twips to a pixel at 96 DPI. Reported DPIs are rounded to quarter steps, and never
// scale the form below its designed size, since screens often report odd values.
inline double PixelsPerInch(double reported_dpi) {
  const double steps = std::round(reported_dpi / 96.0 * 4.0) / 4.0;
  return 96.0 * std::max(1.0, steps);
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

}  // namespace corvane
