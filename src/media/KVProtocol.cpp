#include "KVProtocol.h"

extern "C" {
#include <libavformat/avformat.h>
}

int KPL_Initialize()
{
    avformat_network_init();
    return 1;
}

void KPL_Uninitialize()
{
    avformat_network_deinit();
}
