#include "running_instances.h"

#include "win32kit/scoped_win.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// Any handle that is not null: the verdict never uses it.
const HANDLE kSomeHandle = reinterpret_cast<HANDLE>(0x44);

TEST(InstanceMutexTest, OnlyAMutexCreatedNewMakesTheFirstCopy)
{
    struct Row {
        const char* name;
        HANDLE created;
        DWORD lastError;
        InstanceMutexVerdict verdict;
    };
    const Row kRows[] = {
        {"access denied: the running copy is elevated", nullptr, ERROR_ACCESS_DENIED,
            InstanceMutexVerdict::anotherCopyMayRun},
        {"another kind of object has the name", nullptr, ERROR_INVALID_HANDLE, InstanceMutexVerdict::anotherCopyMayRun},
        {"failed without saying why", nullptr, ERROR_SUCCESS, InstanceMutexVerdict::anotherCopyMayRun},
        {"the mutex already exists", kSomeHandle, ERROR_ALREADY_EXISTS, InstanceMutexVerdict::anotherCopyMayRun},
        {"created new", kSomeHandle, ERROR_SUCCESS, InstanceMutexVerdict::firstCopy},
    };
    for (const Row& row : kRows)
        EXPECT_EQ(JudgeInstanceMutex(row.created, row.lastError), row.verdict) << row.name;
}

// The same verdicts from real objects of the program's own name.
TEST(InstanceMutexTest, RealObjectsOfTheNameAreJudgedAsTheSystemLeavesThem)
{
    enum class Holder { nothing, mutex, event };
    struct Row {
        const char* name;
        Holder holder;  // what has the name before the start
        DWORD error;
        InstanceMutexVerdict verdict;
    };
    const Row kRows[] = {
        {"an event has the name", Holder::event, ERROR_INVALID_HANDLE, InstanceMutexVerdict::anotherCopyMayRun},
        {"a running copy's mutex", Holder::mutex, ERROR_ALREADY_EXISTS, InstanceMutexVerdict::anotherCopyMayRun},
        {"nothing has the name", Holder::nothing, ERROR_SUCCESS, InstanceMutexVerdict::firstCopy},
    };
    for (const Row& row : kRows) {
        win32kit::ScopedHandle holder;
        if (row.holder == Holder::mutex)
            holder.Reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
        if (row.holder == Holder::event)
            holder.Reset(CreateEventW(nullptr, TRUE, FALSE, kInstanceMutexName));
        ASSERT_EQ(holder.IsValid(), row.holder != Holder::nothing) << row.name;

        const InstanceMutexClaim claim = ClaimInstanceMutex(kInstanceMutexName);
        EXPECT_EQ(claim.verdict, row.verdict) << row.name;
        EXPECT_EQ(claim.error, row.error) << row.name;
        EXPECT_EQ(claim.mutex.IsValid(), row.holder != Holder::event) << row.name;
    }
}

}  // namespace
