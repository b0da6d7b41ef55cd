#include "device/firmware/FirmwareImage.h"

namespace {

constexpr std::uint8_t HEADER[CFirmwareImage::HEADER_BYTES] = {0x02, 0x0D, 0x0A};
constexpr std::uint8_t END_OF_TEXT = 0x03;
constexpr std::uint8_t END_OF_FILE = 0x1A;

int HexDigit(std::uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// One record of 12 bytes: "HH HH HH HH ".  False when it is anything else.
bool ReadRecord(const std::uint8_t* p, std::uint32_t& dwWord)
{
    dwWord = 0;
    for (int nPair = 0; nPair < 4; ++nPair) {
        const int nHigh = HexDigit(p[3 * nPair]);
        const int nLow = HexDigit(p[3 * nPair + 1]);
        if (nHigh < 0 || nLow < 0 || p[3 * nPair + 2] != ' ')
            return false;
        dwWord |= static_cast<std::uint32_t>(nHigh * 16 + nLow) << (8 * nPair);
    }
    return true;
}

bool IsTailByte(std::uint8_t c)
{
    return c == '\r' || c == '\n' || c == ' ' || c == END_OF_TEXT || c == END_OF_FILE;
}

} // namespace

SFirmwareCheck CFirmwareImage::Parse(const std::uint8_t* pData, std::size_t nSize)
{
    m_Words.clear();
    SFirmwareCheck check;
    if (nSize > MAX_FILE_BYTES) {
        check.eResult = EFirmwareCheck::TooLarge;
        return check;
    }
    if (nSize < HEADER_BYTES || !pData || pData[0] != HEADER[0] || pData[1] != HEADER[1] || pData[2] != HEADER[2]) {
        check.eResult = EFirmwareCheck::BadHeader;
        return check;
    }

    std::vector<std::uint32_t> words;
    std::size_t nPos = HEADER_BYTES;
    while (nSize - nPos >= RECORD_BYTES) {
        if (pData[nPos] == '\r' && pData[nPos + 1] == '\n') {
            nPos += 2;
            continue;
        }
        check.nRecord = static_cast<std::uint32_t>(words.size() + 1);
        check.nOffset = nPos;
        std::uint32_t dwWord = 0;
        if (!ReadRecord(pData + nPos, dwWord)) {
            check.eResult = EFirmwareCheck::BadRecord;
            return check;
        }
        if (words.size() >= MAX_WORDS) {
            check.eResult = EFirmwareCheck::TooManyWords;
            return check;
        }
        words.push_back(dwWord);
        nPos += RECORD_BYTES;
    }
    // The tail: no record fits, and none may have been meant to.
    for (std::size_t n = nPos; n < nSize; ++n) {
        if (!IsTailByte(pData[n])) {
            check.eResult = EFirmwareCheck::TruncatedRecord;
            check.nRecord = static_cast<std::uint32_t>(words.size() + 1);
            check.nOffset = nPos;
            return check;
        }
    }
    if (words.empty()) {
        check.eResult = EFirmwareCheck::NoWords;
        check.nRecord = 0;
        check.nOffset = 0;
        return check;
    }
    m_Words = std::move(words);
    return SFirmwareCheck{};
}
