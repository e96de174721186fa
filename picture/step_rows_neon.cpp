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

inline LanesNeon StartLanesNeon(std::uint64_t state, int set) {
    const LaneHalves halves = StartLaneHalves(state, set);
    return {vld1q_u32(halves.low), vld1q_u32(halves.high)};
}

// The byte sums of twice the values of 8 pixels (lanes `first` and `second`),
// one 16-bit word each, in pixel order. Doubling the high half drops its top
// bit, which is not the value's, and leaves bytes that sum to 2r modulo 5.
inline uint16x8_t DoubledByteSumsNeon(LanesNeon first, LanesNeon second) {
    return vpaddq_u16(vpaddlq_u8(vreinterpretq_u8_u32(vaddq_u32(first.high, first.high))),
                      vpaddlq_u8(vreinterpretq_u8_u32(vaddq_u32(second.high, second.high))));
}

// Writes the 16 bytes at target, each taken from the snapshot at the offset
// its pixel's choice names. `spread` holds, for each byte, the top byte of its
// pixel's f, whose top three bits (with 2r modulo 5) are 000 for r = 0
// (right), 001 for 3 (own), 011 for 1 (left), 100 for 4 (above) and 110 for 2
// (below): the first bit parts above and below from the rest, the second
// picks below or left, the third own over right.
inline void SelectVectorNeon(uint8x16_t spread, std::uint8_t* target, const std::uint8_t* own, std::int32_t stride) {
    const uint8x16_t firstBit = vtstq_u8(spread, vdupq_n_u8(0x80));
    const uint8x16_t secondBit = vtstq_u8(spread, vdupq_n_u8(0x40));
    const uint8x16_t thirdBit = vtstq_u8(spread, vdupq_n_u8(0x20));
    const uint8x16_t inRow =
        vbslq_u8(secondBit, vld1q_u8(own - 3), vbslq_u8(thirdBit, vld1q_u8(own), vld1q_u8(own + 3)));
    const uint8x16_t inColumn = vbslq_u8(secondBit, vld1q_u8(own - stride), vld1q_u8(own + stride));
    vst1q_u8(target, vbslq_u8(firstBit, inColumn, inRow));
}

// NEON: 16 pixels, 48 bytes, three vectors a piece, drawn by 16 lanes in four
// sets of 4, independent chains of multiplies that hide each other's latency.
// Each pixel's 2r modulo 5 is a byte sum's (FractionGivesRemainder), whose
// fraction's top byte a table lookup spreads to the pixel's 3 bytes;
// bit tests of it make the masks by which selects pick each byte from the
// snapshot loads at the five offsets. Equal to the plain step because the
// lanes give the row's draws in order, every byte is picked by its own
// pixel's r, and a vector is written only when all its bytes are interior,
// so that its loads reach at most the border pixels; the pixels after the
// last such vector are copied one by one (the one it splits whole again).
void StepRowNeon(std::uint64_t state, std::uint8_t* target, const std::uint8_t* source, std::int32_t count,
                 std::int32_t stride) {
    LanesNeon first = StartLanesNeon(state, 0);
    LanesNeon second = StartLanesNeon(state, 1);
    LanesNeon third = StartLanesNeon(state, 2);
    LanesNeon fourth = StartLanesNeon(state, 3);
    const uint32x4_t multiplierLow = vdupq_n_u32(static_cast<std::uint32_t>(kJump16.multiplier));
    const uint32x4_t multiplierHigh = vdupq_n_u32(static_cast<std::uint32_t>(kJump16.multiplier >> 32));
    const uint64x2_t increment = vdupq_n_u64(kJump16.increment);
    const uint8x16_t firstSpread = vld1q_u8(kSpreadsNeon.pixelOfByte[0]);
    const uint8x16_t secondSpread = vld1q_u8(kSpreadsNeon.pixelOfByte[1]);
    const uint8x16_t thirdSpread = vld1q_u8(kSpreadsNeon.pixelOfByte[2]);
    for (std::int32_t x = 0; x < count; x += 16) {
        const uint16x8_t fractionsLow = vmulq_n_u16(DoubledByteSumsNeon(first, second), 13108);
        const uint16x8_t fractionsHigh = vmulq_n_u16(DoubledByteSumsNeon(third, fourth), 13108);
        const uint8x16_t choices = vuzp2q_u8(vreinterpretq_u8_u16(fractionsLow), vreinterpretq_u8_u16(fractionsHigh));
        first = JumpNeon(first, multiplierLow, multiplierHigh, increment);
        second = JumpNeon(second, multiplierLow, multiplierHigh, increment);
        third = JumpNeon(third, multiplierLow, multiplierHigh, increment);
        fourth = JumpNeon(fourth, multiplierLow, multiplierHigh, increment);
        const std::uint8_t* own = source + 3 * x;
        std::uint8_t* piece = target + 3 * x;
        const std::int32_t left = count - x;
        if (left >= 16) {
            SelectVectorNeon(vqtbl1q_u8(choices, firstSpread), piece, own, stride);
            SelectVectorNeon(vqtbl1q_u8(choices, secondSpread), piece + 16, own + 16, stride);
            SelectVectorNeon(vqtbl1q_u8(choices, thirdSpread), piece + 32, own + 32, stride);
            continue;
        }
        // The row's last piece: its whole vectors (none to two), then the
        // pixels after them, by the offsets of the choices' top three bits.
        const std::int32_t vectors = 3 * left / 16;
        if (vectors >= 1) {
            SelectVectorNeon(vqtbl1q_u8(choices, firstSpread), piece, own, stride);
        }
        if (vectors == 2) {
            SelectVectorNeon(vqtbl1q_u8(choices, secondSpread), piece + 16, own + 16, stride);
        }
        const std::int32_t offsets[8] = {3, 0, 0, -3, stride, 0, -stride, 0};
        std::uint8_t tops[16];
        vst1q_u8(tops, vshrq_n_u8(choices, 5));
        for (std::int32_t i = 16 * vectors / 3; i < left; ++i) {
            std::memcpy(piece + 3 * i, own + 3 * i + offsets[tops[i]], 3);
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
