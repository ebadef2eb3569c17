// The one owner template: what it closes, when, and that a move hands the handle over.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "platform/unique_handle.h"

namespace {

bool isOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHandle, ClosesOnceWhenItGoesAndNeverAfterAMove)
{
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, raw);
    {
        UniqueKernelHandle first(raw);
        UniqueKernelHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(raw, second.get());
        UniqueKernelHandle third;
        third = std::move(second);
        EXPECT_TRUE(isOpen(raw));
    }
    EXPECT_FALSE(isOpen(raw));
}

TEST(UniqueHandle, ResetClosesTheOldAndReleaseGivesUp)
{
    const HANDLE one = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE two = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    UniqueKernelHandle owner(one);
    owner.reset(two);
    EXPECT_FALSE(isOpen(one));
    const HANDLE released = owner.release();
    EXPECT_EQ(two, released);
    EXPECT_FALSE(owner);
    EXPECT_TRUE(isOpen(two));
    CloseHandle(released);
}

TEST(UniqueHandle, AFileOwnerTakesTheFailedOpenAsEmpty)
{
    const UniqueFile missing(CreateFileW(L"C:\\no such folder\\no such file", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(missing);
    EXPECT_EQ(INVALID_HANDLE_VALUE, missing.get());
}

TEST(UniqueHandle, PutHandsOutTheSlotOfAnEmptyOwner)
{
    UniqueTaskString text;
    wchar_t** slot = text.put();
    *slot = static_cast<wchar_t*>(CoTaskMemAlloc(4 * sizeof(wchar_t)));
    ASSERT_TRUE(text);
    wcscpy(text.get(), L"abc");
    EXPECT_STREQ(L"abc", text.get());
}

// A COM object that says when its last reference goes.
class CountedObject final : public IUnknown {
public:
    explicit CountedObject(bool& destroyed) : destroyed_(destroyed) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) noexcept override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG left = --references_;
        if (left == 0) {
            destroyed_ = true;
            delete this;
        }
        return left;
    }

private:
    ~CountedObject() = default;
    bool& destroyed_;
    ULONG references_ = 1;
};

TEST(AdoptReference, TheOwnerHoldsTheObjectsFirstReferenceAndNothingMore)
{
    bool destroyed = false;
    {
        auto owner = adoptReference(new CountedObject(destroyed));
        auto copy = owner;
        copy.Reset();
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(nullptr, adoptReference<IUnknown>(nullptr).Get());
}

} // namespace
