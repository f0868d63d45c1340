#include "interchange/import_support.h"

#include "base/exception.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>

namespace {

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

struct TFileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

void TBatchedCaptureHost::Flush() {
    if (m_isListChanged)
        m_host.EventListChanged();
    if (m_isRepaintWanted)
        m_host.RepaintAll();
    m_isListChanged = false;
    m_isRepaintWanted = false;
}

void InsertImported(TProject& project, std::vector<std::unique_ptr<TEvent>> events) {
    // One change for the whole file: one step to take back and one journal
    // record, where inserting one by one would record a change per event.
    project.InsertEvents(std::move(events));
}

std::string ReadInputFile(const std::string& fileName) {
    std::unique_ptr<std::FILE, TFileClose> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        throw TException("Could not open file!");
    std::string bytes;
    // Growing by doubling would copy a large file about twice over and fault
    // in twice its size; a regular file says its size up front.
    std::error_code sizeError;
    const auto fileBytes = std::filesystem::file_size(fileName, sizeError);
    if (!sizeError)
        bytes.reserve(static_cast<std::size_t>(fileBytes));
    char block[65536];
    std::size_t count;
    while ((count = std::fread(block, 1, sizeof block, file.get())) > 0)
        bytes.append(block, count);
    // A folder opens but cannot be read.
    if (std::ferror(file.get()))
        throw TException("Could not open file!");
    return bytes;
}

QString FloatParameterText(float value) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, static_cast<double>(value), std::chars_format::general, 15);
    for (char* c = text; c != result.ptr; ++c)
        if (*c == '.')
            *c = ',';
    return QString::fromLatin1(text, result.ptr - text);
}

const QString& TNumberTexts::Float(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    TFloatEntry& entry = m_floats[(bits ^ (bits >> 13) ^ (bits >> 22)) % Size];
    if (!entry.IsSet || entry.Bits != bits) {
        entry.Bits = bits;
        entry.IsSet = true;
        entry.Text = FloatParameterText(value);
    }
    return entry.Text;
}

const QString& TNumberTexts::Int(int32_t value) {
    TIntEntry& entry = m_ints[static_cast<uint32_t>(value) % Size];
    if (!entry.IsSet || entry.Value != value) {
        entry.Value = value;
        entry.IsSet = true;
        entry.Text = QString::number(value);
    }
    return entry.Text;
}

const QString& TRecentTexts::Text(std::string_view utf8) {
    TEntry& entry = m_entries[ShortTextHash(utf8) % Size];
    if (!entry.IsSet || entry.Key != utf8) {
        entry.Key.assign(utf8);
        entry.IsSet = true;
        entry.Text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    }
    return entry.Text;
}

int32_t TTypesByName::TypeOf(std::string_view utf8Name) {
    if (m_lastType >= 0 && utf8Name == m_lastName)
        return m_lastType;
    auto found = m_types.find(utf8Name);
    if (found == m_types.end()) {
        const QString name = QString::fromUtf8(utf8Name.data(), static_cast<qsizetype>(utf8Name.size()));
        found = m_types.emplace(utf8Name, m_project.EnsureEventType(name)).first;
    }
    m_lastName = found->first;
    m_lastType = found->second;
    return m_lastType;
}

void TCScanner::SkipSpace() {
    while (!AtEnd() && IsCSpace(Peek()))
        ++m_position;
}

// Where the number starting at `start` (optional sign already allowed) ends;
// `start` itself when there is none.
std::size_t TCScanner::NumberEnd(std::size_t start, bool allowFraction) const {
    const auto at = [this](std::size_t i) {
        if (i < m_text.size())
            return static_cast<int>(static_cast<unsigned char>(m_text[i]));
        m_isEndSeen = true;
        return 0;
    };
    std::size_t i = start;
    if (at(i) == '+' || at(i) == '-')
        ++i;
    const std::size_t digitsStart = i;
    while (IsDigit(at(i)))
        ++i;
    std::size_t digitCount = i - digitsStart;
    if (allowFraction && at(i) == '.') {
        std::size_t j = i + 1;
        while (IsDigit(at(j)))
            ++j;
        digitCount += j - i - 1;
        if (digitCount > 0)
            i = j;
    }
    if (digitCount == 0)
        return start;
    if (allowFraction && (at(i) == 'e' || at(i) == 'E')) {
        std::size_t j = i + 1;
        if (at(j) == '+' || at(j) == '-')
            ++j;
        if (IsDigit(at(j))) {
            while (IsDigit(at(j)))
                ++j;
            i = j;
        }
    }
    return i;
}

// Tracking results are nearly all short unsigned numbers: those convert in
// the one pass that finds their end. Up to nine digits cannot leave the
// int32 range.
std::optional<int32_t> TCScanner::ReadInt() {
    SkipSpace();
    const char* const begin = m_text.data() + m_position;
    const char* const end = m_text.data() + m_text.size();
    const char* c = begin;
    int32_t value = 0;
    while (c != end && c - begin < 9 && IsDigit(static_cast<unsigned char>(*c)))
        value = value * 10 + (*c++ - '0');
    m_isEndSeen |= c == end;
    if (c == begin || (c != end && IsDigit(static_cast<unsigned char>(*c))))
        return ReadIntAnyForm();
    m_position += static_cast<std::size_t>(c - begin);
    return value;
}

std::optional<int32_t> TCScanner::ReadIntAnyForm() {
    const std::size_t end = NumberEnd(m_position, false);
    if (end == m_position)
        return std::nullopt;
    std::size_t begin = m_position;
    if (m_text[begin] == '+')
        ++begin;
    int32_t value = 0;
    const auto result = std::from_chars(m_text.data() + begin, m_text.data() + end, value);
    if (result.ec != std::errc() || result.ptr != m_text.data() + end)
        return std::nullopt;
    m_position = end;
    return value;
}

// Digits with an optional fraction and no exponent, whose digits make an
// integer of at most 2^24 with at most ten of them after the point, divide
// exactly representable floats once: IEEE division rounds that quotient
// correctly, so it is the value the full conversion finds.
std::optional<float> TCScanner::ReadFloat() {
    static constexpr float PowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                            1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    static constexpr uint32_t LargestExact = 1u << 24;
    SkipSpace();
    const char* const begin = m_text.data() + m_position;
    const char* const end = m_text.data() + m_text.size();
    const char* c = begin;
    uint32_t digits = 0;
    int digitCount = 0;
    int fractionCount = -1;
    for (; c != end; ++c) {
        if (IsDigit(static_cast<unsigned char>(*c))) {
            digits = digits * 10 + static_cast<uint32_t>(*c - '0');
            ++digitCount;
            if (fractionCount >= 0)
                ++fractionCount;
            if (digits > LargestExact || fractionCount > 10)
                return ReadFloatAnyForm();
        } else if (*c == '.' && fractionCount < 0) {
            fractionCount = 0;
        } else {
            break;
        }
    }
    m_isEndSeen |= c == end;
    if (digitCount == 0 || (c != end && (*c == 'e' || *c == 'E')))
        return ReadFloatAnyForm();
    m_position += static_cast<std::size_t>(c - begin);
    return static_cast<float>(digits) / PowersOfTen[std::max(fractionCount, 0)];
}

std::optional<float> TCScanner::ReadFloatAnyForm() {
    const std::size_t end = NumberEnd(m_position, true);
    if (end == m_position)
        return std::nullopt;
    std::size_t begin = m_position;
    if (m_text[begin] == '+')
        ++begin;
    float value = 0;
    const auto result =
        std::from_chars(m_text.data() + begin, m_text.data() + end, value, std::chars_format::general);
    m_position = end;
    if (result.ec == std::errc::result_out_of_range) {
        // strtof's answer: infinity for an overflow, the nearest float (0 or
        // a denormal) for an underflow.
        double wide = 0;
        std::from_chars(m_text.data() + begin, m_text.data() + end, wide, std::chars_format::general);
        if (std::fabs(wide) > std::numeric_limits<float>::max())
            return wide < 0 ? -std::numeric_limits<float>::infinity()
                            : std::numeric_limits<float>::infinity();
        return static_cast<float>(wide);
    }
    return value;
}

bool TCScanner::Match(char c) {
    if (AtEnd() || m_text[m_position] != c)
        return false;
    ++m_position;
    return true;
}

std::optional<std::string_view> TCScanner::ReadUntil(char stop) {
    const std::size_t begin = m_position;
    for (std::size_t i = begin; i < m_text.size(); ++i) {
        if (m_text[i] == stop) {
            m_position = i + 1;
            return m_text.substr(begin, i - begin);
        }
        if (m_text[i] == '\n') {
            m_position = i + 1;
            return std::nullopt;
        }
    }
    m_position = m_text.size();
    m_isEndSeen = true;
    return std::nullopt;
}

bool TCScanner::SkipLine() {
    const std::size_t lineEnd = m_text.find('\n', m_position);
    m_isEndSeen |= lineEnd == std::string_view::npos;
    m_position = lineEnd == std::string_view::npos ? m_text.size() : lineEnd + 1;
    return lineEnd != std::string_view::npos;
}

double CTextToDouble(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(static_cast<unsigned char>(text[i])))
        ++i;
    bool isNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        isNegative = text[i++] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return 0;
    double value = 0;
    const auto result =
        std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument)
        return 0;
    if (result.ec == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::infinity();
    return isNegative ? -value : value;
}

std::optional<int32_t> TruncatedTime(double ms) {
    if (!std::isfinite(ms))
        return std::nullopt;
    const double truncated = std::trunc(ms);
    if (truncated < std::numeric_limits<int32_t>::min() || truncated > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(truncated);
}
