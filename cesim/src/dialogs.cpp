// Modal dialogs from classic templates.
//
// DialogBoxIndirectParamW creates the dialog (system class "#32770") and its
// controls from the template, with dialog units turned into pixels for the
// template's font in the system font's proportions: a dialog unit is a
// quarter of the average character width across and an eighth of the
// character height down, the font being FONT_CHAR_WIDTH x FONT_HEIGHT at
// 8 points and scaled with the point size. The dialog is placed relative to
// its owner's top-left corner. Then the owner is disabled, WM_INITDIALOG is
// sent, the dialog is shown and made the foreground window, whatever its
// template's style, and the modal loop runs (World::ModalLoop) until
// EndDialog. Afterwards the owner is enabled again and activated, and the
// dialog is destroyed.
#include "gdi.h"
#include "ui.h"

#include "resources.h"

#include <cesim/resource_formats.h>

#include <algorithm>

namespace cesim {

namespace {

DialogState* FindDialog(World& w, HWND window)
{
    for (auto& d : w.ui->dialogs) {
        if (d->window == window)
            return d.get();
    }
    return nullptr;
}

WindowClass* SystemClassNamed(World& w, const Text& name, WNDPROC proc)
{
    if (WindowClass* cls = w.SystemClass(name))
        return cls;
    auto cls = std::make_unique<WindowClass>();
    cls->name = name;
    cls->proc = proc;
    w.system_classes.push_back(std::move(cls));
    return w.system_classes.back().get();
}

LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefDlgProcW(window, message, wParam, lParam);
}

// The compiled resource that holds the template: it bounds what may be read.
const ResourceEntry* TemplateEntry(World& w, const uint8_t* at)
{
    for (auto& p : w.processes) {
        if (!p->resources)
            continue;
        for (auto& e : p->resources->file.Entries()) {
            if (!e.data.empty() && at >= e.data.data() && at < e.data.data() + e.data.size())
                return &e;
        }
    }
    return nullptr;
}

struct DialogUnits {
    int char_width;
    int char_height;
    LONG X(int du) const { return du * char_width / 4; }
    LONG Y(int du) const { return du * char_height / 8; }
};

}  // namespace

extern "C" {

INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner, DLGPROC dialogProc,
                                       LPARAM initParam)
{
    Call c("DialogBoxIndirectParamW");
    World& w = c.w;
    const uint8_t* data = (const uint8_t*)dialogTemplate;
    const ResourceEntry* entry = data ? TemplateEntry(w, data) : nullptr;
    Window* owner_window = owner ? c.Live(owner) : nullptr;
    if (data == nullptr || (owner != nullptr && owner_window == nullptr)) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return -1;
    }
    // A template in a resource is read up to the resource's end; one that the
    // program built in its own memory is read as far as its contents say.
    const size_t size = entry != nullptr ? (size_t)(entry->data.data() + entry->data.size() - data) : 0x10000;
    DialogTemplate form;
    try {
        form = DecodeDialog(data, size);
    } catch (Error& e) {
        w.Fail(std::string("DialogBoxIndirectParamW was given a broken template: ") + e.what());
        return -1;
    }
    const int points = form.has_font && form.point_size > 0 ? form.point_size : 8;
    const DialogUnits units{FONT_CHAR_WIDTH * points / 8, FONT_HEIGHT * points / 8};

    auto& ui = *w.ui;
    if (ui.dialog_class == nullptr) {
        ui.dialog_class = SystemClassNamed(w, u"#32770", DialogProc);
        ui.static_class = SystemClassNamed(w, u"static", StaticProc);
    }
    ui.dialogs.push_back(std::make_unique<DialogState>());
    DialogState& d = *ui.dialogs.back();
    d.thread = c.self;
    d.owner = owner;
    d.proc = dialogProc;
    d.init_param = initParam;

    const POINT origin = owner_window ? w.ClientOrigin(owner_window) : POINT{0, 0};
    Window* dialog = w.NewWindow(c.lk, ui.dialog_class, c.self);
    d.window = dialog->handle;
    dialog->title = form.title;
    dialog->style = form.style & ~(DWORD)WS_VISIBLE;
    dialog->exstyle = form.ex_style;
    LONG left = origin.x + units.X(form.x), top = origin.y + units.Y(form.y);
    dialog->rect = RECT{left, top, left + units.X(form.cx), top + units.Y(form.cy)};
    w.PlaceInZOrder(dialog, HWND_TOP);
    for (const DialogItem& item : form.items) {
        // Only static controls are known to the device; others are made as statics too.
        Window* control = w.NewWindow(c.lk, ui.static_class, c.self);
        control->parent = dialog;
        control->style = item.style | WS_CHILD;
        control->exstyle = item.ex_style;
        control->id = (LONG)item.id;
        control->rect = RECT{units.X(item.x), units.Y(item.y), units.X(item.x + item.cx), units.Y(item.y + item.cy)};
        if (item.text.kind == NameOrOrdinal::TEXT)
            control->title = item.text.text;
        dialog->children.push_back(control);
        d.controls.push_back(control->handle);
        // An icon control loads its image from the dialog's instance; without
        // one it would be one of the platform's own icons, which the device has none of.
        d.control_icons.push_back(instance != nullptr && item.text.kind == NameOrOrdinal::ORDINAL ? item.text.ordinal
                                                                                                : 0);
    }

    if (owner_window != nullptr)
        owner_window->style |= WS_DISABLED;
    HWND first = d.controls.empty() ? nullptr : d.controls.front();
    w.CallProc(c.lk, dialog, WM_INITDIALOG, (WPARAM)first, initParam);
    if (dialog->alive && !d.ended) {
        w.Show(dialog);
        w.Activate(c.lk, dialog);
    }
    w.ModalLoop(c.lk, c.self, "DialogBoxIndirectParamW (the dialog is open)",
                [&] { return d.ended || !dialog->alive; });

    if (Window* o = owner ? w.FindWindowObject(owner) : nullptr) {
        o->style &= ~(DWORD)WS_DISABLED;
        if (o->style & WS_VISIBLE)
            w.Activate(c.lk, o);
    }
    if (dialog->alive)
        w.DestroyWindowTree(c.lk, dialog, true);
    return d.ended ? d.result : -1;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    Call c("EndDialog");
    DialogState* d = FindDialog(c.w, dialog);
    if (d == nullptr || c.w.FindWindowObject(dialog) == nullptr) {
        SetError(c.self, ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!d->ended) {
        d->ended = true;
        d->result = result;
        c.w.WakeForMessages(d->thread);
    }
    return TRUE;
}

// Hands each message to the dialog procedure first; what it leaves is given
// the default handling, in which closing the dialog means cancelling it.
LRESULT WINAPI DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DLGPROC proc = nullptr;
    {
        Call c("DefDlgProcW");
        if (DialogState* d = FindDialog(c.w, dialog))
            proc = d->proc;
    }
    if (proc != nullptr && proc(dialog, message, wParam, lParam))
        return message == WM_INITDIALOG ? TRUE : 0;
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_CLOSE) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}

}  // extern "C"

}  // namespace cesim
