// A DirectInput device object over one of the simulated machine's input devices.
#ifndef PRISMATEL_DINPUT_DEVICE_H
#define PRISMATEL_DINPUT_DEVICE_H

#include <dinput.h>

#include "machine/input_devices.h"

#include <atomic>
#include <deque>

namespace dinput {

// Which standard format the program chose; the device writes its state in that layout.
enum DataFormat { FORMAT_NONE, FORMAT_KEYBOARD, FORMAT_MOUSE, FORMAT_JOYSTICK };

// Recognises the standard formats (the library's own tables or copies of them).
DataFormat IdentifyFormat(const DIDATAFORMAT* format);

class Device : public IDirectInputDeviceA, private machine::InputListener {
public:
    Device(IDirectInputA* parent, const machine::InputDeviceSpec& spec);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS caps) override;
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, LPVOID ref,
                                          DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID property, LPDIPROPHEADER header) override;
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property, LPCDIPROPHEADER header) override;
    HRESULT STDMETHODCALLTYPE Acquire() override;
    HRESULT STDMETHODCALLTYPE Unacquire() override;
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override;
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD objectDataSize, LPDIDEVICEOBJECTDATA data,
                                            LPDWORD inOut, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override;
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE event) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA object, DWORD obj,
                                            DWORD how) override;
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA instance) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND owner, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE instance, DWORD version, REFGUID guid) override;

private:
    ~Device() override;

    void OnInput(const machine::InputEvent& event) override;
    void OnForegroundLost() override;

    int Type() const { return GET_DIDEVICE_TYPE(spec.devType); }
    bool WantsEvent(const machine::InputEvent& event) const;
    void Buffer(DWORD offset, DWORD data, const machine::InputEvent& event);
    void DropAcquisition();
    HRESULT NotAcquiredResult() const;
    HRESULT SetDwordProperty(REFGUID property, const DIPROPDWORD* value);
    void WriteKeyboardState(BYTE* out) const;
    void WriteMouseState(DIMOUSESTATE* out);
    void WriteJoystickState(DIJOYSTATE* out) const;

    std::atomic<ULONG> references{1};
    IDirectInputA* parent;
    machine::InputDeviceSpec spec;

    // Guarded by machine::InputLock().
    DWORD cooperativeFlags = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    DataFormat format = FORMAT_NONE;
    DWORD bufferSize = 0;
    DWORD axisMode = DIPROPAXISMODE_REL;
    bool acquired = false;
    bool lost = false; // taken away by a foreground change since the last call
    std::deque<DIDEVICEOBJECTDATA> buffer;
    bool overflowed = false;
    LONG mouseAxes[3] = {0, 0, 0}; // absolute: since acquisition; relative: since last read
};

} // namespace dinput

#endif
