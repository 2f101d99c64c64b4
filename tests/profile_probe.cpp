// tests/profile_probe.cpp -- reads every case of a settings corpus through the platform's
// GetPrivateProfileIntA (the real one on Windows, ours elsewhere) and prints one line per case.
// Built for both, so that the two outputs can be compared line for line.
//
// Corpus: blocks of
//   case <name> <section> <key> <default>
//   <file line, with \r \t \\ \xHH escapes>...
//   end
// A block whose first line is "nofile" reads with no file present; one whose last line is "noeol"
// has no line end after the line before it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "host/host_api.h"

#ifdef _WIN32
#include <direct.h>
#define chdir _chdir
#else
#include <unistd.h>
#endif

namespace {

std::string Unescape(const std::string& line)
{
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            out += line[i];
            continue;
        }
        const char c = line[++i];
        if (c == 'r')
            out += '\r';
        else if (c == 't')
            out += '\t';
        else if (c == 'n')
            out += '\n';
        else if (c == '\\')
            out += '\\';
        else if (c == 'x' && i + 2 < line.size()) {
            out += static_cast<char>(std::strtol(line.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += '\\';
            out += c;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: profile_probe CORPUS WORKDIR\n");
        return 2;
    }
    std::ifstream corpus(argv[1], std::ios::binary);
    if (!corpus) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    if (chdir(argv[2]) != 0) {
        std::fprintf(stderr, "cannot enter %s\n", argv[2]);
        return 2;
    }

    std::string line;
    int cases = 0;
    while (std::getline(corpus, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("case ", 0) != 0)
            continue;
        std::istringstream header(line.substr(5));
        std::string name, section, key;
        int32_t defaultValue = 0;
        header >> name >> section >> key >> defaultValue;

        std::string content;
        bool noFile = false;
        while (std::getline(corpus, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line == "end")
                break;
            if (line == "nofile") {
                noFile = true;
                continue;
            }
            if (line == "noeol") {
                if (!content.empty())
                    content.pop_back();
                continue;
            }
            content += Unescape(line);
            content += '\n';
        }
        std::remove("case.ini");
        if (!noFile) {
            std::ofstream file("case.ini", std::ios::binary);
            file << content;
        }
        const uint32_t value = PlatformReadProfileInt(section.c_str(), key.c_str(), defaultValue, ".\\case.ini");
        std::printf("%s %u\n", name.c_str(), value);
        ++cases;
    }
    std::remove("case.ini");
    std::fprintf(stderr, "%d cases\n", cases);
    return cases > 0 ? 0 : 1;
}
