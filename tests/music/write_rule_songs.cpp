// Writes the rule songs (rule_songs.h) into a folder as NAME.xm, and a line
// "NAME<TAB>rule" for each on standard output: the modules the comparison
// with outside players (scripts/compare_players.sh) renders.
#include <cstdio>
#include <string>

#include "rule_songs.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: write_rule_songs FOLDER\n");
        return 2;
    }
    for (const RuleSong& rule : RuleSongs()) {
        const std::vector<uint8_t> bytes = WriteXm(rule.song);
        const std::string path = std::string(argv[1]) + "/" + rule.name + ".xm";
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
            std::fclose(file) != 0) {
            std::fprintf(stderr, "write_rule_songs: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\t%s\n", rule.name, rule.rule);
    }
    return 0;
}
