#include "skin/accessible_form.h"

#include <atomic>

#include "common/system_library.h"

namespace tovarin::skin {
namespace {

BSTR Bstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

HRESULT TextResult(const std::wstring& text, bool present, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!present) return S_FALSE;
    *out = Bstr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

void SetChild(VARIANT* v, LONG id) {
    v->vt = VT_I4;
    v->lVal = id;
}

// The client object: child id 0 is the window's client area, 1..n the items.
class ClientObject final : public IAccessible {
public:
    explicit ClientObject(AccessibleSource& source) : source_(&source) {}
    void Disconnect() { source_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --count_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: clients call the interface directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!source_) return CO_E_OBJNOTCONNECTED;
        const OleaccFunctions* oleacc = Oleacc();
        if (!oleacc) return S_FALSE;
        return oleacc->AccessibleObjectFromWindow(source_->Window(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                          reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        if (!source_) return CO_E_OBJNOTCONNECTED;
        *count = static_cast<LONG>(source_->Items().size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        const HRESULT hr = Check(child);
        // Every item is a simple element: no object of its own.
        return FAILED(hr) ? hr : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return Answer(child, name, [&](const AccessibleItem* item) {
            if (item) return TextResult(item->name, true, name);
            wchar_t title[256] = {};
            const int n = GetWindowTextW(source_->Window(), title, 256);
            return TextResult(std::wstring(title, n > 0 ? n : 0), true, name);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Answer(child, value, [&](const AccessibleItem* item) {
            return TextResult(item ? item->value : std::wstring(), item && item->hasValue, value);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return Answer(child, text, [&](const AccessibleItem*) { return TextResult({}, false, text); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return Answer(child, role, [&](const AccessibleItem* item) {
            SetChild(role, item ? item->role : source_->WindowRole());
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return Answer(child, state, [&](const AccessibleItem* item) {
            LONG s = item ? item->state : STATE_SYSTEM_FOCUSABLE;
            if (!item && GetFocus() == source_->Window()) s |= STATE_SYSTEM_FOCUSED;
            SetChild(state, s);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return Answer(child, help, [&](const AccessibleItem*) { return TextResult({}, false, help); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return Answer(child, keys, [&](const AccessibleItem*) { return TextResult({}, false, keys); });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        VariantInit(focus);
        if (!source_) return CO_E_OBJNOTCONNECTED;
        const int item = source_->FocusedItem();
        if (item >= 0) {
            SetChild(focus, item + 1);
        } else if (GetFocus() == source_->Window()) {
            SetChild(focus, CHILDID_SELF);
        } else {
            return S_FALSE;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection) return E_POINTER;
        VariantInit(selection);
        return source_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return Answer(child, action, [&](const AccessibleItem* item) {
            return TextResult(item ? item->action : std::wstring(), item && !item->action.empty(), action);
        });
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        return Answer(child, left, [&](const AccessibleItem* item) {
            RECT r{};
            if (item) {
                r = item->bounds;
            } else {
                GetClientRect(source_->Window(), &r);
            }
            POINT origin{0, 0};
            ClientToScreen(source_->Window(), &origin);
            *left = r.left + origin.x;
            *top = r.top + origin.y;
            *width = r.right - r.left;
            *height = r.bottom - r.top;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        VariantInit(end);
        const HRESULT hr = Check(start);
        if (FAILED(hr)) return hr;
        const LONG count = static_cast<LONG>(source_->Items().size());
        const LONG from = start.lVal;
        LONG to = 0;
        if (direction == NAVDIR_FIRSTCHILD && from == CHILDID_SELF) to = 1;
        if (direction == NAVDIR_LASTCHILD && from == CHILDID_SELF) to = count;
        if (direction == NAVDIR_NEXT && from != CHILDID_SELF) to = from + 1;
        if (direction == NAVDIR_PREVIOUS && from != CHILDID_SELF) to = from - 1;
        if (to < 1 || to > count) return S_FALSE;
        SetChild(end, to);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (!hit) return E_POINTER;
        VariantInit(hit);
        if (!source_) return CO_E_OBJNOTCONNECTED;
        POINT p{x, y};
        ScreenToClient(source_->Window(), &p);
        RECT client{};
        GetClientRect(source_->Window(), &client);
        if (!PtInRect(&client, p)) return S_FALSE;
        const std::vector<AccessibleItem> items = source_->Items();
        for (std::size_t i = items.size(); i-- > 0;) {
            if (!(items[i].state & STATE_SYSTEM_INVISIBLE) && PtInRect(&items[i].bounds, p)) {
                SetChild(hit, static_cast<LONG>(i + 1));
                return S_OK;
            }
        }
        SetChild(hit, CHILDID_SELF);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        const HRESULT hr = Check(child);
        if (FAILED(hr)) return hr;
        if (child.lVal == CHILDID_SELF || source_->Items()[static_cast<std::size_t>(child.lVal - 1)].action.empty()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        source_->DoDefaultAction(static_cast<int>(child.lVal - 1));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~ClientObject() = default;

    // S_OK for the window itself or an existing item.
    HRESULT Check(const VARIANT& child) const {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (child.lVal == CHILDID_SELF) return S_OK;
        const LONG count = static_cast<LONG>(source_->Items().size());
        return child.lVal >= 1 && child.lVal <= count ? S_OK : E_INVALIDARG;
    }

    // Runs `get` with the item asked for (null: the window itself). Nothing
    // may be thrown through COM.
    template <typename Out, typename Get>
    HRESULT Answer(const VARIANT& child, Out* out, Get get) {
        if (!out) return E_POINTER;
        const HRESULT hr = Check(child);
        if (FAILED(hr)) return hr;
        try {
            if (child.lVal == CHILDID_SELF) return get(nullptr);
            const std::vector<AccessibleItem> items = source_->Items();
            return get(&items[static_cast<std::size_t>(child.lVal - 1)]);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    AccessibleSource* source_;
    std::atomic<ULONG> count_{1};
};

}  // namespace

FormAccessible::~FormAccessible() {
    if (!object_) return;
    static_cast<ClientObject*>(object_.get())->Disconnect();
    CoDisconnectObject(object_.get(), 0);
}

bool FormAccessible::Answer(WPARAM wp, LPARAM lp, LRESULT& result) {
    if (static_cast<LONG>(lp) != OBJID_CLIENT) return false;
    const OleaccFunctions* oleacc = Oleacc();
    if (!oleacc) return false;
    if (!object_) object_ = ComPtr<IAccessible>::Attach(new ClientObject(source_));
    result = oleacc->LresultFromObject(__uuidof(IAccessible), wp, object_.get());
    return true;
}

namespace {

ComPtr<IAccPropServices> Annotations() {
    ComPtr<IAccPropServices> services;
    CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices, services.put_void());
    return services;
}

}  // namespace

bool NameChildWindow(HWND child, const std::wstring& name) {
    const ComPtr<IAccPropServices> services = Annotations();
    return services && SUCCEEDED(services->SetHwndPropStr(child, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                                          PROPID_ACC_NAME, name.c_str()));
}

void UnnameChildWindow(HWND child) {
    const ComPtr<IAccPropServices> services = Annotations();
    const MSAAPROPID name = PROPID_ACC_NAME;
    if (services) services->ClearHwndProps(child, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &name, 1);
}

void NotifyItem(DWORD event, HWND window, int index) {
    if (window) NotifyWinEvent(event, window, OBJID_CLIENT, index + 1);
}

}  // namespace tovarin::skin
