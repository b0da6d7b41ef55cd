#pragma once
// The profile of an installation: project, theater, screen number and
// comments.  Fixed UTF-16 buffers; every setter and getter is a bounded copy
// that cuts and always terminates.

constexpr int PROFILE_PROJECT_UNITS = 32;
constexpr int PROFILE_THEATER_UNITS = 32;
constexpr int PROFILE_SCREEN_UNITS = 4;
constexpr int PROFILE_COMMENTS_UNITS = 128;

class CProfileInfo {
public:
    CProfileInfo();
    CProfileInfo(const CProfileInfo&) = default;
    CProfileInfo& operator=(const CProfileInfo&) = default;
    virtual ~CProfileInfo() = default;

    // Sets the project name to "* FACTORY DEFAULTS *"; the other fields stay.
    void SetDefaults();

    // Setters take a NUL-terminated text (nullptr clears the field).
    void SetProject(const char16_t* psz);
    void SetTheater(const char16_t* psz);
    void SetScreen(const char16_t* psz);
    void SetComments(const char16_t* psz);

    // Getters copy into a buffer of cbBuffer BYTES, cut and terminated.
    void GetProject(char16_t* pszBuffer, int cbBuffer) const;
    void GetTheater(char16_t* pszBuffer, int cbBuffer) const;
    void GetScreen(char16_t* pszBuffer, int cbBuffer) const;
    void GetComments(char16_t* pszBuffer, int cbBuffer) const;

    const char16_t* Project() const { return m_szProject; }
    const char16_t* Theater() const { return m_szTheater; }
    const char16_t* Screen() const { return m_szScreen; }
    const char16_t* Comments() const { return m_szComments; }

    // Bounded copy of a NUL-terminated UTF-16 text into nUnits units
    // (nUnits - 1 characters at most, always terminated, rest zeroed).
    static void CopyText(char16_t* pszDest, int nUnits, const char16_t* pszSource);

protected:
    char16_t m_szProject[PROFILE_PROJECT_UNITS];
    char16_t m_szTheater[PROFILE_THEATER_UNITS];
    char16_t m_szScreen[PROFILE_SCREEN_UNITS];
    char16_t m_szComments[PROFILE_COMMENTS_UNITS];
};
