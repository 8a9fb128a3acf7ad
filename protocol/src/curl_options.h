// Setting several libcurl options in a row, with the first refusal remembered.
#pragma once

#include <curl/curl.h>

namespace varl {

class CurlOptions {
public:
    explicit CurlOptions(CURL* handle) : handle_(handle) {}

    // Does nothing once an option has been refused.
    template <typename Value>
    CurlOptions& Set(CURLoption option, Value value) {
        if (result_ == CURLE_OK) result_ = curl_easy_setopt(handle_, option, value);
        return *this;
    }

    // Every option was taken.
    bool ok() const { return result_ == CURLE_OK; }

private:
    CURL* handle_;
    CURLcode result_ = CURLE_OK;
};

}  // namespace varl
