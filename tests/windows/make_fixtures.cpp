// Writes the pictures and the sound of the check's resource module, and the resource script
// that names them, into one folder:  make_fixtures FOLDER

#include "Fixtures.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool write(const std::string& path, const fixtures::Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make_fixtures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fixtures FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    std::string script = "// The check's resource module (written by make_fixtures).\n";
    bool ok = true;
    const auto add = [&](const std::string& name, const std::string& type, const std::string& file,
                         const fixtures::Bytes& bytes) {
        ok = write(folder + file, bytes) && ok;
        // File names unquoted: the resource compiler joins a quoted name to a quoted string
        // before it, as C joins adjacent literals.
        script += name + " " + type + " " + file + "\n";
    };

    add("LOGO", "BITMAP", "logo.bmp", fixtures::bitmapFile(fixtures::sixColours(), 24));
    add("7", "BITMAP", "seven.bmp", fixtures::bitmapFile(fixtures::twoColours(), 24));
    for (int bits : fixtures::Depths) {
        for (bool topDown : {false, true}) {
            const std::string name = fixtures::depthName(bits, topDown);
            add(name, "BITMAP", name + ".bmp",
                fixtures::bitmapFile(fixtures::twoColours(), bits, topDown));
        }
    }
    for (int n = 0; n < 10; ++n) {
        const std::string name = std::to_string(n) + "B";
        add("\"" + name + "\"", "BITMAP", "frame" + name + ".bmp",
            fixtures::bitmapFile(fixtures::spriteFrame(n), 24));
    }
    add("CHIME", "SOUND", "chime.wav", fixtures::chimeWave());
    const std::string noise = "not a wave file at all";
    add("NOISE", "SOUND", "noise.bin", fixtures::Bytes(noise.begin(), noise.end()));

    ok = write(folder + "resources.rc", fixtures::Bytes(script.begin(), script.end())) && ok;
    return ok ? 0 : 1;
}
