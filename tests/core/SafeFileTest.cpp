// Replacing a file through a temporary file beside it: the old content stays
// whole until the new one is complete, and what is not a regular file is
// refused.  Natively (POSIX) and under Wine (Windows).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "files/SafeFile.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

class SafeFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("qvr-safefile-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    static std::string Read(const fs::path& p)
    {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    static void Write(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
    static CSafeFile::SResult Save(const fs::path& p, const std::string& s)
    {
        CSafeFile file;
        CSafeFile::SResult r = file.Begin(p);
        if (!r.Ok())
            return r;
        if (!file.Stream().Write(s.data(), s.size()))
            return {CSafeFile::EStatus::WriteFailed, 0};
        return file.Commit();
    }
    size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), {})); }

    fs::path m_dir;
};

} // namespace

TEST_F(SafeFile, CreatesReplacesAndLeavesNothingBehind)
{
    const fs::path p = m_dir / "a.qvr";
    ASSERT_TRUE(Save(p, "first").Ok());
    EXPECT_EQ(Read(p), "first");
    ASSERT_TRUE(Save(p, "second, longer").Ok());
    EXPECT_EQ(Read(p), "second, longer");
    ASSERT_TRUE(Save(p, "3").Ok()); // shorter: nothing of the old content is left
    EXPECT_EQ(Read(p), "3");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(SafeFile, AbandonedOrFailedWritesKeepTheOldFileWhole)
{
    const fs::path p = m_dir / "a.qvr";
    Write(p, "the old configuration");
    {
        CSafeFile file;
        ASSERT_TRUE(file.Begin(p).Ok());
        file.Stream().Write("half", 4);
        // destroyed without Commit, as when the writer fails midway
    }
    EXPECT_EQ(Read(p), "the old configuration");
    EXPECT_EQ(Entries(), 1u);
    // A folder that does not exist: nothing can be created.
    const CSafeFile::SResult r = Save(m_dir / "missing" / "b.qvr", "x");
    EXPECT_EQ(r.status, CSafeFile::EStatus::CannotCreate);
    EXPECT_NE(r.nSystemError, 0u);
}

TEST_F(SafeFile, WhatIsNotARegularFileIsRefused)
{
    fs::create_directories(m_dir / "folder.qvr");
    EXPECT_EQ(Save(m_dir / "folder.qvr", "x").status, CSafeFile::EStatus::NotRegularFile);
#ifdef _WIN32
    EXPECT_EQ(Save(L"\\\\.\\NUL", "x").status, CSafeFile::EStatus::NotRegularFile);
#else
    EXPECT_EQ(Save("/dev/null", "x").status, CSafeFile::EStatus::NotRegularFile);
#endif
    EXPECT_EQ(Entries(), 1u);
}

#ifdef _WIN32
TEST_F(SafeFile, AFileHeldOpenByAnotherProgramStaysWholeAndKeepsItsAttributes)
{
    const fs::path p = m_dir / "a.qvr";
    Write(p, "old");
    ASSERT_TRUE(::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    {
        HANDLE hHeld = ::CreateFileW(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
        const CSafeFile::SResult r = Save(p, "new");
        ::CloseHandle(hHeld);
        EXPECT_EQ(r.status, CSafeFile::EStatus::CannotReplace);
        EXPECT_NE(r.nSystemError, 0u);
    }
    EXPECT_EQ(Read(p), "old");
    EXPECT_EQ(Entries(), 1u);
    ASSERT_TRUE(Save(p, "new").Ok());
    EXPECT_EQ(Read(p), "new");
    EXPECT_TRUE(::GetFileAttributesW(p.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}
#else
TEST_F(SafeFile, LinksStayLinksAndPermissionsStay)
{
    const fs::path target = m_dir / "target.qvr";
    Write(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("target.qvr", m_dir / "link.qvr");
    ASSERT_TRUE(Save(m_dir / "link.qvr", "new").Ok());
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.qvr"));
    EXPECT_EQ(Read(target), "new");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
#endif

namespace {

// The platform's own steps, with one of them made to fail: before failing,
// a replacement may take the old file away as ReplaceFileW does for its
// errors 1176 (the old file deleted) and 1177 (moved to another name).
class CFailingStep : public CSafeFile::ISystem {
public:
    enum class EStep { Write, Flush, Replace, Move };
    enum class EOldFile { Stays, Deleted, MovedAside };

    CFailingStep(EStep eStep, unsigned long nError, EOldFile eOld = EOldFile::Stays, bool bMoveFails = false)
        : m_eStep(eStep), m_nError(nError), m_eOld(eOld), m_bMoveFails(bMoveFails)
    {
        CSafeFile::SetSystem(this);
    }
    ~CFailingStep() override { CSafeFile::SetSystem(nullptr); }

    unsigned long Write(void* h, const void* p, std::size_t cb) override
    {
        return m_eStep == EStep::Write ? m_nError : Real().Write(h, p, cb);
    }
    unsigned long Flush(void* h) override { return m_eStep == EStep::Flush ? m_nError : Real().Flush(h); }
    unsigned long Replace(const fs::path& target, const fs::path& temp) override
    {
        if (m_eStep != EStep::Replace)
            return Real().Replace(target, temp);
        if (m_eOld == EOldFile::Deleted)
            fs::remove(target);
        else if (m_eOld == EOldFile::MovedAside)
            fs::rename(target, fs::path(target).concat(".replaced"));
        return m_nError;
    }
    unsigned long Move(const fs::path& from, const fs::path& to) override
    {
        ++nMoves;
        return m_eStep == EStep::Move || m_bMoveFails ? m_nError : Real().Move(from, to);
    }

    int nMoves = 0;

private:
    static CSafeFile::ISystem& Real() { return CSafeFile::PlatformSystem(); }
    EStep m_eStep;
    unsigned long m_nError;
    EOldFile m_eOld;
    bool m_bMoveFails;
};

} // namespace

TEST_F(SafeFile, EachStepFailingInTurnLeavesTheOldFileOrTheNewOneNeverNeither)
{
    using E = CFailingStep::EStep;
    using O = CFailingStep::EOldFile;
    const fs::path p = m_dir / "a.qvr";
    const unsigned long nError = 1176; // as ReplaceFileW reports it; any code will do for the other steps

    // Writing, flushing or a replacement that did not start: the old file is
    // as it was, the temporary file is gone, and the reason is reported.
    for (const E eStep : {E::Write, E::Flush, E::Replace}) {
        Write(p, "the old configuration");
        CFailingStep fault(eStep, 1117);
        const CSafeFile::SResult r = Save(p, "new");
        EXPECT_EQ(r.status, eStep == E::Replace ? CSafeFile::EStatus::CannotReplace : CSafeFile::EStatus::WriteFailed)
            << static_cast<int>(eStep);
        EXPECT_EQ(r.nSystemError, eStep == E::Write ? 0u : 1117u); // Save reports a refused Write itself
        EXPECT_EQ(Read(p), "the old configuration");
        EXPECT_EQ(Entries(), 1u);
    }

    // The replacement took the old file away and failed: the new content is
    // moved into its place (and the old one, where the system kept it, stays).
    for (const O eOld : {O::Deleted, O::MovedAside}) {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        Write(p, "the old configuration");
        CFailingStep fault(E::Replace, nError, eOld);
        EXPECT_TRUE(Save(p, "new").Ok());
        EXPECT_EQ(Read(p), "new");
        EXPECT_EQ(Entries(), eOld == O::MovedAside ? 2u : 1u);
    }

    // ... and when the move fails too, the new content is kept and named: the
    // only copy of it is never deleted.
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    Write(p, "the old configuration");
    {
        CFailingStep fault(E::Replace, nError, O::Deleted, true);
        const CSafeFile::SResult r = Save(p, "new");
        EXPECT_EQ(r.status, CSafeFile::EStatus::KeptAside);
        EXPECT_EQ(r.nSystemError, nError);
        EXPECT_EQ(fault.nMoves, 1);
        ASSERT_FALSE(r.kept.empty());
        EXPECT_EQ(Read(r.kept), "new");
        EXPECT_EQ(r.kept.parent_path(), p.parent_path());
        EXPECT_FALSE(fs::exists(p));
    }

    // A new file that cannot be put in place (Windows moves it, POSIX renames
    // it): nothing is left behind.
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    {
        CFailingStep fault(E::Replace, 5, O::Stays, true);
        EXPECT_EQ(Save(p, "new").status, CSafeFile::EStatus::CannotReplace);
        EXPECT_EQ(Entries(), 0u);
    }
}
