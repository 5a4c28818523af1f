#pragma once

#include <stdexcept>

// A feed that cannot be read: not well-formed, or a value that does not convert.
// Its text is shown to the user as it stands.
class FeedError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
