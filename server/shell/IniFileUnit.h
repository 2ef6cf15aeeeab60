#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// INI text with the rules of the Windows profile functions: sections and keys match regardless
// of letter case, the first match wins, and a write changes one key while every other line of
// the file stays as it was. Hand-written because the INI libraries at hand rewrite the whole
// file in their own layout, dropping comments and the spelling of untouched keys.
class TIniFile {
public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return FileName_; }

    // Values as stored: trimmed, one pair of surrounding quotes removed, at most 2047 bytes.
    // A missing file, section or key reads as the default.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Each write re-reads the file, changes or adds the one key (and its section) and writes the
    // file back. Throws std::runtime_error("Unable to write to <path>") when it cannot.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // The integer forms of the profile rules: optional sign, then decimal digits, "$" + hex, or
    // "0x"/"0X" + hex. Anything else is no integer.
    static std::optional<int> ParseInteger(std::string_view text);

    // Exposed for tests: the value a parsed text yields for section/key.
    static std::optional<std::string> Lookup(std::string_view text, std::string_view section,
                                             std::string_view key);
    static std::string Update(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view value);

private:
    std::optional<std::string> ReadText() const;
    std::string FileName_;
};
