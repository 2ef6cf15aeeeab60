/*
 * libtarnel: the door-lock key-card encoder library, as the interface server calls it.
 *
 * Four functions, each returning a 16-bit result code: 1 is success, anything else an error
 *   -1 card not placed correctly     -2 encoder not connected      -3 card not of this system
 *   -4 wrong card type               -5 card read/write failure    -6 port not open
 *   -7 data card read complete       -8 invalid argument           -9 operation not supported
 *   -10 other error                  -11 port in use               -12 communication error
 *   -13 card not empty               -14 wrong password            -15 operation failed
 *
 * An "area" is caller memory of the size given; words in areas are 16-bit little-endian.
 * Values are 16-bit numbers passed widened to 32 bits with zeros.
 *
 * This build simulates one encoder with one card; its state lives in the folder named by
 * TARNEL_SIM_DIR, or else the folder that holds the library:
 *   tarnel-card.txt   the card: building=, floor=, room= (signed 16-bit decimals), copy= (0/1),
 *                     start= and end= (YYYY-MM-DD HH:MM); a missing file is a blank card
 *   tarnel-result     while it holds a decimal number, every call returns that number and
 *                     changes nothing
 *   tarnel-calls.log  one line per call: the function name, a blank and the result
 * The calls are safe from several threads of one process.
 */
#ifndef TARNEL_H
#define TARNEL_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define TARNEL_CALL __stdcall
#else
#define TARNEL_CALL
#endif

#define TARNEL_SUCCESS 1

/* Area sizes in bytes, by argument position of MakeGuestCard and ReadCard (1-based). */
#define TARNEL_AREA1_SIZE 18 /* word 0 = 11, word 1 = 22, the rest 0 */
#define TARNEL_AREA2_SIZE 10
#define TARNEL_AREA3_SIZE 2  /* ReadCard only: the building code */
#define TARNEL_AREA4_SIZE 18 /* word 0 = floor code */
#define TARNEL_AREA5_SIZE 10
#define TARNEL_AREA6_SIZE 14 /* word 0 = room code */
#define TARNEL_AREA7_SIZE 2  /* ReadCard only: the copy flag */
#define TARNEL_AREA8_SIZE 18
#define TARNEL_AREA9_SIZE 10
#define TARNEL_AREA10_SIZE 12 /* start: year, month, day, hour, minute, 0 */
#define TARNEL_AREA11_SIZE 12 /* end: year, month, day, hour, minute, 0 */
#define TARNEL_CLEAR_AREA_SIZE 18

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the encoder's port; port is always 1. */
int16_t TARNEL_CALL MakeCardOpenPort(int32_t port);

/* Writes a guest key card. */
int16_t TARNEL_CALL MakeGuestCard(uint8_t* area1, uint8_t* area2, uint32_t building,
                                  uint8_t* floor18, uint8_t* area5, uint8_t* room14,
                                  uint32_t isCopy, uint8_t* area8, uint8_t* area9, uint8_t* start12,
                                  uint8_t* end12);

/* Reads the card on the encoder into the eleven areas. */
int16_t TARNEL_CALL ReadCard(uint8_t* area1, uint8_t* area2, uint8_t* building2, uint8_t* floor18,
                             uint8_t* area5, uint8_t* room14, uint8_t* copy2, uint8_t* area8,
                             uint8_t* area9, uint8_t* start12, uint8_t* end12);

/* Erases the card on the encoder. */
int16_t TARNEL_CALL ClearCardData(uint8_t* area18);

#ifdef __cplusplus
}
#endif

#endif
