#pragma once

// The main of a benchmark program on generated books: the books' root folder
// for the run, the program's benchmarks registered, run and reported, the
// folder removed afterwards.

#include "books.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <exception>

inline int runOnBooks(int argc, char** argv, const char* program, books::Root*& root,
                      void (*registerAll)()) {
    try {
        books::Root folder;
        root = &folder;
        registerAll();
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
            return 1;
        }
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        folder.remove();
        root = nullptr;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", program, error.what());
        return 1;
    }
    return 0;
}
