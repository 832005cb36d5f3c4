// Every system call of every command, failed in every way: the user gets one
// clear report, the program ends with a non-zero status, and the data file is
// as it was before the command or as the command meant to leave it.

#include "harness.h"
#include "support/faultyfs.h"

#include <cerrno>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace {

struct Scenario {
    const char* name;
    std::optional<std::string> before;              // the data file at start; none: no file
    std::optional<std::string> scratch;             // a scratch file at start
    std::function<void(Rubrica&, FakeView&)> setup; // runs without faults
    std::function<void(Rubrica&, FakeView&)> command;
    // "New" saves the shown record, then appends: a failure of the append
    // leaves the save done, as a save on its own would have left the file.
    std::optional<std::string> saved = std::nullopt;
};

std::string three() {
    return record("111", "Anna") + record("222", "Bruno") + record("333", "Carla");
}

void load(Rubrica& form, FakeView&) {
    form.formLoad();
}
void loadAndEdit(Rubrica& form, FakeView& view) {
    form.formLoad();
    view.setText(Casella::txtChiamoro, u"Anna Maria");
}

std::vector<Scenario> scenarios() {
    const auto nothing = [](Rubrica&, FakeView&) {};
    return {
        {"start-up", three(), std::nullopt, nothing, load},
        {"first start", std::nullopt, std::nullopt, nothing, load},
        {"start-up adopting a scratch file", std::nullopt, three(), nothing, load},
        {"save", three(), std::nullopt, loadAndEdit,
         [](Rubrica& f, FakeView&) { f.cmdSuccessivoClick(); }},
        {"new", three(), std::nullopt, loadAndEdit,
         [](Rubrica& f, FakeView&) { f.cmdNuovoClick(); },
         record("111", "Anna Maria") + record("222", "Bruno") + record("333", "Carla")},
        {"new on a damaged file", three() + "xyz", std::nullopt, loadAndEdit,
         [](Rubrica& f, FakeView&) { f.cmdNuovoClick(); },
         record("111", "Anna Maria") + record("222", "Bruno") + record("333", "Carla") + "xyz"},
        {"delete", three(), record("stale"),
         [](Rubrica& f, FakeView&) {
             f.formLoad();
             f.cmdSuccessivoClick();
         },
         [](Rubrica& f, FakeView&) { f.cmdCancellaClick(); }},
        {"delete the last", three(), std::nullopt,
         [](Rubrica& f, FakeView&) {
             f.formLoad();
             f.cmdSuccessivoClick();
             f.cmdSuccessivoClick();
         },
         [](Rubrica& f, FakeView&) { f.cmdCancellaClick(); }},
        {"search", three(), std::nullopt, loadAndEdit,
         [](Rubrica& f, FakeView&) { f.command1Click(); }},
        {"quit", three(), std::nullopt, loadAndEdit,
         [](Rubrica& f, FakeView&) { f.cmdEsciClick(); }},
    };
}

struct Kind {
    const char* name;
    int error; // 0: the disk fills up during a write
    const char16_t* reason;
};

const Kind kKinds[] = {
    {"EIO", EIO, u"errore di lettura o scrittura del disco (EIO)"},
    {"ENOSPC", ENOSPC, u"spazio esaurito sul disco (ENOSPC)"},
    {"EACCES", EACCES, u"permesso negato (EACCES)"},
    {"EROFS", EROFS, u"il disco è in sola lettura (EROFS)"},
    {"short write", 0, u"spazio esaurito sul disco (ENOSPC)"},
};

// Yes to the deletion, "carla" to the search.
ScriptedDialogs answering() {
    ScriptedDialogs dialogs;
    dialogs.answers = {Risposta::Si};
    dialogs.inputs = {u"carla"};
    return dialogs;
}

class FaultTest : public InTempDir {
protected:
    void prepare(const Scenario& scenario) {
        std::remove(kDataFileName);
        std::remove(kScratchFileName);
        if (scenario.before) {
            writeFile(kDataFileName, *scenario.before);
        }
        if (scenario.scratch) {
            writeFile(kScratchFileName, *scenario.scratch);
        }
    }
    std::optional<std::string> dataFile() {
        if (!fileExists(kDataFileName)) {
            return std::nullopt;
        }
        return readFile(kDataFileName);
    }
};

} // namespace

TEST_F(FaultTest, EveryFailedCallIsReportedAndLosesNothing) {
    int cases = 0;
    for (const Scenario& scenario : scenarios()) {
        // A run without faults: which calls the command makes, and what it leaves.
        prepare(scenario);
        int first = 0;
        int last = 0;
        std::optional<std::string> intended;
        {
            FaultyFileSystem counting;
            FakeView view;
            ScriptedDialogs dialogs = answering();
            FakeDesktop desktop;
            Rubrica form(view, dialogs, desktop, counting);
            scenario.setup(form, view);
            first = counting.calls() + 1;
            scenario.command(form, view);
            last = counting.calls();
            ASSERT_EQ(form.exitStatus(), 0) << scenario.name;
            intended = dataFile();
        }
        ASSERT_LT(first, last) << scenario.name;

        for (int n = first; n <= last; ++n) {
            for (const Kind& kind : kKinds) {
                for (const bool onward : {false, true}) {
                    if (kind.error == 0 && onward) {
                        continue;
                    }
                    ++cases;
                    prepare(scenario);
                    const std::string what = std::string(scenario.name) + ", call " +
                                             std::to_string(n) + ", " + kind.name +
                                             (onward ? " onward" : "");
                    FaultyFileSystem faulty;
                    FakeView view;
                    ScriptedDialogs dialogs = answering();
                    {
                        FakeDesktop desktop;
                        Rubrica form(view, dialogs, desktop, faulty);
                        scenario.setup(form, view);
                        ASSERT_EQ(faulty.calls() + 1, first) << what;
                        if (kind.error == 0) {
                            faulty.diskFullAtCall(n);
                        } else {
                            faulty.failCall(n, kind.error, onward);
                        }
                        scenario.command(form, view);

                        std::vector<std::u16string> reports;
                        for (const auto& message : dialogs.messages()) {
                            if (message.style == Stile::Critico) {
                                reports.push_back(message.text);
                            }
                        }
                        if (faulty.firstFailure().empty()) {
                            // No call failed (a short write the program completed).
                            EXPECT_TRUE(reports.empty()) << what;
                            EXPECT_EQ(form.exitStatus(), 0) << what;
                        } else {
                            EXPECT_TRUE(form.ended()) << what;
                            EXPECT_NE(form.exitStatus(), 0) << what;
                            ASSERT_EQ(reports.size(), 1u) << what;
                            const std::u16string& report = reports[0];
                            EXPECT_EQ(report.rfind(u"Impossibile ", 0), 0u) << what;
                            EXPECT_NE(report.find(kind.reason), std::u16string::npos) << what;
                            const bool namesAFile =
                                report.find(u"\"Chiamoro.DAT\"") != std::u16string::npos ||
                                report.find(u"\"Chiamoro.TMP\"") != std::u16string::npos ||
                                report.find(u"la cartella corrente") != std::u16string::npos;
                            EXPECT_TRUE(namesAFile) << what;
                        }
                    }
                    const std::optional<std::string> after = dataFile();
                    EXPECT_TRUE(after == scenario.before || after == intended ||
                                (scenario.saved && after == scenario.saved))
                        << what;
                    // A damaged tail stays as it was; no torn record is added.
                    if (after && scenario.before) {
                        EXPECT_TRUE(after->size() % 180 == scenario.before->size() % 180 ||
                                    after->size() % 180 == intended->size() % 180)
                            << what;
                    } else if (after) {
                        EXPECT_EQ(after->size() % 180, 0u) << what;
                    }
                }
            }
        }
    }
    std::printf("fault cases run: %d\n", cases);
    EXPECT_GT(cases, 500);
}
