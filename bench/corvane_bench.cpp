// Decoding IDENTIFY and SMART sectors, reading captures, building and decoding records.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "disk/capture.h"
#include "disk/drive_identity.h"
#include "report/machine_record.h"
#include "report/record_decode.h"

namespace corvane {
namespace {

// The real captures, read in place; the benchmarks skip without them.
std::vector<std::string> Captures() {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(CORVANE_ATA_CAPTURES, ec)) {
    if (!e.is_regular_file() || e.path().extension() == ".md") continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    files.push_back(s.str());
  }
  return files;
}

void BM_ParseCapture(benchmark::State& state) {
  const std::vector<std::string> files = Captures();
  if (files.empty()) return state.SkipWithError("no captures");
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseCapture(files[i++ % files.size()]));
  }
}
BENCHMARK(BM_ParseCapture);

// The whole request sequence of one drive and the decoding of its three sectors.
void BM_GetDriveIdentity(benchmark::State& state) {
  std::vector<CaptureSmartDevice> devices;
  for (const std::string& f : Captures()) devices.emplace_back(ParseCapture(f));
  if (devices.empty()) return state.SkipWithError("no captures");
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetDriveIdentity(devices[i++ % devices.size()], 0));
  }
}
BENCHMARK(BM_GetDriveIdentity);

const MachineValues kValues{"WD-WCAV51234567", "-1673912542", "ESTA\xC3\x87\xC3\x83O-7",
                            "55274-640-1234567-23456", "JO\xC3\x83O"};

void BM_MachineRecord(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(MachineRecord(kValues));
}
BENCHMARK(BM_MachineRecord);

void BM_DecodeMachineRecord(benchmark::State& state) {
  const std::string file = MachineRecord(kValues) + "\r\n";
  for (auto _ : state) benchmark::DoNotOptimize(DecodeMachineRecord(file));
}
BENCHMARK(BM_DecodeMachineRecord);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
