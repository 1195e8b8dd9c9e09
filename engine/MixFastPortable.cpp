// The voice renderer for every CPU: 4 frames a vector in the compiler's
// generic vectors (SSE2, NEON, or scalar code where there are none), sample
// values read one at a time.
#include "engine/MixFastKernel.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#define NORV_VOICE_TARGET

namespace norv::mixfast {
namespace {

struct TLanes {
    static constexpr int W = kPortableLanes;
    using F = float __attribute__((vector_size(16)));
    using I = int32_t __attribute__((vector_size(16)));
    using U = uint32_t __attribute__((vector_size(16)));
    static constexpr uint32_t kMaxStep = 1u << 23;

    static F Fma(F a, F b, F c) { return a * b + c; }

    template <bool Stereo, std::size_t... K>
    static void Read(const int16_t* data, int32_t pos, U fr, F& xl, F& xr, std::index_sequence<K...>) {
        constexpr int ch = Stereo ? 2 : 1;
        const int16_t* at[W] = {data + static_cast<int64_t>(pos + static_cast<int32_t>(fr[K] >> 16)) * ch...};
        // 128 s0 + f (s1 - s0): every product and sum is exact in float.
        const F f = __builtin_convertvector(I((fr >> 9) & 127u), F);
        const F l0{static_cast<float>(at[K][0])...}, l1{static_cast<float>(at[K][ch])...};
        xl = l0 * 128.0f + f * (l1 - l0);
        if constexpr (Stereo) {
            const F r0{static_cast<float>(at[K][1])...}, r1{static_cast<float>(at[K][3])...};
            xr = r0 * 128.0f + f * (r1 - r0);
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
