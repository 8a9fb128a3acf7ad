// One nftables rule on what the administrator's side of the lab sends or receives, for a test that
// makes the network misbehave. The rule lives in a table of its own in the lab's network namespace,
// and the table goes with the object; one such object at a time.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

namespace varl::testing {

class LabRule {
public:
    LabRule(const LabRule&) = delete;
    LabRule& operator=(const LabRule&) = delete;

    // The packets the rule's counter counted; -1 when it has no counter.
    int Counted() const {
        FILE* listing = popen(("nft list chain ip varl_test " + hook_).c_str(), "r");
        std::string text;
        for (int c; (c = std::fgetc(listing)) != EOF;) text.push_back(static_cast<char>(c));
        pclose(listing);
        const auto at = text.find("counter packets ");
        return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 16);
    }

protected:
    // rule as nft takes it after "add rule ... HOOK". Throws when nft refuses it.
    LabRule(std::string hook, const std::string& rule) : hook_(std::move(hook)) {
        Nft("add table ip varl_test");
        Nft("add chain ip varl_test " + hook_ + " '{ type filter hook " + hook_ + " priority 0; }'");
        Nft("add rule ip varl_test " + hook_ + " " + rule);
    }
    ~LabRule() {
        // A destructor cannot fail the test; a rule left behind shows in the tests after it.
        if (std::system("nft delete table ip varl_test") != 0) std::fputs("could not delete table varl_test\n", stderr);
    }

private:
    static void Nft(const std::string& arguments) {
        if (std::system(("nft " + arguments).c_str()) != 0) throw std::runtime_error("nft " + arguments);
    }

    std::string hook_;
};

// On what the administrator's side sends: "oifname lab0 udp dport 8001 drop". A datagram dropped
// here fails its send.
class LabOutputRule : public LabRule {
public:
    explicit LabOutputRule(const std::string& rule) : LabRule("output", rule) {}
};

// On what reaches the administrator's side: "udp sport 8001 numgen random mod 5 0 drop". A datagram
// dropped here is lost on the way, unknown to its sender.
class LabInputRule : public LabRule {
public:
    explicit LabInputRule(const std::string& rule) : LabRule("input", rule) {}
};

}  // namespace varl::testing
