// The texts the programs show for the library's commands. They are kept letter for letter as the
// system has always shown them, misspelling included: administrators and their scripts know them.
#pragma once

namespace quorrel::texts {

inline constexpr const char* kCouldNotLoadLibrary = "Could not load VARL.DLL.";
inline constexpr const char* kDriverInterfaceError = "Driver interface error.";
inline constexpr const char* kNoLastErrorExport = "Can't get address of Error_LastErr().";
inline constexpr const char* kNoUnitsFound = "No Quorrel units found.";
inline constexpr const char* kConfigurationSent =
    "The configuration has been sent.\n\nYou may need to use Discover again to conifirm the changes were made.";
inline constexpr const char* kUploadCancelled = "File upload cancelled by user.";
inline constexpr const char* kNoFileSelected = "No files selected.";
inline constexpr const char* kTransferSuccessful = "File transfer successful.";

}  // namespace quorrel::texts
