#pragma once
// Common head of every byte stream.

namespace QlIO {

class IStream {
public:
    virtual ~IStream() = default;

    virtual void close() = 0;
    virtual bool isClosed() = 0;
};

} // namespace QlIO
