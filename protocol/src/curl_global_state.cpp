// libcurl's global state, started when the library is loaded and cleaned up when it is unloaded.
#include <curl/curl.h>

namespace varl {
namespace {

// libcurl's global start-up is not thread-safe and belongs at load time, before any upload. Should
// it fail, the load still completes: every upload then fails on its own with the connection text,
// since curl_easy_init retries the start-up and fails the same way.
class CurlGlobalState {
public:
    CurlGlobalState() : started_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}
    // The library is unloaded, or the process ends: no upload can run any more.
    ~CurlGlobalState() {
        if (started_) curl_global_cleanup();
    }
    CurlGlobalState(const CurlGlobalState&) = delete;
    CurlGlobalState& operator=(const CurlGlobalState&) = delete;

private:
    bool started_;
};

const CurlGlobalState curlGlobalState;

}  // namespace
}  // namespace varl
