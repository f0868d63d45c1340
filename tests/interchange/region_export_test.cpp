// The region export's records, rectangles and choice of events.
#include "interchange/region_export.h"

#include "base/exception.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstring>

namespace {

TParameters Params(const QStringList& lines) {
    TParameters parameters;
    parameters.ParametersFromLines(lines);
    return parameters;
}

// A picture whose pixel (x, y) is blue x, green y, red 7.
std::vector<uint8_t> Picture(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = 7, p[3] = 0xFF;
        }
    return pixels;
}

int32_t Get32(const uint8_t* p) {
    int32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

TEST(RegionExport, TheExampleRegionIsTenRowsFromFourteenDownToFive) {
    for (const QStringList& corners : {QStringList{"MinX=10", "MaxX=19", "MinY=5", "MaxY=14"},
                                       QStringList{"MinX=19", "MaxX=10", "MinY=14", "MaxY=5"}}) {
        const TEventRegion region = ReadEventRegion(Params(corners));
        const TRegionBox box = RegionBox(region, 1.0, 1.0);
        const std::vector<uint8_t> pixels = Picture(64, 32);
        const std::vector<uint8_t> record = RegionRecord({pixels.data(), 64, 32, 64 * 4}, box);
        ASSERT_EQ(record.size(), 308u);
        EXPECT_EQ(Get32(&record[0]), 10);
        EXPECT_EQ(Get32(&record[4]), 10);
        for (int row = 0; row < 10; ++row)
            for (int x = 0; x < 10; ++x) {
                const uint8_t* p = &record[8 + row * 30 + x * 3];
                EXPECT_EQ(p[0], 10 + x);
                EXPECT_EQ(p[1], 14 - row) << "rows run from 14 down to 5";
                EXPECT_EQ(p[2], 7);
            }
    }
}

TEST(RegionExport, CornersScaleToThePictureAndPixelsOutsideItAreBlack) {
    const TEventRegion region = ReadEventRegion(Params({"MinX=3", "MaxX=5", "MinY=1", "MaxY=2"}));
    const TRegionBox box = RegionBox(region, 2.0, 1.5);
    EXPECT_EQ(box.X0, 6);
    EXPECT_EQ(box.Width, 5);
    EXPECT_EQ(box.Y0, 1);
    EXPECT_EQ(box.Height, 3 - 1 + 1);
    const std::vector<uint8_t> pixels = Picture(8, 4);
    const std::vector<uint8_t> record = RegionRecord({pixels.data(), 8, 4, 32}, box);
    ASSERT_EQ(record.size(), 8u + 5 * 3 * 3);
    EXPECT_EQ(record[8 + 1 * 3], 7) << "x 7 lies inside";
    EXPECT_EQ(record[8 + 2 * 3 + 2], 0) << "x 8 lies outside";
}

TEST(RegionExport, IndexFileNames) {
    const std::pair<QString, QString> cases[] = {{"regions.bitmap", "regions.index"},
                                                 {"/a/b.c/regions", "/a/b.c/regions.index"},
                                                 {"/a/x.y.bitmap", "/a/x.y.index"}};
    for (const auto& [data, index] : cases)
        EXPECT_EQ(RegionIndexFileName(data), index) << data.toStdString();
}

TEST(RegionExport, OnlyTheChosenTypeCameraAndExactPersonQualify) {
    const TRegionQuery query{2, 1, "Anna"};
    const struct {
        QStringList parameters;
        int32_t type;
        bool qualifies;
    } cases[] = {
        {{"Camera=1", "Person=Anna", "MinX=1", "MaxX=2", "MinY=1", "MaxY=2"}, 2, true},
        {{"Camera=1", "Person=anna", "MinX=1", "MaxX=2", "MinY=1", "MaxY=2"}, 2, false},
        {{"Camera=1", "Person=Anna", "MinX=1", "MaxX=2", "MinY=1", "MaxY=2"}, 3, false},
        {{"Camera=0", "Person=Anna", "MinX=1", "MaxX=2", "MinY=1", "MaxY=2"}, 2, false},
        {{"Person=Anna", "MinX=1", "MaxX=2", "MinY=1", "MaxY=2"}, 2, false},
        {{"Camera=1", "Person=Anna", "MinX=1", "MaxX=2", "MinY=1"}, 2, false},
        {{"camera=1", "Person=Anna", "MinX=1", "MaxX=2", "MinY=1", "MaxY=2"}, 2, false},
        {{"Camera=1", "Person=Anna", "Camera=5", "MinX=1", "MaxX=2", "MinY=1", "MaxY=2"}, 2, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegionQualifies(c.type, ReadEventRegion(Params(c.parameters)), query), c.qualifies)
            << c.parameters.join(' ').toStdString();
    EXPECT_TRUE(RegionQualifies(2,
                                ReadEventRegion(Params({"Camera=1", "MinX=1", "MaxX=2", "MinY=1", "MaxY=2"})),
                                TRegionQuery{2, 1, ""}));
    EXPECT_THROW(ReadEventRegion(Params({"MinX=1.5"})), TConvertError);
    EXPECT_THROW(ReadEventRegion(Params({"X3=abc"})), TConvertError);
}

TEST(RegionExport, OnlyEventsExactlyAtTheStepAreTaken) {
    TEvents events;
    for (const int32_t time : {0, 40, 40, 45, 80})
        events.InsertEvent(std::make_unique<TEvent>(0, time));
    EXPECT_EQ(EventsAtStep(events, 2, 40).size(), 2u);
    EXPECT_EQ(EventsAtStep(events, 0, 0).size(), 1u);
    // The step at 40 whose cursor already stands on the event at 45 (time 45
    // is no step) finds nothing.
    EXPECT_TRUE(EventsAtStep(events, 3, 40).empty());
    EXPECT_TRUE(EventsAtStep(events, -1, 0).empty());
}

TEST(RegionExport, FilesGrowTogether) {
    TTempDir folder;
    TRegionExportFiles files;
    ASSERT_TRUE(files.Open(QString::fromStdString(folder.File("r.bitmap"))));
    files.Append(40, std::vector<uint8_t>(308, 1));
    files.Append(80, std::vector<uint8_t>(20, 2));
    files.Close();
    QFile index(QString::fromStdString(folder.File("r.index")));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    const QByteArray bytes = index.readAll();
    ASSERT_EQ(bytes.size(), 16);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(Get32(p), 40);
    EXPECT_EQ(Get32(p + 4), 0);
    EXPECT_EQ(Get32(p + 8), 80);
    EXPECT_EQ(Get32(p + 12), 308);
    EXPECT_FALSE(files.Open(QString::fromStdString(folder.File("no/such/r.bitmap"))));
}

} // namespace
