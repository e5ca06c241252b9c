// The stand-in headers against the real ones of MinGW-w64: every GUID and every numeric
// constant the stand-in declares must have the value the real Windows headers give it,
// or the same engine source would mean different things on the two systems. Skipped where
// the cross compiler (make windows installs it) is absent.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char REAL_INCLUDE_DIR[] = "/usr/i686-w64-mingw32/include";
const char CROSS_COMPILER[] = "i686-w64-mingw32-g++-win32";

using GuidValue = std::array<unsigned long, 11>;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<fs::path> StandInHeaders() {
    std::vector<fs::path> headers;
    for (const auto& entry :
         fs::directory_iterator(fs::path(PRISMATEL_SOURCE_DIR) / "platform/include"))
        if (entry.path().extension() == ".h") headers.push_back(entry.path());
    return headers;
}

bool HaveRealHeaders() {
    return fs::exists(fs::path(REAL_INCLUDE_DIR) / "ddraw.h");
}

bool HaveCrossCompiler() {
    std::string probe = std::string(CROSS_COMPILER) + " --version > /dev/null 2>&1";
    return system(probe.c_str()) == 0;
}

// Parses DEFINE_GUID(name, l, w1, w2, b0 … b7); one whose numbers are not plain
// hexadecimal or decimal literals is left out.
std::map<std::string, GuidValue> ParseGuids(const std::string& text) {
    static const char KEYWORD[] = "DEFINE_GUID";
    std::map<std::string, GuidValue> guids;
    for (size_t at = text.find(KEYWORD); at != std::string::npos; at = text.find(KEYWORD, at + 1)) {
        size_t open = text.find('(', at), close = text.find(')', at);
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        std::stringstream fields(text.substr(open + 1, close - open - 1));
        std::string name, field;
        std::getline(fields, name, ',');
        name.erase(0, name.find_first_not_of(" \t\n"));
        name.erase(name.find_last_not_of(" \t\n") + 1);
        GuidValue value{};
        size_t n = 0;
        bool plain = !name.empty();
        while (std::getline(fields, field, ',') && n < value.size()) {
            char* rest = nullptr;
            value[n++] = strtoul(field.c_str(), &rest, 0);
            while (*rest == 'l' || *rest == 'L' || *rest == 'u' || *rest == 'U') rest++;
            while (*rest == ' ' || *rest == '\t' || *rest == '\n') rest++;
            if (*rest || rest == field.c_str()) plain = false;
        }
        if (plain && n == value.size()) guids.emplace(name, value);
    }
    return guids;
}

// One static_assert per numeric constant the stand-in defines (#define NAME literal, or
// NAME = literal inside an enumeration). Macros the real headers lack are skipped: the
// compile of the Windows build is what finds a name the engine uses that is missing there.
std::string ConstantChecks(const std::vector<fs::path>& headers) {
    static const std::regex macro(
        R"(^\s*#\s*define\s+([A-Z][A-Z0-9_]*)\s+\(?\s*(-?(0x[0-9a-fA-F]+|\d+)[uUlL]*)\s*\)?\s*(//.*|/\*.*)?$)");
    static const std::regex enumerator(
        R"(^\s*([A-Z][A-Z0-9_]*)\s*=\s*(-?(0x[0-9a-fA-F]+|\d+)[uUlL]*)\s*,?\s*(//.*)?$)");
    std::ostringstream out;
    out << "#define DIRECTDRAW_VERSION 0x0500\n#define DIRECTINPUT_VERSION 0x0500\n"
           "#include <windows.h>\n#include <objbase.h>\n#include <mmsystem.h>\n"
           "#include <ddraw.h>\n#include <d3d.h>\n#include <dinput.h>\n";
    for (const fs::path& header : headers) {
        std::istringstream lines(ReadText(header));
        std::string line;
        std::smatch m;
        while (std::getline(lines, line)) {
            if (std::regex_match(line, m, macro)) {
                out << "#ifdef " << m[1] << "\nstatic_assert((long long)(" << m[1]
                    << ") == (long long)(" << m[2] << "), \"" << m[1] << "\");\n#endif\n";
            } else if (std::regex_match(line, m, enumerator)) {
                out << "static_assert((long long)(" << m[1] << ") == (long long)(" << m[2]
                    << "), \"" << m[1] << "\");\n";
            }
        }
    }
    return out.str();
}

std::string RunCapturingOutput(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return "could not run: " + command;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    int status = pclose(pipe);
    return status == 0 ? std::string() : output.empty() ? "failed: " + command : output;
}

} // namespace

TEST(RealHeaders, ParserReadsBothSpellingsOfAGuid) {
    auto guids = ParseGuids("DEFINE_GUID( IID_A,\t0xB3A6F3E0,0x2B43,0x11CF,0xA2,0xDE,0x00,"
                            "0xAA,0x00,0xB9,0x33,0x56 );\n"
                            "DEFINE_GUID(IID_B, 0x1l, 2, 3, 4, 5, 6, 7, 8, 9, 10,\n    11);\n"
                            "DEFINE_GUID(IID_C, SOME_MACRO, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);\n");
    ASSERT_EQ(2u, guids.size()) << "a GUID built from macros is not a literal one";
    EXPECT_EQ(0xB3A6F3E0ul, guids["IID_A"][0]);
    EXPECT_EQ(0x56ul, guids["IID_A"][10]);
    EXPECT_EQ(1ul, guids["IID_B"][0]);
    EXPECT_EQ(11ul, guids["IID_B"][10]);
}

TEST(RealHeaders, EveryStandInGuidHasTheRealValue) {
    if (!HaveRealHeaders()) GTEST_SKIP() << "MinGW-w64 headers not installed (make windows)";
    std::map<std::string, GuidValue> real;
    for (const auto& entry : fs::directory_iterator(REAL_INCLUDE_DIR))
        if (entry.path().extension() == ".h") real.merge(ParseGuids(ReadText(entry.path())));
    int compared = 0;
    for (const fs::path& header : StandInHeaders()) {
        for (const auto& [name, value] : ParseGuids(ReadText(header))) {
            auto found = real.find(name);
            ASSERT_NE(real.end(), found) << name << " in " << header << " is not a Windows GUID";
            EXPECT_EQ(found->second, value) << name << " in " << header;
            compared++;
        }
    }
    EXPECT_GE(compared, 30) << "the stand-in's DirectX GUIDs were not found";
}

TEST(RealHeaders, EveryStandInConstantHasTheRealValue) {
    if (!HaveRealHeaders() || !HaveCrossCompiler())
        GTEST_SKIP() << "MinGW-w64 cross compiler not installed (make windows)";
    fs::path source = fs::path(PRISMATEL_BINARY_DIR) / "real_headers_check.cpp";
    std::string checks = ConstantChecks(StandInHeaders());
    ASSERT_GT(std::count(checks.begin(), checks.end(), '\n'), 500) << "too few constants found";
    std::ofstream(source) << checks;
    std::string failures = RunCapturingOutput(std::string(CROSS_COMPILER) +
                                              " -std=c++17 -fsyntax-only " + source.string());
    EXPECT_EQ("", failures) << "constants whose stand-in value differs from the real one";
}
