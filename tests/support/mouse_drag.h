#pragma once
// Drags a data object with the real mouse, as a user would from a file manager: the left
// button goes down over a small window of the calling thread, DoDragDrop runs, and from
// inside its loop the pointer is moved onto `to` and the button released there, all through
// SendInput. The drop target may live in another process.
#include <windows.h>
#include <objidl.h>

#include <string>

struct MouseDragResult {
    HRESULT result = E_FAIL; // what DoDragDrop returned (DRAGDROP_S_DROP, DRAGDROP_S_CANCEL, ...)
    DWORD effect = 0;        // the effect the target chose
    bool pressed = false;    // the button press reached the calling thread
    std::wstring trouble;    // what went wrong before the drag, for the failure message
};

MouseDragResult dragWithMouse(IDataObject* data, DWORD allowedEffects, POINT to);

// One mouse event at a point of the virtual screen, through SendInput.
void sendMouseInput(DWORD flags, POINT point);
