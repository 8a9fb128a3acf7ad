// CVarlApp: the library's one load-time object.
#pragma once

namespace varl {

// String 101: shown, with an OK button only, if the platform's sockets could not be started when
// the library loads. POSIX sockets need no start-up, so on Linux this text is never shown.
inline constexpr const char* kSocketsInitFailedText = "Windows sockets initialization failed.";

class CVarlApp {
public:
    CVarlApp();
    ~CVarlApp();
    CVarlApp(const CVarlApp&) = delete;
    CVarlApp& operator=(const CVarlApp&) = delete;

private:
    bool InitInstance();

    bool m_bCurlStarted = false;
};

}  // namespace varl
