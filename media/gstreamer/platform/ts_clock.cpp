#include "media/gstreamer/platform/ts_clock.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr size_t PacketBytes = 188;
constexpr uint8_t SyncByte = 0x47;
constexpr size_t EndBytes = 1 << 20; // read at each end of the file

// The packet size (188, or 192 with a timecode before each packet) and the
// offset of the first sync byte; size 0 when bytes hold no transport stream.
size_t PacketLayout(const std::vector<uint8_t>& bytes, size_t& first) {
    for (const size_t size : {PacketBytes, PacketBytes + 4})
        for (first = 0; first < size && first + 3 * size < bytes.size(); ++first)
            if (bytes[first] == SyncByte && bytes[first + size] == SyncByte &&
                bytes[first + 2 * size] == SyncByte)
                return size;
    return 0;
}

int64_t ReadTime(const uint8_t* field) {
    return (static_cast<int64_t>(field[0] >> 1 & 7) << 30) | (static_cast<int64_t>(field[1]) << 22) |
           (static_cast<int64_t>(field[2] >> 1) << 15) | (static_cast<int64_t>(field[3]) << 7) |
           (field[4] >> 1);
}

std::vector<uint8_t> ReadRange(std::FILE* file, long from, size_t count) {
    std::vector<uint8_t> bytes(count);
    if (std::fseek(file, from, SEEK_SET) != 0)
        return {};
    bytes.resize(std::fread(bytes.data(), 1, count, file));
    return bytes;
}

} // namespace

std::vector<int64_t> TransportStreamTimes(const std::vector<uint8_t>& bytes, int& pid) {
    std::vector<int64_t> times;
    size_t first = 0;
    const size_t size = PacketLayout(bytes, first);
    if (size == 0)
        return times;
    for (size_t at = first; at + PacketBytes <= bytes.size(); at += size) {
        const uint8_t* packet = bytes.data() + at;
        if (packet[0] != SyncByte || (packet[1] & 0x40) == 0)
            continue; // lost sync, or no PES packet starts here
        const int packetPid = (packet[1] & 0x1F) << 8 | packet[2];
        const int adaptation = packet[3] >> 4 & 3;
        size_t payload = 4;
        if (adaptation == 2)
            continue;
        if (adaptation == 3)
            payload += 1 + packet[4];
        if (payload + 14 > PacketBytes)
            continue;
        const uint8_t* pes = packet + payload;
        const bool isElementary =
            pes[0] == 0 && pes[1] == 0 && pes[2] == 1 && pes[3] >= 0xBD && pes[3] <= 0xEF;
        if (!isElementary || (pes[7] & 0x80) == 0 || (pid >= 0 && packetPid != pid))
            continue;
        pid = packetPid;
        times.push_back(ReadTime(pes + 9));
    }
    return times;
}

bool TransportStreamWraps(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::fseek(file, 0, SEEK_END);
    const long length = std::ftell(file);
    const std::vector<uint8_t> head = ReadRange(file, 0, EndBytes);
    const std::vector<uint8_t> tail =
        ReadRange(file, std::max<long>(0, length - static_cast<long>(EndBytes)), EndBytes);
    std::fclose(file);
    int pid = -1;
    std::vector<int64_t> times = TransportStreamTimes(head, pid);
    if (length > static_cast<long>(EndBytes)) {
        const std::vector<int64_t> end = TransportStreamTimes(tail, pid);
        times.insert(times.end(), end.begin(), end.end());
    }
    // Pictures leave in decoding order, so times step back a little now and
    // then; a wrap steps back by nearly the whole clock.
    constexpr int64_t HalfClock = int64_t{1} << 32;
    for (size_t i = 1; i < times.size(); ++i)
        if (times[i] + HalfClock < times[i - 1])
            return true;
    return false;
}
