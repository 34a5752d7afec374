// The MPRIS service object and its change announcements.
#include "ui/MprisService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

#include "app/DebugLog.h"
#include "ui/MprisAdaptors.h"

namespace {
constexpr int kPollMs = 250;
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
}  // namespace

CMprisService::CMprisService(IMediaTransport& transport, QObject* parent)
    : QObject(parent),
      m_transport(transport),
      m_player(new CMprisPlayerAdaptor(transport, this)),
      m_bus(QStringLiteral("kelvara-none")),
      m_timer(new QTimer(this))
{
    new CMprisRootAdaptor(transport, this);
    connect(m_player, &CMprisPlayerAdaptor::Commanded, this, &CMprisService::Poll);
    connect(m_timer, &QTimer::timeout, this, &CMprisService::Poll);
}

CMprisService::~CMprisService()
{
    if (m_registered) {
        m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
        m_bus.unregisterService(QString::fromLatin1(kServiceName));
    }
}

bool CMprisService::Start(QDBusConnection bus)
{
    if (m_registered)
        return true;
    if (!bus.isConnected()) {
        Log("MPRIS: no session bus, media controls are off\n");
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors)) {
        Log("MPRIS: cannot register the player object\n");
        return false;
    }
    if (!bus.registerService(QString::fromLatin1(kServiceName))) {
        Log("MPRIS: the name %s is taken, media controls are off\n", kServiceName);
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        return false;
    }
    m_bus = bus;
    m_registered = true;
    m_announced = Snapshot();
    m_timer->start(kPollMs);
    return true;
}

QVariantMap CMprisService::Snapshot() const
{
    QVariantMap s;
    s.insert(QStringLiteral("PlaybackStatus"), m_player->PlaybackStatus());
    s.insert(QStringLiteral("Metadata"), m_player->Metadata());
    s.insert(QStringLiteral("Volume"), m_player->Volume());
    const bool can = m_player->CanControlRom();
    for (const char* name : {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause"})
        s.insert(QString::fromLatin1(name), can);
    return s;
}

void CMprisService::Poll()
{
    if (!m_registered)
        return;
    const QVariantMap now = Snapshot();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    if (changed.isEmpty())
        return;
    m_announced = now;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    m_bus.send(signal);
}
