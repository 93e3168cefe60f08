#pragma once
// The component object library on this thread, single-threaded apartment,
// for as long as the scope lasts; a thread that already had it keeps it.
#include <objbase.h>

namespace tovarin {

class ComApartment {
public:
    ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT hr_;
};

}  // namespace tovarin
