/* Channel buffer service: sample streams of the defined channels, shared by
 * the programs of one user (or of one ZQ_NAME namespace) through POSIX
 * shared memory. One writer defines channels and appends samples; readers,
 * identified per process by a ZQCLIENT number, see the streams independently.
 *
 * Results: 0 or a count on success, a negative ZQ_E_* code on failure.
 * Thread safety: the writer calls are made from one thread; the reader calls
 * of a process are serialised inside the library and may come from any
 * thread, also while the writer thread writes. */
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
#define ZQ_E_SEGMENT (-2)    /* the shared segment cannot be created or mapped (e.g. /dev/shm is full) */
#define ZQ_E_BUSY (-3)       /* another live writer owns the namespace */
#define ZQ_E_NOCHANNEL (-4)  /* channel not defined */
#define ZQ_E_SEQUENCE (-5)   /* call out of order (definition before ZQ_SetNrOfChan) */

/* Writer side. One writer per namespace: the first ZQ_SetNrOfChan of a
 * process claims it (ZQ_E_BUSY and a "*** ..." line on stderr while another
 * live process holds it). The segment of a writer that died is removed and
 * made afresh, and a reader table nobody has open goes with it. A
 * ZQ_SetNrOfChan that cannot reserve the segment's header (about 20 KiB) in
 * /dev/shm gives ZQ_E_SEGMENT and a "*** ..." line naming /dev/shm and the
 * size needed, and leaves nothing behind. A definition is
 * ZQ_SetNrOfChan(n) followed by ZQ_SetChanDef for each index 0 .. n-1 (texts
 * must not be null, the sample interval at least ZQ_MIN_INTERVAL seconds);
 * readers see it only once complete, and a new definition replaces the old
 * one for every reader. Samples go frame by frame, channels in index order;
 * a write is a store and an index update, without system call or lock.
 *
 * Each channel has a ring of at least 2 s at its rate (at least 131072
 * samples; 2 s rounded up to a power of two), held in shared memory
 * (/dev/shm) that the ZQ_SetChanDef completing the definition reserves:
 * 4 bytes per sample, e.g. 8 MiB per channel at 1 MHz. When /dev/shm cannot
 * hold the rings that call gives ZQ_E_SEGMENT (and a "*** ..." line saying
 * how much was needed) and no definition is published. */
#define ZQ_MIN_INTERVAL (1.0 / 8388608) /* s: rates up to 8.4 MHz */
int ZQ_SetNrOfChan(int count);
int ZQ_SetChanDef(int index, int chanNumber, const char* chanNumberText, const char* name,
                  const char* unit, const char* sign, double sampleInterval, double rangeMin,
                  double rangeMax, double secondMin, double secondMax, int reserved);
int ZQ_WriteChanOneFloatValue(int index, int* value);

/* Reader side. Clients 1 .. ZQ_MAX_CLIENTS-1 exist in every process, each
 * with its own position per channel; ZQ_Register is optional (it resets the
 * client like ZQ_ResetBuffer(client, -1)). Each client takes a slot in the
 * namespace's reader table in /dev/shm (ZQ_MAX_READER_SLOTS of about 1 KiB),
 * where zq-stat shows its position; when /dev/shm cannot hold the table,
 * ZQ_Register gives ZQ_E_SEGMENT (and a "*** ..." line naming /dev/shm and
 * the size needed) and the client reads all the same, unseen by zq-stat.
 * The table is removed when the last process using it lets it go.
 *
 * Every reader call looks for the writer's segment while it has none, and
 * looks at once again when the writer it saw has gone: the first call after
 * a writer completed a definition sees it, however soon. A writer that
 * dies without releasing is noticed within ZQ_LIVE_CHECK_MS.
 *
 * A client used for the first time
 * starts with the samples that arrive from then on; a new definition starts
 * every client at its first sample.
 *
 * ZQ_FreezeBuffers fixes per channel the block that arrived since the
 * previous freeze (channels of one sample rate end on the same frame). Until
 * the next freeze ZQ_CheckChan gives the block's length and every
 * ZQ_ReadChan copies min(count, length) of its NEWEST samples to dest and
 * returns that number. Both read calls set the floats of dest up to count
 * that no sample filled to 0. A client more than a ring behind loses the oldest
 * samples (counted, see ZQ_GetChanLost); it never gets overwritten data: a
 * block the writer reaches before it is read shrinks to its newest part.
 *
 * ZQ_ResetBuffer(client, -1) drops the client's unread samples of every
 * channel and empties its frozen blocks; a channel index resets that one.
 *
 * ZQ_CheckChanEx gives the samples arrived since the client's reset (no
 * freeze needed); ZQ_ReadChanEx copies the OLDEST min(count, arrived) of
 * them (those still in the ring) and returns that number; neither consumes.
 *
 * ZQ_CheckChan, ZQ_ReadChan, ZQ_CheckChanEx, ZQ_ReadChanEx: ZQ_E_ARGUMENT for
 * a client or channel index out of range (channel < 0 or >=
 * ZQ_MAX_CHANNELS), a null dest or a negative count. A channel the
 * definition does not have, or a client that has not frozen since the
 * channels appeared, has no samples: 0, and nothing is copied. A block
 * redefined away between freeze and read also gives 0, with the floats it
 * would have copied set to 0. */
#define ZQ_LIVE_CHECK_MS 50
int ZQ_Register(ZQCLIENT client, void* window);
int ZQ_ResetBuffer(ZQCLIENT client, int channel);
int ZQ_FreezeBuffers(ZQCLIENT client);
int ZQ_CheckChan(ZQCLIENT client, int channel);
int ZQ_ReadChan(ZQCLIENT client, int channel, unsigned char* dest, int count);
int ZQ_CheckChanEx(ZQCLIENT client, int channel);
int ZQ_ReadChanEx(ZQCLIENT client, int channel, unsigned char* dest, int count, int reserved);

/* Channel definitions, as a reader sees them. ZQ_GetNrOfChan is 0 while no
 * live writer holds a complete definition (a writer that died leaves none).
 * It also takes up a new definition; the other getters answer from the one
 * this process took up last (in ZQ_GetNrOfChan, a freeze or a reset).
 * ZQ_GetChanClkrate gives the sample interval in seconds (0 for a bad
 * index); ZQ_GetChanPChan the channel number (a ZQ_E_* code for a bad
 * index).
 *
 * ZQ_GetChanName and ZQ_GetChanUnit are never null ("" for a bad index).
 * The text is the calling thread's own copy: it stays valid and unchanged,
 * whatever other threads or a new definition do, until the same thread
 * asks the same getter for the same index again, or ends. */
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

/* Writes frameCount frames at once: frames holds, frame after frame, one
 * value for each channel of the definition in index order (ZQ_GetNrOfChan
 * values per frame). The same result as writing every value with
 * ZQ_WriteChanOneFloatValue, without a call per value; for a writer whose
 * channels share one sample rate. Returns frameCount or a ZQ_E_* code. */
int ZQ_WriteFrames(const float* frames, int frameCount);

/* Samples of a channel that the client lost because it fell more than a
 * ring behind (the oldest ones; see the reader side above), counted since
 * the client's first use or the last new definition; ZQ_E_ARGUMENT for a
 * client or channel out of range. */
long long ZQ_GetChanLost(ZQCLIENT client, int channel);

#define ZQ_MAX_READER_SLOTS 64

typedef struct ZQ_WriterStatus {
    char segmentName[256];        /* e.g. "/krv-zq-1000" */
    int segmentPresent;           /* 1 when the segment exists and is valid */
    int writerPid;                /* 0 when no writer has claimed it */
    int writerAlive;              /* 1 when that process still runs */
    double heartbeatAge;          /* seconds since the writer's last sign of life: it
                                     renews it every 50 ms while it writes samples */
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

/* Removes from /dev/shm what this library left there that nothing uses, in
 * every namespace of the calling user whose name begins with prefix (all of
 * them for null or ""; prefix without the leading '/'): the channel segments of writers that
 * died (not yet taken over by a next writer) and reader tables that no
 * process has open. Objects are recognised by name, length and the
 * library's magic number; nothing else is touched. Calls report (when not
 * null) with the path of each object removed and what it was. Returns the
 * number removed, ZQ_E_SEGMENT when /dev/shm cannot be listed. */
typedef void (*ZQ_CleanReport)(const char* path, const char* what, void* user);
int ZQ_CleanStale(const char* prefix, ZQ_CleanReport report, void* user);

#ifdef __cplusplus
}
#endif

#endif
