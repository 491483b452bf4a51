// GetExeSig against a plain sequential read of the same file, in the same run.
//   pelvarn-bench-sig FILE [MB]: makes FILE (MB megabytes, default 200, of this program's
//   own bytes repeated, so the scan meets executable content and its near misses), then
//   times nine rounds of each and prints the throughputs and their ratio: with the file in
//   the system's cache, and (where the system can drop it) read from the disk.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "diag/exesig.h"
#include "platform/fileio.h"

using namespace pelvarn;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::size_t PlainRead(const std::string& file) {
    TInFile in;
    std::string msg;
    if (!in.Open(file, msg)) return 0;
    std::vector<char> buf(64 * 1024);
    std::size_t total = 0, n = 0;
    unsigned sum = 0; // touch the bytes, as the scan does
    while ((n = in.Read(buf.data(), buf.size())) > 0) {
        for (std::size_t i = 0; i < n; i += 64)
            sum += static_cast<unsigned char>(buf[i]);
        total += n;
    }
    in.Close();
    return total + (sum == 0xFFFFFFFFu);
}

// Drops the file's pages from the system's cache, so that the next read comes from the
// disk, as it does for the report's first look at a program. False where that cannot be done.
bool Evict(const std::string& file) {
#ifndef _WIN32
    int fd = open(file.c_str(), O_RDONLY);
    if (fd < 0) return false;
    fdatasync(fd);
    bool ok = posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    close(fd);
    return ok;
#else
    (void)file;
    return false;
#endif
}

// Rounds of each, alternating, whose medians are reported: a round of 200 MB takes tens of
// milliseconds, so a single one says little.
constexpr int Rounds = 9;

struct TFigures {
    double Read, Sig;
};

TFigures Measure(const std::string& file, double size, bool cold, std::string& signature,
                 std::string& flavour) {
    std::vector<double> read, sig;
    for (int round = 0; round < Rounds; ++round) {
        if (cold) Evict(file);
        auto t = Clock::now();
        PlainRead(file);
        read.push_back(size / Seconds(t));
        if (cold) Evict(file);
        t = Clock::now();
        GetExeSig(file, signature, flavour);
        sig.push_back(size / Seconds(t));
    }
    std::sort(read.begin(), read.end());
    std::sort(sig.begin(), sig.end());
    return {read[Rounds / 2], sig[Rounds / 2]};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pelvarn-bench-sig FILE [MB]\n");
        return 64;
    }
    const std::string file = argv[1];
    const std::size_t mb = argc > 2 ? std::stoul(argv[2]) : 200;
    {
        std::FILE* self = std::fopen(argv[0], "rb");
        std::vector<char> seed;
        if (self) {
            char b[65536];
            std::size_t n;
            while ((n = std::fread(b, 1, sizeof b, self)) > 0)
                seed.insert(seed.end(), b, b + n);
            std::fclose(self);
        }
        if (seed.empty()) seed.assign(1 << 20, 'x');
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (!out) {
            std::fprintf(stderr, "cannot create %s\n", file.c_str());
            return 1;
        }
        for (std::size_t written = 0; written < mb << 20; written += seed.size())
            std::fwrite(seed.data(), 1, std::min(seed.size(), (mb << 20) - written), out);
        std::fclose(out);
    }
    const double size = static_cast<double>(PlainRead(file)) / (1 << 20); // also warms the cache
    std::string signature, flavour;
    const TFigures warm = Measure(file, size, false, signature, flavour);
    std::printf("file %.0f MB: %s / %s\n", size, signature.c_str(), flavour.c_str());
    std::printf(
        "cached:  sequential read %7.0f MB/s, GetExeSig %7.0f MB/s, ratio %.2f (medians of %d)\n",
        warm.Read, warm.Sig, warm.Sig / warm.Read, Rounds);
    if (Evict(file)) {
        const TFigures cold = Measure(file, size, true, signature, flavour);
        std::printf("on disk: sequential read %7.0f MB/s, GetExeSig %7.0f MB/s, ratio %.2f "
                    "(medians of %d)\n",
                    cold.Read, cold.Sig, cold.Sig / cold.Read, Rounds);
    }
    std::printf("target: ratio >= 0.5\n");
    return 0;
}
