#include "base/MemoryStream.h"

#include "base/Files.h"
#include "base/MemoryMeter.h"

#include <cstdlib>
#include <cstring>
#include <new>

TMemoryStream::~TMemoryStream() { MeteredFree(FData, FCapacity); }

size_t TMemoryStream::Read(void* buffer, size_t count)
{
    const size_t available = FPosition < FSize ? FSize - FPosition : 0;
    const size_t n = count < available ? count : available;
    if (n > 0)
        std::memcpy(buffer, FData + FPosition, n);
    FPosition += n;
    return n;
}

void TMemoryStream::Write(const void* buffer, size_t count)
{
    if (count == 0)
        return;
    const size_t end = FPosition + count;
    if (end > FCapacity)
        Reserve(end > FCapacity * 2 ? end : FCapacity * 2);
    std::memcpy(FData + FPosition, buffer, count);
    FPosition = end;
    if (end > FSize)
        FSize = end;
}

void TMemoryStream::Clear()
{
    MeteredFree(FData, FCapacity);
    FData = nullptr;
    FSize = FCapacity = FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) { ReadWholeFile(fileName, *this); }

char* TMemoryStream::GrowForWrite(size_t capacity)
{
    if (capacity > FCapacity)
        Reserve(capacity);
    return FData;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const { WriteWholeFile(fileName, View()); }

void TMemoryStream::Adopt(char* buffer, size_t size, size_t capacity)
{
    MeteredFree(FData, FCapacity);
    FData = buffer;
    FSize = size;
    FCapacity = capacity;
    FPosition = 0;
}

void TMemoryStream::Reserve(size_t capacity)
{
    FData = static_cast<char*>(MeteredRealloc(FData, FCapacity, capacity));
    FCapacity = capacity;
}
