#pragma once
// An in-memory file manager for graphics tests: files are byte vectors keyed by path, and
// streams written through openOutputStream land back in the same map when closed.

#include "io/IFileManager.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace QlTest {

class MemoryInput : public QlIO::IInputStream {
public:
    explicit MemoryInput(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    void close() override { closed_ = true; }
    bool isClosed() override { return closed_; }
    bool seek(uint32_t position) override
    {
        if (closed_ || position > bytes_.size())
            return false;
        pos_ = position;
        ++seeks;
        return true;
    }
    uint32_t tell() override { return pos_; }
    uint32_t getSize() override { return static_cast<uint32_t>(bytes_.size()); }
    uint32_t getAvailable() override { return closed_ ? 0 : getSize() - pos_; }
    int peek() override { return pos_ < bytes_.size() ? bytes_[pos_] : -1; }
    using QlIO::IInputStream::read;
    uint32_t read(uint8_t* buffer, uint32_t count) override
    {
        const uint32_t n = std::min(count, getAvailable());
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    int readByte() override { return pos_ < bytes_.size() ? bytes_[pos_++] : -1; }
    int seeks = 0;

private:
    std::vector<uint8_t> bytes_;
    uint32_t pos_ = 0;
    bool closed_ = false;
};

class MemoryFiles;

class MemoryOutput : public QlIO::IOutputStream {
public:
    MemoryOutput(std::map<std::u16string, std::vector<uint8_t>>& files, std::u16string path)
        : files_(files), path_(std::move(path))
    {
    }
    ~MemoryOutput() override { close(); }
    void close() override
    {
        if (!closed_)
            files_[path_] = bytes_;
        closed_ = true;
    }
    bool isClosed() override { return closed_; }
    bool seek(uint32_t position) override
    {
        if (position > bytes_.size())
            return false;
        pos_ = position;
        return true;
    }
    uint32_t tell() override { return pos_; }
    uint32_t getSize() override { return static_cast<uint32_t>(bytes_.size()); }
    uint32_t getRemaining() override { return closed_ ? 0 : 0xFFFFFFFFu - pos_; }
    using QlIO::IOutputStream::write;
    uint32_t write(const uint8_t* buffer, uint32_t count) override
    {
        if (closed_)
            return 0;
        if (pos_ + count > bytes_.size())
            bytes_.resize(pos_ + count);
        std::memcpy(bytes_.data() + pos_, buffer, count);
        pos_ += count;
        return count;
    }
    bool writeByte(uint8_t b) override { return write(&b, 1) == 1; }
    bool flush() override { return true; }

private:
    std::map<std::u16string, std::vector<uint8_t>>& files_;
    std::u16string path_;
    std::vector<uint8_t> bytes_;
    uint32_t pos_ = 0;
    bool closed_ = false;
};

class MemoryFiles : public QlIO::IFileManager {
public:
    std::map<std::u16string, std::vector<uint8_t>> files;
    std::shared_ptr<MemoryInput> lastInput;
    bool refuseWrites = false;

    bool addStorage(int32_t, std::shared_ptr<QlIO::IFileStorage>) override { return false; }
    void removeStorage(const std::shared_ptr<QlIO::IFileStorage>&) override {}
    void clearStorages() override {}
    bool setDefaultStorage(std::shared_ptr<QlIO::IFileStorage>) override { return false; }
    std::shared_ptr<QlIO::IFileStorage> getDefaultStorage() override { return nullptr; }
    std::shared_ptr<QlIO::IIoStream> openIoStream(std::u16string_view, uint32_t) override { return nullptr; }
    std::shared_ptr<QlIO::IInputStream> openInputStream(std::u16string_view path, uint32_t) override
    {
        auto it = files.find(std::u16string(path));
        if (it == files.end())
            return nullptr;
        lastInput = std::make_shared<MemoryInput>(it->second);
        return lastInput;
    }
    std::shared_ptr<QlIO::IOutputStream> openOutputStream(std::u16string_view path, uint32_t) override
    {
        if (refuseWrites)
            return nullptr;
        return std::make_shared<MemoryOutput>(files, std::u16string(path));
    }
    std::shared_ptr<QlIO::IFile> getFile(std::u16string_view) override { return nullptr; }
    std::vector<std::shared_ptr<QlIO::IFile>> getFiles(std::u16string_view) override { return {}; }
};

} // namespace QlTest
