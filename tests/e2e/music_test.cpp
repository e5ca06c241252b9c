// The show's sound in a headless recording: the decoded music from the first frame, and
// from its beginning again where r was pressed.
#include "program.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const char* const MPADEC = PRISMATEL_BINARY_DIR "/bin/mpadec";

// The 16-bit stereo samples of a WAV file written by the recorder or by mpadec.
std::vector<int16_t> Samples(const std::string& path) {
    std::string bytes = e2e::ReadFile(path);
    size_t data = bytes.find("data");
    if (data == std::string::npos || bytes.size() < data + 8) return {};
    std::vector<int16_t> out((bytes.size() - data - 8) / 2);
    memcpy(out.data(), bytes.data() + data + 8, out.size() * 2);
    return out;
}

TEST(Music, RecordingHoldsTheDecodedMusicFromTheFirstFrameAndAgainAfterRestart) {
    std::string data = e2e::DataDirectory();
    if (access(e2e::PROGRAM, X_OK) != 0 || access(MPADEC, X_OK) != 0 ||
        access((data + "/vd.mp3").c_str(), R_OK) != 0)
        GTEST_SKIP() << "needs build/bin/vd, build/bin/mpadec and the show's data";
    std::string dir = e2e::MakeTempDirectory("music");
    std::string reference = dir + "/reference.wav";
    std::string command =
        std::string(MPADEC) + " '" + data + "/vd.mp3' '" + reference + "' >/dev/null";
    ASSERT_EQ(0, system(command.c_str()));

    e2e::Outcome run =
        e2e::RunProgram({"PRISMATEL_HEADLESS=1", "PRISMATEL_FPS=60", "PRISMATEL_CAPTURE=" + dir,
                         "PRISMATEL_CAPTURE_EVERY=1000", "PRISMATEL_INPUT=2000:R,3000:ESCAPE"},
                        std::chrono::seconds(300));
    ASSERT_TRUE(run.exited) << run.errors;
    ASSERT_EQ(0, run.status);
    EXPECT_EQ("", run.output) << "the music loaded without a message";

    std::vector<int16_t> music = Samples(reference), recorded = Samples(dir + "/audio.wav");
    // Three seconds of clock at 60 frames per second.
    ASSERT_EQ(size_t(3 * 44100 * 2), recorded.size());
    ASSERT_GT(music.size(), size_t(2 * 44100 * 2));
    // Frame 0 at clock time 0 starts the music; r at 2 s starts it again.
    const size_t restart = 2 * 44100 * 2;
    for (size_t i = 0; i < restart; i++) ASSERT_EQ(music[i], recorded[i]) << "sample " << i;
    for (size_t i = restart; i < recorded.size(); i++)
        ASSERT_EQ(music[i - restart], recorded[i]) << "sample " << i;
}

} // namespace
