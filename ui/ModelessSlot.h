// The one open window of a modeless kind and the state behind it: the state
// is made before its dialog, so that the messages sent during creation reach
// it, and freed after the dialog is destroyed.
#pragma once

#include <windows.h>

#include <new>

#include "AnchoredLayout.h"
#include "AppGlobals.h"
#include "Owned.h"

// State has `HWND dialog`, set at WM_INITDIALOG, `AnchoredLayout layout`,
// and `void Close()`, which stops its work and lets its rows go while the
// dialog is being destroyed.
template <typename State>
class ModelessSlot {
public:
    State* operator->() const { return state_.Get(); }
    State& operator*() const { return *state_.Get(); }
    explicit operator bool() const { return static_cast<bool>(state_); }
    // The open window, or null.
    HWND Window() const { return state_ ? state_->dialog : nullptr; }

    // Makes the state, lets prepare fill it (false: nothing is made), then
    // the dialog from the template, shown. The window, or null.
    template <typename Prepare>
    HWND Open(HWND owner, int templateId, DLGPROC procedure, Prepare prepare)
    {
        state_.Reset(new (std::nothrow) State);
        if (!state_ || !prepare(*state_)) {
            state_.Reset();
            return nullptr;
        }
        HWND dialog = CreateDialogParamW(AppInstance, MAKEINTRESOURCEW(templateId), owner, procedure, 0);
        if (!dialog) {
            state_.Reset();
            return nullptr;
        }
        ShowWindow(dialog, SW_SHOW);
        return dialog;
    }

    // At WM_DESTROY of dialog: Close, then the state freed, released first so
    // that nothing the freeing sends reaches it.
    void OnDestroy(HWND dialog)
    {
        if (!state_ || state_->dialog != dialog)
            return;
        state_->Close();
        OwnedObject<State> closing(state_.Release());
    }

    // What every such window answers alike: its size and smallest size, the
    // older look's colours (the fields the user types in stay white), and
    // its destruction. The dialog procedure's result; FALSE for others.
    INT_PTR OnFrameMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_SIZE:
        case WM_GETMINMAXINFO:
            if (state_ && state_->dialog == dialog)
                state_->layout.OnSizeMessage(dialog, message, wParam, lParam);
            return TRUE;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
            return OlderLookColour(message, wParam);
        case WM_DESTROY:
            OnDestroy(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    }

    void Destroy() const
    {
        if (state_)
            DestroyWindow(state_->dialog);
    }

private:
    OwnedObject<State> state_;
};
