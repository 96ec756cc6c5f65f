// The register's SQLite file shared by several programs at once: its making, and the wait
// for another writer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <future>
#include <string>
#include <thread>

#include "linux/temp_folder.h"
#include "register/register_store.h"
#include "storage/sqlite/sqlite_database.h"

namespace corvane::test {
namespace {

// Another program holds a new register's write lock while it makes the register: a first
// add waits for it to finish rather than being refused at once as busy (SQLite refuses the
// switch to WAL without waiting, as it would deadlock two connections that read first).
TEST(SqliteRegister, AFirstAddWaitsForAnotherProgramMakingTheRegister) {
  TempFolder dir;
  const std::string path = dir / "register.sqlite3";
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::thread making([other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  });
  std::string failure;
  try {
    RegisterStore store(OpenSqliteDatabase(path, RegisterAccess::kWrite), true);
    store.db().Write([&] { store.AddInput("input", "now"); });
  } catch (const std::exception& e) {
    failure = e.what();
  }
  making.join();
  sqlite3_close(other);
  EXPECT_EQ(failure, "");
  int64_t inputs = 0;
  OpenSqliteDatabase(path, RegisterAccess::kRead)
      ->Run("SELECT COUNT(*) FROM inputs", {}, [&](const SqlRow& r) { inputs = r.Int(0); });
  EXPECT_EQ(inputs, 1);
}

// Another program's database is known by its application id even before it has a table, and
// is left as it was.
TEST(SqliteRegister, AnEmptyDatabaseOfAnotherProgramIsNoRegister) {
  TempFolder dir;
  const std::string path = dir / "other.db";
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "PRAGMA application_id=1234", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(other);
  std::string said;
  try {
    RegisterStore store(OpenSqliteDatabase(path, RegisterAccess::kWrite), true);
  } catch (const RegisterError& e) {
    said = e.what();
  }
  EXPECT_EQ(said, path + ": not a register: the database holds other data");
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
