// A session bus of the test's own (dbus-daemon --session), and a notification server on it that
// records each Notify call and can answer with the action a person would click.
#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace twinfol::test {

class PrivateSessionBus {
public:
    // Starts the daemon and reads its address; Failure() says why when it could not.
    PrivateSessionBus();
    // Stops the daemon.
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // The address to give as DBUS_SESSION_BUS_ADDRESS.
    const std::string& Address() const { return address_; }
    const std::string& Failure() const { return failure_; }

private:
    int daemon_ = -1;
    std::string address_;
    std::string failure_;
};

// One Notify call as the server received it.
struct NotifyCall {
    std::string appName;
    std::uint32_t replaces = 0;
    std::string summary;
    std::string body;
    // Keys and labels in turn, as sent.
    std::vector<std::string> actions;
};

// What the server does when a notification with actions arrives.
enum class ActionAnswer {
    // Nothing: the notification stays.
    None,
    // Invokes the notification's first action at once, as a click would.
    InvokeFirst,
    // Closes the notification at once, as a person dismissing it would.
    Close,
};

// Owns org.freedesktop.Notifications on the bus from construction until destruction, and serves it
// on a thread of its own.
class NotificationServer {
public:
    NotificationServer(const std::string& address, std::vector<std::string> capabilities,
                       ActionAnswer answer);
    ~NotificationServer();
    NotificationServer(const NotificationServer&) = delete;
    NotificationServer& operator=(const NotificationServer&) = delete;

    const std::string& Failure() const { return failure_; }
    std::vector<NotifyCall> Calls() const;

private:
    static int OnNotify(sd_bus_message* message, void* data, sd_bus_error* error);
    static int OnGetCapabilities(sd_bus_message* message, void* data, sd_bus_error* error);
    void Serve();

    std::vector<std::string> capabilities_;
    ActionAnswer answer_;
    sd_bus* bus_ = nullptr;
    sd_bus_slot* object_ = nullptr;
    std::string failure_;
    mutable std::mutex mutex_;
    std::vector<NotifyCall> calls_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace twinfol::test
