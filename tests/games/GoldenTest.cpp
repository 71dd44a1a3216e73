// Games run by the real runtime, headless on the virtual clock for a fixed number of frames,
// and their last screen compared with a committed picture. Each run works on a fresh copy of
// the game folder, so files a game saves (a high score) neither land in the source tree nor
// change the next run's picture.
//
// The movie example is the exception to the virtual clock: a movie plays against the real
// clock on its decoder thread, so that game runs paced in real time for long enough that the
// movie has reached its end card, which is the same whatever the machine's speed.
//
// Tolerance: a pixel matches when each of its four channels is within 16 of the expected
// value (room for rounding differences between rasterisers); a picture matches when at most
// 100 of its pixels do not. A missing line of text or a moved shape changes thousands. On
// a mismatch the actual picture is written beside the expected one as NAME.actual.png.
#include "graphics/ImageData.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace QlGraphics;

constexpr int kChannelTolerance = 16;
constexpr int kMismatchedPixels = 100;

class BytesData : public IFileData {
public:
    explicit BytesData(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::u16string getName() const override { return u"picture.png"; }
    std::uint32_t getSize() const override { return static_cast<std::uint32_t>(bytes_.size()); }
    std::uint32_t read(void* buffer, std::uint32_t offset, std::uint32_t size) override {
        if (buffer == nullptr || offset >= bytes_.size()) return 0;
        const std::uint32_t n = std::min<std::uint32_t>(size, getSize() - offset);
        std::copy_n(bytes_.data() + offset, n, static_cast<std::uint8_t*>(buffer));
        return n;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::shared_ptr<IImageData> decode(const std::string& path) {
    auto bytes = readFile(path);
    if (bytes.empty()) return nullptr;
    return ImageLoader().load(std::make_shared<BytesData>(std::move(bytes)));
}

// Pixels outside the tolerance; -1 when the sizes differ.
int mismatches(IImageData& expected, IImageData& actual) {
    if (expected.getWidth() != actual.getWidth() || expected.getHeight() != actual.getHeight()) return -1;
    int bad = 0;
    for (int y = 0; y < expected.getHeight(); ++y)
        for (int x = 0; x < expected.getWidth(); ++x) {
            const std::uint8_t* e = expected.pixelAt(x, y);
            const std::uint8_t* a = actual.pixelAt(x, y);
            for (int k = 0; k < 4; ++k)
                if (std::abs(e[k] - a[k]) > kChannelTolerance) {
                    ++bad;
                    break;
                }
        }
    return bad;
}

enum class Clock { Virtual, Real };

// Runs a copy of GAME (a folder under the source tree) for the frames and compares its screen
// with tests/games/NAME.png.
void expectScreen(const std::string& name, const std::string& game, int frames, Clock clock = Clock::Virtual) {
    namespace fs = std::filesystem;
    const std::string source = QL_SOURCE_DIR;
    const std::string expectedPath = source + "/tests/games/" + name + ".png";
    const fs::path work = fs::path(::testing::TempDir()) / ("ql_golden_" + name);
    const std::string actualPath = (work / "screen.png").string();
    std::error_code ec;
    fs::remove_all(work, ec);
    fs::create_directories(work / "game");
    fs::copy(source + "/" + game, work / "game", fs::copy_options::recursive);
    const std::string command = std::string("'") + QL_RUNTIME + "' --headless" +
                                (clock == Clock::Virtual ? " --virtual-clock" : "") + " --frames " +
                                std::to_string(frames) + " --screenshot '" + actualPath + "' '" +
                                (work / "game").string() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    auto actual = decode(actualPath);
    ASSERT_TRUE(actual) << "no screenshot at " << actualPath;
    auto expected = decode(expectedPath);
    const int bad = expected ? mismatches(*expected, *actual) : -1;
    if (!expected || bad < 0 || bad > kMismatchedPixels) {
        const std::string keep = source + "/tests/games/" + name + ".actual.png";
        const auto bytes = readFile(actualPath);
        std::ofstream(keep, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        ADD_FAILURE() << name << ": " << (expected ? std::to_string(bad) + " pixels differ" : "no expected picture")
                      << "; the actual picture is " << keep;
    }
}

TEST(GoldenScreens, HelloTitleScreen) { expectScreen("hello", "examples/hello", 30); }

// A thousand bunnies in flight, the count and the frame rate of the game's clock in the panel.
TEST(GoldenScreens, SpritesBunnyMark) { expectScreen("sprites", "examples/sprites", 90); }

// The lit island a little turned, the far islands in the fog, the help line.
TEST(GoldenScreens, WorldIslandInFog) { expectScreen("world", "examples/world", 60); }

// Seven seconds at 60 frames a second: the five-second movie has ended, its last picture
// (the still end title) stays, the bar is full and the prompt offers to watch again.
TEST(GoldenScreens, MovieEndCard) { expectScreen("movie", "examples/movie", 420, Clock::Real); }

// The first wave in place, the ship waiting at the bottom, the score line and the lives.
TEST(GoldenScreens, ShooterFirstWave) { expectScreen("shooter", "examples/shooter", 240); }

}  // namespace
