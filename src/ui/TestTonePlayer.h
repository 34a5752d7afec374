// CTestTonePlayer: plays the test tone once on an output device, next to
// whatever the player itself is playing, and closes the device when done.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class QTimer;

class CTestTonePlayer : public QObject {
    Q_OBJECT
public:
    explicit CTestTonePlayer(QObject* parent = nullptr);
    ~CTestTonePlayer() override;

    // deviceName empty = the system's default device. False, with the
    // reason in `error`, when the device cannot be opened.
    bool Play(const QString& deviceName, int rate, QString& error);
    bool IsPlaying() const { return m_device != 0; }
    void StopTone();

signals:
    void Finished();

private:
    uint32_t m_device = 0;
    bool m_audioInit = false;
    QTimer* m_timer;
};
