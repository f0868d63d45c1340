#include "model/parameters.h"

#include "base/exception.h"
#include "model/text_compare.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>
#include <utility>

namespace {

// Walks the text form of a list one UTF-16 code unit at a time without
// building it, so comparisons (frequent on the timeline and when recording)
// allocate nothing.
class TTextFormReader {
public:
    TTextFormReader(const TParameters& list, const TParameterNames* except)
        : m_list(list), m_except(except) {}

    // False at the end of the text form; otherwise Current() is valid.
    bool Fill() {
        while (m_position >= m_segment.size())
            if (!NextSegment())
                return false;
        return true;
    }
    char16_t Current() const { return m_segment[m_position].unicode(); }
    void Advance() { ++m_position; }

private:
    bool IsLeftOut(const TParameter& pair) const {
        return m_except && m_except->contains(pair.Name, Qt::CaseSensitive);
    }

    bool NextSegment() {
        m_position = 0;
        switch (m_part) {
        case Part::Separator:
            while (m_pair < m_list.Count() && IsLeftOut(m_list[m_pair]))
                ++m_pair;
            if (m_pair >= m_list.Count())
                return false;
            m_segment = m_isFirst ? QStringView() : QStringView(u" ");
            m_isFirst = false;
            m_part = Part::Name;
            return true;
        case Part::Name:
            m_segment = m_list[m_pair].Name;
            m_part = Part::Equals;
            return true;
        case Part::Equals:
            m_segment = u"=";
            m_part = Part::Value;
            return true;
        case Part::Value:
            m_segment = m_list[m_pair].Value;
            m_part = Part::Separator;
            ++m_pair;
            return true;
        }
        return false;
    }

    enum class Part { Separator, Name, Equals, Value };

    const TParameters& m_list;
    const TParameterNames* m_except;
    std::size_t m_pair = 0;
    Part m_part = Part::Separator;
    QStringView m_segment;
    qsizetype m_position = 0;
    bool m_isFirst = true;
};

// UTF-16 code units sort surrogates (D800-DFFF) before E000-FFFF, while code
// points (and UTF-8 bytes) sort them after; shift both ranges to agree.
int CodePointOrderKey(char16_t unit) {
    if (unit >= 0xE000)
        return unit - 0x800;
    if (unit >= 0xD800)
        return unit + 0x2000;
    return unit;
}

int CompareTextForms(const TParameters& a, const TParameters& b, const TParameterNames* except) {
    TTextFormReader left(a, except);
    TTextFormReader right(b, except);
    for (;;) {
        const bool hasLeft = left.Fill();
        const bool hasRight = right.Fill();
        if (!hasLeft || !hasRight)
            return hasLeft ? 1 : (hasRight ? -1 : 0);
        if (left.Current() != right.Current())
            return CodePointOrderKey(left.Current()) < CodePointOrderKey(right.Current()) ? -1 : 1;
        left.Advance();
        right.Advance();
    }
}

[[noreturn]] void ThrowNotANumber(const QString& text) {
    throw TConvertError("'" + text.toStdString() + "' is not a valid number!");
}

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Checks the accepted number syntax and returns the number in the form
// std::from_chars takes ("." separator, no leading "+"). Throws otherwise.
// `decimalMagnitude` is the power of ten of the leading significant digit
// plus one (0 for 0.5, 2 for 12): out-of-range numbers with a magnitude of
// at most zero are too small rather than too large.
std::string NormalizedNumber(const QString& text, int64_t& decimalMagnitude) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;

    std::string number;
    qsizetype i = begin;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            number += '-';
        ++i;
    }
    int64_t integerDigits = 0;
    int64_t leadingFractionZeros = 0;
    int64_t digitCount = 0;
    for (; i < end && IsDigit(text[i]); ++i, ++digitCount) {
        if (text[i] != u'0' || integerDigits > 0)
            ++integerDigits;
        number += static_cast<char>(text[i].unicode());
    }
    if (i < end && (text[i] == u',' || text[i] == u'.')) {
        number += '.';
        bool isLeadingZero = integerDigits == 0;
        for (++i; i < end && IsDigit(text[i]); ++i, ++digitCount) {
            isLeadingZero = isLeadingZero && text[i] == u'0';
            if (isLeadingZero)
                ++leadingFractionZeros;
            number += static_cast<char>(text[i].unicode());
        }
    }
    if (digitCount == 0)
        ThrowNotANumber(text);
    int64_t exponent = 0;
    if (i < end && (text[i] == u'e' || text[i] == u'E')) {
        number += 'e';
        ++i;
        bool isNegative = false;
        if (i < end && (text[i] == u'+' || text[i] == u'-')) {
            isNegative = text[i] == u'-';
            number += static_cast<char>(text[i].unicode());
            ++i;
        }
        const qsizetype exponentBegin = i;
        for (; i < end && IsDigit(text[i]); ++i) {
            number += static_cast<char>(text[i].unicode());
            exponent = std::min<int64_t>(exponent * 10 + (text[i].unicode() - u'0'), 1'000'000'000);
        }
        if (i == exponentBegin)
            ThrowNotANumber(text);
        if (isNegative)
            exponent = -exponent;
    }
    if (i != end)
        ThrowNotANumber(text);
    decimalMagnitude = (integerDigits > 0 ? integerDigits : -leadingFractionZeros) + exponent;
    return number;
}

template <typename TNumber> TNumber ParseNumber(const QString& text) {
    int64_t decimalMagnitude = 0;
    const std::string number = NormalizedNumber(text, decimalMagnitude);
    TNumber value = 0;
    const auto [last, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range && decimalMagnitude <= 0)
        return number.front() == '-' ? -TNumber(0) : TNumber(0);
    if (error != std::errc() || last != number.data() + number.size())
        ThrowNotANumber(text);
    return value;
}

float ParseFloat(const QString& text) {
    return ParseNumber<float>(text);
}

} // namespace

void TParameters::AddParameter(const TParameter& parameter) {
    m_pairs.push_back(parameter);
}

void TParameters::ClearParameters() {
    m_pairs.clear();
}

const TParameter* TParameters::FindParameter(const QString& name) const {
    for (const auto& pair : m_pairs)
        if (SameTextIgnoringCase(pair.Name, name))
            return &pair;
    return nullptr;
}

TParameter* TParameters::FindParameter(const QString& name) {
    return const_cast<TParameter*>(std::as_const(*this).FindParameter(name));
}

bool TParameters::GetFloatParameter(const QString& name, float& value) const {
    const TParameter* pair = FindParameter(name);
    if (!pair)
        return false;
    value = ParseFloat(pair->Value);
    return true;
}

bool TParameters::GetIntParameter(const QString& name, int32_t& value) const {
    float number = 0;
    if (!GetFloatParameter(name, number))
        return false;
    // The range is judged on the text itself: near the int32 ends a float
    // cannot tell 2147483647 (valid) from 2147483648 (not), both read 2^31.
    const double exact = std::trunc(ParseNumber<double>(FindParameter(name)->Value));
    if (!(exact >= double(INT32_MIN) && exact <= double(INT32_MAX)))
        ThrowNotANumber(FindParameter(name)->Value);
    if (number >= 2147483648.0f) {
        value = INT32_MAX;
        return true;
    }
    value = static_cast<int32_t>(number);
    return true;
}

void TParameters::ParametersFromLines(const QStringList& lines) {
    m_pairs.clear();
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || equals == line.size() - 1)
            continue;
        m_pairs.push_back({line.left(equals), line.mid(equals + 1)});
    }
}

void TParameters::ParametersToLines(QStringList& lines) const {
    lines.clear();
    lines.reserve(static_cast<qsizetype>(m_pairs.size()));
    for (const auto& pair : m_pairs)
        lines.append(pair.Name + u'=' + pair.Value);
}

QString TParameters::ParametersToText() const {
    QString text;
    for (const auto& pair : m_pairs) {
        if (!text.isEmpty())
            text += u' ';
        text += pair.Name + u'=' + pair.Value;
    }
    return text;
}

bool ParametersEqual(const TParameters& a, const TParameters& b) {
    return CompareTextForms(a, b, nullptr) == 0;
}

bool ParametersLess(const TParameters& a, const TParameters& b) {
    return CompareTextForms(a, b, nullptr) < 0;
}

bool ParametersEqualExcept(const TParameters& a, const TParameters& b, const TParameterNames* except) {
    return CompareTextForms(a, b, except) == 0;
}
