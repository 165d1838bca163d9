/* The button in the taskbar and the OK and close tray icons: both follow the
   caption buttons of the foreground window. */
#include "proxy/proxy.h"
#include "app/app.h"
#include "res/resource.h"
#include "settings/settings.h"

#define BUTTON_SIZE 24  /* the button window */
#define BUTTON_TOP 2    /* its distance from the taskbar's top */
#define FACE_SIZE 20    /* one frame of a button bitmap */
#define FACE_MARGIN 2

static HWND ButtonWindow;     /* the button in the taskbar; NULL without a taskbar */
static HWND TargetWindow;     /* the window the OK and close proxies act on */
static LONG ButtonMode;       /* what the button stands for: BUTTON_OK, BUTTON_CLOSE or else none */
static LONG ButtonPressed;    /* 1 from an accepted tap until the next paint or release */
static HICON IconOk;          /* tray icon of the OK proxy */
static HICON IconClose;       /* tray icon of the close proxy */
static HBITMAP BitmapClose;   /* faces of the button, each two frames: at rest, held down */
static HBITMAP BitmapOk;
static HBITMAP BitmapIdle;

void LoadProxyImages(void)
{
    IconOk = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_OK));
    IconClose = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_CLOSE));
    BitmapClose = LoadBitmapW(AppInstance, MAKEINTRESOURCEW(IDB_BUTTON_CLOSE));
    BitmapOk = LoadBitmapW(AppInstance, MAKEINTRESOURCEW(IDB_BUTTON_OK));
    BitmapIdle = LoadBitmapW(AppInstance, MAKEINTRESOURCEW(IDB_BUTTON_IDLE));
}

void CreateProxyButton(HWND taskbar)
{
    ButtonMode = BUTTON_CLOSE;
    if (taskbar == NULL)
        return;
    RECT taskbarRect = { 0, 0, 0, 0 };
    GetWindowRect(taskbar, &taskbarRect);
    ButtonWindow = CreateWindowExW(0, BUTTON_CLASS, TEXT(""), WS_CHILD | WS_VISIBLE, taskbarRect.right - BUTTON_SIZE,
                                   BUTTON_TOP, BUTTON_SIZE, BUTTON_SIZE, taskbar, NULL, AppInstance, NULL);
}

void DestroyProxyButton(void)
{
    if (ButtonWindow != NULL) {
        DestroyWindow(ButtonWindow);
        ButtonWindow = NULL;
    }
    TargetWindow = NULL;
}

void DeleteProxyIcons(HWND owner)
{
    NotifyTrayIcon(NIM_DELETE, owner, TRAY_ID_OK, NIF_MESSAGE | NIF_ICON, IconOk);
    NotifyTrayIcon(NIM_DELETE, owner, TRAY_ID_CLOSE, NIF_MESSAGE | NIF_ICON, IconClose);
}

void FollowForeground(HWND owner, WORD flags, HWND window)
{
    TargetWindow = window;
    UpdateTrayButtons(owner, flags);
}

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

static BOOL TargetIsLive(void)
{
    return TargetWindow != NULL && IsWindow(TargetWindow) && IsWindowVisible(TargetWindow);
}

void PostToTarget(LONG command, BOOL bringToFront)
{
    if (!TargetIsLive())
        return;
    if (bringToFront)
        SetForegroundWindow(TargetWindow);
    if (command == BUTTON_OK)
        PostMessageW(TargetWindow, WM_COMMAND, OK_COMMAND_WPARAM, 0);
    else
        PostMessageW(TargetWindow, WM_CLOSE, 0, 0);
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
static void DrawFace(HDC dc, BOOL pressed)
{
    HDC faceDc = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(faceDc, ButtonFace());
    BitBlt(dc, FACE_MARGIN, FACE_MARGIN, FACE_SIZE, FACE_SIZE, faceDc, pressed ? FACE_SIZE : 0, 0, SRCCOPY);
    SelectObject(faceDc, previous);
    DeleteDC(faceDc);
}

static void PaintButton(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    DrawFace(dc, ButtonPressed);
    /* A press ends at the paint that shows it: the release need not reach
       the button (the stylus may lift elsewhere), and the next repaint, at
       the latest the one the next report asks for, shows the face at rest. */
    ButtonPressed = 0;
    EndPaint(window, &paint);
}

/* Whether the button stands for OK or close; any other mode is none. */
static BOOL Offering(void)
{
    return ButtonMode == BUTTON_OK || ButtonMode == BUTTON_CLOSE;
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
    if (Offering())
        PostToTarget(ButtonMode, FALSE);
    else
        PassTapToTaskbar(window, WM_LBUTTONDOWN, wParam);
    InvalidateRect(window, NULL, FALSE);
}

/* The release ends a press that no paint has ended yet. */
static void OnButtonUp(HWND window, WPARAM wParam)
{
    if (!ButtonPressed)
        return;
    ButtonPressed = 0;
    if (!Offering())
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
