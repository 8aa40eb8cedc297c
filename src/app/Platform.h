#pragma once
// Start-up services that do not need a display: the floating-point environment,
// the program folder and the private working folder of one run.

#include <string>

namespace velmora {

// Round to nearest (ties to even), every floating-point exception masked, so a
// division by zero gives an infinity instead of a trap.
void initFloatingPoint();

// Folder of the running executable (links resolved), ending with '/'.
std::string programFolder();

// A private folder under the system temporary folder, made for this run and
// removed with everything in it when the object goes away.
class TWorkingFolder {
public:
    TWorkingFolder();
    ~TWorkingFolder();
    TWorkingFolder(const TWorkingFolder&) = delete;
    TWorkingFolder& operator=(const TWorkingFolder&) = delete;

    // Ends with '/'.
    const std::string& path() const { return Path; }

private:
    std::string Path;
};

} // namespace velmora
