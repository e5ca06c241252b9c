// Kernel threads with their handles, priorities and exit codes, and the waits on them.
#include <windows.h>

#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "file_handles.h"
#include "threads.h"
#include "machine/machine.h"

namespace {

const DWORD ERROR_INVALID_HANDLE_CODE = 6;
const DWORD ERROR_NOT_ENOUGH_MEMORY_CODE = 8;
const DWORD ERROR_INVALID_PARAMETER_CODE = 87;
const HANDLE CURRENT_THREAD_PSEUDO_HANDLE = (HANDLE)(LONG_PTR)-2;

struct ThreadObject {
    DWORD id = 0;
    size_t requestedStack = 0;
    LPTHREAD_START_ROUTINE routine = nullptr;
    LPVOID parameter = nullptr;
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
    int priority = THREAD_PRIORITY_NORMAL;
};

struct Kernel {
    std::mutex lock;
    std::condition_variable allEnded;
    std::map<uintptr_t, std::shared_ptr<ThreadObject>> handles;
    uintptr_t nextHandle = 0x1000;
    int running = 0;
    int created = 0;
    int creationsBeforeFailure = -1;
};

Kernel& TheKernel() {
    static Kernel* kernel = new Kernel; // outlives exit handlers: threads may still run
    return *kernel;
}

// A new run counts its threads from 0 and fails none of them.
void ResetCounts() {
    Kernel& k = TheKernel();
    std::lock_guard<std::mutex> guard(k.lock);
    k.created = 0;
    k.creationsBeforeFailure = -1;
}

const int resetHook = machine::AddResetHook(ResetCounts);

std::atomic<DWORD> nextThreadId{1};
thread_local DWORD currentThreadId = 0;
thread_local std::shared_ptr<ThreadObject> currentThread;

std::shared_ptr<ThreadObject> CurrentThreadObject() {
    if (!currentThread) {
        currentThread = std::make_shared<ThreadObject>();
        currentThread->id = GetCurrentThreadId();
    }
    return currentThread;
}

std::shared_ptr<ThreadObject> FindThread(HANDLE handle) {
    if (handle == CURRENT_THREAD_PSEUDO_HANDLE) return CurrentThreadObject();
    Kernel& k = TheKernel();
    std::lock_guard<std::mutex> guard(k.lock);
    auto it = k.handles.find((uintptr_t)handle);
    return it == k.handles.end() ? nullptr : it->second;
}

// The program was written for 32-bit frames; 64-bit code and sanitizer instrumentation
// need more room for the same calls.
size_t HostStackSize(size_t requested) {
    if (requested == 0) return 0;
    size_t size = requested * (sizeof(void*) / 4);
#if defined(__SANITIZE_ADDRESS__)
    size *= 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    size *= 4;
#endif
#endif
    if (size < (size_t)PTHREAD_STACK_MIN) size = PTHREAD_STACK_MIN;
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    return (size + page - 1) / page * page;
}

void MarkFinished(ThreadObject& thread) {
    {
        std::lock_guard<std::mutex> guard(thread.lock);
        thread.finished = true;
    }
    thread.ended.notify_all();
    Kernel& k = TheKernel();
    {
        std::lock_guard<std::mutex> guard(k.lock);
        k.running--;
    }
    k.allEnded.notify_all();
}

// Runs on unwinding too, so ExitThread (pthread_exit) also marks the thread as ended.
struct FinishOnExit {
    ThreadObject* thread;
    ~FinishOnExit() { MarkFinished(*thread); }
};

#ifdef __EMSCRIPTEN__
// Emscripten's pthread_exit does not unwind the stack: a cleanup handler marks the end.
thread_local bool startedByCreateThread = false;

void FinishThread(void* thread) {
    MarkFinished(*static_cast<ThreadObject*>(thread));
}
#endif

void* ThreadEntry(void* argument) {
    std::shared_ptr<ThreadObject>* start = static_cast<std::shared_ptr<ThreadObject>*>(argument);
    currentThread = *start;
    delete start;
    currentThreadId = currentThread->id;
    ThreadObject* self = currentThread.get();
#ifdef __EMSCRIPTEN__
    startedByCreateThread = true;
    pthread_cleanup_push(FinishThread, self);
#else
    FinishOnExit finish{self};
#endif
    DWORD code = self->routine(self->parameter);
    {
        std::lock_guard<std::mutex> guard(self->lock);
        self->exitCode = code;
    }
#ifdef __EMSCRIPTEN__
    pthread_cleanup_pop(1);
#endif
    return nullptr;
}

#ifdef __EMSCRIPTEN__
// The browser's process is no Linux process with the initial thread's id: the initial
// thread is the one that main() runs on, the only thread CreateThread did not start.
bool IsInitialThread() {
    return !startedByCreateThread;
}
#else
bool IsInitialThread() {
    return getpid() == (pid_t)syscall(SYS_gettid);
}
#endif

bool ConsumeCreationPermit() {
    Kernel& k = TheKernel();
    std::lock_guard<std::mutex> guard(k.lock);
    if (k.creationsBeforeFailure < 0) return true;
    if (k.creationsBeforeFailure == 0) {
        k.creationsBeforeFailure = -1;
        return false;
    }
    k.creationsBeforeFailure--;
    return true;
}

bool StartHostThread(std::shared_ptr<ThreadObject> thread) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    size_t stack = HostStackSize(thread->requestedStack);
    if (stack) pthread_attr_setstacksize(&attributes, stack);
    auto* start = new std::shared_ptr<ThreadObject>(thread);
    Kernel& k = TheKernel();
    {
        std::lock_guard<std::mutex> guard(k.lock);
        k.running++;
    }
    pthread_t host;
    int result = pthread_create(&host, &attributes, ThreadEntry, start);
    pthread_attr_destroy(&attributes);
    if (result == 0) return true;
    delete start;
    std::lock_guard<std::mutex> guard(k.lock);
    k.running--;
    return false;
}

} // namespace

namespace kernel32 {

int ThreadsCreated() {
    Kernel& k = TheKernel();
    std::lock_guard<std::mutex> guard(k.lock);
    return k.created;
}

int ThreadsRunning() {
    Kernel& k = TheKernel();
    std::lock_guard<std::mutex> guard(k.lock);
    return k.running;
}

bool WaitForAllThreads(int milliseconds) {
    Kernel& k = TheKernel();
    std::unique_lock<std::mutex> guard(k.lock);
    return k.allEnded.wait_for(guard, std::chrono::milliseconds(milliseconds),
                               [&] { return k.running == 0; });
}

size_t RequestedStackSize(void* threadHandle) {
    auto thread = FindThread(threadHandle);
    return thread ? thread->requestedStack : 0;
}

void FailThreadCreation(int successes) {
    Kernel& k = TheKernel();
    std::lock_guard<std::mutex> guard(k.lock);
    k.creationsBeforeFailure = successes;
}

} // namespace kernel32

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize,
                           LPTHREAD_START_ROUTINE startAddress, LPVOID parameter,
                           DWORD creationFlags, LPDWORD threadId) {
    if (!startAddress || (creationFlags & CREATE_SUSPENDED)) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return NULL;
    }
    if (!ConsumeCreationPermit()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY_CODE);
        return NULL;
    }
    auto thread = std::make_shared<ThreadObject>();
    thread->id = nextThreadId++;
    thread->requestedStack = stackSize;
    thread->routine = startAddress;
    thread->parameter = parameter;
    Kernel& k = TheKernel();
    HANDLE handle;
    {
        std::lock_guard<std::mutex> guard(k.lock);
        handle = (HANDLE)k.nextHandle;
        k.nextHandle += 4;
        k.handles[(uintptr_t)handle] = thread;
    }
    if (!StartHostThread(thread)) {
        std::lock_guard<std::mutex> guard(k.lock);
        k.handles.erase((uintptr_t)handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY_CODE);
        return NULL;
    }
    {
        std::lock_guard<std::mutex> guard(k.lock);
        k.created++;
    }
    if (threadId) *threadId = thread->id;
    return handle;
}

void WINAPI ExitThread(DWORD exitCode) {
    auto self = CurrentThreadObject();
    {
        std::lock_guard<std::mutex> guard(self->lock);
        self->exitCode = exitCode;
    }
    // As in Windows, the last thread's end is the process's end with its code; without this
    // the initial thread's pthread_exit would leave the process exiting with status 0.
    if (IsInitialThread() && kernel32::ThreadsRunning() == 0) {
        fflush(NULL);
        exit((int)exitCode);
    }
    pthread_exit(nullptr);
}

BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    auto object = FindThread(thread);
    if (!object || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(object->lock);
    *exitCode = object->finished ? object->exitCode : STILL_ACTIVE;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto object = FindThread(handle);
    if (!object || handle == CURRENT_THREAD_PSEUDO_HANDLE) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return WAIT_FAILED;
    }
    std::unique_lock<std::mutex> guard(object->lock);
    auto done = [&] { return object->finished; };
    if (milliseconds == INFINITE) {
        object->ended.wait(guard, done);
        return WAIT_OBJECT_0;
    }
    bool ended = object->ended.wait_for(guard, std::chrono::milliseconds(milliseconds), done);
    return ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

HANDLE WINAPI GetCurrentThread(void) {
    return CURRENT_THREAD_PSEUDO_HANDLE;
}

DWORD WINAPI GetCurrentThreadId(void) {
    if (currentThreadId == 0) currentThreadId = nextThreadId++;
    return currentThreadId;
}

static bool IsThreadPriority(int priority) {
    return priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL ||
           (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST);
}

// Recorded only: the host scheduler would refuse raised priorities without privileges,
// and the program must run the same either way.
BOOL WINAPI SetThreadPriority(HANDLE thread, int priority) {
    auto object = FindThread(thread);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return FALSE;
    }
    if (!IsThreadPriority(priority)) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(object->lock);
    object->priority = priority;
    return TRUE;
}

int WINAPI GetThreadPriority(HANDLE thread) {
    auto object = FindThread(thread);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    std::lock_guard<std::mutex> guard(object->lock);
    return object->priority;
}

BOOL WINAPI CloseHandle(HANDLE object) {
    if (CloseFileHandle(object)) return TRUE;
    Kernel& k = TheKernel();
    std::lock_guard<std::mutex> guard(k.lock);
    if (k.handles.erase((uintptr_t)object) == 0) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
