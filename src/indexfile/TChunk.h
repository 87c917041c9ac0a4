#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrin {

namespace platform {
class FileHandle;
}

// A chunk ID as a value: the four characters, first one most significant.
constexpr std::uint32_t chunkID(const char (&text)[5])
{
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]));
}

// One chunk of an index file: a four-character ID, a 32-bit big-endian data
// size and the data. Every integer in the file is big-endian on any host.
class TChunk {
public:
    using Data = std::shared_ptr<const std::vector<std::uint8_t>>;

    static constexpr std::uint32_t kNoID = chunkID("----");
    static constexpr std::uint32_t kHeadID = chunkID("OVHD");
    static constexpr std::uint32_t kPathID = chunkID("OVPT");
    static constexpr std::uint32_t kThumbID = chunkID("OVTM");
    // Size and modification time of the picture of the entry before it, so an
    // update can tell unchanged pictures; readers that know only the three
    // kinds above pass over it.
    static constexpr std::uint32_t kStampID = chunkID("OVST");
    // Right after the head: when the run that wrote the index started (64-bit
    // big-endian nanoseconds since 1970), which tells an update whose stamps
    // it can trust. Passed over like the stamp by readers that do not know it.
    static constexpr std::uint32_t kRunStartID = chunkID("OVRS");
    static constexpr std::int32_t kRunStartSize = 8;
    // The structure fingerprint of the picture of the entry before it, which
    // confirms look-alike groups; passed over like the stamp by readers that
    // do not know it.
    static constexpr std::uint32_t kFineID = chunkID("OVFP");
    static constexpr std::int32_t kHeaderSize = 8;
    // The most data bytes a chunk of a kind can need. A reader keeps no more
    // than this of any chunk and passes over the rest, so a size field cannot
    // make it hold gigabytes; chunks of other kinds are passed over whole.
    static constexpr std::size_t kMaxPathBytes = std::size_t{1} << 20;
    static constexpr std::size_t maxDataSize(std::uint32_t id);

    TChunk() = default;
    virtual ~TChunk() = default;
    TChunk(const TChunk&) = default;
    TChunk& operator=(const TChunk&) = default;

    std::uint32_t ckID() const { return m_ckID; }
    std::int32_t ckSize() const { return m_ckSize; }
    const Data& data() const { return m_data; }

    // Reads one chunk at the handle's offset; bytes consumed, or 0 for a short
    // read. A size that the file does not back with bytes is refused without
    // allocating it, and leaves the offset at the end of the file. Data beyond
    // what the chunk's kind can need is passed over, not kept.
    std::int32_t read(platform::FileHandle* handle);
    // Writes ID, size and data; bytes written, or 0 when there is nothing to
    // write, no handle, or the handle failed to take the bytes.
    virtual std::int32_t write(platform::FileHandle* handle);

protected:
    explicit TChunk(std::uint32_t id) : m_ckID(id) {}
    // Takes another chunk's ID, size and data; the data is shared, not copied.
    void takeChunk(const TChunk& chunk);

    std::uint32_t m_ckID = kNoID;
    std::int32_t m_ckSize = 0;
    Data m_data;
};

class TChunkHead : public TChunk {
public:
    static constexpr std::int32_t kVersion = 0x00010000;
    static constexpr std::int32_t kDataSize = 256;

    TChunkHead() : TChunk(kHeadID) {}
    // Decodes a chunk that has been read. A head below version 0x00010000
    // carries no pixel number (0); data too short for a field reads it as 0.
    explicit TChunkHead(const TChunk& chunk);

    // Version and pixel number of a head's data bytes.
    static void decode(const std::uint8_t* data, std::size_t size, std::int32_t& version,
                       std::int32_t& pixelNumber);

    std::int32_t version() const { return m_version; }
    std::int32_t pixelNumber() const { return m_pixcelNumber; }
    void setPixcelNumber(std::int32_t number) { m_pixcelNumber = number; }

    std::int32_t write(platform::FileHandle* handle) override;

private:
    std::int32_t m_version = kVersion;
    std::int32_t m_pixcelNumber = 0;
};

class TChunkPath : public TChunk {
public:
    TChunkPath() : TChunk(kPathID) {}
    // The data decoded as UTF-8; invalid UTF-8 gives no path, a chunk whose
    // read failed an empty one.
    explicit TChunkPath(const TChunk& chunk);

    const std::optional<std::string>& path() const { return m_path; }
    void setPath(std::optional<std::string> path) { m_path = std::move(path); }

    std::int32_t write(platform::FileHandle* handle) override;

    // The path that data bytes hold: no value for invalid UTF-8 or a NUL byte
    // (no file system path holds one).
    static std::optional<std::string_view> decodePath(const std::uint8_t* bytes,
                                                      std::size_t length);

private:
    std::optional<std::string> m_path;
};

class TChunkThumb : public TChunk {
public:
    // Values of the largest signature: a side of 256.
    static constexpr std::int32_t kMaxValues = 256 * 256;

    TChunkThumb() : TChunk(kThumbID) {}
    // Not copyable: a read chunk's view points into its own decoded values.
    TChunkThumb(const TChunkThumb&) = delete;
    TChunkThumb& operator=(const TChunkThumb&) = delete;
    // The data as big-endian 16-bit values; an odd last byte is ignored.
    explicit TChunkThumb(const TChunk& chunk);

    const std::int16_t* thumbnail() const { return m_thumbnail; }
    std::int32_t thumbnailCount() const { return m_thumbnailCount; }
    // Keeps a view: the caller keeps the values alive until write() returns.
    void setThumbnail(const std::int16_t* values, std::int32_t count);

    std::int32_t write(platform::FileHandle* handle) override;

    // Big-endian 16-bit values of data bytes, in host order; an odd last byte
    // is ignored.
    static void decodeValues(const std::uint8_t* bytes, std::size_t length,
                             std::vector<std::int16_t>& values);

private:
    std::int32_t m_thumbnailCount = 0;
    const std::int16_t* m_thumbnail = nullptr;
    std::vector<std::int16_t> m_decoded; // host-order copy of read values
};

constexpr std::size_t TChunk::maxDataSize(std::uint32_t id)
{
    switch (id) {
    case kHeadID:
        return TChunkHead::kDataSize;
    case kPathID:
        return kMaxPathBytes;
    case kThumbID:
        return static_cast<std::size_t>(TChunkThumb::kMaxValues) * 2;
    case kStampID:
    case kFineID:
        return 64;
    default:
        return 0;
    }
}

} // namespace ovrin
