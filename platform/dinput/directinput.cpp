// DirectInputCreateA and the IDirectInput object: device enumeration and creation over the
// simulated machine's input ports.
#include <dinput.h>

#include "device.h"
#include "machine/input_devices.h"
#include "machine/unsupported.h"

#include <string.h>

#include <atomic>

namespace dinput {
namespace {

const DWORD NEWEST_VERSION = 0x0500;
const DWORD OLDEST_VERSION = 0x0300;

class DirectInput : public IDirectInputA {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == NULL) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDirectInputA) {
            AddRef();
            *object = static_cast<IDirectInputA*>(this);
            return S_OK;
        }
        *object = NULL;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }

    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICEA* device,
                                           LPUNKNOWN outer) override;
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback,
                                          LPVOID ref, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID guid) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override {
        return machine::Unsupported("IDirectInput::RunControlPanel", DIERR_UNSUPPORTED);
    }
    // The object comes out of DirectInputCreateA already initialised.
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override {
        return DIERR_ALREADYINITIALIZED;
    }

private:
    std::atomic<ULONG> references{1};
};

void DescribeDevice(const machine::InputDeviceSpec& spec, DIDEVICEINSTANCEA* instance) {
    memset(instance, 0, sizeof *instance);
    instance->dwSize = sizeof *instance;
    instance->guidInstance = spec.instance;
    instance->guidProduct = spec.product;
    instance->dwDevType = spec.devType;
    strncpy(instance->tszInstanceName, spec.instanceName.c_str(), MAX_PATH - 1);
    strncpy(instance->tszProductName, spec.productName.c_str(), MAX_PATH - 1);
}

HRESULT DirectInput::CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICEA* device, LPUNKNOWN outer) {
    HRESULT failure;
    if (device == NULL) return DIERR_INVALIDPARAM;
    *device = NULL;
    if (machine::TakeInputFailure("CreateDevice", &failure)) return failure;
    if (outer != NULL) return DIERR_NOAGGREGATION;
    machine::InputDeviceSpec spec;
    if (!machine::FindInputDevice(guid, &spec)) return DIERR_DEVICENOTREG;
    *device = new Device(this, spec);
    return DI_OK;
}

HRESULT DirectInput::EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref,
                                 DWORD flags) {
    HRESULT failure;
    if (machine::TakeInputFailure("EnumDevices", &failure)) return failure;
    if (callback == NULL || (flags & ~(DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK)) ||
        devType > DIDEVTYPE_JOYSTICK)
        return DIERR_INVALIDPARAM;
    // The list is copied first: the callback may well create devices.
    for (const machine::InputDeviceSpec& spec : machine::InputDevices()) {
        if (devType != 0 && GET_DIDEVICE_TYPE(spec.devType) != devType) continue;
        if ((flags & DIEDFL_ATTACHEDONLY) && !spec.attached) continue;
        if (flags & DIEDFL_FORCEFEEDBACK) continue; // none of this machine's devices has it
        DIDEVICEINSTANCEA instance;
        DescribeDevice(spec, &instance);
        if (callback(&instance, ref) == DIENUM_STOP) break;
    }
    return DI_OK;
}

HRESULT DirectInput::GetDeviceStatus(REFGUID guid) {
    machine::InputDeviceSpec spec;
    if (!machine::FindInputDevice(guid, &spec)) return DIERR_DEVICENOTREG;
    return spec.attached ? DI_OK : DI_NOTATTACHED;
}

} // namespace
} // namespace dinput

extern "C" HRESULT WINAPI DirectInputCreateA(HINSTANCE instance, DWORD version,
                                             LPDIRECTINPUTA* directInput, LPUNKNOWN outer) {
    HRESULT failure;
    if (directInput == NULL) return DIERR_INVALIDPARAM;
    *directInput = NULL;
    if (machine::TakeInputFailure("DirectInputCreate", &failure)) return failure;
    if (outer != NULL) return DIERR_NOAGGREGATION;
    if (instance == NULL) return DIERR_INVALIDPARAM;
    if (version > dinput::NEWEST_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (version < dinput::OLDEST_VERSION) return DIERR_BETADIRECTINPUTVERSION;
    machine::ConnectInputPorts();
    *directInput = new dinput::DirectInput;
    return DI_OK;
}
