// --sincronizza: today's records aligned with the remembered ones, a record
// merged into a card, every change carried either way with the conflicts and
// refusals, and a crash at every system call of a sync.

#include "exchange/alignment.h"
#include "exchange/sync.h"
#include "exchange/syncstate.h"
#include "exchange/vcardfile.h"
#include "helpers.h"
#include "support/crashfs.h"
#include "support/faultyfs.h"
#include "support/records.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

using SyncTest = InTempDir;
using Kind = SyncEvent::Kind;

// "number|name|comments" as a record.
Contatto parsed(const std::string& text) {
    const auto bar = text.find('|');
    const auto second = text.find('|', bar + 1);
    const std::string bytes =
        record(text.substr(0, bar), text.substr(bar + 1, second - bar - 1),
               second == std::string::npos ? std::string() : text.substr(second + 1));
    return decodeRecord(bytes.data());
}

TEST(Alignment, RecoversEditsDeletionsAndAdditions) {
    const struct {
        const char* what;
        std::vector<std::string> before, now;
        std::vector<std::int32_t> expected;
    } cases[] = {
        {"unchanged", {"1|A", "2|B", "3|C"}, {"1|A", "2|B", "3|C"}, {0, 1, 2}},
        {"spaces around a field", {"1|A"}, {" 1 |  A"}, {0}},
        {"edited in place", {"1|A", "2|B", "3|C"}, {"1|A", "9|B", "3|C"}, {0, 1, 2}},
        {"deleted", {"1|A", "2|B", "3|C"}, {"1|A", "3|C"}, {0, -1, 1}},
        {"appended", {"1|A", "2|B"}, {"1|A", "2|B", "4|D"}, {0, 1}},
        {"deleted, then the next edited",
         {"1|A", "2|B", "3|C", "4|D"},
         {"1|A", "3|C|nota", "4|D"},
         {0, -1, 1, 2}},
        {"all three fields edited",
         {"1|A|x", "2|B|y", "3|C"},
         {"1|A|x", "7|Z|w", "3|C"},
         {0, -1, 2}},
        {"a duplicate deleted", {"1|A", "1|A", "2|B"}, {"1|A", "2|B"}, {0, -1, 1}},
        {"blank comments share nothing", {"1|A", "2|B"}, {"1|A", "5|E"}, {0, -1}},
        {"edited, deleted and appended",
         {"1|A", "2|B", "3|C", "4|D", "5|E"},
         {"1|A", "2|B|new", "4|D", "5|E", "6|F"},
         {0, 1, -1, 2, 3}},
    };
    for (const auto& c : cases) {
        std::vector<RecordKey> before, now;
        for (const auto& text : c.before) {
            before.push_back(keyOf(parsed(text)));
        }
        for (const auto& text : c.now) {
            now.push_back(keyOf(parsed(text)));
        }
        EXPECT_EQ(align(before, now), c.expected) << c.what;
    }
}

const std::string kAnnaCard = "BEGIN:VCARD\nVERSION:3.0\nUID:anna-1\nFN:Anna Verdi\n"
                              "N:Verdi;Anna;;;\nTEL;TYPE=CELL:06 1111111\nEMAIL:anna@example.org\n"
                              "PHOTO;ENCODING=b;TYPE=JPEG:QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVpB\n"
                              " QkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWg==\nNOTE:amica\n"
                              "X-CHIAMORO-TEST;X-A=1:tenuto\nEND:VCARD\n";

TEST_F(SyncTest, AMergedCardChangesOnlyTheRecordsPropertiesByteForByteElsewhere) {
    const struct {
        const char* what;
        std::string card;
        ContattoLibero record;
        bool name, numbers;
        std::string expected;
    } cases[] = {
        {"numbers and comments, where the first TEL stood, a number in them as a TEL",
         kAnnaCard,
         {u"06 9999999", u"Anna Verdi", u"amica\r\nCell. 333 1"},
         false,
         true,
         "BEGIN:VCARD\nVERSION:3.0\nUID:anna-1\nFN:Anna Verdi\nN:Verdi;Anna;;;\n"
         "TEL;TYPE=PREF:06 9999999\nTEL;TYPE=CELL:333 1\nNOTE:amica\nEMAIL:anna@example.org\n"
         "PHOTO;ENCODING=b;TYPE=JPEG:QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVpB\n"
         " QkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWg==\nX-CHIAMORO-TEST;X-A=1:tenuto\nEND:VCARD\n"},
        {"the name, where FN stood, with CR LF",
         "BEGIN:VCARD\r\nUID:x\r\nitem1.FN:Anna\r\nEMAIL:a@example.org\r\nN:;Anna;;;\r\n"
         "END:VCARD\r\n",
         {u"1", u"Anna Bianchi", u""},
         true,
         false,
         "BEGIN:VCARD\r\nUID:x\r\nN:Anna Bianchi;;;;\r\nFN:Anna Bianchi\r\n"
         "EMAIL:a@example.org\r\nEND:VCARD\r\n"},
        {"Apple's label goes with its number, another group's stays",
         "BEGIN:VCARD\nitem1.TEL;type=pref:1\nitem1.X-ABLabel:_$!<Mobile>!$_\n"
         "item2.EMAIL:b@example.org\nitem2.X-ABLabel:casa\nEND:VCARD\n",
         {u"2", u"Bo", u""},
         false,
         true,
         "BEGIN:VCARD\nTEL:2\nitem2.EMAIL:b@example.org\nitem2.X-ABLabel:casa\nEND:VCARD\n"},
        {"a card without them gets them at its end; a quoted-printable note goes whole",
         "BEGIN:VCARD\nVERSION:2.1\nNOTE;ENCODING=QUOTED-PRINTABLE:riga=0D=0A=\nseconda\n"
         "FN:Bo\nEND:VCARD\nBEGIN:VCARD\nTEL:5\nEND:VCARD\n",
         {u"", u"Bo", u""},
         true,
         true,
         "BEGIN:VCARD\nVERSION:2.1\nN:Bo;;;;\nFN:Bo\nEND:VCARD\nBEGIN:VCARD\nTEL:5\n"
         "END:VCARD\n"},
    };
    for (const auto& c : cases) {
        for (const bool again : {false, true}) {
            writeFile("card.vcf", again ? c.expected : c.card);
            std::string out;
            const auto status = mergeCard(posixFileSystem(), "card.vcf", c.record, c.name,
                                          c.numbers, [&out](std::string_view bytes) {
                                              out += bytes;
                                              return chiamoro::Status::success();
                                          });
            ASSERT_TRUE(status.ok()) << c.what;
            EXPECT_EQ(out, c.expected) << c.what << (again ? ", merged twice" : "");
        }
    }
}

// --- Changes either way, on real files ---------------------------------------

void putBook(const std::vector<std::string>& records) {
    std::string bytes;
    for (const auto& text : records) {
        char raw[kLunghezzaRecord];
        encodeRecord(parsed(text), raw);
        bytes.append(raw, sizeof raw);
    }
    writeFile(kDataFileName, bytes);
}

std::vector<std::string> bookNow() {
    std::vector<std::string> texts;
    for (const ContattoLibero& c : contactsIn()) {
        texts.push_back(encodeUtf8(c.numero) + "|" + encodeUtf8(c.nome) + "|" +
                        encodeUtf8(c.commenti));
    }
    return texts;
}

std::string card(const std::string& name, const std::string& number,
                 const std::string& extra = {}) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + name + "\r\nFN:" + name + "\r\nTEL:" + number +
           "\r\n" + extra + "END:VCARD\r\n";
}

// The events of one sync, as "Kind name"; the report in `report`.
std::vector<std::string> syncNow(SyncReport& report, bool confirmed = false,
                                 const std::string& folder = "carte") {
    static const char* const names[] = {
        "FileCreated",   "FileUpdated",   "FileDeleted",    "FileRestored", "RecordAdded",
        "RecordUpdated", "RecordDeleted", "RecordRestored", "Conflict",     "FileSkipped"};
    std::vector<std::string> events;
    SyncOptions options;
    options.emptiedBookConfirmed = confirmed;
    options.onEvent = [&events](const SyncEvent& e) {
        events.push_back(std::string(names[static_cast<int>(e.kind)]) + " " + encodeUtf8(e.name));
    };
    report = synchronize(posixFileSystem(), folder, options);
    return events;
}

std::set<std::string> cardNames() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("carte")) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST_F(SyncTest, EachChangeGoesAcrossAndTheNextSyncHasNothingToDo) {
    using Change = std::function<void()>;
    const struct {
        const char* what;
        Change change;
        std::vector<std::string> events;
        std::vector<std::string> book;
        std::size_t cards;
    } cases[] = {
        {"nothing", [] {}, {}, {"06 1111111|Anna Verdi|amica", "333 2222222|Bruno Neri|"}, 2},
        {"a card added",
         [] { writeFile("carte/carla.vcf", card("Carla", "02 3333333")); },
         {"RecordAdded Carla"},
         {"06 1111111|Anna Verdi|amica", "333 2222222|Bruno Neri|", "02 3333333|Carla|"},
         3},
        {"a record added, and the same contact as a card",
         [] {
             putBook({"06 1111111|Anna Verdi|amica", "333 2222222|Bruno Neri|", "3334444444|Dora|",
                      "020000|Ezio|"});
             writeFile("carte/dora.vcf", card("Dora", "+39 333 444 4444"));
         },
         {"FileCreated Ezio"},
         {"06 1111111|Anna Verdi|amica", "333 2222222|Bruno Neri|", "3334444444|Dora|",
          "020000|Ezio|"},
         4},
        {"a record edited",
         [] {
             putBook({"06 1111111|Anna Verdi|amica di scuola", "333 2222222|Bruno Neri|"});
         },
         {"FileUpdated Anna Verdi"},
         {"06 1111111|Anna Verdi|amica di scuola", "333 2222222|Bruno Neri|"},
         2},
        {"a card changed",
         [] { writeFile("carte/bruno.vcf", card("Bruno Neri", "333 0000000")); },
         {"RecordUpdated Bruno Neri"},
         {"06 1111111|Anna Verdi|amica", "333 0000000|Bruno Neri|"},
         2},
        {"a record deleted",
         [] { putBook({"333 2222222|Bruno Neri|"}); },
         {"FileDeleted Anna Verdi"},
         {"333 2222222|Bruno Neri|"},
         1},
        {"a card renamed, its UID the same",
         [] { std::filesystem::rename("carte/bruno.vcf", "carte/neri.vcf"); },
         {},
         {"06 1111111|Anna Verdi|amica", "333 2222222|Bruno Neri|"},
         2},
        {"a card deleted",
         [] { std::filesystem::remove("carte/bruno.vcf"); },
         {"RecordDeleted Bruno Neri"},
         {"06 1111111|Anna Verdi|amica"},
         1},
        {"both changed: both kept",
         [] {
             putBook({"06 1111111|Anna Verdi|vista ieri", "333 2222222|Bruno Neri|"});
             writeFile("carte/anna.vcf", card("Anna Verdi", "06 7777777"));
         },
         {"Conflict Anna Verdi"},
         {"06 1111111|Anna Verdi|vista ieri", "333 2222222|Bruno Neri|", "06 7777777|Anna Verdi|"},
         3},
        {"deleted in the book, changed in the folder: the change wins",
         [] {
             putBook({"06 1111111|Anna Verdi|amica"});
             writeFile("carte/bruno.vcf", card("Bruno Neri", "333 0000000"));
         },
         {"RecordRestored Bruno Neri"},
         {"06 1111111|Anna Verdi|amica", "333 0000000|Bruno Neri|"},
         2},
        {"edited in the book, deleted in the folder: the change wins",
         [] {
             putBook({"06 1111111|Anna Verdi|nuova", "333 2222222|Bruno Neri|"});
             std::filesystem::remove("carte/anna.vcf");
         },
         {"FileRestored Anna Verdi"},
         {"06 1111111|Anna Verdi|nuova", "333 2222222|Bruno Neri|"},
         2},
        {"a link in the folder is left alone",
         [] { std::filesystem::create_symlink("../fuori.vcf", "carte/link.vcf"); },
         {"FileSkipped "},
         {"06 1111111|Anna Verdi|amica", "333 2222222|Bruno Neri|"},
         3},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all("carte");
        std::filesystem::remove(kSyncStateName);
        std::filesystem::create_directory("carte");
        writeFile("fuori.vcf", card("Fuori", "1"));
        putBook({"06 1111111|Anna Verdi|amica", "333 2222222|Bruno Neri|"});
        writeFile("carte/anna.vcf", kAnnaCard);
        writeFile("carte/bruno.vcf", card("Bruno Neri", "+39 333 2222222"));
        SyncReport report;
        ASSERT_EQ(syncNow(report), std::vector<std::string>{}) << c.what;
        ASSERT_TRUE(report.ok()) << c.what;
        EXPECT_EQ(report.paired, 2) << c.what;

        c.change();
        EXPECT_EQ(syncNow(report), c.events) << c.what;
        EXPECT_TRUE(report.ok()) << c.what;
        EXPECT_EQ(bookNow(), c.book) << c.what;
        EXPECT_EQ(cardNames().size(), c.cards) << c.what;
        for (const std::string& name : cardNames()) {
            if (name.size() == 40) { // a new card's UID: private, as vdirsyncer makes them
                EXPECT_EQ(std::filesystem::status("carte/" + name).permissions(),
                          std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
                    << c.what;
            }
        }
        EXPECT_EQ(readFile("fuori.vcf"), card("Fuori", "1")) << c.what;
        if (fileExists("carte/anna.vcf") &&
            readFile("carte/anna.vcf").find("UID:anna-1") != std::string::npos) {
            const std::string anna = readFile("carte/anna.vcf");
            EXPECT_NE(anna.find("\nEMAIL:anna@example.org\nPHOTO;ENCODING=b;TYPE=JPEG:QUJD"),
                      std::string::npos)
                << c.what;
        }
        const std::vector<std::string> again = c.events == std::vector<std::string>{"FileSkipped "}
                                                   ? c.events
                                                   : std::vector<std::string>{};
        EXPECT_EQ(syncNow(report), again) << c.what << ", again";
        EXPECT_EQ(bookNow(), c.book) << c.what << ", again";
    }
}

TEST_F(SyncTest, AnEmptiedSideOrAnotherFolderIsRefused) {
    const struct {
        const char* what;
        std::function<void()> change;
        bool confirmed;
        SyncProblem::Kind problem;
    } cases[] = {
        {"the folder emptied", [] { std::filesystem::remove("carte/anna.vcf"); }, false,
         SyncProblem::Kind::FolderEmptied},
        {"the folder gone", [] { std::filesystem::remove_all("carte"); }, false,
         SyncProblem::Kind::FolderEmptied},
        {"the book emptied", [] { writeFile(kDataFileName, ""); }, false,
         SyncProblem::Kind::BookEmptied},
        {"the book emptied, confirmed", [] { writeFile(kDataFileName, ""); }, true,
         SyncProblem::Kind::Readable},
        {"another folder", [] { std::filesystem::copy("carte", "altre"); }, false,
         SyncProblem::Kind::OtherFolder},
        {"a damaged state", [] { writeFile(kSyncStateName, "Chiamoro sincronizzazione 1\n"); },
         false, SyncProblem::Kind::BadState},
        {"a state naming a file out of the folder",
         [] {
             std::string state = readFile(kSyncStateName);
             state.replace(state.find("anna.vcf"), 8, "../x.vcf");
             writeFile(kSyncStateName, state);
         },
         false, SyncProblem::Kind::BadState},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all("carte");
        std::filesystem::remove_all("altre");
        std::filesystem::remove(kSyncStateName);
        std::filesystem::create_directory("carte");
        putBook({"06 1111111|Anna Verdi|amica"});
        writeFile("carte/anna.vcf", kAnnaCard);
        SyncReport report;
        syncNow(report);
        ASSERT_TRUE(report.ok()) << c.what;
        c.change();
        const std::string book = readFile(kDataFileName);
        const std::set<std::string> cards =
            std::filesystem::exists("carte") ? cardNames() : std::set<std::string>{};
        syncNow(report, c.confirmed,
                c.problem == SyncProblem::Kind::OtherFolder ? "altre" : "carte");
        EXPECT_EQ(report.problem.kind, c.problem) << c.what;
        EXPECT_TRUE(report.status.ok()) << c.what;
        if (c.problem != SyncProblem::Kind::Readable) {
            EXPECT_EQ(readFile(kDataFileName), book) << c.what;
            EXPECT_EQ(std::filesystem::exists("carte") ? cardNames() : std::set<std::string>{},
                      cards)
                << c.what;
        } else {
            EXPECT_EQ(cardNames(), std::set<std::string>{}) << c.what;
        }
    }
}

// --- Crashes -------------------------------------------------------------------

using Image = CrashFileSystem::Image;

// The contacts of an image, less what may differ from run to run: the cards'
// new UIDs and file names, the state's inodes.
std::multiset<std::string> cardsOf(const Image& disk) {
    std::multiset<std::string> cards;
    for (const auto& [name, bytes] : disk) {
        if (name.starts_with("carte/") && name.ends_with(".vcf")) {
            std::string text = bytes;
            if (const auto uid = text.find("\r\nUID:"); uid != std::string::npos) {
                text.erase(uid, text.find("\r\n", uid + 2) - uid);
            }
            cards.insert(text);
        }
    }
    return cards;
}

Image syncImage(const Image& before, int crashAt, bool keepUnsynced, SyncReport& report) {
    CrashFileSystem fs(before);
    if (crashAt > 0) {
        fs.crashAt(crashAt, keepUnsynced);
    }
    report = synchronize(fs, "carte");
    return fs.image();
}

TEST_F(SyncTest, ACrashAnywhereLeavesWhatTheNextSyncEndsTheSameFrom) {
    // Synced once, then changed on both sides: an edit, an addition and a
    // deletion each way, and a conflict.
    Image base;
    base[kDataFileName] = record("06 1", "Anna", "amica") + record("333 2", "Bruno") +
                          record("02 3", "Carla") + record("04 4", "Dario");
    base["carte/anna.vcf"] = kAnnaCard;
    base["carte/bruno.vcf"] = card("Bruno", "333 2");
    base["carte/carla.vcf"] = card("Carla", "02 3");
    base["carte/dario.vcf"] = card("Dario", "04 4");
    SyncReport report;
    Image before = syncImage(base, 0, false, report);
    ASSERT_TRUE(report.ok());
    before[kDataFileName] = record("06 1", "Anna", "amica di scuola") + record("333 2", "Bruno") +
                            record("04 4", "Dario", "nuovo") + record("05 5", "Ezio");
    before["carte/bruno.vcf"] = card("Bruno", "333 99");
    before["carte/dario.vcf"] = card("Dario", "04 88");
    before["carte/fede.vcf"] = card("Fede", "07 6");
    before.erase("carte/anna.vcf");

    const Image clean = syncImage(before, 0, false, report);
    ASSERT_TRUE(report.ok());
    ASSERT_EQ(report.count(Kind::Conflict), 1);
    CrashFileSystem counter(before);
    synchronize(counter, "carte");
    const int calls = counter.calls();
    for (int n = 1; n <= calls; ++n) {
        for (const bool keep : {false, true}) {
            const std::string where =
                "crash at call " + std::to_string(n) + (keep ? ", unsynced kept" : "");
            const Image crashed = syncImage(before, n, keep, report);
            const Image after = syncImage(crashed, 0, false, report);
            ASSERT_TRUE(report.ok()) << where;
            EXPECT_EQ(after.at(kDataFileName), clean.at(kDataFileName)) << where;
            EXPECT_EQ(cardsOf(after), cardsOf(clean)) << where;
            syncImage(after, 0, false, report);
            EXPECT_EQ(report.count(Kind::FileCreated) + report.count(Kind::RecordAdded) +
                          report.count(Kind::Conflict),
                      0)
                << where << ": the next sync doubled a contact";
        }
    }
}

// The same on real files, with each call failing in turn instead: the sync
// says it failed, and the next one ends where a sync without the failure would.
TEST_F(SyncTest, AFailedCallIsReportedAndTheNextSyncEndsTheSame) {
    const auto setUp = [] {
        std::filesystem::remove_all("carte");
        std::filesystem::create_directory("carte");
        putBook({"06 1|Anna|amica", "333 2|Bruno|"});
        writeFile("carte/anna.vcf", kAnnaCard);
        writeFile("carte/bruno.vcf", card("Bruno", "333 2"));
        std::filesystem::remove(kSyncStateName);
        SyncReport report;
        syncNow(report);
        putBook({"06 1|Anna|amica di scuola", "05 5|Ezio|"});
        writeFile("carte/carla.vcf", card("Carla", "02 3"));
    };
    setUp();
    FaultyFileSystem counter;
    ASSERT_TRUE(synchronize(counter, "carte").ok());
    const std::vector<std::string> clean = bookNow();
    const std::size_t cards = cardNames().size();
    for (int n = 1; n <= counter.calls(); ++n) {
        setUp();
        FaultyFileSystem fs;
        fs.failCall(n, EIO);
        const bool ok = synchronize(fs, "carte").ok();
        SyncReport report;
        syncNow(report);
        ASSERT_TRUE(report.ok()) << "call " << n << " (" << fs.firstFailure() << ")";
        EXPECT_TRUE(!ok || fs.firstFailure().empty() || fs.firstFailure() == "close")
            << "call " << n << " failed unseen: " << fs.firstFailure();
        EXPECT_EQ(bookNow(), clean) << "call " << n << " (" << fs.firstFailure() << ")";
        EXPECT_EQ(cardNames().size(), cards) << "call " << n << " (" << fs.firstFailure() << ")";
    }
}

} // namespace
