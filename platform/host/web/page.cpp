// The calls into the page. The program's threads are Web Workers without the page's DOM:
// each call runs on the page's thread, queued (the caller goes on) unless it passes strings,
// which must outlive the call.
#include "page.h"

#include <emscripten.h>
#include <stdio.h>

namespace host {
namespace web {
namespace page {

void Draw(const uint8_t* rgba, int width, int height, int64_t frame, int64_t sequence) {
    // Copied out of the program's memory as the call runs, before the page draws it.
    MAIN_THREAD_ASYNC_EM_ASM(
        {
            var pixels = new Uint8ClampedArray(HEAPU8.subarray($0, $0 + $1 * $2 * 4));
            Module.prismatelPage.draw(pixels, $1, $2, $3, $4);
        },
        rgba, width, height, (double)frame, (double)sequence);
}

void SetCursorVisible(bool visible) {
    MAIN_THREAD_ASYNC_EM_ASM({ Module.prismatelPage.showCursor($0 != 0); }, visible);
}

void ShowMessage(const char* caption, const char* text, bool warning) {
    fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    MAIN_THREAD_EM_ASM({ Module.prismatelPage.message(UTF8ToString($0), UTF8ToString($1), $2); },
                       caption ? caption : "", text ? text : "", warning);
}

void StartSound() {
    MAIN_THREAD_ASYNC_EM_ASM({ Module.prismatelPage.startSound(); });
}

} // namespace page
} // namespace web
} // namespace host
