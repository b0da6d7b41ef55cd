// The process-wide link engine and notification pipe, constructed before the
// entry point in this order: the queue, the configuration records' sink on
// it, then the pipe (whose constructor hands its write end to the queue).
// Destroyed in the reverse order: the pipe stops the queue's worker before it
// closes its ends.
#include "device/Advise.h"
#include "device/Comm.h"
#include "device/CommSink.h"

CComm g_Comm;
CCommSink g_CommSink(g_Comm);
CAdvise g_Advise;
