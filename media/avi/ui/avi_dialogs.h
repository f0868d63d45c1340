#pragma once
// The compressor and audio format dialogs of AVI writing, and the chooser
// that asks the user through them. Modal; owned by whoever shows them.

#include "media/avi/avi_choices.h"
#include "media/avi/platform/avi_audio.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

// "Video Compression": the compressor, its quality (0-10000), a key frame
// every N frames and a data rate in KB per second.
class TAVICompressorDialog : public QDialog {
public:
    TAVICompressorDialog(const TAVICompressorOptions& options, QWidget* owner = nullptr);
    // What the controls say now.
    TAVICompressorOptions Options() const;

    QComboBox* ComboBoxCompressor;
    QSlider* TrackBarQuality;
    QLabel* LabelQuality;
    QCheckBox* CheckBoxKeyFrames;
    QSpinBox* SpinEditKeyFrames;
    QCheckBox* CheckBoxDataRate;
    QSpinBox* SpinEditDataRate;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

private:
    void UpdateControls();
    std::vector<TAVICompressorInfo> m_compressors;
};

// "Sound Selection": the stored format (tag) and its attributes (rate,
// bits, channels) among those the source converts to.
class TAVIAudioFormatDialog : public QDialog {
public:
    TAVIAudioFormatDialog(const std::vector<uint8_t>& source, QWidget* owner = nullptr);
    // The WAVEFORMATEX block of the chosen attributes.
    std::vector<uint8_t> Format() const;

    QComboBox* ComboBoxFormat;
    QComboBox* ComboBoxAttributes;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

private:
    void FillAttributes();
    std::vector<TAVIAudioFormatInfo> m_formats;
};

// Asks through the two dialogs, modally over owner.
class TAVIDialogChooser : public TAVIChooser {
public:
    explicit TAVIDialogChooser(QWidget* owner) : m_owner(owner) {}
    bool ChooseCompressor(TAVICompressorOptions& options) override;
    bool ChooseAudioFormat(const std::vector<uint8_t>& source, std::vector<uint8_t>& chosen) override;

private:
    QWidget* m_owner;
};
