#pragma once
// Converts interleaved signed 16-bit PCM between channel counts and rates
// (libswresample; more channels than the output has are mixed down, never
// dropped) and, optionally, changes its tempo while keeping its pitch
// (libavfilter's atempo, chained for factors outside 0.5-2).
//
// The converter keeps state between calls: feed it consecutive blocks of
// one stream. Threads: one thread at a time.
//
// Errors: the constructor throws TException "Could not convert audio!" when
// the libraries refuse the formats; Convert returns false on a library error.

#include <cstdint>
#include <memory>
#include <vector>

struct TAudioConversion {
    int InChannels = 0;
    int InRate = 0;
    int OutChannels = 0;
    int OutRate = 0;
    double Tempo = 1; // > 1 plays faster; 1: no tempo change
};

// The atempo factors (each within 0.5-2) whose product is tempo.
std::vector<double> TempoChain(double tempo);

class TAudioConverter {
public:
    explicit TAudioConverter(const TAudioConversion& conversion);
    ~TAudioConverter();
    TAudioConverter(const TAudioConverter&) = delete;
    TAudioConverter& operator=(const TAudioConverter&) = delete;

    // Converts `frames` sample frames and replaces `out` with what came out
    // (filters hold a little back; it comes out with later blocks).
    bool Convert(const uint8_t* in, int frames, std::vector<uint8_t>& out);
    // Drops whatever the filters hold (after a reset of the device).
    void Flush();

private:
    struct TImpl;
    std::unique_ptr<TImpl> m_impl;
};
