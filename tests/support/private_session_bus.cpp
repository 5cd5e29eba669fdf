// A private session bus and a recording notification server on it.
#include "support/private_session_bus.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>

extern char** environ;

namespace twinfol::test {

PrivateSessionBus::PrivateSessionBus()
{
    std::array<int, 2> pipeEnds{};
    if (pipe2(pipeEnds.data(), O_CLOEXEC) != 0) {
        failure_ = "cannot make a pipe";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    // It complains that it may not raise its descriptor limit, which a test's bus does not need.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "dbus-daemon";
    std::string session = "--session";
    std::string print = "--print-address";
    std::string noFork = "--nofork";
    std::array<char*, 5> arguments{program.data(), session.data(), print.data(), noFork.data(), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, program.c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned == 0) {
        daemon_ = child;
        // The daemon prints its address once it listens, as one line.
        char byte = 0;
        while (read(pipeEnds[0], &byte, 1) == 1 && byte != '\n')
            address_ += byte;
    }
    close(pipeEnds[0]);
    if (address_.empty())
        failure_ = "dbus-daemon did not start (apt-get install dbus-daemon)";
}

PrivateSessionBus::~PrivateSessionBus()
{
    if (daemon_ > 0) {
        kill(daemon_, SIGTERM);
        waitpid(daemon_, nullptr, 0);
    }
}

namespace {

constexpr const char* serverPath = "/org/freedesktop/Notifications";
constexpr const char* serverInterface = "org.freedesktop.Notifications";

} // namespace

NotificationServer::NotificationServer(const std::string& address, std::vector<std::string> capabilities,
                                       ActionAnswer answer)
    : capabilities_(std::move(capabilities)), answer_(answer)
{
    if (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address.c_str()) < 0 ||
        sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0) {
        failure_ = "cannot connect to the private bus at " + address;
        return;
    }
    static const sd_bus_vtable table[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", &NotificationServer::OnNotify,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("GetCapabilities", "", "as", &NotificationServer::OnGetCapabilities,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("ActionInvoked", "us", 0),
        SD_BUS_SIGNAL("NotificationClosed", "uu", 0),
        SD_BUS_VTABLE_END,
    };
    // The name is owned before the constructor returns, so that a runner started next finds it.
    if (sd_bus_add_object_vtable(bus_, &object_, serverPath, serverInterface, table, this) < 0 ||
        sd_bus_request_name(bus_, serverInterface, 0) < 0) {
        failure_ = "cannot own org.freedesktop.Notifications on the private bus";
        return;
    }
    thread_ = std::thread([this] { Serve(); });
}

NotificationServer::~NotificationServer()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    sd_bus_slot_unref(object_);
    sd_bus_flush_close_unref(bus_);
}

std::vector<NotifyCall> NotificationServer::Calls() const
{
    const std::lock_guard lock(mutex_);
    return calls_;
}

// Wakes every tenth of a second to see whether the test has ended.
void NotificationServer::Serve()
{
    while (!stopping_) {
        const int processed = sd_bus_process(bus_, nullptr);
        if (processed < 0)
            return;
        if (processed == 0)
            sd_bus_wait(bus_, 100'000);
    }
}

int NotificationServer::OnNotify(sd_bus_message* message, void* data, sd_bus_error*)
{
    NotificationServer& server = *static_cast<NotificationServer*>(data);
    NotifyCall call;
    const char* appName = nullptr;
    const char* icon = nullptr;
    const char* summary = nullptr;
    const char* body = nullptr;
    char** actions = nullptr;
    int read = sd_bus_message_read(message, "susss", &appName, &call.replaces, &icon, &summary, &body);
    if (read >= 0)
        read = sd_bus_message_read_strv(message, &actions);
    if (read < 0)
        return read;
    call.appName = appName;
    call.summary = summary;
    call.body = body;
    for (char** action = actions; action != nullptr && *action != nullptr; ++action) {
        call.actions.emplace_back(*action);
        free(*action);
    }
    free(actions);
    std::uint32_t id = 0;
    {
        const std::lock_guard lock(server.mutex_);
        server.calls_.push_back(call);
        id = call.replaces != 0 ? call.replaces : static_cast<std::uint32_t>(server.calls_.size());
    }
    const int replied = sd_bus_reply_method_return(message, "u", id);
    if (replied < 0 || call.actions.empty())
        return replied;
    if (server.answer_ == ActionAnswer::InvokeFirst)
        sd_bus_emit_signal(server.bus_, serverPath, serverInterface, "ActionInvoked", "us", id,
                           call.actions.front().c_str());
    // Reason 2: dismissed by the user.
    else if (server.answer_ == ActionAnswer::Close)
        sd_bus_emit_signal(server.bus_, serverPath, serverInterface, "NotificationClosed", "uu", id, 2u);
    return replied;
}

int NotificationServer::OnGetCapabilities(sd_bus_message* message, void* data, sd_bus_error*)
{
    const NotificationServer& server = *static_cast<const NotificationServer*>(data);
    sd_bus_message* reply = nullptr;
    int result = sd_bus_message_new_method_return(message, &reply);
    if (result < 0)
        return result;
    std::vector<char*> list;
    for (const std::string& capability : server.capabilities_)
        list.push_back(const_cast<char*>(capability.c_str()));
    list.push_back(nullptr);
    result = sd_bus_message_append_strv(reply, list.data());
    if (result >= 0)
        result = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return result;
}

} // namespace twinfol::test
