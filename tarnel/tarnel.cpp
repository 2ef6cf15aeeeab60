// The simulated encoder: one card kept in a text file so that tests and operators can see and
// prepare what is "on the encoder", with fault injection through a second file.
#include "tarnel.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

constexpr int16_t Success = 1;
constexpr int16_t BlankCard = -3;
constexpr int16_t InvalidArgument = -8;
constexpr int16_t OtherError = -10;

// One encoder per process: calls from several threads take turns, as on the real device.
std::mutex EncoderLock;

struct TCard {
    int16_t Building = 0, Floor = 0, Room = 0;
    int16_t Copy = 0;
    int16_t Start[5] = {}; // year, month, day, hour, minute
    int16_t End[5] = {};
};

std::string StateFolder() {
    if (const char* dir = std::getenv("TARNEL_SIM_DIR"); dir && *dir)
        return dir;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&MakeCardOpenPort), &info) && info.dli_fname) {
        std::string path = info.dli_fname;
        const auto slash = path.rfind('/');
        return slash == std::string::npos ? "." : path.substr(0, slash);
    }
    return ".";
}

std::string StatePath(const char* name) {
    return StateFolder() + "/" + name;
}

int16_t GetWord(const uint8_t* area, int index) {
    return static_cast<int16_t>(area[2 * index] | (area[2 * index + 1] << 8));
}

void PutWord(uint8_t* area, int index, int value) {
    area[2 * index] = static_cast<uint8_t>(value & 0xFF);
    area[2 * index + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

template <typename T> bool ParseInt(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

std::optional<int16_t> ForcedResult() {
    std::ifstream in(StatePath("tarnel-result"));
    if (!in)
        return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    int16_t value = 0;
    if (!ParseInt(Trim(text.str()), value))
        return std::nullopt;
    return value;
}

void Journal(const char* function, int16_t result) {
    const std::string line = std::string(function) + " " + std::to_string(result) + "\n";
    const int fd = ::open(StatePath("tarnel-calls.log").c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    // One write per line, so that the journal never holds half a line.
    [[maybe_unused]] const ssize_t n = ::write(fd, line.data(), line.size());
    ::close(fd);
}

bool IsValidStamp(const int16_t (&s)[5]) {
    static constexpr int DaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (s[0] < 1 || s[1] < 1 || s[1] > 12 || s[2] < 1 || s[3] < 0 || s[3] > 23 || s[4] < 0 ||
        s[4] > 59)
        return false;
    const bool leap = (s[0] % 4 == 0 && s[0] % 100 != 0) || s[0] % 400 == 0;
    const int days = (s[1] == 2 && !leap) ? 28 : DaysInMonth[s[1] - 1];
    return s[2] <= days;
}

std::string FormatStamp(const int16_t (&s)[5]) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", s[0], s[1], s[2], s[3], s[4]);
    return text;
}

bool ParseStamp(std::string_view text, int16_t (&s)[5]) {
    // YYYY-MM-DD HH:MM
    if (text.size() != 16 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':')
        return false;
    return ParseInt(text.substr(0, 4), s[0]) && ParseInt(text.substr(5, 2), s[1]) &&
           ParseInt(text.substr(8, 2), s[2]) && ParseInt(text.substr(11, 2), s[3]) &&
           ParseInt(text.substr(14, 2), s[4]) && IsValidStamp(s);
}

// The card on the encoder, or nothing for a blank (or unreadable) card.
std::optional<TCard> LoadCard() {
    std::ifstream in(StatePath("tarnel-card.txt"));
    if (!in)
        return std::nullopt;
    TCard card;
    unsigned seen = 0;
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = Trim(line);
        const auto eq = text.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = text.substr(0, eq), value = Trim(text.substr(eq + 1));
        bool ok = false;
        unsigned bit = 0;
        if (key == "building")
            ok = ParseInt(value, card.Building), bit = 1;
        else if (key == "floor")
            ok = ParseInt(value, card.Floor), bit = 2;
        else if (key == "room")
            ok = ParseInt(value, card.Room), bit = 4;
        else if (key == "copy")
            ok = ParseInt(value, card.Copy) && (card.Copy == 0 || card.Copy == 1), bit = 8;
        else if (key == "start")
            ok = ParseStamp(value, card.Start), bit = 16;
        else if (key == "end")
            ok = ParseStamp(value, card.End), bit = 32;
        else
            continue;
        if (!ok)
            return std::nullopt;
        seen |= bit;
    }
    if (seen != 63)
        return std::nullopt;
    return card;
}

// Replaces the card file in one step, so a reader never sees half a card.
bool StoreCard(const std::optional<TCard>& card) {
    const std::string path = StatePath("tarnel-card.txt");
    if (!card) {
        return std::remove(path.c_str()) == 0 || errno == ENOENT;
    }
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << "building=" << card->Building << "\n"
            << "floor=" << card->Floor << "\n"
            << "room=" << card->Room << "\n"
            << "copy=" << card->Copy << "\n"
            << "start=" << FormatStamp(card->Start) << "\n"
            << "end=" << FormatStamp(card->End) << "\n";
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// Runs one call: the forced result wins, then the simulation; every call is journalled.
template <typename F> int16_t Call(const char* function, F&& simulate) {
    std::lock_guard guard(EncoderLock);
    int16_t result = OtherError;
    try {
        if (auto forced = ForcedResult())
            result = *forced;
        else
            result = simulate();
    } catch (...) {
        result = OtherError; // nothing may leave a C function
    }
    Journal(function, result);
    return result;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int16_t TARNEL_CALL MakeCardOpenPort(int32_t port) {
    return Call("MakeCardOpenPort",
                [&]() -> int16_t { return port == 1 ? Success : InvalidArgument; });
}

__attribute__((visibility("default"))) int16_t TARNEL_CALL
MakeGuestCard(uint8_t* area1, uint8_t* area2, uint32_t building, uint8_t* floor18, uint8_t* area5,
              uint8_t* room14, uint32_t isCopy, uint8_t* area8, uint8_t* area9, uint8_t* start12,
              uint8_t* end12) {
    return Call("MakeGuestCard", [&]() -> int16_t {
        if (!area1 || !area2 || !floor18 || !area5 || !room14 || !area8 || !area9 || !start12 ||
            !end12)
            return InvalidArgument;
        if (GetWord(area1, 0) != 11 || GetWord(area1, 1) != 22 || isCopy > 1)
            return InvalidArgument;
        TCard card;
        card.Building = static_cast<int16_t>(building & 0xFFFF);
        card.Floor = GetWord(floor18, 0);
        card.Room = GetWord(room14, 0);
        card.Copy = static_cast<int16_t>(isCopy);
        for (int i = 0; i < 5; ++i) {
            card.Start[i] = GetWord(start12, i);
            card.End[i] = GetWord(end12, i);
        }
        if (!IsValidStamp(card.Start) || !IsValidStamp(card.End))
            return InvalidArgument;
        return StoreCard(card) ? Success : OtherError;
    });
}

__attribute__((visibility("default"))) int16_t TARNEL_CALL
ReadCard(uint8_t* area1, uint8_t* area2, uint8_t* building2, uint8_t* floor18, uint8_t* area5,
         uint8_t* room14, uint8_t* copy2, uint8_t* area8, uint8_t* area9, uint8_t* start12,
         uint8_t* end12) {
    return Call("ReadCard", [&]() -> int16_t {
        if (!area1 || !area2 || !building2 || !floor18 || !area5 || !room14 || !copy2 || !area8 ||
            !area9 || !start12 || !end12)
            return InvalidArgument;
        const std::optional<TCard> card = LoadCard();
        if (!card)
            return BlankCard;
        std::memset(area1, 0, TARNEL_AREA1_SIZE);
        std::memset(area2, 0, TARNEL_AREA2_SIZE);
        std::memset(floor18, 0, TARNEL_AREA4_SIZE);
        std::memset(area5, 0, TARNEL_AREA5_SIZE);
        std::memset(room14, 0, TARNEL_AREA6_SIZE);
        std::memset(area8, 0, TARNEL_AREA8_SIZE);
        std::memset(area9, 0, TARNEL_AREA9_SIZE);
        std::memset(start12, 0, TARNEL_AREA10_SIZE);
        std::memset(end12, 0, TARNEL_AREA11_SIZE);
        PutWord(area1, 0, 11);
        PutWord(area1, 1, 22);
        PutWord(building2, 0, card->Building);
        PutWord(floor18, 0, card->Floor);
        PutWord(room14, 0, card->Room);
        PutWord(copy2, 0, card->Copy);
        for (int i = 0; i < 5; ++i) {
            PutWord(start12, i, card->Start[i]);
            PutWord(end12, i, card->End[i]);
        }
        return Success;
    });
}

__attribute__((visibility("default"))) int16_t TARNEL_CALL ClearCardData(uint8_t* area18) {
    return Call("ClearCardData", [&]() -> int16_t {
        if (!area18)
            return InvalidArgument;
        std::memset(area18, 0, TARNEL_CLEAR_AREA_SIZE);
        return StoreCard(std::nullopt) ? Success : OtherError;
    });
}

} // extern "C"
