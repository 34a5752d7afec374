// The options dialog.
#include "ui/OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QToolButton>
#include <algorithm>

#include "app/Settings.h"
#include "player/WaveFolder.h"
#include "ui/TestTonePlayer.h"

const std::vector<COptionsDialog::Rate>& COptionsDialog::Rates()
{
    static const std::vector<Rate> rates{{44100, 16}, {48000, 16}, {96000, 16}, {192000, 16}};
    return rates;
}

COptionsDialog::COptionsDialog(const std::vector<DeviceInfo>& devices, const std::string& programFolder,
                               QWidget* owner)
    : QDialog(owner), m_deviceInfo(devices), m_programFolder(programFolder)
{
    setWindowTitle(QStringLiteral("オプション設定"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    m_devices = new QComboBox;
    const SettingsGuid stored = g_Settings.DeviceGUID;
    for (std::size_t i = 0; i < m_deviceInfo.size(); ++i) {
        m_devices->addItem(QString::fromStdString(m_deviceInfo[i].description));
        if (ToSettingsGuid(m_deviceInfo[i].guid) == stored && m_deviceIndex == 0)
            m_deviceIndex = int(i);
    }
    m_devices->setCurrentIndex(m_deviceInfo.empty() ? -1 : m_deviceIndex);

    m_rates = new QComboBox;
    for (std::size_t i = 0; i < Rates().size(); ++i) {
        const Rate& r = Rates()[i];
        m_rates->addItem(QString::asprintf("%3d.%03dKHz %2dbits", r.hz / 1000, r.hz % 1000, r.bits));
        if (r.hz == g_Settings.SamplingRate)
            m_rateIndex = int(i);
    }
    m_rates->setCurrentIndex(m_rateIndex);

    m_wavePath = new QLineEdit(QString::fromStdString(g_Settings.WavePath));
    m_wavePath->setMaxLength(int(CSettings::kMaxText));
    m_browse = new QPushButton(QStringLiteral("..."));
    m_browse->setAutoDefault(false);
    m_browse->setFixedWidth(32);

    m_playTime = new QLineEdit(QString::number(g_Settings.PlayTimeDefault));
    // Digits only; nine of them always fit the setting.
    m_playTime->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    m_playTime->setMaxLength(9);
    m_playTime->setFixedWidth(80);
    m_playTime->installEventFilter(this);
    m_up = new QToolButton;
    m_up->setArrowType(Qt::UpArrow);
    m_up->setAutoRepeat(true);
    m_down = new QToolButton;
    m_down->setArrowType(Qt::DownArrow);
    m_down->setAutoRepeat(true);
    for (QToolButton* b : {m_up, m_down})
        b->setFixedSize(18, 12);

    m_noSe = new QCheckBox(QStringLiteral("オートプレイでSEを再生しない"));
    m_noSe->setChecked(g_Settings.NoSEAutoPlay != 0);

    m_test = new QPushButton(QStringLiteral("Test tone"));
    m_test->setAutoDefault(false);
    m_test->setToolTip(QStringLiteral("Play a short tone on the chosen device at the chosen rate"));
    m_tone = new CTestTonePlayer(this);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("出力デバイス")), 0, 0);
    auto* deviceRow = new QHBoxLayout;
    deviceRow->addWidget(m_devices, 1);
    deviceRow->addWidget(m_test);
    grid->addLayout(deviceRow, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("サンプリングレート")), 1, 0);
    grid->addWidget(m_rates, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Wave出力フォルダ")), 2, 0);
    auto* waveRow = new QHBoxLayout;
    waveRow->addWidget(m_wavePath, 1);
    waveRow->addWidget(m_browse);
    grid->addLayout(waveRow, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("オートプレイ時間(秒)")), 3, 0);
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->addWidget(m_up);
    arrows->addWidget(m_down);
    auto* timeRow = new QHBoxLayout;
    timeRow->setSpacing(1);
    timeRow->addWidget(m_playTime);
    timeRow->addLayout(arrows);
    timeRow->addStretch();
    grid->addLayout(timeRow, 3, 1);
    grid->addWidget(m_noSe, 4, 0, 1, 2);
    m_devices->setMinimumWidth(260);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsDialog::reject);
    connect(m_up, &QToolButton::clicked, this, [this] { StepPlayTime(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { StepPlayTime(-1); });
    connect(m_browse, &QPushButton::clicked, this, &COptionsDialog::Browse);
    connect(m_test, &QPushButton::clicked, this, &COptionsDialog::PlayTestTone);

    m_pickFolder = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, QString(), start, QFileDialog::ShowDirsOnly);
    };
}

DeviceGuid COptionsDialog::ChosenDevice() const
{
    if (m_deviceIndex < 0 || m_deviceIndex >= int(m_deviceInfo.size()))
        return DeviceGuid{};
    return m_deviceInfo[m_deviceIndex].guid;
}

int COptionsDialog::ChosenRate() const
{
    return Rates()[std::clamp<std::size_t>(m_rateIndex, 0, Rates().size() - 1)].hz;
}

void COptionsDialog::StepPlayTime(int delta)
{
    // The arrows move within 1..600 from whatever the field holds.
    const long long typed = m_playTime->text().toLongLong();
    const long long next = std::clamp<long long>(typed + delta, kMinPlayTime, kMaxPlayTime);
    m_playTime->setText(QString::number(next));
}

bool COptionsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_playTime && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepPlayTime(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void COptionsDialog::Browse()
{
    const QString start = QString::fromStdString(
        ResolveWaveFolder(m_wavePath->text().toStdString(), m_programFolder));
    const QString picked = m_pickFolder ? m_pickFolder(start) : QString();
    if (picked.isEmpty())
        return;
    QString folder = QDir::cleanPath(picked);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_wavePath->setText(folder);
}

void COptionsDialog::PlayTestTone()
{
    const int device = m_devices->currentIndex();
    // The first entry is the system default, opened without a name.
    const QString name = device > 0 && device < int(m_deviceInfo.size())
                             ? QString::fromStdString(m_deviceInfo[device].description)
                             : QString();
    const int rate = Rates()[std::max(0, m_rates->currentIndex())].hz;
    QString error;
    if (!m_tone->Play(name, rate, error))
        QMessageBox::warning(this, QStringLiteral("Test tone"),
                             QStringLiteral("The test tone could not be played on this device at %1 Hz:\n%2")
                                 .arg(rate)
                                 .arg(error));
}

bool COptionsDialog::ConfirmWaveFolder(const QString& folder)
{
    const std::string resolved = ResolveWaveFolder(folder.toStdString(), m_programFolder);
    if (IsWaveFolderUsable(resolved))
        return true;
    QMessageBox ask(QMessageBox::Warning, windowTitle(),
                    QStringLiteral("Recordings cannot be saved in this folder: it cannot be created or "
                                   "written.\n%1\n\nKeep this folder anyway?")
                        .arg(QString::fromStdString(resolved)),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    return ask.exec() == QMessageBox::Yes;
}

void COptionsDialog::accept()
{
    const QString folder = m_wavePath->text();
    if (!ConfirmWaveFolder(folder)) {
        m_wavePath->setFocus();
        return;
    }
    m_tone->StopTone();
    m_deviceIndex = std::max(0, m_devices->currentIndex());
    m_rateIndex = std::max(0, m_rates->currentIndex());
    g_Settings.WavePath = WavePathSettingFrom(folder.toStdString());
    // An empty field is 0; the arrows' range does not limit typed values.
    g_Settings.PlayTimeDefault = m_playTime->text().toInt();
    g_Settings.NoSEAutoPlay = m_noSe->isChecked() ? 1 : 0;
    QDialog::accept();
}

void COptionsDialog::showEvent(QShowEvent* event)
{
    if (!m_centred) {
        // Centred over the owner, kept inside the work area of its screen.
        adjustSize();
        QWidget* owner = parentWidget();
        QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        const QRect frame = frameGeometry();
        QPoint topLeft = owner ? owner->frameGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2)
                               : area.center() - QPoint(frame.width() / 2, frame.height() / 2);
        if (area.isValid()) {
            topLeft.setX(std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width())));
            topLeft.setY(std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height())));
        }
        move(topLeft);
        m_centred = true;
    }
    QDialog::showEvent(event);
}
