#pragma once
// What every COM object of the binding shares: the reference count (the
// object goes with its last reference) and the end of QueryInterface.
#include <unknwn.h>

#include <atomic>

namespace tovarin::archive {

class ReferenceCount {
public:
    ULONG Add() { return ++count_; }
    // Deletes `self` when the last reference goes.
    template <typename T>
    ULONG Release(T* self) {
        const ULONG left = --count_;
        if (left == 0) delete self;
        return left;
    }

private:
    std::atomic<ULONG> count_{1};  // the creator's
};

// Hands out `found` (the interface asked for, null when there is none) with a
// reference of its own.
inline HRESULT AnswerQuery(IUnknown* found, void** object) {
    *object = found;
    if (!found) return E_NOINTERFACE;
    found->AddRef();
    return S_OK;
}

}  // namespace tovarin::archive
