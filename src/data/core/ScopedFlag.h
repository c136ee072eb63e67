#pragma once
// Raises a flag for as long as it lives, however the scope is left: marks work in
// progress that must not be entered again from the events a wait lets through.
namespace data {

class ScopedFlag {
public:
    explicit ScopedFlag(bool &flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag &) = delete;
    ScopedFlag &operator=(const ScopedFlag &) = delete;

private:
    bool &flag_;
};

} // namespace data
