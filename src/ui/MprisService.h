// CMprisService: the player on the session bus as
// org.mpris.MediaPlayer2.kelvara, so media keys, panel widgets and
// playerctl control it. It polls the transport a few times a second (and
// right after every command it receives) and announces changed properties
// with org.freedesktop.DBus.Properties.PropertiesChanged.
//
// Without a session bus, or when the name is taken, Start returns false and
// the player simply runs without it.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

class IMediaTransport;
class QTimer;
class CMprisPlayerAdaptor;

class CMprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.kelvara";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    CMprisService(IMediaTransport& transport, QObject* parent = nullptr);
    ~CMprisService() override;

    // Registers the object and the name on `bus`; false (with the reason
    // logged) when that is not possible.
    bool Start(QDBusConnection bus = QDBusConnection::sessionBus());
    bool IsRegistered() const { return m_registered; }

    // Compares the player's state with what was last announced and sends
    // PropertiesChanged for the differences.
    void Poll();

private:
    QVariantMap Snapshot() const;

    IMediaTransport& m_transport;
    CMprisPlayerAdaptor* m_player;
    QDBusConnection m_bus;
    QTimer* m_timer;
    QVariantMap m_announced;
    bool m_registered = false;
};
