#include "files/IniFile.h"

#include "pictures/TextCase.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velmora {

namespace {

std::string trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
}

// INI section and key names compare without regard to case, as the platform's
// INI service does.
std::string foldName(const std::string& a)
{
    return lowerCase(a);
}

} // namespace

std::string formatFloatGeneral(double value)
{
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0.0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    // buf: [-]d.ddddddddddddddde[+-]XX
    std::string s = buf;
    bool negative = false;
    if (s[0] == '-') {
        negative = true;
        s.erase(0, 1);
    }
    const std::size_t epos = s.find('e');
    std::string digits = s.substr(0, 1) + s.substr(2, epos - 2);
    const int exp = std::atoi(s.c_str() + epos + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out = negative ? "-" : "";
    if (exp < -5 || exp >= 15) {
        out += digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exp);
    } else if (exp < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exp - 1), '0') + digits;
    } else {
        const std::size_t intLen = static_cast<std::size_t>(exp) + 1;
        if (digits.size() <= intLen) {
            out += digits + std::string(intLen - digits.size(), '0');
        } else {
            out += digits.substr(0, intLen) + "." + digits.substr(intLen);
        }
    }
    return out;
}

bool parseFloatText(const std::string& text, double& out)
{
    std::string t = trim(text);
    if (t.empty()) return false;
    for (char& c : t)
        if (c == ',') c = '.';
    const char* b = t.data();
    const char* e = t.data() + t.size();
    if (*b == '+') ++b;
    double v = 0;
    auto res = std::from_chars(b, e, v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != e) return false;
    out = v;
    return true;
}

bool parseIntegerText(const std::string& text, std::int32_t& out)
{
    const std::string t = trim(text);
    if (t.empty()) return false;
    std::size_t i = 0;
    bool negative = false;
    if (t[i] == '-' || t[i] == '+') {
        negative = t[i] == '-';
        ++i;
    }
    int base = 10;
    if (t.size() - i > 2 && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (t.size() - i > 1 && t[i] == '$') {
        base = 16;
        i += 1;
    }
    if (i >= t.size()) return false;
    std::uint64_t v = 0;
    auto res = std::from_chars(t.data() + i, t.data() + t.size(), v, base);
    if (res.ec != std::errc() || res.ptr != t.data() + t.size()) return false;
    if (base == 16) {
        // Hexadecimal gives the 32-bit pattern, so $FFFFFFFF is -1.
        if (v > 0xFFFFFFFFull) return false;
        // Negated as an unsigned pattern: "-0x80000000" wraps to itself
        // instead of overflowing a signed negation.
        std::uint32_t u = static_cast<std::uint32_t>(v);
        if (negative) u = 0u - u;
        out = static_cast<std::int32_t>(u);
        return true;
    }
    if (negative ? v > 2147483648ull : v > 2147483647ull) return false;
    out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v)) : static_cast<std::int32_t>(v);
    return true;
}

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path))
{
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    std::ostringstream ss;
    ss << in.rdbuf();
    parse(ss.str());
}

void IniFile::parse(const std::string& text)
{
    sections_.clear();
    sectionIndex_.clear();
    std::istringstream in(text);
    std::string line;
    Section* current = nullptr;
    while (std::getline(in, line)) {
        const std::string t = trim(line);
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            const std::size_t close = t.find(']');
            const std::string name = trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = findSection(name);
            if (!current) current = &addSection(name);
            continue;
        }
        if (!current) continue;
        const std::size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = trim(t.substr(0, eq));
        // The first occurrence wins, as on lookup.
        if (!current->find(key)) current->add(key, trim(t.substr(eq + 1)));
    }
}

const std::string* IniFile::Section::find(const std::string& key) const
{
    auto it = index.find(foldName(key));
    return it == index.end() ? nullptr : &values[it->second].second;
}

std::string* IniFile::Section::find(const std::string& key)
{
    auto it = index.find(foldName(key));
    return it == index.end() ? nullptr : &values[it->second].second;
}

void IniFile::Section::add(const std::string& key, const std::string& value)
{
    index.emplace(foldName(key), values.size());
    values.emplace_back(key, value);
}

void IniFile::Section::erase(const std::string& key)
{
    auto it = index.find(foldName(key));
    if (it == index.end()) return;
    values.erase(values.begin() + std::ptrdiff_t(it->second));
    index.clear();
    for (std::size_t i = 0; i < values.size(); ++i) index.emplace(foldName(values[i].first), i);
}

IniFile::Section& IniFile::addSection(const std::string& name)
{
    sectionIndex_.emplace(foldName(name), sections_.size());
    sections_.push_back({name, {}, {}});
    return sections_.back();
}

void IniFile::reindexSections()
{
    sectionIndex_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i) sectionIndex_.emplace(foldName(sections_[i].name), i);
}

std::string IniFile::text() const
{
    std::string out;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) out += "\r\n";
        out += "[" + sections_[i].name + "]\r\n";
        for (const auto& kv : sections_[i].values) out += kv.first + "=" + kv.second + "\r\n";
    }
    return out;
}

void IniFile::save() const
{
    saveAs(path_);
}

void IniFile::saveAs(const std::filesystem::path& path) const
{
    const std::string data = text();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (out) out.close();
    if (!out) throw EIniFileError("Unable to write to " + path.string());
}

const IniFile::Section* IniFile::findSection(const std::string& name) const
{
    auto it = sectionIndex_.find(foldName(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

IniFile::Section* IniFile::findSection(const std::string& name)
{
    auto it = sectionIndex_.find(foldName(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

bool IniFile::sectionExists(const std::string& section) const
{
    return findSection(section) != nullptr;
}

bool IniFile::valueExists(const std::string& section, const std::string& key) const
{
    const Section* s = findSection(section);
    return s && s->find(key);
}

std::vector<std::string> IniFile::sections() const
{
    std::vector<std::string> out;
    for (const auto& s : sections_) out.push_back(s.name);
    return out;
}

std::vector<std::string> IniFile::keys(const std::string& section) const
{
    std::vector<std::string> out;
    if (const Section* s = findSection(section))
        for (const auto& kv : s->values) out.push_back(kv.first);
    return out;
}

void IniFile::eraseSection(const std::string& section)
{
    auto it = sectionIndex_.find(foldName(section));
    if (it == sectionIndex_.end()) return;
    sections_.erase(sections_.begin() + std::ptrdiff_t(it->second));
    reindexSections();
}

void IniFile::deleteKey(const std::string& section, const std::string& key)
{
    if (Section* s = findSection(section)) s->erase(key);
}

std::string IniFile::readString(const std::string& section, const std::string& key, const std::string& def) const
{
    if (const Section* s = findSection(section))
        if (const std::string* v = s->find(key)) return *v;
    return def;
}

std::int32_t IniFile::readInteger(const std::string& section, const std::string& key, std::int32_t def) const
{
    std::int32_t v = 0;
    return parseIntegerText(readString(section, key, ""), v) ? v : def;
}

bool IniFile::readBool(const std::string& section, const std::string& key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

double IniFile::readFloat(const std::string& section, const std::string& key, double def) const
{
    double v = 0;
    return parseFloatText(readString(section, key, ""), v) ? v : def;
}

void IniFile::writeString(const std::string& section, const std::string& key, const std::string& value)
{
    Section* s = findSection(section);
    if (!s) s = &addSection(section);
    // Line breaks would split the value into a new line on reading.
    std::string clean = value;
    for (char& c : clean)
        if (c == '\r' || c == '\n') c = ' ';
    if (std::string* v = s->find(key))
        *v = clean;
    else
        s->add(key, clean);
}

void IniFile::writeInteger(const std::string& section, const std::string& key, std::int32_t value)
{
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(const std::string& section, const std::string& key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

void IniFile::writeFloat(const std::string& section, const std::string& key, double value)
{
    writeString(section, key, formatFloatGeneral(value));
}

} // namespace velmora
