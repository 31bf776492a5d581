// Network protocol operations: RTMP client, connection test, upgrade client.
#pragma once

#include "KVTypes.h"

int KPL_Initialize();
void KPL_Uninitialize();
