#pragma once
// Ordered name=value lists carried by events, event types and secondary keys.
//
// The model fixes no names; each consumer looks up the ones it understands
// (Camera, CenterX, ...) and ignores the rest. Order is insertion order, it is
// significant (it shows in the text form and so in equality) and duplicates
// are kept. Lists are plain values: copying an object copies its list.
//
// The text form of a list is every pair as Name "=" Value, pairs joined by
// one space, no leading or trailing space; an empty list gives empty text.
// Lists are compared by their text form.
//
// Used from the user-interface thread only, like the whole model.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

struct TParameter {
    QString Name;
    QString Value;
};

// Names to leave out of a comparison (ParametersEqualExcept).
using TParameterNames = QStringList;

class TParameters {
public:
    using const_iterator = std::vector<TParameter>::const_iterator;

    TParameters() = default;
    TParameters(std::initializer_list<TParameter> pairs) : m_pairs(pairs) {}

    // Appends a copy; duplicates are not looked for.
    void AddParameter(const TParameter& parameter);
    void AddParameter(TParameter&& parameter) { m_pairs.push_back(std::move(parameter)); }
    // Room for that many pairs without reallocating (readers that know the
    // count up front).
    void Reserve(std::size_t count) { m_pairs.reserve(count); }
    void ClearParameters();

    // The first pair whose Name equals `name` ignoring letter case (Unicode
    // case folding), or nullptr. The pointer is valid until the list changes.
    const TParameter* FindParameter(const QString& name) const;
    TParameter* FindParameter(const QString& name);

    // Reads the value of `name` as a number written with "." or "," as the
    // decimal separator: optional surrounding blanks, optional sign, digits
    // with an optional fraction, optional exponent (E or e).
    // Returns false, leaving `value` untouched, when there is no such pair.
    // Throws TConvertError when the value is not such a number or does not
    // fit a float.
    bool GetFloatParameter(const QString& name, float& value) const;

    // GetFloatParameter truncated toward zero; the value passes through
    // single precision, so magnitudes beyond 2^24 lose their lowest digits.
    // Also throws TConvertError when the number lies outside the int32 range.
    bool GetIntParameter(const QString& name, int32_t& value) const;

    // Replaces the list by the pairs of the lines "Name=Value": the name runs
    // up to the first "=", the value is the rest. Lines without "=", with an
    // empty name or with an empty value are skipped. Nothing is trimmed.
    void ParametersFromLines(const QStringList& lines);
    // Clears `lines`, then adds one "Name=Value" line per pair.
    void ParametersToLines(QStringList& lines) const;
    QString ParametersToText() const;

    std::size_t Count() const { return m_pairs.size(); }
    bool IsEmpty() const { return m_pairs.empty(); }
    const TParameter& operator[](std::size_t index) const { return m_pairs[index]; }
    TParameter& operator[](std::size_t index) { return m_pairs[index]; }
    const_iterator begin() const { return m_pairs.begin(); }
    const_iterator end() const { return m_pairs.end(); }

private:
    std::vector<TParameter> m_pairs;
};

// The text forms are equal code unit for code unit (letter case matters).
bool ParametersEqual(const TParameters& a, const TParameters& b);

// The text form of `a` sorts before that of `b` in byte-wise order of their
// UTF-8 encoding (which is Unicode code point order).
bool ParametersLess(const TParameters& a, const TParameters& b);

// ParametersEqual after leaving out, from both lists, the pairs whose Name is
// in `except` (exact, case-sensitive match). A null `except` leaves out
// nothing.
bool ParametersEqualExcept(const TParameters& a, const TParameters& b, const TParameterNames* except);
