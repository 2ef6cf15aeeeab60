#include "HalvaneUnit.h"

#include "shell/LogFileUnit.h"

#include <tarnel.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace {

template <size_t N> using TArea = std::array<uint8_t, N>;

template <size_t N> void PutWord(TArea<N>& area, size_t index, int value) {
    area[2 * index] = static_cast<uint8_t>(value & 0xFF);
    area[2 * index + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

template <size_t N> int16_t GetWord(const TArea<N>& area, size_t index) {
    return static_cast<int16_t>(area[2 * index] | (area[2 * index + 1] << 8));
}

// Year, month, day, hour, minute, then 0: seconds are not kept on the card.
TArea<TARNEL_AREA10_SIZE> StampArea(TDateTime when) {
    const TDateParts parts = when.Decode();
    TArea<TARNEL_AREA10_SIZE> area{};
    PutWord(area, 0, parts.Year);
    PutWord(area, 1, parts.Month);
    PutWord(area, 2, parts.Day);
    PutWord(area, 3, parts.Hour);
    PutWord(area, 4, parts.Minute);
    return area;
}

// A room code as the encoder takes it. The encoder stores 16 bits and card numbers read them
// back signed, so only 0..32767 round-trips; anything else is refused before a card is written.
int16_t RoomCodeValue(const std::string& text, const char* what) {
    // The integer conversion of the codes takes leading blanks and a plus sign.
    std::string_view digits = text;
    while (!digits.empty() && (digits.front() == ' ' || digits.front() == '\t'))
        digits.remove_prefix(1);
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    int value = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || digits[0] == '-' || ec != std::errc() ||
        end != digits.data() + digits.size() || value < 0 || value > 32767) {
        const std::string message =
            std::string("发卡失败：") + what + "\"" + text + "\"不是0到32767之间的整数";
        WriteLog(message);
        throw std::invalid_argument(message);
    }
    return static_cast<int16_t>(value);
}

// "yyyymmddhh" of the start, then the three codes in plain decimal, read as one number.
std::string CardNumberText(const TDateParts& start, int building, int floor, int room) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%d%d%d", start.Year, start.Month, start.Day,
                  start.Hour, building, floor, room);
    return text;
}

std::optional<int64_t> CardNumber(const std::string& text) {
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string ErrorText(int code) {
    switch (code) {
    case -1:
        return "请检查IC卡是否正确放置！";
    case -2:
        return "请检查发卡机是否正确连接！";
    case -3:
        return "该IC卡不能在本系统使用！";
    case -4:
        return "卡类型不对！";
    case -5:
        return "IC卡读写失败！";
    case -6:
        return "串口未打开！";
    case -7:
        return "数据卡读取完成！";
    case -8:
        return "无效的参数！";
    case -9:
        return "不支持该操作！";
    case -10:
        return "其他错误！";
    case -11:
        return "端口正在使用！";
    case -12:
        return "通信错误！";
    case -13:
        return "卡片内容不为空！";
    case -14:
        return "密码不对！";
    case -15:
        return "操作失败！";
    default:
        return "未知错误";
    }
}

void THalvane::ShowOptionDialog() {}

bool THalvane::OpenPort() {
    const int result = MakeCardOpenPort(1);
    if (result != TARNEL_SUCCESS) {
        WriteLog("端口初始化失败: " + ErrorText(result));
        return false;
    }
    WriteLog("系统初始化成功");
    return true;
}

void THalvane::Beep() {}

bool THalvane::ClosePort() {
    return true;
}

bool THalvane::IssueCard(std::string, std::string BuildingCode, std::string FloorCode,
                         std::string RoomCode, std::string, TDateTime StartTime, TDateTime,
                         TDateTime EndTime, TDateTime, bool IsCopy, int64_t& CardNo) {
    const int16_t building = RoomCodeValue(BuildingCode, "楼号");
    const int16_t floor = RoomCodeValue(FloorCode, "楼层");
    const int16_t room = RoomCodeValue(RoomCode, "房号");
    // The number is worked out before the card is written, so that a card is never written
    // whose number cannot be reported.
    const std::string numberText = CardNumberText(StartTime.Decode(), building, floor, room);
    const std::optional<int64_t> number = CardNumber(numberText);
    if (!number) {
        const std::string message = "发卡失败：卡号" + numberText + "超出64位整数的范围";
        WriteLog(message);
        throw std::invalid_argument(message);
    }

    TArea<TARNEL_AREA1_SIZE> area1{};
    PutWord(area1, 0, 11);
    PutWord(area1, 1, 22);
    TArea<TARNEL_AREA2_SIZE> area2{};
    TArea<TARNEL_AREA4_SIZE> floorArea{};
    PutWord(floorArea, 0, floor);
    TArea<TARNEL_AREA5_SIZE> area5{};
    TArea<TARNEL_AREA6_SIZE> roomArea{};
    PutWord(roomArea, 0, room);
    TArea<TARNEL_AREA8_SIZE> area8{};
    TArea<TARNEL_AREA9_SIZE> area9{};
    TArea<TARNEL_AREA10_SIZE> start = StampArea(StartTime);
    TArea<TARNEL_AREA11_SIZE> end = StampArea(EndTime);

    const int result = MakeGuestCard(
        area1.data(), area2.data(), static_cast<uint16_t>(building), floorArea.data(), area5.data(),
        roomArea.data(), IsCopy ? 1u : 0u, area8.data(), area9.data(), start.data(), end.data());
    if (result != TARNEL_SUCCESS) {
        WriteLog("发卡失败：" + ErrorText(result));
        return false;
    }
    Beep();
    CardNo = *number;
    WriteLog("发卡结束时间:" + std::to_string(EndTime.Decode().Year));
    WriteLog("发卡成功,卡号为:" + std::to_string(CardNo));
    return true;
}

bool THalvane::ReadCard(int64_t& CardNo) {
    TArea<TARNEL_AREA1_SIZE> area1{};
    TArea<TARNEL_AREA2_SIZE> area2{};
    TArea<TARNEL_AREA3_SIZE> building{};
    TArea<TARNEL_AREA4_SIZE> floor{};
    TArea<TARNEL_AREA5_SIZE> area5{};
    TArea<TARNEL_AREA6_SIZE> room{};
    TArea<TARNEL_AREA7_SIZE> copy{};
    TArea<TARNEL_AREA8_SIZE> area8{};
    TArea<TARNEL_AREA9_SIZE> area9{};
    TArea<TARNEL_AREA10_SIZE> start{};
    TArea<TARNEL_AREA11_SIZE> end{};
    const int result =
        ::ReadCard(area1.data(), area2.data(), building.data(), floor.data(), area5.data(),
                   room.data(), copy.data(), area8.data(), area9.data(), start.data(), end.data());
    if (result != TARNEL_SUCCESS) {
        WriteLog("读卡失败：" + ErrorText(result));
        return false;
    }
    Beep();
    // A card this server did not write may hold values no card number can carry; that is a
    // failed read, reported like the encoder's own failures.
    const std::optional<TDateTime> startTime =
        TDateTime::TryEncode({GetWord(start, 0), GetWord(start, 1), GetWord(start, 2),
                              GetWord(start, 3), GetWord(start, 4), 0, 0});
    const int16_t codes[3] = {GetWord(building, 0), GetWord(floor, 0), GetWord(room, 0)};
    if (!startTime) {
        WriteLog("读卡失败：卡上的起始时间无效");
        return false;
    }
    if (codes[0] < 0 || codes[1] < 0 || codes[2] < 0) {
        WriteLog("读卡失败：卡上的房间代码无效");
        return false;
    }
    const std::string numberText =
        CardNumberText(startTime->Decode(), codes[0], codes[1], codes[2]);
    const std::optional<int64_t> number = CardNumber(numberText);
    if (!number) {
        WriteLog("读卡失败：卡号" + numberText + "超出64位整数的范围");
        return false;
    }
    CardNo = *number;
    WriteLog("读卡成功,卡号为:" + std::to_string(CardNo));
    return true;
}

bool THalvane::EraseCard() {
    TArea<TARNEL_CLEAR_AREA_SIZE> area{};
    const int result = ClearCardData(area.data());
    if (result != TARNEL_SUCCESS) {
        WriteLog("销卡失败：" + ErrorText(result));
        return false;
    }
    Beep();
    WriteLog("销卡成功");
    return true;
}
