/*
 * Corrected points through libvnactl: opens the instrument, loads a cal file and prints the
 * corrected Rs and Xs (Port A) and, with -b, S21 (Port B) at each frequency.
 *
 *   point [-p PORT] [-b] [-a AVERAGE] CALFILE MHZ...
 *
 * The instrument is on port PORT (default 1, /dev/ttyUSB0) unless VNA_SERIAL names its device.
 * Build: cc -I<folder of vna_control.h> point.c -L<folder of libvnactl.so> -lvnactl
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vna_control.h"

static int fail(const char* what, int32_t code) {
    fprintf(stderr, "point: %s (code %d): %s\n", what, (int)code, VNA_LastMessage());
    VNA_CommPort(0, 0, 0);
    return 1;
}

int main(int argc, char** argv) {
    int port = 1;
    int portB = 0;
    int average = 16;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (strcmp(argv[i], "-b") == 0) {
            portB = 1;
        } else if (strcmp(argv[i], "-p") == 0 && i + 1 < argc) {
            port = atoi(argv[++i]);
        } else if (strcmp(argv[i], "-a") == 0 && i + 1 < argc) {
            average = atoi(argv[++i]);
        } else {
            break;
        }
    }
    if (argc - i < 2) {
        fprintf(stderr, "usage: point [-p PORT] [-b] [-a AVERAGE] CALFILE MHZ...\n");
        return 2;
    }
    const char* calFile = argv[i++];

    int32_t code = VNA_CommPort(1, port, 57600);
    if (code != 0) {
        return fail("the instrument does not answer", code);
    }
    char* version = VNA_GetVersion(0);
    printf("instrument: %s\n", version);
    VNA_FreeText(version);
    code = VNA_LoadCalFile(calFile);
    if (code != 0) {
        return fail("the cal file cannot be used", code);
    }
    VNA_AvgReadings(average);
    for (; i < argc; ++i) {
        const double mhz = atof(argv[i]);
        double rs = 0, xs = 0;
        code = VNA_ScanPointA(1, mhz, &rs, &xs);
        if (code != 0) {
            return fail("no Port A reading", code);
        }
        printf("%.6f MHz  Rs= %.4f ohm  Xs= %.4f ohm\n", mhz, rs, xs);
        if (portB) {
            double db = 0, phase = 0;
            code = VNA_ScanPointB(1, mhz, &db, &phase);
            if (code != 0) {
                return fail("no Port B reading", code);
            }
            printf("%.6f MHz  S21= %.3f dB  phase= %.2f deg\n", mhz, db, phase * 57.2958);
        }
    }
    printf("temperature: %.1f C\n", VNA_TemperatureValue(VNA_GetTemperature(0)));
    VNA_ProgRelay(0);
    VNA_CommPort(0, 0, 0);
    return 0;
}
