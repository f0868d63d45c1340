#include "media/avi/platform/avi_reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t IdRIFF = MakeFourCC('R', 'I', 'F', 'F');
constexpr uint32_t IdLIST = MakeFourCC('L', 'I', 'S', 'T');
constexpr uint32_t TypeAVI = MakeFourCC('A', 'V', 'I', ' ');
constexpr uint32_t TypeAVIX = MakeFourCC('A', 'V', 'I', 'X');
constexpr uint32_t TypeWAVE = MakeFourCC('W', 'A', 'V', 'E');
constexpr uint32_t IdFmt = MakeFourCC('f', 'm', 't', ' ');
constexpr uint32_t IdData = MakeFourCC('d', 'a', 't', 'a');
constexpr uint32_t TypeHdrl = MakeFourCC('h', 'd', 'r', 'l');
constexpr uint32_t TypeStrl = MakeFourCC('s', 't', 'r', 'l');
constexpr uint32_t TypeMovi = MakeFourCC('m', 'o', 'v', 'i');
constexpr uint32_t TypeRec = MakeFourCC('r', 'e', 'c', ' ');
constexpr uint32_t IdStrh = MakeFourCC('s', 't', 'r', 'h');
constexpr uint32_t IdStrf = MakeFourCC('s', 't', 'r', 'f');
constexpr uint32_t IdIndx = MakeFourCC('i', 'n', 'd', 'x');
constexpr uint32_t IdIdx1 = MakeFourCC('i', 'd', 'x', '1');

// Limits that keep a hostile header from making us allocate without bound;
// real files stay far below them.
constexpr uint32_t MaxFormatBytes = 1 << 20;
constexpr size_t MaxStreams = 64;
constexpr int MaxListDepth = 8;
constexpr size_t MaxRiffs = 4096;

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Get64(const uint8_t* p) {
    return static_cast<uint64_t>(Get32(p)) | static_cast<uint64_t>(Get32(p + 4)) << 32;
}

class TFileSource : public TAVISource {
public:
    explicit TFileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    ~TFileSource() override { ::close(m_fd); }
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t offset, void* target, size_t bytes) override {
        if (offset > m_size || bytes > m_size - offset)
            return false;
        auto* out = static_cast<uint8_t*>(target);
        while (bytes > 0) {
            const ssize_t got = ::pread(m_fd, out, bytes, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            out += got;
            offset += static_cast<uint64_t>(got);
            bytes -= static_cast<size_t>(got);
        }
        return true;
    }

private:
    int m_fd;
    uint64_t m_size;
};

class TMemorySource : public TAVISource {
public:
    explicit TMemorySource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    uint64_t Size() const override { return m_bytes.size(); }
    bool Read(uint64_t offset, void* target, size_t bytes) override {
        if (offset > m_bytes.size() || bytes > m_bytes.size() - offset)
            return false;
        if (bytes > 0)
            std::memcpy(target, m_bytes.data() + offset, bytes);
        return true;
    }

private:
    std::vector<uint8_t> m_bytes;
};

int DigitValue(uint32_t c) {
    return c >= '0' && c <= '9' ? static_cast<int>(c - '0') : -1;
}

} // namespace

std::unique_ptr<TAVISource> OpenAVIFileSource(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw TAVIFormatError("cannot open " + path);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw TAVIFormatError("not a regular file: " + path);
    }
    return std::make_unique<TFileSource>(fd, static_cast<uint64_t>(info.st_size));
}

std::unique_ptr<TAVISource> MakeAVIMemorySource(std::vector<uint8_t> bytes) {
    return std::make_unique<TMemorySource>(std::move(bytes));
}

TAVIReader::TAVIReader(std::unique_ptr<TAVISource> source) : m_source(std::move(source)) {
    const uint64_t fileSize = m_source->Size();
    uint8_t head[12];
    if (!m_source->Read(0, head, sizeof head) || Get32(head) != IdRIFF)
        throw TAVIFormatError("not a RIFF file");
    if (Get32(head + 8) == TypeWAVE) {
        ParseWave(std::min<uint64_t>(8 + uint64_t{Get32(head + 4)}, fileSize));
        return;
    }
    if (Get32(head + 8) != TypeAVI)
        throw TAVIFormatError("not an AVI file");
    uint64_t offset = 0;
    bool isFirst = true;
    size_t riffs = 0;
    // RIFF "AVI " and its "AVIX" followers lie end to end; a truncated last one
    // is read as far as it goes.
    while (offset + 12 <= fileSize && riffs++ < MaxRiffs) {
        if (!m_source->Read(offset, head, sizeof head) || Get32(head) != IdRIFF)
            break;
        const uint32_t type = Get32(head + 8);
        if (type != (isFirst ? TypeAVI : TypeAVIX))
            break;
        const uint64_t end = std::min<uint64_t>(offset + 8 + Get32(head + 4), fileSize);
        ParseRiff(offset + 12, end, isFirst);
        isFirst = false;
        offset = end + (end & 1);
    }
    if (m_streams.empty())
        throw TAVIFormatError("no streams");
    if (m_movi.empty())
        throw TAVIFormatError("no movi list");
    if (ReadSuperIndexes())
        m_indexKind = TAVIIndexKind::SuperIndex;
    else if (ReadOldIndex())
        m_indexKind = TAVIIndexKind::OldIndex;
    else {
        m_entryCount = 0;
        ScanMovi();
        m_indexKind = TAVIIndexKind::Scan;
    }
}

// A wave file reads as an AVI file with one audio stream, as the platform's
// file services offer it.
void TAVIReader::ParseWave(uint64_t end) {
    TAVIReadStream stream;
    TChunk chunk{};
    uint64_t offset = 12;
    TChunk data{0, 0, 0};
    while (offset + 8 <= end) {
        const bool fits = ReadChunkHeader(offset, end, chunk);
        if (chunk.Id == IdFmt && fits && chunk.Size >= 16 && chunk.Size <= MaxFormatBytes) {
            stream.Format.resize(chunk.Size);
            if (!m_source->Read(chunk.DataOffset, stream.Format.data(), chunk.Size))
                throw TAVIFormatError("wave format cut short");
        } else if (chunk.Id == IdData) {
            // A recording cut short still plays up to where it stops.
            data = {IdData, chunk.DataOffset,
                    static_cast<uint32_t>(std::min<uint64_t>(chunk.Size, end - chunk.DataOffset))};
            break;
        }
        if (!fits)
            break;
        offset = chunk.DataOffset + chunk.Size + (chunk.Size & 1);
    }
    if (stream.Format.size() < 16 || data.Id != IdData)
        throw TAVIFormatError("not a wave file");
    const uint16_t blockAlign = Get16(stream.Format.data() + 12);
    if (blockAlign == 0)
        throw TAVIFormatError("wave blocks of no size");
    stream.Header.fccType = FourCCAudio;
    stream.Header.dwScale = blockAlign;
    stream.Header.dwRate = Get32(stream.Format.data() + 8);
    stream.Header.dwSampleSize = blockAlign;
    m_streams.push_back(std::move(stream));
    m_superIndexes.emplace_back();
    // Entries of about a megabyte keep reads of a long recording short.
    const uint32_t step = std::max<uint32_t>((1u << 20) / blockAlign, 1) * blockAlign;
    for (uint64_t at = 0; at < data.Size; at += step)
        AddEntry(0, data.DataOffset + at, static_cast<uint32_t>(std::min<uint64_t>(step, data.Size - at)),
                 true);
}

bool TAVIReader::ReadChunkHeader(uint64_t offset, uint64_t end, TChunk& chunk) {
    uint8_t bytes[8];
    if (offset + 8 > end || !m_source->Read(offset, bytes, sizeof bytes))
        return false;
    chunk.Id = Get32(bytes);
    chunk.Size = Get32(bytes + 4);
    chunk.DataOffset = offset + 8;
    return chunk.DataOffset + chunk.Size <= end;
}

void TAVIReader::ParseRiff(uint64_t offset, uint64_t end, bool isFirst) {
    TChunk chunk{};
    while (offset + 8 <= end) {
        const bool fits = ReadChunkHeader(offset, end, chunk);
        uint32_t listType = 0;
        if (chunk.Id == IdLIST && chunk.Size >= 4) {
            uint8_t type[4];
            if (!m_source->Read(chunk.DataOffset, type, 4))
                return;
            listType = Get32(type);
        }
        // A movi list cut short by the end of the file still holds whole chunks.
        if (!fits && listType != TypeMovi)
            return;
        const uint64_t dataEnd = std::min<uint64_t>(chunk.DataOffset + chunk.Size, end);
        if (listType == TypeHdrl && isFirst && m_streams.empty())
            ParseHeaderList(chunk.DataOffset + 4, dataEnd);
        else if (listType == TypeMovi)
            m_movi.push_back({chunk.DataOffset, dataEnd});
        else if (chunk.Id == IdIdx1 && isFirst && fits)
            m_oldIndex = chunk;
        if (!fits)
            return;
        offset = dataEnd + (chunk.Size & 1);
    }
}

void TAVIReader::ParseHeaderList(uint64_t offset, uint64_t end) {
    TChunk chunk{};
    while (ReadChunkHeader(offset, end, chunk)) {
        if (chunk.Id == IdLIST && chunk.Size >= 4) {
            uint8_t type[4];
            if (!m_source->Read(chunk.DataOffset, type, 4))
                throw TAVIFormatError("header list cut short");
            if (Get32(type) == TypeStrl) {
                if (m_streams.size() >= MaxStreams)
                    throw TAVIFormatError("too many streams");
                ParseStreamList(chunk.DataOffset + 4, chunk.DataOffset + chunk.Size);
            }
        }
        offset = chunk.DataOffset + chunk.Size + (chunk.Size & 1);
    }
}

void TAVIReader::ParseStreamList(uint64_t offset, uint64_t end) {
    TAVIReadStream stream;
    std::vector<TSuperEntry> super;
    bool hasHeader = false;
    TChunk chunk{};
    while (ReadChunkHeader(offset, end, chunk)) {
        if (chunk.Id == IdStrh && chunk.Size >= 48) {
            const uint32_t bytes = std::min<uint32_t>(chunk.Size, sizeof stream.Header);
            if (!m_source->Read(chunk.DataOffset, &stream.Header, bytes))
                throw TAVIFormatError("stream header cut short");
            hasHeader = true;
        } else if (chunk.Id == IdStrf && chunk.Size <= MaxFormatBytes) {
            stream.Format.resize(chunk.Size);
            if (!m_source->Read(chunk.DataOffset, stream.Format.data(), chunk.Size))
                throw TAVIFormatError("stream format cut short");
        } else if (chunk.Id == IdIndx && chunk.Size >= 24) {
            uint8_t head[24];
            if (!m_source->Read(chunk.DataOffset, head, sizeof head))
                throw TAVIFormatError("super index cut short");
            const uint16_t longsPerEntry = Get16(head);
            const uint8_t indexType = head[3];
            const uint64_t inUse = Get32(head + 4);
            // Only an index of indexes (type 0) with 16-byte entries is a
            // super index; anything else is ignored and the next index is used.
            if (indexType == 0 && longsPerEntry == 4 && inUse <= (chunk.Size - 24) / 16) {
                std::vector<uint8_t> entries(inUse * 16);
                if (!m_source->Read(chunk.DataOffset + 24, entries.data(), entries.size()))
                    throw TAVIFormatError("super index cut short");
                for (uint64_t i = 0; i < inUse; ++i)
                    super.push_back({Get64(&entries[i * 16]), Get32(&entries[i * 16 + 8])});
            }
        }
        offset = chunk.DataOffset + chunk.Size + (chunk.Size & 1);
    }
    if (!hasHeader)
        throw TAVIFormatError("stream without header");
    m_streams.push_back(std::move(stream));
    m_superIndexes.push_back(std::move(super));
}

bool TAVIReader::ReadSuperIndexes() {
    bool any = false;
    for (size_t s = 0; s < m_streams.size(); ++s)
        any = any || !m_superIndexes[s].empty();
    if (!any)
        return false;
    // Each standard index is its own chunk: one listed twice would repeat its
    // entries, which is how a small file could ask for a huge index.
    std::set<uint64_t> seen;
    for (size_t s = 0; s < m_streams.size(); ++s)
        for (const TSuperEntry& entry : m_superIndexes[s])
            if (!seen.insert(entry.Offset).second || !ReadStandardIndex(static_cast<int32_t>(s), entry)) {
                for (TAVIReadStream& stream : m_streams) {
                    stream.Index.clear();
                    stream.SampleCount = 0;
                }
                m_entryCount = 0;
                return false;
            }
    return true;
}

bool TAVIReader::ReadStandardIndex(int32_t stream, const TSuperEntry& entry) {
    TChunk chunk{};
    if (!ReadChunkHeader(entry.Offset, m_source->Size(), chunk) || chunk.Size < 24)
        return false;
    uint8_t head[24];
    if (!m_source->Read(chunk.DataOffset, head, sizeof head))
        return false;
    const uint16_t longsPerEntry = Get16(head);
    const uint8_t indexType = head[3];
    const uint64_t inUse = Get32(head + 4);
    const uint64_t base = Get64(head + 12);
    if (indexType != 1 || longsPerEntry != 2 || inUse > (chunk.Size - 24) / 8)
        return false;
    std::vector<uint8_t> entries(inUse * 8);
    if (!m_source->Read(chunk.DataOffset + 24, entries.data(), entries.size()))
        return false;
    for (uint64_t i = 0; i < inUse; ++i) {
        const uint32_t rawSize = Get32(&entries[i * 8 + 4]);
        if (!AddEntry(stream, base + Get32(&entries[i * 8]), rawSize & 0x7FFFFFFF,
                      (rawSize & 0x80000000) == 0))
            return false;
    }
    return true;
}

bool TAVIReader::ReadOldIndex() {
    if (m_oldIndex.Size < 16)
        return false;
    const uint64_t count = m_oldIndex.Size / 16;
    std::vector<uint8_t> bytes(count * 16);
    if (!m_source->Read(m_oldIndex.DataOffset, bytes.data(), bytes.size()))
        return false;
    // Offsets count from the "movi" type code in most files and from the start
    // of the file in some; the first real chunk tells which.
    uint64_t base = m_movi.front().ListOffset;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* e = &bytes[i * 16];
        if (StreamOfChunk(Get32(e)) < 0)
            continue;
        uint8_t id[4];
        const uint64_t relative = base + Get32(e + 8);
        if (!(m_source->Read(relative, id, 4) && Get32(id) == Get32(e)))
            base = 0;
        break;
    }
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* e = &bytes[i * 16];
        const int32_t stream = StreamOfChunk(Get32(e));
        if (stream < 0)
            continue;
        if (!AddEntry(stream, base + Get32(e + 8) + 8, Get32(e + 12), (Get32(e + 4) & AVIIndexKeyFrame) != 0))
            break;
    }
    for (const TAVIReadStream& stream : m_streams)
        if (!stream.Index.empty())
            return true;
    return false;
}

void TAVIReader::ScanMovi() {
    for (const TMoviList& movi : m_movi)
        ScanList(movi.ListOffset + 4, movi.End, 0);
}

void TAVIReader::ScanList(uint64_t offset, uint64_t end, int depth) {
    TChunk chunk{};
    while (offset + 8 <= end) {
        const bool fits = ReadChunkHeader(offset, end, chunk);
        if (!fits)
            return;
        if (chunk.Id == IdLIST && chunk.Size >= 4 && depth < MaxListDepth) {
            uint8_t type[4];
            if (m_source->Read(chunk.DataOffset, type, 4) && Get32(type) == TypeRec)
                ScanList(chunk.DataOffset + 4, chunk.DataOffset + chunk.Size, depth + 1);
        } else {
            const int32_t stream = StreamOfChunk(chunk.Id);
            // Without an index nothing tells the key frames; the decoder
            // starts from the first chunk for anything but intra-only codecs.
            if (stream >= 0 &&
                !AddEntry(stream, chunk.DataOffset, chunk.Size, m_streams[stream].Index.empty()))
                return;
        }
        offset = chunk.DataOffset + chunk.Size + (chunk.Size & 1);
    }
}

int32_t TAVIReader::StreamOfChunk(uint32_t id) const {
    const int high = DigitValue(id & 0xFF);
    const int low = DigitValue((id >> 8) & 0xFF);
    if (high < 0 || low < 0)
        return -1;
    const char c = static_cast<char>((id >> 16) & 0xFF);
    // "ix##" chunks are indexes, not data; data chunks end in dc, db, wb, pc.
    if (c != 'd' && c != 'w' && c != 'p')
        return -1;
    const int32_t stream = high * 10 + low;
    return stream < StreamCount() ? stream : -1;
}

bool TAVIReader::AddEntry(int32_t stream, uint64_t offset, uint32_t size, bool isKey) {
    const uint64_t fileSize = m_source->Size();
    // Every chunk takes at least its 8-byte header in the file.
    if (++m_entryCount > fileSize / 8 + 1)
        return false;
    if (offset > fileSize || size > fileSize - offset)
        return true;
    TAVIReadStream& target = m_streams[stream];
    const bool isAudio = target.Header.fccType == FourCCAudio;
    const uint32_t sampleSize = target.Header.dwSampleSize;
    int64_t samples = 1;
    if (isAudio && sampleSize > 0) {
        samples = size / sampleSize;
        if (samples == 0)
            return true;
    }
    target.Index.push_back({offset, size, isAudio || isKey, target.SampleCount});
    target.SampleCount += samples;
    return true;
}

int32_t TAVIReader::FindStream(uint32_t type) const {
    for (size_t i = 0; i < m_streams.size(); ++i)
        if (m_streams[i].Header.fccType == type)
            return static_cast<int32_t>(i);
    return -1;
}

int32_t TAVIReader::Start(int32_t stream) const {
    return static_cast<int32_t>(std::min<uint32_t>(Stream(stream).Header.dwStart, 0x3FFFFFFF));
}

int32_t TAVIReader::Length(int32_t stream) const {
    return static_cast<int32_t>(std::min<int64_t>(Stream(stream).SampleCount, 0x3FFFFFFF));
}

int32_t TAVIReader::EntryOfSample(int32_t stream, int32_t sample) const {
    const TAVIReadStream& s = Stream(stream);
    const int64_t relative = static_cast<int64_t>(sample) - Start(stream);
    if (relative < 0 || relative >= s.SampleCount)
        return -1;
    const auto it =
        std::upper_bound(s.Index.begin(), s.Index.end(), relative,
                         [](int64_t value, const TAVIIndexEntry& e) { return value < e.FirstSample; });
    return static_cast<int32_t>(it - s.Index.begin()) - 1;
}

int32_t TAVIReader::KeyEntryAtOrBefore(int32_t stream, int32_t entry) const {
    const TAVIReadStream& s = Stream(stream);
    if (entry >= static_cast<int32_t>(s.Index.size()))
        entry = static_cast<int32_t>(s.Index.size()) - 1;
    for (; entry >= 0; --entry)
        if (s.Index[entry].IsKey)
            return entry;
    return -1;
}

bool TAVIReader::ReadEntry(int32_t stream, int32_t entry, std::vector<uint8_t>& bytes) {
    const TAVIReadStream& s = Stream(stream);
    if (entry < 0 || entry >= static_cast<int32_t>(s.Index.size()))
        return false;
    const TAVIIndexEntry& e = s.Index[entry];
    bytes.resize(e.Size);
    return m_source->Read(e.Offset, bytes.data(), e.Size);
}

bool TAVIReader::ReadEntryInto(int32_t stream, int32_t entry, uint8_t* target) {
    const TAVIReadStream& s = Stream(stream);
    if (entry < 0 || entry >= static_cast<int32_t>(s.Index.size()))
        return false;
    return m_source->Read(s.Index[entry].Offset, target, s.Index[entry].Size);
}

bool TAVIReader::ReadSamples(int32_t stream, int32_t sample, int32_t sampleCount, uint8_t* target,
                             size_t capacity, int32_t& bytesRead, int32_t& samplesRead) {
    bytesRead = 0;
    samplesRead = 0;
    int32_t entry = EntryOfSample(stream, sample);
    if (entry < 0 || sampleCount <= 0)
        return false;
    const TAVIReadStream& s = Stream(stream);
    const uint32_t sampleSize = s.Header.fccType == FourCCAudio ? s.Header.dwSampleSize : 0;
    int64_t relative = static_cast<int64_t>(sample) - Start(stream);
    size_t written = 0;
    while (samplesRead < sampleCount && entry < static_cast<int32_t>(s.Index.size())) {
        const TAVIIndexEntry& e = s.Index[entry];
        uint64_t skip = 0;
        uint64_t take = e.Size;
        int64_t samples = 1;
        if (sampleSize > 0) {
            skip = static_cast<uint64_t>(relative - e.FirstSample) * sampleSize;
            const int64_t available = (e.Size - skip) / sampleSize;
            samples = std::min<int64_t>({available, sampleCount - samplesRead,
                                         static_cast<int64_t>((capacity - written) / sampleSize)});
            take = static_cast<uint64_t>(samples) * sampleSize;
        } else if (take > capacity - written) {
            samples = 0;
        }
        if (samples <= 0)
            break;
        if (!m_source->Read(e.Offset + skip, target + written, take))
            return false;
        written += take;
        samplesRead += static_cast<int32_t>(samples);
        relative += samples;
        ++entry;
    }
    bytesRead = static_cast<int32_t>(written);
    return true;
}

int32_t TAVIReader::SampleToTime(int32_t stream, int32_t sample) const {
    const TAVIStreamHeader& h = Stream(stream).Header;
    if (h.dwRate == 0)
        return 0;
    const double ms = static_cast<double>(sample) * h.dwScale * 1000.0 / h.dwRate;
    return static_cast<int32_t>(std::clamp<double>(std::round(ms), INT32_MIN, INT32_MAX));
}

int32_t TAVIReader::TimeToSample(int32_t stream, int32_t timeMs) const {
    const TAVIStreamHeader& h = Stream(stream).Header;
    if (h.dwScale == 0)
        return 0;
    // The sample playing at that time: the one that began at or before it.
    const double sample = static_cast<double>(timeMs) * h.dwRate / (h.dwScale * 1000.0);
    return static_cast<int32_t>(std::clamp<double>(std::floor(sample + 1e-9), INT32_MIN, INT32_MAX));
}

int32_t TAVIReader::FindPreviousSample(int32_t stream, int32_t sample) const {
    const int32_t start = Start(stream);
    const int32_t length = Length(stream);
    if (length == 0 || sample < start)
        return -1;
    return std::min(sample, start + length - 1);
}
