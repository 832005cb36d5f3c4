// The places of the phone book's controls in its window, in pixels, from
// ui/layout.h, for bench/drive-window to click at. One line per control, in
// the table's order:
//
//   NAME LEFT TOP WIDTH HEIGHT

#include "ui/layout.h"

#include <cstdio>

int main() {
    for (const layout::Control& row : layout::kControls) {
        const layout::Place place = layout::inPixels(row.place);
        std::printf("%s %d %d %d %d\n", row.name, place.left, place.top, place.width, place.height);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
