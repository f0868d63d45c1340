// The editor's sound: a generated clip with a tone, played through the main
// window's Play command onto the clocked null device on a fake clock.

#include "document/ui/form_main.h"

#include "media/registry/registry.h"
#include "platform/fake_mm_timer.h"
#include "playback/platform/audio_device_null.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"
#include "views/form_video.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

TEST(FormMainSound, TheSamplesThatReachTheDeviceAreTheMediumsAudioFromItsOffsetOn) {
    UninitialiseBackendOrder();
    TTempDir dir;
    TClipSpec spec;
    spec.format = "avi";
    spec.extension = "avi";
    spec.videoCodec = "mpeg4";
    spec.audioCodec = "pcm_s16le";
    spec.width = 64;
    spec.height = 48;
    spec.frameCount = 75;
    spec.maxBFrames = 0;
    const std::string path = dir.File("tone.avi");
    WriteClip(path, spec);

    auto timer = std::make_unique<TFakeMMTimer>();
    TFakeMMTimer& clock = *timer;
    auto sound = std::make_unique<TNullAudioSystem>(TNullPacing::Manual, &clock.Clock());
    TNullAudioSystem& device = *sound;
    device.SetRecording(true);
    TDialogAnswers answers;
    TFormMainOptions options;
    options.SettingsFileName = dir.File("Scenemark.ini");
    options.Dialogs = std::make_unique<TFakeMainDialogs>(answers);
    options.Timer = std::move(timer);
    options.AudioSystem = std::move(sound);
    auto form = std::make_unique<TFormMain>(std::move(options));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_TRUE(form->AddMedium(QString::fromStdString(path)));
    form->VideoList().Window(0).Offset = 500;

    form->Action(TAppCommandId::ActionPlay)->trigger();
    auto runFor = [&](int ms) {
        for (int t = 0; t < ms; ++t) {
            clock.AdvanceMs(1);
            device.Pump();
            QCoreApplication::processEvents();
        }
    };
    runFor(499);
    ASSERT_EQ(device.Records().size(), 1u);
    EXPECT_EQ(device.Records()[0].FramesPlayed, 0); // not before the offset
    runFor(1001);
    const TNullAudioSystem::TRecord record = device.Records()[0];
    EXPECT_NEAR(record.FramesPlayed, 44100, 44100 / 16);

    // The medium's own audio, read by a second reader from its start.
    std::unique_ptr<TAVFile> reference = OpenMedia(path, TAVFile::StreamAudio);
    ASSERT_TRUE(reference);
    std::vector<uint8_t> expected;
    while (expected.size() < record.Samples.size() &&
           reference->GetAudioPosition() < reference->GetAudioLength()) {
        int32_t bytes = 0;
        const uint8_t* block = reference->GetAudio(bytes);
        expected.insert(expected.end(), block, block + bytes);
    }
    ASSERT_GE(expected.size(), record.Samples.size());
    ASSERT_GT(record.Samples.size(), 0u);
    EXPECT_EQ(std::memcmp(record.Samples.data(), expected.data(), record.Samples.size()), 0);

    form->Action(TAppCommandId::ActionStop)->trigger();
    EXPECT_EQ(device.OpenDeviceCount(), 0);
    form.reset();
    UninitialiseBackendOrder();
}

// Opens the real Options menu and clicks its "Keep pitch" item.
void ClickKeepPitch(TFormMain& form) {
    QMenu& menu = *form.MenuOptions;
    menu.popup(form.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QAction* item = form.Action(TAppCommandId::ActionKeepPitch);
    ASSERT_EQ(menu.actions().back(), item);
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(item).center());
}

TEST(FormMainSound, KeepPitchIsASettingOfTheMachineAndRunsTheDeviceAtTheMediumsRate) {
    UninitialiseBackendOrder();
    TTempDir dir;
    TClipSpec spec;
    spec.format = "avi";
    spec.extension = "avi";
    spec.videoCodec = "mpeg4";
    spec.maxBFrames = 0;
    spec.audioCodec = "pcm_s16le";
    spec.width = 64;
    spec.height = 48;
    const std::string path = dir.File("speech.avi");
    WriteClip(path, spec);

    auto makeForm = [&](TNullAudioSystem*& device, TDialogAnswers& answers) {
        auto sound = std::make_unique<TNullAudioSystem>(TNullPacing::Manual);
        device = sound.get();
        TFormMainOptions options;
        options.SettingsFileName = dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TFakeMainDialogs>(answers);
        options.Timer = std::make_unique<TFakeMMTimer>();
        options.AudioSystem = std::move(sound);
        auto form = std::make_unique<TFormMain>(std::move(options));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    };
    TDialogAnswers answers;
    TNullAudioSystem* device = nullptr;
    auto form = makeForm(device, answers);
    EXPECT_FALSE(form->Action(TAppCommandId::ActionKeepPitch)->isChecked());
    ClickKeepPitch(*form);
    EXPECT_TRUE(form->Action(TAppCommandId::ActionKeepPitch)->isChecked());
    std::stringstream settings;
    settings << std::ifstream(dir.File("Scenemark.ini")).rdbuf();
    EXPECT_NE(settings.str().find("KeepPitch=1"), std::string::npos) << settings.str();

    ASSERT_TRUE(form->AddMedium(QString::fromStdString(path)));
    form->Clock().SetPlaybackSpeed(50);
    form->Action(TAppCommandId::ActionPlay)->trigger();
    ASSERT_EQ(device->Records().size(), 1u);
    EXPECT_EQ(device->Records()[0].Format.SamplesPerSec, 22050u);       // the buffers: 1/16 s at 50 %
    EXPECT_EQ(device->Records()[0].DeviceFormat.SamplesPerSec, 44100u); // the pitch of the medium
    form.reset();

    // A new editor reads it back; the project does not carry it.
    form = makeForm(device, answers);
    EXPECT_TRUE(form->Action(TAppCommandId::ActionKeepPitch)->isChecked());
    ClickKeepPitch(*form);
    ASSERT_TRUE(form->AddMedium(QString::fromStdString(path)));
    form->Clock().SetPlaybackSpeed(50);
    form->Action(TAppCommandId::ActionPlay)->trigger();
    ASSERT_EQ(device->Records().size(), 1u);
    EXPECT_EQ(device->Records()[0].DeviceFormat.SamplesPerSec, 22050u); // unticked: the speed lowers it
    form.reset();
    UninitialiseBackendOrder();
}

} // namespace
