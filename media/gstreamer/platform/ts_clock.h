#pragma once
// The 33-bit presentation clock of an MPEG transport stream (also with the
// 4-byte prefix of M2TS), read straight from the file's bytes.

#include <cstdint>
#include <string>
#include <vector>

// The presentation times (90 kHz) of the PES packets in bytes, in file order,
// of the stream pid; with pid -1, of the first elementary stream that carries
// them, whose pid is then stored.
std::vector<int64_t> TransportStreamTimes(const std::vector<uint8_t>& bytes, int& pid);

// Whether the clock wraps past 2^33 between the start and the end of the
// file: GStreamer's demuxer reads such a file in order but labels pictures
// after the wrap with wrong times once it has sought there. False when the
// file holds no transport stream or no times.
bool TransportStreamWraps(const std::string& path);
