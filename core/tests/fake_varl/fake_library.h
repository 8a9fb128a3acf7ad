// One of the fake protocol libraries, loaded by path as a program loads the real one; a binding
// that loads the same path gets the same handle and so the same state. The state is reset for
// every test.
#pragma once

#include <dlfcn.h>

#include <string>
#include <vector>

#include "fake_varl_state.h"

namespace quorrel::testing {

class FakeLibrary {
public:
    explicit FakeLibrary(const char* path) : path(path) {
        // A path where no library lies gets a state of its own that nothing calls.
        m_handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (m_handle != nullptr) {
            auto stateOf = reinterpret_cast<fake_varl::State* (*)()>(dlsym(m_handle, "FakeVarl_State"));
            m_state = stateOf();
        }
        m_state->Reset();
    }
    ~FakeLibrary() {
        m_state->Reset();
        if (m_handle != nullptr) dlclose(m_handle);
    }
    FakeLibrary(const FakeLibrary&) = delete;
    FakeLibrary& operator=(const FakeLibrary&) = delete;

    fake_varl::State& State() { return *m_state; }

    std::vector<fake_varl::RecordedCall> CallsOf(const std::string& exportName) const {
        std::vector<fake_varl::RecordedCall> calls;
        for (const auto& call : m_state->calls) {
            if (call.exportName == exportName) calls.push_back(call);
        }
        return calls;
    }

    // One field of each call of an export, in order: CalledWith("VARL_Admin_Discover",
    // &fake_varl::RecordedCall::capacity).
    template <typename Field>
    std::vector<Field> CalledWith(const std::string& exportName, Field fake_varl::RecordedCall::*field) const {
        std::vector<Field> values;
        for (const auto& call : CallsOf(exportName)) values.push_back(call.*field);
        return values;
    }

    const char* path;

private:
    void* m_handle = nullptr;
    fake_varl::State m_unusedState;
    fake_varl::State* m_state = &m_unusedState;
};

}  // namespace quorrel::testing
