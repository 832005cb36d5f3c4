#include "vcardfile.h"

#include "exchange/linereader.h"
#include "exchange/text.h"
#include "exchange/vcard.h"

#include <cerrno>
#include <set>

using chiamoro::Status;

namespace {

// What a line's property is told by: its name, its parameters, the start of
// its value. A UID is short; a longer head is cut here and decided on.
constexpr std::size_t kHeadBytes = 512;

// The beginning of a physical line, as forEachLine shows it.
struct LineStart {
    std::string_view head;   // its first bytes, at most kHeadBytes
    char previousLast = 0;   // the last byte of the line before, 0 if none or empty
    std::string_view ending; // how the line before ended ("\r\n" at the start)
};

// A property line of a card, as far as its head tells.
struct Property {
    std::string name;  // upper case, without its group
    std::string group; // upper case: "ITEM1" of "item1.TEL"
    std::string_view value;
    bool continuation = false; // a folded line, or one after a quoted-printable soft break
};

// Goes through the physical lines of `path`: `start` sees the beginning of
// each and says whether the line goes to `out`, its line end with it. Memory
// stays the size of the line reader's block.
Status forEachLine(FileSystem& fs, const std::string& path,
                   const std::function<bool(const LineStart&)>& start, const ByteSink& out) {
    LineReader lines(fs, LineReader::CrCrLf::TwoEnds);
    if (Status status = lines.open(path); !status.ok()) {
        return status;
    }
    if (lines.encoding() == LineReader::Encoding::Utf8) {
        if (Status status = out("\xEF\xBB\xBF"); !status.ok()) {
            return status;
        }
    }
    std::string head;
    std::string pending; // the line's bytes until it is decided
    std::string ending = "\r\n";
    bool decided = false;
    bool keep = false;
    char previousLast = 0;
    char last = 0;
    for (;;) {
        std::string_view piece;
        bool ends = false;
        bool got = false;
        if (Status status = lines.next(piece, ends, got); !status.ok()) {
            return status;
        }
        if (!got) {
            return Status::success();
        }
        if (!piece.empty()) {
            last = piece.back();
        }
        if (!decided) {
            head.append(piece.substr(0, kHeadBytes - head.size()));
            pending.append(piece);
            if (ends || head.size() == kHeadBytes || head.find(':') != std::string::npos) {
                decided = true;
                keep = start({head, previousLast, ending});
                if (keep) {
                    if (Status status = out(pending); !status.ok()) {
                        return status;
                    }
                }
            }
        } else if (keep) {
            if (Status status = out(piece); !status.ok()) {
                return status;
            }
        }
        if (ends) {
            if (keep) {
                if (Status status = out(lines.ending()); !status.ok()) {
                    return status;
                }
            }
            if (*lines.ending() != '\0') {
                ending = lines.ending();
            }
            previousLast = last;
            last = 0;
            head.clear();
            pending.clear();
            decided = false;
        }
    }
}

// Follows the properties of a file line by line: folded lines and the soft
// breaks of quoted-printable values belong to the property before them.
class PropertyTracker {
public:
    Property next(const LineStart& line) {
        Property property;
        const bool folded = !line.head.empty() && (line.head[0] == ' ' || line.head[0] == '\t');
        if (folded || (quotedPrintable_ && line.previousLast == '=')) {
            property.continuation = true;
            return property;
        }
        const auto colon = line.head.find(':');
        const VCardReader::Head head = VCardReader::parseHead(line.head.substr(0, colon));
        property.name = head.name;
        property.group = head.group;
        if (colon != std::string_view::npos) {
            property.value = line.head.substr(colon + 1);
        }
        quotedPrintable_ = head.param("ENCODING") == "QUOTED-PRINTABLE";
        return property;
    }

private:
    bool quotedPrintable_ = false;
};

// Whether a property opens or closes a card.
bool isCardEdge(const Property& property, std::string_view edge) {
    return property.name == edge && upperAscii(trimBlanks(property.value)) == "VCARD";
}

// The lines of `text` with each CR LF made `ending`.
std::string withEnding(std::string_view text, std::string_view ending) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto end = text.find("\r\n", at);
        if (end == std::string_view::npos) {
            out.append(text.substr(at));
            break;
        }
        out.append(text.substr(at, end - at));
        out.append(ending);
        at = end + 2;
    }
    return out;
}

} // namespace

CardProperties cardProperties(const ContattoLibero& contatto) {
    // vcardOf's own card, less the lines that frame it.
    const std::string card = vcardOf(contatto);
    CardProperties properties;
    std::string* current = nullptr;
    for (std::size_t at = 0; at < card.size();) {
        std::size_t end = card.find("\r\n", at);
        end = end == std::string::npos ? card.size() : end + 2;
        const std::string_view line = std::string_view(card).substr(at, end - at);
        at = end;
        if (line[0] != ' ' && line[0] != '\t') {
            const std::string_view name = line.substr(0, line.find_first_of(";:"));
            current = name == "BEGIN" || name == "END" || name == "VERSION" ? nullptr
                      : name == "N" || name == "FN"                         ? &properties.name
                                                                            : &properties.numbers;
        }
        if (current != nullptr) {
            current->append(line);
        }
    }
    return properties;
}

std::string newCard(const std::string& uid, const ContattoLibero& contatto) {
    const CardProperties properties = cardProperties(contatto);
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\n" + properties.name +
           properties.numbers + "END:VCARD\r\n";
}

Status readCardFile(FileSystem& fs, const std::string& path, CardFile& card, InputProblem& problem,
                    const NoticeReport& onNotice) {
    card = CardFile{};
    {
        LineReader lines(fs, LineReader::CrCrLf::OneEnd);
        if (Status status = lines.open(path); !status.ok()) {
            return status;
        }
        Notices notices(onNotice);
        VCardReader reader(lines, notices);
        ReadContact contact;
        bool got = false;
        if (Status status = reader.next(contact, got, problem); !status.ok() || !problem.ok()) {
            return status;
        }
        notices.finish();
        if (got) {
            card.blank = blank(contact.contatto);
            card.record = toRecord(contact, card.changes);
            card.line = reader.line();
        }
    }
    // The UID and the fingerprint, from the text as it stands.
    PropertyTracker tracker;
    int depth = 0;
    int cards = 0;
    TextHash hash;
    const auto start = [&](const LineStart& line) {
        const Property property = tracker.next(line);
        if (property.continuation) {
            return true;
        }
        if (isCardEdge(property, "BEGIN")) {
            cards += depth == 0 ? 1 : 0;
            ++depth;
        } else if (isCardEdge(property, "END")) {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (depth == 1 && cards == 1 && property.name == "UID" && card.uid.empty()) {
            card.uid = std::string(trimBlanks(property.value));
        }
        return true;
    };
    Status status = forEachLine(fs, path, start, [&hash](std::string_view bytes) {
        hash.add(bytes);
        return Status::success();
    });
    card.hash = hash.value();
    return status;
}

namespace {

// The groups of the first card's TELs ("ITEM1"): Apple's labels of those
// numbers (itemN.X-ABLabel) go with them.
Status numberGroups(FileSystem& fs, const std::string& path, std::set<std::string>& groups) {
    PropertyTracker tracker;
    int depth = 0;
    int cards = 0;
    const auto start = [&](const LineStart& line) {
        const Property property = tracker.next(line);
        if (property.continuation) {
            return false;
        }
        if (isCardEdge(property, "BEGIN")) {
            cards += depth == 0 ? 1 : 0;
            ++depth;
        } else if (isCardEdge(property, "END")) {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (depth == 1 && cards == 1 && property.name == "TEL" && !property.group.empty()) {
            groups.insert(property.group);
        }
        return false;
    };
    return forEachLine(fs, path, start, [](std::string_view) { return Status::success(); });
}

} // namespace

Status mergeCard(FileSystem& fs, const std::string& path, const ContattoLibero& contatto, bool name,
                 bool numbers, const ByteSink& out) {
    const CardProperties properties = cardProperties(contatto);
    std::set<std::string> labelled;
    if (numbers) {
        if (Status status = numberGroups(fs, path, labelled); !status.ok()) {
            return status;
        }
    }
    PropertyTracker tracker;
    int depth = 0;
    int cards = 0;
    bool keeping = true; // the lines of the property under way
    bool nameWritten = !name;
    bool numbersWritten = !numbers;
    Status failed = Status::success();
    const auto put = [&](const std::string& lines, std::string_view ending) {
        if (failed.ok()) {
            failed = out(withEnding(lines, ending));
        }
    };
    const auto start = [&](const LineStart& line) {
        const Property property = tracker.next(line);
        if (property.continuation) {
            return keeping && failed.ok();
        }
        keeping = true;
        const bool inFirst = depth == 1 && cards == 1;
        if (isCardEdge(property, "BEGIN")) {
            cards += depth == 0 ? 1 : 0;
            ++depth;
        } else if (isCardEdge(property, "END")) {
            if (inFirst) {
                // A card without the record's properties gets them at its end.
                if (!nameWritten) {
                    put(properties.name, line.ending);
                    nameWritten = true;
                }
                if (!numbersWritten) {
                    put(properties.numbers, line.ending);
                    numbersWritten = true;
                }
            }
            depth = depth > 0 ? depth - 1 : 0;
        } else if (inFirst && name && (property.name == "FN" || property.name == "N")) {
            keeping = false;
            if (!nameWritten) {
                put(properties.name, line.ending);
                nameWritten = true;
            }
        } else if (inFirst && numbers &&
                   (property.name == "TEL" || property.name == "NOTE" ||
                    (property.name == "X-ABLABEL" && labelled.count(property.group) != 0))) {
            keeping = false;
            if (!numbersWritten) {
                put(properties.numbers, line.ending);
                numbersWritten = true;
            }
        }
        return keeping && failed.ok();
    };
    Status status = forEachLine(fs, path, start, out);
    return failed.ok() ? status : failed;
}
