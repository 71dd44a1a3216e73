#include "script/io/ScStreams.h"

#include "io/Factory.h"
#include "io/Path.h"
#include "script/io/LittleEndian.h"
#include "script/io/ScBlob.h"

namespace Quillorane {

// ---------------------------------------------------------------------------------------------
// File

std::u16string ScFile::getAbsolutePath() { return QlIO::getAbsolutePath(file_->getPath()); }
std::u16string ScFile::getParentPath() { return QlIO::getDirectoryPart(file_->getPath()); }
std::u16string ScFile::getName() { return QlIO::getFileName(file_->getPath()); }
std::u16string ScFile::getNameWithoutExtension() { return QlIO::getNameWithoutExtension(file_->getPath()); }
std::u16string ScFile::getExtension() { return QlIO::getExtension(file_->getPath()); }

std::vector<std::unique_ptr<ScFile>> ScFile::getChildren() {
    std::vector<std::unique_ptr<ScFile>> children;
    for (auto& child : file_->getChildren()) {
        if (child) children.push_back(std::make_unique<ScFile>(std::move(child)));
    }
    return children;
}

// ---------------------------------------------------------------------------------------------
// BinaryReader

void ScBinaryReader::close() {
    if (stream_) stream_->close();
}

bool ScBinaryReader::isClosed() { return !stream_ || stream_->isClosed(); }
bool ScBinaryReader::isReadable() { return stream_ && stream_->canRead(); }
std::int32_t ScBinaryReader::getLength() { return stream_ ? static_cast<std::int32_t>(stream_->getSize()) : 0; }
std::int32_t ScBinaryReader::getCursor() { return stream_ ? static_cast<std::int32_t>(stream_->tell()) : 0; }

bool ScBinaryReader::setCursor(std::int32_t position) {
    return stream_ && position >= 0 && stream_->seek(static_cast<std::uint32_t>(position));
}

std::uint32_t ScBinaryReader::available() { return stream_ ? stream_->getAvailable() : 0; }

std::uint32_t ScBinaryReader::readInto(std::uint8_t* buffer, std::uint32_t count) {
    std::uint32_t done = 0;
    while (stream_ && done < count) {
        const std::uint32_t n = stream_->read(buffer + done, count - done);
        if (n == 0) break;
        done += n;
    }
    return done;
}

bool ScBinaryReader::take(std::uint8_t* buffer, std::uint32_t width) {
    if (available() < width) return false;
    return readInto(buffer, width) == width;
}

std::int32_t ScBinaryReader::readInt8() {
    std::uint8_t b[1];
    return take(b, 1) ? LittleEndian::int8(b) : 0;
}

std::int32_t ScBinaryReader::readUint8() {
    std::uint8_t b[1];
    return take(b, 1) ? b[0] : 0;
}

std::int32_t ScBinaryReader::readInt16() {
    std::uint8_t b[2];
    return take(b, 2) ? LittleEndian::int16(b) : 0;
}

std::int32_t ScBinaryReader::readUint16() {
    std::uint8_t b[2];
    return take(b, 2) ? LittleEndian::uint16(b) : 0;
}

std::int32_t ScBinaryReader::readInt32() {
    std::uint8_t b[4];
    return take(b, 4) ? LittleEndian::int32(b) : 0;
}

float ScBinaryReader::readFloat32() {
    std::uint8_t b[4];
    return take(b, 4) ? LittleEndian::float32(b) : 0.0f;
}

float ScBinaryReader::readFloat64() {
    std::uint8_t b[8];
    return take(b, 8) ? LittleEndian::float64(b) : 0.0f;
}

// ---------------------------------------------------------------------------------------------
// BinaryWriter

void ScBinaryWriter::close() {
    if (stream_) stream_->close();
}

bool ScBinaryWriter::isClosed() { return !stream_ || stream_->isClosed(); }
bool ScBinaryWriter::isWritable() { return stream_ && stream_->canWrite(); }
std::int32_t ScBinaryWriter::getLength() { return stream_ ? static_cast<std::int32_t>(stream_->getSize()) : 0; }
std::int32_t ScBinaryWriter::getCursor() { return stream_ ? static_cast<std::int32_t>(stream_->tell()) : 0; }

bool ScBinaryWriter::setCursor(std::int32_t position) {
    return stream_ && position >= 0 && stream_->seek(static_cast<std::uint32_t>(position));
}

std::int32_t ScBinaryWriter::put(const std::uint8_t* bytes, std::uint32_t count) {
    return stream_ ? static_cast<std::int32_t>(stream_->write(bytes, count)) : 0;
}

std::int32_t ScBinaryWriter::writeInt8(std::int32_t value) {
    const std::uint8_t b[1] = {static_cast<std::uint8_t>(value)};
    return put(b, 1);
}

std::int32_t ScBinaryWriter::writeInt16(std::int32_t value) {
    std::uint8_t b[2];
    LittleEndian::store(b, static_cast<std::uint32_t>(value), 2);
    return put(b, 2);
}

std::int32_t ScBinaryWriter::writeInt32(std::int32_t value) {
    std::uint8_t b[4];
    LittleEndian::store(b, static_cast<std::uint32_t>(value), 4);
    return put(b, 4);
}

std::int32_t ScBinaryWriter::writeFloat32(float value) {
    std::uint8_t b[4];
    LittleEndian::putFloat32(b, value);
    return put(b, 4);
}

std::int32_t ScBinaryWriter::writeFloat64(float value) {
    std::uint8_t b[8];
    LittleEndian::putFloat64(b, value);
    return put(b, 8);
}

std::int32_t ScBinaryWriter::writeBlob(ScBlob& blob) {
    if (blob.size() == 0) return 0;
    return put(blob.data(), blob.size());
}

std::int32_t ScBinaryWriter::writeBlobRange(ScBlob& blob, std::int32_t start, std::int32_t length) {
    if (start < 0 || static_cast<std::uint32_t>(start) >= blob.size() || length <= 0) return 0;
    const std::uint32_t from = static_cast<std::uint32_t>(start);
    return put(blob.data() + from, std::min(static_cast<std::uint32_t>(length), blob.size() - from));
}

bool ScBinaryWriter::flush() { return stream_ && stream_->flush(); }

// ---------------------------------------------------------------------------------------------
// Readers

void ScReader::close() {
    if (reader_) reader_->close();
}

bool ScReader::isClosed() { return !reader_ || reader_->isClosed(); }
bool ScReader::isReadable() { return reader_ && reader_->canRead(); }

std::u16string ScReader::readOne() {
    if (!reader_) return {};
    const std::int32_t unit = reader_->read();
    return std::u16string(1, unit < 0 ? u'\xFFFF' : static_cast<char16_t>(unit));
}

std::u16string ScReader::read(std::int32_t count) {
    if (!reader_ || count <= 0) return {};
    return reader_->read(static_cast<std::uint32_t>(count));
}

std::u16string ScReader::readLine() { return reader_ ? reader_->readLine() : std::u16string(); }
std::u16string ScReader::readAll() { return reader_ ? reader_->readToEnd() : std::u16string(); }

std::optional<std::vector<std::u16string>> ScReader::readAllLines() {
    if (!reader_) return std::nullopt;
    return reader_->readAllLines();
}

std::optional<std::vector<std::u16string>> ScReader::readLines(std::int32_t count) {
    if (!reader_) return std::nullopt;
    if (count <= 0) return std::vector<std::u16string>{};
    return reader_->readLines(static_cast<std::uint32_t>(count));
}

// ---------------------------------------------------------------------------------------------
// Writers

namespace {

// The part of text from start, count units long at most; nothing when start is outside it.
std::optional<std::u16string_view> range(const std::u16string& text, std::int32_t start, std::int32_t count) {
    if (start < 0 || static_cast<std::size_t>(start) > text.size()) return std::nullopt;
    const std::size_t from = static_cast<std::size_t>(start);
    const std::size_t n = std::min<std::size_t>(count < 0 ? 0 : static_cast<std::size_t>(count), text.size() - from);
    return std::u16string_view(text).substr(from, n);
}

std::uint32_t clampCount(std::int32_t count) { return count < 0 ? 0 : static_cast<std::uint32_t>(count); }

}  // namespace

void ScWriter::close() {
    if (writer_) writer_->close();
}

bool ScWriter::isClosed() { return !writer_ || writer_->isClosed(); }
bool ScWriter::isWritable() { return writer_ && writer_->canWrite(); }

std::int32_t ScWriter::write(const std::u16string& text) {
    return writer_ ? static_cast<std::int32_t>(writer_->write(std::u16string_view(text))) : 0;
}

std::int32_t ScWriter::writeCount(const std::u16string& text, std::int32_t count) {
    if (!writer_ || count <= 0) return 0;
    return static_cast<std::int32_t>(writer_->write(text, clampCount(count)));
}

std::int32_t ScWriter::writeRange(const std::u16string& text, std::int32_t start, std::int32_t count) {
    const auto part = range(text, start, count);
    if (!writer_ || !part || part->empty()) return 0;
    return static_cast<std::int32_t>(writer_->write(*part, static_cast<std::uint32_t>(part->size())));
}

std::int32_t ScWriter::writeLine(const std::u16string& text) {
    return writer_ ? static_cast<std::int32_t>(writer_->writeLine(std::u16string_view(text))) : 0;
}

std::int32_t ScWriter::writeLineCount(const std::u16string& text, std::int32_t count) {
    if (!writer_) return 0;
    return static_cast<std::int32_t>(writer_->writeLine(text, clampCount(count)));
}

std::int32_t ScWriter::writeLineRange(const std::u16string& text, std::int32_t start, std::int32_t count) {
    const auto part = range(text, start, count);
    if (!writer_ || !part) return 0;
    return static_cast<std::int32_t>(writer_->writeLine(*part, static_cast<std::uint32_t>(part->size())));
}

bool ScWriter::flush() { return writer_ && writer_->flush(); }

ScStringWriter::ScStringWriter() : ScWriter(nullptr), text_(QlIO::createStringWriter()) { writer_ = text_; }

std::u16string ScStringWriter::getString() { return text_ ? text_->getString() : std::u16string(); }

}  // namespace Quillorane
