#include "platform/OSError.h"

#include <cerrno>

namespace {

thread_local std::uint32_t lastOSError = OSErrorCode::Success;

std::string ErrorText(std::uint32_t code)
{
    if (code == OSErrorCode::Success)
        return "A call to an OS function failed";
    return QStringLiteral("System Error.  Code: %1.\n%2").arg(code).arg(SysErrorMessage(code)).toStdString();
}

} // namespace

QString SysErrorMessage(std::uint32_t code)
{
    using namespace OSErrorCode;
    switch (code) {
    case Success: return QStringLiteral("The operation completed successfully.");
    case FileNotFound: return QStringLiteral("The system cannot find the file specified.");
    case PathNotFound: return QStringLiteral("The system cannot find the path specified.");
    case TooManyOpenFiles: return QStringLiteral("The system cannot open the file.");
    case AccessDenied: return QStringLiteral("Access is denied.");
    case NotEnoughMemory: return QStringLiteral("Not enough memory resources are available to process this command.");
    case BadFormat: return QStringLiteral("An attempt was made to load a program with an incorrect format.");
    case InvalidData: return QStringLiteral("The data is invalid.");
    case ReadFault: return QStringLiteral("The system cannot read from the specified device.");
    case InvalidParameter: return QStringLiteral("The parameter is incorrect.");
    case InsufficientBuffer: return QStringLiteral("The data area passed to a system call is too small.");
    case FileNameTooLong: return QStringLiteral("The filename or extension is too long.");
    case InternalError: return QStringLiteral("An internal error occurred.");
    case ResourceDataNotFound: return QStringLiteral("The specified image file did not contain a resource section.");
    case ResourceTypeNotFound: return QStringLiteral("The specified resource type cannot be found in the image file.");
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
    case 0: return Success;
    case ENOENT: return FileNotFound;
    case ENOTDIR: return PathNotFound;
    case EMFILE:
    case ENFILE: return TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return AccessDenied;
    case ENOMEM: return NotEnoughMemory;
    case EIO: return ReadFault;
    case ENAMETOOLONG: return FileNameTooLong;
    default: return InternalError;
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
