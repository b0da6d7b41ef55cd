// Placeholder link engine: no unit, nothing sent.  Replaced by the real
// queue engine.
#include "device/Advise.h"
#include "device/Comm.h"

CComm::CComm() {}
CComm::~CComm() {}
bool CComm::QueueRequest(bool, BYTE, BYTE, float) { return true; }
bool CComm::QueueRequest(bool, BYTE, BYTE, DWORD) { return true; }
bool CComm::QueueCommand(BYTE, DWORD, DWORD, DWORD) { return true; }
bool CComm::QueueReadChannel(int, int) { return true; }
bool CComm::QueueReadMemory(int&) { return true; }
void CComm::SetPolling(bool) {}
bool CComm::IsPolling() const { return true; }
bool CComm::Open() { return false; }
void CComm::Close() {}
bool CComm::IsOpen() const { return false; }
int CComm::GetDeviceNumber() const { return -1; }
void CComm::SetDeviceNumber(int) {}
int CComm::FindDevice() { return -1; }
int CComm::LookupDevice() { return -1; }
void CComm::SetWritePipe(HANDLE) {}

CAdvise::CAdvise() {}
CAdvise::~CAdvise() {}
void CAdvise::Advise(HWND) {}
void CAdvise::Unadvise(HWND) {}

CComm g_Comm;
CAdvise g_Advise;
