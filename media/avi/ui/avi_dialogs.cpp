#include "media/avi/ui/avi_dialogs.h"

#include "components/dialog_keys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstring>

namespace {

// Names read "<format>, <attributes>"; the dialog shows the two apart.
QString FormatPart(const std::string& name) {
    const size_t comma = name.find(", ");
    return QString::fromStdString(name.substr(0, comma));
}

QString AttributesPart(const std::string& name) {
    const size_t comma = name.find(", ");
    return comma == std::string::npos ? QString() : QString::fromStdString(name.substr(comma + 2));
}

} // namespace

TAVICompressorDialog::TAVICompressorDialog(const TAVICompressorOptions& options, QWidget* owner)
    : QDialog(owner), m_compressors(AVICompressorList()) {
    setWindowTitle(QStringLiteral("Video Compression"));
    ComboBoxCompressor = new QComboBox(this);
    for (const TAVICompressorInfo& info : m_compressors) {
        ComboBoxCompressor->addItem(QString::fromStdString(info.Name));
        if (info.Handler == options.Handler)
            ComboBoxCompressor->setCurrentIndex(ComboBoxCompressor->count() - 1);
    }
    TrackBarQuality = new QSlider(Qt::Horizontal, this);
    TrackBarQuality->setRange(0, 10000);
    TrackBarQuality->setPageStep(500);
    TrackBarQuality->setValue(options.Quality);
    LabelQuality = new QLabel(this);
    CheckBoxKeyFrames = new QCheckBox(QStringLiteral("Key Frame Every"), this);
    SpinEditKeyFrames = new QSpinBox(this);
    SpinEditKeyFrames->setRange(1, 10000);
    SpinEditKeyFrames->setSuffix(QStringLiteral(" frames"));
    SpinEditKeyFrames->setValue(options.KeyFrameEvery > 0 ? options.KeyFrameEvery : 25);
    CheckBoxKeyFrames->setChecked(options.KeyFrameEvery > 0);
    CheckBoxDataRate = new QCheckBox(QStringLiteral("Data Rate"), this);
    SpinEditDataRate = new QSpinBox(this);
    SpinEditDataRate->setRange(1, 1000000);
    SpinEditDataRate->setSuffix(QStringLiteral(" KB/sec"));
    SpinEditDataRate->setValue(options.BytesPerSecond > 0 ? options.BytesPerSecond / 1024 : 300);
    CheckBoxDataRate->setChecked(options.BytesPerSecond > 0);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Compressor:"), ComboBoxCompressor);
    auto* quality = new QHBoxLayout;
    quality->addWidget(TrackBarQuality, 1);
    quality->addWidget(LabelQuality);
    form->addRow(QStringLiteral("Compression Quality:"), quality);
    form->addRow(CheckBoxKeyFrames, SpinEditKeyFrames);
    form->addRow(CheckBoxDataRate, SpinEditDataRate);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(NewOkCancelRow(ButtonOK, ButtonCancel));

    connect(ComboBoxCompressor, &QComboBox::currentIndexChanged, this, [this] { UpdateControls(); });
    connect(TrackBarQuality, &QSlider::valueChanged, this, [this] { UpdateControls(); });
    connect(CheckBoxKeyFrames, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    connect(CheckBoxDataRate, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateControls();
}

void TAVICompressorDialog::UpdateControls() {
    // Full frames have nothing to tune.
    const bool isCompressed = ComboBoxCompressor->currentIndex() > 0;
    TrackBarQuality->setEnabled(isCompressed);
    CheckBoxKeyFrames->setEnabled(isCompressed);
    SpinEditKeyFrames->setEnabled(isCompressed && CheckBoxKeyFrames->isChecked());
    CheckBoxDataRate->setEnabled(isCompressed);
    SpinEditDataRate->setEnabled(isCompressed && CheckBoxDataRate->isChecked());
    LabelQuality->setText(QString::number(TrackBarQuality->value() / 100.0, 'f', 2));
}

TAVICompressorOptions TAVICompressorDialog::Options() const {
    TAVICompressorOptions options;
    const int index = ComboBoxCompressor->currentIndex();
    options.Handler = index >= 0 ? m_compressors[static_cast<size_t>(index)].Handler : 0;
    options.Quality = TrackBarQuality->value();
    options.KeyFrameEvery = CheckBoxKeyFrames->isChecked() ? SpinEditKeyFrames->value() : 0;
    options.BytesPerSecond = CheckBoxDataRate->isChecked() ? SpinEditDataRate->value() * 1024 : 0;
    return options;
}

TAVIAudioFormatDialog::TAVIAudioFormatDialog(const std::vector<uint8_t>& source, QWidget* owner)
    : QDialog(owner) {
    setWindowTitle(QStringLiteral("Sound Selection"));
    TWaveFormatEx wave{};
    if (source.size() >= 16)
        std::memcpy(&wave, source.data(), std::min(source.size(), sizeof wave));
    m_formats = AVIAudioFormatList(wave.nChannels, static_cast<int32_t>(wave.nSamplesPerSec));
    ComboBoxFormat = new QComboBox(this);
    ComboBoxAttributes = new QComboBox(this);
    for (const TAVIAudioFormatInfo& info : m_formats)
        if (ComboBoxFormat->findText(FormatPart(info.Name)) < 0)
            ComboBoxFormat->addItem(FormatPart(info.Name));
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Format:"), ComboBoxFormat);
    form->addRow(QStringLiteral("Attributes:"), ComboBoxAttributes);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(NewOkCancelRow(ButtonOK, ButtonCancel));
    connect(ComboBoxFormat, &QComboBox::currentIndexChanged, this, [this] { FillAttributes(); });
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    FillAttributes();
    ButtonOK->setEnabled(!m_formats.empty());
}

void TAVIAudioFormatDialog::FillAttributes() {
    ComboBoxAttributes->clear();
    for (size_t i = 0; i < m_formats.size(); ++i)
        if (FormatPart(m_formats[i].Name) == ComboBoxFormat->currentText())
            ComboBoxAttributes->addItem(AttributesPart(m_formats[i].Name), static_cast<int>(i));
}

std::vector<uint8_t> TAVIAudioFormatDialog::Format() const {
    const QVariant index = ComboBoxAttributes->currentData();
    if (!index.isValid())
        return {};
    return m_formats[static_cast<size_t>(index.toInt())].Format;
}

bool TAVIDialogChooser::ChooseCompressor(TAVICompressorOptions& options) {
    TAVICompressorDialog dialog(options, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    options = dialog.Options();
    return true;
}

bool TAVIDialogChooser::ChooseAudioFormat(const std::vector<uint8_t>& source, std::vector<uint8_t>& chosen) {
    TAVIAudioFormatDialog dialog(source, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    chosen = dialog.Format();
    return !chosen.empty();
}
