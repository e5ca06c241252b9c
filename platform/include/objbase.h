// COM basics: IUnknown and library start-up.
#ifndef PRISMATEL_OBJBASE_H
#define PRISMATEL_OBJBASE_H

#include <windows.h>

#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define PURE = 0
#define THIS_
#define THIS void
#define DECLARE_INTERFACE(iface) struct iface
#define DECLARE_INTERFACE_(iface, base) struct iface : public base

#ifdef __cplusplus
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
    virtual ~IUnknown() {}
};
typedef IUnknown* LPUNKNOWN;

// DEFINE_GUID declares the name; with INITGUID defined it also defines it.
#ifdef INITGUID
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                              \
    extern "C" const GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#else
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) extern "C" const GUID name
#endif

extern "C" const IID IID_IUnknown;

extern "C" {
#endif

HRESULT WINAPI CoInitialize(LPVOID reserved);
void WINAPI CoUninitialize(void);

#ifdef __cplusplus
}
#endif

#endif
