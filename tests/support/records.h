#pragma once

#include <string>
#include <string_view>

// The 180 bytes of one record of "Chiamoro.DAT", each field padded with spaces
// to its width.

// From the fields' Windows-1252 bytes, as they lie in the file.
std::string record(std::string_view numero, std::string_view nome = {},
                   std::string_view commenti = {});

// From texts, encoded as the program stores them.
std::string record(std::u16string_view numero, std::u16string_view nome = {},
                   std::u16string_view commenti = {});
