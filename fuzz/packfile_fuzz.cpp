// Fuzz target: the packfile directory reader, then opening and reading every member
// it listed, as the image loader would.
#include "file.h"
#include "fuzz_support.h"

namespace {

void ReadMembers() {
    char buffer[64];
    for (int i = 0; i < packEntryCount && i < 64; i++) {
        sFile member;
        member.Open(packDirectory[i].name, 1);
        member.Read(buffer, sizeof buffer);
        member.Seek(1);
        member.ReadString(buffer, sizeof buffer);
        member.Close();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = WriteInputFile(data, size);
    try {
        OpenPackfile(path);
        if (packfileMode) ReadMembers();
    } catch (const FuzzStop&) {
    }
    ForgetPackfile();
    return 0;
}
