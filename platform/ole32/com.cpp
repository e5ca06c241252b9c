// COM start-up: the library counts its initialisations per thread.
#include <windows.h>

extern "C" const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {
thread_local int comInitialisations = 0;
}

extern "C" {

HRESULT WINAPI CoInitialize(LPVOID) {
    // The first call on a thread starts the library; later ones only count.
    return comInitialisations++ == 0 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize(void) {
    if (comInitialisations > 0) comInitialisations--;
}

} // extern "C"
