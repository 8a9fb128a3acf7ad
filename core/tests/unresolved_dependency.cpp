// A library whose own dependencies cannot all be resolved: it calls a function that no library
// defines. Loading it with every symbol resolved at once must fail.
#include "varl.h"

extern "C" void QuorrelTestFunctionNobodyDefines();

extern "C" __attribute__((visibility("default"))) VarlBool VARL_Admin_Discover(uint32_t* count, DeviceRecord*,
                                                                                uint32_t) {
    QuorrelTestFunctionNobodyDefines();
    *count = 0;
    return 1;
}
