// COM for the Windows Imaging Component, in the Win32 build only: an interface pointer that
// releases itself, and COM started for the calling thread for as long as a scope lasts (the
// console converts on several threads, each of which needs it).
#pragma once

#include <objbase.h>
#include <wincodec.h>

#include <memory>

struct ComRelease {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using Com = std::unique_ptr<T, ComRelease>;

class ComScope {
 public:
  ComScope() : started_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(started_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

  // A thread already started in another apartment serves as well.
  bool usable() const { return SUCCEEDED(started_) || started_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT started_;
};

inline Com<IWICImagingFactory> make_imaging_factory() {
  IWICImagingFactory* factory = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory))))
    return nullptr;
  return Com<IWICImagingFactory>(factory);
}
