#include "device/FirmwareFile.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "resources/resource.h"
#include "resources/strings/StringTable.h"

std::wstring CFirmwareFile::Format(unsigned nFormatId, ...)
{
    // The portable table holds the same texts as the resources, so a console
    // program without them (qvrtool) says exactly what the dialog says.
    std::string format;
    if (const char16_t* psz = qvr::LoadStringText(nFormatId))
        for (; *psz; ++psz)
            format.push_back(static_cast<char>(*psz));
    char szText[512];
    va_list args;
    va_start(args, nFormatId);
    std::vsnprintf(szText, sizeof szText, format.c_str(), args);
    va_end(args);
    szText[sizeof szText - 1] = '\0';
    return std::wstring(szText, szText + std::char_traits<char>::length(szText));
}

std::wstring CFirmwareFile::ExtentText(unsigned nFormatId) const
{
    const std::size_t nWords = m_Image.WordCount();
    return Format(nFormatId, static_cast<int>(nWords), CFirmwareImage::AddressOf(0),
                  CFirmwareImage::AddressOf(nWords == 0 ? 0 : nWords - 1));
}

bool CFirmwareFile::Open(const wchar_t* pszPath)
{
    m_hFile.Reset();
    m_failure.clear();
    // Read only, and nobody may write the file while the download holds it.
    CFileHandle hFile(::CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!hFile || !::GetFileSizeEx(hFile.Get(), &size)) {
        m_failure = Format(IDS_FIRMWARE_UNREADABLE);
        return false;
    }
    SFirmwareCheck check;
    if (static_cast<unsigned long long>(size.QuadPart) > CFirmwareImage::MAX_FILE_BYTES) {
        check.eResult = EFirmwareCheck::TooLarge;
    } else {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
        DWORD dwRead = 0;
        if (!bytes.empty() &&
            (!::ReadFile(hFile.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &dwRead, nullptr) ||
             dwRead != bytes.size())) {
            m_failure = Format(IDS_FIRMWARE_UNREADABLE);
            return false;
        }
        check = m_Image.Parse(bytes.data(), bytes.size());
    }

    const int nRecord = static_cast<int>(check.nRecord);
    const int nOffset = static_cast<int>(check.nOffset);
    switch (check.eResult) {
    case EFirmwareCheck::Ok:
        m_hFile = std::move(hFile);
        return true;
    case EFirmwareCheck::TooLarge:
        m_failure = Format(IDS_FIRMWARE_TOO_LARGE, static_cast<int>(CFirmwareImage::MAX_FILE_BYTES));
        break;
    case EFirmwareCheck::BadHeader:
        m_failure = Format(IDS_FIRMWARE_BAD_HEADER);
        break;
    case EFirmwareCheck::BadRecord:
        m_failure = Format(IDS_FIRMWARE_BAD_RECORD, nRecord, nOffset);
        break;
    case EFirmwareCheck::TruncatedRecord:
        m_failure = Format(IDS_FIRMWARE_TRUNCATED, nRecord, nOffset);
        break;
    case EFirmwareCheck::TooManyWords:
        m_failure = Format(IDS_FIRMWARE_TOO_MANY_WORDS, nRecord, static_cast<int>(CFirmwareImage::MAX_WORDS));
        break;
    case EFirmwareCheck::NoWords:
        m_failure = Format(IDS_FIRMWARE_NO_WORDS);
        break;
    }
    return false;
}
