#include "speakerlib/SpeakerLibrary.h"

#include "model/ChannelConfig.h"

namespace {

bool IsBlank(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == 0xFEFF; }

std::u16string Trim(const std::u16string& s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::u16string Folded(const std::u16string& s)
{
    std::u16string out(s);
    for (char16_t& ch : out)
        ch = CChannelConfig::FoldNameCase(ch);
    return out;
}

} // namespace

void CSpeakerLibrary::Clear()
{
    m_sections.clear();
    m_names.clear();
    m_index.clear();
}

CSpeakerLibrary::ELoad CSpeakerLibrary::Load(const std::uint8_t* pBytes, std::size_t nBytes)
{
    Clear();
    if (nBytes > MAX_FILE_BYTES)
        return ELoad::TooLarge;
    if (nBytes == 0)
        return ELoad::Ok; // an empty file is an empty library
    if (pBytes == nullptr || nBytes % 2 != 0)
        return ELoad::NotUtf16;
    std::size_t nStart = 0;
    if (pBytes[0] == 0xFF && pBytes[1] == 0xFE)
        nStart = 2;
    else if (pBytes[1] != 0 || pBytes[0] == 0 || pBytes[0] >= 0x80)
        return ELoad::NotUtf16; // a mark of another encoding, or 8-bit text
    std::u16string text;
    text.reserve((nBytes - nStart) / 2);
    for (std::size_t i = nStart; i + 1 < nBytes; i += 2) {
        const char16_t ch = static_cast<char16_t>(pBytes[i] | (pBytes[i + 1] << 8));
        if (ch == 0)
            break;
        text.push_back(ch);
    }
    Parse(text);
    return ELoad::Ok;
}

void CSpeakerLibrary::Parse(const std::u16string& text)
{
    SSection* pCurrent = nullptr;
    // Keys of a duplicate or refused section go nowhere.
    bool bInSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const std::u16string line = Trim(text.substr(pos, end - pos));
        pos = end;
        while (pos < text.size() && (text[pos] == u'\r' || text[pos] == u'\n'))
            ++pos;

        if (line.empty() || line[0] == u';' || line[0] == u'#')
            continue;
        if (line[0] == u'[') {
            // Every "[" line ends the section before it, whether or not it starts one.
            pCurrent = nullptr;
            bInSection = false;
            const std::size_t close = line.find(u']');
            if (close == std::u16string::npos)
                continue;
            const std::u16string name = Trim(line.substr(1, close - 1));
            if (name.empty() || name.size() > MAX_NAME_UNITS)
                continue;
            bInSection = true;
            const std::u16string key = Folded(name);
            if (m_index.count(key))
                continue; // duplicate: the first one answers
            m_index.emplace(key, m_sections.size());
            m_sections.push_back(SSection{name, {}});
            m_names.push_back(name);
            pCurrent = &m_sections.back();
            continue;
        }
        if (!bInSection || pCurrent == nullptr)
            continue;
        const std::size_t eq = line.find(u'=');
        if (eq == std::u16string::npos)
            continue;
        std::u16string key = Trim(line.substr(0, eq));
        std::u16string value = Trim(line.substr(eq + 1));
        if (key.empty())
            continue;
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        pCurrent->keys.emplace_back(std::move(key), std::move(value));
    }
}

const CSpeakerLibrary::SSection* CSpeakerLibrary::FindSection(const std::u16string& section) const
{
    const auto it = m_index.find(Folded(section));
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

bool CSpeakerLibrary::HasSection(const std::u16string& section) const { return FindSection(section) != nullptr; }

const std::u16string* CSpeakerLibrary::SectionName(const std::u16string& section) const
{
    const SSection* p = FindSection(section);
    return p ? &p->name : nullptr;
}

const std::u16string* CSpeakerLibrary::Find(const std::u16string& section, const char16_t* pszKey) const
{
    const SSection* p = FindSection(section);
    if (p == nullptr || pszKey == nullptr)
        return nullptr;
    for (const auto& kv : p->keys)
        if (CChannelConfig::NamesEqualNoCase(kv.first.c_str(), pszKey))
            return &kv.second;
    return nullptr;
}
