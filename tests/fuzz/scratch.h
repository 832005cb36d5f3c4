#pragma once

// What the fuzz targets share: a check that stops the run on a broken rule,
// and a scratch folder of their own to work in, made once per process.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

inline void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

inline void enterScratchFolder() {
    static bool done = false;
    if (done) {
        return;
    }
    // Under TMPDIR (or the system's temporary folder), and where that cannot
    // be written, in the folder the run was started from (the build tree).
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    std::string folder =
        (error ? std::filesystem::path(".") : temporary).string() + "/chiamoro-fuzz-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) {
        folder = "chiamoro-fuzz-XXXXXX";
        require(mkdtemp(folder.data()) != nullptr, "scratch folder");
    }
    require(chdir(folder.c_str()) == 0, "chdir");
    done = true;
}
