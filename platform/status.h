// Result codes of the system services. Like the rest of the program, a service returns 0 on
// success or a negative code; the caller turns a failure into its own message number.
#pragma once

#include <string>

namespace platform {

enum Status : int {
    kOk = 0,
    kNotFound = -1,       // the file, folder, key, handle or program does not exist
    kAccessDenied = -2,   // permission refused or read-only file system
    kWriteFailed = -3,    // a write, flush or sync did not complete (disk full, size limit)
    kRenameFailed = -4,   // the finished temporary file could not replace the target
    kBadArgument = -5,    // a name or value the service refuses (empty, line breaks, ...)
    kAlreadyExists = -6,  // the target exists and may not be replaced
    kNotEmpty = -7,       // a folder to remove still holds entries
    kFailed = -8,         // any other failure of the system
};

// A short English description of a status code, for diagnostics and tests.
const char* status_text(int status);

// Maps an errno value to the closest status code.
int status_from_errno(int error_number);

}  // namespace platform
