#include "library_environment.h"

#include <cstdlib>
#include <string>

namespace quorrel::cli {

void SetLibraryEnvironment(const CommonOptions& options) {
    if (!options.interfaces.empty()) {
        std::string names;
        for (const std::string& name : options.interfaces) names += (names.empty() ? "" : ",") + name;
        setenv(kInterfacesVariable, names.c_str(), 1);
    }
    if (options.verbose) setenv(kTraceVariable, "1", 1);
}

}  // namespace quorrel::cli
