#include "platform/window_class.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32_error.h"

namespace {

struct Registration {
    HINSTANCE instance;
    std::wstring name;
    WNDPROC procedure;
    int owners;
};

std::mutex registrationsLock;
std::vector<Registration> registrations;

// Class names compare without regard to case, as Windows compares them.
Registration* find(HINSTANCE instance, const wchar_t* name) noexcept
{
    for (Registration& registration : registrations) {
        if (registration.instance == instance &&
            CompareStringOrdinal(registration.name.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL)
            return &registration;
    }
    return nullptr;
}

} // namespace

HRESULT acquireWindowClass(HINSTANCE instance, const WindowClassDescription& description, WNDPROC procedure) noexcept
{
    if (!description.name)
        return E_INVALIDARG;
    const std::lock_guard<std::mutex> lock(registrationsLock);
    // A class whose unregistration failed (its windows still lived) is kept, with no owner.
    if (Registration* registration = find(instance, description.name)) {
        if (registration->procedure != procedure)
            return HRESULT_FROM_WIN32(ERROR_CLASS_ALREADY_EXISTS);
        ++registration->owners;
        return S_OK;
    }
    try {
        registrations.reserve(registrations.size() + 1);
        Registration registration{instance, description.name, procedure, 1};
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = description.style;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = description.cursor;
        windowClass.lpszClassName = description.name;
        if (RegisterClassExW(&windowClass) == 0)
            return failureFromLastError();
        registrations.push_back(std::move(registration)); // cannot throw after the reserve
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void releaseWindowClass(HINSTANCE instance, const wchar_t* name) noexcept
{
    const std::lock_guard<std::mutex> lock(registrationsLock);
    Registration* registration = find(instance, name);
    if (!registration || --registration->owners > 0)
        return;
    if (UnregisterClassW(name, instance))
        registrations.erase(registrations.begin() + (registration - registrations.data()));
}
