// The recorder's store of signal files on POSIX file calls: write(2) and close(2)
// report the error of the very call that failed, which a stream does not.
#include "recorder/signal_file.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace recorder {

namespace {

// An open file descriptor, closed with its holder unless closed before.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now; false with errno set when the system reports an error.
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

std::string failure(const char* what, int code) {
    return std::string(what) + ": " + std::system_category().message(code);
}

} // namespace

bool CurrentDirectoryStore::write(const std::string& name, std::span<const std::uint8_t> bytes,
                                  std::string& error) {
    FileDescriptor file(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        error = failure("the file cannot be created", errno);
        return false;
    }
    int code = 0;
    for (std::size_t done = 0; done < bytes.size() && code == 0;) {
        const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0)
            code = EIO; // no progress and no reason: never wait on it
        else if (errno != EINTR)
            code = errno;
    }
    if (!file.close() && code == 0)
        code = errno;
    if (code == 0)
        return true;
    error = failure("the file cannot be written", code);
    // A short file would read as a shorter recording; none is left.
    ::unlink(name.c_str());
    return false;
}

} // namespace recorder
