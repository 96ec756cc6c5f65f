#include "platform/linux/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include "linux/temp_folder.h"

namespace corvane::test {
namespace {

TEST(SingleInstance, TheFirstCopyHoldsTheLockAndIsRaisedByTheSecond) {
  TempFolder dir;
  SingleInstance first(dir.path());
  std::atomic<int> raised{0};
  first.SetRaiseHandler([&] { ++raised; });
  EXPECT_FALSE(first.AnotherRunning());
  EXPECT_FALSE(first.AnotherRunning());  // asking again does not see itself

  SingleInstance second(dir.path());
  EXPECT_TRUE(second.AnotherRunning());
  int connection = -1;
  ASSERT_EQ(second.ConnectToRunningCopy(&connection), SingleInstance::Reach::kReached);
  second.AskToRaise(connection);  // returns once the first copy has answered
  EXPECT_EQ(raised.load(), 1);
}

TEST(SingleInstance, ALeftOverSocketDoesNotStopANewFirstCopy) {
  TempFolder dir;
  {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = dir / "corvane.sock";
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);  // the socket file stays, as after a crash
  }
  SingleInstance first(dir.path());
  EXPECT_FALSE(first.AnotherRunning());
  SingleInstance second(dir.path());
  EXPECT_TRUE(second.AnotherRunning());
  int connection = -1;
  EXPECT_EQ(second.ConnectToRunningCopy(&connection), SingleInstance::Reach::kReached);
  ::close(connection);
}

// A copy that holds the lock but never listens is waited for, then given up on; one that
// ends meanwhile leaves its place to the copy that waited.
TEST(SingleInstance, TheLoserWaitsForTheSocketThenGivesUpOrTakesOver) {
  TempFolder dir;
  const int lock = ::open((dir / "corvane.lock").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  SingleInstance second(dir.path(), std::chrono::milliseconds(300));
  EXPECT_TRUE(second.AnotherRunning());
  int connection = -1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(second.ConnectToRunningCopy(&connection), SingleInstance::Reach::kUnreachable);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));

  std::thread ends([lock] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::close(lock);
  });
  SingleInstance third(dir.path(), std::chrono::seconds(5));
  EXPECT_TRUE(third.AnotherRunning());
  EXPECT_EQ(third.ConnectToRunningCopy(&connection), SingleInstance::Reach::kGone);
  ends.join();
  SingleInstance fourth(dir.path());
  EXPECT_TRUE(fourth.AnotherRunning()) << "the copy that took over holds the lock";
  EXPECT_EQ(fourth.ConnectToRunningCopy(&connection), SingleInstance::Reach::kReached);
  ::close(connection);
}

TEST(SingleInstance, WithoutAUsableFolderEveryCopyStartsAndSaysSo) {
  TempFolder dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::symlink("/tmp", (dir / "link").c_str()), 0);
  for (const std::string& folder :
       {std::string(), std::string("/nonexistent/corvane"), dir.path(), dir / "link"}) {
    SingleInstance copy(folder);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(copy.AnotherRunning()) << folder;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("single-instance folder"), std::string::npos) << folder;
    EXPECT_NE(said.find("cannot be used"), std::string::npos) << folder;
  }
  // The folder is made by the first check, privately, and only then.
  SingleInstance fresh(dir / "run");
  EXPECT_FALSE(std::filesystem::exists(dir / "run"));
  EXPECT_FALSE(fresh.AnotherRunning());
  EXPECT_EQ(std::filesystem::status(dir / "run").permissions(), std::filesystem::perms::owner_all);
}

// Whoever owns the folder could hold the lock and answer in this copy's place: root no more
// uses another user's folder than a user does.
TEST(SingleInstance, AFolderOfAnotherUserIsNeverUsedByRootEither) {
  if (::geteuid() != 0) GTEST_SKIP() << "another user's folder needs root";
  TempFolder dir;
  ASSERT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
  SingleInstance copy(dir.path());
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(copy.AnotherRunning());
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("single-instance folder " + dir.path() +
                      " cannot be used (owned by another user (65534))"),
            std::string::npos)
      << said;
  EXPECT_FALSE(std::filesystem::exists(dir / "corvane.lock"));
}

// A socket in the folder that another user's process serves is no copy of this program.
TEST(SingleInstance, AnAnswerFromAnotherUserIsNoCopyOfThisOne) {
  if (::geteuid() != 0) GTEST_SKIP() << "a second user needs root";
  TempFolder dir;
  const int lock = ::open((dir / "corvane.lock").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, (dir / "corvane.sock").c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The credentials a client sees are the listener's when it called listen().
    if (::setgid(65534) != 0 || ::setuid(65534) != 0 || ::listen(fd, 4) != 0) ::_exit(1);
    for (;;) {
      const int client = ::accept(fd, nullptr, nullptr);
      if (client < 0) ::_exit(0);
      char request[16];
      if (::read(client, request, sizeof request) > 0 && ::write(client, "ok\n", 3) != 3) {
        ::_exit(1);
      }
      ::close(client);
    }
  }
  ::close(fd);
  SingleInstance second(dir.path(), std::chrono::milliseconds(300));
  EXPECT_TRUE(second.AnotherRunning());
  int connection = -1;
  EXPECT_EQ(second.ConnectToRunningCopy(&connection), SingleInstance::Reach::kUnreachable);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(lock);
}

}  // namespace
}  // namespace corvane::test
