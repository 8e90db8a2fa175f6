/* Channel buffer service: sample streams of the defined channels, shared by
 * the programs of one user (or of one ZQ_NAME namespace) through POSIX
 * shared memory. One writer defines channels and appends samples; readers,
 * identified per process by a ZQCLIENT number, see the streams independently.
 *
 * Results: 0 or a count on success, a negative ZQ_E_* code on failure.
 * Thread safety: the writer calls are made from one thread; reader calls of
 * one process may come from one thread at a time. */
#ifndef ZQ_H
#define ZQ_H

#ifdef __cplusplus
extern "C" {
#endif

typedef int ZQCLIENT;

#define ZQ_MAX_CHANNELS 64
#define ZQ_MAX_CLIENTS 16 /* reader clients 1 .. ZQ_MAX_CLIENTS-1 per process */

#define ZQ_OK 0
#define ZQ_E_ARGUMENT (-1)   /* index, count or client out of range, null pointer */
#define ZQ_E_SEGMENT (-2)    /* the shared segment cannot be created or mapped */
#define ZQ_E_BUSY (-3)       /* another live writer owns the namespace */
#define ZQ_E_NOCHANNEL (-4)  /* channel not defined */
#define ZQ_E_SEQUENCE (-5)   /* call out of order (definition before ZQ_SetNrOfChan) */

/* Writer side. */
int ZQ_SetNrOfChan(int count);
int ZQ_SetChanDef(int index, int chanNumber, const char* chanNumberText, const char* name,
                  const char* unit, const char* sign, double sampleInterval, double rangeMin,
                  double rangeMax, double secondMin, double secondMax, int reserved);
int ZQ_WriteChanOneFloatValue(int index, int* value);

/* Reader side. */
int ZQ_Register(ZQCLIENT client, void* window);
int ZQ_ResetBuffer(ZQCLIENT client, int channel);
int ZQ_FreezeBuffers(ZQCLIENT client);
int ZQ_CheckChan(ZQCLIENT client, int channel);
int ZQ_ReadChan(ZQCLIENT client, int channel, unsigned char* dest, int count);
int ZQ_CheckChanEx(ZQCLIENT client, int channel);
int ZQ_ReadChanEx(ZQCLIENT client, int channel, unsigned char* dest, int count, int reserved);

/* Channel definitions, as a reader sees them. */
int ZQ_GetNrOfChan(void);
const char* ZQ_GetChanName(int index);
const char* ZQ_GetChanUnit(int index);
double ZQ_GetChanClkrate(int index);
int ZQ_GetChanPChan(int index);

#ifdef __cplusplus
}
#endif

#endif
