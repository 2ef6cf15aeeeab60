#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The simulated devices keep their state in small "Key=value" text files that an integrator
// edits by hand.
using TKeyValues = std::vector<std::pair<std::string, std::string>>;

// The Key=value lines of the file in file order; lines without '=' are skipped. CR LF endings
// and a leading byte-order mark are accepted, so that a file edited on Windows reads the same.
// Nothing when the file cannot be read.
std::optional<TKeyValues> ReadKeyValueFile(const std::filesystem::path& path);
