#include "io/MemoryStream.h"

#include "io/Factory.h"

#include <algorithm>
#include <cstring>

namespace QlIO::Core {

bool MemoryStream::open(uint8_t* block, uint32_t size)
{
    close();
    if (block == nullptr || size == 0)
        return false;
    block_ = block;
    size_ = size;
    position_ = 0;
    return true;
}

void MemoryStream::close()
{
    block_ = nullptr;
    size_ = 0;
    position_ = 0;
}

bool MemoryStream::seek(uint32_t position)
{
    if (block_ == nullptr || position > size_)
        return false;
    position_ = position;
    return true;
}

int MemoryStream::peek()
{
    return getAvailable() > 0 ? block_[position_] : -1;
}

uint32_t MemoryStream::read(uint8_t* buffer, uint32_t count)
{
    if (buffer == nullptr)
        return 0;
    const uint32_t n = std::min(count, getAvailable());
    if (n > 0)
        std::memcpy(buffer, block_ + position_, n);
    position_ += n;
    return n;
}

int MemoryStream::readByte()
{
    return getAvailable() > 0 ? block_[position_++] : -1;
}

uint32_t MemoryStream::write(const uint8_t* buffer, uint32_t count)
{
    if (buffer == nullptr)
        return 0;
    const uint32_t n = std::min(count, getRemaining());
    if (n > 0)
        std::memmove(block_ + position_, buffer, n);
    position_ += n;
    return n;
}

bool MemoryStream::writeByte(uint8_t byte)
{
    if (getRemaining() == 0)
        return false;
    block_[position_++] = byte;
    return true;
}

} // namespace QlIO::Core

namespace QlIO {

std::shared_ptr<IIoStream> createMemoryStream(uint8_t* block, uint32_t size)
{
    if (block == nullptr || size == 0)
        return {};
    return std::make_shared<Core::MemoryStream>(block, size);
}

} // namespace QlIO
