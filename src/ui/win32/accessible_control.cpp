#include "ui/win32/accessible_control.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <utility>

namespace korvex::ui {

namespace {

// Spelled out: with mingw-w64, IID_IAccessible from liboleacc.a is an import thunk, not the GUID,
// and every query for it would fail.
constexpr GUID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr UINT_PTR kAccessibleSubclass = 2;
// The control's object, for renameAccessible(); mingw-w64 has no import of GetWindowSubclass.
constexpr wchar_t kObjectProperty[] = L"korvex.accessible";
constexpr int kMaxText = 1024;  // a value box's text is read up to here

long liveObjects = 0;

bool isSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT answer(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The control's answers: its name, role, description and value; every other question goes to the
// system's standard object for the control, which knows its state, place and children.
class ControlAccessible final : public IAccessible {
public:
    ControlAccessible(HWND control, AccessibleText text) : control_(control), text_(std::move(text)) {
        InterlockedIncrement(&liveObjects);
    }
    ControlAccessible(const ControlAccessible&) = delete;
    ControlAccessible& operator=(const ControlAccessible&) = delete;

    // The standard object is made at the first question, while the control exists.
    bool connect() {
        if (!standard_ && control_)
            CreateStdAccessibleObject(control_, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&standard_));
        return standard_ != nullptr;
    }
    // The control is being destroyed: from now on every question fails, and clients in other
    // processes are let go, so that their references cannot keep this alive.
    void disconnect() {
        control_ = nullptr;
        if (standard_) std::exchange(standard_, nullptr)->Release();
        CoDisconnectObject(static_cast<IAccessible*>(this), 0);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        // Only what this object is: any other interface would be the standard object's, which
        // would answer its own name and role for it.
        if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IDispatch)) ||
            IsEqualIID(iid, kIidAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // No type information: clients call IAccessible directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // Asked for on the control's thread, as every question is (the object lives in its apartment).
    void rename(std::wstring name) { text_.name = std::move(name); }
    const std::wstring& name() const { return text_.name; }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!standard_) return CO_E_OBJNOTCONNECTED;
        if (isSelf(child) && !text_.name.empty()) return answer(text_.name, name);
        return standard_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!standard_) return CO_E_OBJNOTCONNECTED;
        if (!isSelf(child)) return standard_->get_accRole(child, role);
        if (!role) return E_POINTER;
        VariantInit(role);
        role->vt = VT_I4;
        role->lVal = text_.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (!standard_) return CO_E_OBJNOTCONNECTED;
        if (isSelf(child) && !text_.description.empty()) return answer(text_.description, description);
        return standard_->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!standard_) return CO_E_OBJNOTCONNECTED;
        if (!isSelf(child) || !text_.valueIsText) return standard_->get_accValue(child, value);
        wchar_t text[kMaxText] = {};
        const int length = std::clamp(GetWindowTextW(control_, text, kMaxText), 0, kMaxText - 1);
        return answer(std::wstring(text, static_cast<std::size_t>(length)), value);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return standard_ ? standard_->get_accParent(parent) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return standard_ ? standard_->get_accChildCount(count) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return standard_ ? standard_->get_accChild(child, out) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return standard_ ? standard_->get_accState(child, state) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_ ? standard_->get_accHelp(child, help) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_ ? standard_->get_accHelpTopic(file, child, topic) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_ ? standard_->get_accKeyboardShortcut(child, shortcut) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        return standard_ ? standard_->get_accFocus(focus) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return standard_ ? standard_->get_accSelection(selection) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_ ? standard_->get_accDefaultAction(child, action) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard_ ? standard_->accSelect(flags, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        return standard_ ? standard_->accLocation(left, top, width, height, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_ ? standard_->accNavigate(direction, start, end) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return standard_ ? standard_->accHitTest(x, y, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_ ? standard_->accDoDefaultAction(child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~ControlAccessible() {
        if (standard_) standard_->Release();
        InterlockedDecrement(&liveObjects);
    }

    LONG references_ = 1;  // the control's own, until it is destroyed
    HWND control_;
    AccessibleText text_;
    IAccessible* standard_ = nullptr;
};

LRESULT CALLBACK accessibleProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* object = reinterpret_cast<ControlAccessible*>(data);
    if (message == WM_GETOBJECT && static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT && object->connect())
        return LresultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(object));
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(control, accessibleProc, kAccessibleSubclass);
        RemovePropW(control, kObjectProperty);
        object->disconnect();
        object->Release();  // the control's reference; a client's keeps it a while longer
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void makeAccessible(HWND control, AccessibleText text) {
    auto* object = new ControlAccessible(control, std::move(text));
    if (!SetWindowSubclass(control, accessibleProc, kAccessibleSubclass, reinterpret_cast<DWORD_PTR>(object)))
        object->Release();
    else SetPropW(control, kObjectProperty, object);
}

void renameAccessible(HWND control, std::wstring name) {
    auto* object = static_cast<ControlAccessible*>(GetPropW(control, kObjectProperty));
    if (!object) return;
    if (object->name() == name) return;
    object->rename(std::move(name));
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}

long liveAccessibleObjects() { return InterlockedCompareExchange(&liveObjects, 0, 0); }

ComApartment::ComApartment() {
    // S_FALSE: already joined on this thread, which still counts one more.
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    joined_ = SUCCEEDED(result);
}

ComApartment::~ComApartment() {
    if (joined_) CoUninitialize();
}

}  // namespace korvex::ui
