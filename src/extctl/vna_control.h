/*
 * libvnactl: the instrument through the program's own code, for another program.
 *
 * One program state lives inside the library: the settings at their defaults, the serial link,
 * the calibration loaded with VNA_LoadCalFile. Calls are made one after the other (calls from
 * several threads wait for each other). No function opens a window or a message box: what the
 * program would show is kept as the last message text (VNA_LastMessage).
 *
 * The serial device is the numbered port of VNA_CommPort (port N is /dev/ttyUSB<N-1>) unless the
 * environment variable VNA_SERIAL names a device. The data folder (version file) is VNA_HOME when
 * set, else $XDG_DATA_HOME/vna or ~/.local/share/vna, as for the program.
 *
 * Codes (the result of most functions): 0 success; 10 no data from the instrument; 17 reference
 * or supply problem (or a Port B signal too strong for the receiver); 27, 29 flash errors; 1274
 * RF overload; 34503 port closed; 34506 version not available; 34519 port not calibrated; 34524
 * sync not supported; the cal file codes (35921 not found, 12486 not a cal file, 26903 another
 * instrument, 42165 another range, ...).
 */
#ifndef VNA_CONTROL_H
#define VNA_CONTROL_H

#include <stdint.h>
#include <string.h>

#ifndef VNA_EXPORT
#define VNA_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Every setting back to its default. The argument is not used. Returns 0. */
VNA_EXPORT int32_t VNA_InitVars(int32_t unused);

/* With an instrument that supports it (known after VNA_GetVersion or VNA_LoadCalFile identified
 * it), a sync pulse is sent before every point while mode > 0; mode 1 means once. 34524 when the
 * instrument is not known to support it. */
VNA_EXPORT int32_t VNA_Sync(int32_t mode);

/* One Port A point at freq MHz (above 0.004). Mode 1: *first = Rs and *second = Xs (ohms) of this
 * point corrected with the loaded cal file; other modes: the raw Rs and Xs. A mode above 0 needs
 * a Port A calibration (34519). The outputs are written only when the result is 0; a null pointer
 * is skipped. */
VNA_EXPORT int32_t VNA_ScanPointA(int32_t mode, double freq, double* first, double* second);

/* One Port B point at freq MHz, the receiver ranged as in a sweep: *first = S21 (dB), *second =
 * its phase (radians). Mode 1: corrected with the Port B calibration of the cal file; other modes:
 * uncorrected. A mode above 0 needs a Port B calibration (34519). */
VNA_EXPORT int32_t VNA_ScanPointB(int32_t mode, double freq, double* first, double* second);

/* Readings the instrument averages per point (1 to 1024). Returns 0. */
VNA_EXPORT int32_t VNA_AvgReadings(int32_t count);

/* open != 0: opens port number `port` (1 when 0 or less; refused above 65000 with code 10) at
 * 57600 baud and connects to the instrument (10 when it does not answer). open == 0: closes the
 * port: 34503 when it was open, else 0. When the result is 0 the instrument's auto power-off is
 * switched off. `baud` is not used. */
VNA_EXPORT int32_t VNA_CommPort(int32_t open, int32_t port, int32_t baud);

/* Loads a cal file (a zero-terminated path). The file must be whole and, once the port is open,
 * belong to the attached instrument; a refused file leaves the calibration in force. */
VNA_EXPORT int32_t VNA_LoadCalFile(const char* path);

/* Both relays on (flag != 0) or off; ends a constant frequency. */
VNA_EXPORT int32_t VNA_ProgRelay(int32_t flag);

/* flag != 0: the source holds freq MHz (limited to the instrument's range); flag == 0: the relays
 * go off. */
VNA_EXPORT int32_t VNA_ConstantFreq(int32_t flag, double freq);

/* The instrument's version text with its ID, or "34506" when it did not answer. The text is
 * newly allocated: release it with VNA_FreeText. The argument is not used. */
VNA_EXPORT char* VNA_GetVersion(int32_t unused);

/* The board temperature: degF with flag != 0, degC with flag == 0 (88.88 degF, 31.6 degC, when
 * the instrument has no sensor), or the error code when the reading failed. The 64-bit result
 * carries the bits of a double: read it with VNA_TemperatureValue. */
VNA_EXPORT int64_t VNA_GetTemperature(int32_t flag);

/* Our additions. */

/* Releases a text returned by VNA_GetVersion (a null pointer is ignored). */
VNA_EXPORT void VNA_FreeText(char* text);

/* The last message the program would have shown (its caption, ": " and its text), "" when there
 * was none. The text belongs to the library and stays valid until the next call. */
VNA_EXPORT const char* VNA_LastMessage(void);

/* The double whose bits VNA_GetTemperature returns. */
static inline double VNA_TemperatureValue(int64_t bits) {
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

#ifdef __cplusplus
}
#endif

#endif /* VNA_CONTROL_H */
