#include "platform/linux/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

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
  const std::optional<int> connection = second.ConnectToRunningCopy();
  ASSERT_TRUE(connection.has_value());
  second.AskToRaise(*connection);  // returns once the first copy has answered
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
  EXPECT_TRUE(second.ConnectToRunningCopy().has_value());
}

TEST(SingleInstance, AnUnreachableCopyIsNotFound) {
  TempFolder dir;
  const int lock = ::open((dir / "corvane.lock").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);  // a copy that holds the lock but never listens
  SingleInstance second(dir.path());
  EXPECT_TRUE(second.AnotherRunning());
  EXPECT_FALSE(second.ConnectToRunningCopy().has_value());
  ::close(lock);
}

TEST(SingleInstance, WithoutAUsableFolderEveryCopyStarts) {
  SingleInstance nowhere("");
  EXPECT_FALSE(nowhere.AnotherRunning());
  SingleInstance missing("/nonexistent/corvane");
  EXPECT_FALSE(missing.AnotherRunning());
}

}  // namespace
}  // namespace corvane::test
