#include "debuglines.h"

#include <ctype.h>
#include <stdlib.h>

namespace debuglines {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Unescape(const std::string& q) {
    std::string out;
    for (size_t i = 0; i < q.size(); i++) {
        if (q[i] != '\\' || i + 1 == q.size()) {
            out += q[i];
            continue;
        }
        char c = q[++i];
        switch (c) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'x': {
            size_t digits = 0;
            while (digits < 2 && i + 1 + digits < q.size() &&
                   isxdigit((unsigned char)q[i + 1 + digits]))
                digits++;
            if (!digits) { // not an escape after all
                out += 'x';
                break;
            }
            out += (char)strtol(q.substr(i + 1, digits).c_str(), nullptr, 16);
            i += digits;
            break;
        }
        default:
            if (c >= '0' && c <= '7') {
                size_t digits = 1;
                while (digits < 3 && i + digits < q.size() && q[i + digits] >= '0' &&
                       q[i + digits] <= '7')
                    digits++;
                out += (char)strtol(q.substr(i, digits).c_str(), nullptr, 8);
                i += digits - 1;
            } else {
                out += c; // \\ and \" and anything else stand for themselves
            }
        }
    }
    return out;
}

std::vector<std::string> FromWineLog(const std::string& log) {
    static const std::string marker = ":debugstr:OutputDebugStringA ";
    std::string text;
    for (const std::string& line : SplitLines(log)) {
        size_t at = line.find(marker);
        if (at == std::string::npos) continue;
        size_t open = line.find('"', at + marker.size());
        size_t close = line.rfind('"');
        if (open == std::string::npos || close <= open) continue;
        text += Unescape(line.substr(open + 1, close - open - 1));
    }
    return SplitLines(text);
}

bool ParseExpected(const std::string& text, std::vector<Expected>& out, std::string& error) {
    std::vector<std::string> lines = SplitLines(text);
    for (size_t n = 0; n < lines.size(); n++) {
        const std::string& line = lines[n];
        if (line.empty() || line[0] == '#') continue;
        size_t tab1 = line.find('\t');
        size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos || tab1 == 0 || tab2 == tab1 + 1 || tab2 + 1 >= line.size()) {
            error = "line " + std::to_string(n + 1) + ": want PROGRAM<tab>REGEX<tab>REASON";
            return false;
        }
        Expected e;
        e.program = line.substr(0, tab1);
        e.source = line.substr(tab1 + 1, tab2 - tab1 - 1);
        e.reason = line.substr(tab2 + 1);
        try {
            e.pattern = std::regex(e.source);
        } catch (const std::regex_error&) {
            error = "line " + std::to_string(n + 1) + ": bad regular expression";
            return false;
        }
        out.push_back(std::move(e));
    }
    return true;
}

namespace {

std::vector<std::string> Unexpected(const std::vector<std::string>& lines,
                                    const std::string& program, std::vector<Expected>& expected) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        bool taken = false;
        for (Expected& e : expected) {
            if (e.program != "*" && e.program != program) continue;
            if (!std::regex_search(line, e.pattern)) continue;
            e.used++;
            taken = true;
            break;
        }
        if (!taken) kept.push_back(line);
    }
    return kept;
}

} // namespace

std::vector<Difference> Compare(const std::vector<std::string>& wine,
                                const std::vector<std::string>& standIn, const std::string& program,
                                std::vector<Expected>& expected, size_t limit) {
    std::vector<std::string> a = Unexpected(wine, program, expected);
    std::vector<std::string> b = Unexpected(standIn, program, expected);
    std::vector<Difference> out;
    for (size_t i = 0; i < a.size() || i < b.size(); i++) {
        std::string x = i < a.size() ? a[i] : "", y = i < b.size() ? b[i] : "";
        if (i < a.size() && i < b.size() && x == y) continue;
        if (out.size() == limit) break;
        out.push_back(Difference{i, x, y});
    }
    return out;
}

} // namespace debuglines
