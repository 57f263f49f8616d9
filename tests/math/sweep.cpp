// make check-math: every one of the 2^32 float inputs of the game's sin, cos and atan against
// the exact answer. Asking MPFR about every input would take over an hour, so the C library's
// double-precision function (within one double ulp, 2^-29 of a float ulp) answers wherever its
// result lies far from the midpoint between two floats (more than 2^-20 of a float ulp), and
// MPFR everywhere else, and wherever the game's answer differs from the library's.
//
// Usage: velmora_math_sweep [--hard-cases FILE] [sin|cos|atan]...
// Prints, per function, the inputs checked, MPFR's share, the hard cases and the time; writes
// the inputs whose exact value lies within 2^-24 of a float ulp of a midpoint to FILE, and
// exits 1 if any answer is wrong.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "math/trig.h"
#include "oracle.h"

namespace {

using oracle::float_from;
using oracle::Fn;
using oracle::game;

double library(Fn f, double x) {
    return f == Fn::kSin ? std::sin(x) : f == Fn::kCos ? std::cos(x) : std::atan(x);
}

// How far d lies from the nearest midpoint between floats, in ulps of the float nearest to it.
double midpoint_distance(double d) {
    const float y = static_cast<float>(d);
    if (!std::isfinite(y)) {
        return 1;
    }
    const double away = std::fabs(d - y);
    // The gap to the next float on d's side of y (the gap below a power of two is half the size).
    const float toward = std::nextafter(y, d > y ? INFINITY : -INFINITY);
    const double gap = std::fabs(static_cast<double>(toward) - y);
    return gap == 0 ? 1 : (gap / 2 - away) / gap;
}

struct Result {
    uint64_t checked = 0;
    uint64_t asked_mpfr = 0;
    std::vector<uint32_t> wrong;
    std::vector<std::pair<uint32_t, double>> hard;  // input bits, distance in ulps
};

void sweep(Fn f, uint64_t from, uint64_t to, Result& out) {
    for (uint64_t u = from; u < to; ++u) {
        const float x = float_from(static_cast<uint32_t>(u));
        const float mine = game(f, x);
        const double d = library(f, x);
        const double distance = midpoint_distance(d);
        bool right = oracle::same(mine, static_cast<float>(d));
        if (distance < 0x1p-20 || !right) {
            ++out.asked_mpfr;
            right = oracle::same(mine, oracle::exact(f, x));
        }
        if (distance < 0x1p-24 && std::isfinite(x) && x != 0) {
            out.hard.emplace_back(static_cast<uint32_t>(u), distance);
        }
        if (!right) {
            out.wrong.push_back(static_cast<uint32_t>(u));
        }
        ++out.checked;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Fn> fns;
    std::string hard_file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--hard-cases" && i + 1 < argc) {
            hard_file = argv[++i];
        } else if (arg == "sin" || arg == "cos" || arg == "atan") {
            fns.push_back(arg == "sin" ? Fn::kSin : arg == "cos" ? Fn::kCos : Fn::kAtan);
        } else {
            std::fprintf(stderr,
                         "usage: velmora_math_sweep [--hard-cases FILE] [sin|cos|atan]...\n");
            return 2;
        }
    }
    if (fns.empty()) {
        fns = {Fn::kSin, Fn::kCos, Fn::kAtan};
    }
    std::FILE* hard_out = hard_file.empty() ? nullptr : std::fopen(hard_file.c_str(), "w");
    if (!hard_file.empty() && hard_out == nullptr) {
        std::perror(hard_file.c_str());
        return 2;
    }
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    bool all_right = true;
    for (const Fn f : fns) {
        const auto began = std::chrono::steady_clock::now();
        std::vector<Result> parts(threads);
        std::vector<std::thread> workers;
        const uint64_t total = uint64_t{1} << 32;
        for (unsigned t = 0; t < threads; ++t) {
            workers.emplace_back(sweep, f, total * t / threads, total * (t + 1) / threads,
                                 std::ref(parts[t]));
        }
        Result all;
        for (unsigned t = 0; t < threads; ++t) {
            workers[t].join();
            all.checked += parts[t].checked;
            all.asked_mpfr += parts[t].asked_mpfr;
            all.wrong.insert(all.wrong.end(), parts[t].wrong.begin(), parts[t].wrong.end());
            all.hard.insert(all.hard.end(), parts[t].hard.begin(), parts[t].hard.end());
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        std::printf("%s: %llu inputs, %llu asked of MPFR, %zu hard cases, %zu wrong, %.0f s\n",
                    oracle::name(f), static_cast<unsigned long long>(all.checked),
                    static_cast<unsigned long long>(all.asked_mpfr), all.hard.size(),
                    all.wrong.size(), seconds);
        for (const uint32_t u : all.wrong) {
            const float x = float_from(u);
            std::printf("  wrong: %s(%a) [0x%08x] = %a, exactly %a\n", oracle::name(f), x, u,
                        game(f, x), oracle::exact(f, x));
        }
        if (hard_out != nullptr) {
            for (const auto& [u, distance] : all.hard) {
                std::fprintf(hard_out, "%s 0x%08x %a\n", oracle::name(f), u,
                             oracle::exact(f, float_from(u)));
                (void)distance;
            }
        }
        std::fflush(stdout);
        all_right = all_right && all.wrong.empty();
    }
    if (hard_out != nullptr) {
        std::fclose(hard_out);
    }
    return all_right ? 0 : 1;
}
