// MPRIS 2 adaptors over the player's transport.
#include "ui/MprisAdaptors.h"

#include <algorithm>
#include <cmath>

#include "app/Settings.h"
#include "player/MediaTransport.h"

CMprisRootAdaptor::CMprisRootAdaptor(IMediaTransport& transport, QObject* service)
    : QDBusAbstractAdaptor(service), m_transport(transport)
{
}

void CMprisRootAdaptor::Raise()
{
    m_transport.MediaRaise();
}

CMprisPlayerAdaptor::CMprisPlayerAdaptor(IMediaTransport& transport, QObject* service)
    : QDBusAbstractAdaptor(service), m_transport(transport)
{
}

QString CMprisPlayerAdaptor::PlaybackStatus() const
{
    switch (m_transport.MediaHasRom() ? m_transport.MediaState() : IMediaTransport::State::Stopped) {
    case IMediaTransport::State::Playing:
        return QStringLiteral("Playing");
    case IMediaTransport::State::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QVariantMap CMprisPlayerAdaptor::Metadata() const
{
    QVariantMap m;
    if (!m_transport.MediaHasRom()) {
        m.insert(QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
        return m;
    }
    const int code = m_transport.MediaCode();
    QString title = QString::fromStdString(m_transport.MediaRowName());
    if (title.isEmpty())
        title = QString::asprintf("Code %03d", code);
    m.insert(QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/kelvara/code/%1").arg(code))));
    m.insert(QStringLiteral("xesam:title"), title);
    m.insert(QStringLiteral("xesam:album"), QString::fromStdString(m_transport.MediaRomTitle()));
    m.insert(QStringLiteral("xesam:trackNumber"), code);
    return m;
}

double CMprisPlayerAdaptor::Volume() const
{
    return double(m_transport.MediaVolume()) / CSettings::kMaxVolume;
}

void CMprisPlayerAdaptor::SetVolume(double volume)
{
    if (std::isnan(volume))
        return;
    const double steps = std::clamp(volume, 0.0, 1.0) * CSettings::kMaxVolume;
    m_transport.MediaSetVolume(int32_t(std::lround(steps)));
    emit Commanded();
}

qlonglong CMprisPlayerAdaptor::Position() const
{
    return m_transport.MediaHasRom() ? qlonglong(m_transport.MediaPositionMs()) * 1000 : 0;
}

bool CMprisPlayerAdaptor::CanControlRom() const
{
    return m_transport.MediaHasRom();
}

void CMprisPlayerAdaptor::Next()
{
    m_transport.MediaNext();
    emit Commanded();
}

void CMprisPlayerAdaptor::Previous()
{
    m_transport.MediaPrevious();
    emit Commanded();
}

void CMprisPlayerAdaptor::Pause()
{
    if (m_transport.MediaState() == IMediaTransport::State::Playing)
        m_transport.MediaPause();
    emit Commanded();
}

void CMprisPlayerAdaptor::PlayPause()
{
    // Pause while playing; otherwise play (which also resumes a pause).
    if (m_transport.MediaState() == IMediaTransport::State::Playing)
        m_transport.MediaPause();
    else
        m_transport.MediaPlay();
    emit Commanded();
}

void CMprisPlayerAdaptor::Stop()
{
    m_transport.MediaStop();
    emit Commanded();
}

void CMprisPlayerAdaptor::Play()
{
    if (m_transport.MediaState() != IMediaTransport::State::Playing)
        m_transport.MediaPlay();
    emit Commanded();
}
