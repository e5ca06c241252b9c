// spin: the engine's 3D path on its own. Sets 640 x 480 in 16 bits with a Z-buffer and
// Direct3D, and turns a textured, lit cube inside a translucent shell until Escape.
#include "bitmap.h"
#include "display.h"
#include "input/input.h"
#include "spin.h"

namespace {

const uint32_t KEY_ESCAPE_CODE = 27;
const float TURNS_PER_SECOND_YAW = 0.15f;
const float TURNS_PER_SECOND_PITCH = 0.07f;
const float TWO_PI = 6.2831853f;

void SetUpScreen(sDisplay& display) {
    sDisplayMode request(640, 480, BK_0565);
    request.hasZBuffer = true;
    request.has3D = true;
    ASSERT(display.FindMode(request));
    request.hasZBuffer = true;
    request.has3D = true;
    display.SetDisplayMode(request);
}

sPose PoseAt(int64_t microseconds) {
    float seconds = (float)((double)microseconds * 1e-6);
    return sPose{seconds * TURNS_PER_SECOND_YAW * TWO_PI + 0.6f,
                 seconds * TURNS_PER_SECOND_PITCH * TWO_PI + 0.4f};
}

} // namespace

void DemoMain() {
    sDisplay& display = *(sDisplay*)GetDevice(DK_DISPLAY, -1);
    sKeyboard& keyboard = *(sKeyboard*)GetDevice(DK_KEYBOARD, -1);
    SetUpScreen(display);
    sDisplayMode mode;
    display.GetDisplayMode(mode);

    static sTexture prism;
    MakePrismTexture(prism);
    display.AddTexture(&prism);
    display.PrepareTextures(mode);
    display.UploadTextures();

    const sCamera camera = {mode.width * 0.5f, mode.height * 0.5f, mode.height * 0.9f, 6.0f};
    int64_t start = GetMicroseconds();
    for (;;) {
        display.BeginFrame(nullptr);
        display.Begin3D(nullptr);
        DrawBackdrop(display, mode.width, mode.height);
        DrawSolid(display, prism, camera, PoseAt(GetMicroseconds() - start));
        display.End3D();
        display.EndFrame();
        if (keyboard.ReadKey() == KEY_ESCAPE_CODE) break;
    }

    display.FreeTextures();
    display.RemoveTexture(&prism);
}
