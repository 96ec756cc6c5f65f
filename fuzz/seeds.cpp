// Writes the seed corpora: records and language files as the program itself writes them,
// and the drive captures recast as device answers.
// Usage: fuzz_seeds OUT_FOLDER [CAPTURE_FOLDER]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "disk/capture.h"
#include "report/machine_record.h"

namespace fs = std::filesystem;
using namespace corvane;

namespace {

void Put(const fs::path& folder, const std::string& name, const std::string& content) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary) << content;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Sector(const std::optional<Bytes>& sector) {
  return sector ? std::string(sector->begin(), sector->end()) : std::string(512, '\0');
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: fuzz_seeds OUT_FOLDER [CAPTURE_FOLDER]\n";
    return 2;
  }
  const fs::path out = argv[1];

  const MachineValues examples[] = {
      {"WD-123 ", "-1673912542", "PC-7", "PID-42", "ANA"},
      {"", "0", "", "", ""},
      {"NOTAVAIL", "12345", "ESTA\xC3\x87\xC3\x83O-1", "55274-640-1", "JO\xC3\x83O"},
      {"ATAPI-CD", "-1", std::string(100, 'N'), std::string(1000, 'P'), "U"},
  };
  int n = 0;
  for (const MachineValues& v : examples) {
    Put(out / "record", "record" + std::to_string(n++), MachineRecord(v) + "\r\n");
  }

  int i = 0;
  for (const char* item : {"1\r\n", "2\r\n", "3\r\n", "01\r\n", " 2 , 9\r\n", "\"3\"\r\n", "1e1"}) {
    Put(out / "language", "language" + std::to_string(i++), item);
  }

  // Each capture as the identify target reads its input: device map, flags, three sectors.
  if (argc > 2 && fs::is_directory(argv[2])) {
    for (const fs::directory_entry& e : fs::directory_iterator(argv[2])) {
      if (!e.is_regular_file()) continue;
      try {
        const DriveCapture c = ParseCapture(Slurp(e.path()));
        Put(out / "identify", e.path().filename().string(),
            std::string("\x01\x00", 2) + Sector(c.identify) + Sector(c.smart_data) +
                Sector(c.thresholds));
      } catch (const CaptureError&) {
      }
    }
  }
  return 0;
}
