#include "ftp_upload.h"

#include "last_error.h"

namespace varl {

// Placeholder until the upload lands.
bool UploadFile(uint32_t, const char*, const char*) {
    SetLastErrorText("Not implemented.");
    return false;
}

}  // namespace varl
