// The window face's conversions of the form's design, and how the program finds and
// refuses window modules.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "faces/fltk/window_loader.h"
#include "form/geometry.h"
#include "linux/temp_folder.h"
#include "platform/linux/module_loader.h"

namespace corvane {
namespace {

TEST(FormGeometry, FifteenTwipsToAPixelAt96DpiAndScaledAbove) {
  EXPECT_EQ(PixelsPerInch(96), 96);
  EXPECT_EQ(PixelsPerInch(100), 96);   // Xvfb's default: not a real step
  EXPECT_EQ(PixelsPerInch(72), 96);    // never smaller than designed
  EXPECT_EQ(PixelsPerInch(144), 144);  // 150 %
  EXPECT_EQ(PixelsPerInch(190), 192);  // 200 %, as reported by a HiDPI panel
  EXPECT_EQ(TwipsToPixels(7090, 96), 473);
  EXPECT_EQ(TwipsToPixels(3790, 96), 253);
  EXPECT_EQ(TwipsToPixels(7090, 192), 945);
  EXPECT_EQ(PointsToPixels(24, 96), 32);
  EXPECT_EQ(PointsToPixels(16, 144), 32);
}

TEST(FormGeometry, ControlsThatTouchInTwipsTouchInPixels) {
  // SHOK's top edge and LBLOK's, 60 twips apart: neither gap nor overlap after rounding.
  const PixelRect shape = TwipsRectToPixels(2640, 2820, 1870, 730, 96);
  const PixelRect label = TwipsRectToPixels(2640, 2880, 1870, 610, 96);
  EXPECT_EQ(shape.x, 176);
  EXPECT_EQ(shape.x + shape.w, label.x + label.w);
  EXPECT_EQ(label.y - shape.y, 4);
  const PixelRect a = TwipsRectToPixels(0, 0, 1007, 10, 96);
  const PixelRect b = TwipsRectToPixels(1007, 0, 1007, 10, 96);
  EXPECT_EQ(a.x + a.w, b.x);
}

TEST(FormGeometry, ColoursAreBlueGreenRed) {
  const Rgb ok = FromBgr(0x0000C0);
  EXPECT_EQ(ok.r, 0xC0);
  EXPECT_EQ(ok.g, 0);
  EXPECT_EQ(ok.b, 0);
  const Rgb pale = FromBgr(0xC0FFFF);
  EXPECT_EQ(pale.r, 0xFF);
  EXPECT_EQ(pale.g, 0xFF);
  EXPECT_EQ(pale.b, 0xC0);
}

TEST(FormGeometry, CarriageReturnsBreakLines) {
  EXPECT_EQ(LabelText("Please Send File\r\r/home/a.kik\r\rto: x@y"),
            "Please Send File\n\n/home/a.kik\n\nto: x@y");
  EXPECT_EQ(LabelText("one\r\ntwo\r"), "one\ntwo\n");
}

// Ten pixels per byte, as a stand-in for a font.
int TenPerByte(const std::string& s) { return static_cast<int>(s.size()) * 10; }

TEST(FormGeometry, WordsWiderThanTheLabelAreBroken) {
  EXPECT_EQ(BreakLongWords("short words stay\n/home/x", 100, TenPerByte),
            "short words stay\n/home/x");
  EXPECT_EQ(BreakLongWords("a /home/user/Lumbrook.kik b", 100, TenPerByte),
            "a /home/user\n/Lumbrook.\nkik b");
  // Two-byte characters stay whole.
  const std::string broken = BreakLongWords("ããããããã", 50, TenPerByte);
  EXPECT_EQ(broken, "ãã\nãã\nãã\nã");
}

TEST(FormGeometry, TheDesktopScaleComesFromTheToolkitsThenXftThenTheServer) {
  struct Case {
    const char* gdk;
    const char* qt;
    const char* xft;
    double server;
    double ppi;
  };
  for (const Case& c :
       {Case{nullptr, nullptr, nullptr, 96, 96},
        Case{nullptr, nullptr, nullptr, 192, 192},  // Xvfb -dpi 192
        Case{nullptr, nullptr, "192", 96, 192},     // Xft.dpi: 192
        Case{nullptr, nullptr, "144", 96, 144}, Case{nullptr, nullptr, "120", 96, 120},  // 125 %
        Case{"2", nullptr, nullptr, 96, 192}, Case{"2", nullptr, "96", 96, 192},  // GDK_SCALE wins
        Case{nullptr, "1.5", "192", 96, 144},                         // so does QT_SCALE_FACTOR
        Case{"1", "2", nullptr, 96, 96}, Case{"", "", "", 144, 144},  // empty is unset
        Case{"abc", "0", "-5", 96, 96},                               // nonsense is passed over
        Case{"2x", nullptr, "192dpi", 96, 96},
        Case{"0.5", nullptr, nullptr, 192, 96}}) {  // never below designed
    EXPECT_EQ(DesktopPixelsPerInch(c.gdk, c.qt, c.xft, c.server), c.ppi)
        << (c.gdk ? c.gdk : "-") << " " << (c.qt ? c.qt : "-") << " " << (c.xft ? c.xft : "-");
  }
}

// A stand-in font: each byte is half the font's pixel size wide, a line 1.2 times its size.
int HalfSizePerByte(const std::string& s, int pixels) {
  return static_cast<int>(s.size()) * pixels / 2;
}
int LineOf(int pixels) { return pixels * 12 / 10; }

TEST(FormGeometry, MessagesFitTheirBoxSteppingTheFontDown) {
  // LBLMSG at 96 DPI: 457 x 142 pixels, 16 points designed.
  const int width = 457, height = 142;
  const FittedMessage short_one = FitMessage("Please Send File\r\r/home/ana/L.kik\r\rto: x@y",
                                             width, height, 16, 96, HalfSizePerByte, LineOf);
  EXPECT_EQ(short_one.points, 16);
  EXPECT_EQ(short_one.text, "Please Send File\n\n/home/ana/L.kik\n\nto: x@y");

  std::string path = "/home";
  while (path.size() < 200) path += "/folder" + std::to_string(path.size());
  path += "/Lumbrook20261209PC-7.kik";
  path = path.substr(path.size() - 200);
  ASSERT_EQ(path.size(), 200u);
  const FittedMessage fitted = FitMessage("Please Send File\r\r" + path + "\r\rto: x@y", width,
                                          height, 16, 96, HalfSizePerByte, LineOf);
  EXPECT_LT(fitted.points, 16);
  EXPECT_GE(fitted.points, kSmallestMessagePoints);
  EXPECT_EQ(fitted.pixels, PointsToPixels(fitted.points, 96));
  std::vector<std::string> lines;
  std::string line;
  for (char c : fitted.text + "\n") {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  EXPECT_LE(static_cast<int>(lines.size()) * LineOf(fitted.pixels), height);
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(HalfSizePerByte(lines[i], fitted.pixels), width) << lines[i];
    if (i >= 2 && i + 3 < lines.size()) {
      EXPECT_EQ(lines[i].back(), '/') << "a path line ends at a separator: " << lines[i];
    }
    if (i >= 2 && i + 2 < lines.size()) joined += lines[i];
  }
  EXPECT_EQ(joined, path) << "nothing of the path is lost";
  EXPECT_EQ(lines.back(), "to: x@y");  // the address line is the last one in the box
  // One point bigger would not have fitted.
  const int bigger = PointsToPixels(fitted.points + 1, 96);
  const std::vector<std::string> bigger_lines =
      WrapLines("Please Send File\r\r" + path + "\r\rto: x@y", width,
                [&](const std::string& s) { return HalfSizePerByte(s, bigger); });
  EXPECT_GT(static_cast<int>(bigger_lines.size()) * LineOf(bigger), height);

  // A text too long for any size stops at the smallest one.
  EXPECT_EQ(
      FitMessage(std::string(5000, 'x'), width, height, 16, 96, HalfSizePerByte, LineOf).points,
      kSmallestMessagePoints);
}

// One place, never two: an installed copy's library folder, else the program's own folder,
// so that a module planted in a parent folder is not found.
TEST(WindowLoader, LooksInTheInstalledLayoutOrBesideTheBinaryNeverBoth) {
  test::TempFolder root;
  std::filesystem::create_directories(root / "bin");
  EXPECT_EQ(WindowModuleCandidates(root / "bin"),
            (std::vector<std::string>{root / "bin/libcorvane-window.so"}));
  std::filesystem::create_directories(root / "lib/corvane");
  EXPECT_EQ(WindowModuleCandidates(root / "bin"),
            (std::vector<std::string>{root / "bin/../lib/corvane/libcorvane-window.so"}));
  std::filesystem::create_directories(root / "tools");
  EXPECT_EQ(WindowModuleCandidates(root / "tools"),
            (std::vector<std::string>{root / "tools/libcorvane-window.so"}));
  EXPECT_EQ(WindowModuleCandidates("/")[0], "/libcorvane-window.so");
}

// As ssh takes a key file: the file and every folder above it belong to root or this user
// and no one else may write them; a sticky folder (/tmp) lets no one replace our entries.
TEST(WindowLoader, TrustsOnlyWhatNoOtherUserCouldHavePutThere) {
  test::TempFolder root;
  ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0);
  std::filesystem::create_directories(root / "lib");
  const std::string module = root / "lib/libcorvane-window.so";
  std::ofstream(module) << "x";
  ASSERT_EQ(::chmod(module.c_str(), 0644), 0);
  EXPECT_EQ(WhyNotTrusted(module), "");
  ASSERT_EQ(::chmod((root / "lib").c_str(), 0775), 0);
  EXPECT_EQ(WhyNotTrusted(module), root / "lib" + " may be written by other users");
  ASSERT_EQ(::chmod((root / "lib").c_str(), 01777), 0);
  EXPECT_EQ(WhyNotTrusted(module), "") << "a sticky folder";
  ASSERT_EQ(::chmod((root / "lib").c_str(), 0755), 0);
  ASSERT_EQ(::chmod(module.c_str(), 0666), 0);
  EXPECT_EQ(WhyNotTrusted(module), module + " may be written by other users");
  EXPECT_EQ(WhyNotTrusted(root / "lib"), root / "lib" + " is not a regular file");
  if (::geteuid() != 0) GTEST_SKIP() << "another owner needs root";
  ASSERT_EQ(::chmod(module.c_str(), 0644), 0);
  ASSERT_EQ(::chown((root / "lib").c_str(), 65534, 65534), 0);
  EXPECT_EQ(WhyNotTrusted(module), root / "lib" + " belongs to another user (65534)");
}

TEST(WindowLoader, RefusesWhatIsNotAWindowModule) {
  test::TempFolder folder;
  WindowModule module;
  std::string error;
  EXPECT_FALSE(LoadWindowModule(folder.path(), &module, &error));
  EXPECT_EQ(error, "libcorvane-window.so is not installed beside the program");

  std::ofstream(folder / "libcorvane-window.so") << "not a library";
  EXPECT_FALSE(LoadWindowModule(folder.path(), &module, &error));
  EXPECT_NE(error.find("libcorvane-window.so"), std::string::npos) << error;

  // A real library of another kind loads but is refused.
  std::filesystem::remove(folder / "libcorvane-window.so");
  std::filesystem::create_symlink("/lib/x86_64-linux-gnu/libm.so.6",
                                  folder / "libcorvane-window.so");
  if (!std::filesystem::exists(folder / "libcorvane-window.so")) GTEST_SKIP() << "no libm.so.6";
  EXPECT_FALSE(LoadWindowModule(folder.path(), &module, &error));
  EXPECT_EQ(error, folder / "libcorvane-window.so" + ": not a window module of this version");
  EXPECT_EQ(module.open, nullptr);
}

}  // namespace
}  // namespace corvane
