// Option.ini text as an operator may leave it: through the settings loader and the INI rules
// the password change writes with.
#include "shell/IniFileUnit.h"
#include "shell/SysOptionUnit.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const std::string& IniPath() {
    static const std::string path = [] {
        const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                               ? "/dev/shm"
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "halvane-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        // Kept for the exit handler, which may run after this function's static is gone.
        static const char* folder = strdup(pattern.c_str());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return pattern + "/Option.ini";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::ofstream(IniPath(), std::ios::binary | std::ios::trunc) << text;

    TSysOption options(IniPath());
    options.Load();

    // The rules on the text itself: a lookup, an update, and the update read back.
    (void)TIniFile::ParseInteger(text);
    (void)TIniFile::Lookup(text, "SysOption", "Password");
    const std::string updated = TIniFile::Update(text, "SysOption", "Password", "new");
    const auto value = TIniFile::Lookup(updated, "SysOption", "Password");
    if (!value || *value != "new")
        std::abort(); // a write that does not read back would lose the operator's password
    return 0;
}
