#pragma once
// The media backend registry: creates backends by id and opens files for
// reading by trying them in the user's order. The order table is the one
// process-wide state of the media library.
//
// Backend ids: 0 TAVIFile "Video for Windows file input and output",
// 1 TDSFile "DirectShow file input", 2 TFFFile "FFmpeg file input and output",
// 3 TBMPFile "BMP file input and output". Ids 4-9 are valid order slots that
// create nothing. A backend that is not built creates nothing either.
//
// Threads: the UI thread only.

#include "media/av_file.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TAVFileDevice {
    int32_t Id;
    std::string Description;
};
using TAVFileDeviceList = std::vector<TAVFileDevice>;

// A new backend owned by the caller, or nullptr for an id that creates none.
std::unique_ptr<TAVFile> CreateBackend(int32_t id);

// (id, description) of every backend that exists, in ascending id order.
TAVFileDeviceList ListBackends();

// Opens fileName for reading with the backends in the user's order; streams is
// TAVFile::StreamVideo | TAVFile::StreamAudio. Returns nullptr when nothing
// opens it. An exception escaping a backend's Open passes to the caller.
std::unique_ptr<TAVFile> OpenMedia(const std::string& fileName, int32_t streams);

// What the media libraries print on stderr: Quiet only fatal failures,
// Errors also decoding errors, Verbose also their notes. Set once at start-up
// (the libraries keep one process-wide level); until then they print what
// they print by default.
enum class TMediaLogging { Quiet, Errors, Verbose };
void SetMediaLibraryLogging(TMediaLogging logging);

// Index 0-9 of the first slot holding id, or -1.
int32_t GetBackendPosition(int32_t id);
// Moves id to position (0-9); a negative position or one of 10 or more only
// removes it. Returns position, or for a negative position the former index
// (10 when the id was absent).
int32_t SetBackendPosition(int32_t id, int32_t position);
// Identity order 0..9.
void ResetBackendOrder();

// The same search with another source of backends (tests). factory(id) returns
// a new backend or nullptr; it is asked only for ids the order holds.
using TBackendFactory = std::function<std::unique_ptr<TAVFile>(int32_t)>;
std::unique_ptr<TAVFile> OpenMedia(const std::string& fileName, int32_t streams,
                                   const TBackendFactory& factory);

// Back to the start-up state: no order set, so everything behaves as if the
// order were the identity until the first Get/SetBackendPosition. For test
// fixtures.
void UninitialiseBackendOrder();
