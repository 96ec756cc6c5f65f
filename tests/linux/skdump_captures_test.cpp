// Decodes every real drive capture and compares it with what libatasmart's skdump prints.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "disk/capture.h"
#include "disk/drive_identity.h"

namespace corvane::test {
namespace {

// skdump prints "n/a" for a value it judges invalid: -1 here, and not compared.
struct SkdumpAttribute {
  int id = 0;
  int current = 0;
  int worst = 0;
  int threshold = 0;
};

int ValueOrNa(const std::string& token) { return token == "n/a" ? -1 : std::stoi(token); }

struct SkdumpView {
  std::string model, serial, firmware;
  std::vector<SkdumpAttribute> attributes;
};

std::string Bracketed(const std::string& line, const std::string& key) {
  if (line.rfind(key + ": [", 0) != 0 || line.back() != ']') return "";
  return line.substr(key.size() + 3, line.size() - key.size() - 4);
}

bool RunSkdump(const std::string& file, SkdumpView& view) {
  const std::string command = "skdump --load='" + file + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return false;
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  ::pclose(pipe);
  std::istringstream lines(output);
  std::string line;
  bool table = false;
  while (std::getline(lines, line)) {
    if (line.rfind("Model: ", 0) == 0) view.model = Bracketed(line, "Model");
    if (line.rfind("Serial: ", 0) == 0) view.serial = Bracketed(line, "Serial");
    if (line.rfind("Firmware: ", 0) == 0) view.firmware = Bracketed(line, "Firmware");
    if (line.rfind("ID# ", 0) == 0) {
      table = true;
      continue;
    }
    if (!table) continue;
    std::istringstream fields(line);
    SkdumpAttribute a;
    std::string name, current, worst, threshold;
    if (!(fields >> a.id >> name >> current >> worst >> threshold)) continue;
    a.current = ValueOrNa(current);
    a.worst = ValueOrNa(worst);
    a.threshold = ValueOrNa(threshold);
    view.attributes.push_back(a);
  }
  return table || !view.model.empty();
}

std::string Trimmed(const std::string& s) {
  const auto pad = [](char c) { return c == ' ' || c == '\0'; };
  const auto first = std::find_if_not(s.begin(), s.end(), pad);
  const auto last = std::find_if_not(s.rbegin(), s.rend(), pad).base();
  return first < last ? std::string(first, last) : "";
}

std::vector<std::string> CaptureFiles() {
  std::vector<std::string> files;
  if (DIR* dir = ::opendir(CORVANE_ATA_CAPTURES)) {
    while (const dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name[0] != '.' && name != "README.md") files.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(RealDriveCaptures, DecodeAsSkdumpDoes) {
  const std::vector<std::string> files = CaptureFiles();
  if (files.empty()) GTEST_SKIP() << "no captures in " << CORVANE_ATA_CAPTURES;
  if (std::system("command -v skdump >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "skdump (Debian package libatasmart-bin) is not installed";
  }
  EXPECT_EQ(files.size(), 19u);
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    const std::string path = std::string(CORVANE_ATA_CAPTURES) + "/" + name;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CaptureSmartDevice device(ParseCapture(bytes));
    const DriveIdentity d = GetDriveIdentity(device, 0);

    SkdumpView reference;
    ASSERT_TRUE(RunSkdump(path, reference));
    EXPECT_EQ(d.DriveType, kDriveTypeAta);
    EXPECT_EQ(Trimmed(d.ModelNumber), reference.model);
    EXPECT_EQ(Trimmed(d.SerialNumber), reference.serial);
    EXPECT_EQ(Trimmed(d.FirmwareRevision), reference.firmware);
    ASSERT_EQ(d.AttributeCount, reference.attributes.size());
    for (size_t i = 0; i < reference.attributes.size(); ++i) {
      const SkdumpAttribute& r = reference.attributes[i];
      const SmartAttribute& a = d.Attributes[i];
      EXPECT_EQ(a.AttributeId, r.id) << i;
      if (r.current >= 0) {
        EXPECT_EQ(a.CurrentValue, r.current) << "id " << r.id;
      }
      if (r.worst >= 0) {
        EXPECT_EQ(a.WorstValue, r.worst) << "id " << r.id;
      }
      if (r.threshold >= 0) {
        EXPECT_EQ(a.ThresholdValue, r.threshold) << "id " << r.id;
      }
    }
  }
}

}  // namespace
}  // namespace corvane::test
