// Placeholder until the shared-memory service lands: holds no channels.
#include "zq.h"

extern "C" {
int ZQ_SetNrOfChan(int) { return ZQ_E_SEGMENT; }
int ZQ_SetChanDef(int, int, const char*, const char*, const char*, const char*, double, double, double,
                  double, double, int)
{
    return ZQ_E_SEGMENT;
}
int ZQ_WriteChanOneFloatValue(int, int*) { return ZQ_E_SEGMENT; }
int ZQ_Register(ZQCLIENT, void*) { return ZQ_OK; }
int ZQ_ResetBuffer(ZQCLIENT, int) { return ZQ_OK; }
int ZQ_FreezeBuffers(ZQCLIENT) { return ZQ_OK; }
int ZQ_CheckChan(ZQCLIENT, int) { return 0; }
int ZQ_ReadChan(ZQCLIENT, int, unsigned char*, int) { return 0; }
int ZQ_CheckChanEx(ZQCLIENT, int) { return 0; }
int ZQ_ReadChanEx(ZQCLIENT, int, unsigned char*, int, int) { return 0; }
int ZQ_GetNrOfChan(void) { return 0; }
const char* ZQ_GetChanName(int) { return ""; }
const char* ZQ_GetChanUnit(int) { return ""; }
double ZQ_GetChanClkrate(int) { return 0.0; }
int ZQ_GetChanPChan(int) { return 0; }
}
