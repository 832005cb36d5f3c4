#include "alignment.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace {

// Past this many cells, edited records are paired in order instead of by the
// most fields shared: a run of thousands of records edited between two
// records that stayed the same is not the window's work.
constexpr std::size_t kLargestTable = std::size_t{1} << 20;

struct Range {
    std::size_t from;
    std::size_t to;
};

class Aligner {
public:
    Aligner(const std::vector<RecordKey>& before, const std::vector<RecordKey>& now)
        : before_(before), now_(now), match_(before.size(), -1) {}

    std::vector<std::int32_t> run() {
        alignRange({0, before_.size()}, {0, now_.size()});
        return std::move(match_);
    }

private:
    void pair(std::size_t b, std::size_t n) { match_[b] = static_cast<std::int32_t>(n); }

    void alignRange(Range b, Range n) {
        while (b.from < b.to && n.from < n.to && before_[b.from] == now_[n.from]) {
            pair(b.from++, n.from++);
        }
        while (b.from < b.to && n.from < n.to && before_[b.to - 1] == now_[n.to - 1]) {
            pair(--b.to, --n.to);
        }
        if (b.from == b.to || n.from == n.to) {
            return;
        }
        const std::vector<std::pair<std::size_t, std::size_t>> anchors = uniqueAnchors(b, n);
        if (anchors.empty()) {
            pairEdited(b, n);
            return;
        }
        Range restB{b.from, 0};
        Range restN{n.from, 0};
        for (const auto& [ib, in] : anchors) {
            restB.to = ib;
            restN.to = in;
            alignRange(restB, restN);
            pair(ib, in);
            restB.from = ib + 1;
            restN.from = in + 1;
        }
        alignRange({restB.from, b.to}, {restN.from, n.to});
    }

    // The records found once in each range, matched, and of those the
    // longest run in the same order on both sides.
    std::vector<std::pair<std::size_t, std::size_t>> uniqueAnchors(Range b, Range n) const {
        struct Seen {
            std::size_t inBefore = 0;
            std::size_t inNow = 0;
            std::size_t at = 0;
        };
        std::unordered_map<std::uint64_t, Seen> seen;
        seen.reserve((b.to - b.from) + (n.to - n.from));
        for (std::size_t i = b.from; i < b.to; ++i) {
            Seen& s = seen[before_[i].whole];
            ++s.inBefore;
            s.at = i;
        }
        for (std::size_t i = n.from; i < n.to; ++i) {
            if (const auto it = seen.find(now_[i].whole); it != seen.end()) {
                ++it->second.inNow;
            }
        }
        std::vector<std::pair<std::size_t, std::size_t>> candidates; // in today's order
        for (std::size_t i = n.from; i < n.to; ++i) {
            const auto it = seen.find(now_[i].whole);
            if (it != seen.end() && it->second.inBefore == 1 && it->second.inNow == 1 &&
                before_[it->second.at] == now_[i]) {
                candidates.emplace_back(it->second.at, i);
            }
        }
        // The longest increasing run of the remembered positions (patience sorting).
        std::vector<std::size_t> tails; // candidate index ending a run of each length
        std::vector<std::ptrdiff_t> back(candidates.size(), -1);
        for (std::size_t c = 0; c < candidates.size(); ++c) {
            const auto at = std::lower_bound(
                tails.begin(), tails.end(), candidates[c].first,
                [&](std::size_t t, std::size_t value) { return candidates[t].first < value; });
            if (at != tails.begin()) {
                back[c] = static_cast<std::ptrdiff_t>(*(at - 1));
            }
            if (at == tails.end()) {
                tails.push_back(c);
            } else {
                *at = c;
            }
        }
        std::vector<std::pair<std::size_t, std::size_t>> anchors;
        for (std::ptrdiff_t c = tails.empty() ? -1 : static_cast<std::ptrdiff_t>(tails.back());
             c >= 0; c = back[static_cast<std::size_t>(c)]) {
            anchors.push_back(candidates[static_cast<std::size_t>(c)]);
        }
        std::reverse(anchors.begin(), anchors.end());
        return anchors;
    }

    int shared(std::size_t b, std::size_t n) const {
        int count = 0;
        for (std::size_t f = 0; f < 3; ++f) {
            if (!before_[b].blank[f] && !now_[n].blank[f] &&
                before_[b].fields[f] == now_[n].fields[f]) {
                ++count;
            }
        }
        return count;
    }

    // No record the same on both sides: those edited are paired, in order,
    // for the most fields shared.
    void pairEdited(Range b, Range n) {
        const std::size_t rows = b.to - b.from;
        const std::size_t columns = n.to - n.from;
        if (rows * columns > kLargestTable) {
            for (std::size_t i = 0; i < std::min(rows, columns); ++i) {
                if (shared(b.from + i, n.from + i) > 0) {
                    pair(b.from + i, n.from + i);
                }
            }
            return;
        }
        // best[i][j]: the most fields shared pairing the first i with the first j.
        std::vector<std::int32_t> best((rows + 1) * (columns + 1), 0);
        const auto at = [columns](std::size_t i, std::size_t j) { return i * (columns + 1) + j; };
        for (std::size_t i = 1; i <= rows; ++i) {
            for (std::size_t j = 1; j <= columns; ++j) {
                const int score = shared(b.from + i - 1, n.from + j - 1);
                std::int32_t value = std::max(best[at(i - 1, j)], best[at(i, j - 1)]);
                if (score > 0) {
                    value = std::max(value, best[at(i - 1, j - 1)] + score);
                }
                best[at(i, j)] = value;
            }
        }
        for (std::size_t i = rows, j = columns; i > 0 && j > 0;) {
            const int score = shared(b.from + i - 1, n.from + j - 1);
            if (score > 0 && best[at(i, j)] == best[at(i - 1, j - 1)] + score) {
                pair(b.from + i - 1, n.from + j - 1);
                --i;
                --j;
            } else if (best[at(i, j)] == best[at(i - 1, j)]) {
                --i;
            } else {
                --j;
            }
        }
    }

    const std::vector<RecordKey>& before_;
    const std::vector<RecordKey>& now_;
    std::vector<std::int32_t> match_;
};

} // namespace

RecordKey keyOf(const char* bytes) {
    RecordKey key;
    std::uint64_t whole = 0;
    for (std::size_t f = 0; f < 3; ++f) {
        const auto field = static_cast<Campo>(f);
        std::string_view text(bytes + fieldOffset(field),
                              static_cast<std::size_t>(fieldWidth(field)));
        const auto first = text.find_first_not_of(' ');
        text = first == std::string_view::npos
                   ? std::string_view()
                   : text.substr(first, text.find_last_not_of(' ') - first + 1);
        key.blank[f] = text.empty();
        key.fields[f] = std::hash<std::string_view>{}(text); // compared within one run only
        whole = (whole ^ key.fields[f]) * 0x9E3779B97F4A7C15ULL + f;
    }
    key.whole = whole;
    return key;
}

RecordKey keyOf(const Contatto& record) {
    char bytes[kLunghezzaRecord];
    encodeRecord(record, bytes);
    return keyOf(bytes);
}

std::vector<std::int32_t> align(const std::vector<RecordKey>& before,
                                const std::vector<RecordKey>& now) {
    return Aligner(before, now).run();
}
