#include "script/io/ScBlob.h"

#include "script/io/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace Quillorane {

bool ScBlob::setCursor(std::int32_t position) {
    if (position < 0 || static_cast<std::uint32_t>(position) >= bytes_.size()) return false;
    cursor_ = static_cast<std::uint32_t>(position);
    return true;
}

const std::uint8_t* ScBlob::take(std::uint32_t width) {
    if (width > bytes_.size() - cursor_) return nullptr;
    const std::uint8_t* p = bytes_.data() + cursor_;
    cursor_ += width;
    return p;
}

std::uint8_t* ScBlob::room(std::uint32_t width) {
    if (width > bytes_.size() - cursor_) return nullptr;
    std::uint8_t* p = bytes_.data() + cursor_;
    cursor_ += width;
    return p;
}

std::int32_t ScBlob::readInt8() {
    const auto* p = take(1);
    return p ? LittleEndian::int8(p) : 0;
}

std::int32_t ScBlob::readUint8() {
    const auto* p = take(1);
    return p ? p[0] : 0;
}

std::int32_t ScBlob::readInt16() {
    const auto* p = take(2);
    return p ? LittleEndian::int16(p) : 0;
}

std::int32_t ScBlob::readUint16() {
    const auto* p = take(2);
    return p ? LittleEndian::uint16(p) : 0;
}

std::int32_t ScBlob::readInt32() {
    const auto* p = take(4);
    return p ? LittleEndian::int32(p) : 0;
}

float ScBlob::readFloat32() {
    const auto* p = take(4);
    return p ? LittleEndian::float32(p) : 0.0f;
}

float ScBlob::readFloat64() {
    const auto* p = take(8);
    return p ? LittleEndian::float64(p) : 0.0f;
}

bool ScBlob::writeInt8(std::int32_t value) {
    auto* p = room(1);
    if (p) p[0] = static_cast<std::uint8_t>(value);
    return p != nullptr;
}

bool ScBlob::writeInt16(std::int32_t value) {
    auto* p = room(2);
    if (p) LittleEndian::store(p, static_cast<std::uint32_t>(value), 2);
    return p != nullptr;
}

bool ScBlob::writeInt32(std::int32_t value) {
    auto* p = room(4);
    if (p) LittleEndian::store(p, static_cast<std::uint32_t>(value), 4);
    return p != nullptr;
}

bool ScBlob::writeFloat32(float value) {
    auto* p = room(4);
    if (p) LittleEndian::putFloat32(p, value);
    return p != nullptr;
}

bool ScBlob::writeFloat64(float value) {
    auto* p = room(8);
    if (p) LittleEndian::putFloat64(p, value);
    return p != nullptr;
}

std::int32_t ScBlob::copyIn(const ScBlob& source, std::uint32_t start, std::uint32_t count) {
    if (count == 0) return 0;
    // The source may be this very blob: the ranges may overlap.
    const std::uint8_t* from = source.bytes_.data() + start;
    std::uint8_t* to = room(count);
    if (!to) return 0;
    std::memmove(to, from, count);
    return static_cast<std::int32_t>(count);
}

std::int32_t ScBlob::writeBlob(const ScBlob& source) { return copyIn(source, 0, source.size()); }

std::int32_t ScBlob::writeBlob(const ScBlob& source, std::int32_t start, std::int32_t length) {
    if (start < 0 || static_cast<std::uint32_t>(start) >= source.size() || length <= 0) return 0;
    const std::uint32_t from = static_cast<std::uint32_t>(start);
    const std::uint32_t count = std::min(static_cast<std::uint32_t>(length), source.size() - from);
    return copyIn(source, from, count);
}

std::uint32_t ScBlob::readBlobSize(std::int32_t size) const {
    const std::uint32_t remaining = static_cast<std::uint32_t>(bytes_.size()) - cursor_;
    if (size < 0 || static_cast<std::uint32_t>(size) > remaining) return remaining;
    return static_cast<std::uint32_t>(size);
}

}  // namespace Quillorane
