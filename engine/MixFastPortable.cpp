// The voice renderer for every CPU: 4 frames a vector in the compiler's
// generic vectors (SSE2, NEON, or scalar code where there are none), sample
// values read one at a time.
#include "engine/MixFastKernel.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#define NORV_VOICE_TARGET
#define NORV_LANES_TARGET NORV_VOICE_TARGET
#include "base/Lanes.h"

namespace norv::mixfast {
namespace {

static_assert(std::endian::native == std::endian::little, "sample pairs are split by their place in 32 bits");

struct TLanes {
    static constexpr int W = kPortableLanes;
    using F = lanes::F32<W>;
    using I = lanes::I32<W>;
    using U = lanes::U32<W>;
    static constexpr uint32_t kMaxStep = 1u << 23;

    static F Fma(F a, F b, F c) { return a * b + c; }

    // 32 bits from p, as they lie in memory.
    static uint32_t Bits(const int16_t* p) {
        uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }

    // 128 s0 + f (s1 - s0) from two 16-bit samples in the low and high half
    // of a 32-bit lane (s0 at the lower address); exact in float.
    static F Interpolate(U s0, U s1, F f) {
        const F a = __builtin_convertvector(I(s0 << 16) >> 16, F);
        const F b = __builtin_convertvector(I(s1) >> 16, F);
        return a * 128.0f + f * (b - a);
    }

    template <bool Stereo, std::size_t... K>
    static void Read(const int16_t* data, int32_t pos, U fr, F& xl, F& xr, std::index_sequence<K...>) {
        constexpr int ch = Stereo ? 2 : 1;
        const int16_t* at[W] = {data + static_cast<int64_t>(pos + static_cast<int32_t>(fr[K] >> 16)) * ch...};
        const F f = __builtin_convertvector(I((fr >> 9) & 127u), F);
        if constexpr (!Stereo) {
            // One read brings s0 and s1.
            const U pair{Bits(at[K])...};
            xl = Interpolate(pair, pair, f);
        } else {
            // Two bring l0 r0 and l1 r1.
            const U first{Bits(at[K])...}, second{Bits(at[K] + 2)...};
            xl = Interpolate(first, second << 16, f);
            xr = Interpolate(first >> 16, second, f);
        }
    }

    struct TConstants {};
    static TConstants Constants() { return {}; }

    template <bool Stereo>
    static void Fetch(const TConstants&, const int16_t* data, int32_t base, int32_t, U fr, uint32_t, int32_t, F& xl, F& xr) {
        Read<Stereo>(data, base, fr, xl, xr, std::make_index_sequence<W>());
    }
};

#include "engine/MixFastBody.h"

}  // namespace

TGroupRoutine PortableRoutine() { return &RenderGroup; }

}  // namespace norv::mixfast
