// Starts and ends kagero_holder.exe: a second process holding known named
// objects, for the tests that look for an object's holders.
#pragma once

#include <windows.h>

#include <string>

class HolderProcess {
public:
    // What the holder makes in its directory, and the access of each handle.
    static constexpr const wchar_t* EventName = L"HeldEvent";    // two handles: created, then opened
    static constexpr ACCESS_MASK EventCreatedAccess = 0x1F0003;  // EVENT_ALL_ACCESS
    static constexpr ACCESS_MASK EventOpenedAccess = 0x100001;   // SYNCHRONIZE | EVENT_QUERY_STATE
    static constexpr const wchar_t* MutantName = L"HeldMutant";  // one handle
    static constexpr ACCESS_MASK MutantAccess = 0x1F0001;        // MUTANT_ALL_ACCESS
    static constexpr const wchar_t* ProgramName = L"kagero_holder.exe";
    // Its files: a named pipe's server and client ends (\Device\NamedPipe, then this), a file of C: (the name
    // below \Device\HarddiskVolume1; through the link it is \??\C: and this), and \Device\Null.
    std::wstring PipeName() const { return L"\\kagero_holder_pipe_" + std::to_wstring(pid_); }
    std::wstring FileName() const { return L"\\windows\\temp\\kagero_holder_" + std::to_wstring(pid_) + L".txt"; }

    HolderProcess() = default;
    ~HolderProcess() { Stop(); }
    HolderProcess(const HolderProcess&) = delete;
    HolderProcess& operator=(const HolderProcess&) = delete;

    // Starts the holder on directory (a full object path) and waits until
    // its objects exist. false when it could not start or make them.
    bool Start(const std::wstring& directory);
    DWORD Pid() const { return pid_; }
    // Closes its input and waits until it has ended (killing it after 30 s).
    void Stop();

private:
    HANDLE process_ = nullptr;
    HANDLE input_ = nullptr;  // the writing end of its standard input
    DWORD pid_ = 0;
};
