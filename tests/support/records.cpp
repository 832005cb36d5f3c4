#include "records.h"

#include "store/contatto.h"

#include <gtest/gtest.h>

namespace {

std::string field(std::string_view bytes, std::size_t width) {
    EXPECT_LE(bytes.size(), width) << "a test record's field is wider than the file's";
    std::string padded(bytes.substr(0, width));
    padded.resize(width, ' ');
    return padded;
}

} // namespace

std::string record(std::string_view numero, std::string_view nome, std::string_view commenti) {
    return field(numero, kLarghezzaNumero) + field(nome, kLarghezzaNome) +
           field(commenti, kLarghezzaCommenti);
}

std::string record(std::u16string_view numero, std::u16string_view nome,
                   std::u16string_view commenti) {
    const Contatto contact{fitField(numero, kLarghezzaNumero), fitField(nome, kLarghezzaNome),
                           fitField(commenti, kLarghezzaCommenti)};
    std::string bytes(kLunghezzaRecord, '\0');
    encodeRecord(contact, bytes.data());
    return bytes;
}
