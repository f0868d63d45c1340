#include "media/avi/platform/avi_writer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t IdRIFF = MakeFourCC('R', 'I', 'F', 'F');
constexpr uint32_t IdLIST = MakeFourCC('L', 'I', 'S', 'T');
// Room for this many standard indexes per stream, i.e. RIFF lists; at the
// default boundary that is 2 TiB of data.
constexpr uint32_t SuperIndexSlots = 2048;
constexpr uint32_t DmlhBytes = 248;
constexpr uint32_t AVIFHasIndex = 0x10;

} // namespace

TAVIWriter::TAVIWriter(const std::string& path, uint64_t riffBoundary)
    : m_path(path), m_boundary(std::max<uint64_t>(riffBoundary, 4096)) {
    m_file = std::fopen(path.c_str(), "wb");
    if (m_file == nullptr)
        throw TAVIFormatError("cannot create " + path);
    std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
}

TAVIWriter::~TAVIWriter() {
    if (m_file != nullptr) {
        try {
            Close();
        } catch (const TAVIFormatError&) {
            // A destructor cannot report; Close was not called by the owner.
        }
    }
}

int32_t TAVIWriter::AddStream(const TAVIStreamHeader& header) {
    if (m_hasStarted || m_streams.size() >= 100)
        throw TAVIFormatError("streams are added before writing");
    TStream stream;
    stream.Header = header;
    m_streams.push_back(stream);
    return static_cast<int32_t>(m_streams.size()) - 1;
}

void TAVIWriter::SetFormat(int32_t stream, const std::vector<uint8_t>& format) {
    if (m_hasStarted)
        throw TAVIFormatError("formats are set before writing");
    m_streams.at(stream).Format = format;
}

uint32_t TAVIWriter::ChunkId(int32_t stream, bool isIndex) const {
    const char high = static_cast<char>('0' + stream / 10);
    const char low = static_cast<char>('0' + stream % 10);
    if (isIndex)
        return MakeFourCC('i', 'x', high, low);
    if (m_streams[stream].Header.fccType == FourCCAudio)
        return MakeFourCC(high, low, 'w', 'b');
    return MakeFourCC(high, low, 'd', 'c');
}

void TAVIWriter::Write(int32_t stream, const uint8_t* data, uint32_t bytes, uint32_t samples, bool isKey) {
    if (m_isClosed || stream < 0 || stream >= static_cast<int32_t>(m_streams.size()))
        throw TAVIFormatError("no such stream");
    if (!m_hasStarted)
        WriteHeaders();
    const uint64_t chunkBytes = 8 + uint64_t{bytes} + (bytes & 1);
    // Index bytes still to come for this RIFF count against the boundary too.
    uint64_t pendingIndex = 0;
    for (const TStream& s : m_streams)
        pendingIndex += 32 + 8 * (s.Pending.size() + 1);
    if (m_riffs.size() == 1)
        pendingIndex += 8 + 16 * (m_oldIndex.size() + 1);
    const bool hasData =
        std::any_of(m_streams.begin(), m_streams.end(), [](const TStream& s) { return !s.Pending.empty(); });
    if (hasData && Tell() + chunkBytes + pendingIndex - m_riffs.back().Offset > m_boundary) {
        EndRiff();
        BeginRiff(false);
    }
    TStream& target = m_streams[stream];
    const uint64_t offset = Tell();
    Put32(ChunkId(stream, false));
    Put32(bytes);
    Put(data, bytes);
    if (bytes & 1)
        Put8(0);
    target.Pending.push_back({offset, bytes, isKey});
    if (m_riffs.size() == 1) {
        m_oldIndex.push_back({offset, bytes, isKey});
        m_oldIndexStreams.push_back(stream);
        target.FirstRiffSamples += samples;
    }
    target.Samples += samples;
    target.LargestChunk = std::max(target.LargestChunk, bytes);
}

void TAVIWriter::WriteHeaders() {
    m_hasStarted = true;
    Put32(IdRIFF);
    Put32(0);
    Put32(MakeFourCC('A', 'V', 'I', ' '));
    m_riffs.push_back({0, 0});
    const uint64_t hdrl = Tell();
    Put32(IdLIST);
    Put32(0);
    Put32(MakeFourCC('h', 'd', 'r', 'l'));
    Put32(MakeFourCC('a', 'v', 'i', 'h'));
    Put32(sizeof(TAVIMainHeader));
    m_avihOffset = Tell();
    const TAVIMainHeader main{};
    Put(&main, sizeof main);
    for (TStream& stream : m_streams) {
        const uint32_t formatBytes = static_cast<uint32_t>(stream.Format.size());
        const uint32_t indxBytes = 24 + 16 * SuperIndexSlots;
        Put32(IdLIST);
        Put32(4 + 8 + sizeof(TAVIStreamHeader) + 8 + formatBytes + (formatBytes & 1) + 8 + indxBytes);
        Put32(MakeFourCC('s', 't', 'r', 'l'));
        Put32(MakeFourCC('s', 't', 'r', 'h'));
        Put32(sizeof(TAVIStreamHeader));
        Put(&stream.Header, sizeof stream.Header);
        Put32(MakeFourCC('s', 't', 'r', 'f'));
        Put32(formatBytes);
        Put(stream.Format.data(), formatBytes);
        if (formatBytes & 1)
            Put8(0);
        Put32(MakeFourCC('i', 'n', 'd', 'x'));
        Put32(indxBytes);
        stream.IndxOffset = Tell();
        const std::vector<uint8_t> zeros(indxBytes, 0);
        Put(zeros.data(), zeros.size());
    }
    Put32(IdLIST);
    Put32(4 + 8 + DmlhBytes);
    Put32(MakeFourCC('o', 'd', 'm', 'l'));
    Put32(MakeFourCC('d', 'm', 'l', 'h'));
    Put32(DmlhBytes);
    m_dmlhOffset = Tell();
    const std::vector<uint8_t> zeros(DmlhBytes, 0);
    Put(zeros.data(), zeros.size());
    Patch32(hdrl + 4, static_cast<uint32_t>(Tell() - hdrl - 8));
    BeginRiff(true);
}

void TAVIWriter::BeginRiff(bool isFirst) {
    if (!isFirst) {
        if (m_riffs.size() >= SuperIndexSlots)
            throw TAVIFormatError("file too long");
        m_riffs.push_back({Tell(), 0});
        Put32(IdRIFF);
        Put32(0);
        Put32(MakeFourCC('A', 'V', 'I', 'X'));
    }
    m_riffs.back().MoviOffset = Tell();
    Put32(IdLIST);
    Put32(0);
    Put32(MakeFourCC('m', 'o', 'v', 'i'));
}

void TAVIWriter::EndRiff() {
    WriteStandardIndexes();
    const TRiff& riff = m_riffs.back();
    Patch32(riff.MoviOffset + 4, static_cast<uint32_t>(Tell() - riff.MoviOffset - 8));
    if (m_riffs.size() == 1)
        WriteOldIndex();
    Patch32(riff.Offset + 4, static_cast<uint32_t>(Tell() - riff.Offset - 8));
}

void TAVIWriter::WriteStandardIndexes() {
    for (size_t s = 0; s < m_streams.size(); ++s) {
        TStream& stream = m_streams[s];
        if (stream.Pending.empty())
            continue;
        const uint64_t base = stream.Pending.front().Offset;
        const uint64_t offset = Tell();
        const uint32_t bytes = 24 + 8 * static_cast<uint32_t>(stream.Pending.size());
        Put32(ChunkId(static_cast<int32_t>(s), true));
        Put32(bytes);
        Put16(2);
        Put8(0); // sub type
        Put8(1); // index of chunks
        Put32(static_cast<uint32_t>(stream.Pending.size()));
        Put32(ChunkId(static_cast<int32_t>(s), false));
        Put64(base);
        Put32(0);
        uint32_t duration = 0;
        const uint32_t sampleSize = stream.Header.fccType == FourCCAudio ? stream.Header.dwSampleSize : 0;
        for (const TEntry& e : stream.Pending) {
            Put32(static_cast<uint32_t>(e.Offset + 8 - base));
            Put32(e.Size | (e.IsKey ? 0u : 0x80000000u));
            duration += sampleSize > 0 ? e.Size / sampleSize : 1;
        }
        stream.SuperOffsets.push_back(offset);
        stream.SuperSizes.push_back(bytes + 8);
        stream.SuperDurations.push_back(duration);
        stream.Pending.clear();
    }
}

void TAVIWriter::WriteOldIndex() {
    const uint64_t moviType = m_riffs.front().MoviOffset + 8;
    Put32(MakeFourCC('i', 'd', 'x', '1'));
    Put32(static_cast<uint32_t>(16 * m_oldIndex.size()));
    for (size_t i = 0; i < m_oldIndex.size(); ++i) {
        const TEntry& e = m_oldIndex[i];
        Put32(ChunkId(m_oldIndexStreams[i], false));
        Put32(e.IsKey ? AVIIndexKeyFrame : 0);
        Put32(static_cast<uint32_t>(e.Offset - moviType));
        Put32(e.Size);
    }
    m_oldIndex.clear();
    m_oldIndexStreams.clear();
}

void TAVIWriter::Close() {
    if (m_isClosed || m_file == nullptr)
        return;
    m_isClosed = true;
    if (!m_hasStarted)
        WriteHeaders();
    EndRiff();
    const uint64_t end = Tell();

    TAVIMainHeader main{};
    main.dwFlags = AVIFHasIndex;
    main.dwStreams = static_cast<uint32_t>(m_streams.size());
    uint32_t totalFrames = 0;
    for (size_t s = 0; s < m_streams.size(); ++s) {
        TStream& stream = m_streams[s];
        stream.Header.dwLength = static_cast<uint32_t>(std::min<uint64_t>(stream.Samples, UINT32_MAX));
        stream.Header.dwSuggestedBufferSize = stream.LargestChunk;
        main.dwSuggestedBufferSize = std::max(main.dwSuggestedBufferSize, stream.LargestChunk + 8);
        if (stream.Header.fccType == FourCCVideo && main.dwWidth == 0) {
            main.dwTotalFrames = stream.FirstRiffSamples;
            totalFrames = stream.Header.dwLength;
            main.dwWidth =
                static_cast<uint32_t>(std::max<int>(stream.Header.rcRight - stream.Header.rcLeft, 0));
            main.dwHeight =
                static_cast<uint32_t>(std::max<int>(stream.Header.rcBottom - stream.Header.rcTop, 0));
            if (stream.Header.dwRate > 0)
                main.dwMicroSecPerFrame =
                    static_cast<uint32_t>(uint64_t{1000000} * stream.Header.dwScale / stream.Header.dwRate);
        }
        // The stream header sits right before its strf chunk in the strl list.
        SeekTo(stream.IndxOffset - 8 - 8 - stream.Format.size() - (stream.Format.size() & 1) - 56);
        Put(&stream.Header, sizeof stream.Header);
        SeekTo(stream.IndxOffset);
        Put16(4);
        Put8(0); // sub type
        Put8(0); // index of indexes
        Put32(static_cast<uint32_t>(stream.SuperOffsets.size()));
        Put32(ChunkId(static_cast<int32_t>(s), false));
        Put32(0), Put32(0), Put32(0);
        for (size_t i = 0; i < stream.SuperOffsets.size(); ++i) {
            Put64(stream.SuperOffsets[i]);
            Put32(stream.SuperSizes[i]);
            Put32(stream.SuperDurations[i]);
        }
    }
    SeekTo(m_avihOffset);
    Put(&main, sizeof main);
    SeekTo(m_dmlhOffset);
    Put32(totalFrames);
    SeekTo(end);
    const bool flushed = std::fflush(m_file) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!flushed || !closed)
        throw TAVIFormatError("cannot complete " + m_path);
}

void TAVIWriter::Put(const void* data, size_t bytes) {
    if (bytes > 0 && std::fwrite(data, 1, bytes, m_file) != bytes)
        throw TAVIFormatError("cannot write " + m_path);
}

void TAVIWriter::Put8(uint8_t value) {
    Put(&value, 1);
}

void TAVIWriter::Put16(uint16_t value) {
    const uint8_t b[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    Put(b, 2);
}

void TAVIWriter::Put32(uint32_t value) {
    const uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    Put(b, 4);
}

void TAVIWriter::Put64(uint64_t value) {
    Put32(static_cast<uint32_t>(value));
    Put32(static_cast<uint32_t>(value >> 32));
}

uint64_t TAVIWriter::Tell() {
    const off_t at = ftello(m_file);
    if (at < 0)
        throw TAVIFormatError("cannot write " + m_path);
    return static_cast<uint64_t>(at);
}

void TAVIWriter::SeekTo(uint64_t offset) {
    if (fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) != 0)
        throw TAVIFormatError("cannot write " + m_path);
}

void TAVIWriter::Patch32(uint64_t offset, uint32_t value) {
    const uint64_t back = Tell();
    SeekTo(offset);
    Put32(value);
    SeekTo(back);
}
