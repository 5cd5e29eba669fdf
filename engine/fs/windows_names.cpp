// Finding what in a name a Windows-rules disk cannot hold, and the reasons, made once.
#include "engine/fs/windows_names.h"

#include <array>
#include <cstddef>
#include <string>

namespace twinfol {
namespace {

constexpr std::array<std::string_view, 22> deviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

// Each thing a name may hold that the disk cannot, numbered: the forbidden characters in their order,
// then a control character, a dot at the end, a space at the end, and the device names in their order.
constexpr std::size_t controlFault = forbiddenNameCharacters.size();
constexpr std::size_t trailingDotFault = controlFault + 1;
constexpr std::size_t trailingSpaceFault = controlFault + 2;
constexpr std::size_t firstDeviceFault = controlFault + 3;
constexpr std::size_t faultCount = firstDeviceFault + deviceNames.size();
constexpr std::size_t noFault = faultCount;

std::string FaultText(std::size_t fault)
{
    if (fault < controlFault)
        return std::string("'") + forbiddenNameCharacters[fault] + "' in a name";
    switch (fault) {
    case controlFault: return "a control character in a name";
    case trailingDotFault: return "a dot at the end of a name";
    case trailingSpaceFault: return "a space at the end of a name";
    default: return "the device name " + std::string(deviceNames[fault - firstDeviceFault]) + " in a name";
    }
}

// Every reason of every rules but Posix, made on first use: a refusal carries its reason as a plain
// pointer, which must stay valid for as long as the program runs.
class ReasonTable {
public:
    ReasonTable()
    {
        for (const NameRules rules : {NameRules::Fat, NameRules::Exfat, NameRules::Ntfs})
            for (std::size_t fault = 0; fault < faultCount; ++fault)
                reasons_[Row(rules)][fault] = "the target disk (" + std::string(NameRulesLabel(rules)) +
                                              ") cannot hold " + FaultText(fault);
    }

    const char* Reason(NameRules rules, std::size_t fault) const
    {
        return reasons_[Row(rules)][fault].c_str();
    }

private:
    static std::size_t Row(NameRules rules) { return static_cast<std::size_t>(rules) - 1; }

    std::array<std::array<std::string, faultCount>, 3> reasons_;
};

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char upper = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        if (upper != b[i])
            return false;
    }
    return true;
}

std::size_t FaultOf(std::string_view name)
{
    for (const char c : name) {
        if (c > 0 && c < 32)
            return controlFault;
        if (const std::size_t at = forbiddenNameCharacters.find(c); at != std::string_view::npos)
            return at;
    }
    if (name.ends_with('.') && name != "." && name != "..")
        return trailingDotFault;
    if (name.ends_with(' '))
        return trailingSpaceFault;
    // "con", "CON.txt" and "Con.tar.gz" all name the console to Windows.
    const std::string_view stem = name.substr(0, name.find('.'));
    for (std::size_t device = 0; device < deviceNames.size(); ++device)
        if (SameIgnoringCase(stem, deviceNames[device]))
            return firstDeviceFault + device;
    return noFault;
}

} // namespace

const char* UnholdableNameReason(std::string_view name, NameRules rules)
{
    if (rules == NameRules::Posix)
        return nullptr;
    const std::size_t fault = FaultOf(name);
    if (fault == noFault)
        return nullptr;
    static const ReasonTable table;
    return table.Reason(rules, fault);
}

} // namespace twinfol
