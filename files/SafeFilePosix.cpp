// CSafeFile on POSIX systems: mkstemp beside the target, fsync, the old
// file's mode and owner, rename over it.  (A rename that fails leaves the
// old file in place; the same mending as on Windows still applies should it
// ever be gone.)
#include "files/SafeFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

class CPlatformSystem : public CSafeFile::ISystem {
public:
    unsigned long Write(void* hFile, const void* pData, std::size_t cb) override
    {
        const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(hFile));
        const auto* p = static_cast<const std::uint8_t*>(pData);
        while (cb > 0) {
            const ssize_t n = ::write(fd, p, cb);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? static_cast<unsigned long>(errno) : EIO;
            p += n;
            cb -= static_cast<std::size_t>(n);
        }
        return 0;
    }
    unsigned long Flush(void* hFile) override
    {
        return ::fsync(static_cast<int>(reinterpret_cast<std::intptr_t>(hFile))) == 0
                   ? 0
                   : static_cast<unsigned long>(errno);
    }
    unsigned long Replace(const fs::path& target, const fs::path& temp) override
    {
        return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : static_cast<unsigned long>(errno);
    }
    unsigned long Move(const fs::path& from, const fs::path& to) override
    {
        // Only ever called for a free name.
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : static_cast<unsigned long>(errno);
    }
};

class CFdStream : public IByteStream {
public:
    CSafeFile::ISystem* pSystem = nullptr;
    int fd = -1;
    int nError = 0;
    std::int64_t Read(void*, std::size_t) override { return -1; }
    bool Write(const void* pData, std::size_t cb) override
    {
        if (nError != 0)
            return false;
        nError = static_cast<int>(pSystem->Write(reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)), pData, cb));
        return nError == 0;
    }
};

fs::path ResolveTarget(const fs::path& path, std::error_code& ec)
{
    fs::path p = path;
    for (int nHops = 0; nHops < 40; ++nHops) {
        const fs::file_status st = fs::symlink_status(p, ec);
        if (st.type() == fs::file_type::not_found) {
            ec.clear(); // a new file: created where the path says
            return fs::absolute(p, ec);
        }
        if (ec)
            return {};
        if (!fs::is_symlink(st))
            return fs::exists(st) ? fs::canonical(p, ec) : fs::absolute(p, ec);
        const fs::path link = fs::read_symlink(p, ec);
        if (ec)
            return {};
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return {};
}

} // namespace

struct CSafeFile::SImpl {
    CFdStream stream;
    std::string tempPath;
    bool bExists = false;
    struct stat stOld {};
};

CSafeFile::ISystem& CSafeFile::PlatformSystem()
{
    static CPlatformSystem s_system;
    return s_system;
}

CSafeFile::CSafeFile() = default;
CSafeFile::~CSafeFile() { Abandon(); }

CSafeFile::SResult CSafeFile::Begin(const fs::path& path)
{
    Abandon();
    std::error_code ec;
    m_target = ResolveTarget(path, ec);
    if (ec)
        return {EStatus::CannotCreate, static_cast<unsigned long>(ec.value())};
    auto pImpl = std::make_unique<SImpl>();
    if (::stat(m_target.c_str(), &pImpl->stOld) == 0) {
        if (!S_ISREG(pImpl->stOld.st_mode))
            return {EStatus::NotRegularFile, 0};
        pImpl->bExists = true;
    } else if (errno != ENOENT) {
        return {EStatus::CannotCreate, static_cast<unsigned long>(errno)};
    }
    const fs::path dir = m_target.has_parent_path() ? m_target.parent_path() : fs::path(".");
    std::string tmpl = (dir / ("." + m_target.filename().string() + ".XXXXXX")).string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    const int fd = ::mkstemp(buf.data());
    if (fd < 0)
        return {EStatus::CannotCreate, static_cast<unsigned long>(errno)};
    pImpl->stream.fd = fd;
    pImpl->stream.pSystem = &System();
    pImpl->tempPath = buf.data();
    m_pImpl = std::move(pImpl);
    return {};
}

IByteStream& CSafeFile::Stream() { return m_pImpl->stream; }

void* CSafeFile::NativeHandle() const
{
    return m_pImpl ? reinterpret_cast<void*>(static_cast<std::intptr_t>(m_pImpl->stream.fd)) : nullptr;
}

CSafeFile::SResult CSafeFile::Commit()
{
    if (!m_pImpl)
        return {EStatus::CannotCreate, static_cast<unsigned long>(EBADF)};
    SImpl& impl = *m_pImpl;
    if (impl.stream.nError != 0) {
        const int nError = impl.stream.nError;
        Abandon();
        return {EStatus::WriteFailed, static_cast<unsigned long>(nError)};
    }
    const int fd = impl.stream.fd;
    mode_t mode;
    if (impl.bExists) {
        mode = impl.stOld.st_mode & 07777;
        // Keep the owner where allowed (as root); elsewhere the file is the writer's anyway.
        if (::fchown(fd, impl.stOld.st_uid, impl.stOld.st_gid) != 0) {
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) {
        const int nError = errno;
        Abandon();
        return {EStatus::WriteFailed, static_cast<unsigned long>(nError)};
    }
    if (const unsigned long nError = System().Flush(reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)))) {
        Abandon();
        return {EStatus::WriteFailed, nError};
    }
    impl.stream.fd = -1;
    if (::close(fd) != 0) {
        const int nError = errno;
        ::unlink(impl.tempPath.c_str());
        m_pImpl.reset();
        return {EStatus::WriteFailed, static_cast<unsigned long>(nError)};
    }
    const fs::path temp = impl.tempPath;
    const bool bExists = impl.bExists;
    m_pImpl.reset();
    if (const unsigned long nError = System().Replace(m_target, temp)) {
        if (bExists)
            return AfterFailedReplace(temp, nError);
        ::unlink(temp.c_str());
        return {EStatus::CannotReplace, nError};
    }
    return {};
}

void CSafeFile::Abandon()
{
    if (!m_pImpl)
        return;
    if (m_pImpl->stream.fd >= 0)
        ::close(m_pImpl->stream.fd);
    ::unlink(m_pImpl->tempPath.c_str());
    m_pImpl.reset();
}
