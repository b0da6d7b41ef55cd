#pragma once
// CDlgSplash: the borderless, rounded, white box that is both the start-up
// splash (modeless, two seconds, clicks ignored) and the About box (modal,
// closed by a click; asks a connected unit for its firmware revision).

#include <cstdint>

#include "framework/DialogImpl.h"
#include "framework/Handles.h"
#include "resources/resource.h"
#include "framework/AppMessages.h"

class CDlgSplash : public CDialogImpl<CDlgSplash> {
public:
    enum { IDD = IDD_SPLASH };

    // The program's version as the box shows it.
    static constexpr int VERSION_MAJOR = 2;
    static constexpr int VERSION_MINOR = 0;
    static constexpr int VERSION_PATCH = 2;
    static constexpr int VERSION_BUILD = 140415;

    explicit CDlgSplash(bool bAbout) : m_bAbout(bAbout) {}

    // The firmware line from the reply words of the revision query (cut to cchBuffer).
    static void FormatFirmwareRevision(std::uint32_t dwUWord, std::uint32_t dwLWord, wchar_t* pszBuffer, int cchBuffer);

    BEGIN_MSG_MAP(CDlgSplash)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_CTLCOLORSTATIC, OnCtlColorStatic)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_COMM_PACKET, OnCommPacket)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnEraseBkgnd(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCtlColorStatic(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCommPacket(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

private:
    static constexpr int CORNER = 40; // corner ellipse of the rounded box

    bool IsOverlappingText(HWND hCtl) const;
    void SetFirmwareText(const wchar_t* pszText);

    bool m_bAbout;
    CWindow m_wndFirmware; // control 249
    CBrush m_brBk;
    CFont m_hFont;
    CFont m_hFontVer;
};
