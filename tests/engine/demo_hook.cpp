// The engine library calls DemoMain from its main thread; in the engine tests it runs the
// routine the current test chose (nothing by default).
#include "demo_hook.h"

#include "system.h"

static std::function<void()> testDemo;

void SetTestDemo(std::function<void()> demo) {
    testDemo = std::move(demo);
}

void DemoMain() {
    if (testDemo) testDemo();
}
