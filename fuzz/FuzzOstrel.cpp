// Bytes from a card reader/writer, as a broken or hostile device may send them, through the
// library's receive paths: S frames of the RF reader, the encoder's and the ZT2330's answers,
// and the whole-card transfer. A fake port hands out the input after the first byte, which
// picks the call; every output area is exactly the size the header states, so that a write
// past it is caught.
#include "ostrel.h"
#include "serial_link.h"
#include "serial_port.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

class TFakePort final : public ostrel::SerialPort {
public:
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    size_t Next = 0;
    bool Open = false;

    ostrel::OpenStatus open(int, const ostrel::LineSettings&) override {
        Open = true;
        return ostrel::OpenStatus::Opened;
    }
    bool isOpen() const override { return Open; }
    void close() override { Open = false; }
    bool writeAll(const uint8_t*, std::size_t) override { return true; }
    // The device's bytes are its answers to whatever was sent; none is thrown away.
    void discardInput() override {}
    ostrel::IoStatus waitForInput(int) override {
        return Next < Size ? ostrel::IoStatus::Ok : ostrel::IoStatus::TimedOut;
    }
    void pause(int) override {}
    ostrel::IoStatus readByte(uint8_t& byte, int) override {
        if (Next >= Size)
            return ostrel::IoStatus::TimedOut;
        byte = Data[Next++];
        return ostrel::IoStatus::Ok;
    }
};

TFakePort& Port() {
    static TFakePort port;
    static const bool installed = (ostrel::useSerialPort(port), true);
    (void)installed;
    return port;
}

// An output area of exactly n bytes on the heap.
struct TArea {
    explicit TArea(size_t n) : Bytes(n) {}
    uint8_t* data() { return Bytes.data(); }
    std::vector<uint8_t> Bytes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    TFakePort& port = Port();
    port.Data = data + 1;
    port.Size = size - 1;
    port.Next = 0;
    const uint8_t call = data[0];
    const uint8_t arg = size > 1 ? data[1] : 0;

    switch (call % 16) {
    case 0: {
        AT88RF256_12_OpenCommPort(1);
        TArea out(4);
        AT88RF256_12_ReadPage(out.data(), arg % 8);
        break;
    }
    case 1: {
        AT88RF256_12_OpenCommPort(1);
        // out holds the length rounded up to whole pages.
        const uint8_t start = arg % 8, length = static_cast<uint8_t>(arg >> 3);
        TArea out((length + size_t{3}) / 4 * 4);
        AT88RF256_12_ReadData(out.data(), start, length);
        break;
    }
    case 2: {
        AT88RF256_12_OpenCommPort(1);
        TArea out(8);
        AT88RF256_12_ReadRom(out.data());
        break;
    }
    case 3: {
        AT88RF256_12_OpenCommPort(1);
        TArea out(2049);
        AT88RF256_12_ReadDataCard(out.data());
        break;
    }
    case 4: {
        AT88RF256_12_OpenCommPort(1);
        TArea out(10), type(1);
        TI0036_Read(out.data(), type.data());
        break;
    }
    case 5: {
        AT88RF256_12_OpenCommPort(1);
        TArea out(10);
        TI0034_ReadRom(out.data(), static_cast<uint8_t>(1 + arg % 3));
        break;
    }
    case 6: {
        AT88RF256_12_OpenCommPort(1);
        TArea out(4);
        EM4100_ReadRom(out.data());
        break;
    }
    case 7: {
        AT88RF256_12_OpenCommPort(1);
        TArea out(1);
        eeReadByte(arg, arg, out.data());
        break;
    }
    case 8: {
        AT88RF256_12_OpenCommPort(1);
        TArea out(7);
        GetRfRwVersion_1(out.data());
        break;
    }
    case 9: {
        MG_OpenCommPort(1);
        TArea out(64);
        MG_CardRead(out.data(), 0);
        break;
    }
    case 10: {
        MG_OpenCommPort(1);
        const uint8_t text[] = "0123456789=0123456789";
        MG_CardWrite(text, static_cast<uint8_t>(arg % sizeof text));
        break;
    }
    case 11: {
        MG_OpenCommPort(1);
        MG_CLE();
        break;
    }
    case 12: {
        MG_ZT2330_OpenCommPort(1);
        TArea out(64);
        MG_ZT2330_CardRead(out.data(), 0);
        break;
    }
    case 13: {
        MG_ZT2330_OpenCommPort(1);
        const uint8_t text[] = "0123456789=0123456789";
        MG_ZT2330_CardWrite(text, static_cast<uint8_t>(arg % sizeof text));
        break;
    }
    case 14: {
        AT88RF256_12_OpenCommPort(1);
        const uint8_t in4[4] = {1, 2, 3, 4};
        AT88RF256_12_WritePage(in4, arg % 7);
        break;
    }
    default: {
        AT88RF256_12_OpenCommPort(1);
        TArea data4(4);
        Command57(0, 0, 0, 0, 3, arg % 8, data4.data());
        break;
    }
    }
    AT88RF256_12_CloseCommPort();
    return 0;
}
