#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvane::test {

// Root passes every permission check through two capabilities. While this object lives, the calling
// thread has them no longer and is bound by permissions like any user; for a user nothing changes.
class WithoutOverride {
public:
    WithoutOverride() {
        if (::geteuid() == 0 && ::syscall(SYS_capget, &_header, _saved) == 0) {
            __user_cap_data_struct bound[2] = {_saved[0], _saved[1]};
            bound[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
            _dropped = ::syscall(SYS_capset, &_header, bound) == 0;
        }
    }
    ~WithoutOverride() {
        if (_dropped) {
            ::syscall(SYS_capset, &_header, _saved);
        }
    }
    WithoutOverride(const WithoutOverride&) = delete;
    WithoutOverride& operator=(const WithoutOverride&) = delete;

    // Whether permissions bind this thread now.
    bool binds() const { return ::geteuid() != 0 || _dropped; }

private:
    __user_cap_header_struct _header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct _saved[2]{};
    bool _dropped = false;
};

} // namespace quorvane::test
