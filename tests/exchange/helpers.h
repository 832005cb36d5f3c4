#pragma once

#include "exchange/contattolibero.h"
#include "store/recordfile.h"
#include "store/utf8.h"
#include "support/tempdir.h"

#include <ostream>
#include <string>
#include <vector>

// The contacts of a data file, as the window shows them.
inline std::vector<ContattoLibero> contactsIn(const std::string& path = kDataFileName) {
    const std::string bytes = readFile(path);
    std::vector<ContattoLibero> contacts;
    for (std::size_t at = 0; at + kLunghezzaRecord <= bytes.size(); at += kLunghezzaRecord) {
        contacts.push_back(fromRecord(decodeRecord(bytes.data() + at)));
    }
    return contacts;
}

inline void PrintTo(const ContattoLibero& contatto, std::ostream* out) {
    *out << "{\"" << encodeUtf8(contatto.numero) << "\", \"" << encodeUtf8(contatto.nome)
         << "\", \"" << encodeUtf8(contatto.commenti) << "\"}";
}
