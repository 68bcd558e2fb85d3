// What a decoder that lets the window's pending events run needs of the window.
#pragma once

namespace viewer {

class UiYield {
public:
    virtual ~UiYield() = default;
    // Processes the window's pending events once and returns.
    virtual void DoEvents() = 0;
};

} // namespace viewer
