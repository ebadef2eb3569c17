// The one IUnknown of our own COM objects: its count, its QueryInterface, and its end at zero.
#include <windows.h>
#include <oleidl.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/com_object.h"
#include "platform/unique_handle.h"

namespace {

// Two interfaces, and a flag that tells when the object is gone.
class TwoInterfaces final : public ComObject<IDropSource, IOleWindow> {
public:
    explicit TwoInterfaces(bool& destroyed) : destroyed_(destroyed) {}

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override
    {
        *window = nullptr;
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

private:
    ~TwoInterfaces() override { destroyed_ = true; }
    bool& destroyed_;
};

ULONG referencesOf(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

TEST(ComObject, StartsWithOneReferenceAndDeletesItselfWhenTheLastGoes)
{
    bool destroyed = false;
    IDropSource* object = new TwoInterfaces(destroyed);
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(3u, object->AddRef());
    EXPECT_EQ(2u, object->Release());
    EXPECT_EQ(1u, object->Release());
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(0u, object->Release());
    EXPECT_TRUE(destroyed);
}

TEST(ComObject, AnswersEachInterfaceOfItsListWithAReference)
{
    bool destroyed = false;
    auto* object = new TwoInterfaces(destroyed);
    const auto owner = adoptReference<IDropSource>(object);

    Microsoft::WRL::ComPtr<IOleWindow> window;
    ASSERT_EQ(S_OK, owner.As(&window));
    EXPECT_EQ(static_cast<IOleWindow*>(object), window.Get());
    Microsoft::WRL::ComPtr<IDropSource> source;
    ASSERT_EQ(S_OK, window.As(&source));
    EXPECT_EQ(static_cast<IDropSource*>(object), source.Get());
    EXPECT_EQ(3u, referencesOf(owner.Get()));

    window.Reset();
    source.Reset();
    EXPECT_EQ(1u, referencesOf(owner.Get()));
    EXPECT_FALSE(destroyed);
}

TEST(ComObject, GivesOneIUnknownWhicheverInterfaceIsAsked)
{
    bool destroyed = false;
    auto* object = new TwoInterfaces(destroyed);
    const auto owner = adoptReference<IDropSource>(object);
    IOleWindow* other = object;
    ASSERT_NE(static_cast<void*>(owner.Get()), static_cast<void*>(other));

    Microsoft::WRL::ComPtr<IUnknown> first;
    Microsoft::WRL::ComPtr<IUnknown> second;
    ASSERT_EQ(S_OK, owner->QueryInterface(IID_PPV_ARGS(&first)));
    ASSERT_EQ(S_OK, other->QueryInterface(IID_PPV_ARGS(&second)));
    EXPECT_EQ(first.Get(), second.Get());
}

TEST(ComObject, RefusesAnotherInterfaceWithANullOutPointerAndNoReference)
{
    bool destroyed = false;
    const auto owner = adoptReference<IDropSource>(new TwoInterfaces(destroyed));
    void* out = owner.Get();
    EXPECT_EQ(E_NOINTERFACE, owner->QueryInterface(IID_IDataObject, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, owner->QueryInterface(IID_IDropSource, nullptr));
    EXPECT_EQ(1u, referencesOf(owner.Get()));
}

TEST(ComObject, CountsReferencesFromSeveralThreadsAtOnce)
{
    bool destroyed = false;
    const auto owner = adoptReference<IDropSource>(new TwoInterfaces(destroyed));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([object = owner.Get()] {
            for (int i = 0; i < 20000; ++i) {
                object->AddRef();
                object->Release();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(1u, referencesOf(owner.Get()));
    EXPECT_FALSE(destroyed);
}

} // namespace
