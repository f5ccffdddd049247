// Loading and checking a 16 MiB program image: the time, and that one copy is held.
#include "protocol/checksums.h"
#include "protocol/frames.h"
#include "protocol/image_file.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using namespace posflash;

QString writeImage(const QTemporaryDir& dir, std::size_t size) {
    Bytes image(size);
    for (std::size_t i = 0; i < size - 4; ++i)
        image[i] = static_cast<std::uint8_t>(i * 131);
    putU32(image, size - 4, GetSum(ByteView(image).first(size - 4)));
    const QString path = dir.filePath("image.bin");
    std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);
    return path;
}

void LoadAndCheck16MiB(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = writeImage(dir, 16u << 20);
    for (auto _ : state) {
        const Result<Bytes> image = LoadImageFile(path, MaxImageBytes(kProgramFrameDataSize));
        const bool valid = CheckBinImageValid(*image);
        benchmark::DoNotOptimize(valid);
        // One buffer of exactly the file's size: no growth, no second copy.
        state.counters["capacity_MiB"] = static_cast<double>(image->capacity()) / (1 << 20);
    }
}
BENCHMARK(LoadAndCheck16MiB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
