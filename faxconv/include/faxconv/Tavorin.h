/* Tavorin, the fax image converter library: converts a fax document between the fax board's
 * BFX page file and a multi-page Group 3 one-dimensional TIFF.
 *
 * Both functions take zero-terminated ANSI paths and return
 *    1  converted
 *   -1  the source cannot be opened or is not a BFX / TIFF file the converter accepts
 *   -2  the destination path is empty or the file cannot be created
 *   -3  the conversion failed (see docs/faxconv.md for the cases)
 * The destination gets the target's extension: everything from the last "." of the path on is
 * replaced by ".tif" or ".bfx" (appended when the path has no ".").
 */
#ifndef TAVORIN_H
#define TAVORIN_H

#include <stdint.h>

#if defined(_WIN32)
#define TAVORIN_CALL __stdcall
#define TAVORIN_EXPORT
#else
#define TAVORIN_CALL
#define TAVORIN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

TAVORIN_EXPORT int32_t TAVORIN_CALL QvelCvt_Bfx2Tiff(const char* bfxPath, const char* tiffPath);
TAVORIN_EXPORT int32_t TAVORIN_CALL QvelCvt_Tiff2Bfx(const char* tiffPath, const char* bfxPath);

#ifdef __cplusplus
}
#endif

#endif /* TAVORIN_H */
