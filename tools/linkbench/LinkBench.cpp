// qvr500-linkbench: pushes requests through the command queue to an
// in-process simulated unit and compares the request rate with what the
// 115200-baud line allows (one 16-byte request and one 16-byte reply per
// exchange), then measures the same with the line taking no time.
//
//   qvr500-linkbench [--requests N] [--instant-requests N] [--floor-requests N] [--tcp HOST:PORT]
//                    [--timeline FILE]
//
// --tcp runs against a qvr500-sim in another process instead (its timing
// as it was started; no instant run then).  Every run of the queue records
// a per-request timeline (CLinkTimeline): the send call, the wait for the
// reply's bytes, the hand-over of the reply to the worker and the worker's
// own time until the next send; the medians are printed, and --timeline
// writes every request's row as CSV.
//
// Prints requests_per_s=, wire_limit_per_s=, ratio= and instant_requests_per_s=,
// and for reference link_floor_per_s= (one request at a time straight through
// the link library, no queue engine, same simulated line) and engine_ratio=
// (the queue engine's rate against that floor): how much of the distance to
// the wire limit is the engine's and how much the host's timers and threads'.
// A queue run is timed from the moment the worker takes its first request to
// the moment the last result has been read: a worker whose queue was empty
// looks at it again only after its idle wait (up to 100 ms), a delay before
// the first request rather than a cost of each.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/Comm.h"
#include "device/RXQueue.h"
#include "device/link/LinkTimeline.h"
#include "device/link/QVRCOMM.h"
#include "protocol/QVRSCP.h"
#include "framework/Handles.h"
#include "sim/SimPort.h"
#include "sim/SimRegistry.h"

namespace {
// One exchange on the wire: 16 bytes out, 16 bytes back, 10 bits a byte.
constexpr double BYTE_SECONDS = 10.0 / 115200.0;
constexpr double EXCHANGE_SECONDS = 32 * BYTE_SECONDS;
constexpr std::size_t QUEUE_LOW = 64;
constexpr std::size_t QUEUE_HIGH = 128;

// Counts the records the queue writes, on a thread of its own, and notes when
// it read the last of them.  Like the program's own reader it looks at the
// pipe every 10 ms; towards the end of a run it looks every millisecond, so
// that the end of the run is seen to the millisecond.
class CRecordCounter {
public:
    explicit CRecordCounter(HANDLE hRead) : m_hRead(hRead)
    {
        m_hThread.Reset(::CreateThread(nullptr, 0, &CRecordCounter::Run, this, 0, nullptr));
    }
    ~CRecordCounter()
    {
        m_bStop = true;
        ::WaitForSingleObject(m_hThread, INFINITE);
    }
    long Count() const { return m_nCount; }
    // The performance counter when the records counted so far had all been read.
    LONGLONG LastReadTime() const { return m_tLastRead; }
    void PollFast(bool bFast) { m_bFast = bFast; }

private:
    static DWORD WINAPI Run(LPVOID pParam)
    {
        auto* pThis = static_cast<CRecordCounter*>(pParam);
        BYTE bRecords[24 * 64];
        while (!pThis->m_bStop) {
            DWORD dwWaiting = 0;
            if (!::PeekNamedPipe(pThis->m_hRead, nullptr, 0, nullptr, &dwWaiting, nullptr) || dwWaiting < 24) {
                ::Sleep(pThis->m_bFast ? 1 : 10);
                continue;
            }
            DWORD dwWant = (dwWaiting / 24) * 24;
            if (dwWant > sizeof(bRecords))
                dwWant = sizeof(bRecords);
            DWORD dwRead = 0;
            if (::ReadFile(pThis->m_hRead, bRecords, dwWant, &dwRead, nullptr)) {
                LARGE_INTEGER now;
                ::QueryPerformanceCounter(&now);
                pThis->m_tLastRead = now.QuadPart;
                pThis->m_nCount += static_cast<long>(dwRead / 24);
            }
        }
        return 0;
    }

    HANDLE m_hRead;
    CHandle m_hThread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bFast{false};
    std::atomic<long> m_nCount{0};
    std::atomic<LONGLONG> m_tLastRead{0};
};

// The unit of the run: an in-process simulated unit by name, or with
// g_tcpAddress set the qvr500-sim at that address.
std::string g_tcpAddress;

void SetBenchDevice(const char* pszUnit, bool bInstant)
{
    std::string devices;
    if (!g_tcpAddress.empty()) {
        devices = "tcp:" + g_tcpAddress + ":USBXpress Device:BENCH";
    } else {
        GetSharedSimUnit(pszUnit).FactoryReset();
        devices = std::string("sim:") + pszUnit + (bInstant ? ",instant" : "") + ":USBXpress Device:BENCH";
    }
    ::SetEnvironmentVariableA("QVR500_DEVICES", devices.c_str());
}

// The processor time this process has used, in microseconds: unlike the
// rate, it hardly changes when other programs load the machine, so it tells
// whether the link's own work per request went down.
double ProcessCpuUs()
{
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    if (!::GetProcessTimes(::GetCurrentProcess(), &ftCreate, &ftExit, &ftKernel, &ftUser))
        return 0.0;
    const auto us = [](const FILETIME& ft) {
        return double((ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10.0;
    };
    return us(ftKernel) + us(ftUser);
}
double g_dCpuPerRequestUs = 0.0; // of the last timed run

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Where the time of each exchange went, from the timeline of a run: the
// medians printed, every row written to pszCsv when given.
void PrintTimeline(const char* pszRun, const CLinkTimeline& timeline, const char* pszCsv)
{
    const std::vector<CLinkTimeline::SExchange> rows = timeline.Exchanges();
    LARGE_INTEGER freq;
    ::QueryPerformanceFrequency(&freq);
    const auto us = [&](LONGLONG a, LONGLONG b) { return 1e6 * double(b - a) / double(freq.QuadPart); };
    std::vector<double> send, reply, handOver, worker, total;
    std::FILE* pCsv = pszCsv ? std::fopen(pszCsv, "w") : nullptr;
    if (pCsv)
        std::fprintf(pCsv, "request,send_us,reply_us,hand_over_us,worker_us,total_us\n");
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        const LONGLONG* at = rows[i].at;
        const LONGLONG tNext = rows[i + 1].at[CLinkTimeline::SEND_BEGIN];
        if (at[CLinkTimeline::SEND_END] == 0 || at[CLinkTimeline::RECEIVED] == 0 ||
            at[CLinkTimeline::WORKER_WOKE] == 0 || tNext == 0)
            continue; // a request answered by the queue itself, or one without a reply
        send.push_back(us(at[CLinkTimeline::SEND_BEGIN], at[CLinkTimeline::SEND_END]));
        reply.push_back(us(at[CLinkTimeline::SEND_END], at[CLinkTimeline::RECEIVED]));
        handOver.push_back(us(at[CLinkTimeline::RECEIVED], at[CLinkTimeline::WORKER_WOKE]));
        worker.push_back(us(at[CLinkTimeline::WORKER_WOKE], tNext));
        total.push_back(us(at[CLinkTimeline::SEND_BEGIN], tNext));
        if (pCsv)
            std::fprintf(pCsv, "%zu,%.1f,%.1f,%.1f,%.1f,%.1f\n", i, send.back(), reply.back(), handOver.back(),
                         worker.back(), total.back());
    }
    if (pCsv)
        std::fclose(pCsv);
    std::printf("%s_timeline_median_us: send=%.0f reply=%.0f hand_over=%.0f worker=%.0f total=%.0f wire=%.0f "
                "(%zu requests)\n",
                pszRun, Median(send), Median(reply), Median(handOver), Median(worker), Median(total),
                EXCHANGE_SECONDS * 1e6, total.size());
}

// Queues nRequests distinct requests (GETs, SETs and output reads in turn),
// keeping between QUEUE_LOW and QUEUE_HIGH waiting so that none merges, and
// returns the rate at which their results came back.
double Run(const char* pszUnit, bool bInstant, long nRequests, CLinkTimeline* pTimeline)
{
    SetBenchDevice(pszUnit, bInstant);

    HANDLE hRead = INVALID_HANDLE_VALUE;
    HANDLE hWrite = INVALID_HANDLE_VALUE;
    if (!::CreatePipe(&hRead, &hWrite, nullptr, 1 << 16))
        return 0.0;
    CFileHandle read(hRead);
    CFileHandle write(hWrite);
    double dRate = 0.0;
    {
        CComm comm;
        comm.SetWritePipe(hWrite);
        comm.SetPolling(false);
        comm.SetDeviceNumber(0);
        if (!comm.Open()) {
            std::fprintf(stderr, "qvr500-linkbench: the simulated unit could not be opened\n");
            return 0.0;
        }
        CRecordCounter counter(hRead);
        counter.PollFast(true);
        // Warm-up exchange, not counted.
        comm.QueueCommand(10, 0, 0, 0);
        while (counter.Count() < 1)
            ::Sleep(1);
        counter.PollFast(false);

        long nQueued = 0;
        const auto queueUpTo = [&](std::size_t nHigh) {
            while (nQueued < nRequests && comm.GetQueueLength() < nHigh) {
                const BYTE bChannel = static_cast<BYTE>((nQueued / 3) % 6);
                const BYTE bParameter = static_cast<BYTE>(((nQueued / 18) % 31) + (((nQueued / 18) % 31) >= 12));
                switch (nQueued % 3) {
                case 0:
                    comm.QueueRequest(false, bChannel, bParameter, 0.0f);
                    break;
                case 1:
                    comm.QueueRequest(true, bChannel, bParameter, static_cast<float>(nQueued));
                    break;
                default:
                    comm.QueueCommand(13, 0, DWORD((nQueued % 4) + 256 * ((nQueued / 4) % 4)), 0);
                    break;
                }
                ++nQueued;
            }
        };

        // The worker of an empty queue looks again only after its idle wait
        // (up to 100 ms): the clock starts when it takes the first request,
        // so the figure is the rate of a busy queue, per request.
        queueUpTo(QUEUE_HIGH);
        const std::size_t nFirst = comm.GetQueueLength();
        while (comm.GetQueueLength() == nFirst && comm.IsOpen())
            ::SwitchToThread();
        LARGE_INTEGER freq, start;
        ::QueryPerformanceFrequency(&freq);
        ::QueryPerformanceCounter(&start);
        if (pTimeline)
            pTimeline->Activate();
        const double dCpuStart = ProcessCpuUs();
        while (nQueued < nRequests) {
            if (comm.GetQueueLength() > QUEUE_LOW) {
                ::Sleep(1); // dozens of exchanges are still waiting
                continue;
            }
            queueUpTo(QUEUE_HIGH);
        }
        // SETs answer without a record: wait until the unit has seen them all
        // and every GET and output read has its record.
        while (comm.GetQueueLength() > 0 && comm.IsOpen())
            ::Sleep(1);
        counter.PollFast(true);
        const long nRecords = 1 + nRequests - (nRequests + 1) / 3; // every third request, from the second, is a SET
        while (counter.Count() < nRecords && comm.IsOpen())
            ::Sleep(1);
        if (pTimeline)
            pTimeline->Deactivate();
        g_dCpuPerRequestUs = (ProcessCpuUs() - dCpuStart) / double(nRequests);
        const double dSeconds = double(counter.LastReadTime() - start.QuadPart) / double(freq.QuadPart);
        dRate = double(nRequests) / dSeconds;
        comm.DetachWritePipe();
    }
    return dRate;
}

void FloorCallback(void*, const unsigned char*, unsigned long, void* pContext, int)
{
    ::SetEvent(static_cast<HANDLE>(pContext));
}

// One GET at a time straight through the link library: send, wait for the
// reply, send the next.
double RunFloor(const char* pszUnit, long nRequests)
{
    SetBenchDevice(pszUnit, false);
    CHandle hReply(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    QVRCOMM_SETTINGS settings{0, 115200, 8, 0, 0, 0};
    unsigned long nStatus = 1;
    const QVRCOMM_HANDLE hComm = OpenComm(settings, &FloorCallback, hReply.Get(), &nStatus);
    if (nStatus != QVRCOMM_SUCCESS)
        return 0.0;
    unsigned char bPacket[16];
    SCP_GenerateGET(bPacket, 0, 31, 0);
    bPacket[15] = SCP_BuildChecksum(bPacket);
    LARGE_INTEGER freq, start, end;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&start);
    long nDone = 0;
    for (; nDone < nRequests; ++nDone) {
        WriteCommBuf(hComm, bPacket, 16, &nStatus);
        if (::WaitForSingleObject(hReply, 1000) != WAIT_OBJECT_0)
            break;
    }
    ::QueryPerformanceCounter(&end);
    CloseComm(hComm, &nStatus);
    return double(nDone) / (double(end.QuadPart - start.QuadPart) / double(freq.QuadPart));
}

const char* ArgText(int argc, char** argv, const char* pszName)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], pszName) == 0)
            return argv[i + 1];
    return nullptr;
}

long ArgValue(int argc, char** argv, const char* pszName, long nDefault)
{
    const char* psz = ArgText(argc, argv, pszName);
    return psz ? std::strtol(psz, nullptr, 10) : nDefault;
}
} // namespace

int main(int argc, char** argv)
{
    const long nWire = ArgValue(argc, argv, "--requests", 1800);
    const long nInstant = ArgValue(argc, argv, "--instant-requests", 20000);
    if (const char* psz = ArgText(argc, argv, "--tcp"))
        g_tcpAddress = psz;
    const char* pszCsv = ArgText(argc, argv, "--timeline");
    if (nWire < 1 || nInstant < 1) {
        std::fprintf(stderr, "usage: qvr500-linkbench [--requests N] [--instant-requests N] [--tcp HOST:PORT] "
                             "[--timeline FILE]\n");
        return 2;
    }
    const double dWireLimit = 1.0 / EXCHANGE_SECONDS;
    CLinkTimeline timeline(static_cast<std::size_t>(nWire) + 16);
    const double dWire = Run("linkbench-wire", false, nWire, &timeline);
    if (!g_tcpAddress.empty())
        std::printf("link=tcp:%s\n", g_tcpAddress.c_str());
    std::printf("requests_per_s=%.1f\n", dWire);
    std::printf("wire_limit_per_s=%.1f\n", dWireLimit);
    std::printf("ratio=%.3f\n", dWire / dWireLimit);
    std::printf("process_cpu_us_per_request=%.1f\n", g_dCpuPerRequestUs);
    PrintTimeline("wire", timeline, pszCsv);
    double dInstant = 1.0;
    if (g_tcpAddress.empty()) {
        dInstant = Run("linkbench-instant", true, nInstant, nullptr);
        std::printf("instant_requests_per_s=%.1f\n", dInstant);
    }
    const long nFloor = ArgValue(argc, argv, "--floor-requests", nWire / 2);
    const double dFloor = nFloor > 0 ? RunFloor("linkbench-floor", nFloor) : 0.0;
    std::printf("link_floor_per_s=%.1f\n", dFloor);
    std::printf("engine_ratio=%.3f\n", dFloor > 0.0 ? dWire / dFloor : 0.0);
    return dWire > 0.0 && dInstant > 0.0 ? 0 : 1;
}
