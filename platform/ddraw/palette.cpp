// DirectDraw palettes: 256 entries, of which the first and the last stay the system's black
// and white unless the palette was created with DDPCAPS_ALLOW256.
#include "surface.h"

#include <string.h>

namespace ddsoft {

Palette::Palette(DWORD paletteCaps, const PALETTEENTRY* initial) : caps(paletteCaps) {
    memcpy(entries, initial, sizeof(entries));
    // Without DDPCAPS_ALLOW256 the first and last entries stay the system's black and white.
    if (!(caps & DDPCAPS_ALLOW256)) {
        entries[0] = PALETTEENTRY{0, 0, 0, 0};
        entries[255] = PALETTEENTRY{255, 255, 255, 0};
    }
}

HRESULT Palette::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDirectDrawPalette) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IDirectDrawPalette*>(this);
    return S_OK;
}

ULONG Palette::AddRef() {
    return ++refs;
}

ULONG Palette::Release() {
    ULONG left = --refs;
    if (!left) delete this;
    return left;
}

HRESULT Palette::GetCaps(LPDWORD out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = caps;
    return DD_OK;
}

HRESULT Palette::GetEntries(DWORD, DWORD base, DWORD count, LPPALETTEENTRY out) {
    if (!out || base > 256 || count > 256 - base) return DDERR_INVALIDPARAMS;
    memcpy(out, entries + base, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

HRESULT Palette::Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY) {
    return DDERR_ALREADYINITIALIZED;
}

HRESULT Palette::SetEntries(DWORD, DWORD start, DWORD count, LPPALETTEENTRY in) {
    if (!in || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
    for (DWORD i = 0; i < count; i++) {
        DWORD at = start + i;
        if (!(caps & DDPCAPS_ALLOW256) && (at == 0 || at == 255)) continue;
        entries[at] = in[i];
    }
    return DD_OK;
}

} // namespace ddsoft
