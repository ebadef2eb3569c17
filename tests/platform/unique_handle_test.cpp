// The one owner template: what it closes, when, and that a move hands the handle over.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "platform/com_object.h"
#include "platform/unique_handle.h"

// oleaut32 exports it (Windows and Wine); the SDK and mingw-w64 headers do not declare it.
extern "C" void WINAPI SetOaNoCache();

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
class CountedObject final : public ComObject<IUnknown> {
public:
    explicit CountedObject(bool& destroyed) : destroyed_(destroyed) {}

private:
    ~CountedObject() override { destroyed_ = true; }
    bool& destroyed_;
};

ULONG referencesOf(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

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

// A medium whose pUnkForRelease is a counted object: ReleaseStgMedium releases that object
// (and leaves the memory to it), so the count shows how often the owner released the medium.
TEST(UniqueStgMedium, ReleasesTheMediumOnceWhenItGoesAndNeverAfterAMove)
{
    bool destroyed = false;
    const auto holder = adoptReference(new CountedObject(destroyed));
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(nullptr, memory);
    {
        UniqueStgMedium first;
        EXPECT_FALSE(first);
        STGMEDIUM* slot = first.put();
        slot->tymed = TYMED_HGLOBAL;
        slot->hGlobal = memory;
        holder.CopyTo(&slot->pUnkForRelease);
        ASSERT_EQ(2u, referencesOf(holder.Get()));

        UniqueStgMedium second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(memory, second.get().hGlobal);
        UniqueStgMedium third;
        third = std::move(second);
        EXPECT_FALSE(second);
        EXPECT_EQ(2u, referencesOf(holder.Get()));
    }
    EXPECT_EQ(1u, referencesOf(holder.Get()));
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(16u, GlobalSize(memory)) << "the medium's memory belongs to pUnkForRelease";
    GlobalFree(memory);
}

TEST(UniqueStgMedium, PutReleasesWhatWasHeldFirst)
{
    bool destroyed = false;
    UniqueStgMedium medium;
    STGMEDIUM* slot = medium.put();
    slot->tymed = TYMED_NULL;
    slot->pUnkForRelease = new CountedObject(destroyed); // the medium's one reference
    EXPECT_TRUE(medium);
    slot = medium.put();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(nullptr, slot->pUnkForRelease);
    EXPECT_EQ(static_cast<DWORD>(TYMED_NULL), slot->tymed);
    EXPECT_FALSE(medium);
}

// Watches the task allocator, through which oleaut32 frees a BSTR once its cache is off, and
// counts the frees of one BSTR's block (which starts just before the string, at its length).
class FreeCounter final : public ComObject<IMallocSpy> {
public:
    void watch(BSTR text) noexcept { watched_ = reinterpret_cast<char*>(text); }
    [[nodiscard]] int frees() const noexcept { return frees_; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) noexcept override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) noexcept override { return actual; }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL) noexcept override
    {
        const auto* block = static_cast<char*>(request);
        if (watched_ && block && block < watched_ && watched_ - block <= 16)
            ++frees_;
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) noexcept override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) noexcept override
    {
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) noexcept override { return actual; }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) noexcept override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) noexcept override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) noexcept override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) noexcept override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() noexcept override {}
    void STDMETHODCALLTYPE PostHeapMinimize() noexcept override {}

private:
    ~FreeCounter() override = default;
    const char* watched_ = nullptr;
    int frees_ = 0;
};

TEST(UniqueBstr, FreesTheStringOnceWhenItGoesAndNeverAfterAMove)
{
    const OleScope ole;
    ASSERT_TRUE(ole.started());
    SetOaNoCache();
    const auto counter = adoptReference(new FreeCounter());
    ASSERT_EQ(S_OK, CoRegisterMallocSpy(counter.Get()));
    {
        UniqueBstr first(SysAllocString(L"Peltorine"));
        ASSERT_TRUE(first);
        counter->watch(first.get());
        UniqueBstr second(std::move(first));
        EXPECT_FALSE(first);
        UniqueBstr third;
        third = std::move(second);
        EXPECT_EQ(9u, SysStringLen(third.get()));
        EXPECT_EQ(0, counter->frees());
    }
    EXPECT_EQ(1, counter->frees());
    CoRevokeMallocSpy();
}

} // namespace
