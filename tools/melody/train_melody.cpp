// Learns the melody finder's weights from the labelled songs and writes them as
// the table melody/MelodyModel.inc that the finder compiles in.
//
// usage: train_melody CORPUS_DIR OUT_INC TRUTH_TSV...
//
//   scripts/melody-corpus
//   build/bin/train_melody build/melody-corpus melody/MelodyModel.inc tools/melody/melody-truth*.tsv

#include <cstdio>
#include <string>
#include <vector>

#include "fileio/FileReplacer.h"
#include "tools/melody/MelodyTraining.h"

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: train_melody CORPUS_DIR OUT_INC TRUTH_TSV...\n");
        return 2;
    }
    std::vector<LabelledSong> labels;
    std::vector<LoadedSong> songs;
    int excluded = 0;
    std::string error;
    bool read = true;
    for (int i = 3; i < argc && read; ++i)
        read = ReadMelodyTruth(argv[i], labels, excluded, error);
    if (!read || !LoadLabelledSongs(argv[1], labels, songs, error)) {
        std::fprintf(stderr, "train_melody: %s\n", error.c_str());
        return 1;
    }
    const MelodyWeights weights = TrainOn(songs, [](const LoadedSong&) { return true; });
    std::string table = "// The melody finder's model (melody/MelodyFinder.h), learned from " + std::to_string(songs.size()) +
                        " labelled songs:\n"
                        "// the first look's weight per descriptor in the order of MelodyDescriptor, the\n"
                        "// model's weight per descriptor, then each hidden unit's weights, their biases and\n"
                        "// their output weights. Written by tools/melody/train_melody; do not edit. Again:\n"
                        "//   scripts/melody-corpus\n"
                        "//   build/bin/train_melody build/melody-corpus melody/MelodyModel.inc tools/melody/melody-truth*.tsv\n";
    const auto add = [&](double value, const std::string& name) {
        char line[128];
        std::snprintf(line, sizeof line, "    %+.6f, // %s\n", value, name.c_str());
        table += line;
    };
    const auto descriptor = [](std::size_t k) {
        return std::string(MelodyDescriptorName(static_cast<MelodyDescriptor>(k)));
    };
    for (std::size_t k = 0; k < kMelodyDescriptorCount; ++k)
        add(weights.firstLook[k], "first look: " + descriptor(k));
    for (std::size_t k = 0; k < kMelodyDescriptorCount; ++k)
        add(weights.linear[k], descriptor(k));
    for (std::size_t h = 0; h < kMelodyHiddenUnits; ++h)
        for (std::size_t k = 0; k < kMelodyDescriptorCount; ++k)
            add(weights.hidden[h][k], "unit " + std::to_string(h + 1) + ": " + descriptor(k));
    for (std::size_t h = 0; h < kMelodyHiddenUnits; ++h)
        add(weights.hiddenBias[h], "unit " + std::to_string(h + 1) + ": bias");
    for (std::size_t h = 0; h < kMelodyHiddenUnits; ++h)
        add(weights.output[h], "unit " + std::to_string(h + 1) + ": output");
    FileError writeError;
    if (!ReplaceFileWith(argv[2], table.data(), table.size(), writeError)) {
        std::fprintf(stderr, "train_melody: cannot write %s: %s\n", writeError.strFile.c_str(),
                     writeError.strReason.c_str());
        return 1;
    }
    std::printf("train_melody: %zu songs, weights written to %s\n", songs.size(), argv[2]);
    return 0;
}
