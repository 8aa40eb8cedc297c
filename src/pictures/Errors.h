#pragma once
// The one family of exceptions the program raises. The message is always the
// text shown to the user. Readers of files raise data errors; only those are
// re-wrapped with the place they were found (the property being read), while
// I/O and internal errors pass through unchanged.

#include <stdexcept>

namespace velmora {

class EVelmoraError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The content of a file, stream or settings text is damaged, foreign or
// implausible.
class EDataError : public EVelmoraError {
public:
    using EVelmoraError::EVelmoraError;
};

// The file system or a device refused: a missing file, no space, no permission.
class EIOError : public EVelmoraError {
public:
    using EVelmoraError::EVelmoraError;
};

// The program itself or a resource it depends on (GL, the platform) failed.
class EInternalError : public EVelmoraError {
public:
    using EVelmoraError::EVelmoraError;
};

} // namespace velmora
