#include "platform/win32/accessible_name.h"

#include <initguid.h>
#include <oleacc.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vindle {
namespace {

// The system's annotation service, released at the end of the scope.
class AccPropServices {
  public:
    AccPropServices() {
        CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                         reinterpret_cast<void**>(&m_services));
    }
    ~AccPropServices() {
        if (m_services != nullptr) {
            m_services->Release();
        }
    }
    AccPropServices(const AccPropServices&) = delete;
    AccPropServices& operator=(const AccPropServices&) = delete;

    IAccPropServices* operator->() const { return m_services; }
    explicit operator bool() const { return m_services != nullptr; }

  private:
    IAccPropServices* m_services = nullptr;
};

std::vector<HWND> ChildrenLeftToRight(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    std::sort(children.begin(), children.end(), [](HWND a, HWND b) {
        RECT ra{};
        RECT rb{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return children;
}

}  // namespace

bool SetAccessibleName(HWND control, const wchar_t* name) {
    const AccPropServices services;
    if (!services) {
        return false;
    }
    return SUCCEEDED(services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT),
                                              CHILDID_SELF, PROPID_ACC_NAME, name));
}

void SetIpAddressAccessibleNames(HWND control, const wchar_t* name) {
    SetAccessibleName(control, name);
    const std::vector<HWND> parts = ChildrenLeftToRight(control);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::wstring partName = std::wstring(name) + L", part " + std::to_wstring(i + 1) +
                                      L" of " + std::to_wstring(parts.size());
        SetAccessibleName(parts[i], partName.c_str());
    }
}

void ClearAccessibleNames(HWND control) {
    const AccPropServices services;
    if (!services) {
        return;
    }
    MSAAPROPID name = PROPID_ACC_NAME;
    services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &name, 1);
    for (HWND child = GetWindow(control, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        services->ClearHwndProps(child, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &name, 1);
    }
}

}  // namespace vindle
