// The register's SQLite file shared by several programs at once: its making, and the wait
// for another writer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/text.h"
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

// A search through the trigram index finds what reading every machine finds: the machines
// whose latest values hold the query in the search's folding, in page order, with their count,
// for hostile values and queries (one whose trigrams a value holds apart), in a register indexed as
// it grew, in one whose index an older program left behind, and in one made before the index.
TEST(SqliteRegister, ASearchFindsTheSameMachinesWithOrWithoutItsIndex) {
  TempFolder dir;
  const std::string path = dir / "register.sqlite3";
  int reports = 0;
  const auto add = [&](RegisterStore& store, const MachineValues& v, int64_t machine) {
    store.Write([&] {
      ReportSource source;
      source.name = "report" + std::to_string(++reports) + ".kik";
      std::optional<Machine> m;
      if (machine > 0) m = store.FindMachine(machine);
      const int64_t input = store.AddInput(source.name, "2026-12-01T00:00:00Z");
      store.AddReport(RegisterStore::Key(v, source), input, m ? &*m : nullptr, "", v,
                      "202612" + std::to_string(10 + reports % 20), "20991231", source);
    });
  };
  const std::string hostile(
      "BAD\xFF\xC3"
      "abc\0after-nul",
      18);
  {
    RegisterStore store(OpenSqliteDatabase(path, RegisterAccess::kWrite), true);
    for (int i = 1; i <= 24; ++i) {
      add(store,
          {"WD-" + std::to_string(i), std::to_string(-1673912542 + i), "PC-" + std::to_string(i),
           "PID-" + std::to_string(i), i % 3 ? "ANA" : "BEA"},
          0);
    }
    add(store, {"WD-E", "7", "PORTÁTIL-ÉRIC", "P-É", "ÉRIC"}, 0);
    add(store, {"WD-H", "8", hostile, "50%_\"q\"", "ABCXBCD"}, 0);
    add(store, {"WD-O", "9", "OLD-NAME-7", "P-O", "ANA"}, 0);
    add(store, {"WD-O", "9", "NEW-NAME-7", "P-O", "ANA"}, 27);
  }
  const std::vector<std::string> queries = {
      "éric",     "ÉRIC", "portátil-é", "after-nul", "abc",  std::string("c\0a", 3),
      "pc",       "pc-1", "%_\"",       "\"q\"",     "50%",  "old-name",
      "new-name", "\xFF", "ana",        "-1673912",  "abcd", "absent"};
  // What the search means, machine by machine.
  const auto meant = [&](RegisterStore& store, const std::string& q) {
    std::vector<Machine> all;
    store.db().Read([&] { store.ForEachMachine([&](const Machine& m) { all.push_back(m); }); });
    std::stable_sort(all.begin(), all.end(), [](const Machine& a, const Machine& b) {
      return std::make_pair(a.latest_date, a.id) > std::make_pair(b.latest_date, b.id);
    });
    std::vector<int64_t> ids;
    for (const Machine& m : all) {
      for (const ValueField& f : kValueFields) {
        if (LowerCaseLatin(m.latest.*f.value).find(LowerCaseLatin(q)) != std::string::npos) {
          ids.push_back(m.id);
          break;
        }
      }
    }
    return ids;
  };
  const auto check = [&](const std::string& when) {
    RegisterStore store(OpenSqliteDatabase(path, RegisterAccess::kRead), false);
    for (const std::string& q : queries) {
      const std::vector<int64_t> want = meant(store, q);
      int64_t matched = -1, page_matched = -1;
      std::vector<int64_t> ids, page;
      store.db().Read([&] {
        for (const Machine& m : store.MachinesPage(q, 0, 100, &matched)) ids.push_back(m.id);
        for (const Machine& m : store.MachinesPage(q, 2, 3, &page_matched)) page.push_back(m.id);
      });
      const std::string shown = when + ", query \"" + EscapeControls(q) + "\"";
      EXPECT_EQ(ids, want) << shown;
      EXPECT_EQ(matched, static_cast<int64_t>(want.size())) << shown;
      EXPECT_EQ(page_matched, matched) << shown;
      const size_t from = std::min<size_t>(2, want.size()), to = std::min<size_t>(5, want.size());
      EXPECT_EQ(page, std::vector<int64_t>(want.begin() + from, want.begin() + to)) << shown;
    }
  };
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  const auto ask = [&](const std::string& sql) {
    std::string answer;
    sqlite3_exec(
        raw, sql.c_str(),
        [](void* out, int, char** values, char**) {
          *static_cast<std::string*>(out) += std::string(values[0] ? values[0] : "NULL") + " ";
          return 0;
        },
        &answer, nullptr);
    return answer;
  };
  // The index holds the values as a search folds them, and is in step with the reports.
  EXPECT_EQ(ask("SELECT rowid >> 3 FROM machines_search WHERE machines_search MATCH '\"nul\"' "
                "OR machines_search MATCH '\"tát\"' ORDER BY rowid"),
            "25 26 ");
  EXPECT_EQ(ask("SELECT last_report FROM machines_search_state"), "28 ");
  check("indexed");
  // An older program adds a report that renames a machine: the index is behind, and not used.
  ASSERT_EQ(ask("UPDATE machines SET computer = 'RENAMED-ÉRIC' WHERE id = 3; "
                "INSERT INTO reports (key_a, key_b, machine, input, disk, volume, computer, "
                "product, user_name, name) VALUES (1, 2, 3, 1, 'WD-3', '', 'RENAMED-ÉRIC', "
                "'PID-3', 'BEA', 'older.kik')"),
            "");
  check("left behind by an older program");
  // The next writer makes it again.
  RegisterStore(OpenSqliteDatabase(path, RegisterAccess::kWrite), true);
  EXPECT_EQ(ask("SELECT rowid >> 3 FROM machines_search WHERE machines_search MATCH '\"d-é\"'"),
            "3 ");
  check("made again");
  // A register made before the index: read without it, then given it by the next writer.
  ASSERT_EQ(ask("DROP TABLE machines_search; DROP TABLE machines_search_state"), "");
  check("no index");
  RegisterStore(OpenSqliteDatabase(path, RegisterAccess::kWrite), true);
  EXPECT_EQ(ask("SELECT last_report FROM machines_search_state"), "29 ");
  check("index made for an older register");
  sqlite3_close(raw);
}

}  // namespace
}  // namespace corvane::test
