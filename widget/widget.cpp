#include "widget/widget.h"

#include <commctrl.h>
#include <ole2.h>
#include <windowsx.h>

#include <cwchar>
#include <new>
#include <utility>

#include "platform/win32_error.h"
#include "platform/desktop_host.h"

namespace {

constexpr UINT kTooltipMaxWidth = 340;

TTTOOLINFOW toolFor(HWND controlWindow, HWND widgetWindow, wchar_t* text) noexcept
{
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = controlWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(widgetWindow);
    tool.lpszText = text;
    return tool;
}

POINT pointOf(LPARAM lParam) noexcept
{
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

class StandardEnvironment final : public WidgetEnvironment {};

} // namespace

MonitorMetrics WidgetEnvironment::displayNearPoint(POINT point) noexcept
{
    return getMonitorMetrics(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

MonitorMetrics WidgetEnvironment::primaryDisplay() noexcept
{
    return getMonitorMetrics(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}

MonitorMetrics WidgetEnvironment::displayOfWindow(HWND window) noexcept
{
    return getMonitorMetrics(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

bool WidgetEnvironment::cursorPosition(POINT& point) noexcept
{
    return GetCursorPos(&point) != FALSE;
}

SIZE WidgetEnvironment::dragDistance(std::uint32_t dpi) noexcept
{
    return SIZE{GetSystemMetricsForDpi(SM_CXDRAG, dpi), GetSystemMetricsForDpi(SM_CYDRAG, dpi)};
}

WidgetEnvironment& WidgetEnvironment::standard() noexcept
{
    static StandardEnvironment environment;
    return environment;
}

Widget::Widget(WidgetEvents& events, WidgetEnvironment& environment) noexcept
    : events_(events), environment_(environment)
{
}

Widget::~Widget()
{
    destroyWidget();
}

void Widget::connect(HINSTANCE instance, HWND controlWindow) noexcept
{
    instance_ = instance;
    controlWindow_ = controlWindow;
}

void Widget::setPlacement(int size, POINT position, bool positionSet) noexcept
{
    widgetSize_ = size;
    widgetPosition_ = position;
    widgetPositionSet_ = positionSet;
}

WidgetVisualState Widget::visualState() const noexcept
{
    return WidgetVisualState{widgetWindow_ && GetFocus() == widgetWindow_.get(), widgetDropHighlight_,
                             widgetErrorFlash_, highContrast_};
}

// ---- Window life and placement ----

void Widget::createWidget(std::wstring_view statusText) noexcept
{
    const HWND host = findDesktopHost(false).hostWindow;
    if (host && widgetWindow_ && GetWindow(widgetWindow_.get(), GW_OWNER) == host) {
        updateWidgetZOrder(true);
        return;
    }
    destroyWidget();
    if (!host)
        return;

    const WindowClassDescription description{kWindowClass, CS_DBLCLKS, LoadCursorW(nullptr, IDC_HAND)};
    if (FAILED(windowClass_.registerClass(instance_, description)))
        return;
    widgetWindow_.reset(CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, kWindowClass, L"Peltorine", WS_POPUP, 0, 0,
                                        60, 60, host, nullptr, instance_, this));
    if (!widgetWindow_)
        return;
    if (!layoutWidget()) {
        destroyWidget();
        return;
    }
    registerDropTarget();
    createTooltip();
    setWidgetTooltip(statusText);
    updateWidgetZOrder(true);
}

void Widget::followForeground() noexcept
{
    updateWidgetZOrder(widgetWindow_ && GetWindow(widgetWindow_.get(), GW_OWNER) == GetForegroundWindow());
}

void Widget::registerDropTarget() noexcept
{
    auto target = adoptReference(new (std::nothrow) DropTarget(*this));
    if (!target)
        return;
    widgetDropRegistered_ = SUCCEEDED(RegisterDragDrop(widgetWindow_.get(), target.Get()));
    if (widgetDropRegistered_)
        dropTarget_ = std::move(target);
    else
        target->disconnect();
}

void Widget::revokeDropTarget() noexcept
{
    if (dropTarget_)
        dropTarget_->disconnect();
    if (widgetDropRegistered_ && widgetWindow_)
        RevokeDragDrop(widgetWindow_.get());
    widgetDropRegistered_ = false;
    dropTarget_.Reset();
}

void Widget::createTooltip() noexcept
{
    widgetTooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, controlWindow_,
                                         nullptr, instance_, nullptr));
    if (!widgetTooltip_)
        return;
    TTTOOLINFOW tool = toolFor(controlWindow_, widgetWindow_.get(), widgetTooltipText_);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    SendMessageW(widgetTooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(widgetTooltip_.get(), TTM_SETMAXTIPWIDTH, 0, kTooltipMaxWidth);
}

void Widget::destroyWidget() noexcept
{
    if (widgetDragMode_ != DragIdle)
        cancelWidgetGesture();
    widgetTooltip_.reset();
    if (widgetWindow_ && IsWindow(widgetWindow_.get())) {
        revokeDropTarget();
        widgetWindow_.reset();
    }
    onWindowDestroyed();
}

// Also reached when the shell destroys the owner, and the widget with it: the window is gone,
// and the handle is let go without destroying it again.
void Widget::onWindowDestroyed() noexcept
{
    revokeDropTarget();
    (void)widgetWindow_.release();
    widgetDragMode_ = DragIdle;
    widgetClickArmed_ = false;
    widgetDropHighlight_ = false;
    widgetRenderer_.markStale();
}

bool Widget::layoutWidget() noexcept
{
    if (!widgetWindow_)
        return false;
    const MonitorMetrics metrics =
        widgetPositionSet_ ? environment_.displayNearPoint(widgetPosition_) : environment_.primaryDisplay();
    const RECT rect = widgetSquare(metrics, widgetPositionSet_, widgetPosition_, widgetSize_);
    return widgetRenderer_.presentWidget(widgetWindow_.get(), rect, visualState());
}

void Widget::updateWidgetZOrder(bool raise) noexcept
{
    if (!widgetWindow_)
        return;
    const HWND owner = GetWindow(widgetWindow_.get(), GW_OWNER);
    if (!owner || !IsWindowVisible(owner))
        return;
    const bool visible = IsWindowVisible(widgetWindow_.get()) != FALSE;
    if (!visible && !raise)
        return;
    const HWND above = GetWindow(owner, GW_HWNDPREV);
    if (visible && above == widgetWindow_.get())
        return;

    UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    if (!visible) {
        flags |= SWP_SHOWWINDOW;
        if (above == widgetWindow_.get())
            flags |= SWP_NOZORDER;
    }
    // Right behind the window above the owner, which puts the widget directly above its
    // owner and never over other programs' windows.
    HWND insertAfter = above;
    if (!insertAfter || (GetWindowLongPtrW(insertAfter, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0)
        insertAfter = HWND_NOTOPMOST;
    SetWindowPos(widgetWindow_.get(), insertAfter, 0, 0, 0, 0, flags);
}

void Widget::saveWidgetPlacement(bool sizeChanged) noexcept
{
    if (RECT rect{}; widgetWindow_ && GetWindowRect(widgetWindow_.get(), &rect)) {
        widgetPosition_ = POINT{rect.left, rect.top};
        widgetPositionSet_ = true;
        events_.widgetMoved(widgetPosition_);
    }
    if (sizeChanged)
        events_.widgetResized(widgetSize_);
}

void Widget::setWidgetTooltip(std::wstring_view text) noexcept
{
    const std::size_t length = text.size() < kTooltipLength ? text.size() : kTooltipLength;
    std::wmemcpy(widgetTooltipText_, text.data(), length);
    widgetTooltipText_[length] = L'\0';
    if (widgetTooltip_ && widgetWindow_) {
        TTTOOLINFOW tool = toolFor(controlWindow_, widgetWindow_.get(), widgetTooltipText_);
        SendMessageW(widgetTooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// ---- Face ----

void Widget::redrawWidget() noexcept
{
    RECT rect{};
    if (widgetWindow_ && GetWindowRect(widgetWindow_.get(), &rect))
        (void)widgetRenderer_.presentWidget(widgetWindow_.get(), rect, visualState());
}

void Widget::setErrorFlash(bool on) noexcept
{
    widgetErrorFlash_ = on;
    redrawWidget();
}

void Widget::setHighContrast(bool on) noexcept
{
    highContrast_ = on;
    widgetRenderer_.markStale();
    redrawWidget();
}

void Widget::setDropHighlight(bool on) noexcept
{
    widgetDropHighlight_ = on;
    redrawWidget();
}

void Widget::filesDropped(std::vector<std::wstring> paths) noexcept
{
    events_.widgetFilesDropped(std::move(paths));
}

// ---- Gestures ----

void Widget::beginWidgetGesture(POINT point) noexcept
{
    if (!GetWindowRect(widgetWindow_.get(), &dragStartRect_))
        return;
    dragStartPoint_ = point;
    widgetSizeAtDragStart_ = widgetSize_;
    dragStartMetrics_ = environment_.displayOfWindow(widgetWindow_.get());
    widgetDragMode_ = isInResizeGrip(dragStartRect_, point) ? PressedGrip : PressedBody;
    widgetClickArmed_ = false;
    SetFocus(widgetWindow_.get());
    SetCapture(widgetWindow_.get());
}

void Widget::trackWidgetGesture(POINT point) noexcept
{
    if (widgetDragMode_ == DragIdle)
        return;
    const int dx = point.x - dragStartPoint_.x;
    const int dy = point.y - dragStartPoint_.y;
    const std::uint32_t startDpi = dragStartMetrics_.dpi;
    if (widgetDragMode_ == PressedBody || widgetDragMode_ == PressedGrip) {
        if (!passedDragDistance(dx, dy, environment_.dragDistance(startDpi)))
            return;
        widgetDragMode_ = widgetDragMode_ == PressedGrip ? Resizing : Moving;
    }

    MonitorMetrics metrics = dragStartMetrics_;
    POINT topLeft{dragStartRect_.left, dragStartRect_.top};
    if (widgetDragMode_ == Resizing) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZENWSE));
        widgetSize_ = resizedWidgetSize(widgetSizeAtDragStart_, dx, dy, startDpi);
    } else {
        SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
        metrics = environment_.displayNearPoint(point);
        topLeft = movedTopLeft(point, dragStartPoint_, dragStartRect_, startDpi, metrics.dpi);
    }
    const RECT rect = fitSquareInWorkArea(metrics, topLeft, widgetSize_);
    (void)widgetRenderer_.presentWidget(widgetWindow_.get(), rect, visualState());
}

void Widget::finishWidgetGesture(bool commit) noexcept
{
    const WidgetDragMode mode = widgetDragMode_;
    if (mode == DragIdle)
        return;
    widgetDragMode_ = DragIdle;
    widgetClickArmed_ = commit && mode == PressedBody;
    if (widgetWindow_ && GetCapture() == widgetWindow_.get())
        ReleaseCapture();
    if (mode == Moving || mode == Resizing) {
        if (commit) {
            saveWidgetPlacement(mode == Resizing);
        } else {
            widgetSize_ = widgetSizeAtDragStart_;
            layoutWidget();
        }
    }
}

void Widget::cancelWidgetGesture() noexcept
{
    const WidgetDragMode mode = widgetDragMode_;
    if (mode == DragIdle)
        return;
    widgetClickArmed_ = false;
    widgetDragMode_ = DragIdle;
    if (widgetWindow_ && GetCapture() == widgetWindow_.get())
        ReleaseCapture();
    if (mode == Moving || mode == Resizing) {
        widgetSize_ = widgetSizeAtDragStart_;
        layoutWidget();
    }
}

void Widget::onButtonDown(UINT message, LPARAM lParam) noexcept
{
    POINT point = pointOf(lParam);
    ClientToScreen(widgetWindow_.get(), &point);
    RECT rect{};
    GetWindowRect(widgetWindow_.get(), &rect);
    if (message == WM_LBUTTONDBLCLK && widgetClickArmed_ && !isInResizeGrip(rect, point)) {
        widgetClickArmed_ = false;
        events_.widgetRestoreDefault();
        return;
    }
    beginWidgetGesture(point);
}

bool Widget::setCursorForPointer() noexcept
{
    RECT rect{};
    POINT cursor{};
    const bool inGrip = GetWindowRect(widgetWindow_.get(), &rect) && environment_.cursorPosition(cursor) &&
                        isInResizeGrip(rect, cursor);
    const wchar_t* shape = IDC_HAND;
    switch (cursorFor(widgetDragMode_, inGrip)) {
    case WidgetCursor::SizeNwse:
        shape = IDC_SIZENWSE;
        break;
    case WidgetCursor::SizeAll:
        shape = IDC_SIZEALL;
        break;
    case WidgetCursor::Hand:
        break;
    }
    SetCursor(LoadCursorW(nullptr, shape));
    return true;
}

void Widget::onPointerMoved(bool released) noexcept
{
    if (widgetDragMode_ == DragIdle)
        return;
    if (POINT cursor{}; environment_.cursorPosition(cursor))
        trackWidgetGesture(cursor);
    if (released)
        finishWidgetGesture(true);
}

void Widget::onKey(WPARAM key, LPARAM flags) noexcept
{
    // Bit 30: the key was already down, an auto-repeat.
    if (key == VK_RETURN && widgetDragMode_ == DragIdle && (flags & (1 << 30)) == 0)
        events_.widgetRestoreDefault();
    else if (key == VK_ESCAPE)
        cancelWidgetGesture();
}

LRESULT Widget::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        onButtonDown(message, lParam);
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        onPointerMoved(message == WM_LBUTTONUP);
        return 0;
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED:
        cancelWidgetGesture();
        return 0;
    case WM_KEYDOWN:
        onKey(wParam, lParam);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) != HTCLIENT)
            break;
        return setCursorForPointer() ? TRUE : FALSE;
    case WM_CONTEXTMENU: {
        RECT rect{};
        GetWindowRect(window, &rect);
        events_.widgetOpenMenu(contextMenuPoint(pointOf(lParam), rect));
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        redrawWidget();
        return 0;
    case WM_ACTIVATE:
        PostMessageW(window, kFollowForegroundMessage, 0, 0);
        break;
    case kFollowForegroundMessage:
        followForeground();
        return 0;
    case WM_DPICHANGED:
        events_.widgetDpiChanged();
        return 0;
    case WM_SYSCOLORCHANGE:
        events_.widgetSystemColoursChanged();
        return 0;
    case WM_PAINT:
        ValidateRect(window, nullptr);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_DESTROY:
        onWindowDestroyed();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
