#pragma once

#include "exchange/voce.h"
#include "store/recordfile.h"
#include "store/utf8.h"
#include "support/tempdir.h"

#include <ostream>
#include <string>
#include <vector>

// The contacts of a data file, as the window shows them.
inline std::vector<Voce> contactsIn(const std::string& path = kDataFileName) {
    const std::string bytes = readFile(path);
    std::vector<Voce> contacts;
    for (std::size_t at = 0; at + kLunghezzaRecord <= bytes.size(); at += kLunghezzaRecord) {
        contacts.push_back(fromRecord(decodeRecord(bytes.data() + at)));
    }
    return contacts;
}

inline void PrintTo(const Voce& voce, std::ostream* out) {
    *out << "{\"" << encodeUtf8(voce.numero) << "\", \"" << encodeUtf8(voce.nome) << "\", \""
         << encodeUtf8(voce.commenti) << "\"}";
}
