#pragma once

// The fuzzer's bytes as the device the parsers read from, as a file or a pasted picture would be.

#include <cstddef>
#include <cstdint>

#include <QBuffer>
#include <QByteArray>

namespace hakomiru::fuzzing {

class ParserInput
{
public:
    ParserInput(const std::uint8_t* data, std::size_t size)
        : m_bytes(QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                          static_cast<qsizetype>(size))),
          m_buffer(&m_bytes)
    {
        m_buffer.open(QIODevice::ReadOnly);
    }
    QIODevice& device() { return m_buffer; }

private:
    QByteArray m_bytes;
    QBuffer m_buffer;
};

} // namespace hakomiru::fuzzing
