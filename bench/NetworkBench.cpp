// The ranking client's per-frame and per-answer costs: the idle poll every
// frame runs (it must not allocate), and decoding and filing the largest
// ranking answer, against the CRC-32 of the same bytes in the same run.
#include <benchmark/benchmark.h>

#include <vector>

#include "AllocationCounter.h"
#include "network/NetworkManager.h"
#include "network/RankingProtocol.h"
#include "records/Crc32.h"
#include "records/GameInfo.h"

namespace {
// 1200 records of table (a, b) = (1, 2) as the server sends them.
std::vector<std::uint8_t> rankingPayload() {
    std::vector<std::uint8_t> bytes(ranking::kMaxRankingRecords * RankingRecord::kSize);
    for (std::size_t k = 0; k < ranking::kMaxRankingRecords; ++k) {
        for (std::size_t w = 0; w < RankingRecord::kWords; ++w) {
            std::uint32_t value = static_cast<std::uint32_t>(0x01000000u * (w + 1) + k);
            if (w == ScoreEntry::kScore) value = static_cast<std::uint32_t>(5000000 - k);
            if (w == ScoreEntry::kMode) value = 0x12;
            ranking::writeWordBE(bytes.data() + k * RankingRecord::kSize + 4 * w, value);
        }
    }
    return bytes;
}
}  // namespace

static void BM_NetworkPollIdle(benchmark::State& state) {
    GameInfo info;
    NetworkManager manager(&info, 512);
    manager.init("127.0.0.1", 6545);  // the worker waits: nothing is queued
    manager.poll();
    std::uint64_t before = allocationCount();
    for (auto _ : state) manager.poll();
    state.counters["allocs"] = static_cast<double>(allocationCount() - before);
}
BENCHMARK(BM_NetworkPollIdle);

static void BM_RankingReplyDecode(benchmark::State& state) {
    GameInfo info;
    std::vector<std::uint8_t> payload = rankingPayload();
    std::vector<ScoreEntry> records(ranking::kMaxRankingRecords);
    for (auto _ : state) {
        for (std::size_t k = 0; k < records.size(); ++k) {
            RankingRecord::decode(payload.data() + k * RankingRecord::kSize, records[k]);
        }
        info.fillOnlineScores(records.data(), records.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_RankingReplyDecode);

static void BM_Crc32(benchmark::State& state) {
    std::vector<std::uint8_t> payload = rankingPayload();
    for (auto _ : state) benchmark::DoNotOptimize(crc32(payload.data(), payload.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_Crc32);
