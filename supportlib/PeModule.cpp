#include "PeModule.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>

namespace twl::pe {

namespace {

// The largest module the library reads.
constexpr std::uintmax_t MaxModuleSize = std::uintmax_t{1} << 30;

constexpr std::uint32_t HighBit = 0x80000000u;
constexpr std::size_t ResourceDirectoryIndex = 2;

// Little-endian reads that refuse to go past the end of the bytes.
class Reader {
public:
    explicit Reader(Bytes bytes) : m_bytes(bytes) {}

    bool fits(std::size_t offset, std::size_t length) const {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }
    std::optional<std::uint16_t> u16(std::size_t offset) const {
        if (!fits(offset, 2))
            return std::nullopt;
        return static_cast<std::uint16_t>(m_bytes[offset] | m_bytes[offset + 1] << 8);
    }
    std::optional<std::uint32_t> u32(std::size_t offset) const {
        if (!fits(offset, 4))
            return std::nullopt;
        return static_cast<std::uint32_t>(m_bytes[offset]) |
               static_cast<std::uint32_t>(m_bytes[offset + 1]) << 8 |
               static_cast<std::uint32_t>(m_bytes[offset + 2]) << 16 |
               static_cast<std::uint32_t>(m_bytes[offset + 3]) << 24;
    }

private:
    Bytes m_bytes;
};

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

} // namespace

ResourceId ResourceId::fromText(const char* text) {
    ResourceId id;
    id.text = text != nullptr ? text : "";
    if (id.text.size() > 1 && id.text[0] == '#') {
        std::uint32_t value = 0;
        const char* first = id.text.data() + 1;
        const char* last = id.text.data() + id.text.size();
        const auto [end, error] = std::from_chars(first, last, value);
        if (error == std::errc() && end == last)
            id.number = value;
    }
    return id;
}

std::optional<Module> Module::fromBytes(Bytes bytes) {
    const Reader in(bytes);
    if (in.u16(0) != 0x5A4D) // "MZ"
        return std::nullopt;
    const auto peOffset = in.u32(0x3C);
    if (!peOffset || in.u32(*peOffset) != 0x00004550) // "PE\0\0"
        return std::nullopt;
    const std::size_t coff = std::size_t{*peOffset} + 4;
    const auto sectionCount = in.u16(coff + 2);
    const auto optionalSize = in.u16(coff + 16);
    if (!sectionCount || !optionalSize)
        return std::nullopt;
    const std::size_t optional = coff + 20;
    const auto magic = in.u16(optional);
    if (!magic)
        return std::nullopt;
    // The data directories follow the fixed part of the optional header, which is longer in
    // the 64-bit form.
    std::size_t directoryCountAt = 0;
    if (*magic == 0x10B)
        directoryCountAt = optional + 92;
    else if (*magic == 0x20B)
        directoryCountAt = optional + 108;
    else
        return std::nullopt;
    const auto directoryCount = in.u32(directoryCountAt);
    if (!directoryCount || directoryCountAt + 4 + std::size_t{*directoryCount} * 8 >
                               optional + std::size_t{*optionalSize})
        return std::nullopt;

    Module module;
    module.m_bytes = bytes;
    const std::size_t sectionTable = optional + *optionalSize;
    if (!in.fits(sectionTable, std::size_t{*sectionCount} * 40))
        return std::nullopt;
    for (std::size_t i = 0; i < *sectionCount; ++i) {
        const std::size_t at = sectionTable + i * 40;
        module.m_sections.push_back(
            {*in.u32(at + 12), *in.u32(at + 8), *in.u32(at + 16), *in.u32(at + 20)});
    }

    if (*directoryCount > ResourceDirectoryIndex) {
        const std::size_t entry = directoryCountAt + 4 + ResourceDirectoryIndex * 8;
        const std::uint32_t rva = *in.u32(entry);
        const std::uint32_t size = *in.u32(entry + 4);
        if (rva != 0 && size != 0)
            module.m_resourceRoot = module.fileOffset(rva);
    }
    return module;
}

std::optional<std::size_t> Module::fileOffset(std::uint32_t rva) const {
    for (const Section& section : m_sections) {
        if (rva < section.virtualAddress)
            continue;
        const std::uint32_t into = rva - section.virtualAddress;
        // Only the part of a section that the file holds can be read.
        if (into >= section.rawSize)
            continue;
        const std::size_t offset = std::size_t{section.rawOffset} + into;
        if (offset < m_bytes.size())
            return offset;
    }
    return std::nullopt;
}

bool Module::matches(std::uint32_t nameField, const ResourceId& id) const {
    if ((nameField & HighBit) == 0)
        return id.number == nameField;
    if (id.number)
        return false;
    // A named entry: a count of UTF-16 units, then the units, from the directory's start.
    const Reader in(m_bytes);
    const std::size_t at = *m_resourceRoot + (nameField & ~HighBit);
    const auto length = in.u16(at);
    if (!length || !in.fits(at + 2, std::size_t{*length} * 2) || *length != id.text.size())
        return false;
    for (std::size_t i = 0; i < *length; ++i) {
        const std::uint16_t unit = *in.u16(at + 2 + 2 * i);
        if (unit > 0x7F || upper(static_cast<char>(unit)) != upper(id.text[i]))
            return false;
    }
    return true;
}

std::optional<std::uint32_t> Module::findEntry(std::size_t directory, const ResourceId& id) const {
    const Reader in(m_bytes);
    const auto named = in.u16(directory + 12);
    const auto numbered = in.u16(directory + 14);
    if (!named || !numbered)
        return std::nullopt;
    const std::size_t count = std::size_t{*named} + *numbered;
    if (!in.fits(directory + 16, count * 8))
        return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 16 + i * 8;
        if (matches(*in.u32(entry), id))
            return *in.u32(entry + 4);
    }
    return std::nullopt;
}

std::optional<ResourceEntry> Module::find(const ResourceId& type, const ResourceId& name) const {
    if (!m_resourceRoot)
        return std::nullopt;
    const std::size_t root = *m_resourceRoot;
    // Type, then name, then language (the first one there is): the first two lead to further
    // directories, the last to the data entry.
    const auto typeEntry = findEntry(root, type);
    if (!typeEntry || (*typeEntry & HighBit) == 0)
        return std::nullopt;
    const auto nameEntry = findEntry(root + (*typeEntry & ~HighBit), name);
    if (!nameEntry || (*nameEntry & HighBit) == 0)
        return std::nullopt;
    const Reader in(m_bytes);
    const std::size_t languages = root + (*nameEntry & ~HighBit);
    const auto named = in.u16(languages + 12);
    const auto numbered = in.u16(languages + 14);
    if (!named || !numbered || *named + *numbered == 0)
        return std::nullopt;
    const auto dataEntry = in.u32(languages + 16 + 4);
    if (!dataEntry || (*dataEntry & HighBit) != 0)
        return std::nullopt;
    const auto rva = in.u32(root + *dataEntry);
    const auto size = in.u32(root + *dataEntry + 4);
    if (!rva || !size)
        return std::nullopt;
    return ResourceEntry{*rva, *size};
}

std::optional<Bytes> Module::load(const ResourceEntry& entry) const {
    const auto offset = fileOffset(entry.rva);
    if (!offset || !Reader(m_bytes).fits(*offset, entry.size))
        return std::nullopt;
    return m_bytes.subspan(*offset, entry.size);
}

std::unique_ptr<ModuleFile> ModuleFile::open(const char* path) {
    if (path == nullptr)
        return nullptr;
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return nullptr;
    const std::streamoff size = file.tellg();
    if (size < 0 || static_cast<std::uintmax_t>(size) > MaxModuleSize)
        return nullptr;
    std::unique_ptr<ModuleFile> opened(new ModuleFile());
    opened->m_bytes.resize(static_cast<std::size_t>(size));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(opened->m_bytes.data()), size))
        return nullptr;
    opened->m_module = Module::fromBytes(opened->m_bytes);
    if (!opened->m_module)
        return nullptr;
    return opened;
}

} // namespace twl::pe
