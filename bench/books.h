#pragma once

// Generated phone books for the benchmarks and the memory measurement.
//
// Every book lives in a folder of its own, named by its number of records,
// under one root folder: ROOT/1000/Chiamoro.DAT and so on. Beside the data
// file lies "Originale.DAT", the book as generated, from which a benchmark
// that changes the data file puts it back.

#include <cstdint>
#include <string>

namespace books {

// The number of contact `i` (1-based): "+39 3.. .......", different for every i
// below ten million.
std::string number(std::int32_t i);

// An ASCII text, as typed into an input box.
inline std::u16string widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Searched for and never stored.
inline constexpr const char* kMissingNumber = "+39 06 0000000";
inline constexpr const char* kMissingName = "Nessuno Trovato";

// The name of the last contact of every book, given to no other contact;
// searched for as typed, in lower case.
inline constexpr const char* kLastName = "Zanella Ultima";
inline constexpr const char* kLastNameTyped = "zanella ultima";

// The 180 bytes of contact `i` of a book of `total`.
std::string record(std::int32_t i, std::int32_t total);

// Writes a book of `records` contacts to `path` in blocks of 1 MiB and syncs it.
void generate(const std::string& path, std::int32_t records);

// Replaces the file `to` by a synced copy of `from`.
void copyFile(const std::string& from, const std::string& to);

// The root folder: $CHIAMORO_BENCH_DIR when set (it must exist, and is left in
// place with its books), otherwise a new temporary folder that remove() deletes.
class Root {
public:
    Root();
    ~Root();
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;

    const std::string& path() const { return path_; }

    // The folder of the book of `records` contacts, generated unless a data file
    // of the right length is already there.
    std::string book(std::int32_t records);

    // Puts the book of `records` contacts back as generated.
    void restore(std::int32_t records);

    // Deletes the folder if this object made it.
    void remove();

private:
    std::string path_;
    bool owned_ = false;
};

} // namespace books
