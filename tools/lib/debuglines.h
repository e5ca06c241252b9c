// The debug channel of two runs of one program, compared line by line: the stand-in writes
// each OutputDebugStringA text to standard error as it is, Wine's +debugstr channel writes it
// quoted and escaped inside its own trace lines. Differences that are expected (a device
// name, a pointer, a mode the other machine lacks) are listed with their reasons in a file
// and taken out of both sides before the rest must agree.
#ifndef TOOLS_DEBUGLINES_H
#define TOOLS_DEBUGLINES_H

#include <regex>
#include <string>
#include <vector>

namespace debuglines {

// Splits text into lines at '\n' (a last line without one counts too).
std::vector<std::string> SplitLines(const std::string& text);

// The text of every OutputDebugStringA call in a Wine log, in order, joined and split into
// lines; the log's other lines (Wine's own messages) are left out.
std::vector<std::string> FromWineLog(const std::string& log);

// Undoes the C-style escapes of a string Wine quoted (\n, \t, \\, \", \xNN, \NNN octal).
std::string Unescape(const std::string& quoted);

struct Expected {
    std::string program; // "*" for every program
    std::regex pattern;
    std::string source; // the pattern as written
    std::string reason;
    int used = 0; // lines it took out, on both sides
};

// One entry per line: PROGRAM <tab> REGEX <tab> REASON; '#' starts a comment line.
// Returns false with the line number of the first malformed entry.
bool ParseExpected(const std::string& text, std::vector<Expected>& out, std::string& error);

struct Difference {
    size_t line = 0;  // index in the filtered lines
    std::string wine; // "" where that side ended
    std::string standIn;
};

// Takes the lines any entry for `program` matches out of both sides, then compares the rest
// in order. Returns every position where they differ (at most `limit`).
std::vector<Difference> Compare(const std::vector<std::string>& wine,
                                const std::vector<std::string>& standIn, const std::string& program,
                                std::vector<Expected>& expected, size_t limit);

} // namespace debuglines

#endif
