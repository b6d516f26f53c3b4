#pragma once

#include <windows.h>

#include <cstddef>

namespace vindle {

// A block of memory in another process. Messages whose arguments point to memory (list-view
// items, header rectangles, notifications) are not carried across processes by the system, so
// their records are written here and the other process's window reads them in place.
class RemoteMemory {
  public:
    RemoteMemory(HANDLE process, std::size_t size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    // The block's address in the other process, `offset` bytes in, as a message argument.
    LPARAM At(std::size_t offset = 0) const;
    void Write(std::size_t offset, const void* data, std::size_t size);
    void Read(std::size_t offset, void* data, std::size_t size) const;

    template <typename T>
    void Put(std::size_t offset, const T& value) {
        Write(offset, &value, sizeof value);
    }
    template <typename T>
    T Get(std::size_t offset) const {
        T value{};
        Read(offset, &value, sizeof value);
        return value;
    }

  private:
    HANDLE m_process;
    void* m_address;
    std::size_t m_size;
};

}  // namespace vindle
