#pragma once
// The wrappers of IO's files, byte streams and text readers and writers. Each holds one object
// of the file layer; a wrapper that holds none answers every call with its empty result.
#include "io/IFile.h"
#include "io/IInputStream.h"
#include "io/IOutputStream.h"
#include "io/IReader.h"
#include "io/IStringWriter.h"
#include "io/IWriter.h"
#include "script/Bound.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Quillorane {

class ScBlob;

// IO.File: questions about one path, and the things made from it.
class ScFile : public Bound {
public:
    explicit ScFile(std::shared_ptr<QlIO::IFile> file) : file_(std::move(file)) {}

    bool exists() { return file_->exists(); }
    bool isFile() { return file_->isFile(); }
    bool isDirectory() { return file_->isDirectory(); }
    bool isHidden() { return file_->isHidden(); }
    bool isReadOnly() { return file_->isReadOnly(); }
    std::u16string getPath() { return file_->getPath(); }
    std::u16string getAbsolutePath();
    std::u16string getParentPath();
    std::u16string getName();
    std::u16string getNameWithoutExtension();
    std::u16string getExtension();
    std::int32_t getSize() { return static_cast<std::int32_t>(file_->getSize()); }
    bool remove() { return file_->remove(); }
    bool makeFile() { return file_->makeFile(); }
    bool makeDirectory() { return file_->makeDirectory(); }
    std::vector<std::unique_ptr<ScFile>> getChildren();

    QlIO::IFile& file() { return *file_; }

private:
    std::shared_ptr<QlIO::IFile> file_;
};

// IO.BinaryReader: little-endian values from a byte stream. A value that the stream cannot
// supply whole reads as 0.
class ScBinaryReader : public Bound {
public:
    explicit ScBinaryReader(std::shared_ptr<QlIO::IInputStream> stream) : stream_(std::move(stream)) {}

    void close();
    bool isClosed();
    bool isReadable();
    std::int32_t getLength();
    std::int32_t getCursor();
    bool setCursor(std::int32_t position);
    std::int32_t readInt8();
    std::int32_t readUint8();
    std::int32_t readInt16();
    std::int32_t readUint16();
    std::int32_t readInt32();
    float readFloat32();
    float readFloat64();

    // Bytes between the position and the end (0 without a stream).
    std::uint32_t available();
    // Reads up to count bytes into buffer; returns how many arrived.
    std::uint32_t readInto(std::uint8_t* buffer, std::uint32_t count);

private:
    // width bytes from the stream into buffer, or false (then nothing is consumed when the
    // stream said beforehand that they are not there).
    bool take(std::uint8_t* buffer, std::uint32_t width);

    std::shared_ptr<QlIO::IInputStream> stream_;
};

// IO.BinaryWriter: little-endian values into a byte stream; each write returns the number of
// bytes the stream took.
class ScBinaryWriter : public Bound {
public:
    explicit ScBinaryWriter(std::shared_ptr<QlIO::IOutputStream> stream) : stream_(std::move(stream)) {}

    void close();
    bool isClosed();
    bool isWritable();
    std::int32_t getLength();
    std::int32_t getCursor();
    bool setCursor(std::int32_t position);
    std::int32_t writeInt8(std::int32_t value);
    std::int32_t writeInt16(std::int32_t value);
    std::int32_t writeInt32(std::int32_t value);
    std::int32_t writeFloat32(float value);
    std::int32_t writeFloat64(float value);
    // All of the blob's bytes, or from start up to length of them (cut at the blob's end);
    // 0 for an empty blob or a start outside it.
    std::int32_t writeBlob(ScBlob& blob);
    std::int32_t writeBlobRange(ScBlob& blob, std::int32_t start, std::int32_t length);
    bool flush();

private:
    std::int32_t put(const std::uint8_t* bytes, std::uint32_t count);

    std::shared_ptr<QlIO::IOutputStream> stream_;
};

// What IO.TextReader and IO.StringReader share: the reader interface of the file layer.
class ScReader : public Bound {
public:
    explicit ScReader(std::shared_ptr<QlIO::IReader> reader) : reader_(std::move(reader)) {}

    void close();
    bool isClosed();
    bool isReadable();
    // One UTF-16 unit as a one-character string; U+FFFF at the end.
    std::u16string readOne();
    std::u16string read(std::int32_t count);
    std::u16string readLine();
    std::u16string readAll();
    std::optional<std::vector<std::u16string>> readAllLines();
    std::optional<std::vector<std::u16string>> readLines(std::int32_t count);

private:
    std::shared_ptr<QlIO::IReader> reader_;
};

class ScTextReader : public ScReader {
public:
    using ScReader::ScReader;
};

class ScStringReader : public ScReader {
public:
    using ScReader::ScReader;
};

// What IO.TextWriter and IO.StringWriter share: the writer interface of the file layer.
// A negative count counts as 0; a start outside the text writes nothing and returns 0.
class ScWriter : public Bound {
public:
    explicit ScWriter(std::shared_ptr<QlIO::IWriter> writer) : writer_(std::move(writer)) {}

    void close();
    bool isClosed();
    bool isWritable();
    std::int32_t write(const std::u16string& text);
    std::int32_t writeCount(const std::u16string& text, std::int32_t count);
    std::int32_t writeRange(const std::u16string& text, std::int32_t start, std::int32_t count);
    std::int32_t writeLine(const std::u16string& text);
    std::int32_t writeLineCount(const std::u16string& text, std::int32_t count);
    std::int32_t writeLineRange(const std::u16string& text, std::int32_t start, std::int32_t count);
    bool flush();

protected:
    std::shared_ptr<QlIO::IWriter> writer_;
};

class ScTextWriter : public ScWriter {
public:
    using ScWriter::ScWriter;
};

class ScStringWriter : public ScWriter {
public:
    ScStringWriter();
    std::u16string getString();

private:
    std::shared_ptr<QlIO::IStringWriter> text_;
};

}  // namespace Quillorane
