#pragma once

// Builds small resource modules (Windows PE files with a resource directory) and the bitmaps
// and sounds inside them, byte by byte, for the tests of the support library.

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <map>
#include <vector>

namespace modules {

inline void put16(QByteArray& bytes, qsizetype at, quint16 value) {
    qToLittleEndian(value, bytes.data() + at);
}
inline void put32(QByteArray& bytes, qsizetype at, quint32 value) {
    qToLittleEndian(value, bytes.data() + at);
}
inline void append16(QByteArray& bytes, quint16 value) {
    bytes.resize(bytes.size() + 2);
    put16(bytes, bytes.size() - 2, value);
}
inline void append32(QByteArray& bytes, quint32 value) {
    bytes.resize(bytes.size() + 4);
    put32(bytes, bytes.size() - 4, value);
}

// A resource type or name: a number, or (when text is set) a name.
struct Id {
    quint32 number = 0;
    QString text;
    Id(quint32 n) : number(n) {}
    Id(const char* t) : text(QString::fromLatin1(t)) {}
    bool operator<(const Id& other) const {
        // Named entries come first in a directory, then the numbered ones.
        if (text.isEmpty() != other.text.isEmpty())
            return !text.isEmpty();
        return text.isEmpty() ? number < other.number : text < other.text;
    }
};

inline constexpr quint32 Bitmap = 2;
inline constexpr quint32 SectionRva = 0x1000;
inline constexpr int SectionFileOffset = 0x200;

// Where the parts of the last module built lie in its file, for tests that damage them.
struct Layout {
    qsizetype rootDirectory = 0;              // the resource directory
    std::map<QString, qsizetype> dataEntries; // each named resource's data entry
    std::map<QString, qsizetype> names;       // each name string
    qsizetype resourceDirectoryField = 0;     // the optional header's resource directory entry
};

class ModuleBuilder {
public:
    void add(Id type, Id name, const QByteArray& data) { m_resources[type][name] = data; }

    QByteArray build(Layout* layout = nullptr) const {
        // The resource section: directories, data entries, name strings, then the data.
        qsizetype directories = 16 + 8 * qsizetype(m_resources.size());
        qsizetype resourceCount = 0;
        for (const auto& [type, names] : m_resources) {
            directories += 16 + 8 * qsizetype(names.size());
            resourceCount += qsizetype(names.size());
        }
        directories += resourceCount * (16 + 8);
        const qsizetype entriesAt = directories;
        qsizetype stringsAt = entriesAt + 16 * resourceCount;
        QByteArray strings;
        std::map<QString, qsizetype> stringOffsets;
        const auto nameOffset = [&](const Id& id) {
            auto [it, added] = stringOffsets.try_emplace(id.text, stringsAt + strings.size());
            if (added) {
                append16(strings, quint16(id.text.size()));
                for (QChar c : id.text)
                    append16(strings, c.unicode());
            }
            return it->second;
        };
        // Name strings first, so that their offsets are known.
        for (const auto& [type, names] : m_resources) {
            if (!type.text.isEmpty())
                nameOffset(type);
            for (const auto& [name, data] : names)
                if (!name.text.isEmpty())
                    nameOffset(name);
        }
        qsizetype dataAt = (stringsAt + strings.size() + 3) & ~qsizetype(3);

        QByteArray section(dataAt, '\0');
        section.replace(stringsAt, strings.size(), strings);
        const auto directory = [&](qsizetype at, qsizetype named, qsizetype numbered) {
            put16(section, at + 12, quint16(named));
            put16(section, at + 14, quint16(numbered));
        };
        const auto entry = [&](qsizetype at, const Id& id, quint32 target) {
            put32(section, at,
                  id.text.isEmpty() ? id.number : (0x80000000u | quint32(nameOffset(id))));
            put32(section, at + 4, target);
        };
        const auto namedCount = [](const auto& map) {
            return qsizetype(std::count_if(map.begin(), map.end(),
                                           [](const auto& p) { return !p.first.text.isEmpty(); }));
        };

        qsizetype next = 16 + 8 * qsizetype(m_resources.size());
        qsizetype nextEntry = entriesAt;
        directory(0, namedCount(m_resources),
                  qsizetype(m_resources.size()) - namedCount(m_resources));
        qsizetype typeIndex = 0;
        if (layout)
            for (const auto& [text, offset] : stringOffsets)
                layout->names[text] = SectionFileOffset + offset;
        for (const auto& [type, names] : m_resources) {
            const qsizetype typeDir = next;
            next += 16 + 8 * qsizetype(names.size());
            entry(16 + 8 * typeIndex++, type, 0x80000000u | quint32(typeDir));
            directory(typeDir, namedCount(names), qsizetype(names.size()) - namedCount(names));
            qsizetype nameIndex = 0;
            for (const auto& [name, data] : names) {
                const qsizetype languageDir = next;
                next += 16 + 8;
                entry(typeDir + 16 + 8 * nameIndex++, name, 0x80000000u | quint32(languageDir));
                directory(languageDir, 0, 1);
                entry(languageDir + 16, Id(0x409), quint32(nextEntry));
                if (layout && !name.text.isEmpty())
                    layout->dataEntries[name.text] = SectionFileOffset + nextEntry;
                put32(section, nextEntry, SectionRva + quint32(section.size()));
                put32(section, nextEntry + 4, quint32(data.size()));
                nextEntry += 16;
                section += data;
                while (section.size() % 4 != 0)
                    section += '\0';
            }
        }

        QByteArray file(SectionFileOffset, '\0');
        file[0] = 'M';
        file[1] = 'Z';
        put32(file, 0x3C, 0x40);
        file.replace(0x40, 4, QByteArray("PE\0\0", 4));
        const qsizetype coff = 0x44;
        put16(file, coff, 0x14C);       // i386
        put16(file, coff + 2, 1);       // one section
        put16(file, coff + 16, 224);    // optional header size
        put16(file, coff + 18, 0x2102); // a DLL
        const qsizetype optional = coff + 20;
        put16(file, optional, 0x10B);
        put32(file, optional + 92, 16);
        put32(file, optional + 96 + 2 * 8, SectionRva);
        put32(file, optional + 96 + 2 * 8 + 4, quint32(section.size()));
        const qsizetype sectionHeader = optional + 224;
        file.replace(sectionHeader, 5, ".rsrc");
        put32(file, sectionHeader + 8, quint32(section.size()));
        put32(file, sectionHeader + 12, SectionRva);
        put32(file, sectionHeader + 16, quint32(section.size()));
        put32(file, sectionHeader + 20, SectionFileOffset);
        if (layout) {
            layout->rootDirectory = SectionFileOffset;
            layout->resourceDirectoryField = optional + 96 + 2 * 8;
        }
        return file + section;
    }

private:
    std::map<Id, std::map<Id, QByteArray>> m_resources;
};

// A picture: rows top first, 0xRRGGBB pixels.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<quint32> pixels;
    quint32 at(int x, int y) const { return pixels[size_t(y * width + x)]; }
};

// A device-independent bitmap of the image in the given bits per pixel (1, 4 and 8 through a
// palette of the image's colours, 16 as 5-5-5), bottom row first unless topDown.
inline QByteArray dib(const Image& image, int bits, bool topDown = false) {
    std::vector<quint32> palette;
    if (bits <= 8) {
        for (quint32 p : image.pixels)
            if (std::find(palette.begin(), palette.end(), p) == palette.end())
                palette.push_back(p);
    }
    QByteArray bytes;
    append32(bytes, 40);
    append32(bytes, quint32(image.width));
    append32(bytes, quint32(topDown ? -image.height : image.height));
    append16(bytes, 1);
    append16(bytes, quint16(bits));
    append32(bytes, 0); // uncompressed
    append32(bytes, 0);
    append32(bytes, 0);
    append32(bytes, 0);
    append32(bytes, quint32(palette.size()));
    append32(bytes, 0);
    for (quint32 colour : palette)
        append32(bytes, colour); // B, G, R, 0 in memory
    const int rowBytes = (image.width * bits + 31) / 32 * 4;
    for (int i = 0; i < image.height; ++i) {
        const int y = topDown ? i : image.height - 1 - i;
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < image.width; ++x) {
            const quint32 p = image.at(x, y);
            const auto index = int(std::find(palette.begin(), palette.end(), p) - palette.begin());
            switch (bits) {
            case 1:
                row[x / 8] = char(row[x / 8] | index << (7 - x % 8));
                break;
            case 4:
                row[x / 2] = char(row[x / 2] | index << (x % 2 == 0 ? 4 : 0));
                break;
            case 8:
                row[x] = char(index);
                break;
            case 16: {
                const quint32 r = (p >> 16 & 0xFF) >> 3, g = (p >> 8 & 0xFF) >> 3,
                              b = (p & 0xFF) >> 3;
                put16(row, 2 * x, quint16(r << 10 | g << 5 | b));
                break;
            }
            case 24:
                put16(row, 3 * x, quint16(p));
                row[3 * x + 2] = char(p >> 16);
                break;
            default:
                put32(row, 4 * x, p);
            }
        }
        bytes += row;
    }
    return bytes;
}

// A WAV file of PCM samples.
inline QByteArray wave(int channels, int rate, int bits, const QByteArray& samples) {
    QByteArray bytes("RIFF");
    append32(bytes, quint32(36 + samples.size()));
    bytes += "WAVEfmt ";
    append32(bytes, 16);
    append16(bytes, 1);
    append16(bytes, quint16(channels));
    append32(bytes, quint32(rate));
    append32(bytes, quint32(rate * channels * bits / 8));
    append16(bytes, quint16(channels * bits / 8));
    append16(bytes, quint16(bits));
    bytes += "data";
    append32(bytes, quint32(samples.size()));
    return bytes + samples;
}

} // namespace modules
