#include "ProgramFolderUnit.h"

#include <cstdlib>
#include <filesystem>

std::string ProgramFolder(const std::string& home) {
    namespace fs = std::filesystem;
    fs::path folder;
    if (!home.empty()) {
        folder = home;
    } else if (const char* env = std::getenv("HALVANE_HOME"); env && *env) {
        folder = env;
    } else {
        std::error_code error;
        folder = fs::read_symlink("/proc/self/exe", error).parent_path();
        if (error)
            folder = fs::current_path();
    }
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    if (error)
        absolute = folder;
    std::string text = absolute.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}
