// The AArch64 row kernel, on Advanced SIMD (NEON), which every 64-bit ARM
// processor has: the arm64 ABI includes it, so it needs no check at run time.
#include <arm_neon.h>
#include <fcntl.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstring>

#include "picture/step_rows.h"

namespace {

// Byte b of a piece's vector v lies in pixel (16v + b) / 3: the table lookup
// that gives each byte its pixel's choice.
struct SpreadsNeon {
    std::uint8_t pixelOfByte[3][16];
};

constexpr SpreadsNeon SpreadsOfPieces() {
    SpreadsNeon spreads{};
    for (int vector = 0; vector < 3; ++vector) {
        for (int byte = 0; byte < 16; ++byte) {
            spreads.pixelOfByte[vector][byte] = static_cast<std::uint8_t>((16 * vector + byte) / 3);
        }
    }
    return spreads;
}

constexpr SpreadsNeon kSpreadsNeon = SpreadsOfPieces();

// NEON has no 64-bit multiply: 4 lanes' states are kept as 32-bit halves. A·s
// + c modulo 2^64 is lo·A_lo + c in 64 bits (two lanes per widening
// multiply-add), whose low halves are the new low half and whose high halves,
// plus lo·A_hi + hi·A_lo modulo 2^32, the new high half.
struct LanesNeon {
    uint32x4_t low;
    uint32x4_t high;
};

inline LanesNeon JumpNeon(LanesNeon lanes, uint32x4_t multiplierLow, uint32x4_t multiplierHigh, uint64x2_t increment) {
    const uint32x4_t first = vreinterpretq_u32_u64(
        vmlal_u32(increment, vget_low_u32(lanes.low), vget_low_u32(multiplierLow)));
    const uint32x4_t second = vreinterpretq_u32_u64(vmlal_high_u32(increment, lanes.low, multiplierLow));
    const uint32x4_t carried = vuzp2q_u32(first, second);
    return {vuzp1q_u32(first, second),
            vmlaq_u32(vmlaq_u32(carried, lanes.low, multiplierHigh), lanes.high, multiplierLow)};
}

// The byte sums of the values of pixels 4k..4k+7 (lanes `first` and
// `second`), one 16-bit word each, in pixel order.
inline uint16x8_t ByteSumsNeon(LanesNeon first, LanesNeon second, uint32x4_t valueBits) {
    return vpaddq_u16(vpaddlq_u8(vreinterpretq_u8_u32(vandq_u32(first.high, valueBits))),
                      vpaddlq_u8(vreinterpretq_u8_u32(vandq_u32(second.high, valueBits))));
}

// Writes the 16 bytes at target, each taken from the snapshot at the offset
// its pixel's choice names. `spread` holds, for each byte, the top byte of its
// pixel's f, whose top three bits are 000 for r = 0 (right), 001 for 1 (left),
// 011 for 2 (below), 100 for 3 (own) and 110 for 4 (above): the first bit
// parts own and above from the rest, the second picks below or above, the
// third left over right.
inline void SelectVectorNeon(uint8x16_t spread, std::uint8_t* target, const std::uint8_t* own, std::int32_t stride) {
    const uint8x16_t firstBit = vtstq_u8(spread, vdupq_n_u8(0x80));
    const uint8x16_t secondBit = vtstq_u8(spread, vdupq_n_u8(0x40));
    const uint8x16_t thirdBit = vtstq_u8(spread, vdupq_n_u8(0x20));
    const uint8x16_t rest =
        vbslq_u8(secondBit, vld1q_u8(own - stride), vbslq_u8(thirdBit, vld1q_u8(own - 3), vld1q_u8(own + 3)));
    const uint8x16_t ownOrAbove = vbslq_u8(secondBit, vld1q_u8(own + stride), vld1q_u8(own));
    vst1q_u8(target, vbslq_u8(firstBit, ownOrAbove, rest));
}

// NEON: 16 pixels, 48 bytes, three vectors a piece, drawn by 16 lanes in four
// sets of 4, independent chains of multiplies that hide each other's latency.
// Each pixel's r is its value's byte sum modulo 5 (FractionGivesRemainder),
// whose fraction's top byte a table lookup spreads to the pixel's 3 bytes;
// bit tests of it make the masks by which selects pick each byte from the
// snapshot loads at the five offsets. Equal to the plain step because the
// lanes give the row's draws in order, every byte is picked by its own
// pixel's r, and a vector is written only when all its bytes are interior,
// so that its loads reach at most the border pixels; the pixels after the
// last such vector are copied one by one (the one it splits whole again).
void StepRowNeon(std::uint64_t state, std::uint8_t* target, const std::uint8_t* source, std::int32_t count,
                 std::int32_t stride) {
    LanesNeon lanes[4];
    for (int set = 0; set < 4; ++set) {
        std::uint32_t low[4];
        std::uint32_t high[4];
        for (int lane = 0; lane < 4; ++lane) {
            const std::uint64_t start =
                kLaneStarts.multiplier[4 * set + lane] * state + kLaneStarts.increment[4 * set + lane];
            low[lane] = static_cast<std::uint32_t>(start);
            high[lane] = static_cast<std::uint32_t>(start >> 32);
        }
        lanes[set] = {vld1q_u32(low), vld1q_u32(high)};
    }
    const uint32x4_t multiplierLow = vdupq_n_u32(static_cast<std::uint32_t>(kJump16.multiplier));
    const uint32x4_t multiplierHigh = vdupq_n_u32(static_cast<std::uint32_t>(kJump16.multiplier >> 32));
    const uint64x2_t increment = vdupq_n_u64(kJump16.increment);
    const uint32x4_t valueBits = vdupq_n_u32(0x7FFFFFFF);
    const uint8x16_t spreads[3] = {vld1q_u8(kSpreadsNeon.pixelOfByte[0]), vld1q_u8(kSpreadsNeon.pixelOfByte[1]),
                                   vld1q_u8(kSpreadsNeon.pixelOfByte[2])};
    for (std::int32_t x = 0; x < count; x += 16) {
        const uint16x8_t fractionsLow = vmulq_n_u16(ByteSumsNeon(lanes[0], lanes[1], valueBits), 13108);
        const uint16x8_t fractionsHigh = vmulq_n_u16(ByteSumsNeon(lanes[2], lanes[3], valueBits), 13108);
        const uint8x16_t choices = vuzp2q_u8(vreinterpretq_u8_u16(fractionsLow), vreinterpretq_u8_u16(fractionsHigh));
        for (LanesNeon& set : lanes) {
            set = JumpNeon(set, multiplierLow, multiplierHigh, increment);
        }
        const std::uint8_t* own = source + 3 * x;
        std::uint8_t* piece = target + 3 * x;
        const std::int32_t left = count - x;
        const std::int32_t vectors = left >= 16 ? 3 : 3 * left / 16;
        for (std::int32_t vector = 0; vector < vectors; ++vector) {
            SelectVectorNeon(vqtbl1q_u8(choices, spreads[vector]), piece + 16 * vector, own + 16 * vector, stride);
        }
        if (vectors < 3) {
            // Offsets by the choice's top three bits.
            const std::int32_t offsets[8] = {3, -3, 0, -stride, 0, 0, stride, 0};
            std::uint8_t tops[16];
            vst1q_u8(tops, vshrq_n_u8(choices, 5));
            for (std::int32_t i = 16 * vectors / 3; i < left; ++i) {
                std::memcpy(piece + 3 * i, own + 3 * i + offsets[tops[i]], 3);
            }
        }
    }
}

// QEMU's instruction translator (qemu-aarch64, which runs arm64 programs on
// x86 machines, in containers among others) carries out the NEON kernel
// about four times slower than the scalar loop. It shows in two ways: its
// default processor's MIDR, which the kernel lets programs read where
// HWCAP_CPUID says so, names implementer 0, which ARM reserves for software
// and no processor has; and before QEMU 8.1, /proc/cpuinfo is the host's, an
// x86 one with vendor_id lines that an arm64 kernel never writes. Read
// without allocating: the step allocates nothing, even on its first call.
bool UnderTranslator() {
    if ((getauxval(AT_HWCAP) & HWCAP_CPUID) != 0) {
        std::uint64_t midr = 0;
        __asm__("mrs %0, MIDR_EL1" : "=r"(midr));
        if (((midr >> 24) & 0xFF) == 0) {
            return true;
        }
    }
    char text[4096];
    const int file = open("/proc/cpuinfo", O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return false;
    }
    const ssize_t length = read(file, text, sizeof text - 1);
    close(file);
    text[length > 0 ? length : 0] = '\0';
    return std::strstr(text, "vendor_id") != nullptr;
}

}  // namespace

StepDrawing ProcessorDrawing(StepDrawing limit, bool limited) {
    static const bool translated = UnderTranslator();
    if (!limited && translated) {
        return kDrawScalar;
    }
    return limit >= kDrawNeon ? kDrawNeon : kDrawScalar;
}

StepRow ProcessorStepRow(StepDrawing) { return StepRowNeon; }
