#pragma once

// What the fuzz targets share: a check that stops the run on a broken rule,
// and a scratch folder of their own to work in, made once per process.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
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
    const char* base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string folder = std::string(base) + "/chiamoro-fuzz-XXXXXX";
    require(mkdtemp(folder.data()) != nullptr, "scratch folder");
    require(chdir(folder.c_str()) == 0, "chdir");
    done = true;
}
