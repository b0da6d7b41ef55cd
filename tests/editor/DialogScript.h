#pragma once
// Test support for the editor's modal dialogs: a script that runs inside the
// next modal dialog of this thread (from a timer of its own message loop),
// and the requests the simulated unit received, decoded from its log.

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "sim/SimUnit.h"

class CDialogScript {
public:
    // Arms a script for the next visible dialog titled pszTitle; it runs
    // once, inside the dialog's modal loop, and must end the dialog.
    static void Arm(const wchar_t* pszTitle, std::function<void(HWND)> fn)
    {
        State() = SState{pszTitle, std::move(fn), false};
        State().idTimer = ::SetTimer(nullptr, 0, 30, OnTimer);
    }
    static bool Ran() { return State().bRan; }
    // Forgets a script whose dialog never came (the command was refused).
    static void Disarm()
    {
        if (!State().bRan)
            ::KillTimer(nullptr, State().idTimer);
        State() = SState{};
    }

    // Control helpers for a script.
    static void Click(HWND hDlg, int nId) { ::SendMessageW(::GetDlgItem(hDlg, nId), BM_CLICK, 0, 0); }
    static bool Checked(HWND hDlg, int nId) { return ::IsDlgButtonChecked(hDlg, nId) == BST_CHECKED; }
    static bool Enabled(HWND hDlg, int nId) { return ::IsWindowEnabled(::GetDlgItem(hDlg, nId)) != FALSE; }
    static std::wstring Text(HWND hDlg, int nId)
    {
        wchar_t sz[1024] = {};
        ::GetDlgItemTextW(hDlg, nId, sz, 1024);
        return sz;
    }

private:
    struct SState {
        std::wstring title;
        std::function<void(HWND)> fn;
        bool bRan = false;
        UINT_PTR idTimer = 0;
    };
    static SState& State()
    {
        static SState s;
        return s;
    }
    static BOOL CALLBACK FindProc(HWND hWnd, LPARAM lParam)
    {
        wchar_t szClass[16] = {};
        wchar_t szTitle[128] = {};
        ::GetClassNameW(hWnd, szClass, 16);
        ::GetWindowTextW(hWnd, szTitle, 128);
        if (wcscmp(szClass, L"#32770") == 0 && ::IsWindowVisible(hWnd) && State().title == szTitle) {
            *reinterpret_cast<HWND*>(lParam) = hWnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR idTimer, DWORD)
    {
        HWND hDlg = nullptr;
        ::EnumThreadWindows(::GetCurrentThreadId(), FindProc, reinterpret_cast<LPARAM>(&hDlg));
        if (!hDlg || State().bRan)
            return;
        ::KillTimer(nullptr, idTimer);
        State().bRan = true;
        auto fn = std::move(State().fn);
        fn(hDlg);
    }
};

// One request the unit received.
struct SUnitRequest {
    std::uint8_t bType = 0; // 'G', 'S' or 0x25 (raw command)
    int nChannel = 0, nParameter = 0;
    std::uint32_t dwValue = 0;
    int nCommand = 0;
    std::uint32_t dwIter = 0, dwUWord = 0, dwLWord = 0;
    float Value() const
    {
        float f;
        std::memcpy(&f, &dwValue, sizeof f);
        return f;
    }
    float LWordFloat() const
    {
        float f;
        std::memcpy(&f, &dwLWord, sizeof f);
        return f;
    }
};

inline std::vector<SUnitRequest> UnitRequests(const CSimUnit& unit)
{
    auto le32 = [](const std::uint8_t* p) {
        return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
    };
    std::vector<SUnitRequest> out;
    for (const SimLogEntry& e : unit.GetLog()) {
        SUnitRequest r;
        r.bType = e.request[0];
        if (r.bType == 0x25) {
            r.nCommand = e.request[2];
            r.dwIter = le32(&e.request[3]);
            r.dwUWord = le32(&e.request[7]);
            r.dwLWord = le32(&e.request[11]);
        } else {
            r.nChannel = e.request[2];
            r.nParameter = e.request[3];
            r.dwValue = le32(&e.request[4]);
        }
        out.push_back(r);
    }
    return out;
}
