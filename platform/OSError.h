#pragma once
// Operating-system errors the way the program reports them: a numeric code
// (the Windows error numbers the program has always shown) and its message text,
// kept per thread as "the last error" by the platform functions that fail.

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace OSErrorCode {
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kFileNotFound = 2;            // "The system cannot find the file specified."
inline constexpr std::uint32_t kPathNotFound = 3;            // "The system cannot find the path specified."
inline constexpr std::uint32_t kTooManyOpenFiles = 4;        // "The system cannot open the file."
inline constexpr std::uint32_t kAccessDenied = 5;            // "Access is denied."
inline constexpr std::uint32_t kNotEnoughMemory = 8;         // "Not enough memory resources are available ..."
inline constexpr std::uint32_t kBadFormat = 11;              // not an executable image of a known format
inline constexpr std::uint32_t kInvalidData = 13;            // "The data is invalid."
inline constexpr std::uint32_t kReadFault = 30;              // "The system cannot read from the specified device."
inline constexpr std::uint32_t kInvalidParameter = 87;       // "The parameter is incorrect."
inline constexpr std::uint32_t kInsufficientBuffer = 122;    // "The data area passed to a system call is too small."
inline constexpr std::uint32_t kFileNameTooLong = 206;       // "The filename or extension is too long."
inline constexpr std::uint32_t kInternalError = 1359;        // "An internal error occurred."
inline constexpr std::uint32_t kResourceDataNotFound = 1812; // image without a resource section
inline constexpr std::uint32_t kResourceTypeNotFound = 1813; // resource (entry) not found in the image
} // namespace OSErrorCode

// The message text of an error code; "Unknown error." for codes the program
// never sets.
QString SysErrorMessage(std::uint32_t code);

// The calling thread's last error code, as the platform functions set it.
std::uint32_t GetLastOSError();
void SetLastOSError(std::uint32_t code);

// The error code that stands for a POSIX errno value.
std::uint32_t OSErrorFromErrno(int errnoValue);

// The operating-system error. what() is
// "System Error.  Code: <code>.\n<message text>", UTF-8.
class EOSError : public std::runtime_error {
public:
    explicit EOSError(std::uint32_t code);
    std::uint32_t Code() const noexcept { return fCode; }
    QString Message() const { return QString::fromUtf8(what()); }

private:
    std::uint32_t fCode;
};

// Throws EOSError with the calling thread's last error code. A last error of 0
// (a failure that set no code) gives "A call to an OS function failed".
[[noreturn]] void RaiseLastOSError();
