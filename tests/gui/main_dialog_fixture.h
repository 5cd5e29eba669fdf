// The main window under test: real widgets over a real temporary disk, a settings store in a temporary
// folder, a fault-injecting file system and scripted dialogs.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>

#include "app/main_dialog.h"
#include "engine/posix/posix_file_system.h"
#include "gui/scripted_dialogs.h"
#include "settings/settings_store.h"
#include "support/fault_injecting_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::test {

class MainDialogTest : public ::testing::Test {
protected:
    MainDialog& Open(const std::string& commandLineProfile = {},
                     std::chrono::milliseconds autoStartDelay = std::chrono::milliseconds(1000))
    {
        window = std::make_unique<MainDialog>(faults, settings, dialogs, places, autoStartDelay);
        window->SetCommandLineProfile(commandLineProfile);
        window->show();
        return *window;
    }

    // The engine works on a thread of its own: a click on a run button returns at once, and the run
    // ends later from the window's event loop. False when it did not end in time.
    bool WaitForRunEnd(int timeoutMs = 20000)
    {
        return QTest::qWaitFor([this] { return !window->Run().IsRunning(); }, timeoutMs);
    }

    // Clicks a run button and waits until that run is over.
    void RunAndWait(const char* button)
    {
        Click(button);
        EXPECT_TRUE(WaitForRunEnd()) << button;
    }

    const std::vector<std::string>& History(LocationSide side) { return window->Histories().Of(side); }

    template <typename Widget> Widget* Find(const char* name)
    {
        auto* widget = window->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Clicks near the left edge, where a wide check box has its box and text.
    void Click(const char* name)
    {
        QWidget* widget = Find<QWidget>(name);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(6, widget->height() / 2));
    }

    bool Enabled(const char* name) { return Find<QWidget>(name)->isEnabled(); }
    bool Checked(const char* name) { return Find<QAbstractButton>(name)->isChecked(); }
    bool Shown(const char* name) { return Find<QWidget>(name)->isVisible(); }
    QString Text(const char* name) { return Find<QLineEdit>(name)->text(); }

    std::string Setting(const char* name)
    {
        std::string value;
        return settings.ReadRegString(name, value) ? value : "<missing>";
    }

    void SetLocations(const std::string& first, const std::string& second)
    {
        EXPECT_TRUE(settings.WriteRegString("Location1A", first));
        EXPECT_TRUE(settings.WriteRegString("Location2A", second));
    }

    void SetOptions(std::uint32_t add, std::uint32_t del, std::uint32_t confirm, std::uint32_t sub)
    {
        settings.WriteRegNumber("AddMissing", add);
        settings.WriteRegNumber("DelMissing", del);
        settings.WriteRegNumber("CheckDel", confirm);
        settings.WriteRegNumber("SubFolders", sub);
    }

    // Runs the callback from the window's event loop once the engine is held inside a copy and the
    // progress line shows it.
    // Files f0.txt, f1.txt… in src, each with content of its own.
    void WriteNumberedFiles(int count)
    {
        for (int index = 0; index < count; ++index)
            disk.WriteFile("src/f" + std::to_string(index) + ".txt", "content " + std::to_string(index));
    }

    // How many of those reached dst, each checked to be whole.
    int CountCopiedWhole(int count)
    {
        int copied = 0;
        for (int index = 0; index < count; ++index) {
            const std::string name = "f" + std::to_string(index) + ".txt";
            if (disk.Exists("dst/" + name)) {
                ++copied;
                EXPECT_EQ(disk.ReadFile("dst/" + name), "content " + std::to_string(index));
            }
        }
        return copied;
    }

    void WhenCopyHeld(std::function<void()> callback)
    {
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, callback] {
            if (!faults.WaitUntilHeld(std::chrono::milliseconds(0)) || Text("executionEdit").isEmpty())
                return;
            poll->stop();
            callback();
        });
        poll->start(5);
    }

    TempTree config;
    // The journals and the home trash of the window's runs, never the tester's own.
    UserPlaces places{config.Path("data/Trash/"), config.Path("state/twinfol/"), geteuid()};
    TempTree disk;
    PosixFileSystem posix;
    FaultInjectingFileSystem faults{posix};
    SettingsStore settings{posix, config.Path("user/Twinfol.conf"), config.Path("machine/Twinfol.conf")};
    ScriptedDialogs dialogs{posix};
    std::unique_ptr<MainDialog> window;
};

} // namespace twinfol::test
