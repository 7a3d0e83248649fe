#pragma once
// Reference counting shared by the stand-in's objects; the count of live
// objects lets a test see that the host released everything it obtained.
#include <windows.h>

#include "standin.h"

namespace standin {

extern volatile LONG liveObjects;

template <typename Interface>
class ComObject : public Interface {
public:
    explicit ComObject(const char* kind) : kind_(kind) { ::InterlockedIncrement(&liveObjects); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) {
            ::InterlockedDecrement(&liveObjects);
            recordDestroyed(kind_, typeName());
            delete this;
        }
        return static_cast<ULONG>(left);
    }

protected:
    virtual ~ComObject() = default;
    virtual std::wstring typeName() const { return std::wstring(); }

    // QueryInterface for IUnknown and the object's own interface id(s).
    HRESULT answer(REFIID riid, void** object, REFIID own, REFIID other = IID_NULL) {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == own || (other != IID_NULL && riid == other)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    HRESULT unexpected(const char* method) {
        Record("Unexpected").text("object", kind_).text("method", method).write();
        return E_NOTIMPL;
    }

    const char* kind_;

private:
    LONG refs_ = 1;
};

}  // namespace standin
