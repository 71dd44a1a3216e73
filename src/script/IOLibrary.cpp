#include "script/IOLibrary.h"

#include "io/Factory.h"
#include "io/IFileManager.h"
#include "io/Path.h"
#include "script/Binding.h"
#include "script/io/ScBlob.h"
#include "script/io/ScStreams.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace Quillorane {

std::shared_ptr<QlIO::IDecoder> decoderFor(std::int32_t encoding) {
    switch (encoding) {
    case 1: return QlIO::createShiftJisDecoder();
    case 2: return QlIO::createUtf8Decoder();
    case 3: return QlIO::createUtf16Decoder();  // holds its byte order: one per reader
    case 4: return QlIO::createUtf16DecoderLE();
    case 5: return QlIO::createUtf16DecoderBE();
    default: return nullptr;
    }
}

std::shared_ptr<QlIO::IEncoder> encoderFor(std::int32_t encoding) {
    switch (encoding) {
    case 1: return QlIO::createShiftJisEncoder();
    case 2: return QlIO::createUtf8Encoder();
    case 3:
    case 5: return QlIO::createUtf16EncoderBE();
    case 4: return QlIO::createUtf16EncoderLE();
    default: return nullptr;
    }
}

namespace {

using Files = std::shared_ptr<QlIO::IFileManager>;

// Constructors: null makes the script see "failed create instance".

ScFile* makeFile(const Files& files, const std::u16string& path) {
    auto file = files ? files->getFile(path) : nullptr;
    return file ? new ScFile(std::move(file)) : nullptr;
}

ScBinaryReader* makeBinaryReader(const Files& files, const std::u16string& path, std::int32_t option) {
    auto stream = files ? files->openInputStream(path, static_cast<std::uint32_t>(option)) : nullptr;
    return stream ? new ScBinaryReader(std::move(stream)) : nullptr;
}

ScBinaryWriter* makeBinaryWriter(const Files& files, const std::u16string& path, std::int32_t option) {
    auto stream = files ? files->openOutputStream(path, static_cast<std::uint32_t>(option)) : nullptr;
    return stream ? new ScBinaryWriter(std::move(stream)) : nullptr;
}

ScTextReader* makeTextReader(const Files& files, const std::u16string& path, std::int32_t option, std::int32_t encoding) {
    auto decoder = decoderFor(encoding);
    if (!decoder || !files) return nullptr;
    auto reader = QlIO::createStreamReader(files->openInputStream(path, static_cast<std::uint32_t>(option)), std::move(decoder));
    return reader ? new ScTextReader(std::move(reader)) : nullptr;
}

// The encoding is checked before the file is opened, so a writer that cannot be made leaves
// the file as it was.
ScTextWriter* makeTextWriter(const Files& files, const std::u16string& path, std::int32_t option, std::int32_t encoding) {
    auto encoder = encoderFor(encoding);
    if (!encoder || !files) return nullptr;
    auto writer = QlIO::createStreamWriter(files->openOutputStream(path, static_cast<std::uint32_t>(option)), std::move(encoder));
    return writer ? new ScTextWriter(std::move(writer)) : nullptr;
}

ScBlob* makeBlob(std::int32_t length) {
    if (length < 0) return nullptr;
    try {
        return new ScBlob(static_cast<std::uint32_t>(length));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Raw methods: they create their results through the classes of the IO table, as a script
// would, so a script that replaced one of those classes gets its own.

void pushText(HSQUIRRELVM v, const std::u16string& text) {
    sq_pushstring(v, text.data(), static_cast<SQInteger>(text.size()));
}

// IO.NAME(path, extra...) with the path of file; extra are integers.
SQInteger constructWithPath(HSQUIRRELVM v, ScFile& file, std::u16string_view name, std::initializer_list<SQInteger> extra) {
    pushText(v, file.getPath());
    for (SQInteger n : extra) sq_pushinteger(v, n);
    return Bind::constructByName(v, {u"IO", name}, 1 + static_cast<SQInteger>(extra.size())) ? 1 : SQ_ERROR;
}

// The optional integer argument of readBlob and createTextReader/Writer, or fallback.
SQInteger optionalInteger(HSQUIRRELVM v, SQInteger fallback) {
    SQInteger n = fallback;
    if (sq_gettop(v) >= 2) Bind::readInteger(v, 2, n);
    return n;
}

// Pushes a new IO.Blob(size) and copies into it what fill gives (fill(buffer, count) returns
// how many bytes it wrote). Pushes null for size 0.
template <class Fill>
SQInteger pushNewBlob(HSQUIRRELVM v, std::uint32_t size, Fill fill) {
    if (size == 0) {
        sq_pushnull(v);
        return 1;
    }
    sq_pushinteger(v, static_cast<SQInteger>(std::min<std::uint32_t>(size, std::numeric_limits<std::int32_t>::max())));
    if (!Bind::constructByName(v, {u"IO", u"Blob"}, 1)) return SQ_ERROR;
    if (auto* blob = Bind::wrapperAt<ScBlob>(v, -1)) fill(blob->data(), std::min(size, blob->size()));
    return 1;
}

SQInteger createBlob(HSQUIRRELVM v, ScFile& file) {
    auto stream = file.file().openInputStream(0);
    const std::uint32_t length = stream ? stream->getSize() : 0;
    if (length > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        sq_pushnull(v);
        return 1;
    }
    return pushNewBlob(v, length, [&](std::uint8_t* out, std::uint32_t count) {
        std::uint32_t done = 0;
        while (done < count) {
            const std::uint32_t n = stream->read(out + done, count - done);
            if (n == 0) break;
            done += n;
        }
    });
}

SQInteger getParent(HSQUIRRELVM v, ScFile& file) {
    pushText(v, file.getParentPath());
    return Bind::constructByName(v, {u"IO", u"File"}, 1) ? 1 : SQ_ERROR;
}

SQInteger readerReadBlob(HSQUIRRELVM v, ScBinaryReader& reader) {
    const SQInteger asked = optionalInteger(v, -1);
    const std::uint32_t remaining = reader.available();
    const std::uint32_t size = asked < 0 || static_cast<std::uint32_t>(asked) > remaining ? remaining : static_cast<std::uint32_t>(asked);
    return pushNewBlob(v, size, [&](std::uint8_t* out, std::uint32_t count) { reader.readInto(out, count); });
}

// The copy starts at the cursor, which stays where it is.
SQInteger blobReadBlob(HSQUIRRELVM v, ScBlob& blob) {
    const std::uint32_t size = blob.readBlobSize(static_cast<std::int32_t>(optionalInteger(v, -1)));
    const std::uint32_t from = blob.cursor();
    return pushNewBlob(v, size, [&](std::uint8_t* out, std::uint32_t count) {
        std::memcpy(out, blob.data() + from, std::min(count, blob.size() - from));
    });
}

// The methods every text reader has (TextReader and StringReader share them).
template <class T>
Bind::Class<T>& withReaderMethods(Bind::Class<T>& cls) {
    return cls.method(u"close", &ScReader::close)
        .method(u"isClosed", &ScReader::isClosed)
        .method(u"isReadable", &ScReader::isReadable)
        .overload(u"read", &ScReader::readOne)
        .overload(u"read", &ScReader::read)
        .method(u"readLine", &ScReader::readLine)
        .method(u"readAll", &ScReader::readAll)
        .overload(u"readLines", &ScReader::readAllLines)
        .overload(u"readLines", &ScReader::readLines);
}

// The methods every text writer has (TextWriter and StringWriter share them).
template <class T>
Bind::Class<T>& withWriterMethods(Bind::Class<T>& cls) {
    return cls.method(u"close", &ScWriter::close)
        .method(u"isClosed", &ScWriter::isClosed)
        .method(u"isWritable", &ScWriter::isWritable)
        .overload(u"write", &ScWriter::write)
        .overload(u"write", &ScWriter::writeCount)
        .overload(u"write", &ScWriter::writeRange)
        .overload(u"writeLine", &ScWriter::writeLine)
        .overload(u"writeLine", &ScWriter::writeLineCount)
        .overload(u"writeLine", &ScWriter::writeLineRange)
        .method(u"flush", &ScWriter::flush);
}

}  // namespace

bool IOLibrary::onLoad(HSQUIRRELVM v) {
    const Files files = files_;
    Bind::Table io(v);
    io.add(Bind::Class<ScBlob>(v, u"Blob")
               .ctor("i", &makeBlob)
               .method(u"getLength", &ScBlob::getLength)
               .method(u"getCursor", &ScBlob::getCursor)
               .method(u"setCursor", &ScBlob::setCursor)
               .method(u"readInt8", &ScBlob::readInt8)
               .method(u"readUint8", &ScBlob::readUint8)
               .method(u"readInt16", &ScBlob::readInt16)
               .method(u"readUint16", &ScBlob::readUint16)
               .method(u"readInt32", &ScBlob::readInt32)
               .method(u"readFloat32", &ScBlob::readFloat32)
               .method(u"readFloat64", &ScBlob::readFloat64)
               .method(u"writeInt8", &ScBlob::writeInt8)
               .method(u"writeUint8", &ScBlob::writeInt8)
               .method(u"writeInt16", &ScBlob::writeInt16)
               .method(u"writeUint16", &ScBlob::writeInt16)
               .method(u"writeInt32", &ScBlob::writeInt32)
               .method(u"writeFloat32", &ScBlob::writeFloat32)
               .method(u"writeFloat64", &ScBlob::writeFloat64)
               .overload(u"writeBlob", [](ScBlob& self, ScBlob& source) { return self.writeBlob(source); })
               .overload(u"writeBlob", [](ScBlob& self, ScBlob& source, std::int32_t start, std::int32_t length) {
                   return self.writeBlob(source, start, length);
               })
               .raw(u"readBlob", {"", "i"}, &blobReadBlob));
    io.add(Bind::Class<ScBinaryReader>(v, u"BinaryReader")
               .ctor("s", [files](const std::u16string& path) { return makeBinaryReader(files, path, 0); })
               .ctor("si", [files](const std::u16string& path, std::int32_t option) { return makeBinaryReader(files, path, option); })
               .method(u"close", &ScBinaryReader::close)
               .method(u"isClosed", &ScBinaryReader::isClosed)
               .method(u"isReadable", &ScBinaryReader::isReadable)
               .method(u"getLength", &ScBinaryReader::getLength)
               .method(u"getCursor", &ScBinaryReader::getCursor)
               .method(u"setCursor", &ScBinaryReader::setCursor)
               .method(u"readInt8", &ScBinaryReader::readInt8)
               .method(u"readUint8", &ScBinaryReader::readUint8)
               .method(u"readInt16", &ScBinaryReader::readInt16)
               .method(u"readUint16", &ScBinaryReader::readUint16)
               .method(u"readInt32", &ScBinaryReader::readInt32)
               .method(u"readFloat32", &ScBinaryReader::readFloat32)
               .method(u"readFloat64", &ScBinaryReader::readFloat64)
               .raw(u"readBlob", {"", "i"}, &readerReadBlob));
    io.add(Bind::Class<ScBinaryWriter>(v, u"BinaryWriter")
               .ctor("s", [files](const std::u16string& path) { return makeBinaryWriter(files, path, 0); })
               .ctor("si", [files](const std::u16string& path, std::int32_t option) { return makeBinaryWriter(files, path, option); })
               .method(u"close", &ScBinaryWriter::close)
               .method(u"isClosed", &ScBinaryWriter::isClosed)
               .method(u"isWritable", &ScBinaryWriter::isWritable)
               .method(u"getLength", &ScBinaryWriter::getLength)
               .method(u"getCursor", &ScBinaryWriter::getCursor)
               .method(u"setCursor", &ScBinaryWriter::setCursor)
               .method(u"writeInt8", &ScBinaryWriter::writeInt8)
               .method(u"writeUint8", &ScBinaryWriter::writeInt8)
               .method(u"writeInt16", &ScBinaryWriter::writeInt16)
               .method(u"writeUint16", &ScBinaryWriter::writeInt16)
               .method(u"writeInt32", &ScBinaryWriter::writeInt32)
               .method(u"writeFloat32", &ScBinaryWriter::writeFloat32)
               .method(u"writeFloat64", &ScBinaryWriter::writeFloat64)
               .overload(u"writeBlob", &ScBinaryWriter::writeBlob)
               .overload(u"writeBlob", &ScBinaryWriter::writeBlobRange)
               .method(u"flush", &ScBinaryWriter::flush));
    io.add(withReaderMethods(Bind::Class<ScTextReader>(v, u"TextReader")
               .ctor("s", [files](const std::u16string& path) { return makeTextReader(files, path, 0, 1); })
               .ctor("si", [files](const std::u16string& path, std::int32_t option) { return makeTextReader(files, path, option, 1); })
               .ctor("sii", [files](const std::u16string& path, std::int32_t option, std::int32_t encoding) {
                   return makeTextReader(files, path, option, encoding);
               })));
    io.add(withWriterMethods(Bind::Class<ScTextWriter>(v, u"TextWriter")
               .ctor("s", [files](const std::u16string& path) { return makeTextWriter(files, path, 0, 1); })
               .ctor("si", [files](const std::u16string& path, std::int32_t option) { return makeTextWriter(files, path, option, 1); })
               .ctor("sii", [files](const std::u16string& path, std::int32_t option, std::int32_t encoding) {
                   return makeTextWriter(files, path, option, encoding);
               })));
    io.add(withReaderMethods(Bind::Class<ScStringReader>(v, u"StringReader")
               .ctor("s", [](const std::u16string& text) { return new ScStringReader(QlIO::createStringReader(text)); })));
    io.add(withWriterMethods(Bind::Class<ScStringWriter>(v, u"StringWriter")
                                .ctor()
                                .method(u"getString", &ScStringWriter::getString)));
    io.add(Bind::Class<ScFile>(v, u"File")
               .ctor("s", [files](const std::u16string& path) { return makeFile(files, path); })
               .method(u"exists", &ScFile::exists)
               .method(u"isFile", &ScFile::isFile)
               .method(u"isDirectory", &ScFile::isDirectory)
               .method(u"isHidden", &ScFile::isHidden)
               .method(u"isReadOnry", &ScFile::isReadOnly)
               .method(u"getPath", &ScFile::getPath)
               .method(u"getAbsolutePath", &ScFile::getAbsolutePath)
               .method(u"getParentPath", &ScFile::getParentPath)
               .method(u"getName", &ScFile::getName)
               .method(u"getNameWithoutExtension", &ScFile::getNameWithoutExtension)
               .method(u"getExtension", &ScFile::getExtension)
               .method(u"getSize", &ScFile::getSize)
               .method(u"remove", &ScFile::remove)
               .method(u"makeFile", &ScFile::makeFile)
               .method(u"makeDirectory", &ScFile::makeDirectory)
               .raw(u"createBlob", {""}, &createBlob)
               .raw(u"createBinaryReader", {""}, [](HSQUIRRELVM vm, ScFile& f) { return constructWithPath(vm, f, u"BinaryReader", {}); })
               .raw(u"createBinaryWriter", {""}, [](HSQUIRRELVM vm, ScFile& f) { return constructWithPath(vm, f, u"BinaryWriter", {}); })
               // Without an argument the reader opens with option 0: the option 1 that the writer
               // takes by default would empty the file, which no reader can open.
               .raw(u"createTextReader", {"", "i"},
                    [](HSQUIRRELVM vm, ScFile& f) { return constructWithPath(vm, f, u"TextReader", {optionalInteger(vm, 0)}); })
               .raw(u"createTextWriter", {"", "i"},
                    [](HSQUIRRELVM vm, ScFile& f) { return constructWithPath(vm, f, u"TextWriter", {optionalInteger(vm, 1)}); })
               .raw(u"getParent", {""}, &getParent)
               .method(u"getChildren", &ScFile::getChildren));
    io.enumeration(u"Encoding", {{u"SJIS", 1}, {u"SHIFTJIS", 1}, {u"UTF8", 2}, {u"UTF16", 3}, {u"UTF16LE", 4}, {u"UTF16BE", 5}});
    io.enumeration(u"OpenOption", {{u"TRUNCATE", 1}, {u"END", 2}, {u"APPEND", 4}});
    return io.store(u"IO") && runPrelude(v, "io");
}

}  // namespace Quillorane
