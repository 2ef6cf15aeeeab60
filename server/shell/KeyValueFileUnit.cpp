#include "KeyValueFileUnit.h"

#include <fstream>
#include <iterator>
#include <sstream>

std::optional<TKeyValues> ReadKeyValueFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    TKeyValues entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return entries;
}
