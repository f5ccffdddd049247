// Makes the demo's sample program image: 64 KiB of pseudo-random bytes from a fixed seed, then
// the little-endian 32-bit sum of them, the trailer a program image ends with. The same bytes
// on every build, so the package is reproducible.
//   posflash-demo-firmware OUT
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
        return 2;
    }
    std::vector<char> image;
    std::uint32_t state = 0x706F7366; // xorshift32; any seed but zero
    std::uint32_t sum = 0;
    for (int i = 0; i < 64 * 1024; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const auto byte = static_cast<std::uint8_t>(state);
        sum += byte;
        image.push_back(static_cast<char>(byte));
    }
    for (int shift = 0; shift < 32; shift += 8)
        image.push_back(static_cast<char>(static_cast<std::uint8_t>(sum >> shift)));
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
