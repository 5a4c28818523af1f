#pragma once

// The wait cursor over the program's windows for as long as this lives: while
// a handler blocks the user-interface thread (a feed fetch, a link check,
// opening a medium and the wait before playing). The cursor is put back however
// the block ends, an error included, so a box shown afterwards has the normal
// one.
class TBusyCursor final {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// Runs `work` with the wait cursor up and gives its result.
template <typename Work>
auto WithBusyCursor(Work&& work) {
    const TBusyCursor busy;
    return work();
}
