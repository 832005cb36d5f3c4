#pragma once

#include "exchange/problem.h"
#include "exchange/voce.h"
#include "store/status.h"

#include <cstdint>

// The contacts of a file to import, one at a time.
class ContactReader {
public:
    virtual ~ContactReader() = default;

    // The next contact; `got` is false at the end. A failed read comes back as
    // the Status, a file that is not what it should be as `problem`.
    virtual Status next(Voce& voce, bool& got, InputProblem& problem) = 0;

    // The line of the file where the contact last returned begins, from 1.
    virtual std::int64_t line() const = 0;
};
