#pragma once
// CLinkTimeline: where the time of each exchange goes, for the link
// benchmark.  While a timeline is active, the link and the queue's worker
// stamp the moments of each exchange with the performance counter: the
// request's send call (its start and end), the reply's bytes read by the
// receiving thread, and the worker woken with the reply.  An exchange runs
// from one send to the next.  Inactive (the program), a mark costs one
// load of a null pointer.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class CLinkTimeline {
public:
    enum EPoint { SEND_BEGIN, SEND_END, RECEIVED, WORKER_WOKE, POINT_COUNT };
    struct SExchange {
        LONGLONG at[POINT_COUNT] = {}; // performance counter; 0 when not seen
    };

    explicit CLinkTimeline(std::size_t nCapacity) : m_exchanges(nCapacity) {}
    ~CLinkTimeline() { Deactivate(); }
    CLinkTimeline(const CLinkTimeline&) = delete;
    CLinkTimeline& operator=(const CLinkTimeline&) = delete;

    // Marks go to this timeline until Deactivate.
    void Activate() { s_pActive.store(this); }
    void Deactivate()
    {
        CLinkTimeline* pThis = this;
        s_pActive.compare_exchange_strong(pThis, nullptr);
    }

    // A SEND_BEGIN opens the next exchange; the other points stamp the open one.
    static void Mark(EPoint ePoint)
    {
        if (CLinkTimeline* p = s_pActive.load(std::memory_order_relaxed))
            p->Stamp(ePoint);
    }

    // The exchanges recorded, in order (at most the capacity).
    std::vector<SExchange> Exchanges() const;

private:
    void Stamp(EPoint ePoint);

    static std::atomic<CLinkTimeline*> s_pActive;
    std::vector<SExchange> m_exchanges;
    std::atomic<std::size_t> m_nOpen{0}; // exchanges opened so far
};
