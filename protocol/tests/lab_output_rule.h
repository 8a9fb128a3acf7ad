// One nftables rule on what the administrator's side of the lab sends, for a test that makes the
// network misbehave. The rule lives in a table of its own in the lab's network namespace, and the
// table goes with the object; one such object at a time.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace varl::testing {

class LabOutputRule {
public:
    // rule as nft takes it after "add rule ... output": "oifname lab0 udp dport 8001 drop".
    // Throws when nft refuses it.
    explicit LabOutputRule(const std::string& rule) {
        Nft("add table ip varl_test");
        Nft("add chain ip varl_test output '{ type filter hook output priority 0; }'");
        Nft("add rule ip varl_test output " + rule);
    }
    ~LabOutputRule() {
        // A destructor cannot fail the test; a rule left behind shows in the tests after it.
        if (std::system("nft delete table ip varl_test") != 0) std::fputs("could not delete table varl_test\n", stderr);
    }
    LabOutputRule(const LabOutputRule&) = delete;
    LabOutputRule& operator=(const LabOutputRule&) = delete;

    // The packets the rule's counter counted; -1 when it has no counter.
    int Counted() const {
        FILE* listing = popen("nft list chain ip varl_test output", "r");
        std::string text;
        for (int c; (c = std::fgetc(listing)) != EOF;) text.push_back(static_cast<char>(c));
        pclose(listing);
        const auto at = text.find("counter packets ");
        return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 16);
    }

private:
    static void Nft(const std::string& arguments) {
        if (std::system(("nft " + arguments).c_str()) != 0) throw std::runtime_error("nft " + arguments);
    }
};

}  // namespace varl::testing
