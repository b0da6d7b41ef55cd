#include "model/CommandSink.h"

namespace {
ICommandSink* g_pSink = nullptr;
}

ICommandSink* SetCommandSink(ICommandSink* sink)
{
    ICommandSink* old = g_pSink;
    g_pSink = sink;
    return old;
}

ICommandSink* GetCommandSink() { return g_pSink; }
