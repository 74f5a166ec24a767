/* ZELK_Eng: the control engine's C interface.
 *
 * The console binds these five functions by name. Only two records cross the boundary, both owned by the
 * caller: CtlData, which getCtlData fills, and CtlRequest, which putCtlData reads. Both are byte-packed and
 * little-endian; their layout is fixed and checked below. */
#ifndef ZELK_ENG_H
#define ZELK_ENG_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(ZELK_ENG_BUILD)
/* Exported by ZELK_Eng.def alone: dllexport would add the decorated names (openKaldex@0) on 32-bit. */
#define ZELK_API
#else
#define ZELK_API __declspec(dllimport)
#endif
#define ZELK_CALL __stdcall
#else
#define ZELK_API __attribute__((visibility("default")))
#define ZELK_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Run states, as seen in CtlData.state. */
enum {
    ZELK_STATE_CLOSED = 0,  /* no control run, no device open */
    ZELK_STATE_OPENING = 1, /* loading the logic program and searching the device */
    ZELK_STATE_OPEN = 2,    /* device open, run being initialised */
    ZELK_STATE_RUNNING = 3, /* control thread started */
    ZELK_STATE_CLOSING = 4  /* closeKaldex in progress */
};

#define ZELK_EVENT_COUNT 10
#define ZELK_EVENT_TEXT_BYTES 128

#pragma pack(push, 1)

/* One event-log entry. passageSec -1 marks an empty entry. text is code page 932, NUL-terminated. */
typedef struct EventEntry {
    int32_t passageSec;
    uint8_t tick10ms;
    char text[ZELK_EVENT_TEXT_BYTES];
    uint8_t reserved[3]; /* zero */
} EventEntry;

/* The status record. getCtlData writes the named fields only: the padding bytes and the bytes behind the
 * NUL of startDate and startTime keep what the caller had there. */
typedef struct CtlData {
    uint8_t state;
    uint8_t port0;       /* newest port-0 input sample, raw (0 = energized) */
    uint8_t port1;       /* current port-1 output value, raw (0 = energized, low 4 bits are pins) */
    char startDate[11];  /* "20yy/mm/dd" */
    char startTime[9];   /* "hh:mm:ss" */
    uint8_t padding1;    /* not written */
    int32_t passageSec;  /* whole seconds counted by the control cycle */
    uint8_t tick10ms;    /* sequence byte echoed in the last accepted input report */
    uint8_t padding2[3]; /* not written */
    EventEntry events[ZELK_EVENT_COUNT]; /* newest first */
} CtlData;

/* A manual output request: the port-1 bits to invert once. */
typedef struct CtlRequest {
    uint8_t toggleMask;
    uint8_t reserved[7]; /* read and ignored */
} CtlRequest;

#pragma pack(pop)

#ifdef __cplusplus
#define ZELK_STATIC_ASSERT static_assert
#else
#define ZELK_STATIC_ASSERT _Static_assert
#endif
ZELK_STATIC_ASSERT(sizeof(EventEntry) == 136, "EventEntry is 136 bytes");
ZELK_STATIC_ASSERT(offsetof(EventEntry, passageSec) == 0, "EventEntry.passageSec");
ZELK_STATIC_ASSERT(offsetof(EventEntry, tick10ms) == 4, "EventEntry.tick10ms");
ZELK_STATIC_ASSERT(offsetof(EventEntry, text) == 5, "EventEntry.text");
ZELK_STATIC_ASSERT(offsetof(EventEntry, reserved) == 133, "EventEntry padding");
ZELK_STATIC_ASSERT(sizeof(CtlData) == 1392, "CtlData is 1392 bytes");
ZELK_STATIC_ASSERT(offsetof(CtlData, state) == 0, "CtlData.state");
ZELK_STATIC_ASSERT(offsetof(CtlData, port0) == 1, "CtlData.port0");
ZELK_STATIC_ASSERT(offsetof(CtlData, port1) == 2, "CtlData.port1");
ZELK_STATIC_ASSERT(offsetof(CtlData, startDate) == 3, "CtlData.startDate");
ZELK_STATIC_ASSERT(offsetof(CtlData, startTime) == 14, "CtlData.startTime");
ZELK_STATIC_ASSERT(offsetof(CtlData, padding1) == 23, "CtlData padding");
ZELK_STATIC_ASSERT(offsetof(CtlData, passageSec) == 24, "CtlData.passageSec");
ZELK_STATIC_ASSERT(offsetof(CtlData, tick10ms) == 28, "CtlData.tick10ms");
ZELK_STATIC_ASSERT(offsetof(CtlData, padding2) == 29, "CtlData padding");
ZELK_STATIC_ASSERT(offsetof(CtlData, events) == 32, "CtlData.events");
ZELK_STATIC_ASSERT(sizeof(CtlRequest) == 8, "CtlRequest is 8 bytes");
ZELK_STATIC_ASSERT(offsetof(CtlRequest, toggleMask) == 0, "CtlRequest.toggleMask");
#undef ZELK_STATIC_ASSERT

/* 1 = control started, 0 = failed (the reason is in the event log). */
ZELK_API int32_t ZELK_CALL openKaldex(void);
/* 1 = a control run was closed, 0 = there was none. */
ZELK_API int32_t ZELK_CALL closeKaldex(void);
/* Copies the status picture into the caller's record. */
ZELK_API void ZELK_CALL getCtlData(CtlData* data);
/* Inverts the port-1 bits of request->toggleMask once, in the next control cycle. */
ZELK_API void ZELK_CALL putCtlData(const CtlRequest* request);
/* Ends the calling process with exit status 0 through the normal exit path. Does not return. */
ZELK_API void ZELK_CALL exitKaldex(void);

/* Pointer types for binding the exports by name. */
typedef int32_t(ZELK_CALL* openKaldex_fn)(void);
typedef int32_t(ZELK_CALL* closeKaldex_fn)(void);
typedef void(ZELK_CALL* getCtlData_fn)(CtlData*);
typedef void(ZELK_CALL* putCtlData_fn)(const CtlRequest*);
typedef void(ZELK_CALL* exitKaldex_fn)(void);

#ifdef __cplusplus
}
#endif

#endif /* ZELK_ENG_H */
