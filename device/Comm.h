#pragma once
// CComm: the one link engine.  Every exchange with the unit goes through its
// request queue; one worker thread sends the requests one at a time, waits
// for the replies, retries, and reports each result on the notification pipe.

#include <windows.h>
#include <cstdint>

class CComm {
public:
    CComm();
    virtual ~CComm();
    CComm(const CComm&) = delete;
    CComm& operator=(const CComm&) = delete;

    // GET (bSet false) or SET of one channel parameter, value as a float.
    bool QueueRequest(bool bSet, BYTE bChannel, BYTE bParameter, float fltValue);
    // The same with the value's 32-bit pattern stored unchanged.
    bool QueueRequest(bool bSet, BYTE bChannel, BYTE bParameter, DWORD dwBits);
    // Raw command: 8-bit command and three 32-bit words.
    bool QueueCommand(BYTE bCommand, DWORD dwIter, DWORD dwUWord, DWORD dwLWord);
    // Reads of every parameter and output of one channel (mode 2 or 3).
    bool QueueReadChannel(int nChannel, int nMode);
    // Word reads of one stored memory section; may advance nSection past empty ones.
    bool QueueReadMemory(int& nSection);

    void SetPolling(bool bOn);
    bool IsPolling() const;

    bool Open();
    void Close();
    bool IsOpen() const;

    int GetDeviceNumber() const;
    void SetDeviceNumber(int nDevice);
    // The automatic lookup: first device described "USBXpress Device", or -1.
    static int FindDevice();
    // Runs FindDevice and stores its result as the device number.
    int LookupDevice();

    // Given once by the notification pipe's constructor.
    void SetWritePipe(HANDLE hWritePipe);
};

// Process-wide singletons, constructed before the entry point in this order.
extern CComm g_Comm;
