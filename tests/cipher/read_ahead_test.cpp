#include "file_io.h"
#include "keystream_expect.h"
#include "read_ahead.h"
#include "temp_dir.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

using zr::ReadAhead;
using zr::test::PatternBytes;
using zr::test::TempDir;
using zr::test::Transformed;
using zr::test::WriteBytes;

namespace {

constexpr std::int32_t kSeed = -256 * 4171;
constexpr std::size_t kChunk = ReadAhead::kChunk;
constexpr std::size_t kInFlight = ReadAhead::kDepth * ReadAhead::kChunk;
constexpr auto kThreaded = static_cast<std::size_t>(ReadAhead::kThreadedAbove);

zr::io::File openSource(const TempDir& dir) {
    zr::io::IoError e;
    zr::io::File f = zr::io::File::OpenRead(dir / "src", e);
    EXPECT_TRUE(f.IsOpen()) << e.reason;
    return f;
}

// Every chunk of a whole read, in order, joined; a slow consumer every few chunks so that the
// helper thread runs ahead and must wait for slots.
std::vector<std::uint8_t> readAll(ReadAhead& chunks, std::size_t length) {
    std::vector<std::uint8_t> out;
    int n = 0;
    while (out.size() < length) {
        ReadAhead::Chunk c;
        zr::io::IoError e;
        if (!chunks.Next(c, e)) {
            ADD_FAILURE() << e.reason;
            break;
        }
        EXPECT_EQ(c.size, std::min(kChunk, length - out.size()));
        const std::vector<std::uint8_t> copy(c.data, c.data + c.size);
        if (++n % 3 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        // A chunk handed out stays as it was until the next call, however far ahead the
        // helper thread reads.
        EXPECT_EQ(std::memcmp(copy.data(), c.data, c.size), 0) << "chunk " << n;
        out.insert(out.end(), copy.begin(), copy.end());
    }
    return out;
}

} // namespace

TEST(ReadAhead, ChunksAreTheKeystreamOfTheWholeFileWithOrWithoutTheHelperThread) {
    for (const std::size_t length : {std::size_t{1}, kChunk, kInFlight, kInFlight + 1,
                                     10 * kChunk + 123, kThreaded, kThreaded + 1, 3 * kThreaded}) {
        TempDir dir;
        const auto plain = PatternBytes(length);
        WriteBytes(dir / "src", plain);
        for (const bool threaded : {false, true}) {
            auto f = openSource(dir);
            ReadAhead chunks(f, kSeed, static_cast<std::int64_t>(length), threaded);
            // Small files are read without a thread: starting one would cost more.
            EXPECT_EQ(chunks.Threaded(), threaded && length > kThreaded) << length;
            EXPECT_EQ(readAll(chunks, length), Transformed(plain, kSeed))
                << length << " threaded " << threaded;
        }
    }
}

TEST(ReadAhead, SourceShorterThanAnnouncedFailsAfterTheWholeChunksBeforeTheEnd) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(5 * kChunk + 100));
    for (const bool threaded : {false, true}) {
        auto f = openSource(dir);
        ReadAhead chunks(f, kSeed, 20 * kChunk, threaded);
        int whole = 0;
        ReadAhead::Chunk c;
        zr::io::IoError e;
        while (chunks.Next(c, e)) {
            EXPECT_EQ(c.size, kChunk);
            ++whole;
        }
        EXPECT_EQ(whole, 5) << "threaded " << threaded;
        EXPECT_NE(e.reason.find("改变"), std::string::npos) << e.reason;
    }
}

TEST(ReadAhead, ConsumerThatStopsEarlyEndsTheHelperThread) {
    // A cancelled or failed job drops the reader mid-file while the helper thread waits for a
    // free slot or is inside a read; destruction must neither hang nor touch freed memory.
    TempDir dir;
    const std::size_t length = 2 * kThreaded;
    WriteBytes(dir / "src", PatternBytes(length));
    auto f = openSource(dir);
    for (int taken = 0; taken < 40; ++taken) {
        ReadAhead chunks(f, kSeed, static_cast<std::int64_t>(length));
        ASSERT_TRUE(chunks.Threaded());
        ReadAhead::Chunk c;
        zr::io::IoError e;
        for (int i = 0; i < taken % 9; ++i)
            ASSERT_TRUE(chunks.Next(c, e)) << e.reason;
        if (taken % 2)
            std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
}
