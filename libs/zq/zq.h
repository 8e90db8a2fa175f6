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

/* Extra entry points beyond the classic set: writer release and the status
 * view used by zq-stat and tests. */

/* Gives up the writer role of this process: its channels vanish for every
 * reader (ZQ_GetNrOfChan becomes 0) and another program may become the
 * writer. Also done automatically when the process exits normally. */
int ZQ_ReleaseWriter(void);

/* Samples of the frozen block of (client, channel) that the client lost
 * because it fell behind by more than the ring, counted since the client's
 * first use in this definition generation. */
long long ZQ_GetChanLost(ZQCLIENT client, int channel);

#define ZQ_MAX_READER_SLOTS 64

typedef struct ZQ_WriterStatus {
    char segmentName[256];        /* e.g. "/krv-zq-1000" */
    int segmentPresent;           /* 1 when the segment exists and is valid */
    int writerPid;                /* 0 when no writer has claimed it */
    int writerAlive;              /* 1 when that process still runs */
    double heartbeatAge;          /* seconds since the writer's last sign of life */
    unsigned generation;          /* definition generation, even when complete */
    int nrOfChan;                 /* channels of the complete definition */
} ZQ_WriterStatus;

typedef struct ZQ_ChanStatus {
    int chanNumber;
    char name[64];
    char unit[32];
    double sampleInterval;        /* seconds per sample */
    long long capacity;           /* ring length in samples */
    long long written;            /* samples written in this generation */
} ZQ_ChanStatus;

typedef struct ZQ_ReaderStatus {
    int pid;
    int alive;
    ZQCLIENT client;
    unsigned generation;          /* generation the positions refer to */
    long long position[ZQ_MAX_CHANNELS]; /* samples consumed (end of the last frozen block) */
    long long lost[ZQ_MAX_CHANNELS];     /* samples lost because the reader fell behind */
} ZQ_ReaderStatus;

/* Status of the namespace of this process (ZQ_NAME), read without
 * attaching as a reader. Any thread. */
int ZQ_GetWriterStatus(ZQ_WriterStatus* status);
/* ZQ_OK, or ZQ_E_NOCHANNEL when index is not a channel of the definition. */
int ZQ_GetChanStatus(int index, ZQ_ChanStatus* status);
/* 1 when the slot holds a reader client, 0 when it is free. */
int ZQ_GetReaderStatus(int slot, ZQ_ReaderStatus* status);

#ifdef __cplusplus
}
#endif

#endif
