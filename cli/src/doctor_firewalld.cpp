#include "doctor_firewalld.h"

#include <dbus/dbus.h>
#include <unistd.h>

#include <algorithm>
#include <initializer_list>
#include <memory>

namespace quorrel::cli {
namespace {

constexpr const char* kFirewalld = "org.fedoraproject.FirewallD1";
constexpr const char* kFirewalldPath = "/org/fedoraproject/FirewallD1";
constexpr const char* kZoneInterface = "org.fedoraproject.FirewallD1.zone";
constexpr int kCallTimeoutMs = 5000;
constexpr const char* kServiceFiles[] = {"/etc/firewalld/services/quorrel.xml", "/usr/lib/firewalld/services/quorrel.xml"};

struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

// What doctor reads of a settings dictionary (a{sv}): texts, lists of texts, lists of pairs.
struct Settings {
    std::map<std::string, std::string> texts;
    std::map<std::string, std::vector<std::string>> lists;
    std::map<std::string, std::vector<FirewalldPort>> pairs;
};

std::vector<std::string> ReadTexts(DBusMessageIter* array) {
    std::vector<std::string> texts;
    DBusMessageIter item;
    dbus_message_iter_recurse(array, &item);
    while (dbus_message_iter_get_arg_type(&item) == DBUS_TYPE_STRING) {
        const char* text = nullptr;
        dbus_message_iter_get_basic(&item, &text);
        texts.emplace_back(text);
        dbus_message_iter_next(&item);
    }
    return texts;
}

std::vector<FirewalldPort> ReadPairs(DBusMessageIter* array) {
    std::vector<FirewalldPort> pairs;
    DBusMessageIter structure;
    dbus_message_iter_recurse(array, &structure);
    while (dbus_message_iter_get_arg_type(&structure) == DBUS_TYPE_STRUCT) {
        DBusMessageIter field;
        dbus_message_iter_recurse(&structure, &field);
        std::vector<std::string> fields;
        while (dbus_message_iter_get_arg_type(&field) == DBUS_TYPE_STRING) {
            const char* text = nullptr;
            dbus_message_iter_get_basic(&field, &text);
            fields.emplace_back(text);
            dbus_message_iter_next(&field);
        }
        if (fields.size() >= 2) pairs.emplace_back(fields[0], fields[1]);
        dbus_message_iter_next(&structure);
    }
    return pairs;
}

Settings ReadSettings(DBusMessage* reply) {
    Settings settings;
    DBusMessageIter arguments;
    if (!dbus_message_iter_init(reply, &arguments) || dbus_message_iter_get_arg_type(&arguments) != DBUS_TYPE_ARRAY) {
        return settings;
    }
    DBusMessageIter entry;
    dbus_message_iter_recurse(&arguments, &entry);
    for (; dbus_message_iter_get_arg_type(&entry) == DBUS_TYPE_DICT_ENTRY; dbus_message_iter_next(&entry)) {
        DBusMessageIter keyAndValue;
        dbus_message_iter_recurse(&entry, &keyAndValue);
        if (dbus_message_iter_get_arg_type(&keyAndValue) != DBUS_TYPE_STRING) continue;
        const char* key = nullptr;
        dbus_message_iter_get_basic(&keyAndValue, &key);
        dbus_message_iter_next(&keyAndValue);
        DBusMessageIter value;
        dbus_message_iter_recurse(&keyAndValue, &value);
        const int type = dbus_message_iter_get_arg_type(&value);
        if (type == DBUS_TYPE_STRING) {
            const char* text = nullptr;
            dbus_message_iter_get_basic(&value, &text);
            settings.texts[key] = text;
        } else if (type == DBUS_TYPE_ARRAY && dbus_message_iter_get_element_type(&value) == DBUS_TYPE_STRING) {
            settings.lists[key] = ReadTexts(&value);
        } else if (type == DBUS_TYPE_ARRAY && dbus_message_iter_get_element_type(&value) == DBUS_TYPE_STRUCT) {
            settings.pairs[key] = ReadPairs(&value);
        }
    }
    return settings;
}

// A private connection to the system bus (DBUS_SYSTEM_BUS_ADDRESS where set), for calls with
// text arguments that wait for their reply.
class SystemBus {
public:
    SystemBus() {
        DBusError error;
        dbus_error_init(&error);
        connection_ = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
        dbus_error_free(&error);
        if (connection_ != nullptr) dbus_connection_set_exit_on_disconnect(connection_, false);
    }
    ~SystemBus() {
        if (connection_ == nullptr) return;
        dbus_connection_close(connection_);
        dbus_connection_unref(connection_);
    }
    SystemBus(const SystemBus&) = delete;
    SystemBus& operator=(const SystemBus&) = delete;

    bool connected() const { return connection_ != nullptr; }

    // The reply, or null with the error's name and message kept.
    Message Call(const char* destination, const char* path, const char* interface, const char* method,
                 std::initializer_list<const char*> arguments) {
        Message call(dbus_message_new_method_call(destination, path, interface, method));
        if (!call) return nullptr;
        for (const char* argument : arguments) {
            if (!dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &argument, DBUS_TYPE_INVALID)) return nullptr;
        }
        DBusError error;
        dbus_error_init(&error);
        Message reply(dbus_connection_send_with_reply_and_block(connection_, call.get(), kCallTimeoutMs, &error));
        if (!reply) {
            errorName_ = error.name == nullptr ? "" : error.name;
            errorMessage_ = error.message == nullptr ? "" : error.message;
        }
        dbus_error_free(&error);
        return reply;
    }

    Message CallFirewalld(const char* interface, const char* method, std::initializer_list<const char*> arguments) {
        return Call(kFirewalld, kFirewalldPath, interface, method, arguments);
    }

    const std::string& errorName() const { return errorName_; }
    const std::string& errorMessage() const { return errorMessage_; }

private:
    DBusConnection* connection_ = nullptr;
    std::string errorName_;
    std::string errorMessage_;
};

std::string FirstText(DBusMessage* reply) {
    const char* text = nullptr;
    if (!dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID)) return {};
    return text;
}

bool FirewalldRuns(SystemBus& bus) {
    const Message reply = bus.Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                   "NameHasOwner", {kFirewalld});
    dbus_bool_t owned = false;
    return reply && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_BOOLEAN, &owned, DBUS_TYPE_INVALID) && owned;
}

// What to say when firewalld would not answer.
std::string Unanswered(const SystemBus& bus) {
    const std::string& name = bus.errorName();
    if (name.find("AccessDenied") != std::string::npos || name.find("NotAuthorized") != std::string::npos) {
        return "firewalld runs but does not let this user read its zones: run it as root (sudo quorrel doctor)";
    }
    return "firewalld runs but did not answer: " + (bus.errorMessage().empty() ? name : bus.errorMessage());
}

bool LetsInUnitReplies(const std::vector<FirewalldPort>& sourcePorts) {
    return std::any_of(sourcePorts.begin(), sourcePorts.end(), [](const FirewalldPort& port) {
        return port.second == "udp" && PortListHolds(port.first, kUnitPort);
    });
}

// What in the zone lets the answers in, or empty.
std::string WhatLetsIn(const FirewalldZone& zone, const FirewalldState& state) {
    if (zone.target == "ACCEPT") return "its target ACCEPT";
    if (LetsInUnitReplies(zone.sourcePorts)) return "source port 8001/udp";
    for (const std::string& service : zone.services) {
        const auto ports = state.serviceSourcePorts.find(service);
        if (ports != state.serviceSourcePorts.end() && LetsInUnitReplies(ports->second)) return "service " + service;
    }
    return {};
}

std::string ZoneText(const FirewalldZone& zone) {
    std::string text = "zone " + zone.name;
    for (std::size_t at = 0; at < zone.interfaces.size(); ++at) {
        text += (at == 0 ? " (" : ", ") + zone.interfaces[at];
    }
    return zone.interfaces.empty() ? text : text + ")";
}

}  // namespace

FirewallFinding JudgeFirewalld(const FirewalldState& state) {
    FirewallFinding finding{"firewalld", true};
    const bool serviceAvailable = state.quorrelServiceLoaded || state.quorrelServiceInstalled;
    for (const FirewalldZone& zone : state.zones) {
        const std::string allowance = WhatLetsIn(zone, state);
        if (!allowance.empty()) {
            finding.findings.push_back("firewalld runs; " + ZoneText(zone) + " lets in UDP from source port 8001 (" +
                                       allowance + ").");
            continue;
        }
        finding.letsRepliesIn = false;
        finding.findings.push_back("firewalld runs, and " + ZoneText(zone) +
                                   " does not let in UDP from source port 8001: it drops the units' answers.");
        if (!state.quorrelServiceLoaded && state.quorrelServiceInstalled && finding.fix.empty()) {
            finding.fix.push_back("firewall-cmd --reload");
        }
        const std::string zoneOption = zone.isDefault ? "" : " --zone=" + zone.name;
        const std::string allow = serviceAvailable ? " --add-service=quorrel" : " --add-source-port=8001/udp";
        finding.fix.push_back("firewall-cmd" + zoneOption + allow);
        finding.fix.push_back("firewall-cmd --permanent" + zoneOption + allow);
    }
    return finding;
}

FirewallLook LookAtFirewalld(const std::vector<std::string>& interfaces) {
    SystemBus bus;
    if (!bus.connected() || !FirewalldRuns(bus)) return {};

    FirewalldState state;
    const Message defaultZone = bus.CallFirewalld(kFirewalld, "getDefaultZone", {});
    if (!defaultZone) return {std::nullopt, Unanswered(bus)};
    const std::string defaultName = FirstText(defaultZone.get());
    const auto zoneNamed = [&state](const std::string& name) -> FirewalldZone& {
        const auto found = std::find_if(state.zones.begin(), state.zones.end(),
                                        [&name](const FirewalldZone& zone) { return zone.name == name; });
        if (found != state.zones.end()) return *found;
        FirewalldZone& added = state.zones.emplace_back();
        added.name = name;
        return added;
    };
    for (const std::string& interface : interfaces) {
        const Message zone = bus.CallFirewalld(kZoneInterface, "getZoneOfInterface", {interface.c_str()});
        if (!zone) return {std::nullopt, Unanswered(bus)};
        const std::string name = FirstText(zone.get());
        zoneNamed(name.empty() ? defaultName : name).interfaces.push_back(interface);
    }
    if (state.zones.empty()) zoneNamed(defaultName);

    for (FirewalldZone& zone : state.zones) {
        zone.isDefault = zone.name == defaultName;
        const Message reply = bus.CallFirewalld(kZoneInterface, "getZoneSettings2", {zone.name.c_str()});
        if (!reply) return {std::nullopt, Unanswered(bus)};
        Settings settings = ReadSettings(reply.get());
        zone.target = settings.texts["target"];
        zone.services = settings.lists["services"];
        zone.sourcePorts = settings.pairs["source_ports"];
        for (const std::string& service : zone.services) state.serviceSourcePorts[service];
    }
    state.serviceSourcePorts["quorrel"];
    for (auto& [service, ports] : state.serviceSourcePorts) {
        const Message reply = bus.CallFirewalld(kFirewalld, "getServiceSettings2", {service.c_str()});
        if (!reply) continue;  // a service firewalld does not know lets nothing in
        ports = ReadSettings(reply.get()).pairs["source_ports"];
        if (service == "quorrel") state.quorrelServiceLoaded = true;
    }
    state.quorrelServiceInstalled = std::any_of(std::begin(kServiceFiles), std::end(kServiceFiles),
                                                [](const char* path) { return ::access(path, F_OK) == 0; });
    return {JudgeFirewalld(state), {}};
}

}  // namespace quorrel::cli
