// The MPRIS service driven over a private session bus, as playerctl would.
// The suite runs under dbus-run-session (see tests.cmake) and is skipped
// elsewhere so it never touches a user's desktop session.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

#include "player/MediaTransport.h"
#include "ui/MprisService.h"

namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

class FakeTransport : public IMediaTransport {
public:
    void MediaPlay() override { state = State::Playing; }
    void MediaPause() override { state = State::Paused; }
    void MediaStop() override { state = State::Stopped; }
    void MediaNext() override { code = (code + 1) % 256, state = State::Playing; }
    void MediaPrevious() override { code = (code + 255) % 256, state = State::Playing; }
    void MediaRaise() override { ++raised; }
    bool MediaHasRom() const override { return hasRom; }
    State MediaState() const override { return state; }
    int32_t MediaCode() const override { return code; }
    std::string MediaRowName() const override { return code == 2 ? "ボーナス確定" : ""; }
    std::string MediaRomTitle() const override { return "Test Machine"; }
    int64_t MediaPositionMs() const override { return 1500; }
    int32_t MediaVolume() const override { return volume; }
    void MediaSetVolume(int32_t v) override { volume = v; }

    bool hasRom = true;
    State state = State::Stopped;
    int32_t code = 0;
    int32_t volume = 30;
    int raised = 0;
};

// Records PropertiesChanged signals as a client sees them.
class ChangeListener : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
public slots:
    void OnChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        if (interface == kPlayerInterface)
            changes << changed;
    }
};

class MprisTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("KELVARA_PRIVATE_BUS"))
            GTEST_SKIP() << "needs a private session bus (run through ctest's Mpris test)";
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
        service = std::make_unique<CMprisService>(transport);
        ASSERT_TRUE(service->Start());
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("mpris-client")));
        ASSERT_TRUE(client->isConnected());
    }
    void TearDown() override
    {
        service.reset();
        client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("mpris-client"));
    }
    QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& args = {})
    {
        QDBusMessage m = QDBusMessage::createMethodCall(QString::fromLatin1(CMprisService::kServiceName),
                                                        QString::fromLatin1(CMprisService::kObjectPath),
                                                        interface, method);
        m.setArguments(args);
        return client->call(m, QDBus::BlockWithGui, 3000);
    }
    QVariant Get(const QString& name)
    {
        const QDBusMessage r = Call(kProperties, QStringLiteral("Get"), {kPlayerInterface, name});
        EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
        return r.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariantMap Metadata()
    {
        QVariantMap m;
        Get(QStringLiteral("Metadata")).value<QDBusArgument>() >> m;
        return m;
    }
    QDBusMessage Player(const QString& method) { return Call(kPlayerInterface, method); }

    FakeTransport transport;
    std::unique_ptr<CMprisService> service;
    std::unique_ptr<QDBusConnection> client;
};

TEST_F(MprisTest, NextStepsTheCodeAndStatusAndMetadataFollowWithSignals)
{
    ChangeListener listener;
    ASSERT_TRUE(client->connect(QString::fromLatin1(CMprisService::kServiceName),
                                QString::fromLatin1(CMprisService::kObjectPath),
                                kProperties, QStringLiteral("PropertiesChanged"), &listener,
                                SLOT(OnChanged(QString, QVariantMap, QStringList))));
    transport.code = 1;
    service->Poll();
    EXPECT_EQ(Get(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    EXPECT_EQ(Metadata().value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Code 001"));

    EXPECT_EQ(Player(QStringLiteral("Next")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(transport.code, 2);
    EXPECT_EQ(Get(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    const QVariantMap meta = Metadata();
    EXPECT_EQ(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("ボーナス確定"));
    EXPECT_EQ(meta.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Test Machine"));
    EXPECT_EQ(meta.value(QStringLiteral("xesam:trackNumber")).toInt(), 2);
    EXPECT_EQ(meta.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QStringLiteral("/org/kelvara/code/2"));

    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (const QVariantMap& c : listener.changes)
            if (c.value(QStringLiteral("PlaybackStatus")).toString() == QStringLiteral("Playing"))
                return c.contains(QStringLiteral("Metadata"));
        return false;
    }, 3000));

    // A change made in the window (not over the bus) is announced by the poll.
    listener.changes.clear();
    transport.state = IMediaTransport::State::Paused;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !listener.changes.isEmpty(); }, 3000));
    EXPECT_EQ(listener.changes.last().value(QStringLiteral("PlaybackStatus")).toString(),
              QStringLiteral("Paused"));
}

TEST_F(MprisTest, TransportMethodsAndVolumeMapOntoThePlayer)
{
    using State = IMediaTransport::State;
    // Pause while not playing does nothing.
    const std::pair<const char*, State> steps[] = {{"PlayPause", State::Playing}, {"PlayPause", State::Paused},
                                                   {"Play", State::Playing},      {"Previous", State::Playing},
                                                   {"Stop", State::Stopped},      {"Pause", State::Stopped}};
    for (auto [method, state] : steps) {
        Player(QString::fromLatin1(method));
        EXPECT_EQ(transport.state, state) << method;
    }
    EXPECT_EQ(transport.code, 255);
    Call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Raise"));
    EXPECT_EQ(transport.raised, 1);

    transport.volume = 15;
    EXPECT_DOUBLE_EQ(Get(QStringLiteral("Volume")).toDouble(), 0.5);
    for (auto [set, position] : {std::pair{0.8, 24}, {7.0, 30}, {-1.0, 0}}) {
        const QDBusMessage r = Call(kProperties, QStringLiteral("Set"),
                                    {kPlayerInterface, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(set))});
        EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
        EXPECT_EQ(transport.volume, position) << set;
    }

    transport.hasRom = false;
    EXPECT_FALSE(Get(QStringLiteral("CanPlay")).toBool());
    EXPECT_EQ(Get(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    EXPECT_FALSE(Metadata().contains(QStringLiteral("xesam:title")));
}

// Without any bus the service stays off and nothing else changes.
TEST(Mpris, WithoutABusTheServiceStaysOff)
{
    FakeTransport transport;
    CMprisService service(transport);
    EXPECT_FALSE(service.Start(QDBusConnection(QStringLiteral("no-such-connection"))));
    EXPECT_FALSE(service.IsRegistered());
    service.Poll();
    EXPECT_EQ(transport.code, 0);
}

}  // namespace

#include "MprisTest.moc"
