#include "platform/OSError.h"

#include <cerrno>

namespace {

thread_local std::uint32_t lastOSError = OSErrorCode::kSuccess;

std::string ErrorText(std::uint32_t code)
{
    if (code == OSErrorCode::kSuccess)
        return "A call to an OS function failed";
    return QStringLiteral("System Error.  Code: %1.\n%2").arg(code).arg(SysErrorMessage(code)).toStdString();
}

} // namespace

QString SysErrorMessage(std::uint32_t code)
{
    using namespace OSErrorCode;
    switch (code) {
    case kSuccess: return QStringLiteral("The operation completed successfully.");
    case kFileNotFound: return QStringLiteral("The system cannot find the file specified.");
    case kPathNotFound: return QStringLiteral("The system cannot find the path specified.");
    case kTooManyOpenFiles: return QStringLiteral("The system cannot open the file.");
    case kAccessDenied: return QStringLiteral("Access is denied.");
    case kNotEnoughMemory: return QStringLiteral("Not enough memory resources are available to process this command.");
    case kBadFormat: return QStringLiteral("An attempt was made to load a program with an incorrect format.");
    case kInvalidData: return QStringLiteral("The data is invalid.");
    case kReadFault: return QStringLiteral("The system cannot read from the specified device.");
    case kInvalidParameter: return QStringLiteral("The parameter is incorrect.");
    case kInsufficientBuffer: return QStringLiteral("The data area passed to a system call is too small.");
    case kFileNameTooLong: return QStringLiteral("The filename or extension is too long.");
    case kInternalError: return QStringLiteral("An internal error occurred.");
    case kResourceDataNotFound: return QStringLiteral("The specified image file did not contain a resource section.");
    case kResourceTypeNotFound: return QStringLiteral("The specified resource type cannot be found in the image file.");
    default: return QStringLiteral("Unknown error.");
    }
}

std::uint32_t GetLastOSError()
{
    return lastOSError;
}

void SetLastOSError(std::uint32_t code)
{
    lastOSError = code;
}

std::uint32_t OSErrorFromErrno(int errnoValue)
{
    using namespace OSErrorCode;
    switch (errnoValue) {
    case 0: return kSuccess;
    case ENOENT: return kFileNotFound;
    case ENOTDIR: return kPathNotFound;
    case EMFILE:
    case ENFILE: return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return kAccessDenied;
    case ENOMEM: return kNotEnoughMemory;
    case EIO: return kReadFault;
    case ENAMETOOLONG: return kFileNameTooLong;
    default: return kInternalError;
    }
}

EOSError::EOSError(std::uint32_t code)
    : std::runtime_error(ErrorText(code))
    , fCode(code)
{
}

void RaiseLastOSError()
{
    throw EOSError(GetLastOSError());
}
