#pragma once
// Equality of names ignoring letter case, as types and parameters are looked
// up: QString::compare with Qt::CaseInsensitive (Unicode simple case folding).

#include <QString>

// Simple case folding never moves a character between the basic and the
// supplementary planes (checked against Qt 6.4's tables), so names equal
// ignoring case have equal UTF-16 lengths: comparing lengths first rejects
// most names without folding a character.
inline bool SameTextIgnoringCase(const QString& a, const QString& b) {
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}
