// RIFF WAVE parser: walks the chunks of a file (or of bytes in memory) and
// decodes its sample data into a TWAVSample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wavetable/WAVUnit.h"

namespace norv {

class TParseWAV {
public:
    enum TResult : int {
        Ok = 0,
        CannotOpen = 1,
        NotWave = 2,  // no RIFF/WAVE header, no format or data chunk, or data that cannot be decoded
        CannotMap = 4,
    };

    TParseWAV();
    ~TParseWAV();
    TParseWAV(const TParseWAV&) = delete;
    TParseWAV& operator=(const TParseWAV&) = delete;

    // With borrowing on, 16-bit PCM data is not copied: the sample's block
    // refers to the parsed bytes. For a file the mapping is then kept until
    // this parser parses again or is destroyed; for bytes in memory the
    // caller keeps them alive. Off by default.
    void SetBorrowInt16(bool borrow) { borrowInt16_ = borrow; }

    // Resets `sample`, then fills it from the file. Every read stays inside
    // the file whatever its sizes claim.
    int Parse(TWAVSample& sample, const std::string& fileName);
    int Parse(TWAVSample& sample, const void* bytes, size_t size);

    // Type of the last "LIST" chunk entered; empty when there was none.
    const std::string& ListType() const { return listType_; }

private:
    struct TMapping;

    int ParseBytes(TWAVSample& sample, const uint8_t* bytes, size_t size);
    void Walk(TWAVSample& sample, size_t offset, size_t end, int depth);
    void ReadFormat(const uint8_t* body, size_t size);
    void ReadSampler(TWAVSample& sample, const uint8_t* body, size_t size);
    bool Decode(TWAVSample& sample, const uint8_t* body, size_t size);

    const uint8_t* bytes_ = nullptr;
    std::unique_ptr<TMapping> mapping_;
    std::vector<uint8_t> format_;  // at least 40 bytes once a format chunk was read
    size_t formatChunkSize_ = 0;
    bool haveFormat_ = false;
    bool haveData_ = false;
    bool decodeFailed_ = false;
    bool borrowInt16_ = false;
    std::string listType_;
};

}  // namespace norv
