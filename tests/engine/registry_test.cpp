// The device registry: priority and tie rules, exact slots, misuse, and deletion order.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "system.h"

namespace {

std::vector<int> deleted;

class TestDevice : public sDevice {
public:
    TestDevice(int kind, int priorityValue, bool setPriority = true) : kind(kind) {
        if (setPriority) priority = priorityValue;
        RegisterDevice(kind, this);
    }
    ~TestDevice() override { deleted.push_back(kind); }
    int kind;
};

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        ClearDevices();
        deleted.clear();
    }
    void TearDown() override { DeleteDevices(); }
};

TEST_F(Registry, EmptyKindHasNoBestDevice) {
    for (int kind = 0; kind < DEVICE_KINDS; kind++) EXPECT_EQ(GetDevice(kind, -1), nullptr);
}

TEST_F(Registry, HigherPriorityWinsAndTiesKeepTheLowerSlot) {
    TestDevice* low = new TestDevice(DK_POINTER, 5);
    TestDevice* high = new TestDevice(DK_POINTER, 10);
    EXPECT_EQ(GetDevice(DK_POINTER, -1), high);
    TestDevice* equal = new TestDevice(DK_POINTER, 10);
    EXPECT_EQ(GetDevice(DK_POINTER, -1), high) << "a tie keeps the lower slot";
    EXPECT_EQ(GetDevice(DK_POINTER, 0), low);
    EXPECT_EQ(GetDevice(DK_POINTER, 2), equal);
    EXPECT_EQ(GetDevice(DK_POINTER, 3), nullptr);
}

TEST_F(Registry, NegativePrioritiesStillCount) {
    TestDevice* a = new TestDevice(DK_DISPLAY, -3);
    new TestDevice(DK_DISPLAY, -7);
    EXPECT_EQ(GetDevice(DK_DISPLAY, -1), a);
}

TEST_F(Registry, DevicesThatSetNoPriorityRankZeroAndFirstWins) {
    TestDevice* first = new TestDevice(DK_KEYBOARD, 0, false);
    new TestDevice(DK_KEYBOARD, 0, false);
    EXPECT_EQ(first->priority, 0);
    EXPECT_EQ(first->name[0], 0) << "the name starts empty";
    EXPECT_EQ(GetDevice(DK_KEYBOARD, -1), first);
    TestDevice* ranked = new TestDevice(DK_KEYBOARD, 1);
    EXPECT_EQ(GetDevice(DK_KEYBOARD, -1), ranked);
}

TEST_F(Registry, DeletionGoesKindByKindThroughTheBaseClass) {
    new TestDevice(DK_CDAUDIO, 0, false);
    new TestDevice(DK_KEYBOARD, 0, false);
    new TestDevice(DK_DISPLAY, 10);
    new TestDevice(DK_POINTER, 10);
    new TestDevice(DK_KEYBOARD, 0, false);
    DeleteDevices();
    EXPECT_EQ(deleted,
              (std::vector<int>{DK_DISPLAY, DK_POINTER, DK_KEYBOARD, DK_KEYBOARD, DK_CDAUDIO}));
    EXPECT_EQ(GetDevice(DK_DISPLAY, -1), nullptr) << "nothing can find a deleted device";
    DeleteDevices();
    EXPECT_EQ(deleted.size(), 5u) << "a second shut-down deletes nothing twice";
}

// ---- misuse is fatal: each check ends its thread through Fatal -----------------------------

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

std::atomic<bool> returned{false};

DWORD WINAPI RegisterFifth(LPVOID) {
    for (int i = 0; i < 5; i++) new TestDevice(DK_DISPLAY, i);
    returned = true;
    return 0;
}
DWORD WINAPI RegisterBadKind(LPVOID) {
    static sDevice d;
    RegisterDevice(5, &d);
    returned = true;
    return 0;
}
DWORD WINAPI LookUpBadKind(LPVOID) {
    GetDevice(-1, -1);
    returned = true;
    return 0;
}
DWORD WINAPI LookUpBadSlot(LPVOID) {
    GetDevice(DK_DISPLAY, 4);
    returned = true;
    return 0;
}

class RegistryMisuse : public Registry,
                       public ::testing::WithParamInterface<LPTHREAD_START_ROUTINE> {};

TEST_P(RegistryMisuse, EndsTheThreadWithAnAssertion) {
    StartHeadlessMachine(0);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "Target";
    RegisterClassA(&wc);
    mainWindow = CreateWindowExA(0, "Target", "", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    fatalMessage[0] = 0;
    returned = false;
    HANDLE t = CreateThread(NULL, 65536, GetParam(), NULL, 0, NULL);
    ASSERT_EQ(WaitForSingleObject(t, 5000), (DWORD)WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    EXPECT_EQ(code, 666u);
    EXPECT_FALSE(returned);
    std::string message = fatalMessage;
    EXPECT_EQ(message.rfind("Fatal:Assertion in line ", 0), 0u) << message;
    EXPECT_NE(message.find("registry.cpp"), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(Registry, RegistryMisuse,
                         ::testing::Values(RegisterFifth, RegisterBadKind, LookUpBadKind,
                                           LookUpBadSlot));

TEST_F(Registry, TheFifthDeviceIsNotStored) {
    StartHeadlessMachine(0);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "Target";
    RegisterClassA(&wc);
    mainWindow = CreateWindowExA(0, "Target", "", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    HANDLE t = CreateThread(NULL, 65536, RegisterFifth, NULL, 0, NULL);
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
    for (int slot = 0; slot < DEVICE_SLOTS; slot++)
        EXPECT_EQ(static_cast<TestDevice*>(GetDevice(DK_DISPLAY, slot))->priority, slot);
    EXPECT_EQ(GetDevice(DK_DISPLAY, -1), GetDevice(DK_DISPLAY, 3));
}

} // namespace
