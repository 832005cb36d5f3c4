// One working session of the phone book without its window, for measuring
// the memory the logic needs: run it under `/usr/bin/time -f %M` once in a
// folder with an empty book and once with a large one, and compare.
//
//   rubrica_session FOLDER
//
// In FOLDER it starts up, searches by number and by name for what is not
// there, searches by name for the last contact, moves on, appends a contact,
// deletes the shown one and quits: every command that reads the whole file
// and every one that writes. The book keeps its number of contacts, not its
// contents.

#include "books.h"
#include "form/rubrica.h"
#include "support/quietfakes.h"

#include <cstdio>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: rubrica_session FOLDER\n");
        return 2;
    }
    if (::chdir(argv[1]) != 0) {
        std::perror(argv[1]);
        return 2;
    }
    FakeView view;
    QuietDialogs dialogs;
    FakeDesktop desktop;
    Rubrica rubrica(view, dialogs, desktop);
    rubrica.formLoad();
    const std::int32_t total = rubrica.totaleRecord();

    dialogs.typed = books::widen(books::kMissingNumber);
    rubrica.cmdCercaClick();
    dialogs.typed = books::widen(books::kMissingName);
    rubrica.command1Click();
    dialogs.typed = books::widen(books::kLastNameTyped);
    rubrica.command1Click();
    rubrica.cmdPrecedenteClick();
    rubrica.cmdSuccessivoClick();
    rubrica.cmdNuovoClick();
    rubrica.cmdCancellaClick();
    rubrica.cmdEsciClick();

    if (rubrica.exitStatus() != 0) {
        std::fprintf(stderr, "rubrica_session: the phone book reported a failure\n");
        return 1;
    }
    std::printf("%d records, %ld message boxes\n", static_cast<int>(total), dialogs.messages);
    return 0;
}
