#pragma once

#include "store/status.h"

#include <string>

// The message shown to the user when a file operation fails: the operation,
// the file and the system's reason, in Italian.
std::u16string errorReport(const Status& status);
