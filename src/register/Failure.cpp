#include "register/Failure.hpp"

#include <cerrno>
#include <cstring>

std::string programName(int argc, char** argv, const char* fallback) {
    std::string name = argc > 0 && argv[0] ? argv[0] : fallback;
    std::size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

void fail(std::string message) { throw Failure{std::move(message)}; }

void failFile(const std::string& path, const char* operation, int err) {
    fail(path + ": " + operation + ": " + ioErrorKind(err) + " (" + std::strerror(err) + ")");
}

const char* ioErrorKind(int err) {
    // The first row that names the errno wins; the table is the one users see
    // documented in the manual, so keep it in this single place.
    switch (err) {
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
}
