/* Calls every export through the public header, compiled as C, with no device attached:
 * the prototypes link and the results without a port are those documented. */
#include "ostrel.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define EXPECT(call, expected)                                                                     \
    do {                                                                                           \
        int16_t got_ = (call);                                                                     \
        if (got_ != (expected)) {                                                                  \
            fprintf(stderr, "%s: got %d, expected %d\n", #call, got_, (expected));                 \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

int main(void) {
    uint8_t area[2049] = {0};
    uint8_t one = 0;
    uint8_t two = 0;
    char version[64];
    static const uint8_t not_connected[7] = {0xCE, 0xB4, 0xC1, 0xAC, 0xBD, 0xD3, 0x00};

    /* A device that is not there. */
    setenv("OSTREL_COM1", "/nonexistent/ttyOSTREL", 1);
    EXPECT(AT88RF256_12_OpenCommPort(1), -11);
    EXPECT(MG_OpenCommPort(1), -11);
    EXPECT(MG_ZT2330_OpenCommPort(1), -11);
    EXPECT(AT88RF256_12_OpenCommPort(0), -8);
    EXPECT(InitCommDev(0), 0);
    EXPECT(CloseCommDev(0), 0);
    EXPECT(AT88RF256_12_CloseCommPort(), 1);
    EXPECT(MG_CloseCommPort(), 1);
    EXPECT(MG_ZT2330_CloseCommPort(), 1);

    /* Every device operation without an open port. */
    EXPECT(AT88RF256_12_ReadPage(area, 0), -6);
    EXPECT(AT88RF256_12_WritePage(area, 0), -6);
    EXPECT(AT88RF256_12_ReadData(area, 0, 8), -6);
    EXPECT(AT88RF256_12_WriteData(area, 0, 8), -6);
    EXPECT(AT88RF256_12_WriteLockByte(1), -6);
    EXPECT(AT88RF256_12_WriteConfigurationBits(area), -6);
    EXPECT(AT88RF256_12_WritePassword(area), -6);
    EXPECT(AT88RF256_12_CheckPassword(area), -6);
    EXPECT(AT88RF256_12_DisableChip(), -6);
    EXPECT(AT88RF256_12_ReadRom(area), -6);
    EXPECT(AT88RF256_12_ReadDataCard(area), -6);
    EXPECT(AT88RF256_12_Beep(1), -6);
    EXPECT(AT88RF256_12_PowerOn(), -6);
    EXPECT(AT88RF256_12_PowerOff(), -6);
    EXPECT(TI0036_Read(area, &one), -6);
    EXPECT(TI0036_Write(area, &one), -6);
    EXPECT(TI0036_CalCRC16(area, 10, &one, &two), -6);
    EXPECT(TI0036_CalCRC16(area, 17, &one, &two), -8);
    EXPECT(TI0034_ReadRom(area, 3), -6);
    EXPECT(TI0034_ReadRom(area, 0), -3);
    EXPECT(EM4100_ReadRom(area), -6);
    EXPECT(eeWriteByte(1, 2, area), -6);
    EXPECT(eeReadByte(1, 2, &one), -6);
    EXPECT(Command57(0, 0, 0, 0, 3, 0, area), -6);
    EXPECT(Command57(0, 0, 0, 0, 5, 0, area), -9);
    EXPECT(MG_CardRead(area, 0), -6);
    EXPECT(MG_CardWrite(area, 8), -6);
    EXPECT(MG_CardWrite(area, 58), -8);
    EXPECT(MG_CLE(), 1);
    EXPECT(MG_ZT2330_CardRead(area, 0), -6);
    EXPECT(MG_ZT2330_CardWrite(area, 8), -6);
    EXPECT(MG_ZT2330_CardWrite(area, 61), -8);

    EXPECT(GetRfDllVersion_0(version), 1);
    if (strcmp(version, "V1.01 5/5/2002 (Pelvor.dll)") != 0) {
        fprintf(stderr, "version text: %s\n", version);
        ++failures;
    }
    EXPECT(GetRfRwVersion_1(area), -6);
    if (memcmp(area, not_connected, sizeof not_connected) != 0) {
        fprintf(stderr, "reader version text differs\n");
        ++failures;
    }

    if (failures != 0)
        return EXIT_FAILURE;
    puts("all 37 exports called");
    return EXIT_SUCCESS;
}
