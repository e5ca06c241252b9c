// Engine tests run WinMain in-process; the main thread then runs what a test sets here.
#ifndef PRISMATEL_TEST_DEMO_HOOK_H
#define PRISMATEL_TEST_DEMO_HOOK_H

#include <functional>

void SetTestDemo(std::function<void()> demo);

#endif
