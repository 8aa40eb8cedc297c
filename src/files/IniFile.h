#pragma once
// INI file service: sections in brackets and key=value lines, kept in the order of
// first appearance so a file is written back as it was built.

#include "pictures/Errors.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velmora {

class EIniFileError : public EIOError {
public:
    using EIOError::EIOError;
};

class IniFile {
public:
    IniFile() = default;
    // Reads the file when it exists; a missing file gives an empty set of values.
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return path_; }

    void parse(const std::string& text);
    std::string text() const;
    // Writes all values back to path(); fails with "Unable to write to <path>".
    void save() const;
    void saveAs(const std::filesystem::path& path) const;

    bool sectionExists(const std::string& section) const;
    bool valueExists(const std::string& section, const std::string& key) const;
    std::vector<std::string> sections() const;
    std::vector<std::string> keys(const std::string& section) const;
    void eraseSection(const std::string& section);
    void deleteKey(const std::string& section, const std::string& key);

    std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
    // Decimal, or hexadecimal after 0x; anything else gives the default.
    std::int32_t readInteger(const std::string& section, const std::string& key, std::int32_t def) const;
    // True when the integer value is not 0.
    bool readBool(const std::string& section, const std::string& key, bool def) const;
    // Accepts "." or "," as the decimal separator.
    double readFloat(const std::string& section, const std::string& key, double def) const;

    void writeString(const std::string& section, const std::string& key, const std::string& value);
    void writeInteger(const std::string& section, const std::string& key, std::int32_t value);
    void writeBool(const std::string& section, const std::string& key, bool value);
    void writeFloat(const std::string& section, const std::string& key, double value);

private:
    // Kept in order of first appearance, with indexes by folded name so that
    // files of many sections or keys read in linear time.
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values;
        std::unordered_map<std::string, std::size_t> index;
        const std::string* find(const std::string& key) const;
        std::string* find(const std::string& key);
        void add(const std::string& key, const std::string& value);
        void erase(const std::string& key);
    };
    const Section* findSection(const std::string& name) const;
    Section* findSection(const std::string& name);
    Section& addSection(const std::string& name);
    void reindexSections();

    std::filesystem::path path_;
    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> sectionIndex_;
};

// General float format with up to 15 significant digits and "." as separator:
// 0.200000002980232, 1E-8, -1.5E20, 0, 100.
std::string formatFloatGeneral(double value);
// Parses a float written with "." or ","; false when the text is not a number.
bool parseFloatText(const std::string& text, double& out);
// Parses a decimal or 0x hexadecimal 32-bit integer; false when invalid.
bool parseIntegerText(const std::string& text, std::int32_t& out);

} // namespace velmora
