// Byte sinks (string, file, zlib) and the buffered text writer the generator formats into.
#pragma once

#include <zlib.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace loggen {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const char* data, std::size_t size) = 0;
    virtual void finish() {}
};

class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& target) : m_target(target) {}
    void write(const char* data, std::size_t size) override { m_target.append(data, size); }

private:
    std::string& m_target;
};

// Does not own the FILE; finish() flushes it.
class FileSink final : public ByteSink {
public:
    explicit FileSink(std::FILE* file) : m_file(file) {}
    void write(const char* data, std::size_t size) override;
    void finish() override;

private:
    std::FILE* m_file;
};

// Deflates everything written into one zlib stream (RFC 1950) and passes the compressed
// bytes on piece by piece, so a large log never sits in memory whole.
class DeflateSink final : public ByteSink {
public:
    explicit DeflateSink(ByteSink& next, int level = Z_DEFAULT_COMPRESSION);
    ~DeflateSink() override;
    DeflateSink(const DeflateSink&) = delete;
    DeflateSink& operator=(const DeflateSink&) = delete;

    void write(const char* data, std::size_t size) override;
    void finish() override;

private:
    void pump(int flush);

    ByteSink& m_next;
    z_stream m_stream{};
    std::vector<unsigned char> m_out;
    bool m_finished = false;
};

// Collects text in a large buffer and hands it to the sink in big pieces.
class TextOut {
public:
    explicit TextOut(ByteSink& sink);

    // Bytes written so far, buffered ones included.
    std::uint64_t size() const { return m_flushed + m_buffer.size(); }

    void put(std::string_view text) { m_buffer.append(text); }
    void put(char c) { m_buffer.push_back(c); }
    void tabs(int count) { m_buffer.append(static_cast<std::size_t>(count), '\t'); }
    void number(std::int64_t value)
    {
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        m_buffer.append(digits, end);
    }
    // A fixed-point value given in hundredths, written with two decimals ("12.05").
    void hundredths(std::int64_t value);

    // Passes the buffer on once it has grown large.
    void flushIfFull()
    {
        if (m_buffer.size() >= FlushSize)
            flush();
    }
    void flush();
    void finish();

private:
    static constexpr std::size_t FlushSize = 1 << 20;
    ByteSink& m_sink;
    std::string m_buffer;
    std::uint64_t m_flushed = 0;
};

} // namespace loggen
