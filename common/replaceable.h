// A process-wide service that tests replace with their own: the installed one, or else the
// program's default.
#pragma once

template <typename Service>
class Replaceable {
public:
    explicit Replaceable(Service& fallback) : fallback_(fallback) {}
    Replaceable(const Replaceable&) = delete;
    Replaceable& operator=(const Replaceable&) = delete;

    // Installs `service` (null restores the default); returns the one installed before.
    Service* install(Service* service) {
        Service* previous = installed_;
        installed_ = service;
        return previous;
    }
    Service& get() const { return installed_ ? *installed_ : fallback_; }

private:
    Service& fallback_;
    Service* installed_ = nullptr;
};
