#include <gtest/gtest.h>

#include <thread>

#include "quorvel/platform.h"

TEST(Interlocked, CountsFromSeveralThreadsWithoutLoss) {
    LONG volatile count = 0;
    auto bump = [&] {
        for (int i = 0; i < 100000; ++i) {
            InterlockedIncrement(&count);
            InterlockedIncrement(&count);
            InterlockedDecrement(&count);
        }
    };
    std::thread a(bump), b(bump);
    a.join();
    b.join();
    EXPECT_EQ(count, 200000);
    EXPECT_EQ(InterlockedExchange(&count, 7), 200000);
    EXPECT_EQ(InterlockedCompareExchange(&count, 9, 8), 7) << "no exchange when it differs";
    EXPECT_EQ(InterlockedCompareExchange(&count, 9, 7), 7);
    EXPECT_EQ(count, 9);
}

TEST(CriticalSection, ReentersOnItsThreadAndExcludesOthers) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs)) << "the owner may enter again";
    BOOL other = TRUE;
    std::thread([&] { other = TryEnterCriticalSection(&cs); }).join();
    EXPECT_FALSE(other);
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    std::thread([&] {
        other = TryEnterCriticalSection(&cs);
        if (other) LeaveCriticalSection(&cs);
    }).join();
    EXPECT_TRUE(other);
    DeleteCriticalSection(&cs);
}

TEST(TaskMemory, AllocatesReallocatesAndFrees) {
    auto* p = static_cast<char*>(CoTaskMemAlloc(4));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "abc", 4);
    p = static_cast<char*>(CoTaskMemRealloc(p, 4096));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "abc");
    CoTaskMemFree(p);
    CoTaskMemFree(nullptr);
    void* empty = CoTaskMemAlloc(0);
    EXPECT_NE(empty, nullptr);
    CoTaskMemFree(empty);
}
