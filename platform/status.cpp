#include "platform/status.h"

#include <cerrno>

namespace platform {

const char* status_text(int status) {
    switch (status) {
        case kOk:
            return "no error";
        case kNotFound:
            return "not found";
        case kAccessDenied:
            return "access denied";
        case kWriteFailed:
            return "write failed";
        case kRenameFailed:
            return "rename failed";
        case kBadArgument:
            return "bad argument";
        case kAlreadyExists:
            return "already exists";
        case kNotEmpty:
            return "folder not empty";
        default:
            return "system failure";
    }
}

int status_from_errno(int error_number) {
    switch (error_number) {
        case 0:
            return kOk;
        case ENOENT:
        case ENOTDIR:
            return kNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return kAccessDenied;
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
        case EIO:
            return kWriteFailed;
        case EEXIST:
            return kAlreadyExists;
        case ENOTEMPTY:
            return kNotEmpty;
        case EINVAL:
        case ENAMETOOLONG:
        case EISDIR:
            return kBadArgument;
        default:
            return kFailed;
    }
}

}  // namespace platform
