#include "varl_app.h"

#include <curl/curl.h>

namespace varl {

CVarlApp::CVarlApp() { InitInstance(); }

// The library is unloaded, or the process ends: no upload can run any more.
CVarlApp::~CVarlApp() {
    if (m_bCurlStarted) curl_global_cleanup();
}

// libcurl's global start-up is not thread-safe and belongs at load time, before any upload. Should
// it fail, the load still completes: every upload then fails on its own with the connection text,
// since curl_easy_init retries the start-up and fails the same way.
bool CVarlApp::InitInstance() {
    m_bCurlStarted = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return m_bCurlStarted;
}

// Constructed when the library is loaded.
static CVarlApp theApp;

}  // namespace varl
