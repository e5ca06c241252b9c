// User: system metrics, window rectangle arithmetic, stock resources and message boxes.
#include <windows.h>

#include <stdio.h>

#include "host/host.h"
#include "machine/machine.h"

namespace {

// The classic Windows metrics of a 1998 desktop.
const int CAPTION_HEIGHT = 19;
const int MENU_HEIGHT = 19;
const int BORDER = 1;
const int DIALOG_FRAME = 3;
const int SIZING_FRAME = 4;
const DWORD WS_DLGFRAME_BIT = 0x00400000L;

const int SM_CXBORDER_INDEX = 5;
const int SM_CYBORDER_INDEX = 6;
const int SM_CXDLGFRAME_INDEX = 7;
const int SM_CYDLGFRAME_INDEX = 8;
const int SM_CYMENU_INDEX = 15;
const int SM_CXFRAME_INDEX = 32;
const int SM_CYFRAME_INDEX = 33;

const uintptr_t CURSOR_HANDLE_BASE = 0x20000;
const uintptr_t STOCK_OBJECT_BASE = 0x30000;
const int LAST_STOCK_OBJECT = 19;

int FrameWidth(DWORD style) {
    if (style & WS_THICKFRAME) return SIZING_FRAME;
    if (style & WS_DLGFRAME_BIT) return DIALOG_FRAME;
    if (style & WS_BORDER) return BORDER;
    return 0;
}

} // namespace

extern "C" {

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN: return machine::ScreenWidth();
    case SM_CYSCREEN: return machine::ScreenHeight();
    case SM_CYCAPTION: return CAPTION_HEIGHT;
    case SM_CXBORDER_INDEX:
    case SM_CYBORDER_INDEX: return BORDER;
    case SM_CXDLGFRAME_INDEX:
    case SM_CYDLGFRAME_INDEX: return DIALOG_FRAME;
    case SM_CYMENU_INDEX: return MENU_HEIGHT;
    case SM_CXFRAME_INDEX:
    case SM_CYFRAME_INDEX: return SIZING_FRAME;
    default: return 0;
    }
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD) {
    if (!rect) return FALSE;
    int frame = FrameWidth(style);
    rect->left -= frame;
    rect->right += frame;
    rect->top -= frame;
    rect->bottom += frame;
    if ((style & WS_CAPTION) == WS_CAPTION) rect->top -= CAPTION_HEIGHT;
    if (menu) rect->top -= MENU_HEIGHT;
    return TRUE;
}

// System cursors are identified by their resource number (IDC_ARROW is 32512).
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    uintptr_t id = (uintptr_t)cursorName;
    if (instance != NULL || id < 32512 || id > 32767) return NULL;
    return (HCURSOR)(CURSOR_HANDLE_BASE + id);
}

HGDIOBJ WINAPI GetStockObject(int object) {
    if (object < 0 || object > LAST_STOCK_OBJECT) return NULL;
    return (HGDIOBJ)(STOCK_OBJECT_BASE + (uintptr_t)object);
}

// Always written to standard error so that a run without a display still tells why it
// ended; shown on the host's desktop where there is one (the headless host has none).
int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    const char* shownCaption = caption ? caption : "Error";
    const char* shownText = text ? text : "";
    machine::RecordMessageBox(shownCaption, shownText);
    fprintf(stderr, "[%s] %s\n", shownCaption, shownText);
    fflush(stderr);
    host::Current().window->ShowMessageBox(shownCaption, shownText,
                                           (type & 0xF0) != MB_ICONINFORMATION);
    return IDOK;
}

} // extern "C"
