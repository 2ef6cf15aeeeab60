#include "SimulatedMemberUnit.h"

#include "shell/KeyValueFileUnit.h"
#include "shell/LogFileUnit.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

namespace {

using TEntries = TKeyValues;

std::optional<std::string> ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string* Find(const TEntries& entries, const std::string& key) {
    for (const auto& [name, value] : entries)
        if (name == key)
            return &value;
    return nullptr;
}

void Set(TEntries& entries, const std::string& key, std::string value) {
    for (auto& [name, old] : entries)
        if (name == key) {
            old = std::move(value);
            return;
        }
    entries.emplace_back(key, std::move(value));
}

// Written beside and renamed over the old file, so a reader never sees half a card.
bool WriteEntries(const std::filesystem::path& path, const TEntries& entries) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const auto& [name, value] : entries)
            out << name << '=' << value << '\n';
        out.flush();
        if (!out)
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

bool HasLineBreak(const std::string& value) {
    return value.find_first_of("\r\n") != std::string::npos;
}

// What a read hands out. The caller copies the texts at once, so each thread needs them only
// until its own next read; per-thread texts keep concurrent readers from overwriting each other.
struct TReadTexts {
    std::string CardNo, Password, ExpireDate, GuestName, Score;
};

TReadTexts& ThreadReadTexts() {
    thread_local TReadTexts texts;
    return texts;
}

} // namespace

TSimulatedMember::TSimulatedMember(std::string folder) : Folder_(std::move(folder)) {}

void TSimulatedMember::ShowOptionDialog() {
    WriteLog("模拟会员卡设备没有选项，卡片数据在 " + CardFile().string());
}

void TSimulatedMember::OpenPort() {
    std::lock_guard guard(Lock_);
    WriteLog("模拟会员卡设备: 打开串口");
}

void TSimulatedMember::ClosePort() {
    std::lock_guard guard(Lock_);
    WriteLog("模拟会员卡设备: 关闭串口");
}

void TSimulatedMember::Beep() {
    std::lock_guard guard(Lock_);
    WriteLog("模拟会员卡设备: Beep");
}

bool TSimulatedMember::ForcedFailure() const {
    const std::optional<std::string> text = ReadText(ResultFile());
    if (!text)
        return false;
    const size_t first = text->find_first_not_of(" \t\r\n");
    const size_t last = text->find_last_not_of(" \t\r\n");
    return first != std::string::npos && text->substr(first, last - first + 1) == "0";
}

bool TSimulatedMember::WriteCard(std::string CardNo, std::string SecondValue,
                                 std::string ThirdValue, std::string FourthValue, int Channel) {
    std::lock_guard guard(Lock_);
    if (ForcedFailure())
        return false;
    // A line break would split the value into lines of its own and forge other keys.
    if (HasLineBreak(CardNo) || HasLineBreak(SecondValue) || HasLineBreak(ThirdValue) ||
        HasLineBreak(FourthValue)) {
        WriteLog("模拟会员卡设备: 写卡数据含有换行符，未写入");
        return false;
    }
    TEntries entries = ReadKeyValueFile(CardFile()).value_or(TEntries{});
    Set(entries, "CardNo", std::move(CardNo));
    Set(entries, "SecondValue", std::move(SecondValue));
    Set(entries, "ThirdValue", std::move(ThirdValue));
    Set(entries, "FourthValue", std::move(FourthValue));
    Set(entries, "Channel", std::to_string(Channel));
    if (!WriteEntries(CardFile(), entries)) {
        WriteLog("模拟会员卡设备: 无法写入 " + CardFile().string());
        return false;
    }
    return true;
}

bool TSimulatedMember::ReadCard(bool, const char*& CardNo, const char*& Password,
                                const char*& ExpireDate, const char*& GuestName, const char*& Score,
                                int) {
    std::lock_guard guard(Lock_);
    if (ForcedFailure())
        return false;
    const std::optional<TEntries> entries = ReadKeyValueFile(CardFile());
    if (!entries)
        return false;
    TReadTexts& texts = ThreadReadTexts();
    const auto handOut = [&](const char* key, std::string& text, const char*& output) {
        if (const std::string* value = Find(*entries, key)) {
            text = *value;
            output = text.c_str();
        }
    };
    handOut("CardNo", texts.CardNo, CardNo);
    handOut("Password", texts.Password, Password);
    handOut("ExpireDate", texts.ExpireDate, ExpireDate);
    handOut("GuestName", texts.GuestName, GuestName);
    handOut("Score", texts.Score, Score);
    return true;
}
