#pragma once
// Our writer of AVI files. The first RIFF "AVI " holds the headers, a "movi"
// list and an "idx1" index; once it would grow past the boundary (1 GiB by
// default) further data go into RIFF "AVIX" extensions, and every stream gets
// an OpenDML super index ("indx") over one standard index ("ix##") per RIFF,
// so long recordings pass the 1 GB / 2 GB limits of the old format. The
// headers ("avih", "strh" lengths, "indx", "dmlh") are completed by Close; a
// file not closed has a valid first RIFF only up to what was flushed.
//
// Errors: TAVIFormatError for anything the file system refuses.

#include "media/avi/platform/avi_riff.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class TAVIWriter {
public:
    static constexpr uint64_t DefaultRiffBoundary = uint64_t{1} << 30;

    // Creates (truncates) the file.
    explicit TAVIWriter(const std::string& path, uint64_t riffBoundary = DefaultRiffBoundary);
    ~TAVIWriter();
    TAVIWriter(const TAVIWriter&) = delete;
    TAVIWriter& operator=(const TAVIWriter&) = delete;

    // Streams are added before the first Write. The header's dwLength and
    // dwSuggestedBufferSize are filled in by Close.
    int32_t AddStream(const TAVIStreamHeader& header);
    void SetFormat(int32_t stream, const std::vector<uint8_t>& format);
    // One chunk of samples (a video frame, or whole audio blocks).
    void Write(int32_t stream, const uint8_t* data, uint32_t bytes, uint32_t samples, bool isKey);
    // Completes the headers and indexes; the writer is finished afterwards.
    void Close();

    // How many RIFF lists the file has so far (1 + the AVIX extensions).
    int32_t RiffCount() const { return static_cast<int32_t>(m_riffs.size()); }

private:
    struct TEntry {
        uint64_t Offset; // of the chunk header
        uint32_t Size;
        bool IsKey;
    };
    struct TStream {
        TAVIStreamHeader Header{};
        std::vector<uint8_t> Format;
        uint64_t IndxOffset = 0;            // of the indx chunk in the header
        std::vector<TEntry> Pending;        // entries of the current RIFF
        std::vector<uint64_t> SuperOffsets; // ix## chunks written so far
        std::vector<uint32_t> SuperSizes;
        std::vector<uint32_t> SuperDurations;
        uint64_t Samples = 0;
        uint32_t LargestChunk = 0;
        uint32_t FirstRiffSamples = 0;
    };
    struct TRiff {
        uint64_t Offset;
        uint64_t MoviOffset; // of the movi LIST header
    };

    void WriteHeaders();
    void BeginRiff(bool isFirst);
    void EndRiff();
    void WriteStandardIndexes();
    void WriteOldIndex();
    uint32_t ChunkId(int32_t stream, bool isIndex) const;

    void Put(const void* data, size_t bytes);
    void Put8(uint8_t value);
    void Put32(uint32_t value);
    void Put16(uint16_t value);
    void Put64(uint64_t value);
    uint64_t Tell();
    void SeekTo(uint64_t offset);
    void Patch32(uint64_t offset, uint32_t value);

    std::FILE* m_file = nullptr;
    std::string m_path;
    uint64_t m_boundary;
    std::vector<TStream> m_streams;
    std::vector<TRiff> m_riffs;
    std::vector<TEntry> m_oldIndex; // first RIFF, all streams, in file order
    std::vector<int32_t> m_oldIndexStreams;
    uint64_t m_avihOffset = 0;
    uint64_t m_dmlhOffset = 0;
    bool m_hasStarted = false;
    bool m_isClosed = false;
};
