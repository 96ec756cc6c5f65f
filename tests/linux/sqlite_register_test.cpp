// The register's SQLite file shared by several programs at once: its making, and the wait
// for another writer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "linux/temp_folder.h"
#include "register/register_store.h"
#include "storage/sqlite/sqlite_database.h"

namespace corvane::test {
namespace {

// Each of several first adds makes the register if nobody has yet, switches it to WAL and
// writes: none is refused as busy, whichever gets there first.
TEST(SqliteRegister, EightFirstWritersOfANewRegisterAllLand) {
  TempFolder dir;
  constexpr int kWriters = 8;
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string path = dir / ("round" + std::to_string(round) + ".sqlite3");
    std::atomic<int> ready{0};
    std::vector<std::string> failures(kWriters);
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
      writers.emplace_back([&, w] {
        ++ready;
        while (ready < kWriters) std::this_thread::yield();
        try {
          RegisterStore store(OpenSqliteDatabase(path, RegisterAccess::kWrite), true);
          store.db().Write([&] { store.AddInput("input " + std::to_string(w), "now"); });
        } catch (const std::exception& e) {
          failures[w] = e.what();
        }
      });
    }
    for (std::thread& t : writers) t.join();
    for (const std::string& failure : failures) EXPECT_EQ(failure, "");
    std::unique_ptr<RegisterDatabase> db = OpenSqliteDatabase(path, RegisterAccess::kRead);
    int64_t inputs = 0;
    db->Run("SELECT COUNT(*) FROM inputs", {}, [&](const SqlRow& r) { inputs = r.Int(0); });
    EXPECT_EQ(inputs, kWriters);
  }
}

// A writer gives up once the register has been held for all of its wait, and says how long it
// waited and for what.
TEST(SqliteRegister, ABusyRegisterSaysHowLongItWaitedAndForWhat) {
  TempFolder dir;
  const std::string path = dir / "register.sqlite3";
  RegisterStore holder(OpenSqliteDatabase(path, RegisterAccess::kWrite), true);
  std::promise<void> held, release;
  std::thread holding([&] {
    holder.db().Write([&] {
      held.set_value();
      release.get_future().wait();
    });
  });
  held.get_future().wait();
  std::unique_ptr<RegisterDatabase> waiter =
      OpenSqliteDatabase(path, RegisterAccess::kWrite, std::chrono::milliseconds(300));
  // The wait is the write's own, however long ago the register was opened.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const auto start = std::chrono::steady_clock::now();
  std::string said;
  try {
    waiter->Write([] {});
  } catch (const RegisterError& e) {
    said = e.what();
  }
  const double waited =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  release.set_value();
  holding.join();
  EXPECT_GE(waited, 0.3);
  const std::string shown = said.substr(0, said.find(" seconds"));
  EXPECT_THAT(said, ::testing::MatchesRegex(path + ": the register is busy: another program held "
                                                   "it while this one waited [0-9.]+ seconds to "
                                                   "write to it"));
  // The time it says is the time it took, not the wait it was allowed.
  const double said_seconds = std::stod(shown.substr(shown.rfind(' ') + 1));
  EXPECT_GE(said_seconds, 0.3);
  EXPECT_LE(said_seconds, waited + 0.05);
}

}  // namespace
}  // namespace corvane::test
