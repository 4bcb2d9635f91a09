#include "rtl/MultiReadExclusiveWrite.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vantro {
namespace {

using namespace std::chrono_literals;

TEST(ReadWriteLock, TheWriterEntersAgainAndMayRead) {
  TMultiReadExclusiveWriteSynchronizer lock;
  lock.BeginWrite();
  lock.BeginWrite();
  lock.BeginRead();
  lock.EndRead();
  lock.EndWrite();
  lock.EndWrite();
  // Fully released: another thread can write now.
  std::thread other([&] {
    lock.BeginWrite();
    lock.EndWrite();
  });
  other.join();
}

TEST(ReadWriteLock, ReadersShareAndWritersWaitForThem) {
  TMultiReadExclusiveWriteSynchronizer lock;
  lock.BeginRead();
  std::atomic<bool> secondReaderIn{false};
  std::thread reader([&] {
    lock.BeginRead();
    secondReaderIn = true;
    lock.EndRead();
  });
  reader.join();
  EXPECT_TRUE(secondReaderIn);

  std::atomic<bool> written{false};
  std::thread writer([&] {
    lock.BeginWrite();
    written = true;
    lock.EndWrite();
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(written);
  lock.EndRead();
  writer.join();
  EXPECT_TRUE(written);
}

TEST(ReadWriteLock, AWriterKeepsOthersOutUntilItsLastRelease) {
  TMultiReadExclusiveWriteSynchronizer lock;
  lock.BeginWrite();
  lock.BeginWrite();
  std::atomic<int> entered{0};
  std::thread reader([&] {
    lock.BeginRead();
    ++entered;
    lock.EndRead();
  });
  lock.EndWrite();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(entered, 0);
  lock.EndWrite();
  reader.join();
  EXPECT_EQ(entered, 1);
}

}  // namespace
}  // namespace vantro
