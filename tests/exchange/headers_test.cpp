// The program's headers without Qt compile after X11's Xlib.h (afterx11.cpp),
// and still name the program's own Status.

#include "store/recordfile.h"
#include "store/status.h"

#include <gtest/gtest.h>

chiamoro::Status statusAfterXlib();

TEST(Headers, ReadAfterXlibTheyStillNameTheProgramsOwnStatus) {
    const chiamoro::Status status = statusAfterXlib();
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.operation, chiamoro::FileOperation::Open);
    EXPECT_EQ(status.file, kDataFileName);
}
