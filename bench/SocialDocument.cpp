#include "SocialDocument.h"

#include <cstdint>

namespace grinsley::bench {

namespace {

struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    int below(int n) { return int(next() % std::uint64_t(n)); }
};

const char* const names[] = {"Zo\\u00eb M\\u00fcller", "Jean-Pierre Dupont", "\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E",
                             "Ana \\\"Nita\\\" Silva", "Olusegun Adebayo", "Bj\xC3\xB6rk Gu\xC3\xB0mundsd\xC3\xB3ttir"};
const char* const words[] = {"photo", "swap", "face", "holiday", "beach", "lol", "caf\xC3\xA9", "\xF0\x9F\x98\x80",
                             "amazing", "with", "the", "and", "\\n", "\\\"quoted\\\"", "\\/path", "\xE2\x9C\x93"};

void appendId(std::string& out, Random& r) {
    out += std::to_string(100000000000000ull + r.next() % 900000000000000ull);
}

void appendText(std::string& out, Random& r, int count) {
    for (int i = 0; i < count; ++i) {
        if (i)
            out += ' ';
        out += words[r.below(16)];
    }
}

void appendUser(std::string& out, Random& r) {
    out += "{\"name\":\"";
    out += names[r.below(6)];
    out += "\",\"id\":\"";
    appendId(out, r);
    out += "\"}";
}

void appendPost(std::string& out, Random& r) {
    out += "{\"id\":\"";
    appendId(out, r);
    out += '_';
    appendId(out, r);
    out += "\",\"from\":";
    appendUser(out, r);
    out += ",\"message\":\"";
    appendText(out, r, 8 + r.below(30));
    out += "\",\"type\":\"photo\",\"created_time\":\"2026-0";
    out += char('1' + r.below(9));
    out += "-1";
    out += char('0' + r.below(9));
    out += "T12:3";
    out += char('0' + r.below(9));
    out += ":00+0000\",\"object_id\":";
    appendId(out, r);
    out += ",\"score\":";
    out += std::to_string(r.below(1000));
    out += '.';
    out += std::to_string(r.below(1000));
    out += ",\"is_published\":";
    out += r.below(2) ? "true" : "false";
    out += ",\"place\":null,\"likes\":{\"count\":";
    out += std::to_string(r.below(5000));
    out += ",\"data\":[";
    const int likes = r.below(5);
    for (int i = 0; i < likes; ++i) {
        if (i)
            out += ',';
        appendUser(out, r);
    }
    out += "]},\"comments\":{\"data\":[";
    const int comments = r.below(4);
    for (int i = 0; i < comments; ++i) {
        if (i)
            out += ',';
        out += "{\"id\":\"";
        appendId(out, r);
        out += "\",\"from\":";
        appendUser(out, r);
        out += ",\"message\":\"";
        appendText(out, r, 3 + r.below(12));
        out += "\",\"like_count\":";
        out += std::to_string(r.below(50));
        out += ",\"ratio\":-";
        out += std::to_string(r.below(10));
        out += ".5e-3}";
    }
    out += "],\"count\":";
    out += std::to_string(comments);
    out += "},\"tags\":[";
    out += std::to_string(r.below(100));
    out += ',';
    out += std::to_string(r.below(100));
    out += "]}";
}

} // namespace

std::string socialDocument(std::size_t approximateBytes) {
    Random r{0x9E3779B97F4A7C15ull ^ approximateBytes};
    std::string out = "{\"data\":[";
    bool first = true;
    while (out.size() < approximateBytes) {
        if (!first)
            out += ',';
        first = false;
        appendPost(out, r);
    }
    out += "],\"paging\":{\"previous\":\"https://graph.example.com/me/feed?limit=25&since=1\",";
    out += "\"next\":\"https://graph.example.com/me/feed?limit=25&until=2\"}}";
    return out;
}

} // namespace grinsley::bench
