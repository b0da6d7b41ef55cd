// Placeholder; the packet codec is written with the link layers.
#include "device/scp/QVRSCP.h"
