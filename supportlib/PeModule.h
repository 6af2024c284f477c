#pragma once

// A resource module: a file in the Windows PE format whose resource directory names bitmaps
// (type RT_BITMAP) and sounds (type "SOUND"). Every offset and size read from the file is checked
// against the file's size, so a damaged module fails to load or to give a resource; it never
// makes the library read outside it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace twl::pe {

using Bytes = std::span<const std::uint8_t>;

inline constexpr std::uint32_t BitmapType = 2; // RT_BITMAP

// A resource type or name: a number, or a text compared ignoring ASCII letter case. A text
// "#123" stands for the number 123.
struct ResourceId {
    std::optional<std::uint32_t> number;
    std::string text;

    static ResourceId fromNumber(std::uint32_t value) { return {value, {}}; }
    static ResourceId fromText(const char* text);
};

// Where a resource's data lies, as its directory says.
struct ResourceEntry {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

class Module {
public:
    // The module's bytes, which must stay alive as long as the module is used. Empty unless
    // the bytes are a PE file whose headers and section table lie inside them.
    static std::optional<Module> fromBytes(Bytes bytes);

    // The first language's entry of the named resource, or nothing when the directory has no
    // such resource (or is damaged on the way to it).
    std::optional<ResourceEntry> find(const ResourceId& type, const ResourceId& name) const;
    // The resource's data inside the module, or nothing when it does not lie inside the file.
    std::optional<Bytes> load(const ResourceEntry& entry) const;

private:
    struct Section {
        std::uint32_t virtualAddress;
        std::uint32_t virtualSize;
        std::uint32_t rawSize;
        std::uint32_t rawOffset;
    };

    std::optional<std::size_t> fileOffset(std::uint32_t rva) const;
    std::optional<std::uint32_t> findEntry(std::size_t directory, const ResourceId& id) const;
    bool matches(std::uint32_t nameField, const ResourceId& id) const;

    Bytes m_bytes;
    std::vector<Section> m_sections;
    std::optional<std::size_t> m_resourceRoot; // file offset of the resource directory
};

// A module read from a file: the bytes live as long as the object.
class ModuleFile {
public:
    // Null when the file cannot be read or is not a module.
    static std::unique_ptr<ModuleFile> open(const char* path);

    ModuleFile(const ModuleFile&) = delete;
    ModuleFile& operator=(const ModuleFile&) = delete;

    const Module& module() const { return *m_module; }

private:
    ModuleFile() = default;

    std::vector<std::uint8_t> m_bytes;
    std::optional<Module> m_module;
};

} // namespace twl::pe
