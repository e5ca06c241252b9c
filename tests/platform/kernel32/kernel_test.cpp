// Kernel stand-in: threads, exit codes, priorities, the clock and the debugger channel.
#include <gtest/gtest.h>
#include <windows.h>

#include <pthread.h>

#include <atomic>
#include <string>

#include "support/headless_machine.h"
#include "kernel32/threads.h"
#include "machine/machine.h"

namespace {

class Kernel : public ::testing::Test {
protected:
    void SetUp() override { StartHeadlessMachine(0); }
    void TearDown() override { kernel32::WaitForAllThreads(2000); }
};

DWORD WINAPI ReturnParameter(LPVOID parameter) {
    return (DWORD)(uintptr_t)parameter;
}

std::atomic<bool> release{false};
DWORD WINAPI WaitForRelease(LPVOID) {
    while (!release) Sleep(1);
    return 7;
}

std::atomic<bool> destructorRan{false};
std::atomic<bool> passedExit{false};
struct NoteDestruction {
    ~NoteDestruction() { destructorRan = true; }
};
DWORD WINAPI ExitEarly(LPVOID) {
    NoteDestruction guard;
    ExitThread(42);
    passedExit = true;
    return 1;
}

TEST_F(Kernel, ThreadReturnsItsExitCodeAndIsStillActiveBefore) {
    release = false;
    DWORD id = 0;
    HANDLE t = CreateThread(NULL, 0, WaitForRelease, NULL, 0, &id);
    ASSERT_NE(t, (HANDLE)NULL);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(t, 20), (DWORD)WAIT_TIMEOUT);
    release = true;
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), (DWORD)WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(t));
    EXPECT_FALSE(CloseHandle(t)) << "a handle closes once";
    EXPECT_EQ(kernel32::ThreadsCreated(), 1);
}

TEST_F(Kernel, ParameterReachesTheRoutine) {
    HANDLE t = CreateThread(NULL, 0, ReturnParameter, (LPVOID)(uintptr_t)0x1234, 0, NULL);
    ASSERT_EQ(WaitForSingleObject(t, 2000), (DWORD)WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 0x1234u);
    CloseHandle(t);
}

TEST_F(Kernel, ExitThreadEndsOnlyTheCallingThreadWithItsCode) {
    destructorRan = passedExit = false;
    HANDLE t = CreateThread(NULL, 0, ExitEarly, NULL, 0, NULL);
    ASSERT_EQ(WaitForSingleObject(t, 2000), (DWORD)WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 42u);
    EXPECT_FALSE(passedExit);
    EXPECT_TRUE(destructorRan) << "the ended thread's objects are unwound";
    EXPECT_TRUE(kernel32::WaitForAllThreads(1000));
    CloseHandle(t);
}

void EndTheInitialThread() {
    kernel32::WaitForAllThreads(2000);
    ExitThread(666);
}

TEST_F(Kernel, ExitThreadOfTheLastThreadEndsTheProcessWithItsCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(EndTheInitialThread(), ::testing::ExitedWithCode(666 & 0xFF), "");
}

std::atomic<size_t> observedStack{0};
DWORD WINAPI MeasureStack(LPVOID) {
    pthread_attr_t attributes;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &size);
        pthread_attr_destroy(&attributes);
    }
    // Uses most of what a 64 KiB thread may use on the system it was written for.
    volatile char scratch[48 * 1024];
    for (size_t i = 0; i < sizeof scratch; i += 512) scratch[i] = (char)i;
    observedStack = size;
    return scratch[512];
}

TEST_F(Kernel, StackSizeIsHonoured) {
    HANDLE t = CreateThread(NULL, 65536, MeasureStack, NULL, 0, NULL);
    ASSERT_NE(t, (HANDLE)NULL);
    EXPECT_EQ(kernel32::RequestedStackSize(t), 65536u);
    ASSERT_EQ(WaitForSingleObject(t, 2000), (DWORD)WAIT_OBJECT_0);
    EXPECT_GE(observedStack.load(), 65536u);
    EXPECT_LT(observedStack.load(), 4u * 1024 * 1024) << "not silently the default stack";
    CloseHandle(t);
}

TEST_F(Kernel, CreationCanBeMadeToFail) {
    kernel32::FailThreadCreation(1);
    HANDLE first = CreateThread(NULL, 0, ReturnParameter, NULL, 0, NULL);
    HANDLE second = CreateThread(NULL, 0, ReturnParameter, NULL, 0, NULL);
    HANDLE third = CreateThread(NULL, 0, ReturnParameter, NULL, 0, NULL);
    EXPECT_NE(first, (HANDLE)NULL);
    EXPECT_EQ(second, (HANDLE)NULL);
    EXPECT_NE(third, (HANDLE)NULL) << "only one creation fails";
    EXPECT_EQ(kernel32::ThreadsCreated(), 2);
    CloseHandle(first);
    CloseHandle(third);
}

TEST_F(Kernel, PrioritiesAreRecordedAndValidated) {
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_HIGHEST);
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), 3));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_FALSE(SetThreadPriority((HANDLE)(uintptr_t)0x7777, THREAD_PRIORITY_NORMAL));
    EXPECT_EQ(GetThreadPriority((HANDLE)(uintptr_t)0x7777), THREAD_PRIORITY_ERROR_RETURN);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

TEST_F(Kernel, WaitOnAnUnknownHandleFails) {
    EXPECT_EQ(WaitForSingleObject((HANDLE)(uintptr_t)0x7777, 0), (DWORD)WAIT_FAILED);
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread((HANDLE)(uintptr_t)0x7777, &code));
}

// ---- clock ---------------------------------------------------------------------------

TEST_F(Kernel, VirtualClockStepsExactlyOneFramePerAdvance) {
    ChangeSettings([](host::Settings& s) { s.fps = 50; });
    std::vector<std::pair<int64_t, int64_t>> steps;
    int id = machine::AddClockListener([&](int64_t from, int64_t to) {
        steps.push_back({from, to});
    });
    LARGE_INTEGER c, f;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    ASSERT_TRUE(QueryPerformanceCounter(&c));
    EXPECT_EQ(c.QuadPart, 0);
    Sleep(5);
    ASSERT_TRUE(QueryPerformanceCounter(&c));
    EXPECT_EQ(c.QuadPart, 0) << "the virtual clock stands still between frames";
    machine::AdvanceFrame();
    machine::AdvanceFrame();
    machine::AdvanceFrame();
    machine::RemoveClockListener(id);
    machine::AdvanceFrame();
    QueryPerformanceCounter(&c);
    EXPECT_EQ(c.QuadPart * 1000000 / f.QuadPart, 80000);
    EXPECT_EQ(timeGetTime(), 80u);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].first, 0);
    EXPECT_EQ(steps[0].second, 20000);
    EXPECT_EQ(steps[2].first, 40000);
    EXPECT_EQ(steps[2].second, 60000);
    EXPECT_EQ(machine::FramesShown(), 4);
}

TEST_F(Kernel, VirtualClockHasNoDriftOverManyFrames) {
    ChangeSettings([](host::Settings& s) { s.fps = 60; });
    for (int i = 0; i < 600; i++) machine::AdvanceFrame();
    EXPECT_EQ(machine::ClockMicroseconds(), 10000000);
    machine::AdvanceFrame();
    EXPECT_EQ(machine::ClockMicroseconds(), 10016666);
}

TEST_F(Kernel, RealClockIsMonotonicAndAdvances) {
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    Sleep(20);
    QueryPerformanceCounter(&b);
    EXPECT_GE(b.QuadPart - a.QuadPart, 19000);
    DWORD t0 = timeGetTime();
    Sleep(15);
    EXPECT_GE(timeGetTime() - t0, 14u);
}

TEST_F(Kernel, PerformanceCounterCanBeRemoved) {
    machine::SetPerformanceCounterPresent(false);
    LARGE_INTEGER c, f;
    EXPECT_FALSE(QueryPerformanceCounter(&c));
    EXPECT_FALSE(QueryPerformanceFrequency(&f));
    machine::ResetForTest();
    EXPECT_TRUE(QueryPerformanceCounter(&c)) << "a reset puts the counter back";
}

TEST_F(Kernel, CounterFollowsItsFrequency) {
    ChangeSettings([](host::Settings& s) { s.fps = 10; });
    machine::SetPerformanceFrequency(3579545);
    machine::AdvanceFrame();
    LARGE_INTEGER c, f;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    EXPECT_EQ(f.QuadPart, 3579545);
    EXPECT_EQ(c.QuadPart, 357954);
}

// ---- small services ----------------------------------------------------------------------

TEST_F(Kernel, DebugOutputIsRecordedVerbatim) {
    OutputDebugStringA("dderr 80004005 12\n");
    OutputDebugStringA("partial");
    OutputDebugStringA(NULL);
    auto lines = machine::DebugLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "dderr 80004005 12\n");
    EXPECT_EQ(lines[1], "partial");
    machine::ResetForTest();
    EXPECT_TRUE(machine::DebugLines().empty());
}

DWORD WINAPI InitialiseCom(LPVOID) {
    HRESULT first = CoInitialize(NULL);
    HRESULT second = CoInitialize(NULL);
    CoUninitialize();
    CoUninitialize();
    return first == S_OK && second == S_FALSE ? 1 : 0;
}

TEST_F(Kernel, ComCountsPerThreadAndModuleHandle) {
    HANDLE t = CreateThread(NULL, 0, InitialiseCom, NULL, 0, NULL);
    WaitForSingleObject(t, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(t);
    EXPECT_NE(GetModuleHandleA(NULL), (HMODULE)NULL);
    EXPECT_EQ(GetModuleHandleA("ddraw.dll"), (HMODULE)NULL);
}

} // namespace
