#pragma once
// Titles: timed lines of text (transcripts, comments), kept sorted by time in
// TTitles. Time is in the project's time unit and may be negative.

#include "model/time_ordered_list.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

struct TTitle {
    TTitle(const QString& text, int32_t time) : Text(text), Time(time) {}

    QString Text;
    int32_t Time;
};

// Owns its titles. See time_ordered_list.h for order, identity and bounds.
class TTitles : public TTimeOrderedList<TTitle> {
public:
    std::size_t InsertTitle(std::unique_ptr<TTitle> title) { return Insert(std::move(title)); }
    void ClearTitles() { Clear(); }
};

// The cells of a title list row: time, text.
QStringList TitleToRow(const TTitle& title);
