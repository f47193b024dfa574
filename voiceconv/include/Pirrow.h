/* Pirrow: the voice file converter library.
 *
 * Five conversions between the voice board's headerless files (4-bit ADPCM at 8000 or 6000
 * samples a second, A-law companded PCM at 8000) and 16-bit mono 8000 Hz WAVE files. Each takes
 * the source path and the destination path (zero-terminated, in the system's ANSI code page)
 * and returns:
 *    1  converted
 *   -1  the source cannot be opened or is not acceptable; nothing is created
 *   -2  the destination cannot be created or truncated
 *   -3  the conversion failed part-way (read or write error, no memory); the destination
 *       is removed
 * Conversions keep their state to themselves, so several may run at once in different threads.
 *
 * On Windows the functions use the standard calling convention and are exported undecorated
 * through Pirrow.def, with ordinals in alphabetical order (Ad6ktoPcm 1 ... WavetoPcm 5).
 */
#ifndef PIRROW_H
#define PIRROW_H

#include <stdint.h>

#if defined(_WIN32)
#define PIRROW_CALL __stdcall
#define PIRROW_API
#else
#define PIRROW_CALL
#define PIRROW_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A-law PCM to WAVE with a 58-byte header (format chunk of 18 bytes, fact chunk). */
PIRROW_API int32_t PIRROW_CALL PcmtoWave(const char* src, const char* dst);
/* WAVE as PcmtoWave writes it (the first 58 bytes are skipped) to A-law PCM. The source must be
 * writable. */
PIRROW_API int32_t PIRROW_CALL WavetoPcm(const char* src, const char* dst);
/* A-law PCM to 4-bit ADPCM, both at 8000 Hz. */
PIRROW_API int32_t PIRROW_CALL PcmtoAd(const char* src, const char* dst);
/* 4-bit ADPCM to A-law PCM, both at 8000 Hz; prints "\r N" progress to standard output. */
PIRROW_API int32_t PIRROW_CALL AdtoPcm(const char* src, const char* dst);
/* 4-bit ADPCM at 6000 Hz to A-law PCM at 8000 Hz. */
PIRROW_API int32_t PIRROW_CALL Ad6ktoPcm(const char* src, const char* dst);

#ifdef __cplusplus
}
#endif

#endif /* PIRROW_H */
