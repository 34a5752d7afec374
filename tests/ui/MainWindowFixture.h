// A real main window with its extras, a real render thread on SDL's dummy
// driver and a temporary program folder; user messages are collected.
#pragma once

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/Settings.h"
#include "audio/EmuThread.h"
#include "ui/MainWindow.h"
#include "ui/PlayerExtras.h"
#include "ui/UserMessage.h"

namespace fs = std::filesystem;

inline const std::string kDemoRom = std::string(KELVARA_SOURCE_DIR) + "/examples/roms/demo-opll-type40.bin";

// Runs the event loop until `done` or about 5 s have passed.
inline bool PumpUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 500 && !done(); ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_Settings = CSettings();
        g_Settings.AutoPlay = 0;
        m_folder = fs::temp_directory_path() / ("kelvara-mainwin-" + std::to_string(::getpid()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        SetUserMessageHook([this](const QString& caption, const QString& text) {
            m_messages.push_back(caption + ": " + text.trimmed());
        });
        m_thread.SetWaveFolder(m_folder.string() + "/", "/");
        m_device.SetMessageHandler(UserMessageHandler());
    }
    void TearDown() override
    {
        m_thread.Stop();
        m_window.reset();
        SetUserMessageHook(nullptr);
        fs::remove_all(m_folder);
        g_Settings = CSettings();
    }
    CMainWindow& Open(bool startUp = false)
    {
        m_window = std::make_unique<CMainWindow>(m_thread, m_device, m_folder.string() + "/");
        m_extras = new CPlayerExtras(*m_window, m_thread, m_device, m_folder.string() + "/");
        EXPECT_TRUE(m_window->Create(startUp));
        m_window->show();
        m_window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        return *m_window;
    }

    fs::path m_folder;
    CDirectSound m_device;
    CEmuThread m_thread{m_device};
    std::unique_ptr<CMainWindow> m_window;
    CPlayerExtras* m_extras = nullptr; // owned by the window
    std::vector<QString> m_messages;
};
