// What a failed libcurl transfer says of its connection to the unit.
#pragma once

#include <curl/curl.h>

namespace varl {

// A connect that failed or timed out before the TCP connection stood; a refused login is not one.
inline bool ConnectFailed(CURL* handle, CURLcode result) {
    if (result == CURLE_COULDNT_CONNECT) return true;
    if (result != CURLE_OPERATION_TIMEDOUT) return false;
    curl_off_t connectedAfter = 0;
    curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connectedAfter);
    return connectedAfter == 0;
}

}  // namespace varl
