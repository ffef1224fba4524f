// The window's first activation, which happens once per run: the window
// system reports activation again after every restore.
#pragma once

namespace vt {

class FirstActivation {
public:
    // True the first time only.
    bool take() noexcept {
        const bool first = !taken_;
        taken_ = true;
        return first;
    }

private:
    bool taken_ = false;
};

}  // namespace vt
