#include "shell/MeasurementCommands.h"

#include "editor/DlgCrossover.h"
#include "editor/measurements/DlgMeasurements.h"
#include "editor/measurements/MeasurementFiles.h"
#include "framework/ExeModule.h"
#include "model/CtlQVRXOPlot.h"
#include "shell/DocumentFile.h"

std::wstring CMeasurementCommands::SidecarPath(const std::wstring& configPath)
{
    return CMeasurementFiles::FromUtf8(CSidecar::PathFor(CMeasurementFiles::ToUtf8(configPath)));
}

void CMeasurementCommands::Attach(CCtlQVRXOPlot* pPlot)
{
    if (m_pPlot && m_pPlot != pPlot)
        m_pPlot->SetOverlaySource(nullptr);
    m_pPlot = pPlot;
    if (m_pPlot)
        m_pPlot->SetOverlaySource(&m_overlay);
}

void CMeasurementCommands::Changed()
{
    m_overlay.Changed();
    if (m_pPlot)
        m_pPlot->RefreshOverlay();
}

void CMeasurementCommands::ShowDialog(HWND hOwner, CDlgCrossover& form)
{
    CDlgMeasurements::SContext ctx;
    ctx.pOverlay = &m_overlay;
    ctx.configOf = [&form](int nChannel) { return CChannelConfig(form.Configuration().Current(nChannel)); };
    ctx.onChanged = [this] {
        if (m_pPlot)
            m_pPlot->RefreshOverlay();
    };
    ctx.format = [](UINT nId, std::initializer_list<std::wstring> args) { return CDocumentFile::Format(nId, args); };
    ctx.saveFailure = &CDocumentFile::SaveFailure;
    ctx.systemReason = &CDocumentFile::SystemReason;
    ctx.nChannel = form.Configuration().ShownChannel();
    CDlgMeasurements dlg(std::move(ctx));
    dlg.DoModal(hOwner);
}

bool CMeasurementCommands::SaveBeside(HWND hOwner, const wchar_t* pszConfigPath)
{
    const std::wstring path = SidecarPath(pszConfigPath);
    if (m_overlay.Document().IsEmpty() && ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true; // nothing to keep, and nothing kept before
    const CSafeFile::SResult r = CMeasurementFiles::WriteSafely(path, m_overlay.Document().Write());
    if (r.Ok())
        return true;
    const std::wstring text = CDocumentFile::SaveFailure(IDS_SIDECAR_CANNOT_SAVE, path.c_str(), r);
    ::MessageBoxW(hOwner, text.c_str(), g_Module.LoadString(IDS_APP_TITLE).c_str(), MB_ICONERROR);
    return false;
}

bool CMeasurementCommands::OpenBeside(HWND hOwner, const wchar_t* pszConfigPath)
{
    // The measurements belong to the configuration they lie beside: those
    // of the configuration shown before go, whatever the sidecar holds.
    m_overlay.Document() = CSidecar();
    for (std::wstring& from : m_overlay.asMeasuredFrom)
        from.clear();
    const std::wstring path = SidecarPath(pszConfigPath);
    bool bOk = true;
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::string bytes;
        DWORD dwError = 0;
        std::wstring reason;
        if (!CMeasurementFiles::ReadBounded(path, CSidecar::MAX_BYTES, bytes, dwError)) {
            reason = CDocumentFile::SystemReason(dwError);
        } else {
            std::string error;
            CSidecar doc;
            if (CSidecar::Read(bytes, doc, error))
                m_overlay.Document() = std::move(doc);
            else
                reason = CMeasurementFiles::FromUtf8(error);
        }
        if (!reason.empty()) {
            bOk = false;
            const std::wstring text = CDocumentFile::Format(IDS_SIDECAR_REFUSED, {path, reason});
            ::MessageBoxW(hOwner, text.c_str(), g_Module.LoadString(IDS_APP_TITLE).c_str(), MB_ICONWARNING);
        }
    }
    Changed();
    return bOk;
}
