// Packing and unpacking a record of 1,000,000 mixed values against memcpy of the same bytes.
//
// The counter `ratio` is a throughput relative to memcpy measured in the same run:
//   ratio = time(memcpy of the packed bytes) / time(pack or unpack)
// so 1.0 means as fast as memcpy and the target is ratio >= 0.25 for both writing and reading.
// Both sides are timed in thread CPU time. The writer reuses one record from Init to Finish, as a sender
// does; the growth after each Init (and the zero fill it implies) is part of the packing time.
// memcpy_ms is the baseline per iteration, for reading the figure.

#include "foundation/UXData.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

// 125,000 rows of 8 fields: 1,000,000 values in the mix of a fetched record set (keys, flags, texts,
// floats, 64-bit numbers, small integers, currency and variants).
constexpr int kRows = 125000;

const std::string kWords[] = {"", "SOJA", "Milho safra 2024", "TRAT-000123", "Placa 17 / A01"};

void Pack(TXData& d) {
    Init(d);
    for (int i = 0; i < kRows; ++i) {
        PutI(d, i);
        PutB(d, static_cast<uint8_t>(i));
        PutS(d, kWords[i % 5]);
        PutE(d, i * 0.25);
        PutI64(d, static_cast<int64_t>(i) << 20);
        PutW(d, static_cast<int16_t>(i));
        PutCurr(d, i * 0.01);
        PutV(d, TXVariant::FromInt(i));
    }
    Finish(d);
}

int64_t Unpack(TXData& d) {
    int64_t sum = 0;
    for (int i = 0; i < kRows; ++i) {
        sum += GetI(d);
        sum += GetB(d);
        sum += static_cast<int64_t>(GetS(d).size());
        sum += static_cast<int64_t>(GetE(d));
        sum += GetI64(d);
        sum += GetW(d);
        sum += GetCurrScaled(d);
        sum += GetV(d).AsInt();
    }
    return sum;
}

// Thread CPU time: the machine is shared, and time spent preempted belongs to neither side.
struct Clock {
    static double now() {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    }
};

double Seconds(double a, double b) {
    return b - a;
}

// memcpy of the same bytes into a buffer of the same kind, touched beforehand like the record's own.
double MemcpySeconds(const std::string& src, std::string& dst) {
    auto t0 = Clock::now();
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
    return Seconds(t0, Clock::now());
}

void BM_PackWrite(benchmark::State& state) {
    TXData d;
    Pack(d);
    const std::string reference = d.Data;
    std::string dst(reference.size(), '\0');
    double packTime = 0, copyTime = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        Pack(d);
        benchmark::DoNotOptimize(d.Data.data());
        packTime += Seconds(t0, Clock::now());
        copyTime += MemcpySeconds(reference, dst);
    }
    state.counters["ratio"] = copyTime / packTime;
    state.counters["memcpy_ms"] = copyTime * 1000 / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(reference.size()));
}

void BM_PackRead(benchmark::State& state) {
    TXData d;
    Pack(d);
    std::string dst(d.Data.size(), '\0');
    double readTime = 0, copyTime = 0;
    for (auto _ : state) {
        TXData r = d; // readers work on a copy; the copy is not timed, like the memcpy's source
        r.Pos = 1;
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(Unpack(r));
        readTime += Seconds(t0, Clock::now());
        copyTime += MemcpySeconds(d.Data, dst);
    }
    state.counters["ratio"] = copyTime / readTime;
    state.counters["memcpy_ms"] = copyTime * 1000 / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(d.Data.size()));
}

BENCHMARK(BM_PackWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackRead)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
