#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A growable block of bytes with a read/write position, as the log loader passes them
// around. The buffer is plain malloc memory, so a large buffer can be handed over whole.
class TMemoryStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream();
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    size_t Size() const { return FSize; }
    size_t Position() const { return FPosition; }
    void SetPosition(size_t position) { FPosition = position; }
    const char* Data() const { return FData; }
    std::string_view View() const { return std::string_view(FData ? FData : "", FSize); }
    std::string_view Remaining() const { return View().substr(FPosition < FSize ? FPosition : FSize); }

    size_t Read(void* buffer, size_t count);
    void Write(const void* buffer, size_t count);
    void Clear();

    void LoadFromFile(const std::string& fileName); // whole file, position 0
    void SaveToFile(const std::string& fileName) const; // whole content

    // Direct filling: makes room for capacity bytes in all and returns the buffer (its first
    // Size() bytes kept); CommitWrite then sets how many bytes are in use.
    char* GrowForWrite(size_t capacity);
    void CommitWrite(size_t size) { FSize = size; }

    // Takes ownership of a buffer from MeteredRealloc holding size bytes (capacity at least size).
    void Adopt(char* buffer, size_t size, size_t capacity);

private:
    void Reserve(size_t capacity);

    char* FData = nullptr;
    size_t FSize = 0;
    size_t FCapacity = 0;
    size_t FPosition = 0;
};
