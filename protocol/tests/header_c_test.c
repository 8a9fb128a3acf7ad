/* Proves that varl.h is valid C, and calls the built library from C. */
#include "varl.h"

#include <stdio.h>
#include <string.h>

int main(void) {
    int32_t first = -1, second = -1;
    char text[500];
    DeviceRecord record;
    memset(&record, 0, sizeof record);

    VARL_DriverCfg_Version(&first, &second);
    VARL_Error_LastErr(text);
    if (first != 1 || second != 0 || text[0] != '\0' || sizeof record != 40) {
        fprintf(stderr, "version %d.%d, text \"%s\", record of %u bytes\n", (int)first, (int)second, text,
                (unsigned)sizeof record);
        return 1;
    }
    return 0;
}
