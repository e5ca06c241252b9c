// The demo's entry from the main thread. Until the show exists there is nothing to run.
#include "system.h"

void DemoMain() {}
