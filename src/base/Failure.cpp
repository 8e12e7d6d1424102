#include "base/Failure.hpp"

#include <cerrno>
#include <cstring>

namespace {

const char* operationName(FileOperation operation) {
    switch (operation) {
    case FileOperation::OpenFile:
        return "openFile";
    case FileOperation::GetLine:
        return "hGetLine";
    case FileOperation::PutStr:
        return "hPutStr";
    case FileOperation::RemoveLink:
        return "removeLink";
    }
    return "";
}

// note [fixed messages]: the messages users and their scripts see. Several kinds
// share one text; the kind, not the text, tells them apart.
std::string messageOf(FailureKind kind, const std::string& subject) {
    switch (kind) {
    case FailureKind::ColumnText:
        return "RegisterLine:(24,1)-(32,49): Non-exhaustive patterns in function getColumn";
    case FailureKind::ColumnMissing:
    case FailureKind::LookUpStopped:
    case FailureKind::CodeMissing:
        return "Prelude.tail: empty list";
    case FailureKind::OperandMissing:
    case FailureKind::TermBlank:
    case FailureKind::ListEmpty:
        return "Prelude.head: empty list";
    case FailureKind::Untranslatable:
        return "Eval:(8,1)-(12,92): Non-exhaustive patterns in function eval";
    case FailureKind::ModelRefused:
        return "PrepareBasicFile:(20,1)-(31,159): Non-exhaustive patterns in function "
               "populateBasicFile";
    case FailureKind::ArgumentMissing:
        return "Prelude.(!!): index too large";
    case FailureKind::EndOfFile:
        return subject + ": hGetLine: end of file";
    case FailureKind::InvalidBytes:
        return subject + ": hGetLine: invalid argument (invalid byte sequence)";
    case FailureKind::CannotEncode:
        return subject + ": hPutStr: invalid argument (cannot encode character)";
    case FailureKind::FileLocked:
        return subject + ": openFile: resource busy (file is locked)";
    case FailureKind::IsDirectory:
        return subject + ": openFile: inappropriate type (is a directory)";
    case FailureKind::OutOfMemory:
        return subject.empty() ? "out of memory" : "out of memory (" + subject + ")";
    case FailureKind::TooLarge:
        return subject + ": hGetLine: resource exhausted (register too large)";
    case FailureKind::FileError:
        break;
    }
    return subject;
}

} // namespace

Failure makeFailure(FailureKind kind, Place place, std::string subject, std::string detail) {
    std::string message = messageOf(kind, subject);
    return Failure{kind, place, std::move(subject), std::move(detail), std::move(message)};
}

void fail(FailureKind kind, Place place, std::string subject, std::string detail) {
    throw makeFailure(kind, place, std::move(subject), std::move(detail));
}

std::string fileErrorMessage(FileOperation operation, const std::string& path, int error) {
    return path + ": " + operationName(operation) + ": " + ioErrorKind(error) + " (" +
           std::strerror(error) + ")";
}

Failure fileFailure(FileOperation operation, const std::string& path, int error) {
    return Failure{FailureKind::FileError, {}, path, {}, fileErrorMessage(operation, path, error)};
}

void failFile(FileOperation operation, const std::string& path, int error) {
    throw fileFailure(operation, path, error);
}

std::string programName(int argc, char** argv, const char* fallback) {
    std::string name = argc > 0 && argv[0] ? argv[0] : fallback;
    std::size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

const char* ioErrorKind(int error) {
    // The first row that names the errno wins.
    // clang-format off
    switch (error) {
    case E2BIG: case EAGAIN: case EMFILE: case EMLINK: case EMSGSIZE: case ENFILE:
    case ENOBUFS: case ENOLCK: case ENOMEM: case ENOSPC: case ENOSR: case ETOOMANYREFS:
    case EUSERS:
        return "resource exhausted";
    case EACCES: case EDQUOT: case EFBIG: case EPERM: case EROFS:
        return "permission denied";
    case EADDRINUSE: case EBUSY: case EDEADLK: case ETXTBSY:
        return "resource busy";
    case EADDRNOTAVAIL: case EAFNOSUPPORT: case EMULTIHOP: case ENODEV: case ENOPROTOOPT:
    case ENOSYS: case EOPNOTSUPP: case EPFNOSUPPORT: case ERANGE: case ESOCKTNOSUPPORT:
    case ESPIPE: case EXDEV:
        return "unsupported operation";
    case EALREADY: case EEXIST: case EINPROGRESS: case EISCONN:
        return "already exists";
    case EBADF: case EDESTADDRREQ: case EDOM: case EILSEQ: case EINVAL: case ELOOP:
    case ENAMETOOLONG: case ENOEXEC: case ENOSTR: case ENOTBLK: case ENOTCONN: case ENOTSOCK:
        return "invalid argument";
    case EBADMSG: case EISDIR: case ENOTDIR:
        return "inappropriate type";
    case ECHILD: case ECONNREFUSED: case EHOSTDOWN: case EHOSTUNREACH: case ENETUNREACH:
    case ENODATA: case ENOENT: case ENOMSG: case ENONET: case ENXIO: case ESRCH:
        return "does not exist";
    case ECOMM: case ECONNRESET: case EIDRM: case ENETDOWN: case ENETRESET: case ENOLINK:
    case EPIPE: case EREMCHG: case ESTALE:
        return "resource vanished";
    case ENOTEMPTY: case ESRMNT:
        return "unsatisfied constraints";
    case EREMOTE: case ESHUTDOWN: case ENOTTY:
        return "illegal operation";
    case EIO:
        return "hardware fault";
    case EINTR:
        return "interrupted";
    case EPROTO: case EPROTONOSUPPORT: case EPROTOTYPE:
        return "protocol error";
    case ETIME: case ETIMEDOUT:
        return "timeout";
    default:
        return "failed";
    }
    // clang-format on
}
