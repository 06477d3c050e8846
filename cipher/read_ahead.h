#pragma once
// Reads a file from its start and applies the keystream to it, chunk by chunk, ahead of the
// caller: on a helper thread when the file spans several chunks, so that reading and
// transforming the next chunks overlaps whatever the caller does with the current one (writing
// it, comparing it) on a second processor core. Memory stays at a few chunks whatever the size
// of the file.

#include "file_io.h"
#include "keystream_cipher.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace zr {

// The reason given when a source ends before or after the length it had when the job began.
inline constexpr char kSourceChangedReason[] = "源文件在处理过程中被改变了";

class ReadAhead {
public:
    // Bytes per chunk: a multiple of the progress block. With four in flight, 64 KiB measured
    // fastest on a 1 GiB file (larger chunks leave the second-level cache, smaller ones hand
    // over more often).
    static constexpr std::size_t kChunk = 64 * 1024;
    static constexpr int kDepth = 4; // chunks in flight
    // Files longer than this are read on a helper thread (see the constructor).
    static constexpr std::int64_t kThreadedAbove = 16 * kChunk;

    // Reads length bytes of source from offset 0 with the keystream of seed. The source stays
    // owned by the caller and must outlive this object; the caller must not read it meanwhile.
    // With threaded false, for files of at most kThreadedAbove bytes, or when no thread can be
    // started, every chunk is read inside Next.
    ReadAhead(io::File& source, std::int32_t seed, std::int64_t length, bool threaded = true);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    struct Chunk {
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
    };
    // The next chunk in order, valid until the next call. Returns false with the reason when
    // reading failed or the source ended early (it shrank during the job); every chunk before
    // has been handed out whole. Must not be called again after the last chunk or a failure.
    bool Next(Chunk& chunk, io::IoError& error);

    // After the last chunk: whether its read found the end of the file right after it, so that
    // the file is known not to have grown meanwhile. False when that was not seen (a length of
    // whole chunks, a read that came short); the caller then looks for the end itself.
    bool EndSeen() const { return endSeen_; }

    // Whether the chunks are read on a helper thread.
    bool Threaded() const { return worker_.joinable(); }

private:
    struct Slot {
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t size = 0;
        io::IoError error; // set when this chunk could not be read whole; it is the last then
    };

    // Reads and transforms the chunk at nextOffset_ into slot; false with slot.error on failure.
    bool fill(Slot& slot);
    void produce();

    io::File& source_;
    std::int64_t length_;
    KeystreamCipher cipher_;      // used by whichever thread reads
    std::int64_t nextOffset_ = 0; // where the next chunk starts (reading thread)
    bool endSeen_ = false;        // set by the reading thread before it hands out the last chunk
    Slot slots_[kDepth];

    // Counts of chunks since the start; a slot is chunk n % kDepth. Guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable filled_; // the producer has finished a chunk
    std::condition_variable freed_;  // the consumer has given a slot back
    std::int64_t produced_ = 0;      // chunks filled (or failed)
    std::int64_t consumed_ = 0;      // chunks handed out by Next; all but the last given back
    bool stop_ = false;
    std::thread worker_;
};

} // namespace zr
