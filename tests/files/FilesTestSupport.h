#pragma once
// Helpers shared by the tests of the scene files: the property-bag scene,
// the reference streams, value bytes, outcomes of reads that may fail, and
// the table of damaged streams with the outcomes decided for the cases the
// format leaves open.

#include "TestSupport.h"
#include "files/ComponentStream.h"
#include "files/PropertyBagScene.h"
#include "files/SceneFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

// tests/data/streams: reference streams written by another program.
inline std::filesystem::path streams()
{
    return std::filesystem::path(VELMORA_FIXTURES) / "streams";
}

inline std::vector<std::uint8_t> streamBytes(const std::string& name)
{
    return readFileBytes(streams() / name);
}

// The bytes one value is written as.
inline std::vector<std::uint8_t> bytesOf(const StreamValue& v)
{
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    writeValue(w, v);
    return out;
}

// "ok", or the message of the error of kind E the call raised (others pass).
template <class E = std::runtime_error, class F> std::string outcomeOf(F&& call)
{
    return messageOf<E>(std::forward<F>(call), "ok");
}

// A node of a component tree, with no properties yet.
inline ComponentNode node(const std::string& className, const std::string& name)
{
    ComponentNode n;
    n.className = className;
    n.name = name;
    return n;
}

struct MalformedCase {
    std::string file;     // below streams()/malformed
    std::string expected; // "ok" or the exact message
};

// Every row of malformed/expected.tsv; rows marked "implementer" get the
// outcome decided here.
inline std::vector<MalformedCase> malformedCases()
{
    static const std::map<std::string, std::string> decided = {
        {"value_float_int64_tag.gls", "ok"},
        {"value_vector_12_bytes.gls", "Error reading PLLeft.Scale.Coordinates: Invalid property value"},
        {"ref_other_window.gls", "ok"},
        {"prefix_inherited.gls", "Ancestor for 'DummyCube2' not found"},
        {"duplicate_name.gls", "A component named DummyCube2 already exists"},
        {"behaviours_data.gls", "ok"},
    };
    std::vector<MalformedCase> cases;
    std::ifstream tsv(streams() / "malformed" / "expected.tsv");
    std::string line;
    while (std::getline(tsv, line)) {
        std::istringstream fields(line);
        MalformedCase c;
        std::getline(fields, c.file, '\t');
        std::getline(fields, c.expected, '\t');
        if (c.expected == "implementer") {
            const auto d = decided.find(c.file);
            if (d == decided.end()) {
                ADD_FAILURE() << c.file << " has no decided outcome";
                continue;
            }
            c.expected = d->second;
        }
        cases.push_back(c);
    }
    return cases;
}

} // namespace velmora::test
