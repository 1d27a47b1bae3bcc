#include "ModalScope.h"

ModalScope::ModalScope(HWND owner) : spared_(owner ? GetAncestor(owner, GA_ROOT) : nullptr)
{
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK ModalScope::DisableOne(HWND window, LPARAM parameter)
{
    auto* scope = reinterpret_cast<ModalScope*>(parameter);
    // Tooltips, menus and the input method's windows have no caption and are left alone.
    if (window == scope->spared_ || !IsWindowEnabled(window) || (GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION) != WS_CAPTION)
        return TRUE;
    if (scope->count_ == MostWindows)
        return FALSE;
    EnableWindow(window, FALSE);
    scope->disabled_[scope->count_++] = window;
    return TRUE;
}

ModalScope::~ModalScope()
{
    while (count_ > 0) {
        HWND window = disabled_[--count_];
        if (IsWindow(window))
            EnableWindow(window, TRUE);
    }
}

int ModalMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
{
    ModalScope scope(owner);
    return MessageBoxW(owner, text, caption, type);
}

INT_PTR ModalDialogBox(HINSTANCE instance, int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter)
{
    ModalScope scope(owner);
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(dialogId), owner, procedure, parameter);
}

INT_PTR ModalPropertySheet(const PROPSHEETHEADERW& header)
{
    ModalScope scope(header.hwndParent);
    PROPSHEETHEADERW copy = header;  // the call takes it as writable
    return PropertySheetW(&copy);
}
