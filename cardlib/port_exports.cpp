// Opening and closing the port, one pair of exports per device family.
#include "ostrel.h"
#include "result_codes.h"
#include "serial_link.h"

using namespace ostrel;

extern "C" {

int16_t OSTREL_CALL InitCommDev(uint8_t port_index) {
    commOpen(static_cast<int16_t>(port_index + 1), kRfLine);
    return 0;
}

int16_t OSTREL_CALL CloseCommDev(int32_t /*unused*/) {
    commClose();
    return 0;
}

int16_t OSTREL_CALL AT88RF256_12_OpenCommPort(int16_t port) {
    return commOpen(port, kRfLine);
}

int16_t OSTREL_CALL AT88RF256_12_CloseCommPort(void) {
    return commClose();
}

int16_t OSTREL_CALL MG_OpenCommPort(int16_t port) {
    return commOpen(port, kMgLine);
}

int16_t OSTREL_CALL MG_CloseCommPort(void) {
    return commClose();
}

int16_t OSTREL_CALL MG_ZT2330_OpenCommPort(int16_t port) {
    return commOpen(port, kZtLine);
}

int16_t OSTREL_CALL MG_ZT2330_CloseCommPort(void) {
    return commClose();
}

} // extern "C"
