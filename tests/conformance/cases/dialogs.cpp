// Dialogs from a template in memory: what DialogBoxIndirectParamW gives the
// dialog procedure, what WM_INITDIALOG's result does, and how EndDialog's
// result comes back.
#include "fixture.h"

using namespace conformance;

namespace {

// A classic dialog template: "Dlg" with an OK button (the first control,
// a tab stop) and a static text.
struct Template {
    alignas(4) WORD words[128];
    int n = 0;
    void Word(WORD w) { words[n++] = w; }
    void Dword(DWORD d)
    {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Text(const char* s)
    {
        while (*s)
            Word((WORD)*s++);
        Word(0);
    }
    void Align() { n += n % 2; }  // items start on a 4-byte boundary
    void Item(DWORD style, WORD cls, WORD id, const char* text, short x, short y, short cx, short cy)
    {
        Align();
        Dword(style);
        Dword(0);
        Word((WORD)x), Word((WORD)y), Word((WORD)cx), Word((WORD)cy), Word(id);
        Word(0xFFFF), Word(cls);
        Text(text);
        Word(0);  // no creation data
    }
};

const WORD BUTTON = 0x0080, STATIC = 0x0082;
const LPARAM INIT_PARAM = 0x1234;

Template Make()
{
    Template t;
    t.Dword(WS_POPUP | WS_CAPTION);  // not WS_VISIBLE: the dialog manager shows it
    t.Dword(WS_EX_CAPTIONOKBTN);
    t.Word(2), t.Word(10), t.Word(10), t.Word(100), t.Word(60);
    t.Word(0), t.Word(0);  // no menu, the dialog class
    t.Text("Dlg");
    t.Item(WS_CHILD | WS_VISIBLE | WS_TABSTOP, BUTTON, IDOK, "OK", 5, 5, 40, 14);
    t.Item(WS_CHILD | WS_VISIBLE, STATIC, 100, "Hi", 5, 25, 40, 10);
    return t;
}

HWND g_dialog;
WPARAM g_focus;  // the id of the control that WM_INITDIALOG names
LPARAM g_param;
INT_PTR g_init_result;
bool g_end_in_init;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        g_dialog = dialog;
        g_focus = (WPARAM)GetWindowLongW((HWND)wParam, GWL_ID);
        g_param = lParam;
        SetWindowPos(dialog, HWND_TOP, 0, 26, 240, 294, 0);
        if (g_end_in_init)
            EndDialog(dialog, 9);
        return g_init_result;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 42 : 7);
        return TRUE;
    }
    return FALSE;
}

// The owner answers what another thread sends it while the dialog runs,
// and passes on to the dialog what is posted to it.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 5)
        return (LRESULT)wParam * 10 + 1;
    if (message == WM_USER + 6)
        PostMessageW(g_dialog, (UINT)wParam, (WPARAM)lParam, 0);
    return DefWindowProcW(window, message, wParam, lParam);
}

// Whatever WM_INITDIALOG answers, the dialog is shown and activated once it
// returns, and its owner is disabled while it runs. WM_CLOSE, left to the
// dialog manager, is the cancel command. EndDialog inside WM_INITDIALOG
// ends it before it is ever shown. The dialog's loop answers what other
// threads send meanwhile and takes what is posted to the owner (which ends
// the dialog here). The dialog keeps the template's extended style and is
// shown where WM_INITDIALOG moved it.
TEST(Dialogs, DialogBoxIndirectParamRunsTheDialogUntilEndDialog)
{
    struct Case {
        INT_PTR init_result;
        bool end_in_init;
        UINT message;  // posted to the open dialog
        WPARAM wParam;
        INT_PTR expected;
    };
    const Case cases[] = {
        {TRUE, false, WM_COMMAND, IDOK, 42},
        {FALSE, false, WM_CLOSE, 0, 7},
        {TRUE, true, 0, 0, 9},
    };
    RunAsProgram([&] {
        HWND owner = MakeWindow(TEXT("Owner"), TEXT("owner"), WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 100}, NULL, 0,
                                OwnerProc);
        SetForegroundWindow(owner);
        Template t = Make();
        for (const Case& c : cases) {
            g_dialog = NULL;
            g_init_result = c.init_result;
            g_end_in_init = c.end_in_init;
            bool shown = false, active = false, owner_disabled = false, ok_style = false;
            RECT placed = {0, 0, 0, 0};
            LRESULT answered = 0;
            if (c.message != 0) {
                Later([&] {
                    shown = IsWindowVisible(g_dialog) != FALSE;
                    active = GetForegroundWindow() == g_dialog;
                    owner_disabled = (GetWindowLongW(owner, GWL_STYLE) & WS_DISABLED) != 0;
                    answered = SendMessageW(owner, WM_USER + 5, 4, 0);
                    ok_style = (GetWindowLongW(g_dialog, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN) != 0;
                    placed = RectOf(g_dialog);
                    PostMessageW(owner, WM_USER + 6, c.message, (LPARAM)c.wParam);
                },
                      [] { return g_dialog != NULL && IsWindowVisible(g_dialog) && GetForegroundWindow() == g_dialog; });
            }
            INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(NULL), (LPCDLGTEMPLATEW)t.words, owner,
                                                     DialogProc, INIT_PARAM);
            EXPECT_EQ(c.expected, result);
            EXPECT_EQ(INIT_PARAM, g_param);
            EXPECT_EQ((WPARAM)IDOK, g_focus);  // the first tab stop, as WM_INITDIALOG named it
            EXPECT_EQ(c.message != 0, shown);
            EXPECT_EQ(c.message != 0, active);
            EXPECT_EQ(c.message != 0, owner_disabled);
            EXPECT_EQ(c.message != 0 ? 41 : 0, answered);
            EXPECT_EQ(c.message != 0, ok_style);
            EXPECT_RECT((c.message != 0 ? RECT{0, 26, 240, 320} : RECT{0, 0, 0, 0}), placed);
            EXPECT_FALSE(IsWindow(g_dialog));
            EXPECT_EQ(0, GetWindowLongW(owner, GWL_STYLE) & WS_DISABLED);
            EXPECT_EQ(owner, GetForegroundWindow());
        }
    });
}

}  // namespace
