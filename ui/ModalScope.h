// The program's modal windows. The system disables only a modal window's
// owner; the program's other top-level windows (the find and holders
// windows beside the main window) would go on taking input, move the main
// window under an open sheet and open a second one. Every modal window
// therefore comes up through these, which disable the others for its time.
#pragma once

#include <windows.h>
#include <prsht.h>

class ModalScope {
public:
    // Disables this thread's enabled top-level windows with a caption, but
    // the one owner belongs to, which the modal call itself disables.
    explicit ModalScope(HWND owner);
    // Enables again those it disabled that are still there.
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    static BOOL CALLBACK DisableOne(HWND window, LPARAM scope);

    static const int MostWindows = 32;
    HWND spared_;
    HWND disabled_[MostWindows];
    int count_ = 0;
};

int ModalMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
INT_PTR ModalDialogBox(HINSTANCE instance, int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter);
INT_PTR ModalPropertySheet(const PROPSHEETHEADERW& header);
