// The LAN interface the emulated devices live on: its index, its own address, and the
// device addresses added to it and removed from it (rtnetlink).
#pragma once

#include <cstdint>
#include <string>

namespace emu {

class Iface
{
public:
    Iface() = default;
    ~Iface();
    Iface(const Iface&) = delete;
    Iface& operator=(const Iface&) = delete;
    void Close();
    // Finds the interface; false with a message when it does not exist.
    bool Open(const std::string& name, std::string* error);
    int Index() const { return m_index; }
    const std::string& Name() const { return m_name; }
    // First IPv4 address of the interface; false when it has none.
    bool PrimaryAddress(uint32_t* ip, int* prefix) const;
    bool HasAddress(uint32_t ip) const;
    // Adds ip/prefix; *existed tells that the address was already there (then it is not ours
    // to remove).
    bool Add(uint32_t ip, int prefix, bool* existed, std::string* error);
    bool Remove(uint32_t ip, int prefix, std::string* error);
    // Keeps the other addresses of a subnet when its first address is removed.
    void PromoteSecondaries();

private:
    bool Request(int type, int flags, uint32_t ip, int prefix, std::string* error);

    std::string m_name;
    int m_index = 0;
    int m_fd = -1;
    uint32_t m_seq = 1;
};

} // namespace emu
