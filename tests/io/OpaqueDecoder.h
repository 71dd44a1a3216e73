#pragma once
// A decoder the stream reader does not recognise, so reading through it takes
// the reader's general character-at-a-time path. Shared by the io tests, the
// text benchmark and the text fuzzer, which compare that path with the direct one.

#include "io/IDecoder.h"

#include <memory>

namespace QlIO::Testing {

class OpaqueDecoder final : public IDecoder {
public:
    explicit OpaqueDecoder(std::shared_ptr<IDecoder> inner)
        : inner_(std::move(inner))
    {
    }
    uint32_t decode(char16_t* out, uint32_t cap, const uint8_t* in, uint32_t len) override
    {
        return inner_->decode(out, cap, in, len);
    }

private:
    std::shared_ptr<IDecoder> inner_;
};

} // namespace QlIO::Testing
