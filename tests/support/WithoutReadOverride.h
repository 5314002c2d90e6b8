// Takes a superuser's right to read, write and search any file away from this thread for its
// lifetime, so that a file without permissions cannot be opened in tests run as root either.
// Files and folders of the superuser's own stay usable: their owner's permission bits apply.
// Linux only.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zt40::test {

class WithoutReadOverride {
public:
    WithoutReadOverride() {
        syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
        syscall(SYS_capset, &header_, lowered);
    }
    ~WithoutReadOverride() { syscall(SYS_capset, &header_, saved_); }
    WithoutReadOverride(const WithoutReadOverride&) = delete;
    WithoutReadOverride& operator=(const WithoutReadOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};

} // namespace zt40::test
