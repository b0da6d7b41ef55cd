#pragma once
// CFlagsWriteTracker: tells the program's copy of the system flags which of
// the unit's flags answers it may take.
//
// Every change of the flags is sent as a read followed by a write, and the
// read's answer carries the word the write is about to replace.  Taken as
// it comes, that answer would set the copy back for as long as the write
// takes (one reply, or up to three attempts when the unit refuses it or
// stays silent), and a Disconnect handled in that time would see the
// system unmuted and leave the unit muted.  The rule: the copy is the value
// last written, or, when no write of the flags is waiting, on the line or
// answered but not yet taken by the windows, the value last read.  An
// answer is taken only when no write queued after its request is still on
// its way.
//
// The queue reports each write it appends and each one it drops unanswered,
// and the kind of each flags answer as it goes into the notification pipe;
// the windows' handler of flags answers takes each one, in the order the
// pipe delivers them.  Every producer's flags requests count, the
// terminal's too: their answers reach the same handler.  Thread-safe.

#include <cstddef>
#include <deque>
#include <mutex>

class CFlagsWriteTracker {
public:
    // A write of the flags joined the queue.
    void WriteQueued();
    // Writes of the flags left the queue without an answer (a failure, a withdrawal).
    void WritesDropped(std::size_t nCount);
    // An answer of a flags read (bWrite false) or write goes to the windows.
    void Answered(bool bWrite);
    // The windows' next flags answer, in delivery order: true when it may
    // set the copy (no write queued after its request is still on its way).
    // An answer the queue never reported is judged the same way.
    bool TakeAnswer();

    // Writes queued and neither dropped nor taken (tests and diagnostics).
    std::size_t GetWritesOnTheirWay() const;

    // Answers kept for a handler that never takes them are bounded.
    static constexpr std::size_t MAX_UNTAKEN_ANSWERS = 256;

private:
    mutable std::mutex m_mutex;
    std::deque<bool> m_answers;        // kinds of the answers not yet taken (true: a write)
    std::size_t m_nWritesOnTheirWay = 0;
};
