// Replays fuzz inputs without libFuzzer, so the corpora and the regression
// inputs run in every build as ordinary tests.
//
//   fuzz_NAME FILE|DIR...                 run each input; a crash fails
//   fuzz_NAME --expect TSV [--peak-mb N]  run each input the table names in a
//                                         child process and compare its outcome
//                                         with the table; with --peak-mb, the
//                                         child's peak memory above that of an
//                                         empty input must stay under N MB
//
// Table rows: file name (relative to the table), a tab, the exact outcome
// ("ok" or the error message). Lines starting with # are comments.
#include "FuzzTarget.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Outcome {
    std::string message;
    long peakKb = 0;
    bool crashed = false;
};

// Runs one input in a child so that its peak memory is its own.
Outcome runInChild(const fs::path& file, bool empty)
{
    int fds[2];
    if (pipe(fds) != 0) {
        perror("pipe");
        std::exit(2);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        alarm(20); // a hang is a finding too
        std::string m =
            empty ? velmoraFuzzRun({}, std::string()) : velmoraFuzzRun(readAll(file), file.filename().string());
        const char* p = m.data();
        std::size_t left = m.size();
        while (left) {
            ssize_t n = write(fds[1], p, left);
            if (n <= 0) break;
            p += n;
            left -= std::size_t(n);
        }
        _exit(0);
    }
    close(fds[1]);
    Outcome o;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) o.message.append(buf, std::size_t(n));
    close(fds[0]);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    o.peakKb = ru.ru_maxrss;
    o.crashed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    if (o.crashed) o.message = "(the reader crashed or hung: status " + std::to_string(status) + ")";
    return o;
}

int expect(const fs::path& table, double peakMb)
{
    std::ifstream in(table);
    if (!in) {
        std::cerr << "cannot read " << table << "\n";
        return 2;
    }
    const Outcome baseline = runInChild({}, true);
    int failures = 0, count = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        const fs::path file = table.parent_path() / line.substr(0, tab);
        const std::string want = line.substr(tab + 1);
        if (!fs::exists(file)) {
            std::cerr << "FAIL " << file.filename().string() << ": missing\n";
            ++failures;
            continue;
        }
        ++count;
        const Outcome o = runInChild(file, false);
        const double mb = double(o.peakKb - baseline.peakKb) / 1024.0;
        bool ok = o.message == want;
        std::cout << (ok ? "ok   " : "FAIL ") << file.filename().string() << ": " << o.message;
        if (!ok) std::cout << "\n     expected: " << want;
        if (peakMb > 0) {
            std::cout << "  [peak +" << mb << " MB]";
            if (mb > peakMb) {
                std::cout << " over " << peakMb << " MB";
                ok = false;
            }
        }
        std::cout << "\n";
        if (!ok) ++failures;
    }
    std::cout << count << " inputs, " << failures << " failed (baseline peak " << baseline.peakKb / 1024 << " MB)\n";
    return failures ? 1 : 0;
}

void collect(const fs::path& p, std::vector<fs::path>& out)
{
    if (fs::is_directory(p)) {
        for (const auto& e : fs::recursive_directory_iterator(p))
            if (e.is_regular_file() && e.path().filename() != "README.md") out.push_back(e.path());
    } else {
        out.push_back(p);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--expect") {
        double peak = 0;
        if (args.size() >= 4 && args[2] == "--peak-mb") peak = std::stod(args[3]);
        return expect(args[1], peak);
    }
    std::vector<fs::path> files;
    for (const auto& a : args) collect(a, files);
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        const auto bytes = readAll(f);
        velmoraFuzzRun(bytes, std::string());
    }
    std::cout << files.size() << " inputs replayed\n";
    return 0;
}
