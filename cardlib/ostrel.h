/*
 * libostrel: drives card reader/writers on one serial port (COM1 to COM4).
 *
 * Three device families share one open port at a time:
 *   - the RF reader/writer (AT88RF256-12 chips, TI and EM4100 transponders, the reader's
 *     beeper, power switching, EEPROM and version), 2400 baud 8N1;
 *   - the magnetic-card encoder, 9600 baud 8N1;
 *   - the ZT2330 magnetic-card reader/writer, 9600 baud 7E2.
 *
 * Port n (1 to 4) is the device named by the environment variable OSTREL_COMn when it is
 * set and not empty, otherwise /dev/ttyS(n-1).
 *
 * Every function returns a 16-bit result code. Success is 1, except Command57 (0) and
 * InitCommDev/CloseCommDev (always 0). Failures:
 *   -1  no answer byte within 3000 ms (magnetic-card devices), or the encoder reports 'R'
 *   -2  no first reply byte within 1000 ms (RF reader/writer), or a failed wait
 *   -3  TI0034_ReadRom: every attempt used without a valid CRC
 *   -4  TI0034_ReadRom: transponder type is not 'R'
 *   -5  mismatch: no ACK / STX 'P' / EOT from a magnetic-card device; read-back differs
 *   -6  no port open
 *   -8  argument out of range (port, page, block, length)
 *   -9  Command57: operation type other than 2 or 3
 *   -11 opening or preparing the port failed
 *   -12 transmission or reception failed (incomplete write, read failure or time-out,
 *       bad start byte, sum or length of a reply)
 *   -(s & 0x7F)  the RF reader/writer answered with status s other than 1 (status 0 or
 *       0x80 therefore gives 0)
 *
 * All calls block until their exchange is over. The library has no locks: callers issue
 * one call at a time. Data areas belong to the caller and must have the sizes named here.
 */
#ifndef OSTREL_H
#define OSTREL_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define OSTREL_CALL __stdcall
#else
#define OSTREL_CALL
#endif

#if defined(_WIN32)
#define OSTREL_API
#else
#define OSTREL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Port handling ---- */

/* Opens port index+1 (0 = COM1 ... 3 = COM4) for the RF reader/writer, 2400 8N1.
 * Always returns 0, whether or not the port could be opened. */
OSTREL_API int16_t OSTREL_CALL InitCommDev(uint8_t port_index);

/* Closes the open port, if any. The parameter is ignored. Always returns 0. */
OSTREL_API int16_t OSTREL_CALL CloseCommDev(int32_t unused);

/* Opens port 1..4 for the RF reader/writer (2400 8N1), closing any port open before.
 * 1; -8 port out of range (nothing opened); -11 device missing, held or not a serial line. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_OpenCommPort(int16_t port);

/* Closes the open port, if any. Always 1. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_CloseCommPort(void);

/* Opens port 1..4 for the magnetic-card encoder (9600 8N1). 1, -8 or -11. */
OSTREL_API int16_t OSTREL_CALL MG_OpenCommPort(int16_t port);

/* Closes the open port, if any. Always 1. */
OSTREL_API int16_t OSTREL_CALL MG_CloseCommPort(void);

/* Opens port 1..4 for the ZT2330 reader/writer (9600 7E2). 1, -8 or -11. */
OSTREL_API int16_t OSTREL_CALL MG_ZT2330_OpenCommPort(int16_t port);

/* Closes the open port, if any. Always 1. */
OSTREL_API int16_t OSTREL_CALL MG_ZT2330_CloseCommPort(void);

/* ---- AT88RF256-12 chips (pages 0..7 of 4 bytes; page 7 is the read-only ROM) ---- */

/* Reads page 0..7 into out4 (4 bytes). Each attempt reads the page twice and accepts it
 * when both reads agree; at most 3 attempts. 1; -8 page > 7 (nothing sent); -5 reads
 * never agreed; other failures of the exchange. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_ReadPage(uint8_t* out4, uint8_t page);

/* Writes in4 (4 bytes) to page 0..6, with one retry after any failure.
 * 1; -8 page > 6 (nothing sent); otherwise the failure of the second attempt. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_WritePage(const uint8_t* in4, uint8_t page);

/* Reads length bytes from start_page on, whole pages at a time: out must hold length
 * rounded up to a multiple of 4. 1 or the first failure (-8 when the range passes page 7). */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_ReadData(uint8_t* out, uint8_t start_page,
                                                     uint8_t length);

/* Writes length bytes from start_page on, page by page; a partial last page is filled up
 * with 00. 1 or the first failure (-8 when the range passes page 6). */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_WriteData(const uint8_t* in, uint8_t start_page,
                                                      uint8_t length);

/* Writes the chip's lock byte (bit 7 is always set on the wire). 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_WriteLockByte(uint8_t lock);

/* Writes the 3 configuration bytes in3. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_WriteConfigurationBits(const uint8_t* in3);

/* Writes the 4-byte password in4, with one retry after a failed reply.
 * 1; a failed transmission is returned at once; otherwise the second attempt's failure. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_WritePassword(const uint8_t* in4);

/* Presents the 4-byte password in4 to the chip. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_CheckPassword(const uint8_t* in4);

/* Disables the chip. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_DisableChip(void);

/* Reads the ROM (page 7) into out8[0..3] and sets out8[4..7] to 0. Result of the page read. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_ReadRom(uint8_t* out8);

/* Reads the whole card: out2049 receives 2048 data bytes and their sum byte.
 * 1; -2 no answer within 1000 ms; -6 no port; -12 bad start byte, bad sum or a read that
 * failed (each byte may take up to 30 s). */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_ReadDataCard(uint8_t* out2049);

/* Sends value to the reader's beeper unchanged. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_Beep(uint8_t value);

/* Switches the reader's RF power on. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_PowerOn(void);

/* Switches the reader's RF power off. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL AT88RF256_12_PowerOff(void);

/* ---- TI and EM4100 transponders, reader EEPROM ---- */

/* Reads a TI transponder: out10 gets the 10 data bytes, *type the type byte. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL TI0036_Read(uint8_t* out10, uint8_t* type);

/* Writes data10 (10 bytes) to a TI transponder and compares the data read back; *type gets
 * the type byte. 1; -5 read-back differs; other failures of the exchange. */
OSTREL_API int16_t OSTREL_CALL TI0036_Write(uint8_t* data10, uint8_t* type);

/* Has the reader compute the CRC-16 of n (0..16) bytes; *crc1, *crc2 in the reader's order.
 * 1; -8 n > 16 (nothing sent); other failures. */
OSTREL_API int16_t OSTREL_CALL TI0036_CalCRC16(const uint8_t* data, uint8_t n, uint8_t* crc1,
                                               uint8_t* crc2);

/* Reads a TI transponder's ROM into out10 until the reader's CRC over it is 00 00, at most
 * attempts times. 1; -3 attempts used up (or 0); -4 type not 'R'; -6 no port; CRC failures. */
OSTREL_API int16_t OSTREL_CALL TI0034_ReadRom(uint8_t* out10, uint8_t attempts);

/* Reads the 4-byte ROM of an EM4100 transponder into out4. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL EM4100_ReadRom(uint8_t* out4);

/* Writes *value to the reader's EEPROM at address bytes a1, a2. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL eeWriteByte(uint8_t a1, uint8_t a2, const uint8_t* value);

/* Reads the reader's EEPROM byte at address bytes a1, a2 into *out. 1 or a failure. */
OSTREL_API int16_t OSTREL_CALL eeReadByte(uint8_t a1, uint8_t a2, uint8_t* out);

/* Block command: type 2 writes data4 to block 0..7, type 3 reads block 0..7 into data4.
 * The first four parameters are ignored. Success is 0; -8 block > 7; -9 other type; -12
 * also for a reader status of 0 or 0x80; other failures of the exchange. */
OSTREL_API int16_t OSTREL_CALL Command57(uint8_t unused1, uint8_t unused2, int32_t unused3,
                                         uint8_t unused4, uint8_t type, uint8_t block,
                                         uint8_t* data4);

/* ---- Magnetic-card encoder and ZT2330 ---- */

/* Reads a card with the encoder: out64 gets the card data up to and including its CR (only
 * the bytes received). The last parameter is ignored. 1; -1; -5; -6; other failures. */
OSTREL_API int16_t OSTREL_CALL MG_CardRead(uint8_t* out64, int32_t unused);

/* Writes n (at most 57) bytes to a card with the encoder.
 * 1; -8 n > 57 (nothing sent); -1, -5, -6 and other failures. */
OSTREL_API int16_t OSTREL_CALL MG_CardWrite(const uint8_t* data, uint8_t n);

/* Does nothing. Always 1. */
OSTREL_API int16_t OSTREL_CALL MG_CLE(void);

/* Reads a card with the ZT2330: out64 gets the data after STX up to and including its CR
 * (only the bytes received). The last parameter is ignored. 1; -1; -6; other failures. */
OSTREL_API int16_t OSTREL_CALL MG_ZT2330_CardRead(uint8_t* out64, int32_t unused);

/* Writes n (at most 60) bytes to a card with the ZT2330.
 * 1 after ACK and EOT; -1 no answer within 3000 ms; -5 no ACK or no EOT (the device is then
 * sent a cancel); -8 n > 60 (nothing sent); -6 no port. */
OSTREL_API int16_t OSTREL_CALL MG_ZT2330_CardWrite(const uint8_t* data, uint8_t n);

/* ---- Versions ---- */

/* Copies the library's version text with its NUL to out (28 bytes). Always 1. */
OSTREL_API int16_t OSTREL_CALL GetRfDllVersion_0(char* out);

/* Asks the RF reader/writer for its version: out7[0..4] get its five bytes (no NUL added).
 * On failure out7 gets the GBK text "not connected" (CE B4 C1 AC BD D3 00) and the failure
 * is returned. */
OSTREL_API int16_t OSTREL_CALL GetRfRwVersion_1(uint8_t* out7);

#ifdef __cplusplus
}
#endif

#endif /* OSTREL_H */
