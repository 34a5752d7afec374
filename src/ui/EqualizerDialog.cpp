// The graphic equalizer dialog.
#include "ui/EqualizerDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "player/PlayerHost.h"
#include "ui/EqResponseView.h"
#include "ui/PresetNameDialog.h"
#include "ui/ScreenAreas.h"

namespace {

const char* const kBandNames[CEqualizerDialog::kBands] = {"62.5Hz", "125Hz", "250Hz", "500Hz", "1KHz",
                                                          "2KHz",   "4KHz",  "8KHz",  "16KHz"};

QString GainText(int gain)
{
    return QString::asprintf("%3ddB", gain);
}

EqualizerGains PresetGains(int preset)
{
    EqualizerGains g{};
    const auto& stored = g_Settings.Equalizer[preset].Gain;
    std::copy(stored.begin(), stored.end(), g.begin());
    return g;
}

}  // namespace

CEqualizerDialog::CEqualizerDialog(IPlayerHost& host, QWidget* owner) : QDialog(owner), m_host(host)
{
    setWindowTitle(QStringLiteral("Graphic Equalizer"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    auto* top = new QLabel(QStringLiteral("+15dB"));
    auto* middle = new QLabel(QStringLiteral("0dB"));
    auto* bottom = new QLabel(QStringLiteral("-15dB"));
    auto* scale = new QVBoxLayout;
    scale->addWidget(top, 0, Qt::AlignRight | Qt::AlignTop);
    scale->addStretch();
    scale->addWidget(middle, 0, Qt::AlignRight | Qt::AlignVCenter);
    scale->addStretch();
    scale->addWidget(bottom, 0, Qt::AlignRight | Qt::AlignBottom);
    grid->addLayout(scale, 1, 0);
    for (int band = 0; band < kBands; ++band) {
        auto* value = new QLabel(GainText(0));
        value->setAlignment(Qt::AlignCenter);
        auto* slider = new QSlider(Qt::Vertical);
        // The slider's value is the gain itself: +15 at the top.
        slider->setRange(-CSettings::kMaxGain, CSettings::kMaxGain);
        slider->setPageStep(5);
        slider->setSingleStep(1);
        slider->setTickPosition(QSlider::TicksBothSides);
        slider->setTickInterval(5);
        slider->setMinimumHeight(130);
        slider->setAccessibleName(QString::fromLatin1(kBandNames[band]));
        auto* name = new QLabel(QString::fromLatin1(kBandNames[band]));
        name->setAlignment(Qt::AlignCenter);
        grid->addWidget(value, 0, band + 1, Qt::AlignHCenter);
        grid->addWidget(slider, 1, band + 1, Qt::AlignHCenter);
        grid->addWidget(name, 2, band + 1, Qt::AlignHCenter);
        m_sliders[band] = slider;
        m_values[band] = value;
        connect(slider, &QSlider::valueChanged, this, [this, band](int v) { OnSliderMoved(band, v); });
    }

    m_presets = new QComboBox;
    m_presets->setMaxVisibleItems(CSettings::kPresetCount);
    m_presets->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_presets->setMinimumContentsLength(20);
    m_nameEdit = new QPushButton(QStringLiteral("Name edit"));
    m_reset = new QPushButton(QStringLiteral("Reset"));
    for (QPushButton* b : {m_nameEdit, m_reset})
        b->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(m_presets, 1);
    row->addWidget(m_nameEdit);
    row->addWidget(m_reset);

    m_response = new CEqResponseView;
    m_response->SetSampleRate(g_Settings.SamplingRate);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_response);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_presets, &QComboBox::activated, this, &CEqualizerDialog::OnPresetChosen);
    connect(m_nameEdit, &QPushButton::clicked, this, &CEqualizerDialog::OnNameEdit);
    connect(m_reset, &QPushButton::clicked, this, &CEqualizerDialog::OnReset);

    FillPresetList();
    ShowCurrentPreset();
}

CEqualizerDialog::~CEqualizerDialog()
{
    if (m_placed)
        StorePosition();
}

int CEqualizerDialog::CurrentPreset()
{
    return std::clamp(g_Settings.CurrentPreset, 0, CSettings::kPresetCount - 1);
}

void CEqualizerDialog::FillPresetList()
{
    m_updating = true;
    m_presets->clear();
    for (int i = 0; i < CSettings::kPresetCount; ++i)
        m_presets->addItem(QStringLiteral("%1 : %2").arg(i + 1).arg(
            QString::fromStdString(g_Settings.Equalizer[i].Name)));
    m_presets->setCurrentIndex(CurrentPreset());
    m_updating = false;
}

void CEqualizerDialog::ShowCurrentPreset()
{
    m_updating = true;
    const auto& gains = g_Settings.Equalizer[CurrentPreset()].Gain;
    for (int band = 0; band < kBands; ++band) {
        // Values from elsewhere are limited to what a slider can show.
        const int g = std::clamp<int>(gains[band], -CSettings::kMaxGain, CSettings::kMaxGain);
        m_sliders[band]->setValue(g);
        m_values[band]->setText(GainText(g));
    }
    m_response->SetGains(PresetGains(CurrentPreset()));
    m_updating = false;
}

void CEqualizerDialog::Refresh()
{
    FillPresetList();
    ShowCurrentPreset();
}

void CEqualizerDialog::SetSampleRate(int rate)
{
    m_response->SetSampleRate(rate);
}

void CEqualizerDialog::OnSliderMoved(int band, int value)
{
    if (m_updating)
        return;
    g_Settings.Equalizer[CurrentPreset()].Gain[band] = value;
    m_values[band]->setText(GainText(value));
    m_response->SetGains(PresetGains(CurrentPreset()));
    m_host.OnApplyEqPreset();
}

void CEqualizerDialog::OnPresetChosen(int index)
{
    if (m_updating || index < 0 || index >= CSettings::kPresetCount)
        return;
    g_Settings.CurrentPreset = index;
    ShowCurrentPreset();
    m_host.OnApplyEqPreset();
}

void CEqualizerDialog::OnNameEdit()
{
    auto& preset = g_Settings.Equalizer[CurrentPreset()];
    CPresetNameDialog box(QString::fromStdString(preset.Name), this);
    if (box.exec() != QDialog::Accepted)
        return;
    preset.Name = box.Name().left(int(CSettings::kMaxText)).toStdString();
    FillPresetList();
}

void CEqualizerDialog::OnReset()
{
    QMessageBox ask(QMessageBox::Question, QString(), QStringLiteral("リセットしますか？"),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    if (ask.exec() != QMessageBox::Yes)
        return;
    g_Settings.Equalizer[CurrentPreset()].Gain.fill(0);
    ShowCurrentPreset();
    m_host.OnApplyEqPreset();
}

void CEqualizerDialog::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        // First showing: go where the dialog was last, if enough of it is
        // still on a screen to grab; the size is the dialog's own (it is
        // not resizable).
        const SettingsRect& saved = g_Settings.GraphicEQPos;
        if (IsRectVisibleOnScreens(saved, ScreenAreas()))
            move(saved.left, saved.top);
        m_placed = true;
    }
    QDialog::showEvent(event);
    StorePosition();
}

void CEqualizerDialog::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    if (m_placed && isVisible())
        StorePosition();
}

void CEqualizerDialog::StorePosition()
{
    const QRect f = frameGeometry();
    g_Settings.GraphicEQPos = SettingsRect{f.left(), f.top(), f.left() + f.width(), f.top() + f.height()};
}
