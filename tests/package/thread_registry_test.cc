// The registry of what each thread holds, linked in on its own: one entry per thread, kept
// while the thread holds its environment or its timer, an emptied entry serving the next
// thread, and what happens when memory runs out.
#include "package/thread_registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <thread>

#include "failing_allocations.h"

using quillon::testing::allocations_until_failure;

namespace quillon::testing {
namespace {

// Stand-ins: the registry keeps these pointers and never follows them.
ThreadEnvironment* const kEnvironment = reinterpret_cast<ThreadEnvironment*>(0x1000);
ThreadTimer* const kTimer = reinterpret_cast<ThreadTimer*>(0x2000);

class ThreadRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    allocations_until_failure = 0;
    Drop(me_, true, true);
    ThreadRegistry::FreeSpareEntries();
  }

  static ThreadState* Find(DWORD thread) {
    ThreadRegistry::Lock lock;
    return ThreadRegistry::Find(lock, thread);
  }
  // Gives `thread` what is not null of `environment` and `timer`; false without memory.
  static bool Hold(DWORD thread, ThreadEnvironment* environment, ThreadTimer* timer) {
    ThreadRegistry::Lock lock;
    ThreadState* state = ThreadRegistry::FindOrAdd(lock, thread);
    if (state == nullptr) return false;
    if (environment != nullptr) state->environment = environment;
    if (timer != nullptr) state->timer = timer;
    return true;
  }
  // Takes the environment and/or the timer from `thread`, as their owners do when they go.
  static void Drop(DWORD thread, bool environment, bool timer) {
    ThreadRegistry::Lock lock;
    ThreadState* state = ThreadRegistry::Find(lock, thread);
    if (state == nullptr) return;
    if (environment) state->environment = nullptr;
    if (timer) state->timer = nullptr;
    ThreadRegistry::Prune(lock, thread);
  }
  // Runs `body` on a thread of its own, given that thread's id; returns the id.
  static DWORD OnAnotherThread(const std::function<void(DWORD)>& body) {
    DWORD id = 0;
    std::thread([&] {
      id = GetCurrentThreadId();
      body(id);
    }).join();
    return id;
  }

  const DWORD me_ = GetCurrentThreadId();
};

TEST_F(ThreadRegistryTest, AThreadKeepsItsEntryWhileItHoldsItsEnvironmentOrItsTimer) {
  EXPECT_EQ(Find(me_), nullptr);
  ASSERT_TRUE(Hold(me_, kEnvironment, kTimer));
  Drop(me_, true, false);  // the last control went; a face window still ticks
  ASSERT_NE(Find(me_), nullptr);
  EXPECT_EQ(Find(me_)->environment, nullptr);
  EXPECT_EQ(Find(me_)->timer, kTimer);
  Drop(me_, false, true);
  EXPECT_EQ(Find(me_), nullptr);

  ASSERT_TRUE(Hold(me_, nullptr, kTimer));
  ASSERT_TRUE(Hold(me_, kEnvironment, nullptr));  // the same entry
  Drop(me_, false, true);
  ASSERT_NE(Find(me_), nullptr);
  EXPECT_EQ(Find(me_)->environment, kEnvironment);
  EXPECT_EQ(Find(me_)->timer, nullptr);
}

TEST_F(ThreadRegistryTest, EachThreadFindsItsOwnStateOnly) {
  ASSERT_TRUE(Hold(me_, kEnvironment, nullptr));
  const DWORD other = OnAnotherThread([](DWORD id) {
    EXPECT_EQ(Find(id), nullptr);
    EXPECT_TRUE(Hold(id, nullptr, kTimer));
  });
  ASSERT_NE(Find(other), nullptr);
  EXPECT_EQ(Find(other)->environment, nullptr);
  EXPECT_EQ(Find(other)->timer, kTimer);
  EXPECT_EQ(Find(me_)->environment, kEnvironment);
  EXPECT_EQ(Find(me_)->timer, nullptr);
  // Another thread may drop what a thread holds (a control released off its thread).
  Drop(other, false, true);
  EXPECT_EQ(Find(other), nullptr);
  EXPECT_EQ(Find(me_)->environment, kEnvironment);
}

// A thread that makes and drops one control at a time must not allocate an entry each time.
// (Results are checked once allocations work again: a failed check allocates its message.)
TEST_F(ThreadRegistryTest, AnEmptiedEntryServesTheNextThreadWithoutAllocating) {
  ASSERT_TRUE(Hold(me_, kEnvironment, nullptr));
  Drop(me_, true, false);
  allocations_until_failure = 1;  // the next allocation fails
  const bool held_again = Hold(me_, kEnvironment, nullptr);
  Drop(me_, true, false);
  const int left = allocations_until_failure;
  allocations_until_failure = 0;
  EXPECT_TRUE(held_again);
  EXPECT_EQ(left, 1);
  OnAnotherThread([](DWORD id) {
    allocations_until_failure = 1;
    const bool held = Hold(id, nullptr, kTimer);
    const int left_there = allocations_until_failure;
    allocations_until_failure = 0;
    EXPECT_TRUE(held);
    EXPECT_EQ(left_there, 1);
    Drop(id, false, true);
  });
}

TEST_F(ThreadRegistryTest, WithoutMemoryForANewEntryNothingIsRegistered) {
  ASSERT_TRUE(Hold(me_, kEnvironment, nullptr));  // the only entry, in use
  OnAnotherThread([](DWORD id) {
    allocations_until_failure = 1;
    EXPECT_FALSE(Hold(id, kEnvironment, kTimer));
    allocations_until_failure = 0;
    EXPECT_EQ(Find(id), nullptr);
  });
  EXPECT_EQ(Find(me_)->environment, kEnvironment);
}

}  // namespace
}  // namespace quillon::testing
