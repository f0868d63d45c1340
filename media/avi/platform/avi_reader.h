#pragma once
// Our reader of AVI files (and wave files, as one audio stream): RIFF "AVI " with "AVIX" extensions, the
// stream headers and formats, and the sample index taken from the OpenDML super index
// ("indx" with its "ix##" standard indexes), else "idx1", else a scan of the
// "movi" lists. Every size and offset taken from the file is checked against
// the file; what does not fit is refused (headers) or left out (index
// entries), so a damaged file raises TAVIFormatError or reads as far as it is
// sound, never past its end.
//
// Samples: a video chunk is one sample; an audio chunk holds size ÷
// dwSampleSize samples, or one when dwSampleSize is 0. Sample numbers start at
// the stream's dwStart, as the platform's stream functions count them.

#include "media/avi/platform/avi_riff.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Where the reader takes its bytes from: a file or, for fuzzing, memory.
class TAVISource {
public:
    virtual ~TAVISource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly bytes at offset; false when that is not possible.
    virtual bool Read(uint64_t offset, void* target, size_t bytes) = 0;
};

// Throws TAVIFormatError when the file cannot be opened.
std::unique_ptr<TAVISource> OpenAVIFileSource(const std::string& path);
std::unique_ptr<TAVISource> MakeAVIMemorySource(std::vector<uint8_t> bytes);

struct TAVIIndexEntry {
    uint64_t Offset;     // first data byte of the chunk
    uint32_t Size;       // data bytes; 0 for an empty chunk
    bool IsKey;          // key frame (always true for audio)
    int64_t FirstSample; // counted from 0 (without dwStart)
};

struct TAVIReadStream {
    TAVIStreamHeader Header{};
    std::vector<uint8_t> Format; // "strf" as stored
    std::vector<TAVIIndexEntry> Index;
    int64_t SampleCount = 0;
};

enum class TAVIIndexKind { SuperIndex, OldIndex, Scan };

class TAVIReader {
public:
    // Throws TAVIFormatError for anything that is not a readable AVI file.
    explicit TAVIReader(std::unique_ptr<TAVISource> source);

    int32_t StreamCount() const { return static_cast<int32_t>(m_streams.size()); }
    const TAVIReadStream& Stream(int32_t stream) const { return m_streams.at(stream); }
    // The first stream of the type ("vids", "auds"), or -1.
    int32_t FindStream(uint32_t type) const;
    TAVIIndexKind IndexKind() const { return m_indexKind; }

    int32_t Start(int32_t stream) const;
    int32_t Length(int32_t stream) const;
    // Index entry holding the sample, -1 outside the stream.
    int32_t EntryOfSample(int32_t stream, int32_t sample) const;
    // Nearest key-frame entry at or before the entry; -1 when none.
    int32_t KeyEntryAtOrBefore(int32_t stream, int32_t entry) const;
    // The chunk's data into bytes (resized); false when it cannot be read.
    bool ReadEntry(int32_t stream, int32_t entry, std::vector<uint8_t>& bytes);
    // The same into target, which holds the entry's Size bytes.
    bool ReadEntryInto(int32_t stream, int32_t entry, uint8_t* target);
    // Reads up to sampleCount samples from sample on, as many as fit into
    // capacity bytes (whole samples). Returns false when the position lies
    // outside the stream or the file cannot be read.
    bool ReadSamples(int32_t stream, int32_t sample, int32_t sampleCount, uint8_t* target, size_t capacity,
                     int32_t& bytesRead, int32_t& samplesRead);

    // Position mapping in milliseconds, as the platform's functions do it.
    int32_t SampleToTime(int32_t stream, int32_t sample) const;
    int32_t TimeToSample(int32_t stream, int32_t timeMs) const;
    // The nearest existing sample at or before sample; -1 when none.
    int32_t FindPreviousSample(int32_t stream, int32_t sample) const;

private:
    struct TChunk {
        uint32_t Id;
        uint64_t DataOffset;
        uint32_t Size;
    };
    struct TSuperEntry {
        uint64_t Offset;
        uint32_t Size;
    };
    bool ReadChunkHeader(uint64_t offset, uint64_t end, TChunk& chunk);
    void ParseWave(uint64_t end);
    void ParseRiff(uint64_t offset, uint64_t end, bool isFirst);
    void ParseHeaderList(uint64_t offset, uint64_t end);
    void ParseStreamList(uint64_t offset, uint64_t end);
    bool ReadSuperIndexes();
    bool ReadStandardIndex(int32_t stream, const TSuperEntry& entry);
    bool ReadOldIndex();
    void ScanMovi();
    void ScanList(uint64_t offset, uint64_t end, int depth);
    // False once the index holds more entries than the file has room for
    // chunks (an index listing the same chunks over and over).
    bool AddEntry(int32_t stream, uint64_t offset, uint32_t size, bool isKey);
    int32_t StreamOfChunk(uint32_t id) const;

    std::unique_ptr<TAVISource> m_source;
    std::vector<TAVIReadStream> m_streams;
    std::vector<std::vector<TSuperEntry>> m_superIndexes;
    struct TMoviList {
        uint64_t ListOffset; // of the "movi" type code, which idx1 offsets count from
        uint64_t End;
    };
    std::vector<TMoviList> m_movi;
    TChunk m_oldIndex{0, 0, 0};
    TAVIIndexKind m_indexKind = TAVIIndexKind::Scan;
    uint64_t m_entryCount = 0;
};
