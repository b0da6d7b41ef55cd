#include "tools/qvrtool/FleetRunner.h"

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

#include "tools/qvrtool/FleetPlan.h"
#include "tools/qvrtool/TextCodec.h"

namespace {

// Children are started one at a time: each inherits its own output files,
// which the parent closes before the next child starts.
std::mutex g_startLock;

std::wstring Wide(const std::string& s)
{
    std::u16string u;
    Utf8ToUtf16(s, u);
    return std::wstring(u.begin(), u.end());
}

std::string Narrow(const std::wstring& s)
{
    return Utf16ToUtf8(std::u16string(s.begin(), s.end()).c_str());
}

// A file the child wrote, up to MAX_OUTPUT bytes.
std::string ReadBounded(const std::wstring& path)
{
    std::string text;
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return text;
    char buf[4096];
    DWORD dwRead = 0;
    while (text.size() < CFleetOutcome::MAX_OUTPUT && ::ReadFile(h, buf, sizeof buf, &dwRead, nullptr) && dwRead > 0)
        text.append(buf, std::min<std::size_t>(dwRead, CFleetOutcome::MAX_OUTPUT - text.size()));
    ::CloseHandle(h);
    return text;
}

std::wstring ProgramPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool StderrIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace

CFleetOutcome::SStep CFleetRunner::RunChild(const SStepPlan& plan)
{
    CFleetOutcome::SStep step;
    step.verb = plan.verb;
    step.names = plan.names;
    const std::wstring exe = ProgramPath();
    std::string line = CFleetPlan::QuoteArgument(Narrow(exe));
    for (const std::string& arg : plan.args)
        line += " " + CFleetPlan::QuoteArgument(arg);
    std::wstring command = Wide(line);
    // The child writes into files that are read once it has ended: no reader
    // depends on seeing the end of a pipe (under Wine a pipe's write end can
    // outlive the child that had it) and nothing the child writes can stall it.
    const std::wstring outPath = Wide(plan.output + ".out");
    const std::wstring errPath = Wide(plan.output + ".err");

    PROCESS_INFORMATION pi = {};
    bool bStarted = false;
    DWORD dwError = 0;
    {
        std::lock_guard<std::mutex> lock(g_startLock);
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        const DWORD dwShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        const HANDLE hNul = ::CreateFileW(L"NUL", GENERIC_READ, dwShare, &sa, OPEN_EXISTING, 0, nullptr);
        const HANDLE hOut = ::CreateFileW(outPath.c_str(), GENERIC_WRITE, dwShare, &sa, CREATE_ALWAYS, 0, nullptr);
        const HANDLE hErr = ::CreateFileW(errPath.c_str(), GENERIC_WRITE, dwShare, &sa, CREATE_ALWAYS, 0, nullptr);
        if (hOut != INVALID_HANDLE_VALUE && hErr != INVALID_HANDLE_VALUE) {
            STARTUPINFOW si = {};
            si.cb = sizeof si;
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdInput = hNul != INVALID_HANDLE_VALUE ? hNul : nullptr;
            si.hStdOutput = hOut;
            si.hStdError = hErr;
            bStarted = ::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &si, &pi) != FALSE;
        }
        if (!bStarted)
            dwError = ::GetLastError();
        // Closed before any other child starts: none inherits another's files.
        for (HANDLE h : {hOut, hErr, hNul})
            if (h != INVALID_HANDLE_VALUE)
                ::CloseHandle(h);
    }
    if (!bStarted) {
        step.bStarted = false;
        step.err = "qvrtool could not be started: " + std::system_category().message(static_cast<int>(dwError));
        return step;
    }
    // Every wait of a child is bounded (the unit verbs give up on a quiet
    // link), so the child ends.
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD dwExit = 0;
    ::GetExitCodeProcess(pi.hProcess, &dwExit);
    step.nExit = dwExit;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    step.out = ReadBounded(outPath);
    step.err = ReadBounded(errPath);
    return step;
}

void CFleetRunner::RunJob(SJob& job)
{
    job.dwStart = ::GetTickCount();
    for (std::size_t i = 0; i < job.steps.size(); ++i) {
        job.nStep = static_cast<int>(i);
        job.done.push_back(RunChild(job.steps[i]));
        job.result = CFleetOutcome::Judge(job.done.back());
        if (job.result.nExit != 0) {
            // A later step never starts on a unit whose earlier step failed
            // (no firmware on a unit that could not be identified).
            if (i + 1 < job.steps.size())
                job.result.text += std::string(" (") + job.steps[i + 1].pszDoing + " not started)";
            break;
        }
    }
    job.dSeconds = (::GetTickCount() - job.dwStart) / 1000.0;
    job.nStep = static_cast<int>(job.steps.size());
}

void CFleetRunner::Run(std::vector<SJob*>& jobs, unsigned nParallel)
{
    std::atomic<std::size_t> nNext{0};
    const auto worker = [&] {
        for (std::size_t i; (i = nNext++) < jobs.size();)
            RunJob(*jobs[i]);
    };
    std::vector<std::thread> threads;
    const std::size_t nThreads = std::max<std::size_t>(1, std::min<std::size_t>(nParallel, jobs.size()));
    for (std::size_t i = 0; i < nThreads; ++i)
        threads.emplace_back(worker);
    if (StderrIsTerminal()) {
        ShowProgress(jobs, true);
        for (;;) {
            bool bAll = true;
            for (const SJob* p : jobs)
                bAll = bAll && p->nStep == static_cast<int>(p->steps.size());
            ShowProgress(jobs, false);
            if (bAll)
                break;
            ::Sleep(250);
        }
    }
    for (std::thread& t : threads)
        t.join();
}

// One line per unit; every redraw puts the console's cursor back on the
// first of them and writes them over (through the console's own calls:
// Wine's console shows escape sequences as text).  Where stderr is not a
// console that tells its cursor, one line says how far the run is.
void CFleetRunner::ShowProgress(const std::vector<SJob*>& jobs, bool bFirst)
{
    static bool s_bLines = false;
    static SHORT s_nTop = 0;
    static int s_nWidth = 80;
    const HANDLE hErr = ::GetStdHandle(STD_ERROR_HANDLE);
    if (bFirst) {
        CONSOLE_SCREEN_BUFFER_INFO info;
        s_bLines = ::GetConsoleScreenBufferInfo(hErr, &info) != FALSE && info.dwSize.X > 20;
        if (s_bLines)
            s_nWidth = info.dwSize.X - 1;
    }
    std::string text;
    std::size_t nDone = 0, nRunning = 0;
    const DWORD dwNow = ::GetTickCount();
    for (const SJob* p : jobs) {
        const int nStep = p->nStep;
        std::string state;
        if (nStep < 0) {
            state = "waiting";
        } else if (nStep < static_cast<int>(p->steps.size())) {
            ++nRunning;
            char sz[32];
            std::snprintf(sz, sizeof sz, " %.0f s", (dwNow - p->dwStart) / 1000.0);
            state = p->steps[static_cast<std::size_t>(nStep)].pszDoing + std::string(sz);
        } else {
            ++nDone;
            state = p->result.text;
        }
        std::string line = p->label + "  " + state;
        line.resize(static_cast<std::size_t>(s_nWidth), ' ');
        text += line + "\n";
    }
    if (s_bLines) {
        if (!bFirst) {
            std::fflush(stderr);
            ::SetConsoleCursorPosition(hErr, COORD{0, s_nTop});
        }
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
        // Where the lines begin now (the first writing may have scrolled).
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (bFirst && ::GetConsoleScreenBufferInfo(hErr, &info))
            s_nTop = static_cast<SHORT>(std::max<int>(0, info.dwCursorPosition.Y - static_cast<int>(jobs.size())));
    } else {
        std::fprintf(stderr, "\r%zu of %zu units done, %zu running", nDone, jobs.size(), nRunning);
        if (nDone == jobs.size())
            std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}
