// RCPCV: the converter library that turns songs of the old PC sequencer
// formats RCP, R36 and G36 into Standard MIDI Files. It is a plugin: the
// application opens RCPCV.so by name from its data folder and looks these six
// functions up; nothing of ours links it.
//
// A handle owns one conversion result (the SMF bytes, possibly empty on
// failure) until rcpcvDeleteObject. Handles are independent; the functions
// keep no global state and may be called from any thread, one thread per
// handle at a time.
#pragma once

#define RCPCV_EXPORT extern "C" __attribute__((visibility("default")))

// Converts count bytes at source. The five integers are reserved and must be
// 0. Returns a handle (also when the conversion failed: then its length is 0),
// or null when no memory was left.
RCPCV_EXPORT void* rcpcvConvertFileFromBuffer(const void* source, int count, int reserved1, int reserved2,
                                              int reserved3, int reserved4, int reserved5);
// Converts the file at path (read whole, at most 64 MiB); a handle as above.
RCPCV_EXPORT void* rcpcvConvertFile(const char* path, int reserved1, int reserved2, int reserved3,
                                    int reserved4, int reserved5);
RCPCV_EXPORT void rcpcvDeleteObject(void* handle);
// Byte count of the converted SMF, 0 when the conversion failed.
RCPCV_EXPORT int rcpcvGetSMFLength(void* handle);
// The converted bytes, valid until the handle is deleted; null when empty.
RCPCV_EXPORT const void* rcpcvGetSMF(void* handle);
// Writes the converted SMF to path (through a temporary file beside it).
// Returns 1 on success, 0 when there is nothing to write or writing failed.
RCPCV_EXPORT int rcpcvSaveSMF(void* handle, const char* path);
