#include "interchange/region_export.h"

#include "base/exception.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

const char* const FieldNames[TEventRegion::FieldCount] = {"MinX", "MinY", "MaxX", "MaxY", "X1", "Y1",    "X2",
                                                          "Y2",   "X3",   "Y3",   "X4",   "Y4", "Camera"};

void Put32(std::vector<uint8_t>& bytes, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

QString RegionIndexFileName(const QString& dataFileName) {
    const QFileInfo info(dataFileName);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype cut = dataFileName.size() - name.size() + (dot < 0 ? name.size() : dot);
    return dataFileName.left(cut) + QStringLiteral(".index");
}

TEventRegion ReadEventRegion(const TParameters& parameters) {
    TEventRegion region;
    bool hasPerson = false;
    for (std::size_t i = 0; i < parameters.Count(); ++i) {
        const TParameter& parameter = parameters[i];
        if (parameter.Name == QStringLiteral("Person")) {
            if (!hasPerson)
                region.Person = parameter.Value;
            hasPerson = true;
            continue;
        }
        for (int field = 0; field < TEventRegion::FieldCount; ++field) {
            if (parameter.Name != QLatin1String(FieldNames[field]))
                continue;
            if (!region.Has[field]) {
                bool isNumber = false;
                const int value = parameter.Value.trimmed().toInt(&isNumber, 10);
                if (!isNumber)
                    throw TConvertError("Invalid value!");
                region.Values[field] = value;
                region.Has[field] = true;
            }
            break;
        }
    }
    return region;
}

bool RegionQualifies(int32_t eventType, const TEventRegion& region, const TRegionQuery& query) {
    using F = TEventRegion;
    return region.Has[F::Camera] && eventType == query.EventType &&
           region.Values[F::Camera] == query.Camera && region.Person == query.Person && region.Has[F::MinX] &&
           region.Has[F::MinY] && region.Has[F::MaxX] && region.Has[F::MaxY];
}

std::vector<const TEvent*> EventsAtStep(const TEvents& events, int32_t cursorIndex, int32_t time) {
    std::vector<const TEvent*> found;
    for (int32_t i = std::min<int32_t>(cursorIndex, static_cast<int32_t>(events.Count()) - 1); i >= 0; --i) {
        if (events[static_cast<std::size_t>(i)]->Time != time)
            break;
        found.push_back(events[static_cast<std::size_t>(i)]);
    }
    return found;
}

TRegionBox RegionBox(const TEventRegion& region, double sx, double sy) {
    using F = TEventRegion;
    const auto scaled = [](int32_t value, double scale) {
        return static_cast<int32_t>(std::trunc(value * scale));
    };
    const int32_t x0 = scaled(std::min(region.Values[F::MinX], region.Values[F::MaxX]), sx);
    const int32_t x1 = scaled(std::max(region.Values[F::MinX], region.Values[F::MaxX]), sx);
    const int32_t y0 = scaled(std::min(region.Values[F::MinY], region.Values[F::MaxY]), sy);
    const int32_t y1 = scaled(std::max(region.Values[F::MinY], region.Values[F::MaxY]), sy);
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

std::vector<uint8_t> RegionRecord(const TRegionPicture& picture, const TRegionBox& box) {
    std::vector<uint8_t> record;
    record.reserve(8 + static_cast<std::size_t>(box.Width) * 3 * box.Height);
    Put32(record, box.Width);
    Put32(record, box.Height);
    for (int32_t y = box.Y0 + box.Height - 1; y >= box.Y0; --y) {
        const bool isRowInside = y >= 0 && y < picture.Height;
        for (int32_t x = box.X0; x < box.X0 + box.Width; ++x) {
            if (isRowInside && x >= 0 && x < picture.Width) {
                const uint8_t* pixel =
                    picture.Pixels + static_cast<std::size_t>(y) * picture.BytesPerLine + x * 4;
                record.insert(record.end(), pixel, pixel + 3);
            } else {
                record.insert(record.end(), 3, 0);
            }
        }
    }
    return record;
}

bool TRegionExportFiles::Open(const QString& dataFileName) {
    Close();
    m_data.setFileName(dataFileName);
    if (!m_data.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    m_index.setFileName(RegionIndexFileName(dataFileName));
    if (!m_index.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_data.close();
        return false;
    }
    return true;
}

void TRegionExportFiles::Append(int32_t positionMs, const std::vector<uint8_t>& record) {
    // The index holds 32-bit offsets: a record starting past them could not be
    // found again, so the export stops instead of writing a wrapped offset.
    if (m_data.pos() > INT32_MAX)
        throw TException("Could not write file!");
    std::vector<uint8_t> entry;
    Put32(entry, positionMs);
    Put32(entry, static_cast<int32_t>(m_data.pos()));
    const auto size = static_cast<qint64>(record.size());
    if (m_index.write(reinterpret_cast<const char*>(entry.data()), 8) != 8 ||
        m_data.write(reinterpret_cast<const char*>(record.data()), size) != size)
        throw TException("Could not write file!");
}

void TRegionExportFiles::Close() {
    m_data.close();
    m_index.close();
}
