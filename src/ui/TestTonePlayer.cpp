// Test tone output through its own SDL audio device.
#include "ui/TestTonePlayer.h"

#include <QTimer>
#include <SDL.h>

#include "player/TestTone.h"

CTestTonePlayer::CTestTonePlayer(QObject* parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &CTestTonePlayer::StopTone);
}

CTestTonePlayer::~CTestTonePlayer()
{
    m_timer->stop();
    if (m_device != 0)
        SDL_CloseAudioDevice(m_device);
    if (m_audioInit)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool CTestTonePlayer::Play(const QString& deviceName, int rate, QString& error)
{
    StopTone();
    if (!m_audioInit) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            error = QString::fromUtf8(SDL_GetError());
            return false;
        }
        m_audioInit = true;
    }
    const TestToneShape shape;
    const auto pcm = MakeTestTone(rate, shape);
    if (pcm.empty()) {
        error = QStringLiteral("unusable rate %1").arg(rate);
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    const QByteArray name = deviceName.toUtf8();
    m_device = SDL_OpenAudioDevice(deviceName.isEmpty() ? nullptr : name.constData(), 0, &want, nullptr, 0);
    if (m_device == 0) {
        error = QString::fromUtf8(SDL_GetError());
        return false;
    }
    SDL_QueueAudio(m_device, pcm.data(), uint32_t(pcm.size() * sizeof(int16_t)));
    SDL_PauseAudioDevice(m_device, 0);
    // Close once the tone has played out, with time for the device's own
    // buffering.
    m_timer->start(int(shape.seconds * 1000) + 250);
    return true;
}

void CTestTonePlayer::StopTone()
{
    m_timer->stop();
    if (m_device == 0)
        return;
    SDL_CloseAudioDevice(m_device);
    m_device = 0;
    emit Finished();
}
