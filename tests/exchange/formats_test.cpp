// What the files of phones, mail programs and spreadsheets give, written by
// hand the way those programs write them, and the way back.

#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "exchange/vcard.h"
#include "helpers.h"
#include "support/records.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <tuple>

namespace {

using Kind = InputProblem::Kind;
using FormatsTest = InTempDir;

struct Change {
    std::int64_t line;
    Campo field;
    std::size_t length;
    std::u16string replaced;
    bool atLeast = false;
};

// What an import reported, beside the contacts it added.
struct Reported {
    ExchangeReport report;
    std::vector<Change> changes;
    std::vector<Notice> notices;
};

Reported import(const std::string& file, std::optional<Formato> format = std::nullopt) {
    Reported reported;
    const auto onChange = [&reported](std::int64_t line, const std::vector<FieldChange>& fields) {
        for (const FieldChange& field : fields) {
            reported.changes.push_back(
                {line, field.field, field.length, field.replaced, field.atLeast});
        }
    };
    const auto onNotice = [&reported](const Notice& notice) { reported.notices.push_back(notice); };
    reported.report = importContacts(posixFileSystem(), file, format ? *format : *formatOf(file),
                                     {.onChange = onChange, .onNotice = onNotice});
    return reported;
}

void expectChanges(const std::vector<Change>& got, const std::vector<Change>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].line, expected[i].line);
        EXPECT_EQ(got[i].field, expected[i].field);
        EXPECT_EQ(got[i].length, expected[i].length);
        EXPECT_EQ(encodeUtf8(got[i].replaced), encodeUtf8(expected[i].replaced));
        EXPECT_EQ(got[i].atLeast, expected[i].atLeast);
    }
}

// Notices as (kind, first line, last line).
using Said = std::tuple<Notice::Kind, std::int64_t, std::int64_t>;
std::vector<Said> said(const std::vector<Notice>& notices) {
    std::vector<Said> lines;
    for (const Notice& notice : notices) {
        lines.emplace_back(notice.kind, notice.line, notice.lastLine);
    }
    return lines;
}

TEST_F(FormatsTest, FilesOfOtherProgramsImportAsTheyMean) {
    const struct {
        const char* what;
        const char* file;
        std::string bytes;
        std::vector<ContattoLibero> contacts;
        std::vector<IgnoredField> ignored;
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
           u"Casa 0612345678\r\nPortineria: citofonare due volte\r\nPiano terzo"},
          {u"02 7654321", u"Più Città", u""}},
         {{u"PHOTO", 1}},
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
           u"Casa +39-06-555-0100\r\nUfficio +39-02-555-0123;ext=12\r\nAmico d'infanzia ? "
           u"conosciuto a Bologna nel 19"}},
         {},
         {{1, Campo::Commenti, 155, u"✓"}}},
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
         {{u"Email", 1}},
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
         {{2, Campo::Numero, 0, u"📞"}, {2, Campo::Nome, 46, u"李四"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(kDataFileName);
        writeFile(c.file, c.bytes);
        const Reported got = import(c.file);
        const ExchangeReport& report = got.report;
        ASSERT_TRUE(report.ok()) << report.status.error << " " << report.problem.line;
        EXPECT_EQ(contactsIn(), c.contacts);
        EXPECT_EQ(report.contacts, static_cast<std::int64_t>(c.contacts.size()));
        EXPECT_EQ(report.total, static_cast<std::int32_t>(c.contacts.size()));
        EXPECT_EQ(report.ignored, c.ignored);
        EXPECT_TRUE(got.notices.empty());
        expectChanges(got.changes, c.changes);
    }
}

TEST_F(FormatsTest, CsvFilesOfMailProgramsAndPhonesImportWhole) {
    // Headers as Google Contacts (older and current), Outlook and Thunderbird
    // write them, in English and in Italian, and the plainest of all.
    const struct {
        const char* what;
        std::string bytes;
        std::vector<ContattoLibero> contacts;
        std::vector<IgnoredField> ignored;
        std::int64_t ignoredEmpty;
    } cases[] = {
        {"Google, the older header",
         "Name,Given Name,Additional Name,Family Name,Name Prefix,Notes,E-mail 1 - Type,"
         "E-mail 1 - Value,Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - Value,"
         "Organization 1 - Name\r\n"
         "Mario Rossi,Mario,,Rossi,,Amico di scuola,* Home,mario@example.it,Mobile,"
         "+39 333 1112222 ::: +39 333 4445555,Home Fax,06 998877,\r\n"
         ",Lucia,,Neri,,,,,Work,02 1234567,,,Studio Neri\r\n",
         {{u"+39 333 1112222", u"Mario Rossi",
           u"Cell. +39 333 4445555\r\nAmico di scuola\r\nFax 06 998877"},
          {u"02 1234567", u"Lucia Neri", u""}},
         {{u"E-mail 1 - Type", 1}, {u"E-mail 1 - Value", 1}, {u"Organization 1 - Name", 1}},
         0},
        {"Google, the current header",
         "First Name,Middle Name,Last Name,Name Prefix,Name Suffix,Organization Name,Birthday,"
         "Notes,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value\n"
         "Giulia,Maria,Bianchi,Dott.ssa,,ACME,1980-05-01,,Work Fax,02 555,Home,06 777\n"
         ",,,,,Pizzeria Da Gino,,Chiusa il luned\xC3\xAC,Work,06 4242,,\n",
         {{u"06 777", u"Dott.ssa Giulia Maria Bianchi", u"Fax 02 555"},
          {u"06 4242", u"Pizzeria Da Gino", u"Chiusa il lunedì"}},
         {{u"Birthday", 1}, {u"Organization Name", 1}},
         0},
        {"Outlook, in English",
         "\"Title\",\"First Name\",\"Middle Name\",\"Last Name\",\"Suffix\",\"Company\",\"Business "
         "Fax\",\"Business Phone\",\"Home Phone\",\"Mobile Phone\",\"Pager\",\"E-mail "
         "Address\",\"Notes\"\r\n"
         "\"\",\"Anna\",\"\",\"Verdi\",\"\",\"\",\"02 111\",\"02 222\",\"06 333\",\"\",\"06 999\","
         "\"anna@example.it\",\"Prima riga\r\nseconda riga\"\r\n",
         {{u"02 222", u"Anna Verdi",
           u"Casa 06 333\r\nPrima riga\r\nseconda riga\r\nFax 02 111\r\nCercapersone 06 999"}},
         {{u"E-mail Address", 1}},
         0},
        {"Outlook, in Italian: Nome beside Cognome is the given name",
         "Titolo;Nome;Secondo nome;Cognome;Suffisso;Societ\xE0;Fax ufficio;Telefono ufficio;"
         "Telefono abitazione;Cellulare;Indirizzo posta elettronica;Note\r\n"
         ";Paolo;;Gialli;;Gialli Srl;;02 5550001;;347 1234567;paolo@example.it;"
         "Chiamare la mattina\r\n",
         {{u"347 1234567", u"Paolo Gialli", u"Ufficio 02 5550001\r\nChiamare la mattina"}},
         {{u"Indirizzo posta elettronica", 1}, {u"Società", 1}},
         0},
        {"Thunderbird, in English, with its trailing comma",
         "First Name,Last Name,Display Name,Nickname,Primary Email,Work Phone,Home Phone,"
         "Fax Number,Pager Number,Mobile Number,Notes,\r\n"
         "Marco,Blu,Marco Blu (lavoro),,marco@example.it,02 1000,,,,,,\r\n",
         {{u"02 1000", u"Marco Blu (lavoro)", u""}},
         {{u"Primary Email", 1}},
         2},
        {"Thunderbird, in Italian",
         "Nome,Cognome,Nome visualizzato,Soprannome,Email principale,Telefono ufficio,"
         "Telefono abitazione,Numero fax,Numero cercapersone,Numero cellulare,Note\r\n"
         "Sara,Rosa,,,sara@example.it,,06 1234,,,,Vicina di casa\r\n",
         {{u"06 1234", u"Sara Rosa", u"Vicina di casa"}},
         {{u"Email principale", 1}},
         1},
        {"a spreadsheet's CSV, saved again by the spreadsheet: its apostrophes go",
         "\xEF\xBB\xBF\"Numero\";\"Nome\";\"Commenti\"\r\n\"'0612345\";\"'=A1\";\"'Nduccio\"\r\n",
         {{u"0612345", u"=A1", u"'Nduccio"}},
         {},
         0},
        {"the plainest header",
         "Name,Phone,Notes\r\nLuigi,0612345,nota\r\n",
         {{u"0612345", u"Luigi", u"nota"}},
         {},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(kDataFileName);
        writeFile("contatti.csv", c.bytes);
        const Reported got = import("contatti.csv");
        ASSERT_TRUE(got.report.ok()) << got.report.problem.line;
        EXPECT_EQ(contactsIn(), c.contacts);
        EXPECT_EQ(got.report.ignored, c.ignored);
        EXPECT_EQ(got.report.ignoredEmpty, c.ignoredEmpty);
        EXPECT_TRUE(got.notices.empty());
    }
}

TEST_F(FormatsTest, ColumnsNamedForAPhoneAreNumbersOfTheKindTheirWordsSay) {
    // Names no program of the table is known to write: a number of the kind
    // their words say, labelled with the name, and each column said. A number
    // that counts the columns of a kind is no part of the label.
    const struct {
        const char* what;
        std::string bytes;
        std::vector<ContattoLibero> contacts;
        std::vector<std::string> guessed;
    } cases[] = {
        {"Outlook in Italian",
         "Nome;Cognome;Telefono di casa;Telefono Mobile;Fax di Lavoro;Telefono di Lavoro;"
         "Telefono Principale;Telefono dell'assistente\r\n"
         "Anna;Neri;06 1111111;333 2222222;02 3333333;;;\r\n"
         "Bruno;Blu;;;;02 4444444;06 5555555;02 6666666\r\n",
         {{u"333 2222222", u"Anna Neri",
           u"Telefono di casa 06 1111111\r\nFax di Lavoro 02 3333333"},
          {u"02 4444444", u"Bruno Blu",
           u"Principale 06 5555555\r\nTelefono dell'assistente 02 6666666"}},
         {"Telefono di casa", "Telefono Mobile", "Fax di Lavoro", "Telefono di Lavoro",
          "Telefono dell'assistente"}},
        {"other programs",
         "Name,Phone (Work),Home Mobile,Cell,Mobile 2,Hotel\r\n"
         "Luca,02 1111111,333 2222222,,347 3333333,Hotel Roma\r\n"
         "Mara,,,348 4444444,,\r\n",
         {{u"333 2222222", u"Luca", u"Phone (Work) 02 1111111\r\nCell. 347 3333333"},
          {u"348 4444444", u"Mara", u""}},
         {"Phone (Work)", "Home Mobile", "Cell", "Mobile 2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(kDataFileName);
        writeFile("contatti.csv", c.bytes);
        const Reported got = import("contatti.csv");
        ASSERT_TRUE(got.report.ok()) << got.report.problem.line;
        EXPECT_EQ(contactsIn(), c.contacts);
        std::vector<std::string> guessed;
        for (const Notice& notice : got.notices) {
            EXPECT_EQ(notice.kind, Notice::Kind::PhoneColumn);
            EXPECT_EQ(notice.line, 1);
            guessed.push_back(notice.name);
        }
        EXPECT_EQ(guessed, c.guessed);
    }
}

TEST_F(FormatsTest, VCardsAsPhonesAndMailProgramsWriteThemImportWhole) {
    using K = Notice::Kind;
    const struct {
        const char* what;
        std::string bytes;
        std::vector<ContattoLibero> contacts;
        std::vector<Said> notices;
        std::vector<IgnoredField> ignored;
    } cases[] = {
        {"an iPhone's CR CR LF, a folded note and photo, a label that makes a fax",
         "BEGIN:VCARD\r\r\nVERSION:3.0\r\r\nN:Rossi;Carla;;;\r\r\nFN:Carla Rossi\r\r\n"
         "item1.TEL;type=pref:06 5551234\r\r\nitem1.X-ABLabel:_$!<HomeFAX>!$_\r\r\n"
         "TEL;type=CELL;type=VOICE:333 0001111\r\r\n"
         "NOTE:Nota lunga che continua \r\r\n sulla riga dopo\r\r\n"
         "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\r\r\n SkZJRgABAQ\r\r\n AAAQABAAD\r\r\n"
         "END:VCARD\r\r\n",
         {{u"333 0001111", u"Carla Rossi",
           u"Nota lunga che continua sulla riga dopo\r\nFax 06 5551234"}},
         {},
         {{u"PHOTO", 1}}},
        {"lines that are no property, and a signature between cards",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nFN Evolution senza due punti\r\nN:Marrone;Elio\r\n"
         "# un commento\r\nADR;HOME:;;Via Roma 1\\\r\nMilano\r\nTEL:0101\r\nEND:VCARD\r\n"
         "\r\n-- \r\nInviato dal mio telefono\r\n"
         "BEGIN:VCARD\r\nFN:Bruno\r\nEND:VCARD\r\n",
         {{u"0101", u"Elio Marrone", u""}, {u"", u"Bruno", u""}},
         {{K::NotAProperty, 3, 3},
          {K::Comment, 5, 5},
          {K::NotAProperty, 7, 7},
          {K::OutsideCard, 11, 12}},
         {{u"ADR", 1}}},
        {"a company alone",
         "BEGIN:VCARD\nVERSION:3.0\nORG:Farmacia Centrale;Reparto\nTEL;TYPE=WORK:06 111\n"
         "END:VCARD\n",
         {{u"06 111", u"Farmacia Centrale", u""}},
         {},
         {}},
        {"a cell phone before a fax, the other numbers under their labels",
         "BEGIN:VCARD\r\nFN:Ditta\r\nTEL;TYPE=FAX:06 1\r\nTEL;TYPE=PAGER:06 2\r\n"
         "TEL;TYPE=HOME:06 3\r\nTEL;TYPE=WORK:06 4\r\nTEL;TYPE=CELL:333 5\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nFN:Solo fax\r\nTEL;FAX:06 9\r\nTEL:06 8\r\nTEL;HOME:06 8\r\nEND:VCARD\r\n",
         {{u"333 5", u"Ditta", u"Casa 06 3\r\nUfficio 06 4\r\nFax 06 1\r\nCercapersone 06 2"},
          {u"06 8", u"Solo fax", u"Fax 06 9"}},
         {},
         {}},
        {"a card the next one interrupts, one the file ends inside, an agent's card",
         "BEGIN:VCARD\r\nFN:Anna\r\nTEL:1\r\nBEGIN:VCARD\r\nFN:Bruno\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Capo\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Segretaria\r\n"
         "TEL:999\r\nEND:VCARD\r\nTEL:111\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nFN:Carla\r\n",
         {{u"1", u"Anna", u""}, {u"", u"Bruno", u""}, {u"111", u"Capo", u""}, {u"", u"Carla", u""}},
         {{K::UnterminatedCard, 1, 1}, {K::UnterminatedCard, 17, 17}},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(kDataFileName);
        writeFile("contatti.vcf", c.bytes);
        const Reported got = import("contatti.vcf");
        ASSERT_TRUE(got.report.ok()) << got.report.problem.line;
        EXPECT_EQ(contactsIn(), c.contacts);
        EXPECT_EQ(said(got.notices), c.notices);
        EXPECT_EQ(got.report.ignored, c.ignored);
    }
}

TEST_F(FormatsTest, ValuesInOtherCharacterSetsAreDecodedOrReported) {
    const struct {
        const char* what;
        std::string card;
        ContattoLibero contact;
        std::vector<Change> changes;
        std::vector<std::string> unknown;
    } cases[] = {
        {"ISO-8859-15 has the euro where Latin-1 has the currency sign",
         "FN;CHARSET=ISO-8859-15:Prezzo \xA4 \xBC\r\nNOTE;ENCODING=QUOTED-PRINTABLE;"
         "CHARSET=iso-8859-15:=A4 5\r\n",
         {u"", u"Prezzo € Œ", u"€ 5"},
         {},
         {}},
        {"ISO-8859-2: the letters Windows-1252 lacks are reported",
         "FN;CHARSET=ISO-8859-2:\xA3ukasz \xAF\xF3\xB3\xE6\r\n",
         {u"", u"?ukasz ?ó??", u""},
         {{1, Campo::Nome, 0, u"ŁŻłć"}},
         {}},
        {"Shift_JIS",
         "FN;CHARSET=SHIFT_JIS:\x93\xFA\x96\x7B\r\n",
         {u"", u"??", u""},
         {{1, Campo::Nome, 0, u"日本"}},
         {}},
        {"a name the system does not know: read as if none were given",
         "FN;CHARSET=X-MARZIANO:Zo\xC3\xAB\r\n",
         {u"", u"Zoë", u""},
         {},
         {"X-MARZIANO"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(kDataFileName);
        writeFile("insieme.vcf", "BEGIN:VCARD\r\n" + c.card + "END:VCARD\r\n");
        const Reported got = import("insieme.vcf");
        ASSERT_TRUE(got.report.ok());
        EXPECT_EQ(contactsIn(), std::vector<ContattoLibero>{c.contact});
        expectChanges(got.changes, c.changes);
        std::vector<std::string> unknown;
        for (const Notice& notice : got.notices) {
            EXPECT_EQ(notice.kind, Notice::Kind::UnknownCharset);
            EXPECT_EQ(notice.line, 2);
            unknown.push_back(notice.name);
        }
        EXPECT_EQ(unknown, c.unknown);
    }
}

// `text` in UTF-16 or UTF-32 of either byte order, with a byte-order mark or not.
std::string encoded(std::u16string_view text, int unit, bool bigEndian, bool mark) {
    std::u32string points;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        points += c;
    }
    std::string bytes;
    const auto put = [&](std::uint32_t value) {
        for (int b = 0; b < unit; ++b) {
            const int shift = 8 * (bigEndian ? unit - 1 - b : b);
            bytes += static_cast<char>((value >> shift) & 0xFF);
        }
    };
    if (mark) {
        put(0xFEFF);
    }
    for (const char32_t c : points) {
        if (unit == 2 && c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return bytes;
}

TEST_F(FormatsTest, Utf16AndUtf32FilesAreConvertedWhateverTheirByteOrder) {
    const std::u16string card = u"BEGIN:VCARD\r\nFN:Zoë Ærø 🙂\r\nTEL:333\r\nEND:VCARD\r\n";
    const std::u16string table = u"Nome\tNumero\r\nZoë Ærø 🙂\t333\r\n";
    const ContattoLibero expected{u"333", u"Zoë Ærø ??", u""};
    for (const int unit : {2, 4}) {
        for (const bool bigEndian : {false, true}) {
            for (const bool mark : {true, false}) {
                for (const bool csv : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << "UTF-" << unit * 8 << (bigEndian ? "BE" : "LE")
                                 << (mark ? " with" : " without") << " a mark, "
                                 << (csv ? "CSV" : "vCard"));
                    std::filesystem::remove(kDataFileName);
                    const char* file = csv ? "unicode.csv" : "unicode.vcf";
                    writeFile(file, encoded(csv ? table : card, unit, bigEndian, mark));
                    const Reported got = import(file);
                    ASSERT_TRUE(got.report.ok()) << static_cast<int>(got.report.problem.kind);
                    EXPECT_EQ(contactsIn(), std::vector<ContattoLibero>{expected});
                    expectChanges(got.changes, {{csv ? 2 : 1, Campo::Nome, 0, u"🙂"}});
                }
            }
        }
    }
}

TEST_F(FormatsTest, AFileWithNothingToImportChangesNothing) {
    const struct {
        const char* file;
        std::string bytes;
    } cases[] = {
        {"vuoto.vcf", ""},
        {"vuoto.csv", ""},
        {"bianco.vcf", "\r\n  \r\n\t\n"},
        {"intestazione.csv", "Numero,Nome,Commenti\r\n"},
        {"schede-vuote.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nEND:VCARD\r\n"},
    };
    for (const auto& c : cases) {
        for (const bool withBook : {false, true}) {
            SCOPED_TRACE(std::string(c.file) + (withBook ? ", into a book of 2" : ", no book"));
            std::filesystem::remove(kDataFileName);
            const std::string before = record("1", "uno") + record("2", "due");
            if (withBook) {
                writeFile(kDataFileName, before);
            }
            writeFile(c.file, c.bytes);
            const Reported got = import(c.file);
            ASSERT_TRUE(got.report.ok());
            EXPECT_EQ(got.report.contacts, 0);
            EXPECT_EQ(got.report.total, withBook ? 2 : 0);
            EXPECT_EQ(fileExists(kDataFileName), withBook);
            if (withBook) {
                EXPECT_EQ(readFile(kDataFileName), before);
            }
            EXPECT_FALSE(fileExists(kScratchFileName));
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
        {"tabella.vcf", "\r\nNumero,Nome\r\n1,Anna\r\n", Kind::NoCard, 2},
        {"solo-fine.vcf", "FN:Anna\r\nEND:VCARD\r\n", Kind::NoCard, 1},
        {"intestazione.csv", "Indirizzo,Email\r\nVia Roma 1,a@b.it\r\n", Kind::UnknownColumns, 1},
        {"virgolette.csv", "Numero,Nome\r\n1,Anna\r\n2,\"Bruno\r\n3,Carla\r\n",
         Kind::UnterminatedQuote, 3},
    };
    const std::string before = record("1", "uno") + record("2", "due");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeFile(kDataFileName, before);
        writeFile(c.file, c.bytes);
        const Reported got = import(c.file);
        EXPECT_TRUE(got.report.status.ok());
        EXPECT_EQ(got.report.problem.kind, c.kind);
        EXPECT_EQ(got.report.problem.line, c.line);
        EXPECT_EQ(got.report.contacts, 0);
        EXPECT_TRUE(got.notices.empty());
        EXPECT_EQ(readFile(kDataFileName), before);
        EXPECT_FALSE(fileExists(kScratchFileName));
    }
}

TEST_F(FormatsTest, TheBookGoesOutAndComesBackUnchanged) {
    // Accents, the euro and the other letters of Windows-1252, line breaks,
    // empty fields, the characters the formats escape or quote, a name that
    // has to be folded in the middle of its letters, and the lone LF and CR a
    // record written elsewhere may hold, and a number with the separator other
    // programs put between numbers: CSV keeps them, vCard has one kind
    // of line break. A vCard must have a name: a contact without one goes out
    // named by its number, or "Senza nome", and comes back so named.
    const auto book = [](std::u16string_view noName, std::u16string_view noNumber,
                         std::u16string_view breaks) {
        return record(u"+39 06 1234567", u"Nicolò Äàèéìòù",
                      u"Riga uno\r\nRiga due\r\n\r\nRiga quattro") +
               record(u"", u"Senza numero", u"") + record(u"", u"", u"") +
               record(u"333", noName, u"Solo commenti: ; , \" \\ \t fine") +
               record(u"'0612345", u"'=SOMMA(A1)", u"''@") +
               record(u"", noNumber, u"né nome né numero") +
               record(u"€ ‰ Œ ž", std::u16string(40, u'è'), u"=SOMMA(A1) \"citato\"") +
               record(u"444", u"Da altrove", breaks) +
               record(u"spazi ::: 2", u"Ultimo",
                      std::u16string(49, u'.') + u"\r\n" + std::u16string(49, u'x'));
    };
    const std::string original = book(u"", u"", u"a\nb\rc");
    const struct {
        const char* file;
        std::string after;
    } cases[] = {
        {"rubrica.csv", original},
        {"rubrica.vcf", book(u"333", u"Senza nome", u"a\r\nb\r\nc")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeFile(kDataFileName, original);
        const ExchangeReport out = exportContacts(posixFileSystem(), c.file, *formatOf(c.file));
        ASSERT_TRUE(out.ok());
        EXPECT_EQ(out.contacts, 8);
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
    EXPECT_NE(cards.find("\r\nN:333;;;;\r\nFN:333\r\nTEL:333\r\n"), std::string::npos);
    EXPECT_NE(cards.find("\r\nN:Senza nome;;;;\r\nFN:Senza nome\r\nNOTE:"), std::string::npos);
    EXPECT_EQ(cards.find("TEL:\r\n"), std::string::npos) << "an empty number has no TEL";
}

TEST_F(FormatsTest, NumbersInTheCommentsGoOutAsNumbersAndComeBack) {
    // The lines the import writes for the numbers go out as TELs of their
    // kind, the record's own number first and preferred; the rest is the
    // note. Back in, the numbers come before the note, the fax and pager
    // numbers after it.
    const struct {
        const char* what;
        std::u16string numero;
        std::u16string commenti;
        std::string tels; // the card between FN and END
        std::u16string back;
    } cases[] = {
        {"the table's labels", u"333 1234567",
         u"Cell. 347 7654321\r\nCasa 06 1234567\r\nPrincipale 06 7654321\r\nAmica di scuola\r\n"
         u"Fax 06 9999999",
         "TEL;TYPE=PREF:333 1234567\r\nTEL;TYPE=CELL:347 7654321\r\nTEL;TYPE=HOME:06 1234567\r\n"
         "item1.TEL;TYPE=VOICE:06 7654321\r\nitem1.X-ABLabel:Principale\r\n"
         "TEL;TYPE=FAX:06 9999999\r\nNOTE:Amica di scuola\r\n",
         u"Cell. 347 7654321\r\nCasa 06 1234567\r\nPrincipale 06 7654321\r\nAmica di scuola\r\n"
         u"Fax 06 9999999"},
        {"a file's own labels, and none", u"06 1111111",
         u"Nonna 06 5555555\r\nHome Mobile 348 1111111\r\nRadio 06 2222222\r\n06 33333333",
         "TEL;TYPE=PREF:06 1111111\r\nitem1.TEL;TYPE=VOICE:06 5555555\r\nitem1.X-ABLabel:Nonna\r\n"
         "item2.TEL;TYPE=CELL:348 1111111\r\nitem2.X-ABLabel:Home Mobile\r\n"
         "item3.TEL:06 2222222\r\nitem3.X-ABLabel:Radio\r\nTEL:06 33333333\r\n",
         u"Nonna 06 5555555\r\nHome Mobile 348 1111111\r\nRadio 06 2222222\r\n06 33333333"},
        {"lines in another order than the import's", u"333 1234567",
         u"Nota\r\nFax 06 9999999\r\nUfficio 02 1234567",
         "TEL;TYPE=PREF:333 1234567\r\nTEL;TYPE=FAX:06 9999999\r\nTEL;TYPE=WORK:02 1234567\r\n"
         "NOTE:Nota\r\n",
         u"Ufficio 02 1234567\r\nNota\r\nFax 06 9999999"},
        {"a number already out, and lines that are no number as the import writes one",
         u"333 1234567",
         u"Cell. 333 1234567\r\nCasa 12\r\nNato nel 1990\r\nCasa  06 1234567\r\n"
         u"Casa 06 1234567\r\nUfficio 06 1234567",
         "TEL;TYPE=PREF:333 1234567\r\nTEL;TYPE=HOME:06 1234567\r\nNOTE:Cell. 333 1234567\\nCasa "
         "12\\nNato nel 1990\\nCasa  06 1234567\\nUfficio 0\r\n 6 1234567\r\n",
         u"Casa 06 1234567\r\nCell. 333 1234567\r\nCasa 12\r\nNato nel 1990\r\n"
         u"Casa  06 1234567\r\nUfficio 06 1234567"},
        {"no number of the record's own: a TEL would come back as it", u"", u"Cell. 347 7654321",
         "NOTE:Cell. 347 7654321\r\n", u"Cell. 347 7654321"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(kDataFileName, record(c.numero, u"Anna", c.commenti));
        ASSERT_TRUE(exportContacts(posixFileSystem(), "rubrica.vcf", Formato::VCard).ok());
        EXPECT_EQ(readFile("rubrica.vcf"),
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Anna;;;;\r\nFN:Anna\r\n" + c.tels +
                      "END:VCARD\r\n");
        std::filesystem::remove(kDataFileName);
        ASSERT_TRUE(importContacts(posixFileSystem(), "rubrica.vcf", Formato::VCard).ok());
        EXPECT_EQ(contactsIn(), (std::vector<ContattoLibero>{{c.numero, u"Anna", c.back}}));
    }
}

TEST_F(FormatsTest, APhonesCardComesBackWithEveryNumberAndItsKind) {
    // As a phone writes it: several numbers of each kind, an e-mail and a
    // photo, which the phone book has no place for. The record's number keeps
    // no kind: it comes back as the preferred one.
    writeFile("telefono.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Rossi;Anna;;;\r\nFN:Anna Rossi\r\n"
                              "TEL;TYPE=CELL:3331\r\nTEL;TYPE=CELL:3332\r\nTEL;TYPE=HOME:0633\r\n"
                              "TEL;TYPE=HOME:0644\r\nTEL;TYPE=WORK:0255\r\nTEL;TYPE=WORK:0266\r\n"
                              "TEL;TYPE=WORK,FAX:0277\r\nTEL;TYPE=PAGER:0288\r\n"
                              "EMAIL;TYPE=INTERNET:anna@example.it\r\n"
                              "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQ\r\n AAAQABAAD\r\n"
                              "END:VCARD\r\n");
    ASSERT_TRUE(importContacts(posixFileSystem(), "telefono.vcf", Formato::VCard).ok());
    const std::vector<ContattoLibero> imported = contactsIn();
    ASSERT_TRUE(exportContacts(posixFileSystem(), "uscita.vcf", Formato::VCard).ok());
    EXPECT_EQ(
        readFile("uscita.vcf"),
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Anna Rossi;;;;\r\nFN:Anna Rossi\r\n"
        "TEL;TYPE=PREF:3331\r\nTEL;TYPE=CELL:3332\r\nTEL;TYPE=HOME:0633\r\nTEL;TYPE=HOME:0644\r\n"
        "TEL;TYPE=WORK:0255\r\nTEL;TYPE=WORK:0266\r\nTEL;TYPE=FAX:0277\r\nTEL;TYPE=PAGER:0288\r\n"
        "END:VCARD\r\n");
    // And our own card, imported, lists nothing twice.
    std::filesystem::remove(kDataFileName);
    ASSERT_TRUE(importContacts(posixFileSystem(), "uscita.vcf", Formato::VCard).ok());
    EXPECT_EQ(contactsIn(), imported);
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
    const ExchangeReport report =
        importContacts(posixFileSystem(), "lungo.csv", Formato::Csv,
                       {.onChange = [&lines](std::int64_t line, const std::vector<FieldChange>&) {
                           lines.push_back(line);
                       }});
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report.skipped, 0);
    EXPECT_EQ(lines, std::vector<std::int64_t>{3});
    EXPECT_EQ(contactsIn(), (std::vector<ContattoLibero>{{u"1", u"A", u""},
                                                         {u"2", std::u16string(40, u'B'), u""}}));
}

// Everything a reader gives for a file read `block` bytes at a time.
struct ReadAll {
    std::vector<ReadContact> contacts;
    std::vector<Notice> notices;
    InputProblem problem;
};
ReadAll readAll(const std::string& file, std::size_t block) {
    ReadAll all;
    LineReader lines(posixFileSystem(),
                     formatOf(file) == Formato::VCard ? LineReader::CrCrLf::OneEnd
                                                      : LineReader::CrCrLf::TwoEnds,
                     block);
    EXPECT_TRUE(lines.open(file).ok());
    const NoticeReport report = [&all](const Notice& notice) { all.notices.push_back(notice); };
    Notices notices(report);
    std::unique_ptr<ContactReader> reader;
    if (formatOf(file) == Formato::VCard) {
        reader = std::make_unique<VCardReader>(lines, notices);
    } else {
        reader = std::make_unique<CsvReader>(lines, notices);
    }
    for (;;) {
        ReadContact contact;
        bool got = false;
        EXPECT_TRUE(reader->next(contact, got, all.problem).ok());
        if (!got || !all.problem.ok()) {
            return all;
        }
        all.contacts.push_back(contact);
    }
}

TEST_F(FormatsTest, WhatStraddlesTwoReadsIsReadAsIfItDidNot) {
    // The file is read in blocks, and a long line comes in pieces: read a few
    // bytes at a time, every line end, fold, soft break, quote and character
    // lies across two reads in turn, and must read as it does in one.
    const struct {
        const char* file;
        std::string bytes;
    } cases[] = {
        {"iphone.vcf",
         "\xEF\xBB\xBF"
         "BEGIN:VCARD\r\r\nFN:Zo\xC3\xAB\r\r\nTEL;TYPE=\"cell,voice\";X-A=\"a:b\":333\r\r\n"
         "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-15:uno=0D=0A=\r\n"
         "due =A4=\r\n tre\r\nNOTE:piegata\r\n  qui\n\t là\rEND:VCARD\r\n"
         "fuori\r\r\n\r\nBEGIN:VCARD\nFN senza\nN:B;A\nEND:VCARD"},
        {"foglio.csv",
         "Nome;Numero;Note;Cellulare\r\n\"An \"\"Na\"\"\";06 1;\"riga\r\r\nriga\nriga\";333\r\n"
         "Zo\xEB;\"\";;\r\n  \"sp\" ;2;\"a;b\";"},
        {"unicode.csv", encoded(u"Name,Phone 1 - Type,Phone 1 - Value\r\n"
                                u"Zoë 🙂,Mobile,1 ::: 2\r\nUgo,Work Fax,3\r\n",
                                2, true, false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeFile(c.file, c.bytes);
        const ReadAll whole = readAll(c.file, LineReader::kBlock);
        ASSERT_TRUE(whole.problem.ok());
        ASSERT_GE(whole.contacts.size(), 2u);
        for (const std::size_t block : {1, 2, 3, 4, 5, 7, 16}) {
            SCOPED_TRACE(block);
            const ReadAll pieces = readAll(c.file, block);
            EXPECT_TRUE(pieces.problem.ok());
            EXPECT_EQ(pieces.contacts, whole.contacts);
            EXPECT_EQ(pieces.notices, whole.notices);
        }
    }
    const ReadAll iphone = readAll("iphone.vcf", LineReader::kBlock);
    ASSERT_EQ(iphone.contacts.size(), 2u);
    EXPECT_EQ(iphone.contacts[0].contatto,
              (ContattoLibero{u"333", u"Zoë", u"uno\r\ndue € tre\r\npiegata qui là"}));
    EXPECT_EQ(iphone.contacts[1].contatto, (ContattoLibero{u"", u"A B", u""}));
    EXPECT_EQ(said(iphone.notices), (std::vector<Said>{{Notice::Kind::OutsideCard, 11, 11},
                                                       {Notice::Kind::NotAProperty, 14, 14}}));
    const ReadAll sheet = readAll("foglio.csv", LineReader::kBlock);
    ASSERT_EQ(sheet.contacts.size(), 3u);
    // CR CR LF inside quotes is a CR and a line break, as the field holds them.
    EXPECT_EQ(sheet.contacts[0].contatto,
              (ContattoLibero{u"333", u"An \"Na\"", u"06 1\r\nriga\r\r\nriga\nriga"}));
    EXPECT_EQ(sheet.contacts[1].contatto, (ContattoLibero{u"", u"Zoë", u""}));
    EXPECT_EQ(sheet.contacts[2].contatto, (ContattoLibero{u"2", u"sp", u"a;b"}));
    const ReadAll unicode = readAll("unicode.csv", LineReader::kBlock);
    ASSERT_EQ(unicode.contacts.size(), 2u);
    EXPECT_EQ(unicode.contacts[0].contatto, (ContattoLibero{u"1", u"Zoë 🙂", u"Cell. 2"}));
    EXPECT_EQ(unicode.contacts[1].contatto, (ContattoLibero{u"3", u"Ugo", u""}));
}

} // namespace
