/* The button in the taskbar and the OK and close tray icons: both follow the
   caption buttons of the foreground window. */
#include "proxy/proxy.h"
#include "app/app.h"
#include "settings/settings.h"

LONG ButtonMode;
LONG ButtonPressed;

int UpdateTrayButtons(HWND owner, WORD flags)
{
    ButtonMode = BUTTON_NONE;
    if (flags & CAPTION_CLOSE)
        ButtonMode = BUTTON_CLOSE;
    if (flags & CAPTION_OK)
        ButtonMode = BUTTON_OK;

    BOOL showClose = (flags & CAPTION_CLOSE) && Settings.CloseButton;
    NotifyTrayIcon(showClose ? NIM_ADD : NIM_DELETE, owner, TRAY_ID_CLOSE, NIF_MESSAGE | NIF_ICON, IconClose);
    BOOL showOk = (flags & CAPTION_OK) && Settings.OkButton;
    NotifyTrayIcon(showOk ? NIM_ADD : NIM_DELETE, owner, TRAY_ID_OK, NIF_MESSAGE | NIF_ICON, IconOk);

    InvalidateRect(ButtonWindow, NULL, TRUE);
    return 0;
}

static HBITMAP ButtonFace(void)
{
    switch (ButtonMode) {
    case BUTTON_OK:
        return BitmapOk;
    case BUTTON_CLOSE:
        return BitmapClose;
    }
    return BitmapIdle;
}

/* One 20 x 20 frame of the face inside a 2-pixel margin: the left frame at
   rest, the right one while the button is held down. */
static void PaintButton(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HDC faceDc = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(faceDc, ButtonFace());
    BitBlt(dc, FACE_MARGIN, FACE_MARGIN, FACE_SIZE, FACE_SIZE, faceDc, ButtonPressed ? FACE_SIZE : 0, 0, SRCCOPY);
    SelectObject(faceDc, previous);
    DeleteDC(faceDc);
    ButtonPressed = 0;
    EndPaint(window, &paint);
}

/* With nothing to stand in for, the button is part of the taskbar: the tap
   goes on to the taskbar as a tap at the button's point (10, 10). */
static void PassTapToTaskbar(HWND window, UINT message, WPARAM wParam)
{
    HWND taskbar = GetParent(window);
    POINT point = { 10, 10 };
    MapWindowPoints(window, taskbar, &point, 1);
    SendMessageW(taskbar, message, wParam, MAKELPARAM(point.x, point.y));
}

/* A tap sends OK or close to the target window; unlike the tray icons it
   does not bring the target to the front first. */
static void OnButtonDown(HWND window, WPARAM wParam)
{
    if (!AcceptTap())
        return;
    ButtonPressed = 1;
    switch (ButtonMode) {
    case BUTTON_OK:
        if (TargetIsLive())
            PostMessageW(TargetWindow, WM_COMMAND, OK_COMMAND_WPARAM, 0);
        break;
    case BUTTON_CLOSE:
        if (TargetIsLive())
            PostMessageW(TargetWindow, WM_CLOSE, 0, 0);
        break;
    default:
        PassTapToTaskbar(window, WM_LBUTTONDOWN, wParam);
        break;
    }
    InvalidateRect(window, NULL, FALSE);
}

/* The release ends a press that no paint has ended yet. */
static void OnButtonUp(HWND window, WPARAM wParam)
{
    if (!ButtonPressed)
        return;
    ButtonPressed = 0;
    if (ButtonMode != BUTTON_OK && ButtonMode != BUTTON_CLOSE)
        PassTapToTaskbar(window, WM_LBUTTONUP, wParam);
    InvalidateRect(window, NULL, FALSE);
}

LRESULT CALLBACK ButtonWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_PAINT:
        PaintButton(window);
        return 0;
    case WM_LBUTTONDOWN:
        OnButtonDown(window, wParam);
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp(window, wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
