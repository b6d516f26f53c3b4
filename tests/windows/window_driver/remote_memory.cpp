#include "remote_memory.h"

#include "driver_failure.h"

namespace vindle {

RemoteMemory::RemoteMemory(HANDLE process, std::size_t size)
    : m_process(process),
      m_address(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)),
      m_size(size) {
    if (m_address == nullptr) {
        throw DriverFailure("VirtualAllocEx failed: " + SystemErrorText(GetLastError()));
    }
}

RemoteMemory::~RemoteMemory() {
    VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
}

LPARAM RemoteMemory::At(std::size_t offset) const {
    return reinterpret_cast<LPARAM>(static_cast<char*>(m_address) + offset);
}

void RemoteMemory::Write(std::size_t offset, const void* data, std::size_t size) {
    SIZE_T written = 0;
    if (offset + size > m_size ||
        !WriteProcessMemory(m_process, reinterpret_cast<void*>(At(offset)), data, size, &written) ||
        written != size) {
        throw DriverFailure("WriteProcessMemory failed");
    }
}

void RemoteMemory::Read(std::size_t offset, void* data, std::size_t size) const {
    SIZE_T read = 0;
    if (offset + size > m_size ||
        !ReadProcessMemory(m_process, reinterpret_cast<const void*>(At(offset)), data, size,
                           &read) ||
        read != size) {
        throw DriverFailure("ReadProcessMemory failed");
    }
}

}  // namespace vindle
