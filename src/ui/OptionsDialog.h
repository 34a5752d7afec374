// COptionsDialog: the modal "オプション設定" dialog. It edits the output
// device and rate, the WAV folder, the autoplay time and whether autoplay
// skips sound effects. OK stores the last three in the settings; the device
// and rate chosen are left for the main window, which re-creates the output
// only when either differs from the current one.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "audio/DirectSound.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class CTestTonePlayer;

class COptionsDialog : public QDialog {
    Q_OBJECT
public:
    struct Rate {
        int hz;
        int bits;
    };
    static const std::vector<Rate>& Rates();
    static constexpr int kMinPlayTime = 1;
    static constexpr int kMaxPlayTime = 600;

    COptionsDialog(const std::vector<DeviceInfo>& devices, const std::string& programFolder, QWidget* owner);

    // The choice made with OK (valid after the dialog was accepted).
    int DeviceIndex() const { return m_deviceIndex; }
    int RateIndex() const { return m_rateIndex; }
    DeviceGuid ChosenDevice() const;
    int ChosenRate() const;

    // Replaces the system folder browser (tests): gets the folder to start
    // in, returns the picked folder or an empty text.
    using FolderPicker = std::function<QString(const QString& start)>;
    void SetFolderPicker(FolderPicker picker) { m_pickFolder = std::move(picker); }

    QComboBox* DeviceList() const { return m_devices; }
    QComboBox* RateList() const { return m_rates; }
    QLineEdit* WaveFolderEdit() const { return m_wavePath; }
    QPushButton* BrowseButton() const { return m_browse; }
    QLineEdit* PlayTimeEdit() const { return m_playTime; }
    QToolButton* PlayTimeUp() const { return m_up; }
    QToolButton* PlayTimeDown() const { return m_down; }
    QCheckBox* NoSeCheck() const { return m_noSe; }
    QPushButton* TestToneButton() const { return m_test; }
    CTestTonePlayer* TestTone() const { return m_tone; }

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void StepPlayTime(int delta);
    void Browse();
    void PlayTestTone();
    bool ConfirmWaveFolder(const QString& folder);

    std::vector<DeviceInfo> m_deviceInfo;
    std::string m_programFolder;
    QComboBox* m_devices;
    QComboBox* m_rates;
    QLineEdit* m_wavePath;
    QPushButton* m_browse;
    QLineEdit* m_playTime;
    QToolButton* m_up;
    QToolButton* m_down;
    QCheckBox* m_noSe;
    QPushButton* m_test;
    CTestTonePlayer* m_tone;
    FolderPicker m_pickFolder;
    int m_deviceIndex = 0;
    int m_rateIndex = 0;
    bool m_centred = false;
};
