// ufw, read from its own files: whether it is enabled, its default input policy, and its rules as
// ufw records them ("### tuple ###" lines in user.rules, readable by root only on most systems).
#pragma once

#include <optional>
#include <string>

#include "doctor_firewall.h"

namespace quorrel::cli {

struct UfwFiles {
    std::string config;                    // /etc/ufw/ufw.conf
    std::string defaults;                  // /etc/default/ufw
    std::optional<std::string> userRules;  // /etc/ufw/user.rules; none when unreadable
};

// Nothing found when ufw is not enabled.
FirewallLook JudgeUfw(const UfwFiles& files);

FirewallLook LookAtUfw();

}  // namespace quorrel::cli
