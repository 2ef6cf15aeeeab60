// The platform side of the serial link. Everything above this interface is portable; a
// backend (POSIX termios here, Windows overlapped I/O later, a fake in fuzz tests) only
// moves bytes and honours the time-outs it is given.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace ostrel {

enum class Parity { None, Even };

struct LineSettings {
    int baud;
    int dataBits;
    Parity parity;
    int stopBits;
};

enum class OpenStatus {
    Opened,         // the device is open and set up
    NotOpened,      // the device could not be opened; no port is held
    OpenedUnusable, // the device is open but refused the line settings; it is still held
};

enum class IoStatus { Ok, TimedOut, Failed };

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens port number 1..4 with the given line settings, the line fully raw.
    virtual OpenStatus open(int number, const LineSettings& line) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    // Sends all bytes and returns once they have left; transmissions have no time-out.
    virtual bool writeAll(const uint8_t* bytes, std::size_t count) = 0;
    // Throws away whatever has been received and not yet read.
    virtual void discardInput() = 0;
    // Waits until at least one received byte can be read.
    virtual IoStatus waitForInput(int timeoutMs) = 0;
    // Reads one byte; stores nothing unless the result is Ok.
    virtual IoStatus readByte(uint8_t& byte, int timeoutMs) = 0;
    // Lets the device settle after a failed wait. A fake device has nothing to wait for.
    virtual void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// The backend of this platform; one instance in static storage.
SerialPort& platformSerialPort();

} // namespace ostrel
