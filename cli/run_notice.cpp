// The notification of a run's end over D-Bus, and the wait for its action.
//
// sd-bus from libsystemd carries it: a small, well-kept C library with no main loop or object system
// of its own to pull into the Qt-free runner, already on every machine whose user manager runs the
// runner's schedules.
#include "cli/run_notice.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/report_window.h"

namespace twinfol::cli {
namespace {

constexpr const char* notificationService = "org.freedesktop.Notifications";
constexpr const char* notificationPath = "/org/freedesktop/Notifications";
constexpr const char* notificationInterface = "org.freedesktop.Notifications";
constexpr const char* applicationName = "Twinfol";
constexpr const char* openReportKey = "open-report";
// A server that has not answered a call in five seconds is taken for none.
constexpr std::uint64_t callTimeoutMicroseconds = 5'000'000;

struct BusClose {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusClose>;
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;
struct SlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using Slot = std::unique_ptr<sd_bus_slot, SlotUnref>;

class BusError {
public:
    BusError() = default;
    ~BusError() { sd_bus_error_free(&error_); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    sd_bus_error* Get() { return &error_; }

private:
    sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

// The session bus named by DBUS_SESSION_BUS_ADDRESS, or the user manager's own in XDG_RUNTIME_DIR;
// nothing when there is neither.
Bus OpenSessionBus()
{
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0)
        return nullptr;
    Bus opened(bus);
    sd_bus_set_method_call_timeout(bus, callTimeoutMicroseconds);
    return opened;
}

// The server's capabilities ("actions", "body-markup", ...); empty when no server answers.
std::vector<std::string> Capabilities(sd_bus* bus)
{
    BusError error;
    sd_bus_message* answer = nullptr;
    if (sd_bus_call_method(bus, notificationService, notificationPath, notificationInterface,
                           "GetCapabilities", error.Get(), &answer, "") < 0)
        return {};
    const Message reply(answer);
    char** list = nullptr;
    if (sd_bus_message_read_strv(answer, &list) < 0)
        return {};
    std::vector<std::string> capabilities;
    for (char** entry = list; entry != nullptr && *entry != nullptr; ++entry) {
        capabilities.emplace_back(*entry);
        free(*entry);
    }
    free(list);
    return capabilities;
}

bool Has(const std::vector<std::string>& list, std::string_view item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

// What one Notify call sends.
struct Notice {
    NoticeText text;
    // A run that needs a look (refused, interrupted, with problems) is sent as critical, which most
    // servers keep on screen until it is dismissed.
    bool critical = false;
    bool offersReport = false;
    // The notification this one takes the place of; 0 for a new one.
    std::uint32_t replaces = 0;
};

// Sends the notice; answers its id, 0 when it was not sent.
std::uint32_t SendNotice(sd_bus* bus, const Notice& notice)
{
    sd_bus_message* made = nullptr;
    if (sd_bus_message_new_method_call(bus, &made, notificationService, notificationPath,
                                       notificationInterface, "Notify") < 0)
        return 0;
    const Message call(made);
    const std::uint8_t urgency = notice.critical ? 2 : 1;
    int appended = sd_bus_message_append(made, "susss", applicationName, notice.replaces, "twinfol",
                                         notice.text.summary.c_str(), notice.text.body.c_str());
    if (appended >= 0)
        appended = notice.offersReport ? sd_bus_message_append(made, "as", 2, openReportKey, "Open report")
                                       : sd_bus_message_append(made, "as", 0);
    if (appended >= 0)
        appended = sd_bus_message_append(made, "a{sv}i", 2, "desktop-entry", "s", "twinfol", "urgency", "y",
                                         urgency, -1);
    if (appended < 0)
        return 0;
    BusError error;
    sd_bus_message* answer = nullptr;
    if (sd_bus_call(bus, made, 0, error.Get(), &answer) < 0)
        return 0;
    const Message reply(answer);
    std::uint32_t id = 0;
    return sd_bus_message_read(answer, "u", &id) < 0 ? 0 : id;
}

// What the wait for the action has seen of our notification.
struct ActionWait {
    std::uint32_t id = 0;
    bool closed = false;
    bool invoked = false;
};

int OnActionInvoked(sd_bus_message* message, void* data, sd_bus_error*)
{
    ActionWait& wait = *static_cast<ActionWait*>(data);
    std::uint32_t id = 0;
    const char* key = nullptr;
    if (sd_bus_message_read(message, "us", &id, &key) < 0 || id != wait.id)
        return 0;
    // Clicking the notification itself invokes "default" on many servers: it opens the report too.
    const std::string_view invoked = key;
    if (invoked == openReportKey || invoked == "default")
        wait.invoked = true;
    return 0;
}

int OnClosed(sd_bus_message* message, void* data, sd_bus_error*)
{
    ActionWait& wait = *static_cast<ActionWait*>(data);
    std::uint32_t id = 0;
    std::uint32_t reason = 0;
    if (sd_bus_message_read(message, "uu", &id, &reason) >= 0 && id == wait.id)
        wait.closed = true;
    return 0;
}

// Processes the bus until the action is invoked, the notification is closed, the connection is lost,
// a stop is requested or the longest wait has passed.
void AwaitAction(sd_bus* bus, ActionWait& wait, const SyncRunState& runState)
{
    const auto deadline = std::chrono::steady_clock::now() + longestNoticeWait;
    while (!wait.invoked && !wait.closed && !runState.IsStopped()) {
        const int processed = sd_bus_process(bus, nullptr);
        if (processed < 0)
            return;
        if (processed > 0)
            continue;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return;
        const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
        const int waited = sd_bus_wait(bus, static_cast<std::uint64_t>(micro));
        if (waited < 0 && waited != -EINTR)
            return;
    }
}

} // namespace

void DesktopNotices::RunEnded(const RunEnding& ending)
{
    const Bus bus = OpenSessionBus();
    if (!bus)
        return;
    const std::vector<std::string> capabilities = Capabilities(bus.get());
    Notice notice{NoticeTextOf(ending), ending.outcome != RunOutcome::Done || ending.problems > 0, false, 0};
    if (Has(capabilities, "body-markup"))
        notice.text.body = EscapedForMarkup(notice.text.body);
    // An action needs a server that shows actions, a report to open and this process to receive it (a
    // runner asked to stop will not stay).
    notice.offersReport = ending.wait == NoticeWait::Yes && Has(capabilities, "actions") &&
                          !ending.reportFile.empty() && access(ending.reportFile.c_str(), R_OK) == 0 &&
                          !runState_.IsStopped();
    if (!notice.offersReport) {
        SendNotice(bus.get(), notice);
        return;
    }
    // The signals are matched before the notification is sent, so that an answer cannot come first.
    ActionWait wait;
    sd_bus_slot* invokedSlot = nullptr;
    sd_bus_slot* closedSlot = nullptr;
    if (sd_bus_match_signal(bus.get(), &invokedSlot, nullptr, notificationPath, notificationInterface,
                            "ActionInvoked", OnActionInvoked, &wait) < 0 ||
        sd_bus_match_signal(bus.get(), &closedSlot, nullptr, notificationPath, notificationInterface,
                            "NotificationClosed", OnClosed, &wait) < 0)
        notice.offersReport = false;
    const Slot invokedMatch(invokedSlot);
    const Slot closedMatch(closedSlot);
    wait.id = SendNotice(bus.get(), notice);
    if (wait.id == 0 || !notice.offersReport)
        return;
    AwaitAction(bus.get(), wait, runState_);
    if (wait.invoked) {
        StartReportWindow(ending.reportFile);
    } else if (!wait.closed && !runState_.IsStopped()) {
        // Nobody will receive the action once this process is gone: the notification stays, without it.
        notice.offersReport = false;
        notice.replaces = wait.id;
        SendNotice(bus.get(), notice);
    }
}

} // namespace twinfol::cli
