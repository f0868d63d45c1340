// The video window: opening and closing a medium, frame fetching, the
// picture it shows, zoom, the Streams toggles and saving.
#include "views/form_video.h"

#include "media/bmp/bmp_file.h"
#include "tests/support/menu_driver.h"
#include "tests/support/temp_dir.h"
#include "tests/views/video_test_media.h"

#include <QAction>
#include <QBackingStore>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

void Settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffff;
}

int CountNot(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += At(image, x, y) != colour;
    return count;
}

// Rows of a column that hold a colour.
int RowsOf(const QImage& image, int x, QRgb colour) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y)
        rows += At(image, x, y) == colour;
    return rows;
}

QImage Shown(const TFormVideo& form) {
    return form.ImageVideo->grab().toImage();
}

// Width, height and bit count of a BMP file.
struct TBMPInfo {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitCount = 0;
};

TBMPInfo ReadBMPInfo(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.read(54);
    auto le = [&](int offset, int size) {
        int32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | uint8_t(bytes[offset + i]);
        return value;
    };
    return TBMPInfo{le(18, 4), le(22, 4), le(28, 2)};
}

class FormVideoTest : public ::testing::Test {
protected:
    std::unique_ptr<TFormVideo> OpenSequence(int32_t width, int32_t height, int32_t count = 3) {
        auto form = std::make_unique<TFormVideo>(nullptr, &host, BMPOpener());
        const std::string first = WriteSequence(dir.Path().string(), width, height, count);
        EXPECT_TRUE(form->OpenFile(QString::fromStdString(first)));
        Settle();
        return form;
    }

    // A window over a scripted medium; the log outlives the medium.
    std::unique_ptr<TFormVideo> OpenScripted(std::function<void(TScriptedMedia&)> setUp, int32_t streams,
                                             int32_t flags = 0) {
        auto form = std::make_unique<TFormVideo>(
            nullptr, &host, [=, this](const std::string&, int32_t) -> std::unique_ptr<TAVFile> {
                auto media = std::make_unique<TScriptedMedia>(log, streams, flags);
                if (setUp)
                    setUp(*media);
                return media;
            });
        opened = form->OpenFile(QStringLiteral("clip.avi"));
        Settle();
        return form;
    }

    TTempDir dir;
    TFakeVideoHost host;
    std::shared_ptr<TScriptedMedia::TLog> log = std::make_shared<TScriptedMedia::TLog>();
    bool opened = false;
};

} // namespace

TEST_F(FormVideoTest, OpeningASequenceShowsItsFirstFrameAtNormalSize) {
    auto form = OpenSequence(320, 240);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->HasVideo());
    EXPECT_EQ(form->CheckBoxVideo->text(), QStringLiteral("Video 320x240-25.00"));
    EXPECT_TRUE(form->CheckBoxVideo->isChecked());
    EXPECT_TRUE(form->CheckBoxVideo->isEnabled());
    EXPECT_EQ(form->CheckBoxAudio->text(), QStringLiteral("No audio"));
    EXPECT_FALSE(form->CheckBoxAudio->isChecked());
    EXPECT_FALSE(form->CheckBoxAudio->isEnabled());
    EXPECT_TRUE(form->Size1->menuAction()->isEnabled());
    EXPECT_EQ(form->PopupMenuDescription->text(), QString::fromStdString(TBMPFile().GetDescription()));
    EXPECT_EQ(form->windowTitle(), form->FileName());
    EXPECT_EQ(form->ZoomLevel(), ZoomNormal);
    EXPECT_EQ(form->ImageVideo->size(), QSize(320, 240));
    EXPECT_EQ(form->OffscreenPicture().size(), QSize(320, 240));
    ASSERT_NE(form->CurrentBitmap(), nullptr);
    EXPECT_EQ(form->MediaFile()->GetVideoPosition(), 0) << "sought back after the first frame";
    const QImage shown = Shown(*form);
    EXPECT_EQ(At(shown, 0, 0), SequenceColour(0));
    EXPECT_EQ(At(shown, 319, 239), SequenceColour(0));
}

TEST_F(FormVideoTest, StreamCaptionsAndTheFirstFrameBeforeTheSeek) {
    auto form = OpenScripted(
        [](TScriptedMedia& media) {
            media.SetVideoRate(30000, 1001);
            media.SetAudio(2, 44100);
            media.SetDescription("Scripted");
        },
        TAVFile::StreamVideo | TAVFile::StreamAudio);
    ASSERT_TRUE(opened);
    EXPECT_EQ(form->CheckBoxVideo->text(), QStringLiteral("Video 16x8-29.97"));
    EXPECT_EQ(form->CheckBoxAudio->text(), QStringLiteral("Audio 44100 2"));
    EXPECT_TRUE(form->CheckBoxAudio->isChecked());
    EXPECT_EQ(form->PopupMenuDescription->text(), QStringLiteral("Scripted"));
    EXPECT_EQ(log->Calls, (std::vector<std::string>{"GetFrameAt 0", "Seek 0"}));
}

TEST_F(FormVideoTest, AudioOnlyMediumHasNoVideoItemNorSizeMenu) {
    auto form = OpenScripted([](TScriptedMedia& media) { media.SetAudio(1, 8000); }, TAVFile::StreamAudio);
    ASSERT_TRUE(opened);
    EXPECT_EQ(form->CheckBoxVideo->text(), QStringLiteral("No video"));
    EXPECT_FALSE(form->CheckBoxVideo->isEnabled());
    EXPECT_FALSE(form->CheckBoxVideo->isChecked());
    EXPECT_FALSE(form->Size1->menuAction()->isEnabled());
    EXPECT_EQ(form->width(), 160 + form->MarginX());
    EXPECT_TRUE(form->OffscreenPicture().isNull());
    EXPECT_EQ(form->CurrentBitmap(), nullptr);
    EXPECT_EQ(log->Calls, (std::vector<std::string>{"Seek 0"}));
    // The disabled toggle cannot be chosen.
    form->CheckBoxVideoClick(form->CheckBoxVideo);
    EXPECT_FALSE(form->CheckBoxVideo->isChecked());
}

TEST_F(FormVideoTest, AFileThatFailsToOpenLeavesTheWindowClosed) {
    TFormVideo form(nullptr, &host, [](const std::string&, int32_t) { return std::unique_ptr<TAVFile>(); });
    EXPECT_FALSE(form.OpenFile(QStringLiteral("nothing.avi")));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.MediaFile(), nullptr);
    EXPECT_TRUE(form.FileName().isEmpty());

    // A first frame that cannot be read: the medium is closed and destroyed.
    auto failing = OpenScripted([](TScriptedMedia& media) { media.FailFrom = 0; }, TAVFile::StreamVideo);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(log->Destroyed);
    EXPECT_EQ(log->Calls.back(), "Close");
    EXPECT_FALSE(failing->isVisible());
    EXPECT_TRUE(failing->windowTitle().isEmpty());
}

TEST_F(FormVideoTest, ClosingForgetsTheFrameOfTheDestroyedFile) {
    auto form = OpenScripted(nullptr, TAVFile::StreamVideo);
    ASSERT_NE(form->CurrentBitmap(), nullptr);
    form->AddRectangle(1, 1, 5, 5, QStringLiteral("r"), nullptr);
    form->CloseFile();
    EXPECT_TRUE(log->Destroyed);
    EXPECT_EQ(form->CurrentBitmap(), nullptr);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->PopupMenuDescription->text().isEmpty());
    // Painting and saving afterwards touch no freed frame (ASan would tell).
    form->show();
    const QImage shown = Shown(*form);
    EXPECT_EQ(CountNot(shown, 0x000000), 0);
    EXPECT_TRUE(form->SavePicture(QString::fromStdString(dir.File("closed.bmp"))));
    EXPECT_FALSE(std::filesystem::exists(dir.File("closed.bmp")));
}

TEST_F(FormVideoTest, OpeningAgainClosesThePreviousMedium) {
    auto form = OpenScripted(nullptr, TAVFile::StreamVideo);
    auto firstLog = log;
    log = std::make_shared<TScriptedMedia::TLog>();
    EXPECT_TRUE(form->OpenFile(QStringLiteral("second.avi")));
    EXPECT_TRUE(firstLog->Destroyed);
    EXPECT_FALSE(log->Destroyed);
    EXPECT_EQ(form->FileName(), QStringLiteral("second.avi"));
}

TEST_F(FormVideoTest, FetchWithVideoOffSkipsOnlyOnInterleavedFiles) {
    for (const int32_t flags : {int32_t(TAVFile::FlagInterleaved), int32_t(0)}) {
        log = std::make_shared<TScriptedMedia::TLog>();
        auto form = OpenScripted(nullptr, TAVFile::StreamVideo | TAVFile::StreamAudio, flags);
        form->CheckBoxVideoClick(form->CheckBoxVideo);
        ASSERT_FALSE(form->IsVideoTicked());
        log->Calls.clear();
        form->FetchFrame(7);
        EXPECT_EQ(form->CurrentBitmap(), nullptr);
        if (flags)
            EXPECT_EQ(log->Calls, (std::vector<std::string>{"SkipFrames 1"}));
        else
            EXPECT_TRUE(log->Calls.empty());
    }
}

TEST_F(FormVideoTest, FetchErrorsLeaveNoFrameAndPassOn) {
    auto form = OpenScripted([](TScriptedMedia& media) { media.FailFrom = 5; }, TAVFile::StreamVideo);
    // Composed off screen, the last picture is there to keep.
    form->SetDoubleBuffered(true);
    form->FetchFrame(4);
    ASSERT_NE(form->CurrentBitmap(), nullptr);
    EXPECT_EQ(At(Shown(*form), 1, 1), SequenceColour(4));
    EXPECT_THROW(form->FetchFrame(5), TAVFile::AVFileErrorGetVideo);
    EXPECT_EQ(form->CurrentBitmap(), nullptr);
    // The last picture stays on the area; overlays still draw over it.
    form->AddLine(0, 4, 15, 4);
    const QImage shown = Shown(*form);
    EXPECT_EQ(At(shown, 1, 1), SequenceColour(4));
    EXPECT_GE(RowsOf(shown, 100, 0x000000), 1);
}

TEST_F(FormVideoTest, FetchDoesNothingUnlessReadingVideo) {
    TScriptedMedia* media = nullptr;
    auto form = OpenScripted([&](TScriptedMedia& m) { media = &m; }, TAVFile::StreamVideo);
    log->Calls.clear();
    media->SetMode(TAVFile::ModeWrite);
    form->FetchFrame(3);
    EXPECT_TRUE(log->Calls.empty());
    EXPECT_NE(form->CurrentBitmap(), nullptr) << "the frame fetched before stays";
}

TEST_F(FormVideoTest, ZoomSizesThePictureAreaWithTheMargins) {
    auto form = OpenSequence(320, 240, 1);
    EXPECT_EQ(form->MarginX(), 8);
    EXPECT_GT(form->MarginY(), 8 + 19);
    form->Double1Click();
    Settle();
    EXPECT_EQ(form->ImageVideo->size(), QSize(640, 480));
    EXPECT_EQ(form->size(), QSize(640 + form->MarginX(), 480 + form->MarginY()));
    form->Half1Click();
    Settle();
    EXPECT_EQ(form->ImageVideo->size(), QSize(160, 120));
    // A quarter is 80 x 60; the window's minimum width of 160 holds the
    // area wider, and the picture keeps its aspect.
    form->Quoter1Click();
    Settle();
    EXPECT_EQ(form->ZoomLevel(), ZoomQuarter);
    EXPECT_EQ(form->width(), 160);
    EXPECT_EQ(form->ImageVideo->size(), QSize(152, 114));
    form->SetZoom(42);
    EXPECT_EQ(form->ZoomLevel(), ZoomDouble);

    form->Size1Click();
    EXPECT_TRUE(form->Double1->isChecked());
    EXPECT_FALSE(form->Quoter1->isChecked());
    EXPECT_FALSE(form->Half1->isChecked());
    EXPECT_FALSE(form->Normal1->isChecked());
}

TEST_F(FormVideoTest, VideoUntickedBlacksOutFrameOverlaysAndCaption) {
    auto form = OpenSequence(64, 48, 3);
    form->Double1Click();
    Settle();
    form->AddRectangle(10, 10, 40, 30, QStringLiteral("Box"), nullptr);
    form->SetCaptionText(QStringLiteral("Caption"));
    ASSERT_GT(CountNot(Shown(*form), SequenceColour(0)), 100);

    form->CheckBoxVideoClick(form->CheckBoxVideo);
    EXPECT_FALSE(form->IsVideoTicked());
    EXPECT_EQ(CountNot(Shown(*form), 0x000000), 0);

    // Ticked again, the area stays dark until a frame is fetched.
    form->FetchFrame(1);
    form->CheckBoxVideoClick(form->CheckBoxVideo);
    const QImage waiting = Shown(*form);
    EXPECT_EQ(At(waiting, 2, 2), 0x000000u);
    EXPECT_GT(CountNot(waiting, 0x000000), 100) << "overlays and caption are back";
    form->FetchFrame(2);
    EXPECT_EQ(At(Shown(*form), 2, 2), SequenceColour(2));
}

TEST_F(FormVideoTest, DoubleBufferingScalesOverlaysWithTheVideo) {
    // Wide enough that twice its size is not held up by the minimum width.
    auto form = OpenSequence(80, 48, 1);
    form->Double1Click();
    Settle();
    form->AddLine(0, 20, 79, 20);
    // Drawn at the window's resolution: one black row.
    EXPECT_EQ(RowsOf(Shown(*form), 30, 0x000000), 1);
    // Drawn at the video's and stretched twice: two.
    form->SetDoubleBuffered(true);
    const QImage doubled = Shown(*form);
    EXPECT_EQ(RowsOf(doubled, 30, 0x000000), 2);
    EXPECT_EQ(At(doubled, 30, 40), 0x000000u);
    EXPECT_EQ(At(doubled, 30, 41), 0x000000u);
    EXPECT_EQ(At(doubled, 30, 5), SequenceColour(0));
}

// Shapes are written straight into the window's backing store: where the
// picture area sits in it, and only inside the part being repainted.
TEST_F(FormVideoTest, ShapesLandAtThePictureAreaAndOnlyInsideTheRepaintedPart) {
    auto form = OpenSequence(160, 120, 1);
    QBackingStore* backingStore = form->backingStore();
    if (!backingStore || backingStore->paintDevice()->devType() != QInternal::Image)
        GTEST_SKIP() << "this platform's backing store is no image";
    const QImage& store = *static_cast<QImage*>(backingStore->paintDevice());
    const QRect area(form->ImageVideo->mapTo(form.get(), QPoint(0, 0)), form->ImageVideo->size());
    const auto shown = [&] { return store.copy(area).convertToFormat(QImage::Format_RGB32); };
    const auto composed = [&] {
        QImage picture(area.size(), QImage::Format_RGB32);
        QPainter painter(&picture);
        form->ImageVideoPaint(painter);
        return picture;
    };
    form->AddRectangle(10, 30, 60, 80, QStringLiteral("Person - 3"), nullptr);
    form->AddRectangle(100, 20, 150, 110, QString(), nullptr);
    form->Paint();
    const QImage before = shown();
    ASSERT_EQ(before, composed());

    // Moved away from the top-left corner, where its label was, and only
    // that corner repainted.
    form->ClearOverlays();
    form->AddRectangle(60, 30, 120, 100, QStringLiteral("Moved"), nullptr);
    const QRect corner(0, 0, 40, 30);
    form->ImageVideo->repaint(corner);
    const QImage after = shown();
    const QImage now = composed();
    ASSERT_NE(now.copy(corner), before.copy(corner));
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            ASSERT_EQ(after.pixel(x, y), (corner.contains(x, y) ? now : before).pixel(x, y)) << x << "," << y;
}

TEST_F(FormVideoTest, SaveWritesTheSurfaceSizeAsTwentyFourBits) {
    auto form = OpenSequence(200, 100, 1);
    form->Double1Click();
    Settle();
    const std::string direct = dir.File("direct.bmp");
    ASSERT_TRUE(form->SavePicture(QString::fromStdString(direct)));
    const TBMPInfo directInfo = ReadBMPInfo(direct);
    EXPECT_EQ(directInfo.Width, 400);
    EXPECT_EQ(directInfo.Height, 200);
    EXPECT_EQ(directInfo.BitCount, 24);

    form->SetDoubleBuffered(true);
    form->AddRectangle(50, 20, 150, 80, QString(), nullptr);
    const std::string buffered = dir.File("buffered.bmp");
    ASSERT_TRUE(form->SavePicture(QString::fromStdString(buffered)));
    const TBMPInfo bufferedInfo = ReadBMPInfo(buffered);
    EXPECT_EQ(bufferedInfo.Width, 200);
    EXPECT_EQ(bufferedInfo.Height, 100);
    EXPECT_EQ(bufferedInfo.BitCount, 24);
    QImage saved(QString::fromStdString(buffered));
    EXPECT_EQ(At(saved, 5, 5), SequenceColour(0));
    EXPECT_EQ(At(saved, 100, 20), 0x000000u) << "the overlay is in the picture";

    // Hidden windows save the current picture too.
    form->hide();
    form->SetDoubleBuffered(false);
    ASSERT_TRUE(form->SavePicture(QString::fromStdString(direct)));
    EXPECT_EQ(ReadBMPInfo(direct).Width, 400);
}

TEST_F(FormVideoTest, SaveWithoutAFrameWritesNothing) {
    auto form = OpenSequence(32, 32, 2);
    form->CheckBoxVideoClick(form->CheckBoxVideo);
    form->FetchFrame(1);
    const std::string path = dir.File("none.bmp");
    EXPECT_TRUE(form->SavePicture(QString::fromStdString(path)));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(FormVideoTest, StatusTextOfThePlaybackRateOutlivesMenuHovering) {
    TFormVideo form(nullptr, &host);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.ShowPlaybackRate(12.5, 4);
    EXPECT_EQ(form.StatusText(), QStringLiteral("FPS: 12.50 Dropped: 4"));

    ASSERT_TRUE(OpenFromMenuBar(form.menuBar(), form.Size1));
    for (QAction* item : form.Size1->actions())
        QTest::mouseMove(form.Size1, form.Size1->actionGeometry(item).center());
    CloseMenus();
    EXPECT_EQ(form.StatusText(), QStringLiteral("FPS: 12.50 Dropped: 4"));
    form.ShowPlaybackRate(0, 0);
    EXPECT_EQ(form.StatusText(), QStringLiteral("FPS: 0.00 Dropped: 0"));
}

TEST_F(FormVideoTest, ClearOverlaysDropsTheSelection) {
    auto form = OpenSequence(64, 48, 1);
    form->AddRectangle(0, 0, 60, 40, QString(), nullptr);
    form->AddPolygon(0, 0, 1, 0, 1, 1, 0, 1);
    form->AddArrow(0, 0, 5, 5);
    form->AddLine(0, 0, 5, 5);
    form->AddCircle(5, 5, 2);
    form->AddEllipse(5, 5, 3, 2, 0.5f);
    form->ImageVideoMouseDown(Qt::RightButton, 30, 20);
    EXPECT_NE(form->SelectedOverlay(), nullptr);
    form->ClearOverlays();
    EXPECT_TRUE(form->Overlays().empty());
    EXPECT_EQ(form->SelectedOverlay(), nullptr);
}
