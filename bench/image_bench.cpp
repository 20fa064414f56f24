// Speed of loading a full-size HEX file and of building the hex dump's
// contents. Run: build/native/bench/tarn_bench
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "image/file_loader.h"
#include "image/hex_grid.h"
#include "image/hex_writer.h"

namespace {

using tarn::CodeImage;

std::unique_ptr<CodeImage> patterned_image(int32_t data_len) {
    auto img = std::make_unique<CodeImage>();
    for (int i = 0; i < CodeImage::kSize; ++i) img->rom_data[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i * 13 + 5);
    img->data_len = data_len;
    return img;
}

// A 64 KiB image as 4096 data records of 16 bytes and the end record.
void BM_LoadHex64K(benchmark::State& state) {
    const auto src = patterned_image(0xFFFF);
    const std::string text = tarn::to_intel_hex(std::span(src->rom_data.data(), 0x10000));
    auto img = std::make_unique<CodeImage>();
    for (auto _ : state) {
        const tarn::LoadError e = tarn::load_hex(text, 0xFFFF, *img);
        benchmark::DoNotOptimize(e);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["file_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_LoadHex64K)->Unit(benchmark::kMicrosecond);

// A fill and the texts of one screenful of rows (what a window draws); the
// argument is the loaded length, which must not change the cost.
void BM_GridFillAndScreen(benchmark::State& state) {
    const auto img = patterned_image(static_cast<int32_t>(state.range(0)));
    tarn::HexGrid grid;
    for (auto _ : state) {
        grid.fill(*img);
        std::size_t chars = 0;
        const int32_t last = std::min(grid.rows() - 1, 30);
        for (int32_t r = 0; r <= last; ++r) {
            for (int32_t c = 0; c < tarn::HexGrid::kCols; ++c) chars += grid.cell_text(r, c).size();
        }
        benchmark::DoNotOptimize(chars);
    }
}
BENCHMARK(BM_GridFillAndScreen)->Arg(0x1FF)->Arg(0x1FFF)->Arg(0xFFFF)->Arg(0x10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
