#pragma once
// Owns a POSIX file descriptor and closes it on every way out of a scope,
// including a throw. Internal to the platform layer.

#include <unistd.h>

class TFileDescriptor {
public:
    explicit TFileDescriptor(int fd) : m_fd(fd) {}
    ~TFileDescriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Closes now and reports close()'s result; errors of a write can show up
    // only here.
    int Close() {
        const int result = close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};
