#pragma once
// What every importer shares: the target it records into, reading a whole
// input file, C formatted input that ignores the process locale, and the
// number text written into parameters.
//
// Threads: the UI thread (the project is the editor's).

#include "capture/recording.h"
#include "model/project.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The project importers add to and the refreshes recording asks for. The
// timeline follows every recorded event through the project's notifications,
// but the event list is refreshed once, when the import ends (also after a failure): a list
// refill per imported event would make large imports crawl.
struct TImportTarget {
    TProject& Project;
    TCaptureHost& Host;
};

// A capture host with nothing to refresh (the converter, benchmarks).
class TSilentCaptureHost final : public TCaptureHost {
public:
    void EventListChanged() override {}
    void TitleListChanged() override {}
    void RepaintTimeline() override {}
    bool IsDrawOn() const override { return false; }
    void RepaintAll() override {}
};

// Forwards the title and timeline repaints and holds back the list refresh and the video
// repaint until Flush.
class TBatchedCaptureHost final : public TCaptureHost {
public:
    explicit TBatchedCaptureHost(TCaptureHost& host) : m_host(host) {}
    void EventListChanged() override { m_isListChanged = true; }
    void TitleListChanged() override { m_host.TitleListChanged(); }
    void RepaintTimeline() override { m_host.RepaintTimeline(); }
    bool IsDrawOn() const override { return m_host.IsDrawOn(); }
    void RepaintAll() override { m_isRepaintWanted = true; }
    // Refreshes the list (which resets its cursor) and repaints when asked.
    void Flush();

private:
    TCaptureHost& m_host;
    bool m_isListChanged = false;
    bool m_isRepaintWanted = false;
};

// Runs import against a batched host and flushes it whether or not import
// throws; the exception passes on.
template <typename F> void RunBatched(TCaptureHost& host, F&& import) {
    TBatchedCaptureHost batched(host);
    try {
        import(batched);
    } catch (...) {
        batched.Flush();
        throw;
    }
    batched.Flush();
}

// Inserts imported events, as one change of the project, in the order
// inserting them one by one would give.
void InsertImported(TProject& project, std::vector<std::unique_ptr<TEvent>> events);

// The whole file. Throws TException("Could not open file!") when it cannot
// be read.
std::string ReadInputFile(const std::string& fileName);

// A float as parameter text: the general form with up to 15 significant
// digits (of its double value) and "," as the decimal separator, whatever
// the locale: 0.5 gives 0,5 and 0.1f gives 0,100000001490116.
QString FloatParameterText(float value);

// FloatParameterText and QString::number with a memory of recent values:
// tracking results repeat their coordinates and numbers, and a shared copy
// of a text costs no allocation and no formatting.
class TNumberTexts {
public:
    const QString& Float(float value);
    const QString& Int(int32_t value);

private:
    static constexpr std::size_t Size = 4096;
    struct TFloatEntry {
        uint32_t Bits = 0;
        bool IsSet = false;
        QString Text;
    };
    struct TIntEntry {
        int32_t Value = 0;
        bool IsSet = false;
        QString Text;
    };
    std::vector<TFloatEntry> m_floats = std::vector<TFloatEntry>(Size);
    std::vector<TIntEntry> m_ints = std::vector<TIntEntry>(Size);
};

// UTF-8 texts to QString with a memory of recent ones (parameter names and
// values repeat over thousands of records); bounded, unlike TTextCache.
class TRecentTexts {
public:
    const QString& Text(std::string_view utf8);

private:
    static constexpr std::size_t Size = 4096;
    struct TEntry {
        std::string Key;
        bool IsSet = false;
        QString Text;
    };
    std::vector<TEntry> m_entries = std::vector<TEntry>(Size);
};

// A hash for the short names and values records repeat, far cheaper than
// the standard one on a few bytes; longer texts take the standard one.
inline std::size_t ShortTextHash(std::string_view text) {
    if (text.size() > 32)
        return std::hash<std::string_view>{}(text);
    uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    // The multiplication carries only upward: fold the high bits into the
    // low ones that pick a slot.
    return static_cast<std::size_t>(hash ^ (hash >> 29));
}

// Event types by UTF-8 name (EnsureEventType once per name) for readers
// that meet the same few names record after record, mostly the previous
// record's.
class TTypesByName {
public:
    explicit TTypesByName(TProject& project) : m_project(project) {}
    int32_t TypeOf(std::string_view utf8Name);

private:
    struct THash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return ShortTextHash(text); }
    };

    TProject& m_project;
    std::unordered_map<std::string, int32_t, THash, std::equal_to<>> m_types;
    std::string_view m_lastName; // a key of m_types
    int32_t m_lastType = -1;
};

// Reads text the way the C formatted-input functions do in the "C" locale:
// white space, optional sign, digits, "." as decimal separator. Integers
// outside the int32 range are refused rather than wrapped.
class TCScanner {
public:
    explicit TCScanner(std::string_view text) : m_text(text) {}

    bool AtEnd() const {
        const bool isAtEnd = m_position >= m_text.size();
        m_isEndSeen |= isAtEnd;
        return isAtEnd;
    }
    // The next character, or -1 at the end.
    int Peek() const { return AtEnd() ? -1 : static_cast<unsigned char>(m_text[m_position]); }
    int Get() { return AtEnd() ? -1 : static_cast<unsigned char>(m_text[m_position++]); }
    void Unget() { --m_position; }
    // Any amount of white space (a blank in a scanf pattern).
    void SkipSpace();
    // %d and %f: leading white space, then the number; nullopt when no number
    // starts there (the position is then after the white space).
    std::optional<int32_t> ReadInt();
    std::optional<float> ReadFloat();
    // A literal character of a pattern: consumed only when it is next.
    bool Match(char c);
    // "%[^stop]" followed by the stop character: the characters before the
    // next `stop`, which is consumed; nullopt when a line end or the end of
    // the text comes first (consumed as well).
    std::optional<std::string_view> ReadUntil(char stop);
    // Up to and including the next line end; false when the text ends
    // first.
    bool SkipLine();
    std::size_t Position() const { return m_position; }
    // Whether a read since ForgetEnd looked at the end of the text (for
    // text read in blocks: what it found may change with the next block's
    // characters).
    bool HasSeenEnd() const { return m_isEndSeen; }
    void ForgetEnd() { m_isEndSeen = false; }

private:
    std::size_t NumberEnd(std::size_t start, bool allowFraction) const;
    std::optional<int32_t> ReadIntAnyForm();
    std::optional<float> ReadFloatAnyForm();

    std::string_view m_text;
    std::size_t m_position = 0;
    mutable bool m_isEndSeen = false;
};

// Decimal number with "." as separator as the C conversion functions read it:
// leading blanks, sign, digits, fraction, exponent; trailing text is ignored
// and text without a number reads as 0.
double CTextToDouble(std::string_view text);

// The time in milliseconds for `ms` (already scaled), truncated toward zero;
// nullopt when it is not a number or does not fit an int32.
std::optional<int32_t> TruncatedTime(double ms);

constexpr bool IsCSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
