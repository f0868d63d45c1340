#include "interchange/import_support.h"

#include "base/exception.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
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
    const TEvents& existing = project.Events();
    int32_t last = existing.IsEmpty() ? INT32_MIN : existing[existing.Count() - 1]->Time;
    bool isAppend = true;
    for (const auto& event : events) {
        if (!event || event->Time < last) {
            isAppend = false;
            break;
        }
        last = event->Time;
    }
    if (!isAppend) {
        project.InsertEvents(std::move(events));
        return;
    }
    for (auto& event : events)
        project.InsertEvent(std::move(event));
}

std::string ReadInputFile(const std::string& fileName) {
    std::unique_ptr<std::FILE, TFileClose> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        throw TException("Could not open file!");
    std::string bytes;
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

void TCScanner::SkipSpace() {
    while (!AtEnd() && IsCSpace(Peek()))
        ++m_position;
}

// Where the number starting at `start` (optional sign already allowed) ends;
// `start` itself when there is none.
std::size_t TCScanner::NumberEnd(std::size_t start, bool allowFraction) const {
    const auto at = [this](std::size_t i) {
        return i < m_text.size() ? static_cast<unsigned char>(m_text[i]) : 0;
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

std::optional<int32_t> TCScanner::ReadInt() {
    SkipSpace();
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

std::optional<float> TCScanner::ReadFloat() {
    SkipSpace();
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
