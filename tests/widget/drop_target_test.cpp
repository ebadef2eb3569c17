#include "widget/drop_target.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/file_drop_data.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kAnyEffect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// Stands in for the widget: keeps the highlight and what was handed over.
class RecordingSink final : public DropTargetSink {
public:
    bool dropHighlight() const noexcept override { return highlight; }
    void setDropHighlight(bool on) noexcept override
    {
        highlight = on;
        highlightChanges.push_back(on);
    }
    void filesDropped(std::vector<std::wstring> paths) noexcept override { dropped.push_back(std::move(paths)); }

    bool highlight = false;
    std::vector<bool> highlightChanges;
    std::vector<std::vector<std::wstring>> dropped;
};

// A target with one reference held by the test, released at the end.
struct Target {
    explicit Target(DropTargetSink& sink)
    {
        auto* created = new DropTarget(sink);
        object = created;
        created->Release();
    }
    ComPtr<DropTarget> object;
};

DWORD enter(DropTarget& target, IDataObject* data, DWORD allowed)
{
    DWORD effect = allowed;
    EXPECT_EQ(target.DragEnter(data, MK_LBUTTON, POINTL{10, 10}, &effect), S_OK);
    return effect;
}

DWORD over(DropTarget& target, DWORD allowed)
{
    DWORD effect = allowed;
    EXPECT_EQ(target.DragOver(MK_LBUTTON, POINTL{11, 11}, &effect), S_OK);
    return effect;
}

DWORD drop(DropTarget& target, IDataObject* data, DWORD allowed)
{
    DWORD effect = allowed;
    EXPECT_EQ(target.Drop(data, 0, POINTL{11, 11}, &effect), S_OK);
    return effect;
}

const std::vector<std::wstring> kThreePictures{L"C:\\Pictures\\b 10.jpg", L"C:\\Pictures\\b 2.JPEG",
                                               L"C:\\Pictures\\a.png"};

TEST(DropTarget, DragsAreJudgedByTheFilesTheyCarry)
{
    struct Case {
        const char* name;
        ComPtr<IDataObject> data;
        DWORD allowed;
        DWORD effect; // during the drag and on the drop
        std::optional<std::vector<std::wstring>> handedOver;
    } cases[] = {
        {"three pictures", fileDropData(kThreePictures), kAnyEffect, DROPEFFECT_COPY, kThreePictures},
        {"one video", fileDropData({L"C:\\Videos\\sea.mp4"}), kAnyEffect, DROPEFFECT_COPY,
         std::vector<std::wstring>{L"C:\\Videos\\sea.mp4"}},
        {"a copy-only source", fileDropData({L"D:\\x.png"}), DROPEFFECT_COPY, DROPEFFECT_COPY,
         std::vector<std::wstring>{L"D:\\x.png"}},
        // Refused during the drag, but handed over so that the user is told what to choose.
        {"a video with a picture", fileDropData({L"C:\\v.mp4", L"C:\\p.png"}), kAnyEffect, DROPEFFECT_NONE,
         std::vector<std::wstring>{L"C:\\v.mp4", L"C:\\p.png"}},
        {"two videos", fileDropData({L"C:\\v.mp4", L"C:\\w.mp4"}), kAnyEffect, DROPEFFECT_NONE,
         std::vector<std::wstring>{L"C:\\v.mp4", L"C:\\w.mp4"}},
        {"a text file", fileDropData({L"C:\\notes.txt"}), kAnyEffect, DROPEFFECT_NONE,
         std::vector<std::wstring>{L"C:\\notes.txt"}},
        {"text, no files", textData(L"C:\\Pictures\\a.png"), kAnyEffect, DROPEFFECT_NONE, std::nullopt},
        {"an empty file list", fileDropData({}), kAnyEffect, DROPEFFECT_NONE, std::nullopt},
        {"a move-only source", fileDropData(kThreePictures), DROPEFFECT_MOVE, DROPEFFECT_NONE, std::nullopt},
        {"a link-only source", fileDropData({L"C:\\v.mp4"}), DROPEFFECT_LINK, DROPEFFECT_NONE, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        Target target(sink);
        const bool accepted = c.effect == DROPEFFECT_COPY;

        EXPECT_EQ(enter(*target.object.Get(), c.data.Get(), c.allowed), c.effect);
        EXPECT_EQ(sink.highlight, accepted);
        EXPECT_EQ(over(*target.object.Get(), c.allowed), c.effect);
        EXPECT_TRUE(sink.dropped.empty()) << "nothing is handed over during the drag";

        EXPECT_EQ(drop(*target.object.Get(), c.data.Get(), c.allowed), c.effect);
        EXPECT_FALSE(sink.highlight) << "the drop turns the highlight off";
        const std::vector<bool> expectedChanges = accepted ? std::vector<bool>{true, false} : std::vector<bool>{};
        EXPECT_EQ(sink.highlightChanges, expectedChanges);
        if (c.handedOver) {
            ASSERT_EQ(sink.dropped.size(), 1u);
            EXPECT_EQ(sink.dropped.front(), *c.handedOver) << "in the source's order";
        } else {
            EXPECT_TRUE(sink.dropped.empty());
        }
    }
}

TEST(DropTarget, LeavingTurnsTheHighlightOffAndReEnteringReadsTheDataAgain)
{
    RecordingSink sink;
    Target target(sink);
    const ComPtr<IDataObject> pictures = fileDropData(kThreePictures);
    EXPECT_EQ(enter(*target.object.Get(), pictures.Get(), kAnyEffect), DROPEFFECT_COPY);
    EXPECT_EQ(target.object->DragLeave(), S_OK);
    EXPECT_FALSE(sink.highlight);
    EXPECT_EQ(over(*target.object.Get(), kAnyEffect), DROPEFFECT_NONE) << "no drag is in progress";

    EXPECT_EQ(enter(*target.object.Get(), pictures.Get(), kAnyEffect), DROPEFFECT_COPY);
    EXPECT_TRUE(sink.highlight);
    // The source stops allowing copies part-way: the highlight goes out, and comes back.
    EXPECT_EQ(over(*target.object.Get(), DROPEFFECT_MOVE), DROPEFFECT_NONE);
    EXPECT_FALSE(sink.highlight);
    EXPECT_EQ(over(*target.object.Get(), kAnyEffect), DROPEFFECT_COPY);
    EXPECT_EQ(sink.highlightChanges, (std::vector<bool>{true, false, true, false, true}));
    EXPECT_EQ(target.object->DragLeave(), S_OK);
    EXPECT_TRUE(sink.dropped.empty());
}

TEST(DropTarget, ReadsEveryPathInOrderIncludingLongAndNonAsciiOnes)
{
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'd') + L"\\picture.png";
    const std::vector<std::wstring> paths{L"C:\\Ảnh\\hồ Tây.jpg", longPath, L"\\\\server\\share\\x.png"};
    EXPECT_EQ(readDroppedPaths(fileDropData(paths).Get()), paths);
    EXPECT_TRUE(readDroppedPaths(textData(L"hello").Get()).empty());
    EXPECT_TRUE(readDroppedPaths(nullptr).empty());
}

TEST(DropTarget, EffectRule)
{
    EXPECT_EQ(dropEffectFor(true, kAnyEffect), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(dropEffectFor(true, DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(dropEffectFor(true, DROPEFFECT_MOVE | DROPEFFECT_LINK), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(dropEffectFor(false, kAnyEffect), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(dropEffectFor(true, DROPEFFECT_NONE), static_cast<DWORD>(DROPEFFECT_NONE));
}

TEST(DropTarget, QueryInterfaceAndReferenceCounts)
{
    RecordingSink sink;
    auto* target = new DropTarget(sink); // count 1
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(target->QueryInterface(IID_IDropTarget, &object), S_OK);
    EXPECT_EQ(object, static_cast<IDropTarget*>(target));
    EXPECT_EQ(target->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(target));
    EXPECT_EQ(target->AddRef(), 4u);
    EXPECT_EQ(target->QueryInterface(IID_IDataObject, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(target->QueryInterface(IID_IDropTarget, nullptr), E_POINTER);
    EXPECT_EQ(target->Release(), 3u);
    EXPECT_EQ(target->Release(), 2u);
    EXPECT_EQ(target->Release(), 1u);
    EXPECT_EQ(target->Release(), 0u);
}

TEST(DropTarget, RegisteredForAWindowAndRevokedTheLastReferenceGoes)
{
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        const HWND window = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                            GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        RecordingSink sink;
        auto* target = new DropTarget(sink);
        EXPECT_EQ(RegisterDragDrop(window, target), S_OK);
        EXPECT_GE(target->AddRef(), 3u) << "the registration holds its own reference";
        target->Release();
        target->Release(); // the creator's reference
        target->AddRef();  // ours, to see the count after the revocation
        EXPECT_EQ(RevokeDragDrop(window), S_OK);
        EXPECT_EQ(target->Release(), 0u);
        DestroyWindow(window);
    }
    OleUninitialize();
}

TEST(DropTarget, DisconnectedFromItsWidgetItRefusesAndTouchesNothing)
{
    RecordingSink sink;
    Target target(sink);
    const ComPtr<IDataObject> pictures = fileDropData(kThreePictures);
    EXPECT_EQ(enter(*target.object.Get(), pictures.Get(), kAnyEffect), DROPEFFECT_COPY);
    sink.highlight = false; // the widget is gone and with it its highlight
    sink.highlightChanges.clear();
    target.object->disconnect();
    EXPECT_EQ(over(*target.object.Get(), kAnyEffect), DROPEFFECT_NONE);
    EXPECT_EQ(drop(*target.object.Get(), pictures.Get(), kAnyEffect), DROPEFFECT_NONE);
    EXPECT_EQ(target.object->DragLeave(), S_OK);
    EXPECT_TRUE(sink.highlightChanges.empty());
    EXPECT_TRUE(sink.dropped.empty());
}

} // namespace
