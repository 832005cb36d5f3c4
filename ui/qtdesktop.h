#pragma once

#include "form/interfaces.h"

// The desktop of the phone book's copy and print: Qt's clipboard, the print
// system's default destination and the system clock.
class QtDesktop : public Desktop {
public:
    void copyText(const std::u16string& text) override;
    bool print(const std::vector<std::u16string>& texts) override;
    std::tm localTime() override;
};
