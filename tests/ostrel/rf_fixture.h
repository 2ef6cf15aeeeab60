// A port opened for the RF reader/writer with a scripted reader on its far end.
#pragma once

#include "ostrel.h"
#include "test_support.h"

namespace ostrel_test {

class RfReader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(AT88RF256_12_OpenCommPort(1), 1); }
    void TearDown() override { AT88RF256_12_CloseCommPort(); }

    // Status-1 reply carrying the given fields.
    static Answer ok(const Bytes& fields = {}) {
        return Answer{{sFrame(concat({bytes({0x01}), fields}))}};
    }
    static Answer status(int s) { return Answer{{sFrame(bytes({s}))}}; }

    std::vector<std::string> requestsHex() const {
        std::vector<std::string> out;
        for (const Bytes& r : device.requests())
            out.push_back(hex(r));
        return out;
    }

    PtyDevice device;
};

} // namespace ostrel_test
