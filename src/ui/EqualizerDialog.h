// CEqualizerDialog: the "Graphic Equalizer" tool window. Nine vertical
// sliders show the current preset's gains (+15 dB at the top), a list picks
// one of the sixteen presets, "Name edit" renames it and "Reset" sets it
// flat. Every change is made in the settings' presets and heard at once
// through IPlayerHost::OnApplyEqPreset. Below the sliders a plot shows the
// resulting frequency response at the output rate.
//
// Modeless and owned by the main window; Close and Esc only hide it. The
// place it was last moved to is kept in GraphicEQPos.
#pragma once

#include <QDialog>
#include <array>

#include "app/Settings.h"

class IPlayerHost;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class CEqResponseView;

class CEqualizerDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBands = CSettings::kBandCount;

    CEqualizerDialog(IPlayerHost& host, QWidget* owner);
    ~CEqualizerDialog() override;

    // After something else (a ROM's playlist) chose the current preset.
    void Refresh();
    // The output device's rate, for the response plot.
    void SetSampleRate(int rate);

    QSlider* Slider(int band) const { return m_sliders[band]; }
    QLabel* ValueLabel(int band) const { return m_values[band]; }
    QComboBox* PresetList() const { return m_presets; }
    QPushButton* NameEditButton() const { return m_nameEdit; }
    QPushButton* ResetButton() const { return m_reset; }
    CEqResponseView* ResponseView() const { return m_response; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FillPresetList();
    void ShowCurrentPreset();
    void OnSliderMoved(int band, int value);
    void OnPresetChosen(int index);
    void OnNameEdit();
    void OnReset();
    void StorePosition();
    static int CurrentPreset();

    IPlayerHost& m_host;
    std::array<QSlider*, kBands> m_sliders{};
    std::array<QLabel*, kBands> m_values{};
    QComboBox* m_presets = nullptr;
    QPushButton* m_nameEdit = nullptr;
    QPushButton* m_reset = nullptr;
    CEqResponseView* m_response = nullptr;
    bool m_updating = false;
    bool m_placed = false;
};
