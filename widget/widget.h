#pragma once
// The desktop widget: a small layered window owned by the shell window that holds the
// desktop icons. It takes dropped files, moves and resizes with the mouse, restores the
// default wallpaper on a double-click or Enter, opens the menu, and shows the program's
// state on its face and in its tooltip. It reports what the user asked for through
// WidgetEvents and keeps its own placement, which the owner loads and saves.
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/monitors.h"
#include "platform/unique_handle.h"
#include "platform/window_class.h"
#include "widget/drop_target.h"
#include "widget/widget_face.h"
#include "widget/widget_rules.h"

// What the widget hands to the program around it.
class WidgetEvents {
public:
    // Runs inside the drag-and-drop call: store the list and apply it later.
    virtual void widgetFilesDropped(std::vector<std::wstring> paths) noexcept = 0;
    virtual void widgetRestoreDefault() noexcept = 0;
    virtual void widgetOpenMenu(POINT point) noexcept = 0;
    // A committed move or resize: the new top-left corner, then (for a resize) the size.
    virtual void widgetMoved(POINT position) noexcept = 0;
    virtual void widgetResized(int size) noexcept = 0;
    virtual void widgetSystemColoursChanged() noexcept = 0;
    // The widget's display changed its DPI: it wants laying out again (unless a gesture runs).
    virtual void widgetDpiChanged() noexcept = 0;

protected:
    ~WidgetEvents() = default;
};

// What the widget asks the system about displays and the pointer; tests stand in for it.
class WidgetEnvironment {
public:
    virtual ~WidgetEnvironment() = default;
    virtual MonitorMetrics displayNearPoint(POINT point) noexcept;
    virtual MonitorMetrics primaryDisplay() noexcept;
    virtual MonitorMetrics displayOfWindow(HWND window) noexcept;
    virtual bool cursorPosition(POINT& point) noexcept;
    // The system's drag distance at a DPI.
    virtual SIZE dragDistance(std::uint32_t dpi) noexcept;

    static WidgetEnvironment& standard() noexcept;
};

class Widget final : private DropTargetSink {
public:
    static constexpr const wchar_t* kWindowClass = L"Peltorine.Widget";
    // Posted to the widget itself: its z-order follows the foreground once activation is over.
    static constexpr UINT kFollowForegroundMessage = WM_APP + 1;
    static constexpr std::size_t kTooltipLength = 127;

    explicit Widget(WidgetEvents& events, WidgetEnvironment& environment = WidgetEnvironment::standard()) noexcept;
    ~Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    // The module and the control window that owns the tooltip and gets the widget's messages.
    void connect(HINSTANCE instance, HWND controlWindow) noexcept;

    // The placement from the settings: the size in 96-DPI units and the saved top-left
    // corner, if there is one. The next layout uses it.
    void setPlacement(int size, POINT position, bool positionSet) noexcept;

    // Creates the widget in the desktop host when it is missing or its owner is no longer
    // the host; otherwise only repairs its z-order. statusText becomes the tooltip of a new
    // widget. The window class "Peltorine.Widget" is registered with the first window and
    // unregistered when the Widget goes.
    void createWidget(std::wstring_view statusText) noexcept;
    void destroyWidget() noexcept;
    bool layoutWidget() noexcept;
    void updateWidgetZOrder(bool raise) noexcept;
    // Raised (and shown) when the desktop itself is the foreground window, else only kept in order.
    void followForeground() noexcept;
    void setWidgetTooltip(std::wstring_view text) noexcept;
    void redrawWidget() noexcept;
    void cancelWidgetGesture() noexcept;
    void setErrorFlash(bool on) noexcept;
    // The system's high-contrast mode; the face is drawn again.
    void setHighContrast(bool on) noexcept;

    [[nodiscard]] HWND window() const noexcept { return widgetWindow_.get(); }
    // On screen: made, and shown together with a visible desktop.
    [[nodiscard]] bool shown() const noexcept { return widgetWindow_ && IsWindowVisible(widgetWindow_.get()); }
    [[nodiscard]] HWND tooltip() const noexcept { return widgetTooltip_.get(); }
    [[nodiscard]] bool dropRegistered() const noexcept { return widgetDropRegistered_; }
    [[nodiscard]] const wchar_t* tooltipText() const noexcept { return widgetTooltipText_; }
    [[nodiscard]] WidgetDragMode dragMode() const noexcept { return widgetDragMode_; }
    [[nodiscard]] bool clickArmed() const noexcept { return widgetClickArmed_; }
    [[nodiscard]] int size() const noexcept { return widgetSize_; }
    [[nodiscard]] POINT position() const noexcept { return widgetPosition_; }
    [[nodiscard]] bool positionSet() const noexcept { return widgetPositionSet_; }
    [[nodiscard]] bool dropHighlight() const noexcept override { return widgetDropHighlight_; }
    [[nodiscard]] bool errorFlash() const noexcept { return widgetErrorFlash_; }
    [[nodiscard]] WidgetVisualState visualState() const noexcept;
    [[nodiscard]] const WidgetRenderer& renderer() const noexcept { return widgetRenderer_; }
    // The drop target registered for the window; null when there is none.
    [[nodiscard]] IDropTarget* dropTarget() const noexcept { return dropTarget_.Get(); }

    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    void setDropHighlight(bool on) noexcept override;
    void filesDropped(std::vector<std::wstring> paths) noexcept override;

    void onButtonDown(UINT message, LPARAM lParam) noexcept;
    void onPointerMoved(bool released) noexcept;
    void onKey(WPARAM key, LPARAM flags) noexcept;
    void beginWidgetGesture(POINT point) noexcept;
    void trackWidgetGesture(POINT point) noexcept;
    void finishWidgetGesture(bool commit) noexcept;
    void saveWidgetPlacement(bool sizeChanged) noexcept;
    bool setCursorForPointer() noexcept;
    void registerDropTarget() noexcept;
    void revokeDropTarget() noexcept;
    void createTooltip() noexcept;
    void onWindowDestroyed() noexcept;

    WidgetEvents& events_;
    WidgetEnvironment& environment_;
    HINSTANCE instance_ = nullptr;
    HWND controlWindow_ = nullptr;

    // Placement, loaded from the settings and changed by committed gestures.
    int widgetSize_ = 64;
    POINT widgetPosition_{0, 0};
    bool widgetPositionSet_ = false;

    // The class goes after the windows made with it.
    WindowClass<Widget> windowClass_;
    UniqueWindow widgetWindow_;
    UniqueWindow widgetTooltip_;
    bool widgetDropRegistered_ = false;
    Microsoft::WRL::ComPtr<DropTarget> dropTarget_;
    wchar_t widgetTooltipText_[kTooltipLength + 1] = {};

    // The gesture of the left button.
    WidgetDragMode widgetDragMode_ = DragIdle;
    bool widgetClickArmed_ = false;
    POINT dragStartPoint_{0, 0};
    RECT dragStartRect_{0, 0, 0, 0};
    MonitorMetrics dragStartMetrics_{};
    int widgetSizeAtDragStart_ = 64;

    // The face.
    bool widgetDropHighlight_ = false;
    bool widgetErrorFlash_ = false;
    bool highContrast_ = false;
    WidgetRenderer widgetRenderer_;
};
