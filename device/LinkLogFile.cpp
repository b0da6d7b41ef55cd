#include "device/LinkLogFile.h"

#include <cwchar>

#include "device/Comm.h"

std::string CLinkLogFile::Compose(CComm& comm, const std::string& program)
{
    CLinkLog& log = comm.GetLinkLog();
    const std::string firmware = log.GetFirmwareRevision();
    std::string entry = log.GetEntry();
    if (entry.empty())
        entry = CComm::DescribeDevice(comm.GetDeviceNumber()) + " (no link opened)";
    return log.Format({
        "QVR500 link log",
        "Program: " + program,
        "Unit firmware: " + (firmware.empty() ? std::string("not known (not asked since the link opened)") : firmware),
        "Device: " + entry,
        "Line: " + comm.DescribeLineSettings(),
    });
}

CSafeFile::SResult CLinkLogFile::Write(const std::wstring& path, const std::string& text)
{
    CSafeFile file;
    CSafeFile::SResult r = file.Begin(std::filesystem::path(path));
    if (!r.Ok())
        return r;
    if (!file.Stream().Write(text.data(), text.size()))
        return CSafeFile::SResult{CSafeFile::EStatus::WriteFailed, ::GetLastError()};
    return file.Commit();
}

std::wstring CLinkLogFile::DefaultName()
{
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    wchar_t sz[64];
    std::swprintf(sz, 64, L"QVR500 link log %04u-%02u-%02u.txt", st.wYear, st.wMonth, st.wDay);
    return sz;
}
