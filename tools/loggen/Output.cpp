#include "Output.h"

#include <limits>
#include <stdexcept>

namespace loggen {

void FileSink::write(const char* data, std::size_t size)
{
    if (size != 0 && std::fwrite(data, 1, size, m_file) != size)
        throw std::runtime_error("cannot write the output");
}

void FileSink::finish()
{
    if (std::fflush(m_file) != 0)
        throw std::runtime_error("cannot write the output");
}

DeflateSink::DeflateSink(ByteSink& next, int level) : m_next(next), m_out(1 << 18)
{
    // 15 window bits and no other flags: a plain zlib stream with header and Adler-32.
    if (deflateInit2(&m_stream, level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("cannot initialise zlib");
}

DeflateSink::~DeflateSink()
{
    deflateEnd(&m_stream);
}

void DeflateSink::write(const char* data, std::size_t size)
{
    // avail_in is 32 bits wide; feed very large pieces in parts.
    constexpr std::size_t MaxPiece = std::numeric_limits<uInt>::max() / 2;
    while (size > 0) {
        std::size_t piece = size < MaxPiece ? size : MaxPiece;
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        m_stream.avail_in = static_cast<uInt>(piece);
        pump(Z_NO_FLUSH);
        data += piece;
        size -= piece;
    }
}

void DeflateSink::finish()
{
    if (m_finished)
        return;
    m_stream.next_in = nullptr;
    m_stream.avail_in = 0;
    pump(Z_FINISH);
    m_finished = true;
    m_next.finish();
}

void DeflateSink::pump(int flush)
{
    for (;;) {
        m_stream.next_out = m_out.data();
        m_stream.avail_out = static_cast<uInt>(m_out.size());
        int rc = deflate(&m_stream, flush);
        if (rc == Z_STREAM_ERROR)
            throw std::runtime_error("zlib deflate failed");
        std::size_t produced = m_out.size() - m_stream.avail_out;
        if (produced != 0)
            m_next.write(reinterpret_cast<const char*>(m_out.data()), produced);
        if (flush == Z_FINISH) {
            if (rc == Z_STREAM_END)
                return;
        } else if (m_stream.avail_out != 0 && m_stream.avail_in == 0) {
            return;
        }
    }
}

TextOut::TextOut(ByteSink& sink) : m_sink(sink)
{
    m_buffer.reserve(FlushSize + (64 << 10));
}

void TextOut::hundredths(std::int64_t value)
{
    if (value < 0) {
        m_buffer.push_back('-');
        value = -value;
    }
    number(value / 100);
    int cents = static_cast<int>(value % 100);
    char tail[3] = {'.', static_cast<char>('0' + cents / 10), static_cast<char>('0' + cents % 10)};
    m_buffer.append(tail, 3);
}

void TextOut::flush()
{
    if (m_buffer.empty())
        return;
    m_sink.write(m_buffer.data(), m_buffer.size());
    m_flushed += m_buffer.size();
    m_buffer.clear();
}

void TextOut::finish()
{
    flush();
    m_sink.finish();
}

} // namespace loggen
