// What the files of phones, mail programs and spreadsheets give, written by
// hand the way those programs write them, and the way back.

#include "exchange/exchange.h"
#include "helpers.h"
#include "support/records.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using Kind = InputProblem::Kind;
using FormatsTest = InTempDir;

struct Change {
    std::int64_t line;
    Field field;
    std::size_t length;
    std::u16string replaced;
};

TEST_F(FormatsTest, FilesOfOtherProgramsImportAsTheyMean) {
    const struct {
        const char* what;
        const char* file;
        std::string bytes;
        std::vector<Voce> contacts;
        std::vector<std::u16string> ignored;
        std::vector<Change> changes;
    } cases[] = {
        {"a phone's vCard 2.1, quoted-printable",
         "telefono.vcf",
         "BEGIN:VCARD\r\n"
         "VERSION:2.1\r\n"
         "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Nicol=C3=B2;Ces=C3=A0re;;;\r\n"
         "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Ces=C3=A0re Nicol=C3=B2\r\n"
         "TEL;HOME:0612345678\r\n"
         "TEL;CELL;PREF:+393331234567\r\n"
         "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Portineria: citofonare =\r\n"
         "due volte=0D=0APiano terzo\r\n"
         "END:VCARD\r\n"
         "BEGIN:VCARD\r\n"
         "VERSION:2.1\r\n"
         "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Citt=E0;Pi=F9;;;\r\n"
         "TEL;WORK;VOICE:02 7654321\r\n"
         "PHOTO;ENCODING=BASE64;JPEG:/9j/4AAQSkZJRgABAQ\r\n"
         "  AAAQABAAD\r\n"
         "\r\n"
         "END:VCARD\r\n",
         {{u"+393331234567", u"Cesàre Nicolò",
           u"0612345678\r\nPortineria: citofonare due volte\r\nPiano terzo"},
          {u"02 7654321", u"Più Città", u""}},
         {},
         {}},
        {"a 3.0 card, folded and escaped, with a byte-order mark and LF line ends",
         "iphone.vcf",
         "\xEF\xBB\xBF"
         "BEGIN:VCARD\n"
         "VERSION:3.0\n"
         "PRODID:-//Apple Inc.//iPhone OS 17.0//EN\n"
         "N:Bianchi;Anna Maria;;Dott.;\n"
         "FN:Dott. Anna Maria Bianchi\n"
         "item1.TEL;type=CELL;type=VOICE;type=pref:+39 347 000 1111\n"
         "item1.X-ABLabel:Ufficio\n"
         "NOTE:Studio in via Roma 1\\, Milano\\; ricevimento lun-ven\\nChiamare dopo l\n"
         " e 15:00 \\\\ non prima\n"
         "END:VCARD\n",
         {{u"+39 347 000 1111", u"Dott. Anna Maria Bianchi",
           u"Studio in via Roma 1, Milano; ricevimento lun-ven\r\n"
           u"Chiamare dopo le 15:00 \\ non prima"}},
         {},
         {}},
        {"a 4.0 card with tel: URIs and several numbers, too long for the comments",
         "posta.vcf",
         "BEGIN:VCARD\r\n"
         "VERSION:4.0\r\n"
         "FN:Luca Verdi\r\n"
         "N:Verdi;Luca;;;\r\n"
         "TEL;VALUE=uri;TYPE=\"voice,home\":tel:+39-06-555-0100\r\n"
         "TEL;VALUE=uri;TYPE=\"cell,voice\";PREF=1:tel:+39-333-555-0199\r\n"
         "TEL;VALUE=uri;TYPE=work:tel:+39-02-555-0123;ext=12\r\n"
         "NOTE:Amico d'infanzia \xE2\x9C\x93 conosciuto a Bologna nel 1990\\, al liceo "
         "Galvani\\, compagno di banco per cinque anni\r\n"
         "END:VCARD\r\n",
         {{u"+39-333-555-0199", u"Luca Verdi",
           u"+39-06-555-0100\r\n+39-02-555-0123;ext=12\r\nAmico d'infanzia ? conosciuto a "
           u"Bologna nel 1990, al liceo"}},
         {},
         {{1, Field::Commenti, 142, u"✓"}}},
        {"a CSV as an Italian spreadsheet saves it",
         "foglio.csv",
         "Nome;Numero;Email;Commenti\r\n"
         "Giovanni Galli;0612345678;g.galli@example.it;\"Ufficio; interno 21\"\r\n"
         "Zo\xEB B\xE0rberi;+39 328 1112223;;\"Prima riga\r\n"
         "seconda \"\"citata\"\"\"\r\n"
         ";;;\r\n"
         "S\xF2la;;;\x80 5\r\n",
         {{u"0612345678", u"Giovanni Galli", u"Ufficio; interno 21"},
          {u"+39 328 1112223", u"Zoë Bàrberi", u"Prima riga\r\nseconda \"citata\""},
          {u"", u"Sòla", u"€ 5"}},
         {u"Email"},
         {}},
        {"a CSV with names in its own order and case, UTF-8, a short row",
         "altro.csv",
         "commenti, NUMERO ,nome\n"
         "\"a, b\",\xF0\x9F\x93\x9E 333,\xE6\x9D\x8E\xE5\x9B\x9B Mario Rossi Bianchi Verdi Neri "
         "Gialli Viola\n"
         "solo un commento\n",
         {{u"?? 333", u"?? Mario Rossi Bianchi Verdi Neri Gialli", u"a, b"},
          {u"", u"", u"solo un commento"}},
         {},
         {{2, Field::Numero, 0, u"📞"}, {2, Field::Nome, 46, u"李四"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(kDataFileName);
        writeFile(c.file, c.bytes);
        std::vector<Change> changes;
        const auto onChange = [&changes](std::int64_t line,
                                         const std::vector<FieldChange>& fields) {
            for (const FieldChange& field : fields) {
                changes.push_back({line, field.field, field.length, field.replaced});
            }
        };
        const ExchangeReport report =
            importContacts(posixFileSystem(), c.file, *formatOf(c.file), onChange);
        ASSERT_TRUE(report.ok()) << report.status.error << " " << report.problem.line;
        EXPECT_EQ(contactsIn(), c.contacts);
        EXPECT_EQ(report.contacts, static_cast<std::int64_t>(c.contacts.size()));
        EXPECT_EQ(report.total, static_cast<std::int32_t>(c.contacts.size()));
        EXPECT_EQ(report.ignoredColumns, c.ignored);
        ASSERT_EQ(changes.size(), c.changes.size());
        for (std::size_t i = 0; i < changes.size(); ++i) {
            EXPECT_EQ(changes[i].line, c.changes[i].line);
            EXPECT_EQ(changes[i].field, c.changes[i].field);
            EXPECT_EQ(changes[i].length, c.changes[i].length);
            EXPECT_EQ(changes[i].replaced, c.changes[i].replaced);
        }
    }
}

TEST_F(FormatsTest, AFileThatIsNotWhatItsNameSaysImportsNothing) {
    const struct {
        const char* file;
        std::string bytes;
        Kind kind;
        std::int64_t line;
    } cases[] = {
        {"tabella.vcf", "Numero,Nome\r\n1,Anna\r\n", Kind::OutsideCard, 1},
        {"tronca.vcf", "BEGIN:VCARD\r\nFN:Anna\r\nEND:VCARD\r\n\r\nBEGIN:VCARD\r\nFN:Bruno\r\n",
         Kind::UnterminatedCard, 5},
        {"rotta.vcf", "BEGIN:VCARD\r\nFN:Anna\r\nsenza due punti\r\nEND:VCARD\r\n",
         Kind::MissingColon, 3},
        {"fine.vcf", "BEGIN:VCARD\r\nFN:Anna\r\nEND:VCARD\r\nEND:VCARD\r\n", Kind::StrayEnd, 4},
        {"intestazione.csv", "Telefono,Email\r\n333,a@b.it\r\n", Kind::UnknownColumns, 1},
        {"virgolette.csv", "Numero,Nome\r\n1,Anna\r\n2,\"Bruno\r\n3,Carla\r\n",
         Kind::UnterminatedQuote, 3},
        {"utf16.csv", std::string("\xFF\xFEN\0u\0m\0", 8), Kind::Utf16, 1},
    };
    const std::string before = record("1", "uno") + record("2", "due");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeFile(kDataFileName, before);
        writeFile(c.file, c.bytes);
        const ExchangeReport report = importContacts(posixFileSystem(), c.file, *formatOf(c.file));
        EXPECT_TRUE(report.status.ok());
        EXPECT_EQ(report.problem.kind, c.kind);
        EXPECT_EQ(report.problem.line, c.line);
        EXPECT_EQ(report.contacts, 0);
        EXPECT_EQ(readFile(kDataFileName), before);
    }
}

TEST_F(FormatsTest, TheBookGoesOutAndComesBackUnchanged) {
    // Accents, the euro and the other letters of Windows-1252, line breaks,
    // empty fields, the characters the formats escape or quote, a name that
    // has to be folded in the middle of its letters, and the lone LF and CR a
    // record written elsewhere may hold: CSV keeps them, vCard has one kind
    // of line break.
    const std::string start =
        record(u"+39 06 1234567", u"Nicolò Äàèéìòù", u"Riga uno\r\nRiga due\r\n\r\nRiga quattro") +
        record(u"", u"Senza numero", u"") + record(u"", u"", u"") +
        record(u"333", u"", u"Solo commenti: ; , \" \\ \t fine") +
        record(u"€ ‰ Œ ž", std::u16string(40, u'è'), u"=SOMMA(A1) \"citato\"");
    const std::string end =
        record(u"spazi", u"Ultimo", std::u16string(49, u'.') + u"\r\n" + std::u16string(49, u'x'));
    const std::string book = start + record(u"444", u"Da altrove", u"a\nb\rc") + end;
    const struct {
        const char* file;
        std::string after;
    } cases[] = {
        {"rubrica.csv", book},
        {"rubrica.vcf", start + record(u"444", u"Da altrove", u"a\r\nb\r\nc") + end},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeFile(kDataFileName, book);
        const ExchangeReport out = exportContacts(posixFileSystem(), c.file, *formatOf(c.file));
        ASSERT_TRUE(out.ok());
        EXPECT_EQ(out.contacts, 6);
        EXPECT_EQ(out.skipped, 1);
        std::filesystem::remove(kDataFileName);
        const ExchangeReport in = importContacts(posixFileSystem(), c.file, *formatOf(c.file));
        ASSERT_TRUE(in.ok());
        EXPECT_EQ(in.changed, 0);
        std::string expected = c.after;
        expected.erase(2 * kLunghezzaRecord, kLunghezzaRecord); // the blank record stays behind
        EXPECT_EQ(readFile(kDataFileName), expected);
    }
    // Every line of the cards within 75 bytes, none cut inside a character.
    const std::string cards = readFile("rubrica.vcf");
    for (std::size_t at = 0, end = 0; at < cards.size(); at = end + 2) {
        end = cards.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = cards.substr(at, end - at);
        EXPECT_LE(line.size(), 75u) << line;
        EXPECT_EQ(encodeUtf8(decodeUtf8(line)), line);
    }
    EXPECT_NE(cards.find("\r\nN:Nicolò Äàèéìòù;;;;\r\nFN:Nicolò Äàèéìòù\r\n"), std::string::npos);
    EXPECT_EQ(cards.find("TEL:\r\n"), std::string::npos) << "an empty number has no TEL";
}

TEST_F(FormatsTest, ALineBreakAcrossTwoReadsIsOneBreak) {
    // The file is read 64 KiB at a time: the CR of a row's CR LF is the last
    // byte of the first block. Taken as two breaks, it would add an empty row
    // and put the next contact a line further down.
    const std::string header = "Altro,Numero,Nome\r\n";
    const std::string row = ",1,A";
    const std::string padding(65536 - 1 - header.size() - row.size(), 'p');
    writeFile("lungo.csv", header + padding + row + "\r\n,2," + std::string(41, 'B') + "\r\n");
    ASSERT_EQ(readFile("lungo.csv").substr(65535, 2), "\r\n");
    std::vector<std::int64_t> lines;
    const ExchangeReport report = importContacts(
        posixFileSystem(), "lungo.csv", Formato::Csv,
        [&lines](std::int64_t line, const std::vector<FieldChange>&) { lines.push_back(line); });
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report.skipped, 0);
    EXPECT_EQ(lines, std::vector<std::int64_t>{3});
    EXPECT_EQ(contactsIn(),
              (std::vector<Voce>{{u"1", u"A", u""}, {u"2", std::u16string(40, u'B'), u""}}));
}

} // namespace
